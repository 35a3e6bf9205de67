#include "editor/VaveMain.h"

#include "attach/AttachmentForm.h"
#include "editor/EditorActions.h"
#include "editor/ItemMemo.h"
#include "editor/PlainTextMemo.h"
#include "editor/VaveDataBase.h"
#include "store/Codec.h"
#include "store/FileSystem.h"
#include "store/LibUnit.h"
#include "store/ProjectTree.h"
#include "ui/Dialogs.h"
#include "ui/ErrorText.h"
#include "ui/ImageList.h"
#include "ui/ScreenFit.h"
#include "ui/Text.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <cstdio>
#include <set>
#include <string_view>

namespace {

// Header strip: fixed labels and width limits (0 = no limit).
struct SectionSpec {
  const char16_t *label;
  int min, max;
  Qt::Alignment align;
};
const SectionSpec kSections[7] = {
    {u"", 0, 0, Qt::AlignLeft},    {u"著者", 2, 40, Qt::AlignLeft},
    {u"", 2, 1000, Qt::AlignLeft}, {u"更新日時", 2, 60, Qt::AlignCenter},
    {u"", 2, 130, Qt::AlignLeft},  {u"作成日時", 2, 60, Qt::AlignCenter},
    {u"", 2, 130, Qt::AlignLeft},
};

QString Q(const char16_t *s) { return QString::fromUtf16(s); }

// Hourglass for the length of a command, restored also on early returns.
struct BusyCursor {
  BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~BusyCursor() { QApplication::restoreOverrideCursor(); }
};

// Up to this many malformed-header warnings are shown one by one while a
// project loads; the rest are counted in one closing message.
constexpr int kMaxHeaderWarnings = 10;
// Items whose file could not be read are named in one box, up to this many.
constexpr size_t kMaxMissingListed = 10;

} // namespace

TVaveMainForm::TVaveMainForm(QWidget *owner) : QMainWindow(owner) {
  setObjectName(QStringLiteral("TVaveMainForm"));
  // Each editor stands on its own beside the catalogue (own task-bar entry).
  setWindowFlag(Qt::Window, true);
  setAttribute(Qt::WA_DeleteOnClose, true);
  FormCreate();
}

TVaveMainForm::~TVaveMainForm() {
  // The text commands' event filters go first: the parts they look at go next.
  delete textEvents_;
  delete sweepEvents_;
  hide(); // an open label edit commits now, while the window is still whole
  if (attachment_) {
    attachment_->DetachList();
    delete attachment_;
  }
}

// ------------------------------------------------------------- creation ----

void TVaveMainForm::FormCreate() {
  Closing = false;
  QuickWalk = false;
  BuildActions();
  BuildLayout();
  BindTreeDragging(); // TreeCommands.cpp; needs the tree
  BuildMenus();
  BuildToolBar();
  BindTextCommands(); // also sets up memo, tree and status bar: after the layout
  // A tool window of this editor: above it, minimised and gone with it.
  attachment_ = new TAttachmentForm(this);
  attachment_->setWindowFlags(Qt::Tool);
  attachment_->setObjectName(QStringLiteral("AttachmentWindow"));
  attachment_->IsProjectFile = [this](const std::string &name) {
    for (TProjectNode *n = tree_->Tree().GetFirstNode(); n; n = n->GetNext())
      if (ExtractFileName(n->Data()->Files.FilePath) == name)
        return true;
    return false;
  };
  connect(attachment_.data(), &TAttachmentForm::attachmentsChanged, this, [this] {
    SetMemoModified(true);
    if (QAction *a = Action("ViewAttachFileAction"))
      a->setEnabled(CurrentNode && !CurrentNode->Data()->Files.AttachFiles.empty());
  });
  tree_->OnNodeLoaded = [this](TProjectNode *node) { UpdateItemIcon(node); };
  updateActionStates();
}

QAction *TVaveMainForm::Action(const char *name) const {
  auto it = actions_.find(name);
  return it == actions_.end() ? nullptr : it->second;
}

QMenu *TVaveMainForm::Menu(const char *name) const {
  auto it = menus_.find(name);
  return it == menus_.end() ? nullptr : it->second;
}

QPlainTextEdit *TVaveMainForm::FileText() const { return memo_; }

TAttachmentForm *TVaveMainForm::AttachmentWindow() const { return attachment_.data(); }

