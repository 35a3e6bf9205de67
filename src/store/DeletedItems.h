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
  TDateTime modified;   // the file's last change (a delete leaves it as it was)
  uint64_t size = 0;
  std::string firstLine; // of its text
  // The listed item (its name) this one stood below in the tree file before
  // the last save (MainTree.dat.ord); empty when that is not known.
  std::string parent;
};

// Those the tree file before the last save names first, in its order (a
// parent before its children), then the rest in name order.
std::vector<TRestorable> ListRestorable(TProject &project);

// Makes each chosen file (of ListRestorable, in its order) a new item with
// a fresh ID: below the one made of its parent when that is chosen too, so
// that a subtree comes back whole, else a new last child of `parent`; the retired ones renamed back
// (a new unique name when another file holds the old one: no file is ever replaced). A file whose
// name the program gives other files, or which the tree file cannot hold,
// gets a new unique name too. The nodes made,
// and the first failure (the items before it are made).
struct TRestoreReport {
  std::vector<TProjectNode *> made;
  fsys::Status failure;
};
TRestoreReport RestoreItems(TProject &project, const std::vector<TRestorable> &chosen,
                            TProjectNode *parent);
