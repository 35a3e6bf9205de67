#pragma once
// The item tree of a loaded project, without any toolkit: nodes owning their
// TNodeData, with label, expanded flag and ordered children; the operations
// the editor's commands use (insert, move in four placement modes, delete with
// the subtree); and the loading and saving of MainTree.dat with the project's
// window settings.
//
// Every change is reported to one observer as a before/after pair whose
// parent and row information maps one to one onto an item model's
// begin/end notifications. A view never changes the tree behind its back:
// every edit goes through TProjectTree.
#include "store/FileSystem.h"
#include "store/NodeFiles.h"
#include "store/WindowData.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

class TIniFile;
class TTreeLoad;

// Full: every item with its text. RootOnly: the root item's header alone
// (a catalogue row). TreeOnly: the tree file and the root item's header; the
// other items are not read (titles empty, no item counts as missing unless its
// name leaves the project directory), for commands that read each item file
// themselves (an export). Headers: every item's header without its text (a
// listing of the tree: titles and marks).
enum class TLoadMode { Full, RootOnly, TreeOnly, Headers };

// Where a moved node goes relative to the target node T.
enum class TNodeAttachMode {
  Insert,   // the sibling just before T
  AddChild, // the last child of T
  Add,      // the last child of T's parent
  AddFirst, // the first child of T's parent
};

enum class TNodeChange { Label, Expanded, Data };

class TProjectNode {
public:
  ~TProjectNode();
  TProjectNode(const TProjectNode &) = delete;
  TProjectNode &operator=(const TProjectNode &) = delete;

  TNodeData *Data() const { return data_.get(); } // never null
  const std::string &Text() const { return text_; }
  bool Expanded() const { return expanded_; }

  TProjectNode *Parent() const;        // null for a top-level node
  int Index() const { return index_; } // row among its siblings
  int Count() const { return static_cast<int>(children_.size()); }
  bool HasChildren() const { return !children_.empty(); }
  TProjectNode *Item(int row) const; // null when out of range
  TProjectNode *GetFirstChild() const { return Item(0); }
  TProjectNode *GetLastChild() const { return Item(Count() - 1); }
  TProjectNode *GetNextSibling() const;
  TProjectNode *GetPrevSibling() const;
  // Pre-order walk over the whole tree.
  TProjectNode *GetNext() const;
  TProjectNode *GetPrev() const;
  // The same walk kept inside the subtree of `root` (null after its last node).
  TProjectNode *GetNextWithin(const TProjectNode *root) const;
  // The row just above on screen: the previous sibling's last visible
  // descendant, or the parent.
  TProjectNode *GetPrevVisible() const;
  int Level() const; // 0 for a top-level node
  // True when `ancestor` is this node's parent, grandparent, ...
  bool HasAsParent(const TProjectNode *ancestor) const;

private:
  friend class TProjectTree;
  TProjectNode() = default;

  std::string text_;
  std::unique_ptr<TNodeData> data_;
  bool expanded_ = false;
  TProjectNode *parent_ = nullptr; // top-level nodes hang below a hidden holder
  int index_ = 0;
  std::vector<std::unique_ptr<TProjectNode>> children_;
};

// Told about every change of a TProjectTree. Parents are null for the top
// level; rows are indexes among the parent's children.
class TTreeObserver {
public:
  virtual ~TTreeObserver() = default;
  // A node is about to appear at `row` of `parent` / it is there now.
  virtual void AboutToInsert(TProjectNode *parent, int row) = 0;
  virtual void Inserted(TProjectNode *node) = 0;
  // `node` leaves its place for `newParent`; `destRow` counts rows as they
  // are before the move (the row the node will stand before). Moves that
  // leave a node where it is are not reported.
  virtual void AboutToMove(TProjectNode *node, TProjectNode *newParent, int destRow) = 0;
  virtual void Moved(TProjectNode *node, TProjectNode *oldParent, int oldRow) = 0;
  // `node` and its subtree are about to go / they are gone.
  virtual void AboutToRemove(TProjectNode *node) = 0;
  virtual void Removed(TProjectNode *parent, int row) = 0;
  virtual void DataChanged(TProjectNode *node, TNodeChange what) = 0;
  // Everything changes at once (clearing, loading): nothing else is reported
  // in between.
  virtual void AboutToReset() = 0;
  virtual void Reset() = 0;
};

