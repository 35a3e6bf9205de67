#pragma once
// The window's place and the widths of its parts, as the tree file keeps
// them: applied when a project opens, collected before the tree is saved.
#include "editor/EditorContext.h"
#include "ui/ScreenFit.h"

class QSplitter;
class TAttachmentCommands;
class TDisplayCommands;
class TItemHeader;

class TWindowSettings {
public:
  TWindowSettings(TEditorContext &editor, QSplitter &splitter, TItemHeader &header,
                  TDisplayCommands &display, TAttachmentCommands &attachments);
  // The window, the splitter, the header sections and the attachment window
  // as the project's tree file holds them.
  void Apply();
  // The shown window's place as the platform gave it still counts as unmoved.
  void Settle();
  // Into the project's window data, to be saved with the tree.
  void Collect();

private:
  TEditorContext &ed_;
  QSplitter &splitter_;
  TItemHeader &header_;
  TDisplayCommands &display_;
  TAttachmentCommands &attachments_;
  ui::TRestoredPlace place_; // the window's place from the settings
  struct {
    int stored = 0, shown = 0;
  } firstWidth_; // a first width shown wider for the tool bar, stored as it was
};
