#pragma once
// The editor window of one open project: the item tree on the left, the
// selected item's text on the right, the header strip above, the status bar
// below. This file is the spine of the window: opening a project, starting a
// new one, the life of the current item (shown when entered, stored when
// left), saving and closing.
#include "editor/engine/MemoJump.h"
#include "store/DateTime.h"
#include "store/NodeFiles.h"
#include "ui/MessageBox.h"
#include "ui/ScreenFit.h"

#include <QAction>
#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <map>
#include <memory>
#include <string>

class QHeaderView;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QSplitter;
class QStandardItemModel;
class QToolBar;
class TAttachmentForm;
class TItemMemo;
class TPlainTextMemo;
class TProjectNode;
class TVaveDataBase;

class TVaveMainForm : public QMainWindow {
  Q_OBJECT
public:
  // The catalogue brings an open editor forward with this number; here it is
  // a direct call.
  static constexpr int WM_ACTIVATE_EDITOR_ID = 1685;

  explicit TVaveMainForm(QWidget *owner = nullptr);
  ~TVaveMainForm() override;

  // ---- for the opener (the catalogue) -------------------------------------
  std::string Author; // written into every item stored with changes
  std::function<void(TVaveMainForm *editor, const std::string &dir, const TDateTime &saved,
                     const std::string &title)>
      OnProjectSaved;
  std::function<void(TVaveMainForm *editor)> OnEditorClose;

  // Opens an existing project; false (and the window closes) when it cannot.
  bool OpenProjectDir(const std::string &directory);
  // Makes the first tree of a new project in an existing empty directory and
  // opens it.
  bool NewProject(const std::string &directory, const std::string &title);
  // Brings the window forward, restoring it when minimised.
  void WM_ACTIVATE_EDITOR();
  // The project title (the root item's label), CP932.
  std::string ProjectTitle() const;

  // ---- editor state shared by the commands --------------------------------
  std::string ProjectDir;   // with the trailing separator
  std::string TreeFileName; // ProjectDir + "MainTree.dat"
  TProjectNode *RootNode = nullptr;
  TProjectNode *CurrentNode = nullptr;
  std::string SavedSelectionID;
  bool TreeModified = false;
  bool ProjectLocked = false;
  bool QuickWalk = false;
  bool Closing = false;
  bool OpenFailed = false;

  // ---- operations used by the commands ------------------------------------
  bool StoreItem(TProjectNode *node);
  void VaveTreeChange(TProjectNode *node);
  bool VaveTreeChanging(TProjectNode *next);
  bool VaveTreeEditing(TProjectNode *node) const;
  // Decides the label an in-place edit leaves; false refuses the edit.
  bool VaveTreeEdited(TProjectNode *node, const QString &typed);
  bool VaveTreeCollapsing(TProjectNode *node) const;
  // False when the new item's file could not be written (the item stays).
  bool InitNewItem(TProjectNode *node);
  std::string NewItemFileName() const;
  bool RetireItemFile(TProjectNode *node);
  void UpdateItemIcon(TProjectNode *node);
  ui::MsgAnswer ShowMessageBox(const QString &text, ui::MsgIcon icon, ui::MsgButtons buttons,
                               std::optional<ui::MsgAnswer> defaultButton = std::nullopt);
  // "The current item cannot be saved", with the item's path and the reason.
  QString ItemFileProblem(TProjectNode *node) const;

  // The memo's modified flag.
  bool MemoModified() const;
  void SetMemoModified(bool modified);
  // The memo's text as item lines, and item lines into the memo.
  TTextLines MemoLines() const;

  // ---- commands ---------------------------------------------------------------
  void SaveProjectAction();
  bool SaveProject(); // the save command; false when something could not be written
  void SaveItemTextAction();
  void ExitProjectAction();
  void SelectToDoAction();
  void SelectCompletionAction();

  // One place decides which commands are enabled.
  void updateActionStates();

  // Command groups, each in a file of its own: binding their actions at
  // creation, and their part of updateActionStates().
  void BindTreeCommands();        // TreeCommands.cpp
  void UpdateTreeCommandStates(); // TreeCommands.cpp
  void BindTextCommands();        // TextCommands.cpp
  void UpdateTextCommandStates(); // TextCommands.cpp

  // ---- tree commands (TreeCommands.cpp) -------------------------------------
  // A new item "新しいアイテム" after the selected one (the root's last child
  // when the root is selected), or with `sub` the selected item's last child;
  // selected and, when the user asked for it, open for label editing. Null
  // when nothing was made (locked, or the current item could not be written).
  TProjectNode *CreateNewItem(bool sub, bool fromUser);
  void CreateNewItemAction();
  void CreateSubItemAction();
  void RenameItemAction();
  void ExpierItemAction();
  void UpperItemAction();
  void DownerItemAction();
  void InprimentUpperItemAction();
  void AddLowerItemAction();
  void AllExpandAction(); // also collapse all, told apart by the action's Tag
  // The tree's drag and drop: who may drag, and what a drop does.
  void BindTreeDragging();