// Told, besides the observer, what each edit of the tree did, so that it can
// be taken back (the undo history). Not told during a load, nor about the
// raw Detach, Attach and MoveToRow below, which replay what it recorded.
class TTreeRecorder {
public:
  virtual ~TTreeRecorder() = default;
  virtual void Placed(TProjectNode *node) = 0;
  virtual void Moved(TProjectNode *node, TProjectNode *oldParent, int oldRow) = 0;
  // The recorder takes the removed subtree (or lets it go).
  virtual void Removed(std::unique_ptr<TProjectNode> node, TProjectNode *parent, int row) = 0;
  virtual void Relabelled(TProjectNode *node, const std::string &old) = 0;
  virtual void ExpandedChanged(TProjectNode *node) = 0; // it was !node->Expanded()
  virtual void Cleared() = 0;                           // every node went
};

// An item that a load left out of the tree, and why.
struct TSkippedItem {
  enum Reason {
    MissingFile, // its item file could not be read
    Cycle,       // it is one of its own ancestors
    Duplicate,   // already in the tree at another place
    SharedFile,  // its item file already belongs to another item
    Unreached,   // no child list of the tree reaches its section (a gap in
                 // the Child numbers, or a Child key given twice)
  };
  std::string Section; // the section whose child list names it
  std::string ID;
  std::string FileName;
  Reason Why = MissingFile;
};

class TProjectTree {
public:
  TProjectTree();
  ~TProjectTree();
  TProjectTree(const TProjectTree &) = delete;
  TProjectTree &operator=(const TProjectTree &) = delete;

  // ---- The tree -------------------------------------------------------
  void SetObserver(TTreeObserver *observer) { observer_ = observer; }

  int TopCount() const { return top_.Count(); }
  TProjectNode *TopItem(int row) const { return top_.Item(row); }
  TProjectNode *GetFirstNode() const { return top_.Item(0); }
  size_t NodeCount() const { return nodeCount_; }

  // New nodes; a null parent means the top level; null data gets an empty
  // TNodeData.
  TProjectNode *AddChild(TProjectNode *parent, std::string_view text,
                         std::unique_ptr<TNodeData> data = nullptr);
  TProjectNode *AddChildFirst(TProjectNode *parent, std::string_view text,
                              std::unique_ptr<TNodeData> data = nullptr);
  // Just before `sibling`.
  TProjectNode *Insert(TProjectNode *sibling, std::string_view text,
                       std::unique_ptr<TNodeData> data = nullptr);
  TProjectNode *InsertAt(TProjectNode *parent, int row, std::string_view text,
                         std::unique_ptr<TNodeData> data = nullptr);

  // Moves `node` with its subtree. A target inside the node's own subtree
  // (or the node itself, for Insert and AddChild) moves nothing: false.
  // After a move the new parent is expanded and the moved node and every node
  // below it are collapsed, as a tree view shows a node moved to a new place.
  bool MoveTo(TProjectNode *node, TProjectNode *target, TNodeAttachMode mode);
  // Removes the node with its subtree, releasing their data. The selection
  // is cleared when it was inside.
  void Delete(TProjectNode *node);

  void SetText(TProjectNode *node, std::string_view text);
  void SetRecorder(TTreeRecorder *recorder) { recorder_ = recorder; }
  // Takes the node out with its subtree, which the caller then owns (its
  // nodes keep their state); the observer hears a removal.
  std::unique_ptr<TProjectNode> Detach(TProjectNode *node);
  // Puts a detached subtree back at `row` of `parent` (null: the top level).
  TProjectNode *Attach(TProjectNode *parent, int row, std::unique_ptr<TProjectNode> node);
  // Moves the node to stand at `row` of `parent` once moved, and nothing
  // else: no node opens or closes.
  void MoveToRow(TProjectNode *node, TProjectNode *parent, int row);
  // The node is in this tree, not in a detached subtree.
  bool Contains(const TProjectNode *node) const;
  void SetExpanded(TProjectNode *node, bool expanded);
  // The node and every node below it; expanding leaves childless nodes alone.
  void SetExpandedRecursive(TProjectNode *node, bool expanded);
  // The node's TNodeData changed (marks, title...): tell the observer.
  void NotifyDataChanged(TProjectNode *node);

