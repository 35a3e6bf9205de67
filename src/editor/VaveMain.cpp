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
#include "editor/TextCommands.h"
#include "editor/TreeCommands.h"
#include "editor/VaveDataBase.h"
#include "store/Codec.h"
#include "store/FileSystem.h"
#include "store/LibUnit.h"
#include "store/Project.h"
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
#include <QStyle>
#include <QTextCursor>
#include <QToolBar>
#include <QVBoxLayout>

#include <cerrno>

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
  diskChanges_.reset();
  attachments_.reset();
  // The command groups go before the parts they watch and their rules read.
  actions_->Clear();
  display_.reset();
  textCommands_.reset();
  find_.reset();
  capture_.reset();
  clipboard_.reset();
  treeCommands_.reset();
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
  // A label still being edited is committed before any command runs. The
  // clipboard commands are the exception: while a label is edited they act
  // on the label itself.
  actions_->BeforeEach([this](int index) {
    using A = TEditorAction;
    switch (static_cast<A>(index)) {
    case A::UndoAction:
    case A::CutToClipAction:
    case A::CopyToClipAction:
    case A::PastClipTextAction:
    case A::SelectAllAction:
      return;
    default:
      if (tree_)
        tree_->CommitLabelEdit();
    }
  });
}

void TVaveMainForm::BindCommands() {
  using A = TEditorAction;
  TEditorActions &a = *actions_;
  auto open = [this] { return RootNode() != nullptr; };
  a.Bind(
      A::SaveProjectAction, [this] { SaveProject(); }, open);
  a.Bind(A::ExitProjectAction, [this] { close(); });
  a.Rule(A::AutoSaveMenu, [] { return true; }); // a check mark and nothing more
  TEditorContext &context = *this;
  treeCommands_ = std::make_unique<TTreeCommands>(context);
  treeCommands_->Bind();
  textCommands_ = std::make_unique<TTextCommands>(context);
  textCommands_->Bind();
  display_ = std::make_unique<TDisplayCommands>(context);
  display_->Bind();
  exportCommands_ = std::make_unique<TExportCommands>(context);
  exportCommands_->Bind();
  attachments_ = std::make_unique<TAttachmentCommands>(context);
  attachments_->Bind();
  clipboard_ = std::make_unique<TClipboardCommands>(context);
  clipboard_->Bind();
  capture_ = std::make_unique<TCaptureCommands>(context,
                                                [this] { return clipboard_->ClipboardHasText(); });
  capture_->Bind();
  find_ = std::make_unique<TFindCommands>(context);
  find_->Bind();
  cleanup_ = std::make_unique<TCleanupCommands>(context);
  cleanup_->Bind();
  diskChanges_ = std::make_unique<TDiskChangeCommands>(context);
  diskChanges_->Bind();
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
  QString text = memo_->toPlainText();
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

QString TVaveMainForm::ItemFileProblem(TProjectNode *node, const fsys::Status &why) const {
  QString text = QString::fromUtf16(u"現在のアイテムを保存できません");
  if (node)
    text += QStringLiteral("\r\n") + ui::PathToQString(node->Data()->Files.FilePath);
  // The path was named above; what failed may be that file or its folder.
  if (why.code)
    text += QStringLiteral("\r\n") + ui::ErrnoText(why.code);
  return text;
}

void TVaveMainForm::TellNotStored(TProjectNode *node, const fsys::Status &why) {
  ShowMessageBox(ItemFileProblem(node, why), ui::MsgIcon::Error, ui::MsgButtons::Ok);
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
    // laying out a long text for nothing costs seconds.
    if (node && RootNode()) {
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
  project_->Tree().SetText(node, label);
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
  OfferToFinishStoppedSave(this, dir);
  quickWalk_ = true;
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
    close();
    return false;
  }
  setWindowTitle(ui::ToQString(RootNode()->Text()));
  panels_[2]->setText(windowTitle());
  tree_->setExpanded(tree_->IndexOf(RootNode()), true);
  ApplyWindowSettings();
  openFailed_ = false;
  quickWalk_ = false;
  VaveTreeChange(tree_->Selected());
  show();
  activateWindow(); // the window's shortcuts work from the first key
  QApplication::processEvents();
  place_.Settle(geometry());
  tree_->setEnabled(true);
  tree_->setFocus();
  TProjectNode *selected = tree_->Selected();
  savedSelectionID_ = selected ? selected->Data()->ID : std::string();
  Project().SetModified(attached); // attached items reach the file with the next save
  updateActionStates();
  DiskWatch().Start(ui::PathToQString(ProjectDir()), ui::PathToQString(Project().TreeFilePath()));
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

void TVaveMainForm::RememberSavedSelection() {
  TProjectNode *selected = tree_->Selected();
  savedSelectionID_ = selected ? selected->Data()->ID : std::string();
}

void TVaveMainForm::WM_ACTIVATE_EDITOR() {
  if (isMinimized())
    showNormal();
  show();
  raise();
  activateWindow();
}

// ------------------------------------------------------ window settings ----

void TVaveMainForm::ApplyWindowSettings() {
  const TWindowData &w = Project().WindowData();
  // A project's first width (a new one's, or that of a tree file without it)
  // shows every tool bar button in the font in use, none behind ">>". It is
  // stored as it was until the user gives the window a width of his own.
  int width = w.Width;
  firstWidth_ = {};
  if (width == TWindowData().Width || width == 615) {
    const QToolBar *bar = findChild<QToolBar *>(QStringLiteral("ToolBar1"));
    const int needed =
        bar ? bar->sizeHint().width() + bar->style()->pixelMetric(QStyle::PM_ToolBarHandleExtent)
            : 0;
    if (needed > width) {
      firstWidth_ = {width, needed};
      width = needed;
    }
  }
  setGeometry(place_.Apply(QRect(w.Left, w.Top, width, w.Height)));
  splitter_->setSizes({w.TreeWidth, std::max(1, w.Width - w.TreeWidth)});
  display_->ApplyWindowSettings(w);
  for (int i = 0; i < 7; ++i)
    header_->resizeSection(i, w.SectionWidths[i]);
  attachments_->ApplyWindowSettings(w);
}

void TVaveMainForm::CollectWindowSettings() {
  TWindowData &w = Project().WindowData();
  QRect g = place_.Collect(geometry());
  w.Top = g.top();
  w.Left = g.left();
  w.Width = g.width() == firstWidth_.shown && firstWidth_.stored ? firstWidth_.stored : g.width();
  w.Height = g.height();
  w.TreeWidth = tree_->width();
  display_->CollectWindowSettings(w);
  for (int i = 0; i < 7; ++i)
    w.SectionWidths[i] = header_->sectionSize(i);
  attachments_->CollectWindowSettings(w);
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

bool TVaveMainForm::SaveProject(fsys::Status *tree) {
  ui::BusyCursor busy;
  TProjectNode *selected = tree_->Selected();
  TProjectNode *edited = selected && HasUnsavedEdits(selected) ? selected : nullptr;
  const fsys::Status item = StoreItem(selected);
  const bool itemOk = item.ok();
  QString itemProblem = itemOk ? QString() : ItemFileProblem(selected, item);
  CollectWindowSettings();
  fsys::Status treeSaved = SaveTree();
  const int why = treeSaved.code;
  // Settled only when the item is on disk: a reload would drop its text.
  if (!treeSaved && itemOk && (why == fsys::kChangedOnDisk || why == fsys::kGoneFromDisk)) {
    treeSaved = diskChanges_->ResolveTreeChange(treeSaved, edited);
    selected = tree_->Selected();
  }
  if (!itemOk) {
    ShowMessageBox(itemProblem, ui::MsgIcon::Error, ui::MsgButtons::Ok);
  }
  if (tree)
    *tree = treeSaved;
  if (!treeSaved) {
    ShowMessageBox(QString::fromUtf16(u"ツリーファイルを保存できません\r\n") +
                       ui::PathToQString(Project().TreeFilePath()) + QStringLiteral("\r\n") +
                       ui::ErrnoText(treeSaved.code),
                   ui::MsgIcon::Error, ui::MsgButtons::Ok);
    return false;
  }
  SetMemoModified(false);
  savedSelectionID_ = selected ? selected->Data()->ID : std::string();
  diskChanges_->TreeSaved();
  emit projectSaved(this, ProjectDir(), clock_::Now(), ProjectTitle());
  return itemOk;
}

// ---------------------------------------------------------------- close ----

bool TVaveMainForm::FormCloseQuery() {
  if (openFailed_)
    return true;
  tree_->CommitLabelEdit(); // before deciding whether anything changed

  TProjectNode *selected = tree_->Selected();
  // The shown item, then every item whose edits are still in no file (its
  // write failed, or its file was deleted elsewhere and not made again).
  std::vector<TProjectNode *> owed{selected};
  for (TProjectNode *n = RootNode(); n; n = n->GetNext())
    if (n != selected && n->Data()->Unsaved)
      owed.push_back(n);
  TProjectNode *failed = nullptr;
  fsys::Status failure;
  diskChanges_->CloseQuery(true);
  for (TProjectNode *n : owed) {
    if (fsys::Status s = StoreItem(n); !s && !failed) {
      failed = n;
      failure = s;
    }
    if (diskChanges_->CloseRefused())
      break;
  }
  diskChanges_->CloseQuery(false);
  if (diskChanges_->CloseRefused())
    return false;
  if (failed) {
    // The text on screen is not on disk: let the user decide, defaulting to stay.
    QString text =
        ItemFileProblem(failed, failure) + QString::fromUtf16(u"\r\n\r\n保存しないで閉じますか?");
    if (ShowMessageBox(text, ui::MsgIcon::Error, ui::MsgButtons::YesNo, ui::MsgAnswer::No) !=
        ui::MsgAnswer::Yes)
      return false;
  }
  const std::string selectedID = selected ? selected->Data()->ID : std::string();
  if (TreeModified() || selectedID != savedSelectionID_) {
    ui::MsgAnswer answer = ui::MsgAnswer::Yes;
    if (!Action(TEditorAction::AutoSaveMenu)->isChecked())
      answer = ShowMessageBox(
          QStringLiteral("\"") + ui::ToQString(ProjectTitle()) +
              QString::fromUtf16(u"\"はツリーが変更されています\r\n保存しますか?") +
              (!diskChanges_->HasKeptCopies()
                   ? QString()
                   : QString::fromUtf16(
                         u"\r\n(「この画面の版」のアイテムは、保存しなくてもツリーに加えます)")),
          ui::MsgIcon::Information, ui::MsgButtons::YesNoCancel);
    if (answer == ui::MsgAnswer::Cancel)
      return false;
    if (answer == ui::MsgAnswer::No && diskChanges_->HasKeptCopies() &&
        !diskChanges_->AddKeptCopiesToDisk())
      return false;
    fsys::Status tree;
    if (answer == ui::MsgAnswer::Yes && !SaveProject(&tree) && !tree)
      return false; // the tree file could not be written: keep the window so nothing is lost
  }
  emit editorClosing(this);
  return true;
}

void TVaveMainForm::closeEvent(QCloseEvent *event) {
  if (closing_) {
    event->accept();
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
