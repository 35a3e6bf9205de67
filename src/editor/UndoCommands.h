#pragma once
// Undo and redo of the tree's edits (the project's TTreeHistory), from the
// tree with Ctrl+Z, Ctrl+Y and Ctrl+Shift+Z or from the tree menu, whose
// hints name the step; and the window of deleted items, which puts retired
// item files back into the tree.
#include "editor/EditorContext.h"
#include "store/TreeHistory.h"

class TUndoCommands {
public:
  explicit TUndoCommands(TEditorContext &editor);
  ~TUndoCommands();
  TUndoCommands(const TUndoCommands &) = delete;
  TUndoCommands &operator=(const TUndoCommands &) = delete;
  void Bind();

  // "削除" for TTreeStep::Delete, ...: the step as the hint line names it.
  static QString StepName(TTreeStep kind);
  // Undoes (or redoes) the last step; false when nothing changed.
  bool Replay(bool undo);

private:
  bool Editable() const;
  void UpdateHints();
  void DeletedItemsAction();

  TEditorContext &ed_;
};