  // The selected node, plain state kept for the view; SaveTreeFile writes its
  // ID as "LastNode".
  TProjectNode *Selected() const { return selected_; }
  void SetSelected(TProjectNode *node) { selected_ = node; }

  // The ID for a new item, "Root-C" and the counter in at least five digits,
  // and the counter moves past it. Never an ID in use: the counter is taken
  // above every "Root-C" number in the tree (and among the items the last
  // load left out) whatever WindowData.LastIndex says, so a tree file without
  // LastIndex, or with a stale one, cannot make two items share a section.
  std::string NextItemID();
  // The ID after the one NextItemID (or this) gave last, for items made one
  // after another while nothing else adds IDs: no walk over the tree. When
  // that ID came from no free number above every used one, a full NextItemID.
  std::string ContinueItemID();

  // ---- The project file ------------------------------------------------
  TWindowData WindowData;
  TLoadMode LoadMode = TLoadMode::Full;
  // Threads that read item files ahead of a load; 0: one per processor, 1:
  // the load reads each file as it comes to it. Either way a load gives the
  // same tree, texts and reports in the same order.
  unsigned ReadThreads = 0;
  // Fired for every node a load creates, before its children are loaded.
  // It may decorate the node; it must not delete nodes or change IDs and
  // file paths (the load is still comparing against them). The observer
  // hears nothing during a load but one reset.
  std::function<void(TProjectNode *)> OnNodeLoaded;

  const std::string &ProjectDir() const { return projectDir_; }
  // The first node of the tree: the root item ("Root").
  TProjectNode *RootNode() const { return GetFirstNode(); }
  // The node the last load selected.
  TProjectNode *SelectNode() const { return selectNode_; }

  // Loads the project in `dir` into an empty tree and selects the node that
  // was selected at the last save (the root when that node is not there).
  // True when a root item was loaded. Item files whose name has a directory
  // part count as unreadable: the editor writes item files back, and must
  // never write outside the project.
  bool LoadProject(std::string_view dir);
  // Loads one tree file into the (cleared) tree.
  void LoadTreeFile(std::string_view path);
  // Replaces the tree with a MainTree.dat document held in memory (a
  // recovery copy), its items read from the project directory. The tree
  // file on disk counts as `onDisk` (the version the document was made
  // from, when known), so a save asks before replacing a newer one.
  bool LoadTreeBytes(std::string_view bytes, const fsys::Stamp &onDisk);
  // Loads the child list of `section` of the tree file being loaded below
  // `parent`. Depth-first, in child-key order; the first missing number ends
  // a list. A child already in the tree (a cycle, or the same item named
  // twice) and a child without any file name are left out with their subtree
  // and listed in SkippedItems(). A child whose item file cannot be read
  // stays as a Missing node (labelled with its file name, see TNodeData)
  // with its own children below it, and is listed in MissingItems().
  void LoadChildren(TTreeLoad &load, std::string_view section, bool parentExpanded,
                    TProjectNode *parent);
  const std::vector<TSkippedItem> &SkippedItems() const { return skipped_; }
  // The malformed header values the last load met, one message (CP932) each,
  // in tree order.
  const TStringList &LoadWarnings() const { return loadWarnings_; }
  // The Missing nodes of the last load, in tree order (nodes deleted since
  // are no longer listed).
  std::vector<TProjectNode *> MissingItems() const;
  // How many Missing nodes the last load made (a walk for them finds none
  // when it made none).
  size_t LoadedMissingCount() const { return loadedMissing_; }
  // Item sections of the tree file that no item of the tree stands for: the
  // child lists do not reach them (the first missing number ends a list, the
  // first of two equal keys wins), or a load left them out. Every section
  // that neither an item nor the settings own is kept as it was read and
  // written back by each save, so that nothing the tree could not place is
  // lost. Listed with Why = Unreached and no Section, in file order.
  std::vector<TSkippedItem> UnreachedItems() const;
  // Hangs those items (with what their sections list below them) under the
  // root as its last children: first the ones no kept section lists, then
  // the rest, each in file order. Items that still cannot be placed (their
  // file is another item's) stay kept. The number of nodes added.
  size_t AttachUnreached();

