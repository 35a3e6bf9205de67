#include "store/ProjectTree.h"
#include "support/TreeOutline.h"

#include <gtest/gtest.h>
#include <map>

namespace {

std::string Shape(const TProjectTree &tree) { return outline::Print(tree); }

// Mirrors the tree only from the notifications, the way an item model does,
// and checks after every change that the mirror matches the tree.
class MirrorModel : public TTreeObserver {
public:
  explicit MirrorModel(TProjectTree &tree) : tree_(tree) {
    tree.SetObserver(this);
    Rebuild();
  }
  ~MirrorModel() override { tree_.SetObserver(nullptr); }

  int inserts = 0, moves = 0, removes = 0, resets = 0;
  std::vector<std::pair<TProjectNode *, TNodeChange>> changes;

  void AboutToInsert(TProjectNode *parent, int row) override {
    Begin();
    ASSERT_GE(row, 0);
    ASSERT_LE(row, static_cast<int>(rows_[parent].size()));
    pendingParent_ = parent;
    pendingRow_ = row;
  }
  void Inserted(TProjectNode *node) override {
    End();
    ASSERT_EQ(node->Parent(), pendingParent_);
    ASSERT_EQ(node->Index(), pendingRow_);
    auto &r = rows_[pendingParent_];
    r.insert(r.begin() + pendingRow_, node);
    ++inserts;
    Check();
  }
  void AboutToMove(TProjectNode *node, TProjectNode *newParent, int destRow) override {
    Begin();
    auto &from = rows_[node->Parent()];
    ASSERT_EQ(from.at(static_cast<size_t>(node->Index())), node);
    ASSERT_FALSE(newParent == node->Parent() &&
                 (destRow == node->Index() || destRow == node->Index() + 1))
        << "a move that changes nothing must not be reported";
    for (TProjectNode *p = newParent; p; p = p->Parent())
      ASSERT_NE(p, node) << "a node cannot move below itself";
    pendingParent_ = newParent;
    pendingRow_ = destRow;
  }
  void Moved(TProjectNode *node, TProjectNode *oldParent, int oldRow) override {
    End();
    auto &from = rows_[oldParent];
    ASSERT_EQ(from.at(static_cast<size_t>(oldRow)), node);
    from.erase(from.begin() + oldRow);
    int dest = pendingRow_;
    if (oldParent == pendingParent_ && dest > oldRow)
      --dest;
    auto &to = rows_[pendingParent_];
    to.insert(to.begin() + dest, node);
    ++moves;
    Check();
  }
  void AboutToRemove(TProjectNode *node) override {
    Begin();
    ASSERT_EQ(rows_[node->Parent()].at(static_cast<size_t>(node->Index())), node);
    std::vector<TProjectNode *> gone{node};
    for (size_t i = 0; i < gone.size(); ++i) {
      for (TProjectNode *c : rows_[gone[i]])
        gone.push_back(c);
      rows_.erase(gone[i]);
    }
  }
  void Removed(TProjectNode *parent, int row) override {
    End();
    auto &r = rows_[parent];
    r.erase(r.begin() + row);
    ++removes;
    Check();
  }
  void DataChanged(TProjectNode *node, TNodeChange what) override {
    ASSERT_FALSE(inside_);
    changes.emplace_back(node, what);
  }
  void AboutToReset() override { Begin(); }
  void Reset() override {
    End();
    ++resets;
    Rebuild();
  }

private:
  void Begin() {
    ASSERT_FALSE(inside_) << "begin without end";
    inside_ = true;
  }
  void End() {
    ASSERT_TRUE(inside_) << "end without begin";
    inside_ = false;
  }
  void Rebuild() {
    rows_.clear();
    rows_[nullptr];
    for (TProjectNode *n = tree_.GetFirstNode(); n; n = n->GetNext())
      rows_[n->Parent()].push_back(n);
  }
  void Check() {
    std::map<TProjectNode *, std::vector<TProjectNode *>> real;
    real[nullptr];
    for (TProjectNode *n = tree_.GetFirstNode(); n; n = n->GetNext()) {
      ASSERT_EQ(n->Parent() ? n->Parent()->Item(n->Index()) : tree_.TopItem(n->Index()), n);
      real[n->Parent()].push_back(n);
    }
    std::erase_if(rows_, [](auto &p) { return p.first && p.second.empty(); });
    ASSERT_EQ(real, rows_);
  }

