// The orvane program as a user leaves it when the desktop ends it: the
// catalogue opens the first project of its list, the user types at the start
// of the root's first child, adds two items, types into the second and sets
// the author; then "ready" on stdout and the event loop waits for a signal
// (the real handlers of the program). Argument: "autosave" or "ask".
#include "app/SignalPipe.h"
#include "catalogue/SelectThema.h"
#include "editor/TreeCommands.h"
#include "editor/VaveDataBase.h"
#include "editor/VaveMain.h"

#include <QAction>
#include <QApplication>
#include <QPlainTextEdit>
#include <QTest>

#include <cstdio>
#include <cstring>

int main(int argc, char **argv) {
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  TSelectThemaForm form;
  QObject::connect(&form, &TSelectThemaForm::Closed, &app, &QCoreApplication::quit,
                   Qt::QueuedConnection);
  TSignalPipe pipe;
  ConnectSessionEnd(form, pipe);
  form.ShowAtStart();
  form.SelectRow(0);
  form.OpenProjectAction();
  if (form.Editors().size() != 1) {
    std::fprintf(stderr, "no editor\n");
    return 3;
  }
  TVaveMainForm *e = form.Editors()[0];
  e->Action(TEditorAction::AutoSaveMenu)->setChecked(argc > 1 && !std::strcmp(argv[1], "autosave"));
  e->VaveDataBase()->SelectNode(e->RootNode()->GetFirstChild());
  QTest::keyClick(e->FileText(), Qt::Key_Home, Qt::ControlModifier);
  QTest::keyClicks(e->FileText(), QStringLiteral("typed before the end "));
  e->TreeCommands().CreateNewItem(false, false);
  e->TreeCommands().CreateNewItem(false, false);
  QTest::keyClicks(e->FileText(), QStringLiteral("second new item"));
  form.SetAuthor("kill-author");
  std::printf("ready\n");
  std::fflush(stdout);
  return app.exec();
}
