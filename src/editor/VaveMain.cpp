#include "editor/VaveMain.h"

#include "editor/AttachmentCommands.h"
#include "editor/CaptureCommands.h"
#include "editor/CleanupCommands.h"
#include "editor/ClipboardCommands.h"
#include "editor/DiskChangeCommands.h"
#include "editor/DiskWatch.h"
#include "editor/DisplayCommands.h"
#include "editor/EditorMenus.h"
#include "editor/EditorParts.h"
#include "editor/ExportCommands.h"
#include "editor/FindCommands.h"
#include "editor/ItemMemo.h"
#include "editor/PlainTextMemo.h"
#include "editor/RecoveryCommands.h"
#include "editor/SaveCommands.h"
#include "editor/TextCommands.h"
#include "editor/TreeCommands.h"
#include "editor/UndoCommands.h"
#include "editor/VaveDataBase.h"
#include "editor/WindowSettings.h"
#include "store/Codec.h"
#include "store/FileSystem.h"
#include "store/LibUnit.h"
#include "store/Project.h"
#include "store/TreeHistory.h"
#include "ui/BusyCursor.h"
#include "ui/ErrorText.h"
#include "ui/StepProgress.h"
#include "ui/Text.h"
#include "ui/TextGuard.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

#include <utility>

TVaveMainForm::TVaveMainForm(QWidget *owner)
    : QMainWindow(owner), project_(std::make_unique<TProject>()) {
  setObjectName(QStringLiteral("TVaveMainForm"));
  // Each editor stands on its own beside the catalogue (own task-bar entry).
  setWindowFlag(Qt::Window, true);
  setAttribute(Qt::WA_DeleteOnClose, true);
  FormCreate();
}

TVaveMainForm::~TVaveMainForm() {
  hide(); // an open label edit commits now, while the window is still whole
  // From here no rule runs: a group's reset may move the focus, which asks them.
  actions_->Clear();
  save_.reset();
  settings_.reset();
  recovery_.reset(); // its writer finishes before the parts it copies go
  diskChanges_.reset();
  attachments_.reset();
  // The command groups go before the parts they watch.
  display_.reset();
  textCommands_.reset();
  find_.reset();
  capture_.reset();
  clipboard_.reset();
  treeCommands_.reset();
  undo_.reset();
  exportCommands_.reset();
  delete tree_; // the view shows the project, which goes with the window's members
}

// ------------------------------------------------------------- creation ----

void TVaveMainForm::FormCreate() {
  BuildActions();
  BuildLayout();
  BindCommands();
  BuildEditorMenus(this, *actions_, tree_, menus_, [this] { updateActionStates(); });
  BuildEditorToolBar(this, *actions_, menus_);
  // The model draws the icon from the item's marks.
  connect(tree_, &TVaveDataBase::nodeLoaded, this,
          [this](TProjectNode *node) { project_->Tree().NotifyDataChanged(node); });
  updateActionStates();
}

QMenu *TVaveMainForm::Menu(const char *name) const {
  auto it = menus_.find(name);
  return it == menus_.end() ? nullptr : it->second;
}

QPlainTextEdit *TVaveMainForm::FileText() const { return memo_; }
TDiskWatch &TVaveMainForm::DiskWatch() const { return diskChanges_->Watch(); }
QHeaderView *TVaveMainForm::PagePropertyHeader() const { return header_; }
TAttachmentForm *TVaveMainForm::AttachmentWindow() const {
  return attachments_ ? attachments_->Window() : nullptr;
}

void TVaveMainForm::BuildActions() {
  actions_ = std::make_unique<TEditorActions>(this, kEditorActionDefs);
  // A label still being edited is committed before any command runs, but
  // for those that act on the label itself (the table's last column).
  actions_->BeforeEach([this](int) {
    if (tree_)
      tree_->CommitLabelEdit();
  });
}