  TProjectTree &tree_;
  std::map<TProjectNode *, std::vector<TProjectNode *>> rows_;
  bool inside_ = false;
  TProjectNode *pendingParent_ = nullptr;
  int pendingRow_ = 0;
};

// Root(a(a1 a2) b c)
struct Sample {
  TProjectTree tree;
  TProjectNode *root, *a, *a1, *a2, *b, *c;
  Sample() {
    root = tree.AddChild(nullptr, "Root");
    b = tree.AddChild(root, "b");
    a = tree.AddChildFirst(root, "a");
    c = tree.AddChild(root, "c");
    a2 = tree.AddChild(a, "a2");
    a1 = tree.Insert(a2, "a1");
  }
};

void ExpectMove(TProjectTree &tree, TProjectNode *node, TProjectNode *target, TNodeAttachMode mode,
                const std::string &shape) {
  EXPECT_TRUE(tree.MoveTo(node, target, mode)) << node->Text() << " to " << target->Text();
  EXPECT_EQ(Shape(tree), shape);
}

} // namespace

TEST(ProjectTree, NavigationAndPreOrder) {
  Sample s;
  EXPECT_EQ(Shape(s.tree), "Root+(a+(a1 a2) b c)");
  EXPECT_EQ(s.tree.NodeCount(), 6u);
  std::string order;
  for (TProjectNode *n = s.tree.GetFirstNode(); n; n = n->GetNext())
    order += n->Text() + " ";
  EXPECT_EQ(order, "Root a a1 a2 b c ");
  std::string back;
  for (TProjectNode *n = s.c; n; n = n->GetPrev())
    back += n->Text() + " ";
  EXPECT_EQ(back, "c b a2 a1 a Root ");
  EXPECT_EQ(s.a->GetNextWithin(s.a), s.a1);
  EXPECT_EQ(s.a2->GetNextWithin(s.a), nullptr);
  EXPECT_EQ(s.a2->Level(), 2);
  EXPECT_EQ(s.root->Parent(), nullptr);
  EXPECT_EQ(s.b->GetPrevSibling(), s.a);
  EXPECT_EQ(s.c->GetNextSibling(), nullptr);
  EXPECT_TRUE(s.a2->HasAsParent(s.root));
  EXPECT_FALSE(s.a->HasAsParent(s.a));
  EXPECT_EQ(s.b->GetPrevVisible(), s.a); // a is collapsed
  s.tree.SetExpanded(s.a, true);
  EXPECT_EQ(s.b->GetPrevVisible(), s.a2);
  EXPECT_EQ(s.a1->GetPrevVisible(), s.a);
  ASSERT_NE(s.b->Data(), nullptr); // every node has its data
}

TEST(ProjectTree, FourPlacementModesReportedAsModelMoves) {
  Sample s;
  MirrorModel m(s.tree);
  ExpectMove(s.tree, s.c, s.a, TNodeAttachMode::Insert, "Root(c a+(a1 a2) b)");
  ExpectMove(s.tree, s.c, s.a1, TNodeAttachMode::AddFirst, "Root(a(c a1 a2) b)");
  ExpectMove(s.tree, s.b, s.a1, TNodeAttachMode::Add, "Root(a(c a1 a2 b))");
  ExpectMove(s.tree, s.a1, s.b, TNodeAttachMode::AddChild, "Root(a(c a2 b(a1)))");
  // Downwards within one parent, and out to the top level.
  ExpectMove(s.tree, s.c, s.a, TNodeAttachMode::AddChild, "Root(a(a2 b(a1) c))");
  // Moved nodes come out collapsed, with everything below them.
  ExpectMove(s.tree, s.a, s.root, TNodeAttachMode::Add, "Root- a+(a2 b+(a1) c)");
  EXPECT_EQ(m.moves, 6);
}

TEST(ProjectTree, MovesIntoOwnSubtreeDoNothing) {
  Sample s;
  s.tree.SetExpanded(s.a, true);
  MirrorModel m(s.tree);
  for (auto mode : {TNodeAttachMode::Insert, TNodeAttachMode::AddChild, TNodeAttachMode::Add,
                    TNodeAttachMode::AddFirst})
    EXPECT_FALSE(s.tree.MoveTo(s.a, s.a2, mode));
  EXPECT_FALSE(s.tree.MoveTo(s.a, s.a, TNodeAttachMode::AddChild));
  EXPECT_FALSE(s.tree.MoveTo(s.a, s.a, TNodeAttachMode::Insert));
  EXPECT_FALSE(s.tree.MoveTo(s.root, s.a1, TNodeAttachMode::Insert));
  EXPECT_FALSE(s.tree.MoveTo(s.a, nullptr, TNodeAttachMode::Add));
  EXPECT_EQ(Shape(s.tree), "Root+(a(a1 a2) b c)");
  EXPECT_EQ(m.moves, 0);
  EXPECT_TRUE(m.changes.empty());
}

