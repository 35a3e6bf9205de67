#include "store/LibUnit.h"

#include "store/Codec.h"
#include "store/FileSystem.h"

#include <vector>

std::string AddPathSeparator(std::string_view path) {
  std::string r(path);
  if (!r.empty() && !cp932::LastCharIs(r, kPathSeparator))
    r += kPathSeparator;
  return r;
}

std::string RemovePathSeparator(std::string_view path) {
  std::string r(path);
  if (cp932::LastCharIs(r, kPathSeparator))
    r.pop_back();
  return r;
}

namespace {
// Byte index of the last separator character, walking characters so that a
// trail byte is never taken for one; npos when there is none.
size_t LastSeparator(std::string_view path) {
  size_t found = std::string_view::npos;
  for (size_t i = 0; i < path.size();) {
    unsigned char b = static_cast<unsigned char>(path[i]);
    if (cp932::IsLeadByte(b) && i + 1 < path.size()) {
      i += 2;
      continue;
    }
    if (path[i] == kPathSeparator)
      found = i;
    ++i;
  }
  return found;
}
} // namespace

std::string ExtractFileName(std::string_view path) {
  size_t p = LastSeparator(path);
  return std::string(p == std::string_view::npos ? path : path.substr(p + 1));
}

std::string ExtractFilePath(std::string_view path) {
  size_t p = LastSeparator(path);
  return p == std::string_view::npos ? std::string() : std::string(path.substr(0, p + 1));
}

bool IsPlainFileName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find(kPathSeparator) == std::string_view::npos &&
         name.find('\0') == std::string_view::npos;
}

std::string TFoldedNames::Find(std::string_view name) {
  if (!listed_) {
    listed_ = true;
    std::vector<fsys::Entry> entries;
    if (fsys::ListDirectory(dir_, entries))
      for (const fsys::Entry &e : entries) {
        if (e.isDirectory)
          continue;
        std::string &slot = byLower_[cp932::LowerAscii(e.name)];
        if (slot.empty() || e.name < slot)
          slot = e.name;
      }
  }
  auto it = byLower_.find(cp932::LowerAscii(name));
  return it == byLower_.end() ? std::string() : it->second;
}

std::string TFoldedNames::Resolve(const std::string &path) {
  if (fsys::Exists(path) || ExtractFilePath(path) != AddPathSeparator(dir_))
    return path;
  std::string found = Find(ExtractFileName(path));
  return found.empty() ? path : ExtractFilePath(path) + found;
}
