#pragma once
// Commands that write items out of the project: the current item's text to a
// file of the user's choosing, and the entries of the export commands.
#include "editor/EditorContext.h"

class TExportCommands {
public:
  explicit TExportCommands(TEditorContext &editor) : ed_(editor) {}
  void Bind();

private:
  void SaveItemTextAction();

  TEditorContext &ed_;
};
