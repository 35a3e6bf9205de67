// The undo history over a real project: every kind of step, undone, redone
// and undone again with a save between each, leaves the tree (IDs and open
// states too) and the item files as they were at that end, and no file is
// ever lost.
#include "store/TreeHistory.h"
#include "ProjectFixtures.h"
#include "store/TreeClipboard.h"
#include "support/DiskSnapshot.h"
#include "support/TreeOutline.h"

#include <gtest/gtest.h>

namespace {

using fixture::Find;

struct Row {
  const char *name;
  TTreeStep kind;
  std::function<void(TProject &)> edit;
  const char *after;
};
void PrintTo(const Row &row, std::ostream *os) { *os << row.name; }

// A new item as the new-item command and the captures make it.
TProjectNode *New(TProject &p, TProjectNode *parent, int row, const std::string &label) {
  TProjectNode *n = p.Tree().InsertAt(parent, row, label);
  p.InitItem(*n->Data());
  n->Data()->Files.Title = label;
  n->Data()->Files.Body = TTextLines{"captured"};
  EXPECT_TRUE(n->Data()->Files.Save());
  return n;
}

void Move(TProject &p, const char *node, const char *target, TNodeAttachMode mode) {
  p.Tree().MoveTo(Find(p, node), Find(p, target), mode);
}

class TreeHistory : public ::testing::TestWithParam<Row> {
protected:
  TempDir t;
  TProject p;
  size_t kept = 0; // item files, retired ones included: never fewer

