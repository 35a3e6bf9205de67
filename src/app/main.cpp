// The orvane program: one running instance per user with the catalogue as its
// main window. A later start hands its first argument (a project shortcut
// file) to the running one and ends.
#include "app/SignalPipe.h"
#include "catalogue/SelectThema.h"
#include "catalogue/SingleInstance.h"
#include "store/LargePages.h"
#include "ui/Desktop.h"
#include "ui/MessageBox.h"
#include "ui/ProgramIcon.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <cstdio>
#include <exception>
#include <optional>
#include <vector>

namespace {

int Run(int argc, char **argv) {
  QApplication app(argc, argv);
  // The application name stays the executable's: the instance lock checks a
  // lock's owner by comparing it with the running process's name. No display
  // name either, which the desktop would append to every window title.
  // The program ends with the catalogue, not with whichever window is last.
  QApplication::setQuitOnLastWindowClosed(false);
  // Every window, those made later included, shows the program's icon; the
  // desktop finds the menu entry by this name (Wayland's app id).
  QApplication::setWindowIcon(ui::ProgramIcon());
  QGuiApplication::setDesktopFileName(QStringLiteral("orvane"));
  // Projects name Windows fonts; the desktop's keys open context menus.
  ui::SubstituteWindowsFonts();
  ui::OpenContextMenusWithShiftF10();
  // The interface is Japanese whatever the locale; so are Qt's own dialogs
  // (file and folder choosers, buttons) when their translation is installed.
  QTranslator qtTranslation;
  if (qtTranslation.load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"),
                         QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    QApplication::installTranslator(&qtTranslation);

  const QStringList args = QApplication::arguments();
  std::optional<QString> shortcut;
  if (args.size() > 1)
    shortcut = args[1]; // further arguments are ignored

  QString problem;
  const QString address = TSingleInstance::DefaultAddress(&problem);
  if (address.isEmpty()) {
    // Without a private place for the socket another user could receive the
    // hand-over; the program does not start rather than risk it.
    std::fprintf(stderr, "orvane: %s\n", problem.toLocal8Bit().constData());
    ui::ShowMessageBox(
        nullptr,
        QStringLiteral(u"起動できません\r\n一時ディレクトリのフォルダが安全ではありません\r\n") +
            problem,
        QStringLiteral("Orvane"), ui::MsgIcon::Error, ui::MsgButtons::Ok);
    return 1;
  }
  TSingleInstance instance(address);
  switch (instance.Start(shortcut)) {
  case TSingleInstance::Role::HandedOver:
    return 0;
  case TSingleInstance::Role::NoAnswer:
    std::fprintf(stderr, "orvane: another instance is running but does not answer\n");
    return 1;
  case TSingleInstance::Role::First:
    break;
  }

  // Hand-overs that come while the catalogue is still being made (its first
  // start may ask for a folder) wait until it stands.
  TSelectThemaForm *catalogue = nullptr;
  std::vector<std::optional<QString>> early;
  QObject::connect(&instance, &TSingleInstance::HandOver,
                   [&](bool hasArgument, const QString &argument) {
                     std::optional<QString> arg;
                     if (hasArgument)
                       arg = argument;
                     if (catalogue)
                       catalogue->WMShortcutHandover(arg);
                     else
                       early.push_back(arg);
                   });

  TSelectThemaForm form(shortcut);
  QObject::connect(&form, &TSelectThemaForm::Closed, &app, &QCoreApplication::quit,
                   Qt::QueuedConnection);
  // The desktop ends the program (a logout, a shutdown, the terminal closing):
  // nothing typed is lost, though no question can be asked.
  TSignalPipe endSignals;
  ConnectSessionEnd(form, endSignals);
  form.ShowAtStart();
  catalogue = &form;
  for (const auto &arg : early)
    form.WMShortcutHandover(arg);
  early.clear();
  return app.exec();
}

} // namespace

int main(int argc, char **argv) {
  UseLargeHeapPages(argv);
  try {
    return Run(argc, argv);
  } catch (const std::exception &e) {
    // Nothing is left to save at this point; the program just ends.
    std::fprintf(stderr, "orvane: %s\n", e.what());
  } catch (...) {
    std::fprintf(stderr, "orvane: unexpected failure\n");
  }
  return 1;
}
