#include "store/Leftovers.h"

#include "store/Codec.h"

#include <algorithm>

namespace fsys {

namespace {

constexpr std::string_view kStray = ".tmp~", kTemp = ".tmp", kNewTree = ".new";

} // namespace

std::string StrayName(std::string_view target) { return std::string(target) + std::string(kStray); }

bool IsStrayName(std::string_view name) { return name.ends_with(kStray); }

std::string TempName(std::string_view target, unsigned long pid, unsigned n) {
  return std::string(target) + std::string(kTemp) + std::to_string(pid) + "_" + std::to_string(n);
}

bool IsWorkFileName(std::string_view name) {
  const std::string n = cp932::LowerAscii(name);
  if (IsStrayName(n))
    return true;
  // ".tmp" digits "_" digits
  const size_t underscore = n.rfind('_'), tmp = n.rfind(kTemp);
  auto digits = [&](size_t from, size_t to) {
    return from < to && std::all_of(n.begin() + static_cast<std::ptrdiff_t>(from),
                                    n.begin() + static_cast<std::ptrdiff_t>(to),
                                    [](char c) { return c >= '0' && c <= '9'; });
  };
  return tmp != std::string::npos && underscore != std::string::npos && underscore > tmp &&
         digits(tmp + kTemp.size(), underscore) && digits(underscore + 1, n.size());
}

std::string NewTreeName(std::string_view treeFile) {
  return std::string(treeFile) + std::string(kNewTree);
}

std::string NewTreeName(std::string_view treeFile, int n) {
  return StrayName(NewTreeName(treeFile) + std::to_string(n));
}

bool IsNewTreeName(std::string_view bareName) {
  return cp932::LowerAscii(bareName) == "maintree.dat.new";
}

} // namespace fsys
