#pragma once
// Directory paths are kept with a trailing separator so that file paths are
// formed by plain concatenation.
#include <string>
#include <string_view>
#include <unordered_map>

constexpr char kPathSeparator = '/';

// Appends the separator unless the last character already is one. The test is
// per character: a CP932 trail byte with the separator's code does not count.
std::string AddPathSeparator(std::string_view path);
// Removes one trailing separator (per character, as above).
std::string RemovePathSeparator(std::string_view path);

// The file-name part of a path (after the last separator character).
std::string ExtractFileName(std::string_view path);
// The directory part of a path, with its trailing separator.
std::string ExtractFilePath(std::string_view path);
// A name that stays inside the directory it is joined to: not empty, "." or
// "..", no separator and no NUL ('/' and NUL are never a CP932 trail byte,
// so a byte search is exact).
bool IsPlainFileName(std::string_view name);

// The files directly in one directory by their names with ASCII letters
// lower-cased, for projects made on case-insensitive file systems: their
// tree file may name "Item.TXT" where the disk holds "item.txt". The
// directory is listed on the first look-up only, so a project whose names
// all match exactly never pays for it.
class TFoldedNames {
public:
  explicit TFoldedNames(std::string dir) : dir_(std::move(dir)) {}
  // The name on disk that differs from `name` only in ASCII letter case
  // (the lowest in byte order when there are several), or empty when there
  // is none. Directories do not count.
  std::string Find(std::string_view name);
  // `path` when a file is there as spelt; else the same path with the file
  // name as found by Find when `path` names a file directly in the
  // directory; else `path` unchanged.
  std::string Resolve(const std::string &path);

private:
  std::string dir_;
  bool listed_ = false;
  std::unordered_map<std::string, std::string> byLower_;
};