void TVaveMainForm::BuildActions() {
  int count = 0;
  const TEditorActionDef *table = EditorActionDefs(count);
  for (int i = 0; i < count; ++i) {
    const TEditorActionDef &s = table[i];
    auto *a = new QAction(Q(s.caption), this);
    a->setObjectName(QString::fromLatin1(s.name));
    if (*s.shortcut)
      a->setShortcut(QKeySequence(QString::fromLatin1(s.shortcut)));
    QString hint = Q(s.hint);
    if (!hint.isEmpty()) {
      a->setStatusTip(hint);
      a->setToolTip(hint);
    }
    if (s.image)
      a->setIcon(images::Icon(s.image));
    a->setProperty("Tag", s.tag);
    a->setCheckable(s.checkable);
    a->setEnabled(false); // commands that have no handler yet stay disabled
    actions_[s.name] = a;
    // A label still being edited is committed before any command runs (this
    // connection comes first, so it runs first). The clipboard commands are
    // the exception: while a label is edited they act on the label itself.
    static const std::set<std::string_view> kLabelCommands = {
        "UndoAction", "CutToClipAction", "CopyToClipAction", "PastClipTextAction",
        "SelectAllAction"};
    if (!kLabelCommands.count(s.name))
      connect(a, &QAction::triggered, this, [this] {
        if (tree_)
          tree_->CommitLabelEdit();
      });
  }
  BindAction("SaveProjectAction", &TVaveMainForm::SaveProjectAction);
  BindAction("SaveItemTextAction", &TVaveMainForm::SaveItemTextAction);
  BindAction("ExitProjectAction", &TVaveMainForm::ExitProjectAction);
  BindAction("SelectToDoAction", &TVaveMainForm::SelectToDoAction);
  BindAction("SelectCompletionAction", &TVaveMainForm::SelectCompletionAction);
  Action("AutoSaveMenu")->setEnabled(true); // a check mark and nothing more
  BindTreeCommands();
  for (const char *name : {"ShowAttachFileAction", "ViewLinkAction", "ViewAttachFileAction"}) {
    QAction *a = Action(name);
    a->setEnabled(true);
    connect(a, &QAction::triggered, this, [this] {
      if (!attachment_)
        return;
      attachment_->SetProjectDir(ProjectDir);
      if (CurrentNode)
        attachment_->ShowAttachments(&CurrentNode->Data()->Files.AttachFiles);
      attachment_->show();
      attachment_->raise();
    });
  }
}

void TVaveMainForm::BuildLayout() {
  auto *central = new QWidget(this);
  auto *column = new QVBoxLayout(central);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);

  headerModel_ = new QStandardItemModel(0, 7, this);
  header_ = new QHeaderView(Qt::Horizontal, central);
  header_->setObjectName(QStringLiteral("PagePropertyHeader"));
  header_->setModel(headerModel_);
  header_->setSectionsClickable(false);
  header_->setSectionsMovable(false);
  header_->setMinimumSectionSize(2);
  header_->setStretchLastSection(false);
  for (int i = 0; i < 7; ++i) {
    auto *item = new QStandardItem(Q(kSections[i].label));
    item->setTextAlignment(kSections[i].align | Qt::AlignVCenter);
    headerModel_->setHorizontalHeaderItem(i, item);
  }
  header_->setFixedHeight(std::max(17, header_->fontMetrics().height() + 4));
  connect(header_, &QHeaderView::sectionResized, this, [this](int i, int, int size) {
    int lo = kSections[i].min, hi = kSections[i].max;
    int clamped = hi ? std::clamp(size, lo, hi) : std::max(size, lo);
    if (clamped != size)
      header_->resizeSection(i, clamped);
  });
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
  memo_->OnRefused = [this](const QString &why) {
    ShowMessageBox(why, ui::MsgIcon::Warning, ui::MsgButtons::Ok);
  };
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

  QStatusBar *bar = statusBar();
  bar->setObjectName(QStringLiteral("StatusBar"));
  bar->setSizeGripEnabled(true);
  const int widths[3] = {100, 60, 50};
  for (int i = 0; i < 3; ++i) {
    panels_[i] = new QLabel(bar);
    panels_[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
    panels_[i]->setMinimumWidth(widths[i]);
    if (i == 1)
      panels_[i]->setAlignment(Qt::AlignCenter);
    if (i < 2)
      bar->addWidget(panels_[i]);
    else
      bar->addWidget(panels_[i], 1);
  }
  panels_[1]->setText(QStringLiteral("0 : 1"));

  tree_->OnChange = [this](TProjectNode *node) { VaveTreeChange(node); };
  tree_->Selection()->Changing = [this](const QModelIndex &next) {
    return VaveTreeChanging(TVaveTreeModel::NodeOf(next));
  };
  tree_->Model()->CanEditLabel = [this](TProjectNode *node) { return VaveTreeEditing(node); };
  tree_->Model()->LabelEdited = [this](TProjectNode *node, const QString &typed) {
    return VaveTreeEdited(node, typed);
  };
  tree_->OnCollapsing = [this](TProjectNode *node) { return VaveTreeCollapsing(node); };
  tree_->OnExpandedChanged = [this](TProjectNode *, bool) { TreeModified = true; };

  // An item about to go away (deleted, or the whole tree replaced) must not
  // stay in the attachment window or as the item stored next.
  connect(tree_->Model(), &QAbstractItemModel::rowsAboutToBeRemoved, this,
          &TVaveMainForm::DetachAttachmentsOf);
  connect(tree_->Model(), &QAbstractItemModel::modelAboutToBeReset, this, [this] {
    if (attachment_)
      attachment_->DetachList();
    CurrentNode = nullptr;
  });
  connect(memo_, &TItemMemo::caretMoved, this, &TVaveMainForm::UpdateCaretPanel);
  connect(memo_->document(), &QTextDocument::modificationChanged, this,
          [this] { updateActionStates(); });
  connect(memo_, &QPlainTextEdit::selectionChanged, this, [this] { updateActionStates(); });
}