TEST(ProjectTree, EditorMoveCommandsAndTheirExpandedStates) {
  Sample s;
  MirrorModel m(s.tree);
  s.tree.SetExpanded(s.a, true);
  // Drop on the root: add first relative to the dragged node itself.
  ExpectMove(s.tree, s.c, s.c, TNodeAttachMode::AddFirst, "Root(c a(a1 a2) b)");
  // Before its own next sibling: nothing moves, but it comes out collapsed.
  m.changes.clear();
  ExpectMove(s.tree, s.a, s.b, TNodeAttachMode::Insert, "Root(c a+(a1 a2) b)");
  EXPECT_EQ(m.moves, 1);
  ASSERT_EQ(m.changes.size(), 1u);
  EXPECT_EQ(m.changes[0], std::make_pair(s.a, TNodeChange::Expanded));
  // Move down from second-to-last: add child to its own parent.
  ExpectMove(s.tree, s.a, s.root, TNodeAttachMode::AddChild, "Root(c b a+(a1 a2))");
  // Sink: last child of the sibling above; lift: right after the former parent.
  ExpectMove(s.tree, s.b, s.c, TNodeAttachMode::AddChild, "Root(c(b) a+(a1 a2))");
  ExpectMove(s.tree, s.b, s.a, TNodeAttachMode::Insert, "Root(c- b a+(a1 a2))");
  ExpectMove(s.tree, s.a1, s.a, TNodeAttachMode::Add, "Root(c- b a+(a2) a1)");
  EXPECT_EQ(m.moves, 5);
}

TEST(ProjectTree, DeleteRemovesTheSubtreeAndForgetsTheSelection) {
  Sample s;
  MirrorModel m(s.tree);
  s.tree.SetSelected(s.a2);
  s.tree.Delete(s.a);
  EXPECT_EQ(Shape(s.tree), "Root+(b c)");
  EXPECT_EQ(s.tree.NodeCount(), 3u);
  EXPECT_EQ(s.tree.Selected(), nullptr);
  EXPECT_EQ(s.b->Index(), 0);
  s.tree.SetSelected(s.b);
  s.tree.Delete(s.c);
  EXPECT_EQ(s.tree.Selected(), s.b);
  EXPECT_EQ(m.removes, 2);
  s.tree.ClearTree();
  EXPECT_EQ(m.resets, 1);
  EXPECT_EQ(s.tree.NodeCount(), 0u);
  EXPECT_EQ(s.tree.GetFirstNode(), nullptr);
}

TEST(ProjectTree, LabelExpandedAndDataChangesAreReportedOnce) {
  Sample s;
  MirrorModel m(s.tree);
  s.tree.SetText(s.b, "B");
  s.tree.SetText(s.b, "B");
  s.tree.SetExpandedRecursive(s.root, true);
  s.tree.NotifyDataChanged(s.c);
  EXPECT_EQ(s.b->Text(), "B");
  ASSERT_EQ(m.changes.size(), 4u);
  EXPECT_EQ(m.changes[0], std::make_pair(s.b, TNodeChange::Label));
  EXPECT_EQ(m.changes[1], std::make_pair(s.root, TNodeChange::Expanded));
  EXPECT_EQ(m.changes[2], std::make_pair(s.a, TNodeChange::Expanded));
  EXPECT_EQ(m.changes[3], std::make_pair(s.c, TNodeChange::Data));
}

TEST(ProjectTree, VeryDeepTreesNeedNoRecursion) {
  auto tree = std::make_unique<TProjectTree>();
  TProjectNode *n = tree->AddChild(nullptr, "Root");
  for (int i = 0; i < 200000; ++i)
    n = tree->AddChild(n, "x");
  EXPECT_EQ(n->Level(), 200000);
  size_t count = 0;
  for (TProjectNode *p = tree->GetFirstNode(); p; p = p->GetNext())
    ++count;
  EXPECT_EQ(count, 200001u);
  tree->SetExpandedRecursive(tree->GetFirstNode(), true);
  tree->Delete(tree->GetFirstNode()->GetFirstChild());
  EXPECT_EQ(tree->NodeCount(), 1u);
  n = tree->GetFirstNode();
  for (int i = 0; i < 200000; ++i)
    n = tree->AddChild(n, "y");
  tree.reset(); // destruction walks the nodes without recursion as well
}
