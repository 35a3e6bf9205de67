#pragma once
// Commands that write items out of the project: the current item's text to a
// file of the user's choosing, the branch of the selected item as plain text
// or one HTML page, the whole project as an exchange file or an HTML frame
// set.
#include "editor/EditorContext.h"

#include <set>
#include <string>

enum class TExportMode;

class TExportCommands {
public:
  explicit TExportCommands(TEditorContext &editor) : ed_(editor) {}
  void Bind();

private:
  void SaveItemTextAction();
  // Text, single HTML page and exchange file: the mode is the command's Tag.
  void ItemTextOutAction(int tag);
  // The frame set: always the whole project, into a directory.
  void ItemHtmlExOutAction();

  // Where the dialogs start when no folder is remembered for the kind: the
  // folder holding the project, so that an export lands in the project
  // directory only when the user goes there; the name from the title.
  std::string DefaultOutputPath(TExportMode mode) const;
  // The kind of file each mode writes, for the folder remembered for it.
  static std::string FolderKind(TExportMode mode);
  // Names of the files the project needs in its directory: tree file, item
  // files, attachments kept there.
  std::set<std::string> ProjectFileNames() const;
  // True (and told) when writing `path` would replace one of those.
  bool RefuseProjectFile(const std::string &path, const std::set<std::string> &names);
  // Runs the export under the hourglass; tells a failure, else opens `result`.
  void Export(TExportMode mode, const std::string &path, const std::string &result);
  void TellFailure(const QString &detail);

  TEditorContext &ed_;
};
