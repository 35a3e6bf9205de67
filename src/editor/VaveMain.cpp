#include "editor/VaveMain.h"

#include "editor/AttachmentCommands.h"
#include "editor/CaptureCommands.h"
#include "editor/CleanupCommands.h"
#include "editor/ClipboardCommands.h"
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

TVaveMainForm::TVaveMainForm(QWidget *owner) : QMainWindow(owner) {
  setObjectName(QStringLiteral("TVaveMainForm"));
  // Each editor stands on its own beside the catalogue (own task-bar entry).
  setWindowFlag(Qt::Window, true);
  setAttribute(Qt::WA_DeleteOnClose, true);
  FormCreate();
}

TVaveMainForm::~TVaveMainForm() {
  hide(); // an open label edit commits now, while the window is still whole
  watch_.reset();
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
          [this](TProjectNode *node) { tree_->Tree().NotifyDataChanged(node); });
  watch_ = std::make_unique<TDiskWatch>(this);
  watch_->Sweep = [this](size_t budget, bool restart) { CheckDisk(budget, restart); };
  updateActionStates();
}

QMenu *TVaveMainForm::Menu(const char *name) const {
  auto it = menus_.find(name);
  return it == menus_.end() ? nullptr : it->second;
}

QPlainTextEdit *TVaveMainForm::FileText() const { return memo_; }

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
  tree_ = new TVaveDataBase(splitter_);
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
    sweep_ = nullptr;
    goneItems_.clear();
  });
  connect(memo_, &TItemMemo::caretMoved, this, &TVaveMainForm::UpdateCaretPanel);
  connect(memo_->document(), &QTextDocument::modificationChanged, this,
          [this] { updateActionStates(); });
  connect(memo_, &QPlainTextEdit::selectionChanged, this, [this] { updateActionStates(); });
}

// ------------------------------------------------------ state and status ----

TProject &TVaveMainForm::Project() { return tree_->Project(); }

std::string TVaveMainForm::ProjectTitle() const { return tree_->Project().Title(); }

const std::string &TVaveMainForm::ProjectDir() const { return tree_->Project().Dir(); }

bool TVaveMainForm::IsShowing(const std::string &directory) const {
  // The same text once both end in a separator, or the same directory on
  // disk reached by another path.
  const std::string &mine = ProjectDir();
  if (mine.empty() || directory.empty())
    return false;
  return mine == AddPathSeparator(directory) || fsys::SameFile(mine, directory);
}

bool TVaveMainForm::TreeModified() const { return tree_->Project().Modified(); }

bool TVaveMainForm::ProjectLocked() const { return tree_->Project().Locked(); }

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

bool TVaveMainForm::StoreItem(TProjectNode *node) {
  if (!node)
    return true;
  // An item whose file could not be read is shown read-only; writing it
  // would put an empty file where the real one is to come back.
  if (node->Data()->Missing)
    return true;
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
    return ResolveDiskChange(node, changed, s);
  }
  if (!s) {
    storeFailure_ = s;
    node->Data()->Unsaved = changed;
    // An item that was not changed loses only its caret memory (a full or
    // read-only disk, a read-only file, a refused link): that must not hold
    // the user on it, nor the window open.
    if (!changed)
      TellCaretNotKept(s);
    return !changed;
  }
  node->Data()->Unsaved = false;
  if (!caretNotKept_.isEmpty()) {
    caretNotKept_.clear();
    UpdateGonePanel();
  }
  if (shown)
    RememberStored(f);
  return true;
}

// ------------------------------------------- files changed elsewhere ----

namespace {
QString ItemNameAndPath(TProjectNode *node) {
  return QString::fromUtf16(u"「") + ui::ToQString(node->Text()) + QString::fromUtf16(u"」") +
         QString::fromUtf16(u"のファイル\r\n") + ui::PathToQString(node->Data()->Files.FilePath);
}
} // namespace

ui::MsgAnswer TVaveMainForm::AskChangedOnDisk(const QString &text, const QString &takeDisk) {
  ui::MessageBoxRequest ask;
  ask.parent = this;
  ask.caption = windowTitle();
  ask.icon = ui::MsgIcon::Warning;
  ask.text = text;
  ask.buttons = ui::MsgButtons::YesNoCancel;
  // Enter and Escape keep both versions: the one answer that loses nothing.
  ask.defaultButton = ui::MsgAnswer::Cancel;
  ask.labels = {takeDisk, QString::fromUtf16(u"上書きする(&O)"),
                QString::fromUtf16(u"両方残す(&B)")};
  return ui::ShowMessageBox(ask);
}