namespace {
// Makes a command group and binds its actions.
template <class T, class... Args> void Start(std::unique_ptr<T> &group, Args &&...args) {
  group = std::make_unique<T>(std::forward<Args>(args)...);
  group->Bind();
}
} // namespace

void TVaveMainForm::BindCommands() {
  TEditorContext &context = *this;
  Start(treeCommands_, context);
  Start(textCommands_, context);
  Start(display_, context);
  Start(exportCommands_, context);
  Start(attachments_, context);
  Start(clipboard_, context);
  Start(capture_, context, [this] { return clipboard_->ClipboardHasText(); });
  Start(find_, context);
  Start(cleanup_, context);
  Start(diskChanges_, context);
  settings_ =
      std::make_unique<TWindowSettings>(context, *splitter_, *header_, *display_, *attachments_);
  Start(save_, context, *diskChanges_, *settings_,
        [this] { emit projectSaved(this, ProjectDir(), clock_::Now(), ProjectTitle()); });
  Start(undo_, context);
  Start(recovery_, context, *this);
}

TProjectNode *TVaveMainForm::CreateNewItem(bool sub, bool fromUser) {
  return treeCommands_->CreateNewItem(sub, fromUser);
}

void TVaveMainForm::BuildLayout() {
  auto *central = new QWidget(this);
  auto *column = new QVBoxLayout(central);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);

  header_ = new TItemHeader(central);
  column->addWidget(header_);

  splitter_ = new QSplitter(Qt::Horizontal, central);
  splitter_->setObjectName(QStringLiteral("Splitter1"));
  splitter_->setHandleWidth(3);
  splitter_->setChildrenCollapsible(false);
  tree_ = new TVaveDataBase(*project_, splitter_);
  tree_->setObjectName(QStringLiteral("_VaveDataBase"));
  tree_->setEnabled(false); // until a project is open
  memo_ = new TItemMemo(splitter_);
  memo_->setObjectName(QStringLiteral("FileText"));
  memo_->setFrameShape(QFrame::NoFrame);
  memo_->SetWordWrap(false);
  splitter_->addWidget(tree_);
  splitter_->addWidget(memo_);
  splitter_->setStretchFactor(1, 1);
  column->addWidget(splitter_, 1);
  setCentralWidget(central);

  memoAdapter_ = new TPlainTextMemo(memo_, this);
  memoJump_.SetObjectifyMemo(memoAdapter_);
  memoJump_.MatchCase = true;
  memoJump_.WholeWord = false;
  memoJump_.JumpedLinePos = jpmCenter;

  MakeStatusPanels(statusBar(), panels_);

  connect(tree_, &TVaveDataBase::currentNodeChanged, this, [this](TProjectNode *node) {
    if (!display_ || !display_->KeyWalking()) // a walk shows the item reached at its end
      VaveTreeChange(node);
  });
  tree_->Selection()->Changing = [this](const QModelIndex &next) {
    return VaveTreeChanging(TVaveTreeModel::NodeOf(next));
  };
  tree_->Model()->CanEditLabel = [this](TProjectNode *node) { return VaveTreeEditing(node); };
  tree_->Model()->LabelEdited = [this](TProjectNode *node, const QString &typed) {
    return VaveTreeEdited(node, typed);
  };
  tree_->OnCollapsing = [this](TProjectNode *node) { return node != RootNode(); };

  // An item about to go away (deleted, or the whole tree replaced) is not
  // the item stored next.
  connect(tree_->Model(), &QAbstractItemModel::rowsAboutToBeRemoved, this,
          &TVaveMainForm::ForgetRemovedRows);
  connect(tree_->Model(), &QAbstractItemModel::modelAboutToBeReset, this, [this] {
    current_ = nullptr;
    if (diskChanges_)
      diskChanges_->ForgetAll();
  });
  connect(memo_, &TItemMemo::caretMoved, this, &TVaveMainForm::UpdateCaretPanel);
  connect(memo_->document(), &QTextDocument::modificationChanged, this,
          [this] { updateActionStates(); });
  connect(memo_, &QPlainTextEdit::selectionChanged, this, [this] { updateActionStates(); });
}

