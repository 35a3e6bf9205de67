#pragma once
// What a command group of the editor window may use of it: the project, the
// tree view and the memo, the current item and its life (stored when left,
// shown when entered), the lock, messages, and the commands' actions. The
// window implements it; a group knows the window only through this.
#include "editor/EditorActions.h"
#include "store/FileSystem.h"
#include "store/ProjectTree.h"
#include "store/TextLines.h"
#include "ui/MessageBox.h"

#include <QString>

#include <optional>
#include <string>

class QMainWindow;
class TItemMemo;
class TMemoJump;
class TNodeFiles;
class TProject;
class TProjectNode;
class TVaveDataBase;

class TEditorContext {
public:
  virtual ~TEditorContext() = default;

  virtual QMainWindow *Window() = 0;
  virtual TProject &Project() = 0;
  virtual TVaveDataBase *Tree() = 0;
  virtual TItemMemo *Memo() = 0;
  virtual TMemoJump &MemoJump() = 0;
  virtual TEditorActions &Actions() = 0;

  // The item shown in the memo; null while none is (also between leaving one
  // item and entering the next).
  virtual TProjectNode *CurrentNode() const = 0;
  virtual void ForgetCurrentNode() = 0; // it must not be stored again
  // The root item carries the completion mark: nothing may change.
  virtual bool ProjectLocked() const = 0;
  // Writes the tree file with the selected node as "LastNode"; false when it
  // could not be written.
  virtual fsys::Status SaveTree(TProjectTree::TreeOverwrite overwrite) = 0;
  fsys::Status SaveTree() { return SaveTree(TProjectTree::TreeOverwrite::IfUnchanged); }
  // Stamped on every item stored with changes.
  virtual const std::string &Author() const = 0;
  // The new-item commands: "新しいアイテム" after the selected item (the
  // root's last child when the root is selected), or with `sub` its last
  // child; stored, selected and, `fromUser`, open for label editing. Null
  // when none was made (locked, or the current item could not be written).
  virtual TProjectNode *CreateNewItem(bool sub, bool fromUser) = 0;

  // Writes what differs from the item's file; why not when it could not.
  virtual fsys::Status StoreItem(TProjectNode *node) = 0;
  // "The current item cannot be saved", with the item's path and the reason.
  virtual void TellNotStored(TProjectNode *node, const fsys::Status &why) = 0;
  // Stores `node` and, when it could not be written, tells the user why.
  bool StoreOrTell(TProjectNode *node) {
    const fsys::Status s = StoreItem(node);
    if (!s)
      TellNotStored(node, s);
    return s.ok();
  }
  // Shows `node` as the current item.
  virtual void VaveTreeChange(TProjectNode *node) = 0;

  // Edits of `node` (of its label, marks, text) no file holds yet.
  virtual bool HasUnsavedEdits(TProjectNode *node) const = 0;
  // The marks and attachments the shown item's file now holds.
  virtual void RememberStored(const TNodeFiles &f) = 0;
  // The header, marks and attachments show the item's file as it now is.
  virtual void FollowItemFiles(TProjectNode *node) = 0;
  // No load is walking the tree and no close is under way.
  virtual bool Steady() const = 0;
  // The project loaded again from its files and shown (problems told); no
  // item is current until one is selected.
  virtual void LoadAgain() = 0;
  // The selection now is the one the tree on disk holds.
  virtual void RememberSavedSelection() = 0;

  virtual bool MemoModified() const = 0;
  // The memo's text as item lines.
  virtual TTextLines MemoLines() const = 0;
  virtual void SetMemoModified(bool modified) = 0;
  virtual void ShowMemoText(const TTextLines &lines) = 0;
  virtual void UpdateCaretPanel() = 0;
  // The item's marks changed: icon, check marks and read-only state follow.
  virtual void RefreshAttributes(TProjectNode *node) = 0;

  virtual ui::MsgAnswer ShowMessageBox(const QString &text, ui::MsgIcon icon,
                                       ui::MsgButtons buttons,
                                       std::optional<ui::MsgAnswer> defaultButton = {}) = 0;
  // Every command's enabled state from its rule.
  virtual void updateActionStates() = 0;
};
