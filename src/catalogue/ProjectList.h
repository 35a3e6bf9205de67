#pragma once
// The catalogue's list: one row per project found directly below the root
// folder, with its title and last update, in the order of the title or the
// date column. Rows follow their projects' tree files: the project folders
// are watched (a save renames a new tree file into its folder), and every row
// is looked at now and then for writes the watch does not see. The root
// folder is watched too: projects added or removed there come and go in the
// list, the selection staying where it was (F5 reads the folder at once).
#include "catalogue/CatalogueContext.h"
#include "catalogue/ProjectData.h"
#include "store/ProjectTree.h"
#include "store/Recovery.h"

#include <memory>
#include <string>
#include <vector>

class QFileSystemWatcher;
class QTimer;
class QTreeWidget;
class TProjectItem; // a row; it owns its entry

class TProjectList {
public:
  explicit TProjectList(TCatalogueContext &catalogue);
  // Makes the list widget (a child of the window) and starts the watch.
  void Build();

  QTreeWidget *Widget() const { return list_; }
  int RowCount() const;
  TProjectData *Row(int row) const;
  TProjectItem *Item(int row) const;
  TProjectData *Selected() const;
  void SelectRow(int row);
  // Selects the row of `entry` (none: leaves the selection) and puts the
  // keyboard focus in the list.
  void MakeCurrent(TProjectData *entry);
  TProjectItem *AddRow(std::unique_ptr<TProjectData> entry);
  void RemoveRow(TProjectItem *item);
  void ShowRow(TProjectItem *item);
  // Recovery copies whose project no row is (moved out of the folder, or
  // deleted by other means), as of the last refresh.
  std::vector<recovery::Copy> Orphans();

  // Reads the root folder again; editors of rows that go stay known to the
  // new rows of their directories.
  void RefreshProjectList();
  // Shows the new title and date of every row whose tree file changed on
  // disk (the watch does so on its own).
  void CheckProjectRows();
  // Adds the rows of projects made in the root folder since it was read and
  // takes out those of projects gone from it (none with an editor open).
  void FollowRootFolder();

  // 0: by title, 1: by last update.
  int32_t SortMode() const { return sortMode_; }
  bool SortUp() const { return sortUp_; }
  // As read from the settings: a mode other than 1 is 0.
  void SetSort(int32_t mode, bool up);
  // Negative, zero or positive as `a` goes before, with or after `b` in the
  // current order. Entries of different directories never compare equal.
  int Compare(const TProjectData &a, const TProjectData &b) const;
  void SortProjectList();
  void ProjectListColumnClick(int column);

private:
  void SearchDirFileFind(const std::string &fileName);
  void WatchRow(TProjectData *entry, bool watch);

  TCatalogueContext &cat_;
  QTreeWidget *list_ = nullptr;
  int32_t sortMode_ = 0;
  bool sortUp_ = false;
  std::string listedRoot_;  // the root folder the rows are of
  TProjectTree titleProbe_; // reads only the root item of each project
  QFileSystemWatcher *projectWatch_ = nullptr;
  QTimer *projectSettle_ = nullptr;
  QTimer *projectCheck_ = nullptr;
  QFileSystemWatcher *rootWatch_ = nullptr; // projects coming and going
  QTimer *rootSettle_ = nullptr;
  // The recovery folder's copies, read again when the folder changed.
  const std::vector<recovery::Copy> &Copies();
  std::vector<recovery::Copy> copies_;
  int64_t copiesRead_ = -1;
};
