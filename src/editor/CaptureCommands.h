#pragma once
// Capture into the tree: the clipboard's text, a chosen text file or files
// dropped on the window become new items, stored at once.
#include "editor/EditorContext.h"
#include "store/NodeFiles.h"

#include <functional>
#include <string>

class TDragDropFile;

class TCaptureCommands {
public:
  // `hasText`: whether the clipboard holds text (the clipboard group knows).
  TCaptureCommands(TEditorContext &editor, std::function<bool()> hasText);
  void Bind();

  // A file's bytes as item text: CP932 as it stands, byte for byte; a UTF-8
  // file converted. False, with the characters CP932 cannot hold in
  // `problem`, when the text cannot be kept whole.
  static bool ItemTextOfFile(const std::string &bytes, std::string &text, QString &problem);

  TDragDropFile *DropTarget() const { return drop_; }
  void FileDrop(const TStringList &paths);

private:
  void ClipboardCapture(int tag);
  void InportTextFileAction();
  // A new item after the selected one holding `text` (CP932 lines), labelled
  // `label`; false when none was made.
  bool Capture(bool sub, bool fromUser, const std::string &label, const TStringList &lines);
  // The file's text, or a message naming the file and the reason.
  bool ReadTextFile(const std::string &path, std::string &text);

  TEditorContext &ed_;
  std::function<bool()> hasText_;
  TDragDropFile *drop_ = nullptr;
};