void TVaveMainForm::BuildMenus() {
  QMenuBar *bar = menuBar();
  auto menu = [this](QMenu *parent, const char *name, const char16_t *title) {
    QMenu *m = parent ? parent->addMenu(Q(title)) : menuBar()->addMenu(Q(title));
    m->setObjectName(QString::fromLatin1(name));
    menus_[name] = m;
    connect(m, &QMenu::aboutToShow, this, &TVaveMainForm::updateActionStates);
    return m;
  };
  auto add = [this](QMenu *m, std::initializer_list<const char *> names) {
    for (const char *n : names) {
      if (!*n)
        m->addSeparator();
      else
        m->addAction(Action(n));
    }
  };
  (void)bar;

  QMenu *file = menu(nullptr, "FileMenu", u"ﾌｧｲﾙ(&F)");
  add(file, {"SaveProjectAction", "SaveItemTextAction", "", "ItemTextOutAction",
             "ItemHtmlOutAction", "ItemHtmlExOutAction", "ItemSummarizeAction", ""});
  QMenu *functions = menu(file, "FunctionMenu", u"機能(&C)");
  functions->menuAction()->setStatusTip(Q(u"ﾌﾟﾛｼﾞｪｸﾄごとの設定をします"));
  add(functions,
      {"WordWrapMenu", "HideMenu", "SelectFontMenu", "UseDefaultColorMenu", "AutoSaveMenu", "",
       "OutputSettingMenu", "", "ExpireUnnecessaryFile", "ClearCursorPosMenu"});
  file->addSeparator();
  add(file, {"ExitProjectAction"});

  QMenu *edit = menu(nullptr, "EditMenu", u"編集(&E)");
  add(edit,
      {"InsertDateAction", "InsertTimeAction", "", "UndoAction", "CutToClipAction",
       "CopyToClipAction", "PastClipTextAction", "SelectAllAction", "", "UndoItemMidifyAction"});

  QMenu *treeMenu = menu(nullptr, "TreeMenu", u"ﾂﾘｰ(&T)");
  add(treeMenu,
      {"CreateNewItemAction", "CreateSubItemAction", "RenameItemAction", "ExpierItemAction", "",
       "UpperItemAction", "DownerItemAction", "InprimentUpperItemAction", "AddLowerItemAction", "",
       "AllExpandAction", "AllComposeAction", "", "CopyItemAction", "PastItemAction"});

  QMenu *attr = menu(nullptr, "AttributeMenu", u"属性(&A)");
  add(attr, {"SelectToDoAction", "SelectCompletionAction"});

  QMenu *find = menu(nullptr, "FindMenu", u"検索(&S)");
  add(find, {"FindNextAction", "FindPriorAction", "", "SearchCurrentAction", "SearchProjectAction",
             "", "TagJumpCurrentAction", "TagJumpProjectAction", "", "SetTagHeaderAction",
             "SetTagFooterAction"});

  QMenu *capture = menu(nullptr, "CpMenu", u"取り込み(&C)");
  add(capture,
      {"ClipItemDefaultAction", "ClipItemByTitleAction", "ClipSubItemAction",
       "ClipSubItemByTitleAction", "", "InportTextFileAction", "", "ShowAttachFileAction"});

  QMenu *help = menu(nullptr, "HelpMenu", u"ﾍﾙﾌﾟ(&H)");
  add(help, {"ShowHintMenu"});

  // The tree's pop-up menu.
  auto *pop = new QMenu(this);
  pop->setObjectName(QStringLiteral("TreePopupMenu"));
  menus_["TreePopupMenu"] = pop;
  add(pop, {"UpperItemAction", "DownerItemAction", "InprimentUpperItemAction", "AddLowerItemAction",
            "", "CreateNewItemAction", "CreateSubItemAction", "", "RenameItemAction",
            "ExpierItemAction", "", "CopyItemAction", "PastItemAction"});
  connect(pop, &QMenu::aboutToShow, this, &TVaveMainForm::updateActionStates);
  tree_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(tree_, &QWidget::customContextMenuRequested, this, [this, pop](const QPoint &p) {
    // A right click selects the item under the pointer first.
    QModelIndex i = tree_->indexAt(p);
    if (i.isValid())
      tree_->SelectNode(TVaveTreeModel::NodeOf(i));
    pop->popup(tree_->viewport()->mapToGlobal(p));
  });
  // Shortcuts work wherever the focus is in the window.
  for (auto &[name, a] : actions_)
    addAction(a);
}

