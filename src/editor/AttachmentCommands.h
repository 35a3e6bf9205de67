#pragma once
// The attachment window of the editor and the commands that show it. The
// window shows the current item's list; every item that goes away, or stops
// being shown, is detached from it first, so it never points at a freed list.
#include "editor/EditorContext.h"

#include <QPointer>

class TAttachmentForm;
class TNodeFiles;
struct TWindowData;

class TAttachmentCommands {
public:
  explicit TAttachmentCommands(TEditorContext &editor);
  ~TAttachmentCommands();
  // Makes the window (a tool window of the editor) and binds its commands.
  void Bind();

  TAttachmentForm *Window() const;
  // The rows on screen into the item, when they are its list.
  void WriteBack(TNodeFiles &files);
  // A new current item: a shown window follows it, a hidden one lets go.
  void Follow(TProjectNode *node);
  void ApplyWindowSettings(const TWindowData &w);
  void CollectWindowSettings(TWindowData &w);
  // The editor closes: the window lets go and goes with it.
  void Close();

private:
  void Show();
  void DetachRows(const QModelIndex &parent, int first, int last);

  TEditorContext &ed_;
  QPointer<TAttachmentForm> form_;
};
