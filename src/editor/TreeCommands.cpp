// Commands that change the shape of the item tree: new items, rename, delete,
// the four moves, expand and collapse all, and moving items by dragging them.
#include "editor/ItemMemo.h"
#include "editor/VaveDataBase.h"
#include "editor/VaveMain.h"
#include "store/ProjectTree.h"
#include "ui/Text.h"

#include <QAction>
#include <QApplication>

namespace {

std::string Cp932(const char16_t *text) {
  std::string out;
  ui::FromQString(QString::fromUtf16(text), out);
  return out;
}

// A move goes through the core tree and reaches the view as a row move: no
// selection event runs, the item stays selected and current and the memo
// keeps its text. The core expands the new parent and collapses the moved
// subtree.
void MoveItem(TVaveMainForm &form, TProjectNode *node, TProjectNode *target, TNodeAttachMode mode) {
  form.TreeModified = true;
  TVaveDataBase *view = form.VaveDataBase();
  view->Tree().MoveTo(node, target, mode);
  view->scrollTo(view->IndexOf(node));
  form.updateActionStates();
}

} // namespace

void TVaveMainForm::BindTreeCommands() {
  BindAction("CreateNewItemAction", &TVaveMainForm::CreateNewItemAction);
  BindAction("CreateSubItemAction", &TVaveMainForm::CreateSubItemAction);
  BindAction("RenameItemAction", &TVaveMainForm::RenameItemAction);
  BindAction("ExpierItemAction", &TVaveMainForm::ExpierItemAction);
  BindAction("UpperItemAction", &TVaveMainForm::UpperItemAction);
  BindAction("DownerItemAction", &TVaveMainForm::DownerItemAction);
  BindAction("InprimentUpperItemAction", &TVaveMainForm::InprimentUpperItemAction);
  BindAction("AddLowerItemAction", &TVaveMainForm::AddLowerItemAction);
  BindAction("AllExpandAction", &TVaveMainForm::AllExpandAction);
  BindAction("AllComposeAction", &TVaveMainForm::AllExpandAction);
}

void TVaveMainForm::BindTreeDragging() {
  tree_->CanStartDrag = [this](TProjectNode *node) {
    return RootNode && !ProjectLocked && node != RootNode; // the root cannot go anywhere
  };
  tree_->OnDropNode = [this](TProjectNode *dragged, TProjectNode *target, TNodeAttachMode mode) {
    if (ProjectLocked || !dragged || dragged == RootNode)
      return;
    // A move comes out collapsed; a dragged item keeps the state it had.
    const bool expanded = dragged->Expanded();
    MoveItem(*this, dragged, target, mode);
    tree_->Tree().SetExpanded(dragged, expanded);
  };
}

void TVaveMainForm::UpdateTreeCommandStates() {
  TProjectNode *selected = tree_ ? tree_->Selected() : nullptr;
  TProjectNode *parent = selected ? selected->Parent() : nullptr;
  const bool editable = RootNode && !ProjectLocked;
  const bool item = editable && selected && selected != RootNode;
  Action("CreateNewItemAction")->setEnabled(editable);
  Action("CreateSubItemAction")->setEnabled(item);
  Action("RenameItemAction")->setEnabled(editable && selected);
  Action("ExpierItemAction")->setEnabled(item);
  Action("UpperItemAction")->setEnabled(editable && selected && selected->Index() >= 1);
  Action("DownerItemAction")
      ->setEnabled(editable && parent && selected->Index() + 1 < parent->Count());
  Action("InprimentUpperItemAction")->setEnabled(editable && parent && parent != RootNode);
  Action("AddLowerItemAction")->setEnabled(editable && selected && selected->Index() != 0);
  Action("AllExpandAction")->setEnabled(true);
  Action("AllComposeAction")->setEnabled(true);
}

// ------------------------------------------------------------ new items ----

TProjectNode *TVaveMainForm::CreateNewItem(bool sub, bool fromUser) {
  TProjectNode *selected = tree_->Selected();
  if (!RootNode || ProjectLocked || (sub && (!selected || selected == RootNode)))
    return nullptr;
  TreeModified = true;
  if (!StoreItem(CurrentNode)) {
    ShowMessageBox(ItemFileProblem(CurrentNode), ui::MsgIcon::Error, ui::MsgButtons::Ok);
    return nullptr;
  }
  // The item left is on disk now. Storing it again when the new item is
  // selected would give it the caret of the cleared memo.
  CurrentNode = nullptr;
  memo_->setUpdatesEnabled(false);
  memo_->clear();
  TProjectTree &tree = tree_->Tree();
  const std::string label = Cp932(u"新しいアイテム");
  TProjectNode *node;
  if (sub)
    node = tree.AddChild(selected, label);
  else if (!selected || selected == RootNode)
    node = tree.AddChild(RootNode, label);
  else
    node = tree.InsertAt(selected->Parent(), selected->Index() + 1, label);
  const bool written = InitNewItem(node);
  tree_->SelectNode(node);
  if (!written) // the item stays; its file is tried again when it is left
    ShowMessageBox(ItemFileProblem(node), ui::MsgIcon::Error, ui::MsgButtons::Ok);
  memo_->setUpdatesEnabled(true);
  updateActionStates();
  if (fromUser)
    tree_->StartLabelEdit(node);
  return node;
}

