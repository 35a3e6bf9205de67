#pragma once
// The editor window of one open project: the item tree on the left, the
// selected item's text on the right, the header strip above, the status bar
// below. The window is the spine: opening a project, starting a new one, the
// life of the current item (shown when entered, stored when left). The
// window owns the project (a core TProject, loaded here) and the tree view
// shows it; saving and the close questions are SaveCommands', the window's
// place WindowSettings', and the commands live in command groups
// (TreeCommands, TextCommands, DisplayCommands, DiskChangeCommands, ...),
// each working through TEditorContext.
#include "editor/EditorContext.h"
#include "engine/MemoJump.h"
#include "store/DateTime.h"
#include "store/NodeFiles.h"

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
class TSaveCommands;
class TRecoveryCommands;
class TTextCommands;
class TTreeCommands;
class TWindowSettings;
class TUndoCommands;

class TDiskChangeCommands;
struct TLoadReport;
class TDiskWatch;

class TVaveMainForm : public QMainWindow, private TEditorContext {
  Q_OBJECT
public:
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
  fsys::Status StoreItem(TProjectNode *node) override;
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
  TDiskWatch &DiskWatch() const;
  // The recovery copy of unsaved changes, and the end without questions.
  TRecoveryCommands &Recovery() const { return *recovery_; }
  // One place decides which commands are enabled.
  void updateActionStates() override;

signals:
  void projectSaved(TVaveMainForm *editor, const std::string &dir, const TDateTime &saved,
                    const std::string &title);
  void editorClosing(TVaveMainForm *editor);
  // An item's edits were written into its file (its bare name).
  void itemStored(const std::string &fileName);

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
  void TellNotStored(TProjectNode *node, const fsys::Status &why) override;
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
  bool VaveTreeChanging(TProjectNode *next);
  bool FormCloseQuery();
  void RememberStored(const TNodeFiles &f) override;
  void FollowItemFiles(TProjectNode *node) override;
  bool HasUnsavedEdits(TProjectNode *node) const override;
  bool Steady() const override { return !closing_ && !quickWalk_; }
  void LoadAgain() override;
  TLoadReport LoadProject(const std::string &dir);
  fsys::Status SaveTree(TProjectTree::TreeOverwrite overwrite) override;
  using TEditorContext::SaveTree;
  void RememberSavedSelection() override;
  // The current item is about to go away with its rows: it is not stored again.
  void ForgetRemovedRows(const QModelIndex &parent, int first, int last);

  std::string author_;
  TProjectNode *current_ = nullptr;
  bool quickWalk_ = false; // a load is selecting nodes: show nothing yet
  bool opening_ = false;   // that load opens the window, which shows the item after it
  bool closing_ = false;
  bool openInProgress_ = false; // OpenProjectDir runs: a close waits for its end
  bool closeWaiting_ = false;   // a close asked meanwhile
  bool openFailed_ = false;

  std::unique_ptr<TProject> project_; // shown by the view, which goes first
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
  std::unique_ptr<TDiskChangeCommands> diskChanges_;
  std::unique_ptr<TWindowSettings> settings_;
  std::unique_ptr<TSaveCommands> save_;
  std::unique_ptr<TUndoCommands> undo_;
  std::unique_ptr<TRecoveryCommands> recovery_;
  TProjectNode *refusedNode_ = nullptr; // the item whose failed write was reported
  // The shown item's marks and attachments as its file holds them, so that a
  // store writes whatever differs.
  struct {
    bool ToDo = false, Completion = false;
    TStringList AttachFiles;
  } stored_;
};