  void SetUp() override {
    fixture::WriteSample(t);
    p.Load(t.Dir());
  }
  // The tree with IDs, and the live item files (a save between steps is no
  // barrier; the tree file's ID counter moves on, retired files stay).
  std::pair<std::string, snapshot::Snapshot> Now() {
    EXPECT_TRUE(p.Save());
    snapshot::Snapshot files = snapshot::Take(t.Dir());
    files.erase("MainTree.dat");
    files.erase("MainTree.dat.ord");
    EXPECT_GE(files.size(), kept);
    kept = files.size();
    std::erase_if(files, [](const auto &f) { return f.first.ends_with(".exp"); });
    return {outline::Print(p.Tree(), [](const TProjectNode *n) { return "#" + n->Data()->ID; }),
            files};
  }
};

TEST_P(TreeHistory, UndoRedoUndoGivesEachEndBack) {
  const auto before = Now();
  {
    TTreeHistory::Step step(p.History(), GetParam().kind, "step");
    GetParam().edit(p);
  }
  EXPECT_EQ(outline::Print(p.Tree()), GetParam().after);
  const auto after = Now();
  for (bool undo : {true, false, true}) {
    ASSERT_TRUE((undo ? p.History().Undo() : p.History().Redo()).done);
    EXPECT_TRUE(p.Modified());
    EXPECT_EQ(Now(), undo ? before : after) << (undo ? "undone" : "redone");
  }
  EXPECT_FALSE(p.History().CanUndo());
  EXPECT_EQ(p.History().RedoKind(), GetParam().kind);
}

INSTANTIATE_TEST_SUITE_P(
    EveryStep, TreeHistory,
    ::testing::Values(
        Row{"NewItem", TTreeStep::NewItem, [](TProject &p) { New(p, p.Root(), 1, "N"); },
            "Project(A(A1 A2) N B)"},
        Row{"NewSubItem", TTreeStep::NewSubItem, [](TProject &p) { New(p, Find(p, "B"), 0, "N"); },
            "Project(A(A1 A2) B+(N))"},
        Row{"Rename", TTreeStep::Rename, [](TProject &p) { p.Tree().SetText(Find(p, "A1"), "X"); },
            "Project(A(X A2) B)"},
        Row{"DeleteSubtree", TTreeStep::Delete,
            [](TProject &p) {
              EXPECT_TRUE(p.RetireItemFile(Find(p, "A")));
              p.Tree().Delete(Find(p, "A"));
            },
            "Project(B)"},
        Row{"Up", TTreeStep::Up, [](TProject &p) { Move(p, "B", "A", TNodeAttachMode::Insert); },
            "Project(B A(A1 A2))"},
        Row{"Down", TTreeStep::Down,
            [](TProject &p) { Move(p, "A1", "A", TNodeAttachMode::AddChild); },
            "Project(A(A2 A1) B)"},
        Row{"Lift", TTreeStep::Lift,
            [](TProject &p) { Move(p, "A2", "B", TNodeAttachMode::Insert); },
            "Project(A(A1) A2 B)"},
        Row{"Sink", TTreeStep::Sink,
            [](TProject &p) { Move(p, "B", "A", TNodeAttachMode::AddChild); },
            "Project(A(A1 A2 B))"},
        Row{"Drag", TTreeStep::Drag,
            [](TProject &p) {
              Move(p, "A", "A2", TNodeAttachMode::AddFirst); // refused: its own subtree
              Move(p, "A", "B", TNodeAttachMode::AddChild);
              p.Tree().SetExpanded(Find(p, "A"), true);
            },
            "Project(B(A(A1 A2)))"},
        Row{"InsertSubtree", TTreeStep::Insert,
            [](TProject &p) {
              const treeclip::TClip clip = treeclip::Parse(treeclip::CopyText(p, Find(p, "A")));
              EXPECT_EQ(treeclip::Insert(p, clip, Find(p, "B"), {}).inserted, 3);
            },
            "Project(A(A1 A2) B A+(A1 A2))"},
        Row{"Capture", TTreeStep::Capture,
            [](TProject &p) { p.Tree().SetText(New(p, Find(p, "A"), 2, "N"), "Title"); },
            "Project(A(A1 A2 Title) B)"},
        Row{"FileDrop", TTreeStep::FileDrop,
            [](TProject &p) {
              New(p, p.Root(), 2, "F1");
              New(p, p.Root(), 3, "F2");
            },
            "Project(A(A1 A2) B F1 F2)"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(TreeHistoryRules, QuestionsAndPlacesOfWhatComesBack) {
  TempDir t;
  fixture::WriteSample(t);
  TProject p;
  p.Load(t.Dir());
  TTreeHistory &h = p.History();
  // Text typed into a new item after its step is named before an undo takes it.
  TProjectNode *n;
  {
    TTreeHistory::Step step(h, TTreeStep::NewItem, "N");
    n = New(p, p.Root(), 2, "N");
  }
  EXPECT_TRUE(h.EditedBeforeUndo().empty());
  EXPECT_TRUE(h.UndoRemoves(n));
  EXPECT_FALSE(h.UndoRemoves(Find(p, "B")));
  n->Data()->Files.Body = TTextLines{"typed later"};
  EXPECT_EQ(h.EditedBeforeUndo(), std::vector<TProjectNode *>{n});
  // A steps that changed nothing is no step; a nested one joins the outer one.
  {
    TTreeHistory::Step outer(h, TTreeStep::FileDrop, "drop");
    TTreeHistory::Step inner(h, TTreeStep::Capture, "inner");
  }
  {
    TTreeHistory::Step outer(h, TTreeStep::Delete, "A");
    TTreeHistory::Step inner(h, TTreeStep::Rename, "inner");
    ASSERT_TRUE(p.RetireItemFile(Find(p, "A")));
    p.Tree().Delete(Find(p, "A"));
  }
  EXPECT_EQ(h.Count(), 2u);
  EXPECT_EQ(h.UndoKind(), TTreeStep::Delete);
  ASSERT_TRUE(p.Save());
  // Another file took the retired file's name: the item comes back under a new one.
  t.Write("a.txt", "someone else's");
  ASSERT_TRUE(h.Undo().done);
  const std::string back = Find(p, "A")->Data()->Files.FilePath;
  EXPECT_NE(back, t.Path("a.txt"));
  EXPECT_EQ(t.Read("a.txt"), "someone else's");
  EXPECT_EQ(t.Read(back.substr(t.Dir().size())), "Title:A\r\n\r\ntext of A\r\n\r\n");
  EXPECT_FALSE(fsys::Exists(t.Path("a.txt.exp")));
  // The retired file was removed by hand: the text is only in memory, so the
  // item owes its file to the next store.
  {
    TTreeHistory::Step step(h, TTreeStep::Delete, "B");
    ASSERT_TRUE(p.RetireItemFile(Find(p, "B")));
    p.Tree().Delete(Find(p, "B"));
  }
  ASSERT_TRUE(p.Save());
  std::vector<fsys::Entry> files;
  ASSERT_TRUE(fsys::ListDirectory(t.Dir(), files));
  for (const fsys::Entry &f : files)
    if (f.name.ends_with(".exp")) {
      ASSERT_TRUE(fsys::DeleteFile(t.Dir() + f.name));
    }
  ASSERT_TRUE(h.Undo().done);
  TNodeData &restored = *Find(p, "B")->Data();
  EXPECT_TRUE(restored.Unsaved);
  ASSERT_TRUE(restored.Files.Save());
  EXPECT_TRUE(fsys::FileExists(restored.Files.FilePath));
  // A change of the shape outside a step forgets every step.
  p.Tree().AddChild(p.Root(), "unrecorded");
  EXPECT_FALSE(h.CanUndo() || h.CanRedo());
}

} // namespace
