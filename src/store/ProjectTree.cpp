#include "store/ProjectTree.h"

#include "store/IniFile.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <limits>
#include <unordered_set>
#include <utility>

// ---- TProjectNode --------------------------------------------------------

TProjectNode::~TProjectNode() {
  // Without recursion: a hostile tree file can make a chain of nodes far
  // deeper than the stack.
  std::vector<std::unique_ptr<TProjectNode>> pending = std::move(children_);
  while (!pending.empty()) {
    std::unique_ptr<TProjectNode> n = std::move(pending.back());
    pending.pop_back();
    for (auto &c : n->children_)
      pending.push_back(std::move(c));
    n->children_.clear();
  }
}

TProjectNode *TProjectNode::Parent() const {
  return parent_ && parent_->parent_ ? parent_ : nullptr;
}

TProjectNode *TProjectNode::Item(int row) const {
  return row >= 0 && row < Count() ? children_[static_cast<size_t>(row)].get() : nullptr;
}

TProjectNode *TProjectNode::GetNextSibling() const {
  return parent_ ? parent_->Item(index_ + 1) : nullptr;
}

TProjectNode *TProjectNode::GetPrevSibling() const {
  return parent_ ? parent_->Item(index_ - 1) : nullptr;
}

TProjectNode *TProjectNode::GetNext() const { return GetNextWithin(nullptr); }

TProjectNode *TProjectNode::GetNextWithin(const TProjectNode *root) const {
  if (HasChildren())
    return children_.front().get();
  for (const TProjectNode *n = this; n && n != root; n = n->parent_)
    if (TProjectNode *s = n->GetNextSibling())
      return s;
  return nullptr;
}

TProjectNode *TProjectNode::GetPrev() const {
  TProjectNode *p = GetPrevSibling();
  if (!p)
    return Parent();
  while (p->HasChildren())
    p = p->children_.back().get();
  return p;
}

TProjectNode *TProjectNode::GetPrevVisible() const {
  TProjectNode *p = GetPrevSibling();
  if (!p)
    return Parent();
  while (p->expanded_ && p->HasChildren())
    p = p->children_.back().get();
  return p;
}

int TProjectNode::Level() const {
  int level = 0;
  for (const TProjectNode *p = Parent(); p; p = p->Parent())
    ++level;
  return level;
}

bool TProjectNode::HasAsParent(const TProjectNode *ancestor) const {
  if (!ancestor)
    return false;
  for (const TProjectNode *p = Parent(); p; p = p->Parent())
    if (p == ancestor)
      return true;
  return false;
}

// ---- TProjectTree: structure ---------------------------------------------

TProjectTree::TProjectTree() = default;

TProjectTree::~TProjectTree() { ClearNodes(); }

TProjectNode *TProjectTree::Public(TProjectNode *holder) {
  return holder->parent_ ? holder : nullptr;
}

void TProjectTree::Renumber(TProjectNode *holder, size_t from) {
  for (size_t i = from; i < holder->children_.size(); ++i)
    holder->children_[i]->index_ = static_cast<int>(i);
}

TProjectNode *TProjectTree::Place(TProjectNode *holder, int row, std::string_view text,
                                  std::unique_ptr<TNodeData> data) {
  if (row < 0 || row > holder->Count())
    row = holder->Count();
  std::unique_ptr<TProjectNode> node(new TProjectNode);
  node->text_ = std::string(text);
  node->data_ = data ? std::move(data) : std::make_unique<TNodeData>();
  node->parent_ = holder;
  TProjectNode *raw = node.get();
  if (!Quiet())
    observer_->AboutToInsert(Public(holder), row);
  holder->children_.insert(holder->children_.begin() + row, std::move(node));
  Renumber(holder, static_cast<size_t>(row));
  ++nodeCount_;
  if (!Quiet())
    observer_->Inserted(raw);
  if (TTreeRecorder *r = Recorder())
    r->Placed(raw);
  return raw;
}

TProjectNode *TProjectTree::AddChild(TProjectNode *parent, std::string_view text,
                                     std::unique_ptr<TNodeData> data) {
  TProjectNode *holder = Holder(parent);
  return Place(holder, holder->Count(), text, std::move(data));
}

TProjectNode *TProjectTree::AddChildFirst(TProjectNode *parent, std::string_view text,
                                          std::unique_ptr<TNodeData> data) {
  return Place(Holder(parent), 0, text, std::move(data));
}

TProjectNode *TProjectTree::Insert(TProjectNode *sibling, std::string_view text,
                                   std::unique_ptr<TNodeData> data) {
  if (!sibling)
    return AddChild(nullptr, text, std::move(data));
  return Place(sibling->parent_, sibling->index_, text, std::move(data));
}

TProjectNode *TProjectTree::InsertAt(TProjectNode *parent, int row, std::string_view text,
                                     std::unique_ptr<TNodeData> data) {
  return Place(Holder(parent), row, text, std::move(data));
}

