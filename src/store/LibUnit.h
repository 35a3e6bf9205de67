#pragma once
// Directory paths are kept with a trailing separator so that file paths are
// formed by plain concatenation.
#include <string>
#include <string_view>

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
