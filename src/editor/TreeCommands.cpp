// Commands that change the shape of the item tree: new items, rename, delete,
// the four moves, expand and collapse all, and moving items by dragging them.
#include "editor/TreeCommands.h"

#include "editor/ItemMemo.h"
#include "editor/VaveDataBase.h"
#include "store/Project.h"
#include "ui/BusyCursor.h"
#include "ui/Text.h"

namespace {

std::string Cp932(const char16_t *text) {
  std::string out;
  ui::FromQString(QString::fromUtf16(text), out);
  return out;
}

} // namespace

TTreeCommands::TTreeCommands(TEditorContext &editor) : ed_(editor) {}

TProjectNode *TTreeCommands::Selected() const { return ed_.Tree()->Selected(); }
TProjectNode *TTreeCommands::Root() const { return ed_.Project().Root(); }

// A move goes through the core tree and reaches the view as a row move: no
// selection event runs, the item stays selected and current and the memo
// keeps its text. The core expands the new parent and collapses the moved
// subtree.
void TTreeCommands::MoveItem(TProjectNode *node, TProjectNode *target, TNodeAttachMode mode,
                             TTreeStep kind) {
  TVaveDataBase *view = ed_.Tree();
  TTreeHistory::Step step(ed_.Project().History(), kind, node->Text());
  // A move the tree refuses (into the item's own subtree) still counts as an
  // edit, as the user asked for one.
  ed_.Project().SetModified(true);
  view->Tree().MoveTo(node, target, mode);
  view->scrollTo(view->IndexOf(node));
}

void TTreeCommands::Bind() {
  using A = TEditorAction;
  TEditorActions &a = ed_.Actions();
  auto editable = [this] { return Root() && !ed_.ProjectLocked(); };
  auto item = [this, editable] { return editable() && Selected() && Selected() != Root(); };
  auto parent = [this] { return Selected() ? Selected()->Parent() : nullptr; };
  a.Bind(
      A::CreateNewItemAction, [this] { CreateNewItem(false, true); }, editable);
  a.Bind(
      A::CreateSubItemAction, [this] { CreateNewItem(true, true); }, item);
  a.Bind(
      A::RenameItemAction, [this] { RenameItemAction(); },
      [this, editable] { return editable() && Selected(); });
  a.Bind(
      A::ExpierItemAction, [this] { ExpierItemAction(); }, item);
  a.Bind(
      A::UpperItemAction, [this] { UpperItemAction(); },
      [this, editable] { return editable() && Selected() && Selected()->Index() >= 1; });
  a.Bind(
      A::DownerItemAction, [this] { DownerItemAction(); },
      [this, editable, parent] {
        return editable() && parent() && Selected()->Index() + 1 < parent()->Count();
      });
  a.Bind(
      A::InprimentUpperItemAction, [this] { InprimentUpperItemAction(); },
      [this, editable, parent] { return editable() && parent() && parent() != Root(); });
  a.Bind(
      A::AddLowerItemAction, [this] { AddLowerItemAction(); },
      [this, editable] { return editable() && Selected() && Selected()->Index() != 0; });
  a.Bind(A::AllExpandAction, [this] { SetAllExpanded(true); });
  a.Bind(A::AllComposeAction, [this] { SetAllExpanded(false); });
  BindDragging();
}

void TTreeCommands::BindDragging() {
  TVaveDataBase *view = ed_.Tree();
  view->CanStartDrag = [this](TProjectNode *node) {
    return Root() && !ed_.ProjectLocked() && node != Root(); // the root cannot go anywhere
  };
  QObject::connect(view, &TVaveDataBase::nodeDropped, view,
                   [this](TProjectNode *dragged, TProjectNode *target, TNodeAttachMode mode) {
                     if (ed_.ProjectLocked() || !dragged || dragged == Root())
                       return;
                     // A move comes out collapsed; a dragged item keeps the state it had.
                     const bool expanded = dragged->Expanded();
                     TTreeHistory::Step step(ed_.Project().History(), TTreeStep::Drag,
                                             dragged->Text());
                     MoveItem(dragged, target, mode, TTreeStep::Drag);
                     ed_.Tree()->Tree().SetExpanded(dragged, expanded);
                     ed_.Actions().UpdateSoon(); // a drop is no command
                   });
}

// ------------------------------------------------------------ new items ----

