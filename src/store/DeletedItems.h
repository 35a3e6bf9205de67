#pragma once
// The item files of a project that no tree entry names any more: the
// retired ones ("X.txt.exp", left by a delete at the next save) and the
// files of the items below a deleted one, which keep their names. Both can
// be put back into the tree as new items. Files the undo history can still
// bring back with their items are not listed (they are not lost, and two
// items must never share a file).
#include "store/DateTime.h"
#include "store/FileSystem.h"

#include <string>
#include <vector>

class TProject;
class TProjectNode;

struct TRestorable {
  std::string name;     // in the project directory, as on disk
  bool retired = false; // a ".exp" file
  std::string title;    // from its header
  TDateTime deleted;    // the file's time
  uint64_t size = 0;
  std::string firstLine; // of its text
};

// In name order.
std::vector<TRestorable> ListRestorable(TProject &project);

// Makes each named file (of ListRestorable) a new last child of `parent`
// with a fresh ID, the retired ones renamed back (a new unique name when
// another file holds the old one: no file is ever replaced). A file whose
// name the program gives other files, or which the tree file cannot hold,
// gets a new unique name too. The nodes made,
// and the first failure (the items before it are made).
struct TRestoreReport {
  std::vector<TProjectNode *> made;
  fsys::Status failure;
};
TRestoreReport RestoreItems(TProject &project, const std::vector<std::string> &names,
                            TProjectNode *parent);