bool TVaveMainForm::ResolveDiskChange(TProjectNode *node, bool changed, const fsys::Status &why) {
  if (why.code == fsys::kGoneFromDisk) {
    // Deleted elsewhere: made again only when it holds something to keep,
    // and only when the user says so. A "no" keeps the text in memory (the
    // item stays changed); the close asks once more, and only there can the
    // text be let go.
    bool write = false;
    if (changed && !closeQuery_) {
      write = ShowMessageBox(ItemNameAndPath(node) +
                                 QString::fromUtf16(u"\r\nは、ほかのプログラムで削除されています"
                                                    u"\r\n\r\n"
                                                    u"この画面の内容でファイルを作り直しますか?"),
                             ui::MsgIcon::Warning, ui::MsgButtons::YesNo,
                             ui::MsgAnswer::Yes) == ui::MsgAnswer::Yes;
    } else if (changed) {
      ui::MessageBoxRequest ask;
      ask.parent = this;
      ask.caption = windowTitle();
      ask.icon = ui::MsgIcon::Warning;
      ask.text = ItemNameAndPath(node) +
                 QString::fromUtf16(u"\r\nは、ほかのプログラムで削除されています\r\n"
                                    u"この画面での変更は、まだどのファイルにもありません\r\n\r\n"
                                    u"この画面の内容でファイルを作り直しますか?");
      ask.buttons = ui::MsgButtons::YesNoCancel;
      ask.defaultButton = ui::MsgAnswer::Yes;
      ask.labels = {QString::fromUtf16(u"作り直す(&R)"), QString::fromUtf16(u"変更を捨てる(&D)"),
                    QString::fromUtf16(u"閉じない")};
      const ui::MsgAnswer answer = ui::ShowMessageBox(ask);
      if (answer == ui::MsgAnswer::Cancel) {
        closeRefused_ = true;
        return false;
      }
      write = answer == ui::MsgAnswer::Yes;
      if (!write)
        node->Data()->Unsaved = false; // let go, as the user said
    }
    if (!write) {
      MarkGone(node);
      return true;
    }
    return SaveOwnVersion(node);
  }
  // Only the caret differed: the version on disk is taken without a word
  // (gone meanwhile: marked, not made again).
  if (!changed) {
    if (!ReloadItem(node, false))
      MarkGone(node);
    return true;
  }

  const ui::MsgAnswer answer = AskChangedOnDisk(
      ItemNameAndPath(node) +
          QString::fromUtf16(u"\r\nは、読み込んだ後にほかのプログラムで変更されています"
                             u"\r\n\r\n"
                             u"ディスクの版を読み込みますか、この画面の版で上書きしますか?\r\n"
                             u"両方残すと、この画面の版はすぐ下の新しいアイテムに入ります"),
      QString::fromUtf16(u"ディスクの版を読み込む(&D)"));
  switch (answer) {
  case ui::MsgAnswer::Yes:
    // The edits made here stay one undo away in the text.
    if (ReloadItem(node, true))
      return true;
    return SaveOwnVersion(node);
  case ui::MsgAnswer::No:
    return SaveOwnVersion(node);
  default:
    return KeepBothVersions(node);
  }
}

bool TVaveMainForm::SaveOwnVersion(TProjectNode *node) {
  TNodeFiles &f = node->Data()->Files;
  if (fsys::Status s = f.Save(TNodeFiles::Overwrite::Always); !s) {
    storeFailure_ = s;
    return false;
  }
  node->Data()->Unsaved = false;
  goneItems_.erase(node);
  if (node == current_)
    RememberStored(f);
  UpdateGonePanel();
  return true;
}

bool TVaveMainForm::KeepBothVersions(TProjectNode *node) {
  // The text of this window goes into a new item first: when it cannot be
  // written, the item keeps it and nothing is reloaded.
  TProjectTree &tree = Project().Tree();
  const TNodeFiles &own = node->Data()->Files;
  auto data = std::make_unique<TNodeData>();
  Project().InitItem(*data);
  const std::string path = data->Files.FilePath;
  data->Files.Assign(own);
  data->Files.FilePath = path;
  // Marked, so that the two rows can be told apart.
  std::string mark;
  if (ui::FromQString(QString::fromUtf16(u"(この画面の版)"), mark))
    data->Files.Title += mark;
  if (fsys::Status s = data->Files.Save(); !s) {
    storeFailure_ = s;
    return false;
  }
  const std::string title = data->Files.Title;
  TProjectNode *copy =
      node == RootNode() ? tree.InsertAt(node, 0, title, std::move(data))
                         : tree.InsertAt(node->Parent(), node->Index() + 1, title, std::move(data));
  keptCopies_.push_back({ExtractFileName(path), ExtractFileName(own.FilePath)});
  tree.NotifyDataChanged(copy);
  Project().SetModified(true);   // the tree has an item more
  node->Data()->Unsaved = false; // its edits are on disk, in the new item
  if (!ReloadItem(node, false)) {
    // Gone meanwhile: this window's text is safe in the new item.
    MarkGone(node);
  }
  return true;
}

