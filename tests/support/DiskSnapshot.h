#pragma once
// What a directory holds, to check after a failed or killed write that every
// file holds what it held before or what it was to hold after, and that each
// project reopens in full.
#include "store/FileSystem.h"
#include "store/Leftovers.h"
#include "store/LibUnit.h"
#include "store/Project.h"
#include "support/TreeOutline.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace snapshot {

// Every file and directory under a root: relative path -> bytes (a
// directory's value is a marker no file of the tests holds).
using Snapshot = std::map<std::string, std::string>;

inline Snapshot Take(const std::filesystem::path &root) {
  static const std::string dirMark("\0<dir>", 6);
  Snapshot s;
  for (const auto &e : std::filesystem::recursive_directory_iterator(root)) {
    const std::string rel = std::filesystem::relative(e.path(), root).string();
    if (e.is_directory())
      s[rel] = dirMark;
    else {
      std::ifstream in(e.path(), std::ios::binary);
      s[rel] = std::string(std::istreambuf_iterator<char>(in), {});
    }
  }
  return s;
}

// The paths of `now` that hold neither their `before` nor their `after`
// bytes (being absent counts as bytes too), unless `excused(path, present)`.
inline std::vector<std::string>
Mixed(const Snapshot &before, const Snapshot &after, const Snapshot &now,
      const std::function<bool(const std::string &, bool)> &excused = {}) {
  auto at = [](const Snapshot &s, const std::string &p) -> std::optional<std::string> {
    auto it = s.find(p);
    if (it == s.end())
      return std::nullopt;
    return it->second;
  };
  std::set<std::string> paths;
  for (const Snapshot *s : {&before, &after, &now})
    for (const auto &entry : *s)
      paths.insert(entry.first);
  std::vector<std::string> bad;
  for (const std::string &p : paths) {
    const auto is = at(now, p);
    if (is == at(before, p) || is == at(after, p))
      continue;
    if (excused && excused(p, is.has_value()))
      continue;
    if (!is) {
      bad.push_back(p + " (gone)");
      continue;
    }
    auto size = [](const std::optional<std::string> &b) {
      return b ? std::to_string(b->size()) : std::string("none");
    };
    bad.push_back(p + " (neither old nor new bytes: " + std::to_string(is->size()) +
                  " bytes, old " + size(at(before, p)) + ", new " + size(at(after, p)) + ")");
  }
  return bad;
}

// What a reopen shows: the outline and how many items it could not read.
struct Reopened {
  bool loaded = false;
  std::string outline;
  size_t missing = 0;
  bool operator==(const Reopened &) const = default;
};

inline Reopened Reopen(const std::string &dir) {
  Reopened r;
  if (!fsys::Exists(TProject::TreeFilePath(dir)))
    return r;
  TProject p;
  TLoadReport report = p.Load(dir);
  r.loaded = report.RootLoaded;
  r.outline = outline::Print(p.Tree());
  r.missing = report.Missing.size() + report.Skipped.size();
  return r;
}

inline std::string Text(const Reopened &r) {
  return (r.loaded ? r.outline : std::string("(no project)")) + ", " + std::to_string(r.missing) +
         " missing";
}

// Names a write leaves for a moment and replaces the next time: a kill, or
// a failed unlink, may leave them behind.
inline bool IsLeftover(const std::string &path) {
  const std::string name = ExtractFileName(path);
  return fsys::IsStrayName(name) || name == fsys::NewTreeName(TProject::kTreeFileName);
}

} // namespace snapshot