  // ---- text, attribute and display commands (TextCommands.cpp) ------------
  // Where the window stands when hiding at the top edge of the screen.
  enum class THideState : unsigned char { Normal = 0, ShownAtTop = 1, Peeking = 2, Hidden = 3 };
  THideState HideState = THideState::Normal;
  int SweepStartX = 0;                 // where a sweep over the hidden strip began, 0 = none
  class QTimer *ExpandTimer = nullptr; // ends a peek
  class QTimer *SlideTimer = nullptr;  // limits the time for a sweep
  class THelpGuide *HelpGuide1 = nullptr;
  void SetHideState(THideState state);
  // Hiding needs window moves; a compositor that refuses them (Wayland) has none.
  static bool HideSupported();
  // The window lost the activation (also told by the catalogue when the
  // application is deactivated).
  void FormDeactivate();
  void StatusBarClick();
  void InsertDateTimeAction(int tag); // 0 date, 1 time
  void ClipboardTextAction(int tag);  // 0 undo, 1 cut, 2 copy, 3 paste, 4 select all
  void UndoItemMidifyAction();
  void ClearCursorPosMenuClick();
  void WordWrapMenuClick();
  void HideMenuClick();
  void SelectFontMenuClick();
  void UseDefaultColorMenuClick();
  void ShowHintMenuClick();
  // "yyyy/mm/dd(aaa)" with the Japanese weekday, and "hh:nn:ss".
  static QString DateText(const TDateTime &t);
  static QString TimeText(const TDateTime &t);
  // The designed colours of memo and tree (used while UseDefaultColorMenu is off).
  static QColor DesignedMemoColor();
  static QColor DesignedTreeColor();
  // Key and mouse events of the window, tree, status bar and label editor
  // that these commands handle; true consumes the event.
  bool TextCommandEvent(QObject *watched, QEvent *event);
  QObject *textEvents_ = nullptr;  // on the window, tree, status bar, label editor
  QObject *sweepEvents_ = nullptr; // on the application while hidden
  bool keyWalking_ = false;        // an arrow or page key is held in the tree
  std::function<void(TProjectNode *)> walkOnChange_;
  void EndKeyWalk();
  // ---- end of text, attribute and display commands --------------------------

  // ---- parts of the window ----------------------------------------------------
  QAction *Action(const char *name) const;
  // Enables the action `name` and runs `handler` when it is triggered.
  template <class Handler> QAction *BindAction(const char *name, Handler handler) {
    QAction *a = Action(name);
    a->setEnabled(true);
    connect(a, &QAction::triggered, this, handler);
    return a;
  }
  TVaveDataBase *VaveDataBase() const { return tree_; }
  QPlainTextEdit *FileText() const;
  TMemoJump &MemoJump() { return memoJump_; }
  TAttachmentForm *AttachmentWindow() const;
  QHeaderView *PagePropertyHeader() const { return header_; }
  QLabel *StatusPanel(int index) const { return panels_[index]; }
  QMenu *Menu(const char *name) const;

protected:
  void closeEvent(QCloseEvent *event) override;

private:
  void FormCreate();
  void BuildActions();
  void BuildMenus();
  void BuildToolBar();
  void BuildLayout();
  void ApplyWindowSettings();
  void CollectWindowSettings();
  void ShowItemHeader(TProjectNode *node);
  void RefreshAttributes(TProjectNode *node);
  void UpdateCaretPanel();
  void ShowMemoText(const TTextLines &lines);
  bool FormCloseQuery();
  // One box naming the items whose file the load could not read.
  void ReportMissingItems();
  QString Caption() const;

  TVaveDataBase *tree_ = nullptr;
  TItemMemo *memo_ = nullptr;
  TPlainTextMemo *memoAdapter_ = nullptr;
  TMemoJump memoJump_;
  QHeaderView *header_ = nullptr;
  QStandardItemModel *headerModel_ = nullptr;
  QSplitter *splitter_ = nullptr;
  QToolBar *toolBar_ = nullptr;
  QLabel *panels_[3] = {};
  QPointer<TAttachmentForm> attachment_;
  std::map<std::string, QAction *> actions_;
  std::map<std::string, QMenu *> menus_;
  TProjectNode *refusedNode_ = nullptr; // the item whose failed write was reported
  // The shown item's marks and attachments as its file holds them, so that a
  // store writes whatever differs.
  struct {
    bool ToDo = false, Completion = false;
    TStringList AttachFiles;
  } stored_;
  void RememberStored(const TNodeFiles &f);
  // Forgets the attachment list of a node that is about to go away.
  void DetachAttachmentsOf(const QModelIndex &parent, int first, int last);
  bool storingLabel_ = false;
  ui::TRestoredPlace place_; // the window's place from the settings
};
