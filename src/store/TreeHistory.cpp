#include "store/TreeHistory.h"

#include "store/Project.h"

#include <utility>

namespace {

uint64_t TextHash(const TProjectNode *n) { return fsys::HashBytes(n->Data()->Files.Body.Joined()); }

const std::string &NoLabel() {
  static const std::string none;
  return none;
}

} // namespace

// One report of the tree. Replayed backwards it undoes itself, forwards it
// does itself again; `owned` holds the subtree while it is out of the tree.
struct TTreeHistory::Change {
  enum Kind { Place, Move, Remove, Label, Expand } kind = Place;
  TProjectNode *node = nullptr;
  TProjectNode *fromParent = nullptr; // where a moved or removed node stood
  int fromRow = 0;
  TProjectNode *toParent = nullptr; // where a placed or moved node went
  int toRow = 0;
  std::unique_ptr<TProjectNode> owned;
  std::string label; // the label the next replay gives
  bool expanded = false;
  // The texts of the nodes this change brings into the tree, as recorded.
  std::vector<std::pair<TProjectNode *, uint64_t>> texts;
};

struct TTreeHistory::StepData {
  TTreeStep kind = TTreeStep::NewItem;
  std::string label;
  TProjectNode *selectBefore = nullptr;
  TProjectNode *selectAfter = nullptr;
  std::vector<Change> changes;
};

TTreeHistory::TTreeHistory(TProject &project) : project_(project) {
  project_.Tree().SetRecorder(this);
}

TTreeHistory::~TTreeHistory() { project_.Tree().SetRecorder(nullptr); }

// ------------------------------------------------------------- recording ----

void TTreeHistory::Begin(TTreeStep kind, std::string label) {
  if (depth_++ > 0)
    return;
  open_ = std::make_unique<StepData>();
  open_->kind = kind;
  open_->label = std::move(label);
  open_->selectBefore = project_.Tree().Selected();
}

void TTreeHistory::SetLabel(std::string label) {
  if (open_)
    open_->label = std::move(label);
}

void TTreeHistory::End() {
  if (depth_ == 0 || --depth_ > 0)
    return;
  std::unique_ptr<StepData> step = std::move(open_);
  if (!step || step->changes.empty())
    return;
  step->selectAfter = project_.Tree().Selected();
  for (Change &c : step->changes)
    if (c.kind == Change::Place)
      c.texts.emplace_back(c.node, TextHash(c.node));
  steps_.resize(done_); // the steps undone are gone with their nodes
  steps_.push_back(std::move(step));
  done_ = steps_.size();
  Changed();
}

// A change of the shape outside a step leaves the recorded places wrong.
bool TTreeHistory::Recording() {
  if (replaying_)
    return false;
  if (!open_) {
    Clear();
    return false;
  }
  return true;
}

void TTreeHistory::Placed(TProjectNode *node) {
  if (!Recording())
    return;
  Change c;
  c.kind = Change::Place;
  c.node = node;
  c.toParent = node->Parent();
  c.toRow = node->Index();
  open_->changes.push_back(std::move(c));
}

void TTreeHistory::Moved(TProjectNode *node, TProjectNode *oldParent, int oldRow) {
  if (!Recording())
    return;
  Change c;
  c.kind = Change::Move;
  c.node = node;
  c.fromParent = oldParent;
  c.fromRow = oldRow;
  c.toParent = node->Parent();
  c.toRow = node->Index();
  open_->changes.push_back(std::move(c));
}

void TTreeHistory::Removed(std::unique_ptr<TProjectNode> node, TProjectNode *parent, int row) {
  if (!Recording())
    return; // the subtree goes after the steps that named its nodes
  Change c;
  c.kind = Change::Remove;
  c.node = node.get();
  c.fromParent = parent;
  c.fromRow = row;
  for (TProjectNode *n = c.node; n; n = n->GetNextWithin(c.node))
    c.texts.emplace_back(n, TextHash(n));
  c.owned = std::move(node);
  open_->changes.push_back(std::move(c));
}

void TTreeHistory::Relabelled(TProjectNode *node, const std::string &old) {
  if (replaying_ || !open_)
    return;
  Change c;
  c.kind = Change::Label;
  c.node = node;
  c.label = old;
  open_->changes.push_back(std::move(c));
}

void TTreeHistory::ExpandedChanged(TProjectNode *node) {
  if (replaying_ || !open_)
    return;
  Change c;
  c.kind = Change::Expand;
  c.node = node;
  c.expanded = node->Expanded();
  open_->changes.push_back(std::move(c));
}

void TTreeHistory::Cleared() {
  if (replaying_)
    return;
  open_.reset();
  Clear();
}

void TTreeHistory::CollectHeldFiles(std::vector<std::string> &items,
                                    std::vector<std::string> &attachments) const {
  for (const auto &step : steps_)
    for (const Change &c : step->changes)
      if (c.owned)
        project_.CollectItemFiles(items, attachments, -1, c.owned.get(), true);
}

void TTreeHistory::Clear() {
  const bool had = !steps_.empty();
  steps_.clear();
  done_ = 0;
  if (had)
    Changed();
}

void TTreeHistory::Changed() {
  if (OnChange)
    OnChange();
}

