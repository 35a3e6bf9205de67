#pragma once
// The editor window of one open project: the item tree on the left, the
// selected item's text on the right, the header strip above, the status bar
// below. The window is the spine: opening a project, starting a new one, the
// life of the current item (shown when entered, stored when left), saving
// and closing. The project itself is a core TProject shown by the tree view;
// the commands live in command groups (TreeCommands, TextCommands,
// DisplayCommands), each binding its actions through TEditorContext.
#include "editor/EditorContext.h"
#include "engine/MemoJump.h"
#include "store/DateTime.h"
#include "store/NodeFiles.h"
#include "ui/ScreenFit.h"

#include <QMainWindow>
#include <QPointer>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

class QHeaderView;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QSplitter;
class QStandardItemModel;
class QToolBar;
class TAttachmentCommands;
class TAttachmentForm;
class TCaptureCommands;
class TCleanupCommands;
class TClipboardCommands;
class TDisplayCommands;
class TExportCommands;
class TFindCommands;
class TItemHeader;
class TPlainTextMemo;
class TTextCommands;
class TTreeCommands;

class TDiskWatch;

class TVaveMainForm : public QMainWindow, private TEditorContext {
  Q_OBJECT
public:
  // The catalogue brings an open editor forward with this number; here it is
  // a direct call.
  static constexpr int WM_ACTIVATE_EDITOR_ID = 1685;

  explicit TVaveMainForm(QWidget *owner = nullptr);
  ~TVaveMainForm() override;

  // ---- for the opener (the catalogue) -------------------------------------
  // Written into every item stored with changes.
  void SetAuthor(const std::string &author) { author_ = author; }
  const std::string &Author() const override { return author_; }
  // Opens an existing project; false (and the window closes) when it cannot.
  bool OpenProjectDir(const std::string &directory);
  // Makes the first tree of a new project in an existing empty directory and
  // opens it.
  bool NewProject(const std::string &directory, const std::string &title);
  // Brings the window forward, restoring it when minimised.
  void WM_ACTIVATE_EDITOR();
  // The project title (the root item's label), CP932.
  std::string ProjectTitle() const;
  // The project directory, with its separator.
  const std::string &ProjectDir() const;
  bool IsShowing(const std::string &directory) const;
  // The window has agreed to close and is going.
  bool IsClosing() const { return closing_; }
  // Opening or creating the project failed; the window is closing itself.
  bool OpenFailed() const { return openFailed_; }
  // The save command; false when something could not be written. `tree`,
  // when given, receives the tree file's own result.
  bool SaveProject(fsys::Status *tree = nullptr);

  // ---- state, for the opener and for tests ------------------------------------
  bool TreeModified() const;
  bool ProjectLocked() const override;
  TProjectNode *RootNode() const;
  TProjectNode *CurrentNode() const override { return current_; }
  bool StoreItem(TProjectNode *node) override;
  bool VaveTreeEditing(TProjectNode *node) const;
  // Decides the label an in-place edit leaves; false refuses the edit.
  bool VaveTreeEdited(TProjectNode *node, const QString &typed);
  bool MemoModified() const override;
  // The memo's text as item lines.
  TTextLines MemoLines() const override;

  // ---- parts of the window ----------------------------------------------------
  QAction *Action(TEditorAction id) const { return (*actions_)[id]; }
  TVaveDataBase *VaveDataBase() const { return tree_; }
  QPlainTextEdit *FileText() const;
  TMemoJump &MemoJump() override { return memoJump_; }
  TAttachmentForm *AttachmentWindow() const;
  QHeaderView *PagePropertyHeader() const;
  QLabel *StatusPanel(int index) const { return panels_[index]; }
  QMenu *Menu(const char *name) const;
  TTreeCommands &TreeCommands() const { return *treeCommands_; }
  TDisplayCommands &Display() const { return *display_; }
  TFindCommands &Find() const { return *find_; }
  // What tells the window of files written elsewhere (tests tune its pace).
  TDiskWatch &DiskWatch() const { return *watch_; }
  // One place decides which commands are enabled.
  void updateActionStates() override;

signals:
  void projectSaved(TVaveMainForm *editor, const std::string &dir, const TDateTime &saved,
                    const std::string &title);
  void editorClosing(TVaveMainForm *editor);

protected:
  void closeEvent(QCloseEvent *event) override;

private:
  // ---- TEditorContext ---------------------------------------------------------
  QMainWindow *Window() override { return this; }
  TProject &Project() override;
  TVaveDataBase *Tree() override { return tree_; }
  TItemMemo *Memo() override { return memo_; }
  TEditorActions &Actions() override { return *actions_; }
  TProjectNode *CreateNewItem(bool sub, bool fromUser) override;
  void ForgetCurrentNode() override { current_ = nullptr; }
  void VaveTreeChange(TProjectNode *node) override;
  QString ItemFileProblem(TProjectNode *node) const override;
  void SetMemoModified(bool modified) override;
  void ShowMemoText(const TTextLines &lines) override;
  void UpdateCaretPanel() override;
  void RefreshAttributes(TProjectNode *node) override;
  ui::MsgAnswer ShowMessageBox(const QString &text, ui::MsgIcon icon, ui::MsgButtons buttons,
                               std::optional<ui::MsgAnswer> defaultButton = {}) override;

