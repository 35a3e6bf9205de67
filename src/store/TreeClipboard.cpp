#include "store/TreeClipboard.h"

#include "store/Codec.h"
#include "store/LibUnit.h"
#include "store/Project.h"

#include <algorithm>
#include <set>

namespace treeclip {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

// The depth dashes and the rest of an item line.
TClipItem SplitItemLine(std::string_view line) {
  TClipItem item;
  size_t dashes = line.find_first_not_of('-');
  if (dashes == std::string_view::npos)
    dashes = line.size();
  item.depth = static_cast<int>(dashes);
  item.path = std::string(line.substr(dashes));
  return item;
}

} // namespace

std::string CopyText(const TProject &project, const TProjectNode *node) {
  TStringList items{std::string(kTreeMarker)};
  TStringList attachments{std::string(kAttachMarker)};
  project.CollectItemFiles(items, attachments, 0, node, false);
  std::string text;
  for (const TStringList *list : {&items, &attachments})
    for (const std::string &line : *list) {
      text += line;
      text += kLineEnd;
    }
  return text;
}

TClip Parse(std::string_view text) {
  TClip clip;
  const TStringList lines = TNodeFiles::SplitLines(text);
  if (lines.empty() || lines[0] != kTreeMarker)
    return clip;
  clip.isTree = true;
  bool inAttach = false;
  for (size_t i = 1; i < lines.size(); ++i) {
    const std::string &line = lines[i];
    if (inAttach) {
      if (line != kAttachMarker && !line.empty())
        clip.attachments.push_back(line);
      continue;
    }
    if (line == kAttachMarker) {
      inAttach = true;
      if (!clip.items.empty())
        clip.sourceDir = ExtractFilePath(clip.items.back().path);
      continue;
    }
    TClipItem item = SplitItemLine(line);
    const int limit = clip.items.empty() ? 0 : clip.items.back().depth + 1;
    item.depth = std::min(item.depth, limit);
    clip.items.push_back(std::move(item));
  }
  return clip;
}

bool IsCopyableName(std::string_view name) {
  if (!IsPlainFileName(name))
    return false;
  for (size_t i = 0; i < name.size(); ++i) {
    const auto b = static_cast<unsigned char>(name[i]);
    if (b == '\\')
      return false;
    if (cp932::IsLeadByte(b)) {
      if (i + 1 == name.size())
        return false; // half a character
      ++i;            // its trail byte may look like a separator and is not one
    }
  }
  return true;
}

namespace {

// Where the next item goes: `depth` against the depth of the item placed
// last (`level`), as the new-item commands would place it.
TProjectNode *Place(TProject &project, TProjectNode *&at, int &level, int depth,
                    const std::string &label, std::unique_ptr<TNodeData> data) {
  TProjectTree &tree = project.Tree();
  TProjectNode *root = project.Root();
  if (depth > level) {
    level = depth;
    return tree.AddChild(at, label, std::move(data));
  }
  for (; level > depth && at->Parent(); --level)
    at = at->Parent();
  level = depth;
  if (at == root)
    return tree.AddChild(root, label, std::move(data));
  return tree.InsertAt(at->Parent(), at->Index() + 1, label, std::move(data));
}

void CopyAttachments(TProject &project, const TClip &clip, const TInsertOptions &options,
                     TInsertReport &report) {
  if (clip.sourceDir.empty() || clip.attachments.empty())
    return;
  // Never replaced, whatever the clipboard says: the files the target
  // project itself needs (its tree file and every item file, the new ones
  // included).
  const std::set<std::string> needed = project.CollectItemFiles();
  const std::string &dir = project.Dir();
  for (const std::string &name : clip.attachments) {
    if (!ExtractFilePath(name).empty() || !IsCopyableName(name))
      continue; // linked from elsewhere (or not a name at all): nothing to copy
    if (needed.count(name) || TProject::IsTreeFileName(name))
      continue;
    const std::string from = clip.sourceDir + name;
    const std::string to = dir + name;
    if (fsys::SameFile(from, to))
      continue; // inserted into its own project: the file is there already
    if (fsys::Exists(to) && !(options.overwrite && options.overwrite(name)))
      continue;
    fsys::WriteOptions write;
    write.withinDir = dir;
    if (fsys::Status st = fsys::CopyFile(from, to, false, write); !st)
      report.copyFailures.push_back(st);
  }
}

} // namespace

TInsertReport Insert(TProject &project, const TClip &clip, TProjectNode *selected,
                     const TInsertOptions &options) {
  TInsertReport report;
  if (!project.Root() || project.Dir().empty())
    return report;
  TProjectNode *at = selected ? selected : project.Root();
  int level = 0;
  // Thousands of new files: flushed once at the end, not one by one.
  fsys::BatchWrites batch;
  for (const TClipItem &item : clip.items) {
    TNodeFiles source;
    source.FilePath = item.path;
    // Only a full path names a file; a relative one would depend on where
    // the program happens to run. A NUL would cut the path short at the OS
    // and name another file.
    if (item.path.empty() || item.path[0] != kPathSeparator ||
        item.path.find('\0') != std::string::npos || !source.Open(true)) {
      report.sourceMissing = true;
      report.missingPath = item.path;
      break;
    }
    auto data = std::make_unique<TNodeData>();
    // One walk over the tree for the first new ID; the others follow it.
    if (report.inserted == 0)
      project.InitItem(*data);
    else
      project.InitNextItem(*data);
    TNodeFiles &files = data->Files;
    files.Assign(source);
    files.Update = clock_::Now();
    files.Author = options.author;
    // Written before it joins the tree: an item whose file is not there
    // would come back as missing.
    if (fsys::Status st = files.Save(); !st) {
      report.failure = st;
      break;
    }
    at = Place(project, at, level, item.depth, source.Title, std::move(data));
    TProjectNode *node = at;
    if (!report.first)
      report.first = node;
    ++report.inserted;
  }
  // The attachment lines come after the item lines: an insert that stopped
  // never reached them.
  if (!report.sourceMissing && report.failure)
    CopyAttachments(project, clip, options, report);
  if (fsys::Status st = batch.Finish(); !st && report.failure)
    report.failure = st;
  return report;
}

} // namespace treeclip