TProjectNode *TTreeCommands::CreateNewItem(bool sub, bool fromUser) {
  TProjectNode *selected = Selected();
  TProjectNode *root = Root();
  if (!root || ed_.ProjectLocked() || (sub && (!selected || selected == root)))
    return nullptr;
  if (!ed_.StoreOrTell(ed_.CurrentNode()))
    return nullptr;
  // The item left is on disk now. Storing it again when the new item is
  // selected would give it the caret of the cleared memo.
  ed_.ForgetCurrentNode();
  TItemMemo *memo = ed_.Memo();
  memo->setUpdatesEnabled(false);
  memo->clear();
  TProjectTree &tree = ed_.Project().Tree();
  const std::string label = Cp932(u"新しいアイテム");
  TTreeHistory::Step step(ed_.Project().History(), sub ? TTreeStep::NewSubItem : TTreeStep::NewItem,
                          label);
  TProjectNode *node;
  if (sub)
    node = tree.AddChild(selected, label);
  else if (!selected || selected == root)
    node = tree.AddChild(root, label);
  else
    node = tree.InsertAt(selected->Parent(), selected->Index() + 1, label);
  ed_.Project().InitItem(*node->Data());
  ed_.SetMemoModified(true);
  const fsys::Status written = ed_.StoreItem(node);
  ed_.Tree()->SelectNode(node);
  if (!written) // the item stays; its file is tried again when it is left
    ed_.TellNotStored(node, written);
  memo->setUpdatesEnabled(true);
  if (fromUser)
    ed_.Tree()->StartLabelEdit(node);
  return node;
}

void TTreeCommands::RenameItemAction() {
  TProjectNode *selected = Selected();
  // Asked about at the close like any change, even when the label stays.
  ed_.Project().SetModified(true);
  ed_.Tree()->StartLabelEdit(selected);
}

// --------------------------------------------------------------- delete ----

void TTreeCommands::ExpierItemAction() {
  TProjectNode *selected = Selected();
  TProjectNode *root = Root();
  TVaveDataBase *view = ed_.Tree();
  if (selected->Parent() == root && root->Count() <= 1) {
    ed_.ShowMessageBox(QString::fromUtf16(u"最低一つのアイテムが必要です"), ui::MsgIcon::Error,
                       ui::MsgButtons::Ok);
    return;
  }
  if (ed_.ShowMessageBox(QString::fromUtf16(u"このアイテムを削除してもよろしいですか?"),
                         ui::MsgIcon::Warning, ui::MsgButtons::YesNo,
                         ui::MsgAnswer::No) != ui::MsgAnswer::Yes)
    return;
  // The row just above on screen; the root is above every other item.
  TProjectNode *above = TVaveTreeModel::NodeOf(view->indexAbove(view->IndexOf(selected)));
  if (!above)
    above = selected->Parent();
  TTreeHistory::Step step(ed_.Project().History(), TTreeStep::Delete, selected->Text());
  ed_.ForgetCurrentNode(); // the deleted item is not stored again
  // Only the item's own file is retired. When that fails (the file is gone,
  // or a retired file of that name exists) the file stays as it is and the
  // item goes all the same; no file is ever deleted here.
  ed_.Project().RetireItemFile(selected);
  // Move the selection off the item first, so that its removal does not make
  // the view pick another current row by itself.
  view->SelectNode(above);
  view->Tree().Delete(selected);
}

// ---------------------------------------------------------------- moves ----

void TTreeCommands::UpperItemAction() {
  TProjectNode *selected = Selected();
  MoveItem(selected, selected->GetPrevSibling(), TNodeAttachMode::Insert, TTreeStep::Up);
}

void TTreeCommands::DownerItemAction() {
  TProjectNode *selected = Selected();
  TProjectNode *parent = selected->Parent();
  if (selected->Index() + 2 < parent->Count())
    MoveItem(selected, parent->Item(selected->Index() + 2), TNodeAttachMode::Insert,
             TTreeStep::Down);
  else
    MoveItem(selected, parent, TNodeAttachMode::AddChild, TTreeStep::Down);
}

void TTreeCommands::InprimentUpperItemAction() {
  TProjectNode *selected = Selected();
  TProjectNode *parent = selected->Parent();
  // Right after the former parent, at its level.
  if (TProjectNode *next = parent->GetNextSibling())
    MoveItem(selected, next, TNodeAttachMode::Insert, TTreeStep::Lift);
  else
    MoveItem(selected, parent, TNodeAttachMode::Add, TTreeStep::Lift);
}

void TTreeCommands::AddLowerItemAction() {
  TProjectNode *selected = Selected();
  MoveItem(selected, selected->GetPrevSibling(), TNodeAttachMode::AddChild, TTreeStep::Sink);
}

// ---------------------------------------------------- expand / collapse ----

void TTreeCommands::SetAllExpanded(bool expanded) {
  ui::BusyCursor busy;
  TVaveDataBase *view = ed_.Tree();
  view->SetAllExpanded(expanded);
  // As a tree control does when the selected item disappears in a collapse:
  // its nearest visible ancestor becomes the selection (stored and shown as
  // any selection change).
  if (TProjectNode *selected = view->Selected()) {
    TProjectNode *shown = selected;
    for (TProjectNode *p = selected->Parent(); p; p = p->Parent())
      if (!p->Expanded())
        shown = p;
    if (shown != selected)
      view->SelectNode(shown);
    view->scrollTo(view->currentIndex());
  }
}