  // Writes MainTree.dat; what failed when it could not (the previous file
  // stays in place): fsys::kNoProjectDirectory without a project directory.
  // Unless told to overwrite, a tree file that changed on disk since it was
  // loaded or saved here stays as it is (fsys::kChangedOnDisk,
  // fsys::kGoneFromDisk).
  enum class TreeOverwrite { IfUnchanged, Always };
  fsys::Status SaveProject(TreeOverwrite overwrite = TreeOverwrite::IfUnchanged);
  // Whether MainTree.dat is still what this tree last loaded or saved.
  fsys::DiskChange CheckTreeFile();
  // MainTree.dat as this tree last loaded or saved it.
  const fsys::Stamp &TreeFileStamp() const { return treeDisk_; }
  // Writes the tree file at `path`, keeping the previous one as path + ".ord".
  // The new file is complete on disk (as path + ".new") before it replaces
  // the old one, and the backup is replaced in one step too, so a kill at
  // any moment leaves a readable tree file and a backup. On failure `path` is
  // still the previous file; an empty tree is refused (fsys::kEmptyTree), a
  // save stopped by the test hook below reports fsys::kStoppedForTest.
  fsys::Status SaveTreeFile(std::string_view path,
                            TreeOverwrite overwrite = TreeOverwrite::IfUnchanged);
  // The child keys of `parent`'s children, and their own sections, depth first.
  void SaveChildren(TIniFile &ini, std::string_view section, TProjectNode *parent) const;
  // The whole MainTree.dat document of the tree as it stands. False when the
  // tree is empty (a tree file without a root item would lose the project).
  bool BuildTreeFile(TIniFile &ini) const;

  void ClearTree();

  // A save stopped after its new file was complete (a kill, a power cut)
  // leaves that file as `path` + ".new" beside the tree file at `path`. Its
  // path when it is complete (whole lines, a root item whose file is there)
  // and newer than the tree file; else empty.
  static std::string StoppedSaveFile(std::string_view path);
  // Puts that file in place as the save would have: the tree file becomes
  // the ".ord" backup.
  static fsys::Status FinishStoppedSave(std::string_view path);

  // Steps of SaveTreeFile, for tests that stop a save half way as a kill would.
  enum class SaveStep { NewFileWritten, PreviousKept, Replaced };
  using SaveStepHook = std::function<bool(SaveStep)>; // false: stop right there
  static void SetSaveStepHookForTest(SaveStepHook hook);

private:
  void LoadTreeDocument(std::string &bytes);
  void BeginLoad();
  void EndLoad();
  TProjectNode *Place(TProjectNode *holder, int row, std::string_view text,
                      std::unique_ptr<TNodeData> data);
  TProjectNode *Holder(TProjectNode *parent) { return parent ? parent : &top_; }
  static TProjectNode *Public(TProjectNode *holder);
  void Renumber(TProjectNode *holder, size_t from);
  void Collapse(TProjectNode *node);
  bool Quiet() const { return !observer_ || resetting_ > 0; }
  TTreeRecorder *Recorder() const { return resetting_ > 0 ? nullptr : recorder_; }
  void Changed(TProjectNode *node, TNodeChange what);
  void ClearNodes();

  TProjectNode top_;
  size_t nodeCount_ = 0;
  TTreeObserver *observer_ = nullptr;
  TTreeRecorder *recorder_ = nullptr;
  int resetting_ = 0;
  TProjectNode *selected_ = nullptr;

  std::string projectDir_;
  // Frees what a big load leaves behind (its parsed tree file and tables)
  // beside the program: on 50,000 items that is a tenth of the load.
  std::jthread leftovers_;
  // MainTree.dat as last loaded or saved here.
  std::string treeDiskPath_;
  fsys::Stamp treeDisk_;
  TProjectNode *selectNode_ = nullptr;
  std::vector<TSkippedItem> skipped_;
  std::unique_ptr<TIniFile> unreached_; // the sections kept for the next save
  TStringList loadWarnings_;
  size_t loadedMissing_ = 0;
  bool idsFull_ = false; // the last ID walk found the largest number taken
};
