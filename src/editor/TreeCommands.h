#pragma once
// Commands that change the shape of the item tree: new items, rename, delete,
// the four moves, expand and collapse all, and moving items by dragging them.
#include "editor/EditorContext.h"
#include "store/ProjectTree.h"
#include "store/TreeHistory.h"

class TTreeCommands {
public:
  explicit TTreeCommands(TEditorContext &editor);
  // Binds the commands and the tree's drag and drop.
  void Bind();

  // A new item "新しいアイテム" after the selected one (the root's last child
  // when the root is selected), or with `sub` the selected item's last child;
  // selected and, when the user asked for it, open for label editing. Null
  // when nothing was made (locked, or the current item could not be written).
  TProjectNode *CreateNewItem(bool sub, bool fromUser);

private:
  void RenameItemAction();
  void ExpierItemAction();
  void UpperItemAction();
  void DownerItemAction();
  void InprimentUpperItemAction();
  void AddLowerItemAction();
  void SetAllExpanded(bool expanded);
  void BindDragging();
  void MoveItem(TProjectNode *node, TProjectNode *target, TNodeAttachMode mode, TTreeStep kind);
  TProjectNode *Selected() const;
  TProjectNode *Root() const;

  TEditorContext &ed_;
};