bool TProjectTree::MoveTo(TProjectNode *node, TProjectNode *target, TNodeAttachMode mode) {
  if (!node || !target || !node->parent_)
    return false;
  TProjectNode *holder = nullptr;
  int destRow = 0; // counted before the move
  switch (mode) {
  case TNodeAttachMode::Insert:
    holder = target->parent_;
    destRow = target->index_;
    if (target == node)
      return false;
    break;
  case TNodeAttachMode::AddChild:
    holder = target;
    destRow = target->Count();
    break;
  case TNodeAttachMode::Add:
    holder = target->parent_;
    destRow = holder ? holder->Count() : 0;
    break;
  case TNodeAttachMode::AddFirst:
    holder = target->parent_;
    destRow = 0;
    break;
  }
  if (!holder || holder == node || holder->HasAsParent(node))
    return false;

  TProjectNode *oldHolder = node->parent_;
  int oldRow = node->index_;
  bool stays = holder == oldHolder && (destRow == oldRow || destRow == oldRow + 1);
  if (!stays) {
    if (!Quiet())
      observer_->AboutToMove(node, Public(holder), destRow);
    std::unique_ptr<TProjectNode> owned = std::move(oldHolder->children_[oldRow]);
    oldHolder->children_.erase(oldHolder->children_.begin() + oldRow);
    Renumber(oldHolder, static_cast<size_t>(oldRow));
    int at = (holder == oldHolder && destRow > oldRow) ? destRow - 1 : destRow;
    owned->parent_ = holder;
    holder->children_.insert(holder->children_.begin() + at, std::move(owned));
    Renumber(holder, static_cast<size_t>(std::min(at, holder == oldHolder ? oldRow : at)));
    if (!Quiet())
      observer_->Moved(node, Public(oldHolder), oldRow);
    if (TTreeRecorder *r = Recorder())
      r->Moved(node, Public(oldHolder), oldRow);
  }
  Collapse(node);
  if (TProjectNode *parent = Public(holder))
    SetExpanded(parent, true);
  return true;
}

void TProjectTree::Collapse(TProjectNode *node) { SetExpandedRecursive(node, false); }

void TProjectTree::Delete(TProjectNode *node) {
  if (!node || !node->parent_)
    return;
  TProjectNode *parent = Public(node->parent_);
  const int row = node->index_;
  std::unique_ptr<TProjectNode> owned = Detach(node);
  if (TTreeRecorder *r = Recorder())
    r->Removed(std::move(owned), parent, row);
}

std::unique_ptr<TProjectNode> TProjectTree::Detach(TProjectNode *node) {
  if (!node || !node->parent_)
    return nullptr;
  TProjectNode *holder = node->parent_;
  int row = node->index_;
  if (!Quiet())
    observer_->AboutToRemove(node);
  size_t removed = 0;
  for (TProjectNode *n = node; n; n = n->GetNextWithin(node)) {
    ++removed;
    if (n == selected_)
      selected_ = nullptr;
    if (n == selectNode_)
      selectNode_ = nullptr;
  }
  std::unique_ptr<TProjectNode> owned = std::move(holder->children_[row]);
  holder->children_.erase(holder->children_.begin() + row);
  Renumber(holder, static_cast<size_t>(row));
  owned->parent_ = nullptr;
  nodeCount_ -= removed;
  if (!Quiet())
    observer_->Removed(Public(holder), row);
  return owned;
}

TProjectNode *TProjectTree::Attach(TProjectNode *parent, int row,
                                   std::unique_ptr<TProjectNode> node) {
  if (!node)
    return nullptr;
  TProjectNode *holder = Holder(parent);
  if (row < 0 || row > holder->Count())
    row = holder->Count();
  TProjectNode *raw = node.get();
  size_t added = 0;
  for (TProjectNode *n = raw; n; n = n->GetNextWithin(raw))
    ++added;
  if (!Quiet())
    observer_->AboutToInsert(Public(holder), row);
  raw->parent_ = holder;
  holder->children_.insert(holder->children_.begin() + row, std::move(node));
  Renumber(holder, static_cast<size_t>(row));
  nodeCount_ += added;
  if (!Quiet())
    observer_->Inserted(raw);
  return raw;
}

void TProjectTree::MoveToRow(TProjectNode *node, TProjectNode *parent, int row) {
  TProjectNode *holder = Holder(parent);
  TProjectNode *oldHolder = node ? node->parent_ : nullptr;
  if (!oldHolder || holder == node || holder->HasAsParent(node))
    return;
  const int oldRow = node->index_;
  const int last = holder == oldHolder ? holder->Count() - 1 : holder->Count();
  row = std::clamp(row, 0, last);
  if (holder == oldHolder && row == oldRow)
    return;
  if (!Quiet())
    observer_->AboutToMove(node, Public(holder),
                           holder == oldHolder && row > oldRow ? row + 1 : row);
  std::unique_ptr<TProjectNode> owned = std::move(oldHolder->children_[oldRow]);
  oldHolder->children_.erase(oldHolder->children_.begin() + oldRow);
  Renumber(oldHolder, static_cast<size_t>(oldRow));
  owned->parent_ = holder;
  holder->children_.insert(holder->children_.begin() + row, std::move(owned));
  Renumber(holder, static_cast<size_t>(holder == oldHolder ? std::min(row, oldRow) : row));
  if (!Quiet())
    observer_->Moved(node, Public(oldHolder), oldRow);
}

