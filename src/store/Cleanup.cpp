#include "store/Cleanup.h"

#include "store/Codec.h"
#include "store/LibUnit.h"
#include "store/MatchesLiblary.h"
#include "store/Project.h"
#include "store/Recovery.h"
#include "store/TreeHistory.h"

#include <unordered_map>
#include <unordered_set>

namespace {

struct FileId {
  uint64_t device, inode;
  bool operator==(const FileId &o) const { return device == o.device && inode == o.inode; }
};
struct FileIdHash {
  size_t operator()(const FileId &id) const {
    return std::hash<uint64_t>()(id.inode ^ (id.device << 32));
  }
};

// The items the load did not read, with the names their entries give.
void KeepWhatUnreadItemsName(const TProject &project, TStringList &keep,
                             std::vector<std::string> &unreadable) {
  const std::string &dir = project.Dir();
  std::vector<std::string> names;
  for (const TProjectNode *n : project.Tree().MissingItems())
    names.push_back(n->Data()->ListedFileName);
  // A section the load reached but refused (a cycle, a second entry, a
  // shared file) names another entry's file: that entry answers for it.
  std::unordered_set<std::string> refused;
  for (const TSkippedItem &s : project.Tree().SkippedItems())
    refused.insert(s.ID);
  for (const TSkippedItem &s : project.Tree().UnreachedItems())
    if (!s.FileName.empty() && !refused.count(s.ID))
      names.push_back(s.FileName);
  for (const std::string &name : names) {
    TNodeFiles f;
    f.FilePath = dir + name;
    keep.push_back(f.FilePath);
    if (!f.ReadHeader()) {
      unreadable.push_back(name);
      continue;
    }
    for (const std::string &entry : f.AttachFiles)
      keep.push_back(ExtractFilePath(entry).empty() ? dir + entry : entry);
  }
}

} // namespace

TCleanupReport DeleteUnusedFiles(const TProject &project) {
  TCleanupReport report;
  const std::string &dir = project.Dir();
  if (dir.empty() || !project.Root())
    return report;
  // Everything the project names: items and attachments, then the tree file.
  TStringList keep;
  project.CollectItemFiles(keep, keep, -1, project.Root(), true);
  keep.push_back(project.TreeFilePath());
  // And what an undo brings back with its items.
  const size_t named = keep.size();
  project.History().CollectHeldFiles(keep, keep);
  for (size_t i = named, n = keep.size(); i < n; ++i)
    keep.push_back(keep[i] + ".exp");
  KeepWhatUnreadItemsName(project, keep, report.unreadable);
  if (!report.unreadable.empty())
    return report;
  // What an unsaved tree in the recovery copy names waits for its restore.
  for (const recovery::Copy &held :
       recovery::CopiesOf(recovery::DefaultRoot(), dir, recovery::IdentityOf(project), true))
    for (const std::string &name : recovery::NamedFiles(held.entry))
      keep.push_back(dir + name);

  std::vector<fsys::Entry> entries;
  if (fsys::Status st = fsys::ListDirectory(dir, entries); !st) {
    report.listing = st;
    return report;
  }
  // Entries by lower-cased name, for names that do not exist as spelt.
  std::unordered_map<std::string, std::vector<const fsys::Entry *>> byLower;
  for (const fsys::Entry &e : entries)
    byLower[cp932::LowerAscii(e.name)].push_back(&e);

  std::unordered_set<FileId, FileIdHash> kept;
  for (const std::string &path : keep) {
    FileId id{};
    if (fsys::Identity(path, id.device, id.inode)) {
      kept.insert(id);
      continue;
    }
    // Not there as spelt: the same name in another letter case, directly in
    // the project directory.
    if (ExtractFilePath(path) != dir)
      continue;
    auto it = byLower.find(cp932::LowerAscii(ExtractFileName(path)));
    if (it != byLower.end())
      for (const fsys::Entry *e : it->second)
        kept.insert({e->device, e->inode});
  }

  for (const fsys::Entry &e : entries) {
    if (e.isDirectory && !e.isSymlink)
      continue;
    if (e.isSymlink && e.isDirectory)
      continue; // a link to a directory is left as it is
    if (!MatchesMasks(e.name, "*.*"))
      continue;
    if (kept.count({e.device, e.inode}))
      continue;
    if (fsys::Status st = fsys::DeleteFile(dir + e.name); st)
      ++report.deleted;
    else
      report.failures.push_back(st);
  }
  return report;
}