bool TVaveMainForm::ReloadItem(TProjectNode *node, bool undoable) {
  TNodeFiles &f = node->Data()->Files;
  TNodeFiles fresh;
  fresh.FilePath = f.FilePath;
  if (!fresh.Open(true, nullptr))
    return false;
  f.Assign(fresh);
  f.Disk = fresh.Disk;
  node->Data()->Unsaved = false;
  goneItems_.erase(node);
  // What came from disk is no change of this window's.
  const bool wasModified = Project().Modified();
  if (node->Text() != f.Title)
    Project().Tree().SetText(node, f.Title);
  Project().SetModified(wasModified);
  Project().Tree().NotifyDataChanged(node);
  if (node == RootNode())
    setWindowTitle(ui::ToQString(f.Title));
  if (node == current_)
    ShowReloaded(node, undoable);
  UpdateGonePanel();
  return true;
}

void TVaveMainForm::ShowReloaded(TProjectNode *node, bool undoable) {
  const TNodeFiles &f = node->Data()->Files;
  const int line = memoJump_.CaretLine();
  const int column = memoJump_.CaretColumn();
  const QString text = ui::ToQString(f.Body.Joined());
  if (undoable) {
    QTextCursor all(memo_->document());
    all.select(QTextCursor::Document);
    all.insertText(text);
  } else {
    ShowMemoText(f.Body);
  }
  memoJump_.JumpTo(line, column);
  header_->Show(f);
  RememberStored(f);
  RefreshAttributes(node);
  if (attachments_)
    attachments_->Follow(node);
  SetMemoModified(false);
  UpdateCaretPanel();
}

void TVaveMainForm::CheckDisk(size_t budget, bool restart) {
  // Not in the middle of something: a load, a question, a drag, a label
  // being typed, a close.
  if (checkingDisk_ || closing_ || quickWalk_ || !RootNode() || !isVisible() ||
      QApplication::activeModalWidget() || QApplication::activePopupWidget() ||
      QApplication::mouseButtons() != Qt::NoButton || tree_->IsEditingLabel())
    return;
  checkingDisk_ = true;
  CheckTreeOnDisk();
  if (restart)
    sweep_ = nullptr;
  TProjectNode *n = sweep_ ? sweep_ : RootNode();
  for (size_t i = 0; n && i < budget; ++i) {
    CheckItemOnDisk(n); // changes no structure
    n = n->GetNext();
  }
  sweep_ = n;
  checkingDisk_ = false;
}

void TVaveMainForm::CheckTreeOnDisk() {
  const fsys::DiskChange change = Project().Tree().CheckTreeFile();
  if (change == fsys::DiskChange::None) {
    treeTold_ = fsys::Stamp{};
    return;
  }
  // Told once for each version on disk.
  const fsys::Stamp now = fsys::Peek(Project().TreeFilePath());
  if (treeTold_.known && fsys::SameVersion(now, treeTold_))
    return;
  treeTold_ = now;
  const QString path = ui::PathToQString(Project().TreeFilePath());
  if (change == fsys::DiskChange::Gone) {
    statusBar()->showMessage(
        QString::fromUtf16(u"ツリーファイルがほかのプログラムで削除されました: ") + path);
    return;
  }
  // This window's own tree changes are settled when it is saved.
  if (TreeModified()) {
    statusBar()->showMessage(QString::fromUtf16(u"ツリーファイルがほかのプログラムで変更されました"
                                                u"(保存するときに確かめます): ") +
                             path);
    return;
  }
  // A reload that cannot work is not offered.
  if (const QString why = TreeFileProblem(); !why.isEmpty()) {
    TellTreeUnreadable(why);
    return;
  }
  if (ShowMessageBox(QString::fromUtf16(u"「") + ui::ToQString(ProjectTitle()) +
                         QString::fromUtf16(u"」のツリーファイル\r\n") + path +
                         QString::fromUtf16(u"\r\nが、ほかのプログラムで変更されました\r\n\r\n"
                                            u"プロジェクトを読み込み直しますか?"),
                     ui::MsgIcon::Question, ui::MsgButtons::YesNo,
                     ui::MsgAnswer::Yes) != ui::MsgAnswer::Yes)
    return;
  // The shown item goes to disk first; the reload reads it back.
  TProjectNode *edited = current_ && HasUnsavedEdits(current_) ? current_ : nullptr;
  if (!StoreItem(current_)) {
    ShowMessageBox(ItemFileProblem(current_), ui::MsgIcon::Error, ui::MsgButtons::Ok);
    return;
  }
  if (ReloadProject(edited))
    treeTold_ = fsys::Stamp{};
}

