#pragma once
// One loaded project: its directory, its item tree with the window settings,
// and the rules that keep tree and item files consistent. The editor shows a
// TProject; the command-line tools and the tests use it without a window.
//
//   TProject p;
//   TLoadReport r = p.Load(dir);
//   if (!r.RootLoaded) ...;            // never work on an empty tree
//   TProjectNode *n = p.Tree().AddChild(p.Root(), label);
//   p.InitItem(*n->Data());            // fresh ID and file name
//   n->Data()->Files.Save();
//   p.Modified();                      // true: the tree changed since the load
//
// The modified flag follows the tree's own change reports: a node inserted,
// moved, removed, relabelled, opened or closed marks the project; a load or a
// clear starts it clean. Changes of the window settings are marked by hand.
#include "store/FileSystem.h"
#include "store/ProjectTree.h"

#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

// What a load found besides the tree.
struct TLoadReport {
  bool RootLoaded = false;             // the root item was read: the project can be shown
  TStringList HeaderWarnings;          // malformed header values, one message (CP932) each
  std::vector<TSkippedItem> Skipped;   // items left out of the tree
  std::vector<TSkippedItem> Unreached; // item sections no item stands for, kept in the file
  std::vector<TProjectNode *> Missing; // items kept in the tree whose file could not be read
};

class TTreeHistory;

class TProject : private TTreeObserver {
public:
  // The tree file of every project.
  static constexpr const char *kTreeFileName = "MainTree.dat";
  // `dir` + the tree file's name (`dir` with or without its separator).
  static std::string TreeFilePath(std::string_view dir);
  // The tree file or its previous copy, in any letter case (a project may
  // come from a file system that ignores case).
  static bool IsTreeFileName(std::string_view bareName);
  // A name an item's file must not have: one the program gives other files
  // (the tree file, its backup, its stopped save, a file in the making), or
  // one the tree file cannot hold on its line (a control character).
  static bool IsReservedItemFileName(std::string_view bareName);
  // A directory is a project when it holds a tree file.
  static bool IsProjectDirectory(std::string_view dir);

  TProject();
  ~TProject() override;
  TProject(const TProject &) = delete;
  TProject &operator=(const TProject &) = delete;

  TProjectTree &Tree() { return tree_; }
  const TProjectTree &Tree() const { return tree_; }
  TWindowData &WindowData() { return tree_.WindowData; }
  const TWindowData &WindowData() const { return tree_.WindowData; }
  // With the trailing separator; empty until a load.
  const std::string &Dir() const { return dir_; }
  std::string TreeFilePath() const { return TreeFilePath(dir_); }
  TProjectNode *Root() const { return tree_.RootNode(); }
  // The project title: the root item's label.
  std::string Title() const;
  // The root item carries the completion mark: nothing in the project changes.
  bool Locked() const;

  // A view that mirrors the tree hears every change through the project.
  void SetObserver(TTreeObserver *observer) { observer_ = observer; }

  // The undo history of the tree's edits (store/TreeHistory.h).
  TTreeHistory &History() { return *history_; }
  const TTreeHistory &History() const { return *history_; }

  bool Modified() const { return modified_; }
  void SetModified(bool modified) { modified_ = modified; }

  // ---- loading and saving ------------------------------------------------
  // Loads the project in `dir` (see TProjectTree::LoadProject); the project
  // starts unmodified.
  TLoadReport Load(std::string_view dir);
  // Writes the tree file; what failed when it could not be written (the
  // previous file stays). A saved project is unmodified.
  fsys::Status
  Save(TProjectTree::TreeOverwrite overwrite = TProjectTree::TreeOverwrite::IfUnchanged);

  // The first tree of a new project in the existing directory `dir`: the
  // root item titled `title` and one child "新しいアイテム", both files
  // written, and the tree file; the first failure when a file could not be
  // written. The tree stays loaded (root selected) and counts as modified
  // until it is saved.
  fsys::Status CreateFirstTree(std::string_view dir, const std::string &title,
                               const std::string &author);

  // ---- item rules ------------------------------------------------------------
  // The next "Root-C%05d" ID; the counter moves past it.
  std::string NextItemID() { return tree_.NextItemID(); }
  // A name for a new item file: the creation moment and a counter, not yet
  // taken in the project directory.
  std::string NewItemFileName() const;
  // Makes `data` a new, empty item: fresh ID, fresh file, created now. Call
  // before the node's own ID could count (it still has none).
  void InitItem(TNodeData &data);
  // The same for the next of several items made in a row (an insert), with
  // nothing else adding items in between: the ID follows the previous one.
  void InitNextItem(TNodeData &data);
  // Has a deleted item's file renamed to the same name + ".exp", so that it
  // can still be found by hand: at the next save, once the tree file no
  // longer names it. Until then the saved tree still opens whole, should the
  // window close without a save. False (nothing to rename) for an item
  // without a file of its own or when a retired file of that name exists.
  bool RetireItemFile(TProjectNode *node);
  // Takes a retirement back: the item's file keeps (or gets back) its name,
  // or, when another file took that name meanwhile, a new unique one. A
  // retired file that is not this item's (another inode) is left alone.
  fsys::Status RestoreItemFile(TProjectNode *node);
  // Gives the file at `from` the name `to`, or a new unique one when `to`
  // is taken (`to` then says which): never replaces a file.
  fsys::Status LinkBack(const std::string &from, std::string &to);
  // The names (no directory part) of every file the project needs: the tree
  // file, its previous copy, and every item's file, missing ones included.
  std::set<std::string> CollectItemFiles() const;
  // The pre-order walk over `node`'s subtree that lists item files and
  // attachments: each item's file path after `level` dashes (none for -1;
  // children one more, -1 stays -1) into `items`, then its attachment
  // entries into `attachments`, a bare name made a path in this project's
  // directory when `expand` is set.
  void CollectItemFiles(TStringList &items, TStringList &attachments, int level,
                        const TProjectNode *node, bool expand) const;

  // Copies the subtree of `source` (of this or another project, with its
  // files in memory as loaded) to the last child of `parent`: every copied
  // item gets a fresh ID and a fresh file in this project, written now, with
  // its title, marks, text and attachments. Items whose file could not be
  // read, or whose new file could not be written, are left out with their
  // subtree. The new top node, or null when `source` itself was left out.
  // `status` is the first failure when a file could not be written.
  TProjectNode *CopySubtree(const TProjectNode *source, TProjectNode *parent, fsys::Status &status);

private:
  void InitItem(TNodeData &data, std::string id);
  void RetireDeletedFiles();
  void AboutToInsert(TProjectNode *parent, int row) override;
  void Inserted(TProjectNode *node) override;
  void AboutToMove(TProjectNode *node, TProjectNode *newParent, int destRow) override;
  void Moved(TProjectNode *node, TProjectNode *oldParent, int oldRow) override;
  void AboutToRemove(TProjectNode *node) override;
  void Removed(TProjectNode *parent, int row) override;
  void DataChanged(TProjectNode *node, TNodeChange what) override;
  void AboutToReset() override;
  void Reset() override;

  TProjectTree tree_;
  std::unique_ptr<TTreeHistory> history_; // records tree_, so goes before it
  TTreeObserver *observer_ = nullptr;
  std::string dir_;
  bool modified_ = false;
  std::vector<std::string> retiring_; // files of deleted items, renamed at the next save
  // The last new file name's moment and counter: thousands of items made in
  // one second must not each try every counter from 0.
  mutable std::string lastStamp_;
  mutable unsigned lastCounter_ = 0;
};