bool TProjectTree::Contains(const TProjectNode *node) const {
  while (node && node->parent_)
    node = node->parent_;
  return node == &top_;
}

void TProjectTree::Changed(TProjectNode *node, TNodeChange what) {
  if (!Quiet())
    observer_->DataChanged(node, what);
}

void TProjectTree::SetText(TProjectNode *node, std::string_view text) {
  if (!node || node->text_ == text)
    return;
  std::string old = std::exchange(node->text_, std::string(text));
  Changed(node, TNodeChange::Label);
  if (TTreeRecorder *r = Recorder())
    r->Relabelled(node, old);
}

void TProjectTree::SetExpanded(TProjectNode *node, bool expanded) {
  if (!node || node->expanded_ == expanded)
    return;
  node->expanded_ = expanded;
  Changed(node, TNodeChange::Expanded);
  if (TTreeRecorder *r = Recorder())
    r->ExpandedChanged(node);
}

void TProjectTree::SetExpandedRecursive(TProjectNode *node, bool expanded) {
  for (TProjectNode *n = node; n; n = n->GetNextWithin(node))
    if (n->HasChildren() || !expanded)
      SetExpanded(n, expanded);
}

void TProjectTree::NotifyDataChanged(TProjectNode *node) {
  if (node)
    Changed(node, TNodeChange::Data);
}

void TProjectTree::ClearNodes() {
  top_.children_.clear(); // each node releases its subtree without recursion
  if (recorder_)
    recorder_->Cleared();
  nodeCount_ = 0;
  selected_ = nullptr;
  selectNode_ = nullptr;
}

void TProjectTree::ClearTree() {
  if (!Quiet())
    observer_->AboutToReset();
  ClearNodes();
  if (!Quiet())
    observer_->Reset();
}

// ---- TProjectTree: item IDs ----------------------------------------------

namespace {

const char kItemIDPrefix[] = "Root-C";
constexpr size_t kItemIDPrefixSize = sizeof kItemIDPrefix - 1;

// The number of a "Root-C<digits>" ID (the prefix in any case, as section
// names compare); false for other IDs and for numbers past 64 bits, which no
// counter value formats to.
bool ItemIDNumber(std::string_view id, int64_t &out) {
  if (id.size() <= kItemIDPrefixSize ||
      !TIniFile::SameName(id.substr(0, kItemIDPrefixSize), kItemIDPrefix))
    return false;
  uint64_t v = 0;
  for (char c : id.substr(kItemIDPrefixSize)) {
    if (c < '0' || c > '9')
      return false;
    unsigned d = static_cast<unsigned>(c - '0');
    if (v > (static_cast<uint64_t>(std::numeric_limits<int64_t>::max()) - d) / 10)
      return false;
    v = v * 10 + d;
  }
  out = static_cast<int64_t>(v);
  return true;
}

std::string FormatItemID(int64_t n) {
  char id[32];
  std::snprintf(id, sizeof id, "%s%05" PRId64, kItemIDPrefix, n);
  return id;
}

} // namespace

std::string TProjectTree::NextItemID() {
  using NameSet = std::unordered_set<std::string_view, TIniFile::NameHash, TIniFile::NameEqual>;
  NameSet used;
  int64_t next = std::max<int64_t>(WindowData.LastIndex, 0);
  bool full = false; // some ID holds the largest number
  auto consider = [&](std::string_view id) {
    used.insert(id);
    int64_t n;
    if (ItemIDNumber(id, n)) {
      if (n == std::numeric_limits<int64_t>::max())
        full = true;
      else if (n >= next)
        next = n + 1;
    }
  };
  for (TProjectNode *n = GetFirstNode(); n; n = n->GetNext())
    consider(n->Data()->ID);
  for (const TSkippedItem &s : skipped_)
    consider(s.ID);
  if (unreached_) // their sections come back at a save
    unreached_->ForEachSection([&](const TIniFile::Section &s) { consider(s.Name()); });
  idsFull_ = full;
  if (full)
    next = 0; // nothing lies above: take the lowest free number instead
  std::string id = FormatItemID(next);
  while (used.count(id) && next < std::numeric_limits<int64_t>::max())
    id = FormatItemID(++next);
  WindowData.LastIndex = next < std::numeric_limits<int64_t>::max() ? next + 1 : next;
  return id;
}

std::string TProjectTree::ContinueItemID() {
  const int64_t next = WindowData.LastIndex;
  if (idsFull_ || next < 0 || next == std::numeric_limits<int64_t>::max())
    return NextItemID();
  WindowData.LastIndex = next + 1;
  return FormatItemID(next);
}