// ------------------------------------------------------ state and status ----

TProject &TVaveMainForm::Project() { return *project_; }
std::string TVaveMainForm::ProjectTitle() const { return project_->Title(); }
const std::string &TVaveMainForm::ProjectDir() const { return project_->Dir(); }

bool TVaveMainForm::IsShowing(const std::string &directory) const {
  // The same text once both end in a separator, or the same directory on
  // disk reached by another path.
  const std::string &mine = ProjectDir();
  if (mine.empty() || directory.empty())
    return false;
  return mine == AddPathSeparator(directory) || fsys::SameFile(mine, directory);
}

bool TVaveMainForm::TreeModified() const { return project_->Modified(); }
bool TVaveMainForm::ProjectLocked() const { return project_->Locked(); }
TProjectNode *TVaveMainForm::RootNode() const { return tree_->RootNode(); }

ui::MsgAnswer TVaveMainForm::ShowMessageBox(const QString &text, ui::MsgIcon icon,
                                            ui::MsgButtons buttons,
                                            std::optional<ui::MsgAnswer> defaultButton) {
  return ui::ShowMessageBox(this, text, windowTitle(), icon, buttons, defaultButton);
}

bool TVaveMainForm::MemoModified() const { return memo_->document()->isModified(); }
void TVaveMainForm::SetMemoModified(bool modified) { memo_->document()->setModified(modified); }

TTextLines TVaveMainForm::MemoLines() const {
  // The memo separates lines with '\n' alone, as the item text is held.
  QString text = memo_->PlainText();
  std::string bytes;
  if (!ui::FromQString(text, bytes)) {
    // Input is checked as it is typed; anything that slipped through is kept
    // as the encoder's best form rather than dropped.
    bytes = cp932::FromUtf8(text.toUtf8().toStdString()).bytes;
  }
  return TTextLines::FromEditorText(std::move(bytes));
}

void TVaveMainForm::ShowMemoText(const TTextLines &lines) {
  memo_->ShowPlainText(ui::ToQString(lines.Joined()));
}

void TVaveMainForm::UpdateCaretPanel() {
  panels_[1]->setText(
      QStringLiteral("%1 : %2").arg(memoJump_.CaretLine()).arg(memoJump_.CaretColumn()));
}

void TVaveMainForm::RefreshAttributes(TProjectNode *node) {
  if (display_)
    display_->RefreshAttributes(node);
}

void TVaveMainForm::updateActionStates() {
  if (actions_)
    actions_->Update();
}

// ------------------------------------------------------- the current item ----

fsys::Status TVaveMainForm::StoreItem(TProjectNode *node) {
  if (!node)
    return {};
  // An item whose file could not be read is shown read-only; writing it
  // would put an empty file where the real one is to come back.
  if (node->Data()->Missing)
    return {};
  TNodeFiles &f = node->Data()->Files;
  const bool shown = node == current_;
  if (shown) {
    f.Line = memoJump_.CaretLine();
    f.Column = memoJump_.CaretColumn();
    if (attachments_)
      attachments_->WriteBack(f);
  }
  // What differs from the file is stored, whatever the modified flag says:
  // a revert of the text or another step may have cleared it.
  bool changed = MemoModified() || node->Text() != f.Title || node->Data()->Unsaved;
  TTextLines body;
  if (shown) {
    body = MemoLines();
    changed = changed || body != f.Body || f.ToDo != stored_.ToDo ||
              f.Completion != stored_.Completion || f.AttachFiles != stored_.AttachFiles;
  }
  if (changed) {
    f.Title = node->Text();
    f.Update = clock_::Now();
    f.Author = author_;
    if (ExtractFilePath(f.FilePath).empty())
      f.FilePath = ProjectDir() + f.FilePath;
    if (shown)
      f.Body = std::move(body);
  }
  if (shown || changed)
    SetMemoModified(false);
  fsys::Status s = f.Save();
  if (s.code == fsys::kChangedOnDisk || s.code == fsys::kGoneFromDisk) {
    node->Data()->Unsaved = changed; // until the answer settles it
    return diskChanges_->ResolveDiskChange(node, changed, s);
  }
  if (!s) {
    node->Data()->Unsaved = changed;
    // An item that was not changed loses only its caret memory (a full or
    // read-only disk, a read-only file, a refused link): that must not hold
    // the user on it, nor the window open.
    if (changed)
      return s;
    diskChanges_->TellCaretNotKept(s);
    return {};
  }
  node->Data()->Unsaved = false;
  if (changed)
    emit itemStored(ExtractFileName(f.FilePath));
  diskChanges_->CaretKept();
  if (shown)
    RememberStored(f);
  return {};
}