  void FormCreate();
  void BuildActions();
  void BindCommands();
  void BuildLayout();
  void ApplyWindowSettings();
  void CollectWindowSettings();
  bool VaveTreeChanging(TProjectNode *next);
  bool FormCloseQuery();
  void RememberStored(const TNodeFiles &f);
  // A store refused because the item's file changed or went on disk since it
  // was read: asks what to keep (nothing is overwritten unasked).
  bool ResolveDiskChange(TProjectNode *node, bool changed, const fsys::Status &why);
  // The question of a file changed on disk: Yes takes the disk's version
  // (`takeDisk` names it), No overwrites, Cancel (Enter, Escape) keeps both.
  ui::MsgAnswer AskChangedOnDisk(const QString &text, const QString &takeDisk);
  bool SaveOwnVersion(TProjectNode *node);
  // The item's text as this window has it goes into a new item just below;
  // the item itself takes the version on disk.
  bool KeepBothVersions(TProjectNode *node);
  // The item as its file now is (title, marks, text); false when unreadable.
  // `undoable`: the shown text is replaced by an edit that undo takes back.
  bool ReloadItem(TProjectNode *node, bool undoable);
  void ShowReloaded(TProjectNode *node, bool undoable);
  // A tree save refused because MainTree.dat changed or went on disk: asks
  // whether to reload the project, overwrite, or keep both. Ok when the
  // tree on disk is settled, else what stands in the way (`refused` itself
  // when the user leaves it).
  fsys::Status ResolveTreeChange(const fsys::Status &refused, TProjectNode *edited);
  // The project as its files now are; the shown item stays selected. A
  // tree file that cannot be loaded leaves the window's tree as it is (the
  // user is told why): false. With `keepHeld`, texts only this window holds
  // (`edited`: the shown item had unsaved edits, keep-both copies, writes
  // still owed) stay in the reloaded tree, which is then saved.
  bool ReloadProject(TProjectNode *edited = nullptr, bool keepHeld = true);
  // Empty when the tree file on disk can be loaded, else why not.
  QString TreeFileProblem() const;
  void TellTreeUnreadable(const QString &why);
  // At a close without saving: the keep-both copies join the tree on disk,
  // each after its original; false (and the user told where they are) when
  // that tree cannot be written.
  bool AddKeptCopiesToDisk();
  // Reloads, then adds what only this window's tree named below one new item;
  // `refused` when it cannot get as far as saving the tree.
  fsys::Status KeepBothTrees(const TProject &disk, const fsys::Status &refused);
  // One step of the check for files written elsewhere (TDiskWatch::Sweep):
  // the tree file, then up to `budget` items; an item without unsaved edits
  // takes its file's new version at once, one with edits is left to the
  // check before its next write.
  void CheckDisk(size_t budget, bool restart);
  void CheckTreeOnDisk();
  void CheckItemOnDisk(TProjectNode *node);
  bool HasUnsavedEdits(TProjectNode *node) const;
  // Items whose file was deleted elsewhere: told in the status bar.
  void MarkGone(TProjectNode *node);
  void UpdateGonePanel();
  // A write of only the caret memory failed: said in the status bar.
  void TellCaretNotKept(const fsys::Status &why);
  // The current item is about to go away with its rows: it is not stored again.
  void ForgetRemovedRows(const QModelIndex &parent, int first, int last);

  std::string author_;
  TProjectNode *current_ = nullptr;
  std::string savedSelectionID_;
  bool quickWalk_ = false; // a load is selecting nodes: show nothing yet
  bool closing_ = false;
  bool openFailed_ = false;

  TVaveDataBase *tree_ = nullptr;
  TItemMemo *memo_ = nullptr;
  TPlainTextMemo *memoAdapter_ = nullptr;
  TMemoJump memoJump_;
  TItemHeader *header_ = nullptr;
  QSplitter *splitter_ = nullptr;
  QLabel *panels_[3] = {};
  std::unique_ptr<TEditorActions> actions_;
  std::map<std::string, QMenu *> menus_;
  // Command groups, taken apart first when the window goes.
  std::unique_ptr<TTreeCommands> treeCommands_;
  std::unique_ptr<TTextCommands> textCommands_;
  std::unique_ptr<TDisplayCommands> display_;
  std::unique_ptr<TExportCommands> exportCommands_;
  std::unique_ptr<TAttachmentCommands> attachments_;
  std::unique_ptr<TClipboardCommands> clipboard_;
  std::unique_ptr<TCaptureCommands> capture_;
  std::unique_ptr<TFindCommands> find_;
  std::unique_ptr<TCleanupCommands> cleanup_;
  TProjectNode *refusedNode_ = nullptr; // the item whose failed write was reported
  fsys::Status storeFailure_;           // why the last store failed
  QString caretNotKept_;                // the status text while caret writes fail
  std::set<TProjectNode *> goneItems_;  // item files deleted elsewhere
  // Keep-both copies not yet in a saved tree: the copy's and the original's
  // file names.
  struct KeptCopy {
    std::string copy, original;
  };
  std::vector<KeptCopy> keptCopies_;
  bool closeQuery_ = false;   // the close query is storing: a question may offer to stay
  bool closeRefused_ = false; // ... and the user chose to stay
  std::unique_ptr<TDiskWatch> watch_;
  TProjectNode *sweep_ = nullptr; // where the slow sweep goes on; null: from the top
  bool checkingDisk_ = false;
  fsys::Stamp treeTold_; // the tree file's version on disk the user was told of
  // The shown item's marks and attachments as its file holds them, so that a
  // store writes whatever differs.
  struct {
    bool ToDo = false, Completion = false;
    TStringList AttachFiles;
  } stored_;
  bool storingLabel_ = false;
  ui::TRestoredPlace place_; // the window's place from the settings
  struct {
    int stored = 0, shown = 0;
  } firstWidth_; // a first width shown wider for the tool bar, stored as it was
};