// ------------------------------------------------------------- questions ----

TTreeStep TTreeHistory::UndoKind() const {
  return CanUndo() ? steps_[done_ - 1]->kind : TTreeStep::NewItem;
}
const std::string &TTreeHistory::UndoLabel() const {
  return CanUndo() ? steps_[done_ - 1]->label : NoLabel();
}
TTreeStep TTreeHistory::RedoKind() const {
  return CanRedo() ? steps_[done_]->kind : TTreeStep::NewItem;
}
const std::string &TTreeHistory::RedoLabel() const {
  return CanRedo() ? steps_[done_]->label : NoLabel();
}

// An undo takes out what the step placed, a redo what it removed.
std::vector<TProjectNode *> TTreeHistory::Edited(const StepData &step, bool undo) const {
  std::vector<TProjectNode *> edited;
  for (const Change &c : step.changes) {
    if (c.kind != (undo ? Change::Place : Change::Remove))
      continue;
    for (const auto &[node, hash] : c.texts)
      if (!node->Data()->Missing && TextHash(node) != hash)
        edited.push_back(node);
  }
  return edited;
}

bool TTreeHistory::Removes(const StepData &step, bool undo, const TProjectNode *node) const {
  for (const Change &c : step.changes)
    if (c.kind == (undo ? Change::Place : Change::Remove) &&
        (node == c.node || node->HasAsParent(c.node)))
      return true;
  return false;
}

std::vector<TProjectNode *> TTreeHistory::Relabels(const StepData &step) const {
  std::vector<TProjectNode *> nodes;
  for (const Change &c : step.changes)
    if (c.kind == Change::Label)
      nodes.push_back(c.node);
  return nodes;
}

std::vector<TProjectNode *> TTreeHistory::EditedBeforeUndo() const {
  return CanUndo() ? Edited(*steps_[done_ - 1], true) : std::vector<TProjectNode *>{};
}
std::vector<TProjectNode *> TTreeHistory::EditedBeforeRedo() const {
  return CanRedo() ? Edited(*steps_[done_], false) : std::vector<TProjectNode *>{};
}
bool TTreeHistory::UndoRemoves(const TProjectNode *node) const {
  return node && CanUndo() && Removes(*steps_[done_ - 1], true, node);
}
bool TTreeHistory::RedoRemoves(const TProjectNode *node) const {
  return node && CanRedo() && Removes(*steps_[done_], false, node);
}
std::vector<TProjectNode *> TTreeHistory::UndoRelabels() const {
  return CanUndo() ? Relabels(*steps_[done_ - 1]) : std::vector<TProjectNode *>{};
}
std::vector<TProjectNode *> TTreeHistory::RedoRelabels() const {
  return CanRedo() ? Relabels(*steps_[done_]) : std::vector<TProjectNode *>{};
}

// -------------------------------------------------------------- replays ----

void TTreeHistory::Apply(Change &c, bool undo, fsys::Status &status) {
  TProjectTree &tree = project_.Tree();
  auto restore = [&](TProjectNode *n) {
    if (fsys::Status s = project_.RestoreItemFile(n); !s && status)
      status = s;
  };
  switch (c.kind) {
  case Change::Place:
    if (undo) {
      (void)project_.RetireItemFile(c.node); // false: the file stays as it is, as at a delete
      c.owned = tree.Detach(c.node);
    } else {
      restore(c.node);
      tree.Attach(c.toParent, c.toRow, std::move(c.owned));
    }
    break;
  case Change::Remove:
    if (undo) {
      restore(c.node);
      tree.Attach(c.fromParent, c.fromRow, std::move(c.owned));
    } else {
      (void)project_.RetireItemFile(c.node); // as the delete did
      c.owned = tree.Detach(c.node);
    }
    break;
  case Change::Move:
    if (undo)
      tree.MoveToRow(c.node, c.fromParent, c.fromRow);
    else
      tree.MoveToRow(c.node, c.toParent, c.toRow);
    break;
  case Change::Label: {
    std::string now = c.node->Text();
    tree.SetText(c.node, c.label);
    c.label = std::move(now);
    break;
  }
  case Change::Expand:
    tree.SetExpanded(c.node, undo ? !c.expanded : c.expanded);
    break;
  }
}

TTreeHistory::TReplay TTreeHistory::Undo() {
  TReplay r;
  if (!CanUndo() || open_)
    return r;
  StepData &step = *steps_[done_ - 1];
  replaying_ = true;
  for (auto c = step.changes.rbegin(); c != step.changes.rend(); ++c)
    Apply(*c, true, r.status);
  replaying_ = false;
  --done_;
  project_.SetModified(true);
  Changed();
  r.done = true;
  r.select = step.selectBefore;
  return r;
}

TTreeHistory::TReplay TTreeHistory::Redo() {
  TReplay r;
  if (!CanRedo() || open_)
    return r;
  StepData &step = *steps_[done_];
  replaying_ = true;
  for (Change &c : step.changes)
    Apply(c, false, r.status);
  replaying_ = false;
  ++done_;
  project_.SetModified(true);
  Changed();
  r.done = true;
  r.select = step.selectAfter;
  return r;
}
