#pragma once
// The names writes give files for a moment, which a write stopped part-way
// (a kill, a power cut, a failed unlink) leaves behind: the one place that
// knows them, for the writes that make them, the check that reports them and
// the rules that keep items from taking them. Names only; no disk access.
#include <string>
#include <string_view>

namespace fsys {

// A complete file beside its target, just before the rename that puts it in
// place: "X.tmp~". The next write of X replaces it.
std::string StrayName(std::string_view target);
bool IsStrayName(std::string_view name);
// A file in the making where files cannot be made nameless: "X.tmp<pid>_<n>".
std::string TempName(std::string_view target, unsigned long pid, unsigned n);
// Either of the two above, in any letter case.
bool IsWorkFileName(std::string_view bareName);

// A save's new tree file, complete before it replaces the tree file:
// "MainTree.dat.new". A stopped save leaves it, and the next open offers it.
std::string NewTreeName(std::string_view treeFile);
// The name a save takes instead when that one is held by a folder or a link:
// "MainTree.dat.new<n>.tmp~", a work file name.
std::string NewTreeName(std::string_view treeFile, int n);
// The tree file's name of a stopped save, in any letter case.
bool IsNewTreeName(std::string_view bareName);

} // namespace fsys
