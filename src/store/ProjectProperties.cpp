#include "store/ProjectProperties.h"

#include "store/Codec.h"
#include "store/IniFile.h"
#include "store/LibUnit.h"
#include "store/MatchesLiblary.h"

#include <cerrno>
#include <unordered_map>
#include <unordered_set>

namespace {

constexpr std::string_view kTreeFileLower = "maintree.dat";

// The tree file among the entries: the usual spelling first, else the name in
// any letter case (a project from a file system that ignores case).
const fsys::Entry *FindTreeFile(const std::vector<fsys::Entry> &entries) {
  const fsys::Entry *other = nullptr;
  for (const fsys::Entry &e : entries) {
    if (e.isDirectory)
      continue;
    if (e.name == "MainTree.dat")
      return &e;
    if (!other && cp932::LowerAscii(e.name) == kTreeFileLower)
      other = &e;
  }
  return other;
}

} // namespace

fsys::Status ReadItemHeader(TNodeFiles &files) {
  if (files.FilePath.empty())
    return fsys::Status{"open", "", ENOENT};
  fsys::FileReader in;
  if (fsys::Status s = in.Open(files.FilePath); !s)
    return s;
  std::string bytes;
  size_t chunk = 8192;
  for (;;) {
    const size_t at = bytes.size();
    bytes.resize(at + chunk);
    size_t got = 0;
    if (fsys::Status s = in.Read(bytes.data() + at, chunk, got); !s)
      return s;
    bytes.resize(at + got);
    if (got == 0)
      break; // the whole file is read
    // Every round reads twice as much: a file of one long line (or of lone
    // CR line ends) costs a few rounds, not one per piece.
    chunk *= 2;
    // Done once the header ends on a line read whole, before the last one:
    // the last complete line might go on as more than the header's end. A
    // CR as the last byte read may be half a CR LF. Only the new bytes (and
    // a CR that was the last byte before them) can complete a further line.
    const size_t from = at > 0 ? at - 1 : 0;
    size_t end = bytes.size();
    while (end > from && bytes[end - 1] != '\n' && (bytes[end - 1] != '\r' || end == bytes.size()))
      --end;
    if (end == from)
      continue;
    files.ParseHeader(std::string_view(bytes).substr(0, end));
    if (files.BodyOffset < static_cast<int64_t>(end)) {
      files.Body.clear();
      return {};
    }
  }
  files.ParseHeader(bytes);
  files.Body.clear();
  return {};
}

TProjectProperties ReadProjectProperties(std::string_view dir) {
  TProjectProperties out;
  out.ProjectDir = AddPathSeparator(std::string(dir));
  std::vector<fsys::Entry> entries;
  if (dir.empty() || !fsys::ListDirectory(out.ProjectDir, entries))
    return out;
  const fsys::Entry *treeFile = FindTreeFile(entries);
  if (!treeFile)
    return out;
  out.IsProject = true;
  out.TreeFileTime = treeFile->mtime;

  // Every item file the tree file names, by lower-cased name, with the number
  // of entries still to match (a name listed twice matches two files).
  TIniFile ini;
  // Unreadable, it names no item: the files are still listed, as they are.
  (void)ini.Load(out.ProjectDir + treeFile->name);
  std::unordered_map<std::string, int> pending;
  std::unordered_set<std::string> exact; // as spelt in the tree file
  std::string rootFile;
  bool hasRoot = false;
  const std::vector<std::string> sections = ini.ReadSections();
  pending.reserve(sections.size());
  exact.reserve(sections.size());
  for (const std::string &section : sections) {
    const std::string *name = ini.Find(section, "FileName");
    if (!name || name->empty())
      continue;
    std::string lower = cp932::LowerAscii(*name);
    if (cp932::LowerAscii(section) == "root") {
      rootFile = lower;
      hasRoot = true;
    }
    exact.insert(*name);
    ++pending[std::move(lower)];
  }

  out.Files.reserve(entries.size());
  std::vector<std::string> lowerNames;
  lowerNames.reserve(entries.size());
  for (const fsys::Entry &e : entries) {
    if (e.isDirectory || !MatchesMasks(e.name, "*.*"))
      continue;
    std::string lower = cp932::LowerAscii(e.name);
    if (lower.find(kTreeFileLower) != std::string::npos)
      continue; // the tree file and its copies are no part of the list
    TPropertyFile f;
    f.Path = out.ProjectDir + e.name;
    f.Name = e.name;
    f.Size = e.size;
    out.Files.push_back(std::move(f));
    lowerNames.push_back(std::move(lower));
  }

  // A file spelt as the tree file names it is that item; another file that
  // differs from it only in letter case is not, as long as the tree names
  // the item once.
  auto match = [&](size_t i) {
    auto it = pending.find(lowerNames[i]);
    if (it == pending.end() || it->second == 0)
      return;
    --it->second;
    out.Files[i].IsItem = true;
  };
  for (size_t i = 0; i < out.Files.size(); ++i)
    if (exact.count(out.Files[i].Name))
      match(i);
  for (size_t i = 0; i < out.Files.size(); ++i)
    if (!out.Files[i].IsItem)
      match(i);

  for (size_t i = 0; i < out.Files.size(); ++i) {
    TPropertyFile &f = out.Files[i];
    if (!f.IsItem)
      continue;
    f.Item.FilePath = f.Path;
    (void)ReadItemHeader(f.Item); // an unreadable file keeps the initial values
    if (hasRoot && lowerNames[i] == rootFile && !out.HasRootTitle) {
      out.HasRootTitle = true;
      out.RootTitle = f.Item.Title;
    }
  }
  return out;
}
