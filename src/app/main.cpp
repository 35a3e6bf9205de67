#include "editor/VaveMain.h"
#include "ui/Placeholder.h"
#include "ui/Text.h"

#include <QApplication>

int main(int argc, char **argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Orvane"));
  const QStringList args = QApplication::arguments();
  if (args.size() > 1) {
    // A project directory on the command line opens it in an editor window.
    std::string dir;
    if (!ui::PathFromQString(args[1], dir))
      return 2;
    auto *editor = new TVaveMainForm;
    editor->Author = "rovo";
    if (!editor->OpenProjectDir(dir))
      return 1;
    return app.exec();
  }
  QWidget *w = CreatePlaceholderWindow();
  w->show();
  int rc = app.exec();
  delete w;
  return rc;
}