void TVaveMainForm::ForgetRemovedRows(const QModelIndex &parent, int first, int last) {
  for (int row = first; row <= last; ++row) {
    TProjectNode *top = TVaveTreeModel::NodeOf(tree_->Model()->index(row, 0, parent));
    if (current_ && (current_ == top || current_->HasAsParent(top)))
      current_ = nullptr;
    diskChanges_->ForgetRemoved(top);
  }
}

bool TVaveMainForm::HasUnsavedEdits(TProjectNode *node) const {
  const TNodeFiles &f = node->Data()->Files;
  if (node->Text() != f.Title || node->Data()->Unsaved)
    return true;
  if (node != current_)
    return false;
  return MemoModified() || f.ToDo != stored_.ToDo || f.Completion != stored_.Completion ||
         f.AttachFiles != stored_.AttachFiles || MemoLines() != f.Body;
}

void TVaveMainForm::FollowItemFiles(TProjectNode *node) {
  const TNodeFiles &f = node->Data()->Files;
  header_->Show(f);
  RememberStored(f);
  RefreshAttributes(node);
  if (attachments_)
    attachments_->Follow(node);
}

void TVaveMainForm::RememberStored(const TNodeFiles &f) {
  stored_.ToDo = f.ToDo;
  stored_.Completion = f.Completion;
  stored_.AttachFiles = f.AttachFiles;
}

void TVaveMainForm::TellNotStored(TProjectNode *node, const fsys::Status &why) {
  ShowMessageBox(TSaveCommands::ItemFileProblem(node, why), ui::MsgIcon::Error, ui::MsgButtons::Ok);
}

bool TVaveMainForm::VaveTreeChanging(TProjectNode *next) {
  if (closing_)
    return true;
  // The label typed for the item being left goes with it.
  tree_->CommitLabelEdit();
  if (quickWalk_ && !MemoModified())
    return true;
  const fsys::Status stored = StoreItem(current_);
  if (stored) {
    refusedNode_ = nullptr;
    return true;
  }
  // The selection stays on the item that could not be written; say why once,
  // not at every key of a held arrow.
  if (refusedNode_ != current_) {
    refusedNode_ = current_;
    TellNotStored(current_, stored);
  }
  (void)next;
  return false;
}

void TVaveMainForm::VaveTreeChange(TProjectNode *node) {
  if (closing_)
    return;
  if (quickWalk_) {
    // While a project loads (no root yet) the tree selects nodes one after
    // another; the one to show is shown once the window settings are set, and
    // laying out a long text for nothing costs seconds. An open shows it at
    // its end itself.
    if (node && RootNode() && !opening_) {
      memo_->setUpdatesEnabled(false);
      ShowMemoText(node->Data()->Files.Body);
      memoJump_.SetCaret(0);
      memo_->setUpdatesEnabled(true);
    }
    return;
  }
  if (node) {
    memo_->setUpdatesEnabled(false);
    const TNodeFiles &f = node->Data()->Files;
    panels_[0]->setText(QStringLiteral("ID:") + ui::ToQString(node->Data()->ID));
    ShowMemoText(f.Body);
    header_->Show(f);
    current_ = node;
    RefreshAttributes(node);
    memo_->setUpdatesEnabled(true);
    memoJump_.JumpTo(f.Line, f.Column);
    RememberStored(f);
    if (attachments_)
      attachments_->Follow(node);
    if (diskChanges_) {
      diskChanges_->UpdateGonePanel();
      diskChanges_->Follow(node);
    }
  }
  UpdateCaretPanel();
  SetMemoModified(false);
  updateActionStates();
}

