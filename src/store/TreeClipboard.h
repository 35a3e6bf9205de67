#pragma once
// The tree clipboard: a copied subtree travels as plain text naming the
// copied items' files and their attachments, not their contents. An insert
// reads each listed file where it lies and makes a new item of it in the
// target project, so that a copy survives the closing of its project and
// reaches another window or another running program.
//
//   [Tree buff from Orvane]
//   /home/u/p/a.txt              the copied item
//   -/home/u/p/b.txt             its children, one dash per level
//   [Attach file list from Orvane]
//   pic.png                      kept in the source project: copied over
//   /home/u/docs/plan.odt        linked from elsewhere: stays where it is
//
// Every line ends with CR LF; the text is CP932 like every text here.
#include "store/DateTime.h"
#include "store/FileSystem.h"
#include "store/NodeFiles.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

class TProject;
class TProjectNode;

namespace treeclip {

inline constexpr std::string_view kTreeMarker = "[Tree buff from Orvane]";
inline constexpr std::string_view kAttachMarker = "[Attach file list from Orvane]";

// The text a copy of `node`'s subtree puts on the clipboard.
std::string CopyText(const TProject &project, const TProjectNode *node);

struct TClipItem {
  int depth = 0;    // below the copied item; one more than the item before at most
  std::string path; // the item file, as listed
};

struct TClip {
  bool isTree = false; // the text began with the marker
  std::vector<TClipItem> items;
  // The source project's directory (from the last item line), empty when no
  // item line came before the attachment marker: nothing is then copied.
  std::string sourceDir;
  std::vector<std::string> attachments;
};

// Reads a clipboard text. CR LF, LF or CR end a line. Text that begins with
// the marker but was not made by a copy is made safe rather than refused:
// the first item counts as depth 0, a depth never jumps by more than one
// level, and lines after a second attachment marker are attachment lines.
TClip Parse(std::string_view text);

// An attachment name that may be copied into a project: a plain file name
// with no '\\' either (a separator where the project came from), unless it
// is the trail byte of a double-byte character, and no half character.
bool IsCopyableName(std::string_view name);

struct TInsertOptions {
  std::string author; // the inserting editor's: stamped on every new item
  // Asked for an attachment whose name the target project holds already;
  // true replaces it. Unset: never replace.
  std::function<bool(const std::string &name)> overwrite;
};

struct TInsertReport {
  TProjectNode *first = nullptr; // the first inserted item, null for none
  int inserted = 0;
  // The insert stopped at a listed item file that could not be read (path
  // as listed), or at a new item file that could not be written (`failure`).
  bool sourceMissing = false;
  std::string missingPath;
  fsys::Status failure;
  // Attachment copies that failed (the insert went on).
  std::vector<fsys::Status> copyFailures;
};

// Inserts the items of `clip` after `selected` at its level (the root's last
// children when `selected` is the root): each read from its file, given a
// fresh ID and a fresh file in `project` written at once with every field of
// the source but the path, the update time now and `options.author`. Then
// the attachments kept in the source project are copied into `project`'s
// directory; the tree file, its copy and the item files the tree names are
// never replaced, and nothing is written outside the directory. An insert
// that stops at an item copies no attachments.
TInsertReport Insert(TProject &project, const TClip &clip, TProjectNode *selected,
                     const TInsertOptions &options);

} // namespace treeclip