void TVaveMainForm::BuildToolBar() {
  toolBar_ = addToolBar(QStringLiteral("ToolBar1"));
  toolBar_->setObjectName(QStringLiteral("ToolBar1"));
  toolBar_->setMovable(false);
  toolBar_->setIconSize(QSize(16, 16));
  auto button = [this](const char *action, const char *name) {
    toolBar_->addAction(Action(action));
    if (QWidget *w = toolBar_->widgetForAction(Action(action)))
      w->setObjectName(QString::fromLatin1(name));
  };
  button("SaveProjectAction", "SaveVaveButton");
  toolBar_->addSeparator();
  toolBar_->addWidget(new QLabel(Q(u"ﾂﾘｰ"), toolBar_));
  button("DownerItemAction", "DownerItemButton");
  button("UpperItemAction", "UpperItemButton");
  button("AddLowerItemAction", "AddLowerItemButton");
  button("InprimentUpperItemAction", "InprimentUpperItemButton");
  toolBar_->addSeparator();
  toolBar_->addWidget(new QLabel(Q(u"ｱｲﾃﾑ"), toolBar_));
  // New item with its drop-down of the other ways to make an item.
  auto *createMenu = new QMenu(this);
  createMenu->setObjectName(QStringLiteral("CreateItemPopMenu"));
  menus_["CreateItemPopMenu"] = createMenu;
  createMenu->addAction(Action("CreateNewItemAction"));
  createMenu->addAction(Action("CreateSubItemAction"));
  createMenu->addSeparator();
  createMenu->addAction(Action("RenameItemAction"));
  auto *newButton = new QToolButton(toolBar_);
  newButton->setObjectName(QStringLiteral("CreateItemButton"));
  newButton->setDefaultAction(Action("CreateNewItemAction"));
  newButton->setMenu(createMenu);
  newButton->setPopupMode(QToolButton::MenuButtonPopup);
  toolBar_->addWidget(newButton);
  button("UndoItemMidifyAction", "UndoEditButton");
  button("ExpierItemAction", "ExpierItemButton");
  toolBar_->addSeparator();
  button("SelectToDoAction", "ToDoButton");
  button("SelectCompletionAction", "CompletionButton");
  toolBar_->addSeparator();
  button("SearchCurrentAction", "SearchButton");
  button("ClipItemDefaultAction", "InportButton");
  button("ViewAttachFileAction", "ViewAttachFile");
}

// ------------------------------------------------------ state and status ----

QString TVaveMainForm::Caption() const { return windowTitle(); }

std::string TVaveMainForm::ProjectTitle() const {
  return RootNode ? RootNode->Text() : std::string();
}

