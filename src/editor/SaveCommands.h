#pragma once
// Saving and closing: the save command (the shown item, the window settings,
// the tree file) and a close taken in steps that can be called on their own:
// store what no file holds yet, save the tree, ask the close questions.
#include "editor/EditorContext.h"
#include "store/FileSystem.h"

#include <QString>

#include <functional>
#include <string>

class TDiskChangeCommands;
class TProjectNode;
class TWindowSettings;

class TSaveCommands {
public:
  // `saved` runs after every save that wrote the tree file.
  TSaveCommands(TEditorContext &editor, TDiskChangeCommands &diskChanges, TWindowSettings &settings,
                std::function<void()> saved);
  // The save and close commands and the auto-save check mark.
  void Bind();

  // The save command: the selected item, the window settings, the tree file;
  // false when something could not be written (the user was told). `tree`,
  // when given, receives the tree file's own result.
  bool SaveProject(fsys::Status *tree = nullptr);

  // ---- a close, step by step ------------------------------------------------
  // The label being edited goes into its item (before anything counts as
  // changed or unchanged).
  void CommitLabelEdit();
  // Stores the shown item, then every item whose edits are still in no file
  // (its write failed, or its file was deleted elsewhere and not made
  // again). `failed` is the first item that could not be written; `stay`:
  // a question about a file changed on disk was answered with "stay".
  struct TOwedItems {
    TProjectNode *failed = nullptr;
    fsys::Status why;
    bool stay = false;
  };
  TOwedItems StoreOwedItems();
  // The tree differs from its file: its items, or the selection it names.
  bool TreeNeedsSave() const;
  // Every question of a close, in order, each defaulting to what keeps the
  // user's text: false when the window stays open.
  bool AskCloseQuestions();

  // The selection now is the one the tree on disk holds.
  void RememberSavedSelection();
  // "The current item cannot be saved", with its path and the reason.
  static QString ItemFileProblem(TProjectNode *node, const fsys::Status &why);

private:
  // The tree of a close: saved, left, or (Cancel) the window stays; false
  // when it stays.
  bool SaveTreeOnClose();

  TEditorContext &ed_;
  TDiskChangeCommands &diskChanges_;
  TWindowSettings &settings_;
  std::function<void()> saved_;
  std::string savedSelectionID_; // the selection the tree on disk names
};
