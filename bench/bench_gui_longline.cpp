// The editor window with an item whose text is one very long line: opening
// the project with that item selected, selecting it from another item, a caret
// key inside it and one typed character, and the long item copied and inserted
// from the tree clipboard, next to the time of reading its file.
// Usage: bench_gui_longline [megabytes] [dir]   (offscreen: QT_QPA_PLATFORM=offscreen)
#include "ProjectGenerator.h"
#include "editor/VaveDataBase.h"
#include "editor/VaveMain.h"
#include "store/FileSystem.h"
#include "store/ProjectTree.h"
#include "ui/MessageBox.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {
using Clock = std::chrono::steady_clock;
double Ms(Clock::time_point a) {
  return std::chrono::duration<double, std::milli>(Clock::now() - a).count();
}

void Key(QWidget *w, int key, const QString &text = QString()) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
  QApplication::sendEvent(w, &press);
  QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
  QApplication::sendEvent(w, &release);
}

TProjectNode *Find(TVaveDataBase *view, const std::string &id) {
  for (TProjectNode *n = view->Tree().GetFirstNode(); n; n = n->GetNext())
    if (n->Data()->ID == id)
      return n;
  return nullptr;
}
} // namespace

int main(int argc, char **argv) {
  QApplication app(argc, argv);
  double mb = argc > 1 ? std::atof(argv[1]) : 10;
  std::string dir =
      argc > 2 ? argv[2]
               : (std::filesystem::temp_directory_path() / "orvane-bench-longline").string();
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  dir += "/";
  bench::Generate(dir, 10);

  // Item 0 holds one line of Japanese and ASCII, the caret remembered in its
  // middle; it is the item selected at the last save.
  std::string bigId, smallId, bigFile;
  size_t bytes = static_cast<size_t>(mb * 1024 * 1024);
  {
    TProjectTree tree;
    tree.LoadProject(dir);
    TProjectNode *a = tree.RootNode()->Item(0);
    TNodeFiles &f = a->Data()->Files;
    std::string line;
    line.reserve(bytes + 64);
    for (int i = 0; line.size() < bytes; ++i)
      line += "\x93\xfa\x96\x7b\x8c\xea word " + std::to_string(i) + " ";
    f.Body = TTextLines::FromEditorText(line);
    f.Line = 0;
    f.Column = static_cast<int>(line.size() / 2);
    (void)f.Save(); // generated in a temp dir: a failure shows in the run
    bigId = a->Data()->ID;
    bigFile = f.FilePath;
    smallId = tree.RootNode()->Item(1)->Data()->ID;
    tree.SetSelected(a);
    (void)tree.SaveProject(); // generated in a temp dir: a failure shows in the run
  }
  ui::ScriptedMessageBoxes boxes; // nothing may ask; a question would be dismissed

  auto t = Clock::now();
  {
    std::ifstream in(bigFile, std::ios::binary);
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::printf("item file %.1f MB, one line of text\n", all.size() / 1048576.0);
  }
  double readMs = Ms(t);
  std::printf("%-48s %9.0f ms\n", "read the item file (the floor)", readMs);

  for (bool wrap : {false, true}) {
    std::printf("-- %s\n", wrap ? "word wrap" : "no wrap");
    t = Clock::now();
    auto *w = new TVaveMainForm;
    w->setAttribute(Qt::WA_DeleteOnClose, false);
    w->OpenProjectDir(dir);
    w->show();
    app.processEvents();
    std::printf("%-48s %9.0f ms\n", "open the project, the long item shown", Ms(t));
    if (wrap != w->findChild<QAction *>(QStringLiteral("WordWrapMenu"))->isChecked())
      w->findChild<QAction *>(QStringLiteral("WordWrapMenu"))->trigger();
    app.processEvents();
    TVaveDataBase *view = w->VaveDataBase();
    TProjectNode *big = Find(view, bigId), *small = Find(view, smallId);

    t = Clock::now();
    view->SelectNode(small);
    app.processEvents();
    std::printf("%-48s %9.0f ms\n", "select a small item, leaving the long one", Ms(t));

    t = Clock::now();
    view->SelectNode(big);
    app.processEvents();
    std::printf("%-48s %9.0f ms\n", "select the long item", Ms(t));

    QPlainTextEdit *memo = w->FileText();
    memo->setFocus();
    t = Clock::now();
    Key(memo, Qt::Key_Right);
    app.processEvents();
    std::printf("%-48s %9.0f ms\n", "caret one character right", Ms(t));

    t = Clock::now();
    Key(memo, Qt::Key_End);
    app.processEvents();
    std::printf("%-48s %9.0f ms\n", "caret to the end of the line", Ms(t));

    t = Clock::now();
    Key(memo, Qt::Key_X, QStringLiteral("x"));
    app.processEvents();
    std::printf("%-48s %9.0f ms\n", "type one character", Ms(t));

    t = Clock::now();
    view->SelectNode(small);
    app.processEvents();
    std::printf("%-48s %9.0f ms\n", "select a small item, storing the long one", Ms(t));

    // The insert shows the new item, as a selection does. Once: the copy
    // becomes a sub-item of the long one, and a second insert would take both.
    if (wrap) {
      delete w;
      continue;
    }
    view->SelectNode(big);
    w->findChild<QAction *>(QStringLiteral("CopyItemAction"))->trigger();
    app.processEvents();
    t = Clock::now();
    w->findChild<QAction *>(QStringLiteral("PastItemAction"))->trigger();
    app.processEvents();
    std::printf("%-48s %9.0f ms\n", "insert the long item from the tree clipboard", Ms(t));

    delete w;
  }
  if (!boxes.Asked().empty())
    std::printf("note: %zu message boxes were asked\n", boxes.Asked().size());
  std::filesystem::remove_all(dir);
  return 0;
}