void TVaveMainForm::CreateNewItemAction() { CreateNewItem(false, true); }

void TVaveMainForm::CreateSubItemAction() { CreateNewItem(true, true); }

void TVaveMainForm::RenameItemAction() {
  TProjectNode *selected = tree_->Selected();
  if (!selected || ProjectLocked)
    return;
  TreeModified = true;
  tree_->StartLabelEdit(selected);
}

// --------------------------------------------------------------- delete ----

void TVaveMainForm::ExpierItemAction() {
  TProjectNode *selected = tree_->Selected();
  if (!selected || selected == RootNode || ProjectLocked)
    return;
  if (selected->Parent() == RootNode && RootNode->Count() <= 1) {
    ShowMessageBox(QString::fromUtf16(u"最低一つのアイテムが必要です"), ui::MsgIcon::Error,
                   ui::MsgButtons::Ok);
    return;
  }
  if (ShowMessageBox(QString::fromUtf16(u"このアイテムを削除してもよろしいですか?"),
                     ui::MsgIcon::Warning, ui::MsgButtons::YesNo,
                     ui::MsgAnswer::No) != ui::MsgAnswer::Yes)
    return;
  // The row just above on screen; the root is above every other item.
  TProjectNode *above = TVaveTreeModel::NodeOf(tree_->indexAbove(tree_->IndexOf(selected)));
  if (!above)
    above = selected->Parent();
  TreeModified = true;
  CurrentNode = nullptr; // the deleted item is not stored again
  // Only the item's own file is retired. When that fails (the file is gone,
  // or a retired file of that name exists) the file stays as it is and the
  // item goes all the same; no file is ever deleted here.
  RetireItemFile(selected);
  // Move the selection off the item first, so that its removal does not make
  // the view pick another current row by itself.
  tree_->SelectNode(above);
  tree_->Tree().Delete(selected);
  updateActionStates();
}

// ---------------------------------------------------------------- moves ----

void TVaveMainForm::UpperItemAction() {
  TProjectNode *selected = tree_->Selected();
  if (!selected || ProjectLocked || selected->Index() < 1)
    return;
  MoveItem(*this, selected, selected->GetPrevSibling(), TNodeAttachMode::Insert);
}

void TVaveMainForm::DownerItemAction() {
  TProjectNode *selected = tree_->Selected();
  TProjectNode *parent = selected ? selected->Parent() : nullptr;
  if (!parent || ProjectLocked || selected->Index() + 1 >= parent->Count())
    return;
  if (selected->Index() + 2 < parent->Count())
    MoveItem(*this, selected, parent->Item(selected->Index() + 2), TNodeAttachMode::Insert);
  else
    MoveItem(*this, selected, parent, TNodeAttachMode::AddChild);
}

void TVaveMainForm::InprimentUpperItemAction() {
  TProjectNode *selected = tree_->Selected();
  TProjectNode *parent = selected ? selected->Parent() : nullptr;
  if (!parent || parent == RootNode || ProjectLocked)
    return;
  // Right after the former parent, at its level.
  if (TProjectNode *next = parent->GetNextSibling())
    MoveItem(*this, selected, next, TNodeAttachMode::Insert);
  else
    MoveItem(*this, selected, parent, TNodeAttachMode::Add);
}

void TVaveMainForm::AddLowerItemAction() {
  TProjectNode *selected = tree_->Selected();
  if (!selected || ProjectLocked || selected->Index() < 1)
    return;
  MoveItem(*this, selected, selected->GetPrevSibling(), TNodeAttachMode::AddChild);
}

// ---------------------------------------------------- expand / collapse ----

void TVaveMainForm::AllExpandAction() {
  auto *action = qobject_cast<QAction *>(sender());
  const bool collapse = action && action->property("Tag").toInt() == 1;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  if (tree_->SetAllExpanded(!collapse))
    TreeModified = true;
  // As a tree control does when the selected item disappears in a collapse:
  // its nearest visible ancestor becomes the selection (stored and shown as
  // any selection change).
  if (TProjectNode *selected = tree_->Selected()) {
    TProjectNode *shown = selected;
    for (TProjectNode *p = selected->Parent(); p; p = p->Parent())
      if (!p->Expanded())
        shown = p;
    if (shown != selected)
      tree_->SelectNode(shown);
    tree_->scrollTo(tree_->currentIndex());
  }
  QApplication::restoreOverrideCursor();
}