bool TVaveMainForm::VaveTreeEditing(TProjectNode *node) const {
  return node && !ProjectLocked() && !node->Data()->Files.Completion && !node->Data()->Missing;
}

bool TVaveMainForm::VaveTreeEdited(TProjectNode *node, const QString &typed) {
  // The editor drops what CP932 cannot hold as it is typed; what reaches here
  // otherwise (set by code) keeps the rest too, and no box opens inside the
  // key or focus event that ends the edit.
  std::vector<char32_t> dropped;
  std::string label;
  ui::FromQString(ui::KeepStorable(typed, &dropped), label);
  ui::TellDropped(tree_, dropped);
  // A label is one line of the item file's header.
  for (char &c : label)
    if (c == '\r' || c == '\n')
      c = ' ';
  if (label.empty())
    ui::FromQString(QString::fromUtf16(u"(無題)"), label);
  {
    TTreeHistory::Step step(project_->History(), TTreeStep::Rename, label);
    project_->Tree().SetText(node, label);
  }
  SetMemoModified(true);
  if (node == RootNode())
    setWindowTitle(ui::ToQString(label));
  if (node == current_) // the title the item will be stored with
    header_->SetTitle(ui::ToQString(label));
  return true;
}

// -------------------------------------------------------- open and create ----

bool TVaveMainForm::OpenProjectDir(const std::string &directory) {
  const std::string dir = AddPathSeparator(directory);
  if (!TProject::IsProjectDirectory(dir)) {
    openFailed_ = true;
    ShowMessageBox(QString::fromUtf16(u"正常なプロジェクトではありません\r\n") +
                       ui::PathToQString(TProject::TreeFilePath(dir)),
                   ui::MsgIcon::Error, ui::MsgButtons::Ok);
    close();
    return false;
  }
  // Events run during the open (its questions, the progress of the load,
  // the shown window settling): a close asked meanwhile waits until the open
  // is done, and then goes as any close.
  struct Opening {
    TVaveMainForm *w;
    ~Opening() { w->openInProgress_ = false; }
  } inOpen{this};
  openInProgress_ = true;
  recovery_->OfferAtOpen(dir); // asked before anything is written
  OfferToFinishStoppedSave(this, dir);
  quickWalk_ = true;
  opening_ = true;
  current_ = nullptr;
  TLoadReport report;
  {
    // A big project takes seconds: the count of items read shows how far the
    // load has come. Only while the window is not shown: it paints no half
    // loaded tree.
    ui::StepProgress progress(nullptr, QStringLiteral("Orvane"),
                              QString::fromUtf16(u"プロジェクトを読み込んでいます"));
    size_t loaded = 0;
    const QMetaObject::Connection counting =
        connect(tree_, &TVaveDataBase::nodeLoaded, this,
                [&](TProjectNode *) { progress.Report(++loaded, 0); });
    report = LoadProject(dir);
    disconnect(counting);
  }
  opening_ = false;
  // Asked before the window has its title: the boxes name the project itself.
  ReportLoadProblems(this, report, ui::ToQString(ProjectTitle()));
  const bool attached = AskAttachUnreached(this, report, dir, ui::ToQString(ProjectTitle())) &&
                        Project().Tree().AttachUnreached() > 0;
  if (!report.RootLoaded) {
    // Never work on an empty tree: a save would write a project without items.
    quickWalk_ = false;
    openFailed_ = true;
    std::string rootFile = dir + project_->Tree().WindowData.RootFileName;
    ShowMessageBox(QString::fromUtf16(u"ルートアイテムのファイルを読み込めません\r\n") +
                       ui::PathToQString(rootFile),
                   ui::MsgIcon::Error, ui::MsgButtons::Ok);
    openInProgress_ = false;
    close();
    return false;
  }
  setWindowTitle(ui::ToQString(RootNode()->Text()));
  panels_[2]->setText(windowTitle());
  tree_->setExpanded(tree_->IndexOf(RootNode()), true);
  settings_->Apply();
  openFailed_ = false;
  quickWalk_ = false;
  VaveTreeChange(tree_->Selected());
  show();
  activateWindow(); // the window's shortcuts work from the first key
  QApplication::processEvents(QEventLoop::ExcludeUserInputEvents); // the window manager places it
  settings_->Settle();
  tree_->setEnabled(true);
  tree_->setFocus();
  RememberSavedSelection();
  Project().SetModified(attached); // attached items reach the file with the next save
  recovery_->ApplyOffered();       // a restored entry as unsaved changes
  updateActionStates();
  DiskWatch().Start(ui::PathToQString(ProjectDir()), ui::PathToQString(Project().TreeFilePath()));
  if (std::exchange(closeWaiting_, false))
    QTimer::singleShot(0, this, [this] { close(); });
  return true;
}

