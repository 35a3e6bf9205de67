#pragma once
// What the property window shows of a project directory: every file directly
// in it (names with a dot, no subdirectories) with its size, and for each
// file the tree file names as an item, the item's header. Only headers are
// read, so a project of tens of thousands of items fills the window fast.
//
//   TProjectProperties p = ReadProjectProperties(dir);
//   if (!p.IsProject) ...; // no tree file: nothing to show
//   for (const TPropertyFile &f : p.Files) ... f.Item.Title ...
#include "store/FileSystem.h"
#include "store/NodeFiles.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct TPropertyFile {
  std::string Path; // full path, CP932
  std::string Name; // bare name as on disk
  uint64_t Size = 0;
  bool IsItem = false; // the tree file lists it as an item
  // The item's header when IsItem; the initial values when it could not be
  // read (and for a file that is no item).
  TNodeFiles Item;
};

struct TProjectProperties {
  // A tree file was found (in any letter case); nothing else is set without.
  bool IsProject = false;
  std::string ProjectDir; // with the trailing separator
  // In the order the directory lists them; the tree file and its previous
  // copy are never among them.
  std::vector<TPropertyFile> Files;
  // The root section names a listed item file: its title.
  bool HasRootTitle = false;
  std::string RootTitle;
  // Last write of the tree file, seconds since the epoch.
  int64_t TreeFileTime = 0;
};

TProjectProperties ReadProjectProperties(std::string_view dir);

// Reads the header of the item file at `files.FilePath` without its text:
// only as much of the file as the header takes. The same fields as
// TNodeFiles::Open(false); what failed (fields untouched) when it cannot be read.
fsys::Status ReadItemHeader(TNodeFiles &files);
