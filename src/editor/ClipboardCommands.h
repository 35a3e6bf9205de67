#pragma once
// Copy of a subtree to the desktop clipboard and its insert into this or
// another project (store/TreeClipboard.h holds the format and the rules).
#include "editor/EditorContext.h"

#include <QObject>

class TClipboardCommands {
public:
  explicit TClipboardCommands(TEditorContext &editor);
  void Bind();

  // The clipboard's text begins with the tree marker.
  bool ClipboardHasTree() const;
  // The clipboard holds some text (for the capture commands too).
  bool ClipboardHasText() const;

private:
  void CopyItemAction();
  void PastItemAction();
  void ClipboardChanged();

  TEditorContext &ed_;
  // What the clipboard holds, read once per change: asking the desktop at
  // every command update would wait on another program each time.
  mutable bool known_ = false;
  mutable bool hasText_ = false;
  mutable bool hasTree_ = false;
};
