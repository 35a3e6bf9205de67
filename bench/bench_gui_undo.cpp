// Undo in the editor window, next to the command it takes back: the insert
// of a copied 10,000-item subtree (default) and the delete of that subtree,
// each timed through the window's own commands with the tree shown, then
// undone. Goal: each undo under 2x its command.
// Usage: bench_gui_undo [count]   (offscreen: QT_QPA_PLATFORM=offscreen)
#include "ProjectGenerator.h"
#include "editor/VaveDataBase.h"
#include "editor/VaveMain.h"
#include "store/Project.h"
#include "store/TreeClipboard.h"
#include "ui/MessageBox.h"
#include "ui/Text.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>

namespace {
using Clock = std::chrono::steady_clock;
double Ms(Clock::time_point a) {
  return std::chrono::duration<double, std::milli>(Clock::now() - a).count();
}
} // namespace

int main(int argc, char **argv) {
  QApplication app(argc, argv);
  const int count = argc > 1 ? std::atoi(argv[1]) : 10000;
  const std::string base = (std::filesystem::temp_directory_path() / "orvane-bench-undo").string();
  std::filesystem::remove_all(base);
  const std::string source = base + "/source/", target = base + "/target/";
  std::filesystem::create_directories(source);
  std::filesystem::create_directories(target);
  bench::Generate(source, count);
  {
    TProject from;
    if (!from.Load(source).RootLoaded)
      return 1;
    QApplication::clipboard()->setText(ui::ToQString(treeclip::CopyText(from, from.Root())));
    TProject into;
    if (!into.CreateFirstTree(target, "target", "bench"))
      return 1;
  }
  ui::ScriptedMessageBoxes boxes; // the delete's question: Yes; nothing else may ask
  auto *w = new TVaveMainForm;
  if (!w->OpenProjectDir(target))
    return 1;
  auto run = [&](TEditorAction a) {
    const auto start = Clock::now();
    w->Action(a)->trigger();
    QApplication::processEvents();
    return Ms(start);
  };
  w->VaveDataBase()->setFocus();
  // Each the best of three, on the same tree each time.
  const size_t before = w->VaveDataBase()->Tree().NodeCount();
  double insert = 1e9, undoInsert = 1e9, erase = 1e9, undoDelete = 1e9;
  size_t inserted = 0;
  bool undone = true, back = true;
  for (int round = 0; round < 3; ++round) {
    w->VaveDataBase()->SelectNode(w->RootNode());
    insert = std::min(insert, run(TEditorAction::PastItemAction));
    inserted = w->VaveDataBase()->Tree().NodeCount() - before;
    undoInsert = std::min(undoInsert, run(TEditorAction::TreeUndoAction));
    undone = undone && w->VaveDataBase()->Tree().NodeCount() == before;
  }
  run(TEditorAction::TreeRedoAction);
  if (!w->SaveProject())
    return 1;
  TProjectNode *top = w->VaveDataBase()->Selected(); // the subtree's top, selected by the redo
  for (int round = 0; round < 3; ++round) {
    w->VaveDataBase()->SelectNode(top);
    boxes.Answer(ui::MsgAnswer::Yes);
    erase = std::min(erase, run(TEditorAction::ExpierItemAction));
    undoDelete = std::min(undoDelete, run(TEditorAction::TreeUndoAction));
    back = back && w->VaveDataBase()->Tree().NodeCount() == before + inserted;
  }
  std::printf("%zu items inserted and deleted as one subtree\n", inserted);
  std::printf("%-28s %9.1f ms\n", "insert (ref)", insert);
  std::printf("%-28s %9.1f ms   %.2fx (goal under 2x)%s\n", "undo of the insert", undoInsert,
              undoInsert / insert, undone ? "" : "  NOT UNDONE");
  std::printf("%-28s %9.1f ms\n", "delete (ref)", erase);
  std::printf("%-28s %9.1f ms   %.2fx (goal under 2x)%s\n", "undo of the delete", undoDelete,
              undoDelete / erase, back ? "" : "  NOT UNDONE");
  w->SaveProject();
  delete w;
  std::filesystem::remove_all(base);
  return undone && back && boxes.Unscripted() == 0 ? 0 : 1;
}
