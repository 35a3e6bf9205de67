#pragma once
// What the editor does about its project's files written elsewhere (a sync
// client, git, a second machine, a text editor): the watch and its sweep, the
// questions when a write of an item or of the tree file finds the file on
// disk changed or gone, the reloads, the keep-both copies, and the status
// bar's word on deleted item files and on caret positions not kept.
#include "editor/EditorContext.h"
#include "store/FileSystem.h"

#include <memory>
#include <set>
#include <string>
#include <vector>

class TDiskWatch;
class TProject;
class TProjectNode;

class TDiskChangeCommands {
public:
  explicit TDiskChangeCommands(TEditorContext &editor);
  ~TDiskChangeCommands();
  // Makes the watch; it sweeps once the project is open (Watch().Start).
  void Bind();
  TDiskWatch &Watch() const { return *watch_; }
  // The shown item's file is watched on its own; null: none.
  void Follow(TProjectNode *node);

  // A store refused because the item's file changed or went on disk since it
  // was read: asks what to keep (nothing is overwritten unasked).
  fsys::Status ResolveDiskChange(TProjectNode *node, bool changed, const fsys::Status &why);
  // A tree save refused because MainTree.dat changed or went on disk: asks
  // whether to reload the project, overwrite, or keep both. True when the
  // tree on disk is settled.
  fsys::Status ResolveTreeChange(const fsys::Status &refused, TProjectNode *edited);

  // A write of only the caret memory failed: said in the status bar until
  // a write succeeds again (CaretKept).
  void TellCaretNotKept(const fsys::Status &why);
  void CaretKept();
  // The status bar: the shown item's file deleted, or the caret not kept.
  void UpdateGonePanel();

  // The close query stores the items: a question may offer to stay.
  void CloseQuery(bool on);
  bool CloseRefused() const { return closeRefused_; }
  // Keep-both copies the tree on disk does not name yet.
  bool HasKeptCopies() const { return !keptCopies_.empty(); }
  void TreeSaved() { keptCopies_.clear(); } // the tree on disk names them now
  // At a close without saving: the keep-both copies join the tree on disk,
  // each after its original; false (and the user told where they are) when
  // that tree cannot be written.
  bool AddKeptCopiesToDisk();

  // The whole tree is replaced, or `top` and its children go.
  void ForgetAll();
  void ForgetRemoved(TProjectNode *top);

private:
  // The question of a file changed on disk: Yes takes the disk's version
  // (`takeDisk` names it), No overwrites, Cancel (Enter, Escape) keeps both.
  ui::MsgAnswer AskChangedOnDisk(const QString &text, const QString &takeDisk);
  fsys::Status SaveOwnVersion(TProjectNode *node);
  // The item's text as this window has it goes into a new item just below;
  // the item itself takes the version on disk.
  fsys::Status KeepBothVersions(TProjectNode *node);
  // The item as its file now is (title, marks, text); false when unreadable.
  // `undoable`: the shown text is replaced by an edit that undo takes back.
  bool ReloadItem(TProjectNode *node, bool undoable);
  void ShowReloaded(TProjectNode *node, bool undoable);
  // The project as its files now are; the shown item stays selected. A
  // tree file that cannot be loaded leaves the window's tree as it is (the
  // user is told why): false. With `keepHeld`, texts only this window holds
  // (`edited`: the shown item had unsaved edits, keep-both copies, writes
  // still owed) stay in the reloaded tree, which is then saved (`saved`: the
  // failure of that save).
  bool ReloadProject(TProjectNode *edited = nullptr, bool keepHeld = true,
                     fsys::Status *saved = nullptr);
  // Empty when the tree file on disk can be loaded, else why not.
  QString TreeFileProblem() const;
  void TellTreeUnreadable(const QString &why);
  // Reloads, then adds what only this window's tree named below one new item.
  fsys::Status KeepBothTrees(const TProject &disk, const fsys::Status &refused);
  // One step of the check for files written elsewhere (TDiskWatch::Sweep):
  // the tree file, then up to `budget` items; an item without unsaved edits
  // takes its file's new version at once, one with edits is left to the
  // check before its next write.
  void CheckDisk(size_t budget, bool restart);
  void CheckTreeOnDisk();
  void CheckItemOnDisk(TProjectNode *node);
  // Items whose file was deleted elsewhere: told in the status bar.
  void MarkGone(TProjectNode *node);
  TProjectNode *Root() const;
  void StatusText(const QString &text);

  TEditorContext &ed_;
  std::unique_ptr<TDiskWatch> watch_;
  QString caretNotKept_;               // the status text while caret writes fail
  std::set<TProjectNode *> goneItems_; // item files deleted elsewhere
  // Keep-both copies not yet in a saved tree: the copy's and the original's
  // file names.
  struct KeptCopy {
    std::string copy, original;
  };
  std::vector<KeptCopy> keptCopies_;
  bool closeQuery_ = false;       // the close query is storing: a question may offer to stay
  bool closeRefused_ = false;     // ... and the user chose to stay
  TProjectNode *sweep_ = nullptr; // where the slow sweep goes on; null: from the top
  bool checkingDisk_ = false;
  fsys::Stamp treeTold_; // the tree file's version on disk the user was told of
};
