#pragma once
// The cleanup of the project directory: files nothing of the project names
// any more are deleted after one question (store/Cleanup.h decides which).
#include "editor/EditorContext.h"

class TCleanupCommands {
public:
  explicit TCleanupCommands(TEditorContext &editor) : ed_(editor) {}
  void Bind();

private:
  void ExpireUnnecessaryFileClick();

  TEditorContext &ed_;
};
