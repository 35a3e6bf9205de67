#include "store/DeletedItems.h"

#include "store/Codec.h"
#include "store/IniFile.h"
#include "store/LibUnit.h"
#include "store/NodeFiles.h"
#include "store/Project.h"
#include "store/TreeHistory.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <map>
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

// Where the listed items stood in the tree file before the last save, which
// still named the items a delete took out since: each one's nearest listed
// ancestor as its parent, and the items in that tree's order.
void TakeShapeFromBackup(const std::string &dir, std::vector<TRestorable> &items) {
  std::string bytes;
  if (items.empty() || !fsys::ReadFile(TProject::TreeFilePath(dir) + ".ord", bytes))
    return;
  TIniFile ini;
  ini.Parse(bytes);
  std::map<std::string, size_t> byFile; // by the name the tree file gave
  for (size_t i = 0; i < items.size(); ++i)
    byFile[items[i].name.substr(0, items[i].name.size() - (items[i].retired ? 4 : 0))] = i;
  std::vector<size_t> rank(items.size(), SIZE_MAX);
  size_t next = 0;
  std::set<std::string> seen; // a cycle is walked once
  struct Frame {
    std::string section;
    size_t listed; // the nearest listed ancestor, or SIZE_MAX
  };
  std::vector<Frame> stack{{"Root", SIZE_MAX}};
  char key[24];
  while (!stack.empty()) {
    Frame f = std::move(stack.back());
    stack.pop_back();
    const TIniFile::Section *section = ini.GetSection(f.section);
    if (!section || !seen.insert(cp932::LowerAscii(f.section)).second)
      continue;
    if (const std::string *file = ini.Find(section, "FileName"))
      if (auto it = byFile.find(*file); it != byFile.end() && rank[it->second] == SIZE_MAX) {
        rank[it->second] = next++;
        if (f.listed != SIZE_MAX)
          items[it->second].parent = items[f.listed].name;
        f.listed = it->second;
      }
    const size_t first = stack.size();
    for (int n = 1;; ++n) {
      std::snprintf(key, sizeof key, "Child%02d", n);
      const std::string *child = ini.Find(section, key);
      if (!child)
        break;
      stack.push_back(Frame{*child, f.listed});
    }
    std::reverse(stack.begin() + static_cast<std::ptrdiff_t>(first), stack.end());
  }
  std::vector<size_t> order(items.size());
  for (size_t i = 0; i < order.size(); ++i)
    order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return rank[a] < rank[b]; });
  std::vector<TRestorable> sorted;
  sorted.reserve(items.size());
  for (size_t i : order)
    sorted.push_back(std::move(items[i]));
  items = std::move(sorted);
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
    r.modified = LocalTime(e.mtime);
    r.size = e.size;
    if (f.Body.size() > 0)
      r.firstLine = std::string(f.Body[0]);
    out.push_back(std::move(r));
  }
  std::sort(out.begin(), out.end(),
            [](const TRestorable &a, const TRestorable &b) { return a.name < b.name; });
  TakeShapeFromBackup(dir, out);
  return out;
}

TRestoreReport RestoreItems(TProject &project, const std::vector<TRestorable> &chosen,
                            TProjectNode *parent) {
  TRestoreReport report;
  const std::string &dir = project.Dir();
  std::map<std::string, TProjectNode *> made; // by the name listed
  for (const TRestorable &r : chosen) {
    const std::string &name = r.name;
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
    const auto up = made.find(r.parent);
    TProjectNode *node =
        project.Tree().AddChild(up != made.end() ? up->second : parent, label, std::move(data));
    made[name] = node;
    report.made.push_back(node);
  }
  return report;
}