bool TVaveMainForm::NewProject(const std::string &directory, const std::string &title) {
  memo_->clear();
  if (fsys::Status failure = Project().CreateFirstTree(directory, title, author_); !failure) {
    openFailed_ = true;
    ShowMessageBox(QString::fromUtf16(u"プロジェクトを作成できません") + ui::FileErrorText(failure),
                   ui::MsgIcon::Error, ui::MsgButtons::Ok);
    close();
    return false;
  }
  if (!OpenProjectDir(directory))
    return false;
  Project().SetModified(true); // a new project counts as changed until it is saved
  return true;
}

void TVaveMainForm::LoadAgain() {
  current_ = nullptr;
  quickWalk_ = true;
  TLoadReport report;
  {
    ui::BusyCursor busy;
    report = LoadProject(ProjectDir());
  }
  ReportLoadProblems(this, report, ui::ToQString(ProjectTitle()));
  quickWalk_ = false;
  if (TProjectNode *root = RootNode()) {
    setWindowTitle(ui::ToQString(root->Text()));
    panels_[2]->setText(windowTitle());
    tree_->setExpanded(tree_->IndexOf(root), true);
  }
}

void TVaveMainForm::RememberSavedSelection() { save_->RememberSavedSelection(); }

void TVaveMainForm::WM_ACTIVATE_EDITOR() {
  if (isMinimized())
    showNormal();
  show();
  raise();
  activateWindow();
}

// ------------------------------------------------------------- commands ----

TLoadReport TVaveMainForm::LoadProject(const std::string &dir) {
  TLoadReport report = project_->Load(dir);
  tree_->ShowLoaded();
  project_->SetModified(false); // showing the saved state changes nothing
  return report;
}

fsys::Status TVaveMainForm::SaveTree(TProjectTree::TreeOverwrite overwrite) {
  project_->Tree().SetSelected(tree_->Selected());
  return project_->Save(overwrite);
}

bool TVaveMainForm::SaveProject(fsys::Status *tree) { return save_->SaveProject(tree); }

// ---------------------------------------------------------------- close ----

bool TVaveMainForm::FormCloseQuery() {
  if (openFailed_)
    return true;
  if (!save_->AskCloseQuestions())
    return false;
  emit editorClosing(this);
  return true;
}

void TVaveMainForm::closeEvent(QCloseEvent *event) {
  if (closing_) {
    event->accept();
    return;
  }
  if (openInProgress_) {
    closeWaiting_ = true;
    event->ignore();
    return;
  }
  if (!FormCloseQuery()) {
    event->ignore();
    return;
  }
  closing_ = true;
  DiskWatch().Stop();
  attachments_->Close();
  event->accept();
}