void TVaveMainForm::CheckItemOnDisk(TProjectNode *node) {
  TNodeData &d = *node->Data();
  if (d.Missing)
    return;
  switch (d.Files.CheckDisk()) {
  case fsys::DiskChange::None:
    if (goneItems_.erase(node)) // back as it was
      UpdateGonePanel();
    return;
  case fsys::DiskChange::Gone:
    if (!goneItems_.count(node))
      MarkGone(node);
    return;
  case fsys::DiskChange::Changed:
    if (!HasUnsavedEdits(node))
      ReloadItem(node, false);
    return;
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

void TVaveMainForm::MarkGone(TProjectNode *node) {
  goneItems_.insert(node);
  UpdateGonePanel();
}

void TVaveMainForm::UpdateGonePanel() {
  if (current_ && goneItems_.count(current_))
    statusBar()->showMessage(QString::fromUtf16(u"このアイテムのファイルは削除されています: ") +
                             ui::PathToQString(current_->Data()->Files.FilePath));
  else if (!caretNotKept_.isEmpty())
    statusBar()->showMessage(caretNotKept_);
  else
    statusBar()->clearMessage();
}

void TVaveMainForm::TellCaretNotKept(const fsys::Status &why) {
  // Said once: it stands in the status bar until a write succeeds again.
  if (!caretNotKept_.isEmpty())
    return;
  caretNotKept_ = QString::fromUtf16(u"カーソルの位置を記憶できません(") + ui::ErrnoText(why.code) +
                  QString::fromUtf16(u"): ") + ui::PathToQString(why.path);
  UpdateGonePanel();
}

fsys::Status TVaveMainForm::ResolveTreeChange(const fsys::Status &refused, TProjectNode *edited) {
  const int why = refused.code;
  const QString tree = QString::fromUtf16(u"「") + ui::ToQString(ProjectTitle()) +
                       QString::fromUtf16(u"」のツリーファイル\r\n") +
                       ui::PathToQString(Project().TreeFilePath());
  using Overwrite = TProjectTree::TreeOverwrite;
  if (why == fsys::kGoneFromDisk) {
    if (ShowMessageBox(tree + QString::fromUtf16(u"\r\nは、ほかのプログラムで削除されています"
                                                 u"\r\n\r\n"
                                                 u"このウィンドウのツリーで作り直しますか?"),
                       ui::MsgIcon::Warning, ui::MsgButtons::YesNo,
                       ui::MsgAnswer::Yes) != ui::MsgAnswer::Yes)
      return refused;
    return tree_->SaveProject(Overwrite::Always);
  }
  // A tree file no load can use is no version to keep: the window's tree
  // replaces it (the old file stays as the backup).
  TProject disk;
  disk.Tree().LoadMode = TLoadMode::TreeOnly;
  if (!disk.Load(ProjectDir()).RootLoaded)
    return tree_->SaveProject(Overwrite::Always);

  const ui::MsgAnswer answer = AskChangedOnDisk(
      tree + QString::fromUtf16(u"\r\nは、読み込んだ後にほかのプログラムで変更されています"
                                u"\r\n\r\n"
                                u"プロジェクトを読み込み直しますか、このウィンドウのツリーで"
                                u"上書きしますか?\r\n"
                                u"両方残すと、ディスクのツリーを読み込み、このウィンドウにだけある"
                                u"アイテムをその最後にまとめます"),
      QString::fromUtf16(u"プロジェクトを読み込み直す(&R)"));
  switch (answer) {
  case ui::MsgAnswer::Yes:
    ReloadProject(edited);
    return {};
  case ui::MsgAnswer::No:
    return tree_->SaveProject(Overwrite::Always);
  default:
    return KeepBothTrees(disk, refused);
  }
}

namespace {
std::string FileOf(const TNodeData &d) {
  return d.Missing ? d.ListedFileName : ExtractFileName(d.Files.FilePath);
}
} // namespace

QString TVaveMainForm::TreeFileProblem() const {
  TProject disk;
  disk.Tree().LoadMode = TLoadMode::TreeOnly;
  if (disk.Load(ProjectDir()).RootLoaded)
    return {};
  std::string bytes;
  if (fsys::Status s = fsys::ReadFile(tree_->Project().TreeFilePath(), bytes); !s)
    return ui::ErrnoText(s.code);
  const std::string &rootFile = disk.WindowData().RootFileName;
  if (rootFile.empty())
    return QString::fromUtf16(u"ルートアイテムの記述がありません");
  return QString::fromUtf16(u"ルートアイテムのファイルを読み込めません: ") +
         ui::PathToQString(ProjectDir() + rootFile);
}

void TVaveMainForm::TellTreeUnreadable(const QString &why) {
  ShowMessageBox(QString::fromUtf16(u"「") + ui::ToQString(ProjectTitle()) +
                     QString::fromUtf16(u"」のツリーファイル\r\n") +
                     ui::PathToQString(Project().TreeFilePath()) +
                     QString::fromUtf16(u"\r\nが、ほかのプログラムで変更されましたが、"
                                        u"読み込めません\r\n") +
                     why +
                     QString::fromUtf16(u"\r\n\r\nこのウィンドウのツリーをそのまま使います"
                                        u"(保存すると、このツリーで書き直します)"),
                 ui::MsgIcon::Warning, ui::MsgButtons::Ok);
}

bool TVaveMainForm::ReloadProject(TProjectNode *edited, bool keepHeld) {
  // Never trade the tree shown, with its edits, for an empty one.
  if (const QString why = TreeFileProblem(); !why.isEmpty()) {
    TellTreeUnreadable(why);
    return false;
  }
  const std::string selectedID = current_ ? current_->Data()->ID : std::string();
  // Texts only this window holds, in tree order (a parent before its children).
  struct Held {
    TNodeData data;
    std::string label, parentFile, afterFile; // a copy goes after its original
    bool shown;
  };
  std::vector<Held> held;
  std::map<std::string, std::string> copies; // copy file -> original file
  for (const KeptCopy &k : keptCopies_)
    copies[k.copy] = k.original;
  for (TProjectNode *n = keepHeld ? RootNode() : nullptr; n; n = n->GetNext()) {
    const TNodeData &d = *n->Data();
    const auto copy = copies.find(FileOf(d));
    if (n == edited || d.Unsaved || copy != copies.end())
      held.push_back({d, n->Text(), n->Parent() ? FileOf(*n->Parent()->Data()) : std::string(),
                      copy != copies.end() ? copy->second : std::string(), n == current_});
  }
  current_ = nullptr;
  quickWalk_ = true;
  TLoadReport report;
  {
    ui::BusyCursor busy;
    report = tree_->LoadProject(ProjectDir());
  }
  ReportLoadProblems(this, report, ui::ToQString(ProjectTitle()));
  quickWalk_ = false;
  if (TProjectNode *root = RootNode()) {
    setWindowTitle(ui::ToQString(root->Text()));
    panels_[2]->setText(windowTitle());
    tree_->setExpanded(tree_->IndexOf(root), true);
  }
  // What the tree on disk names takes back the edits still owed to it; what
  // it does not name becomes an item of its own, below its parent if that
  // is there.
  std::map<std::string, TProjectNode *> byFile;
  for (TProjectNode *n = RootNode(); n && !held.empty(); n = n->GetNext())
    byFile[FileOf(*n->Data())] = n;
  TProjectTree &tree = Project().Tree();
  TProjectNode *heldShown = nullptr;
  QString added;
  for (Held &h : held) {
    const std::string file = FileOf(h.data);
    if (auto found = byFile.find(file); found != byFile.end()) {
      TNodeData &d = *found->second->Data();
      if (h.data.Unsaved) {
        if (d.Missing)
          d.Files.Disk = h.data.Files.Disk;
        d.Files.Assign(h.data.Files);
        d.Missing = false;
        d.Unsaved = true;
        tree.SetText(found->second, h.label);
      }
      if (h.shown)
        heldShown = found->second;
      continue;
    }
    auto parent = byFile.find(h.parentFile);
    auto after = byFile.find(h.afterFile);
    h.data.ID = Project().NextItemID(); // the other tree may use the old one
    auto data = std::make_unique<TNodeData>(std::move(h.data));
    TProjectNode *n = after != byFile.end() && after->second->Parent()
                          ? tree.InsertAt(after->second->Parent(), after->second->Index() + 1,
                                          h.label, std::move(data))
                          : tree.AddChild(parent != byFile.end() ? parent->second : RootNode(),
                                          h.label, std::move(data));
    byFile[file] = n;
    if (h.shown)
      heldShown = n;
    added += (added.isEmpty() ? QString() : QStringLiteral(", ")) + ui::ToQString(h.label);
  }
  TProjectNode *select = heldShown ? heldShown : tree_->Selected();
  for (TProjectNode *n = RootNode(); n && !heldShown && !selectedID.empty(); n = n->GetNext())
    if (n->Data()->ID == selectedID) {
      select = n;
      break;
    }
  if (select && select != tree_->Selected())
    tree_->SelectNode(select);
  VaveTreeChange(tree_->Selected());
  TProjectNode *selected = tree_->Selected();
  savedSelectionID_ = selected ? selected->Data()->ID : std::string();
  Project().SetModified(false);
  bool saved = true;
  if (!added.isEmpty()) {
    // Saved now, so that the tree on disk names them.
    Project().SetModified(true);
    saved = tree_->SaveProject().ok();
    statusBar()->showMessage(
        QString::fromUtf16(
            u"読み込んだツリーになかった、この画面だけにある内容をアイテムとして残しました: ") +
        added);
  }
  if (saved)
    keptCopies_.clear();
  updateActionStates();
  return true;
}

fsys::Status TVaveMainForm::KeepBothTrees(const TProject &disk, const fsys::Status &refused) {
  // What only this window's tree names, with the data it has (on disk
  // already: every item is stored as it is left).
  std::set<std::string> named;
  for (TProjectNode *n = disk.Tree().GetFirstNode(); n; n = n->GetNext()) {
    const TNodeData &d = *n->Data();
    named.insert(d.Missing ? d.ListedFileName : ExtractFileName(d.Files.FilePath));
  }
  struct Only {
    TNodeData data;
    int parent; // index into `only`, -1: below the new holder item
    bool expanded;
  };
  std::vector<Only> only;
  std::map<TProjectNode *, int> index;
  for (TProjectNode *n = RootNode(); n; n = n->GetNext()) {
    const TNodeData &d = *n->Data();
    if (named.count(d.Missing ? d.ListedFileName : ExtractFileName(d.Files.FilePath)))
      continue;
    auto up = n->Parent() ? index.find(n->Parent()) : index.end();
    index[n] = static_cast<int>(only.size());
    only.push_back(Only{d, up == index.end() ? -1 : up->second, n->Expanded()});
  }
  if (!ReloadProject(nullptr, false))
    return refused;
  if (only.empty() || !RootNode())
    return {};

  TProjectTree &tree = Project().Tree();
  auto holderData = std::make_unique<TNodeData>();
  Project().InitItem(*holderData);
  ui::FromQString(QString::fromUtf16(u"このウィンドウにだけあったアイテム"),
                  holderData->Files.Title);
  holderData->Files.Author = author_;
  if (fsys::Status s = holderData->Files.Save(); !s) {
    storeFailure_ = s;
    return refused;
  }
  const std::string holderTitle = holderData->Files.Title;
  TProjectNode *holder = tree.AddChild(RootNode(), holderTitle, std::move(holderData));
  std::vector<TProjectNode *> made;
  for (Only &o : only) {
    auto data = std::make_unique<TNodeData>();
    Project().InitItem(*data); // a fresh ID: the other tree may use this one
    const std::string id = data->ID;
    *data = std::move(o.data);
    data->ID = id;
    const std::string label = data->Missing ? data->ListedFileName : data->Files.Title;
    made.push_back(tree.AddChild(o.parent < 0 ? holder : made[static_cast<size_t>(o.parent)], label,
                                 std::move(data)));
  }
  for (size_t i = 0; i < only.size(); ++i)
    tree.SetExpanded(made[i], only[i].expanded);
  tree.SetExpanded(holder, true);
  tree.NotifyDataChanged(holder);
  Project().SetModified(true);
  return tree_->SaveProject();
}

bool TVaveMainForm::AddKeptCopiesToDisk() {
  // The tree on disk as it is, with the copies and nothing else of this
  // window's changes.
  std::map<std::string, TProjectNode *> mine, theirs;
  for (TProjectNode *n = RootNode(); n; n = n->GetNext())
    mine[FileOf(*n->Data())] = n;
  TProject disk;
  disk.Tree().LoadMode = TLoadMode::TreeOnly;
  fsys::Status saved{};
  if (disk.Load(ProjectDir()).RootLoaded) {
    for (TProjectNode *n = disk.Root(); n; n = n->GetNext())
      theirs[FileOf(*n->Data())] = n;
    TProjectTree &tree = disk.Tree();
    for (const KeptCopy &k : keptCopies_) {
      auto own = mine.find(k.copy);
      if (own == mine.end() || theirs.count(k.copy)) // deleted here since, or named already
        continue;
      auto data = std::make_unique<TNodeData>();
      data->ID = disk.NextItemID();
      data->Files.FilePath = ProjectDir() + k.copy;
      auto at = theirs.find(k.original);
      theirs[k.copy] = at != theirs.end() && at->second->Parent()
                           ? tree.InsertAt(at->second->Parent(), at->second->Index() + 1,
                                           own->second->Text(), std::move(data))
                           : tree.AddChild(disk.Root(), own->second->Text(), std::move(data));
    }
    saved = disk.Save();
  }
  if (saved && disk.Root()) {
    keptCopies_.clear();
    return true;
  }
  QString files;
  for (const KeptCopy &k : keptCopies_)
    files += QStringLiteral("\r\n") + ui::PathToQString(ProjectDir() + k.copy);
  ShowMessageBox(QString::fromUtf16(u"「この画面の版」のアイテムをツリーファイルに加えられません") +
                     QStringLiteral("\r\n") + ui::PathToQString(Project().TreeFilePath()) +
                     QString::fromUtf16(u"\r\n\r\nその内容は次のファイルにあります") + files,
                 ui::MsgIcon::Error, ui::MsgButtons::Ok);
  return false;
}

void TVaveMainForm::ForgetRemovedRows(const QModelIndex &parent, int first, int last) {
  for (int row = first; row <= last; ++row) {
    TProjectNode *top = TVaveTreeModel::NodeOf(tree_->Model()->index(row, 0, parent));
    if (current_ && (current_ == top || current_->HasAsParent(top)))
      current_ = nullptr;
    sweep_ = nullptr;
    for (auto it = goneItems_.begin(); it != goneItems_.end();)
      it = *it == top || (*it)->HasAsParent(top) ? goneItems_.erase(it) : std::next(it);
  }
}

void TVaveMainForm::RememberStored(const TNodeFiles &f) {
  stored_.ToDo = f.ToDo;
  stored_.Completion = f.Completion;
  stored_.AttachFiles = f.AttachFiles;
}

QString TVaveMainForm::ItemFileProblem(TProjectNode *node) const {
  QString text = QString::fromUtf16(u"現在のアイテムを保存できません");
  if (node)
    text += QStringLiteral("\r\n") + ui::PathToQString(node->Data()->Files.FilePath);
  // The path was named above; what failed may be that file or its folder.
  if (storeFailure_.code)
    text += QStringLiteral("\r\n") + ui::ErrnoText(storeFailure_.code);
  return text;
}

bool TVaveMainForm::VaveTreeChanging(TProjectNode *next) {
  if (closing_)
    return true;
  // The label typed for the item being left goes with it.
  tree_->CommitLabelEdit();
  if (quickWalk_ && !MemoModified())
    return true;
  if (StoreItem(current_)) {
    refusedNode_ = nullptr;
    return true;
  }
  // The selection stays on the item that could not be written; say why once,
  // not at every key of a held arrow.
  if (refusedNode_ != current_) {
    refusedNode_ = current_;
    ShowMessageBox(ItemFileProblem(current_), ui::MsgIcon::Error, ui::MsgButtons::Ok);
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
    UpdateGonePanel();
    if (watch_)
      watch_->Follow(node->Data()->Missing ? QString() : ui::PathToQString(f.FilePath));
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
  tree_->Tree().SetText(node, label);
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
  // A save stopped after its new tree file was complete: that file is the
  // tree the user last saved. Using it (the default) completes the save and
  // keeps the older tree file as the backup, so either way nothing is lost.
  const std::string treeFile = TProject::TreeFilePath(dir);
  if (const std::string stopped = TProjectTree::StoppedSaveFile(treeFile); !stopped.empty()) {
    const QString text =
        QString::fromUtf16(u"保存が途中で終わったツリーファイルがあります\r\n") +
        ui::PathToQString(stopped) +
        QString::fromUtf16(u"\r\n\r\nツリーファイルより新しい、最後に保存したツリーです。"
                           u"これを使って保存を終わらせますか?\r\n"
                           u"(今のツリーファイルは MainTree.dat.ord に残ります。"
                           u"いいえでは今のツリーファイルで開きます)");
    // No title yet: the box names the project by its folder.
    const QString folder = ui::PathToQString(ExtractFileName(RemovePathSeparator(dir)));
    if (ui::ShowMessageBox(this, text, folder, ui::MsgIcon::Warning, ui::MsgButtons::YesNo,
                           ui::MsgAnswer::Yes) == ui::MsgAnswer::Yes)
      if (fsys::Status s = TProjectTree::FinishStoppedSave(treeFile); !s)
        ui::ShowMessageBox(
            this, QString::fromUtf16(u"ツリーファイルを置き換えられません") + ui::FileErrorText(s),
            folder, ui::MsgIcon::Error, ui::MsgButtons::Ok);
  }
  quickWalk_ = true;
  current_ = nullptr;
  TLoadReport report;
  {
    ui::BusyCursor busy;
    report = tree_->LoadProject(dir);
  }
  // Asked before the window has its title: the boxes name the project itself.
  ReportLoadProblems(this, report, ui::ToQString(ProjectTitle()));
  // Items no child list reaches stay in the tree file whatever the answer;
  // attaching them changes the tree, so that is not the default.
  bool attached = false;
  if (report.RootLoaded && !report.Unreached.empty()) {
    constexpr size_t kListed = 10;
    QString text = QString::fromUtf16(u"次のアイテムはツリーファイルにありますが、子の番号の抜けか"
                                      u"重複のため、ツリーのどこからもたどれません。"
                                      u"保存してもツリーファイルにそのまま残します");
    for (size_t i = 0; i < report.Unreached.size() && i < kListed; ++i)
      text += QStringLiteral("\r\n") + ui::PathToQString(dir + report.Unreached[i].FileName);
    if (report.Unreached.size() > kListed)
      text += QStringLiteral("\r\n") +
              QString::fromUtf16(u"ほかに %1 件").arg(report.Unreached.size() - kListed);
    text += QString::fromUtf16(u"\r\n\r\nルートアイテムの最後の子としてツリーにつなぎますか?");
    attached = ui::ShowMessageBox(this, text, ui::ToQString(ProjectTitle()), ui::MsgIcon::Warning,
                                  ui::MsgButtons::YesNo, ui::MsgAnswer::No) == ui::MsgAnswer::Yes &&
               Project().Tree().AttachUnreached() > 0;
  }
  if (!report.RootLoaded) {
    // Never work on an empty tree: a save would write a project without items.
    quickWalk_ = false;
    openFailed_ = true;
    std::string rootFile = dir + tree_->Tree().WindowData.RootFileName;
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
  watch_->Start(ui::PathToQString(ProjectDir()), ui::PathToQString(Project().TreeFilePath()));
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

bool TVaveMainForm::SaveProject(fsys::Status *tree) {
  ui::BusyCursor busy;
  TProjectNode *selected = tree_->Selected();
  TProjectNode *edited = selected && HasUnsavedEdits(selected) ? selected : nullptr;
  bool itemOk = StoreItem(selected);
  QString itemProblem = itemOk ? QString() : ItemFileProblem(selected);
  CollectWindowSettings();
  fsys::Status treeSaved = tree_->SaveProject();
  const int why = treeSaved.code;
  // Settled only when the item is on disk: a reload would drop its text.
  if (!treeSaved && itemOk && (why == fsys::kChangedOnDisk || why == fsys::kGoneFromDisk)) {
    treeSaved = ResolveTreeChange(treeSaved, edited);
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
  keptCopies_.clear(); // the tree on disk names them now
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
  closeQuery_ = true;
  closeRefused_ = false;
  for (TProjectNode *n : owed) {
    if (!StoreItem(n) && !failed)
      failed = n;
    if (closeRefused_)
      break;
  }
  closeQuery_ = false;
  if (closeRefused_)
    return false;
  if (failed) {
    // The text on screen is not on disk: let the user decide, defaulting to stay.
    QString text = ItemFileProblem(failed) + QString::fromUtf16(u"\r\n\r\n保存しないで閉じますか?");
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
              (keptCopies_.empty()
                   ? QString()
                   : QString::fromUtf16(
                         u"\r\n(「この画面の版」のアイテムは、保存しなくてもツリーに加えます)")),
          ui::MsgIcon::Information, ui::MsgButtons::YesNoCancel);
    if (answer == ui::MsgAnswer::Cancel)
      return false;
    if (answer == ui::MsgAnswer::No && !keptCopies_.empty() && !AddKeptCopiesToDisk())
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
  watch_->Stop();
  attachments_->Close();
  event->accept();
}