ui::MsgAnswer TVaveMainForm::ShowMessageBox(const QString &text, ui::MsgIcon icon,
                                            ui::MsgButtons buttons,
                                            std::optional<ui::MsgAnswer> defaultButton) {
  return ui::ShowMessageBox(this, text, Caption(), icon, buttons, defaultButton);
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

void TVaveMainForm::UpdateItemIcon(TProjectNode *node) {
  // The model draws the icon from the item's marks; tell it they changed.
  if (node)
    tree_->Tree().NotifyDataChanged(node);
}

void TVaveMainForm::ShowItemHeader(TProjectNode *node) {
  const TNodeFiles &f = node->Data()->Files;
  headerModel_->horizontalHeaderItem(0)->setText(ui::ToQString(f.Title));
  headerModel_->horizontalHeaderItem(2)->setText(ui::ToQString(f.Author));
  headerModel_->horizontalHeaderItem(4)->setText(QString::fromStdString(f.Update.ToString()));
  headerModel_->horizontalHeaderItem(6)->setText(QString::fromStdString(f.FirstEdition.ToString()));
}

void TVaveMainForm::RefreshAttributes(TProjectNode *node) {
  const TNodeFiles &f = node->Data()->Files;
  QAction *todo = Action("SelectToDoAction");
  QAction *done = Action("SelectCompletionAction");
  todo->setChecked(f.ToDo);
  todo->setIcon(images::Icon(f.ToDo ? images::ToDoOn : images::ToDoOff));
  done->setChecked(f.Completion);
  done->setIcon(images::Icon(f.Completion ? images::CompletionOn : images::CompletionOff));
  if (node == RootNode)
    ProjectLocked = f.Completion;
  memo_->setReadOnly(ProjectLocked || f.Completion || node->Data()->Missing);
  UpdateItemIcon(node);
}

void TVaveMainForm::updateActionStates() {
  const bool open = RootNode != nullptr;
  Action("SaveProjectAction")->setEnabled(open);
  Action("SaveItemTextAction")->setEnabled(open);
  const bool marks = CurrentNode && !CurrentNode->Data()->Missing;
  Action("SelectToDoAction")->setEnabled(marks);
  Action("SelectCompletionAction")->setEnabled(marks);
  Action("ViewAttachFileAction")
      ->setEnabled(CurrentNode && !CurrentNode->Data()->Files.AttachFiles.empty());
  UpdateTreeCommandStates();
  UpdateTextCommandStates();
}

// ------------------------------------------------------- the current item ----

std::string TVaveMainForm::NewItemFileName() const {
  const std::string stamp = clock_::Now().ToFileStamp();
  for (unsigned n = 0;; ++n) {
    std::string candidate = stamp + std::to_string(n) + ".txt";
    if (!fsys::Exists(ProjectDir + candidate))
      return candidate;
  }
}

bool TVaveMainForm::InitNewItem(TProjectNode *node) {
  // Taken before the node's own (still empty) ID could count.
  std::string id = tree_->Tree().NextItemID();
  TNodeData *data = node->Data();
  data->ID = std::move(id);
  data->Files = TNodeFiles();
  data->Files.FilePath = NewItemFileName();
  data->Files.FirstEdition = clock_::Now();
  data->Files.ToDo = false;
  data->Files.Completion = false;
  SetMemoModified(true);
  return StoreItem(node);
}

bool TVaveMainForm::StoreItem(TProjectNode *node) {
  if (!node)
    return true;
  // An item whose file could not be read is shown read-only; writing it
  // would put an empty file where the real one is to come back.
  if (node->Data()->Missing)
    return true;
  TNodeFiles &f = node->Data()->Files;
  const bool shown = node == CurrentNode;
  if (shown) {
    f.Line = memoJump_.CaretLine();
    f.Column = memoJump_.CaretColumn();
    if (attachment_ && attachment_->Attachments() == &f.AttachFiles)
      attachment_->WriteBack();
  }
  // What differs from the file is stored, whatever the modified flag says:
  // a revert of the text or another step may have cleared it.
  bool changed = MemoModified() || node->Text() != f.Title;
  TTextLines body;
  if (shown) {
    body = MemoLines();
    changed = changed || body != f.Body || f.ToDo != stored_.ToDo ||
              f.Completion != stored_.Completion || f.AttachFiles != stored_.AttachFiles;
  }
  if (changed) {
    f.Title = node->Text();
    f.Update = clock_::Now();
    f.Author = Author;
    if (ExtractFilePath(f.FilePath).empty())
      f.FilePath = ProjectDir + f.FilePath;
    if (shown)
      f.Body = std::move(body);
  }
  if (shown || changed)
    SetMemoModified(false);
  if (!f.Save()) {
    // A read-only item file that was not changed loses only its caret
    // memory: that must not hold the user on it.
    return !changed && fsys::LastFailure().code == EACCES;
  }
  if (shown)
    RememberStored(f);
  return true;
}

void TVaveMainForm::DetachAttachmentsOf(const QModelIndex &parent, int first, int last) {
  for (int row = first; row <= last; ++row) {
    TProjectNode *top = TVaveTreeModel::NodeOf(tree_->Model()->index(row, 0, parent));
    for (TProjectNode *n = top; n; n = n->GetNextWithin(top)) {
      if (attachment_ && attachment_->Attachments() == &n->Data()->Files.AttachFiles)
        attachment_->DetachList();
      if (n == CurrentNode)
        CurrentNode = nullptr;
    }
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
  const fsys::Failure &why = fsys::LastFailure();
  if (why.code)
    text += QStringLiteral("\r\n") + ui::ErrnoText(why.code);
  return text;
}

bool TVaveMainForm::VaveTreeChanging(TProjectNode *next) {
  if (Closing)
    return true;
  // The label typed for the item being left goes with it.
  tree_->CommitLabelEdit();
  if (QuickWalk && !MemoModified())
    return true;
  if (StoreItem(CurrentNode)) {
    refusedNode_ = nullptr;
    return true;
  }
  // The selection stays on the item that could not be written; say why once,
  // not at every key of a held arrow.
  if (refusedNode_ != CurrentNode) {
    refusedNode_ = CurrentNode;
    ShowMessageBox(ItemFileProblem(CurrentNode), ui::MsgIcon::Error, ui::MsgButtons::Ok);
  }
  (void)next;
  return false;
}

void TVaveMainForm::VaveTreeChange(TProjectNode *node) {
  if (Closing)
    return;
  if (QuickWalk) {
    // While a project loads (no root yet) the tree selects nodes one after
    // another; the one to show is shown once the window settings are set, and
    // laying out a long text for nothing costs seconds.
    if (node && RootNode) {
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
    ShowItemHeader(node);
    CurrentNode = node;
    RefreshAttributes(node);
    memo_->setUpdatesEnabled(true);
    memoJump_.JumpTo(f.Line, f.Column);
    if (QAction *a = Action("ViewAttachFileAction"))
      a->setEnabled(!f.AttachFiles.empty());
    RememberStored(f);
    if (attachment_ && attachment_->IsShown()) {
      attachment_->ClearRows();
      attachment_->ShowAttachments(&node->Data()->Files.AttachFiles);
    } else if (attachment_) {
      attachment_->DetachList(); // it shows the item's list again when asked
    }
  }
  UpdateCaretPanel();
  SetMemoModified(false);
  updateActionStates();
}

bool TVaveMainForm::VaveTreeEditing(TProjectNode *node) const {
  return node && !ProjectLocked && !node->Data()->Files.Completion && !node->Data()->Missing;
}

bool TVaveMainForm::VaveTreeEdited(TProjectNode *node, const QString &typed) {
  std::string label;
  if (!ui::FromQStringOrExplain(this, Caption(), typed, label))
    return false;
  // A label is one line of the item file's header.
  for (char &c : label)
    if (c == '\r' || c == '\n')
      c = ' ';
  if (label.empty())
    label = ui::FromQStringOrExplain(this, Caption(), QString::fromUtf16(u"(無題)"), label)
                ? label
                : std::string("(?)");
  tree_->Tree().SetText(node, label);
  SetMemoModified(true);
  TreeModified = true;
  if (node == RootNode)
    setWindowTitle(ui::ToQString(label));
  if (node == CurrentNode) // the title the item will be stored with
    headerModel_->horizontalHeaderItem(0)->setText(ui::ToQString(label));
  return true;
}

bool TVaveMainForm::VaveTreeCollapsing(TProjectNode *node) const { return node != RootNode; }

bool TVaveMainForm::RetireItemFile(TProjectNode *node) {
  if (!node || node->Data()->Missing) // no file of its own was ever read
    return false;
  const std::string &path = node->Data()->Files.FilePath;
  const std::string retired = path + ".exp";
  // Never replace an older retired file of the same name.
  if (fsys::Exists(retired))
    return false;
  return fsys::RenameFile(path, retired);
}

// -------------------------------------------------------- open and create ----

void TVaveMainForm::ReportMissingItems() {
  const std::vector<TProjectNode *> missing = tree_->Tree().MissingItems();
  if (missing.empty())
    return;
  QString text = QString::fromUtf16(u"次のアイテムのファイルを読み込めません。"
                                    u"ファイルが戻るまで読み取り専用で表示し、"
                                    u"ツリーにはそのまま残します");
  const size_t shown = std::min<size_t>(missing.size(), kMaxMissingListed);
  for (size_t i = 0; i < shown; ++i)
    text += QStringLiteral("\r\n") + ui::PathToQString(missing[i]->Data()->Files.FilePath);
  if (missing.size() > shown)
    text +=
        QStringLiteral("\r\n") + QString::fromUtf16(u"ほかに %1 件").arg(missing.size() - shown);
  // Asked before the window has its title: the box names the project itself.
  ui::ShowMessageBox(this, text, ui::ToQString(ProjectTitle()), ui::MsgIcon::Warning,
                     ui::MsgButtons::Ok);
}

bool TVaveMainForm::OpenProjectDir(const std::string &directory) {
  QuickWalk = true;
  ProjectDir = AddPathSeparator(directory);
  TreeFileName = ProjectDir + "MainTree.dat";
  if (!fsys::FileExists(TreeFileName)) {
    QuickWalk = false;
    OpenFailed = true;
    ShowMessageBox(QString::fromUtf16(u"正常なプロジェクトではありません\r\n") +
                       ui::PathToQString(TreeFileName),
                   ui::MsgIcon::Error, ui::MsgButtons::Ok);
    close();
    return false;
  }

  int warnings = 0;
  {
    BusyCursor busy;
    ScopedHeaderWarningSink sink([this, &warnings](const std::string &message) {
      if (++warnings > kMaxHeaderWarnings)
        return;
      // The root loads first, so its title is known for every item's box.
      TProjectNode *root = tree_->Tree().RootNode();
      ui::ShowMessageBox(this, ui::ToQString(message),
                         root ? ui::ToQString(root->Text()) : QString(), ui::MsgIcon::Warning,
                         ui::MsgButtons::Ok);
    });
    RootNode = nullptr;
    CurrentNode = nullptr;
    tree_->LoadProject(ProjectDir);
    RootNode = tree_->RootNode();
  }
  if (warnings > kMaxHeaderWarnings)
    ShowMessageBox(QString::fromUtf16(u"ほかに %1 件のヘッダの形式の誤りがありました")
                       .arg(warnings - kMaxHeaderWarnings),
                   ui::MsgIcon::Warning, ui::MsgButtons::Ok);
  ReportMissingItems();
  if (!RootNode) {
    // Never work on an empty tree: a save would write a project without items.
    QuickWalk = false;
    OpenFailed = true;
    std::string rootFile = ProjectDir + tree_->Tree().WindowData.RootFileName;
    ShowMessageBox(QString::fromUtf16(u"ルートアイテムのファイルを読み込めません\r\n") +
                       ui::PathToQString(rootFile),
                   ui::MsgIcon::Error, ui::MsgButtons::Ok);
    close();
    return false;
  }
  setWindowTitle(ui::ToQString(RootNode->Text()));
  panels_[2]->setText(windowTitle());
  tree_->setExpanded(tree_->IndexOf(RootNode), true);
  ProjectLocked = RootNode->Data()->Files.Completion;
  ApplyWindowSettings();
  OpenFailed = false;
  QuickWalk = false;
  VaveTreeChange(tree_->Selected());
  show();
  activateWindow(); // the window's shortcuts work from the first key
  QApplication::processEvents();
  place_.Settle(geometry());
  tree_->setEnabled(true);
  tree_->setFocus();
  TProjectNode *selected = tree_->Selected();
  SavedSelectionID = selected ? selected->Data()->ID : std::string();
  TreeModified = false;
  updateActionStates();
  return true;
}

bool TVaveMainForm::NewProject(const std::string &directory, const std::string &title) {
  QuickWalk = true;
  ProjectDir = AddPathSeparator(directory);
  TreeFileName = ProjectDir + "MainTree.dat";
  tree_->LoadProject(ProjectDir);
  attachment_->SetProjectDir(ProjectDir);

  // BuildFirstTree
  TProjectTree &tree = tree_->Tree();
  tree.WindowData.LastIndex = 0;
  tree.ClearTree();
  memo_->clear();
  auto rootData = std::make_unique<TNodeData>();
  rootData->ID = "Root";
  rootData->Files.FilePath = NewItemFileName();
  rootData->Files.FirstEdition = clock_::Now();
  rootData->Files.ToDo = false;
  rootData->Files.Completion = false;
  std::string placeholder;
  ui::FromQString(QString::fromUtf16(u"タイトル"), placeholder);
  RootNode = tree.AddChild(nullptr, placeholder, std::move(rootData));
  SetMemoModified(true);
  bool ok = StoreItem(RootNode);
  std::string firstLabel;
  ui::FromQString(QString::fromUtf16(u"新しいアイテム"), firstLabel);
  TProjectNode *first = tree.AddChild(RootNode, firstLabel);
  ok = InitNewItem(first) && ok;
  tree.SetExpanded(RootNode, true);

  RootNode->Data()->Files.Title = title;
  tree.SetText(RootNode, title);
  SetMemoModified(true);
  ok = StoreItem(RootNode) && ok;
  tree_->SelectNode(RootNode);
  tree_->SaveProject();
  if (!ok || tree.LastSaveFailed()) {
    QuickWalk = false;
    OpenFailed = true;
    QString reason =
        ui::FileErrorText(tree.LastSaveFailed() ? tree.LastSaveFailure() : fsys::LastFailure());
    ShowMessageBox(QString::fromUtf16(u"プロジェクトを作成できません") + reason, ui::MsgIcon::Error,
                   ui::MsgButtons::Ok);
    close();
    return false;
  }
  if (!OpenProjectDir(ProjectDir))
    return false;
  TreeModified = true; // a new project counts as changed until it is saved
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
  const TWindowData &w = tree_->Tree().WindowData;
  setGeometry(place_.Apply(QRect(w.Left, w.Top, w.Width, w.Height)));
  splitter_->setSizes({w.TreeWidth, std::max(1, w.Width - w.TreeWidth)});
  if (w.WordWrap && Action("WordWrapMenu")->isEnabled())
    Action("WordWrapMenu")->trigger();
  else
    Action("WordWrapMenu")->setChecked(w.WordWrap);
  memo_->SetWordWrap(Action("WordWrapMenu")->isChecked());
  Action("HideMenu")->setChecked(w.HideForm);
  Action("AutoSaveMenu")->setChecked(w.AutoSave);
  // Both start unchecked and are run when set, so colours and hint line follow.
  Action("UseDefaultColorMenu")->setChecked(false);
  if (w.DefaultColor)
    Action("UseDefaultColorMenu")->trigger();
  Action("ShowHintMenu")->setChecked(false);
  if (w.ShowHint)
    Action("ShowHintMenu")->trigger();
  QFont font(ui::ToQString(w.FontName));
  font.setPointSize(w.FontSize > 0 ? w.FontSize : 10);
  memo_->setFont(font);
  tree_->setFont(font);
  memoJump_.LineHeight = TPlainTextMemo::FontLineHeight(memo_);
  for (int i = 0; i < 7; ++i)
    header_->resizeSection(i, w.SectionWidths[i]);
  if (attachment_) {
    attachment_->SetProjectDir(ProjectDir);
    attachment_->ApplyWindowSettings(w.AttachTop, w.AttachLeft, w.AttachWidth, w.AttachHeight,
                                     w.AttachSortType);
  }
}

void TVaveMainForm::CollectWindowSettings() {
  TWindowData &w = tree_->Tree().WindowData;
  QRect g = place_.Collect(geometry());
  w.Top = g.top();
  w.Left = g.left();
  w.Width = g.width();
  w.Height = g.height();
  w.TreeWidth = tree_->width();
  w.WordWrap = Action("WordWrapMenu")->isChecked();
  w.HideForm = Action("HideMenu")->isChecked();
  w.AutoSave = Action("AutoSaveMenu")->isChecked();
  w.DefaultColor = Action("UseDefaultColorMenu")->isChecked();
  w.ShowHint = Action("ShowHintMenu")->isChecked();
  std::string family;
  if (ui::FromQString(memo_->font().family(), family))
    w.FontName = family;
  w.FontSize = memo_->font().pointSize() > 0 ? memo_->font().pointSize() : w.FontSize;
  for (int i = 0; i < 7; ++i)
    w.SectionWidths[i] = header_->sectionSize(i);
  if (attachment_)
    attachment_->CollectWindowSettings(w.AttachTop, w.AttachLeft, w.AttachWidth, w.AttachHeight,
                                       w.AttachSortType);
}

// ------------------------------------------------------------- commands ----

void TVaveMainForm::SaveProjectAction() { SaveProject(); }

bool TVaveMainForm::SaveProject() {
  BusyCursor busy;
  TProjectNode *selected = tree_->Selected();
  bool itemOk = StoreItem(selected);
  QString itemProblem = itemOk ? QString() : ItemFileProblem(selected);
  CollectWindowSettings();
  tree_->SaveProject();
  const TProjectTree &tree = tree_->Tree();
  if (!itemOk) {
    ShowMessageBox(itemProblem, ui::MsgIcon::Error, ui::MsgButtons::Ok);
  }
  if (tree.LastSaveFailed()) {
    ShowMessageBox(QString::fromUtf16(u"ツリーファイルを保存できません\r\n") +
                       ui::PathToQString(TreeFileName) + QStringLiteral("\r\n") +
                       ui::ErrnoText(tree.LastSaveFailure().code),
                   ui::MsgIcon::Error, ui::MsgButtons::Ok);
    return false;
  }
  TreeModified = false;
  SetMemoModified(false);
  SavedSelectionID = selected ? selected->Data()->ID : std::string();
  if (OnProjectSaved)
    OnProjectSaved(this, ProjectDir, clock_::Now(), ProjectTitle());
  return itemOk;
}

void TVaveMainForm::SaveItemTextAction() {
  ui::FileDialogOptions o;
  o.title = QString::fromUtf16(u"出力ファイルの指定");
  o.defaultSuffix = QStringLiteral("txt");
  o.filter = QString::fromUtf16(
      u"ﾃｷｽﾄﾌｧｲﾙ(*.txt)|*.txt|ﾊｲﾊﾟｰﾃｷｽﾄ(*.html;*.htm)|*.html;*.htm|ｱｲﾃﾞｱﾌｧｲﾙ(*.txt)|*.txt|"
      u"すべてのﾌｧｲﾙ(*.*)|*.*");
  o.confirmOverwrite = true;
  o.refuseReadOnly = true;
  o.folderMustExist = true;
  std::string path;
  if (!ui::SaveFileName(this, o, path))
    return;
  std::string out;
  for (std::string_view line : MemoLines()) {
    out += line;
    out += "\r\n";
  }
  if (!fsys::WriteFile(path, out))
    ShowMessageBox(QString::fromUtf16(u"ファイルに書き込めません") + ui::FileErrorText(),
                   ui::MsgIcon::Error, ui::MsgButtons::Ok);
}

void TVaveMainForm::ExitProjectAction() { close(); }

// ---------------------------------------------------------------- close ----

bool TVaveMainForm::FormCloseQuery() {
  if (OpenFailed)
    return true;
  tree_->CommitLabelEdit(); // before deciding whether anything changed

  TProjectNode *selected = tree_->Selected();
  if (!StoreItem(selected)) {
    // The text on screen is not on disk: let the user decide, defaulting to stay.
    QString text =
        ItemFileProblem(selected) + QString::fromUtf16(u"\r\n\r\n保存しないで閉じますか?");
    if (ShowMessageBox(text, ui::MsgIcon::Error, ui::MsgButtons::YesNo, ui::MsgAnswer::No) !=
        ui::MsgAnswer::Yes)
      return false;
  }
  const std::string selectedID = selected ? selected->Data()->ID : std::string();
  if (TreeModified || selectedID != SavedSelectionID) {
    ui::MsgAnswer answer = ui::MsgAnswer::Yes;
    if (!Action("AutoSaveMenu")->isChecked())
      answer =
          ShowMessageBox(QStringLiteral("\"") + ui::ToQString(ProjectTitle()) +
                             QString::fromUtf16(u"\"はツリーが変更されています\r\n保存しますか?"),
                         ui::MsgIcon::Information, ui::MsgButtons::YesNoCancel);
    if (answer == ui::MsgAnswer::Cancel)
      return false;
    if (answer == ui::MsgAnswer::Yes && !SaveProject()) {
      // The tree file could not be written: keep the window so nothing is lost.
      if (tree_->Tree().LastSaveFailed())
        return false;
    }
  }
  if (OnEditorClose)
    OnEditorClose(this);
  return true;
}

void TVaveMainForm::closeEvent(QCloseEvent *event) {
  if (Closing) {
    event->accept();
    return;
  }
  if (!FormCloseQuery()) {
    event->ignore();
    return;
  }
  Closing = true;
  if (attachment_) {
    attachment_->DetachList();
    attachment_->deleteLater();
    attachment_ = nullptr;
  }
  event->accept();
}
