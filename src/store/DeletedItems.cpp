#include "store/DeletedItems.h"

#include "store/Codec.h"
#include "store/LibUnit.h"
#include "store/NodeFiles.h"
#include "store/Project.h"
#include "store/TreeHistory.h"

#include <algorithm>
#include <ctime>
#include <memory>
#include <set>

namespace {

TDateTime LocalTime(int64_t seconds) {
  const std::time_t t = static_cast<std::time_t>(seconds);
  std::tm tm{};
  TDateTime d;
  if (!localtime_r(&t, &tm))
    return d;
  d.year = tm.tm_year + 1900, d.month = tm.tm_mon + 1, d.day = tm.tm_mday;
  d.hour = tm.tm_hour, d.minute = tm.tm_min, d.second = tm.tm_sec;
  return d;
}

// An item file begins with its title line; an attachment or a stray text
// file does not.
bool LooksLikeItemFile(std::string_view bytes) {
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
    bytes.remove_prefix(3);
  return cp932::LowerAscii(bytes.substr(0, 6)) == "title:";
}

bool EndsWithNoCase(const std::string &name, std::string_view end) {
  return name.size() > end.size() &&
         cp932::LowerAscii(name.substr(name.size() - end.size())) == end;
}

} // namespace

std::vector<TRestorable> ListRestorable(TProject &project) {
  std::vector<TRestorable> out;
  const std::string &dir = project.Dir();
  std::vector<fsys::Entry> entries;
  if (dir.empty() || !fsys::ListDirectory(dir, entries).ok())
    return out;
  // Whatever the tree, its attachments or the undo history name stays out.
  std::set<std::string> named = project.CollectItemFiles();
  TStringList items, attachments;
  project.CollectItemFiles(items, attachments, -1, project.Root(), false);
  project.History().CollectHeldFiles(items, attachments);
  for (const std::string &path : items) {
    named.insert(ExtractFileName(path));
    named.insert(ExtractFileName(path) + ".exp");
  }
  for (const std::string &a : attachments)
    named.insert(ExtractFileName(a));
  for (const fsys::Entry &e : entries) {
    if (e.isDirectory || e.isSymlink || named.count(e.name))
      continue;
    const bool retired = EndsWithNoCase(e.name, ".exp");
    if (!retired && !EndsWithNoCase(e.name, ".txt"))
      continue;
    std::string bytes;
    if (!fsys::ReadFile(dir + e.name, bytes).ok() || !LooksLikeItemFile(bytes))
      continue;
    TNodeFiles f;
    f.ParseHeader(bytes);
    f.ParseBody(bytes);
    TRestorable r;
    r.name = e.name;
    r.retired = retired;
    r.title = f.Title;
    r.deleted = LocalTime(e.mtime);
    r.size = e.size;
    if (f.Body.size() > 0)
      r.firstLine = std::string(f.Body[0]);
    out.push_back(std::move(r));
  }
  std::sort(out.begin(), out.end(),
            [](const TRestorable &a, const TRestorable &b) { return a.name < b.name; });
  return out;
}

TRestoreReport RestoreItems(TProject &project, const std::vector<std::string> &names,
                            TProjectNode *parent) {
  TRestoreReport report;
  const std::string &dir = project.Dir();
  for (const std::string &name : names) {
    std::string to = dir + name;
    if (EndsWithNoCase(name, ".exp"))
      to.resize(to.size() - 4);
    // A name the program gives other files, or one the tree file cannot
    // hold, would cost the text at a later save or load: a fresh one.
    if (TProject::IsReservedItemFileName(ExtractFileName(to)))
      to = dir + project.NewItemFileName();
    if (to != dir + name) {
      if (fsys::Status s = project.LinkBack(dir + name, to); !s) {
        report.failure = s;
        break;
      }
    }
    auto data = std::make_unique<TNodeData>();
    data->Files.FilePath = to;
    if (fsys::Status s = data->Files.Open(true); !s) {
      report.failure = s;
      break;
    }
    data->ID = project.NextItemID();
    const std::string label = data->Files.Title.empty() ? ExtractFileName(to) : data->Files.Title;
    report.made.push_back(project.Tree().AddChild(parent, label, std::move(data)));
  }
  return report;
}
