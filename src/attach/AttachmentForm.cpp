#include "attach/AttachmentForm.h"

#include "attach/DragDropFile.h"
#include "attach/FileListView.h"
#include "store/Codec.h"
#include "store/FileSystem.h"
#include "store/LibUnit.h"
#include "store/NodeFiles.h"
#include "store/Project.h"
#include "ui/Dialogs.h"
#include "ui/ErrorText.h"
#include "ui/Icons.h"
#include "ui/MessageBox.h"
#include "ui/ScreenFit.h"
#include "ui/Shell.h"
#include "ui/Text.h"

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QDateTime>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMenuBar>
#include <QScreen>
#include <QShowEvent>
#include <QTabWidget>
#include <QTreeWidget>
#include <algorithm>

namespace {

const char16_t kAddFilter[] =
    u"すべてのﾌｧｲﾙ(*.*)|*.*|ﾃｷｽﾄﾌｧｲﾙ(*.txt;*.doc)|*.txt;*.doc|お気に入り(*.URL)|*.url|"
    u"画像ﾌｧｲﾙ(*.bmp;*.gif;*.jpg)|*.bmp;*.gif;*.jpg";

QTreeWidget *MakeInactiveList(QWidget *parent, const char *name,
                              std::initializer_list<std::pair<QString, int>> columns) {
  auto *list = new QTreeWidget(parent);
  list->setObjectName(QString::fromLatin1(name));
  list->setRootIsDecorated(false);
  list->setFrameShape(QFrame::NoFrame);
  list->header()->setSectionsClickable(false);
  QStringList labels;
  for (const auto &c : columns)
    labels << c.first;
  list->setHeaderLabels(labels);
  int i = 0;
  for (const auto &c : columns) {
    if (c.second > 0)
      list->setColumnWidth(i, c.second);
    ++i;
  }
  return list;
}

const ui::TActionDef kAttachmentActionDefs[] = {ORVANE_ATTACHMENT_ACTIONS(ORVANE_ACTION_DEF)};

} // namespace

TAttachmentForm::TAttachmentForm(QWidget *owner) : QMainWindow(owner, Qt::Window) {
  setObjectName(QStringLiteral("AttachmentForm"));
  setWindowTitle(QStringLiteral(u"リンク"));
  BuildPages();
  BuildMenus();
  move(182, 228);
  resize(458, 206);

  dragDrop_ = new TDragDropFile(this);
  dragDrop_->setObjectName(QStringLiteral("DragDropFile"));
  dragDrop_->AutoStart = true;
  dragDrop_->OnFileDrop = [this](TDragDropFile *, const TStringList &paths) { FileDrop(paths); };

  connect(fileList_, &TFileListView::selectionChanged, this, &TAttachmentForm::updateActionStates);
  connect(fileList_, &TFileListView::rowDoubleClicked, this, [this](int row) {
    SelectRow(row);
    ExecuteFileActionExecute();
  });
  connect(pages_, &QTabWidget::currentChanged, this, &TAttachmentForm::PageChanged);
  PageChanged(pages_->currentIndex());
}

TAttachmentForm::~TAttachmentForm() = default;

void TAttachmentForm::BuildPages() {
  pages_ = new QTabWidget(this);
  pages_->setObjectName(QStringLiteral("PageControl"));
  pages_->setDocumentMode(true); // flat tabs

  fileList_ = new TFileListView(pages_);
  fileList_->setObjectName(QStringLiteral("FileList"));
  pages_->addTab(fileList_, QStringLiteral(u"添付ﾌｧｲﾙ"));

  linkList_ = MakeInactiveList(pages_, "LinkList",
                               {{QStringLiteral(u"ﾘﾝｸ名"), 250}, {QStringLiteral(u"ﾘﾝｸ先"), 100}});
  pages_->addTab(linkList_, QStringLiteral(u"ﾘﾝｸ"));
  markList_ = MakeInactiveList(pages_, "MarkList",
                               {{QStringLiteral(u"しおり名"), 150},
                                {QStringLiteral(u"ｱｲﾃﾑ"), 150},
                                {QStringLiteral(u"行番号"), 0}});
  pages_->addTab(markList_, QStringLiteral(u"しおり"));
  setCentralWidget(pages_);
}

QMenu *TAttachmentForm::MakeMenu(const char *name, const QString &text,
                                 std::initializer_list<TAttachmentAction> items) {
  QMenu *menu = menuBar()->addMenu(text);
  menu->setObjectName(QString::fromLatin1(name));
  actions_->AddTo(menu, items);
  return menu;
}

void TAttachmentForm::BuildMenus() {
  using A = TAttachmentAction;
  constexpr A sep = A::Count_;
  menuBar()->setObjectName(QStringLiteral("MainMenu"));
  actions_ = std::make_unique<TAttachmentActions>(this, kAttachmentActionDefs);
  TAttachmentActions &a = *actions_;
  // Shortcuts work while the menu bar hides the menu.
  for (int i = 0; i < a.Count(); ++i)
    addAction(a.At(i));
  a[A::ExecuteFileAction]->setShortcuts(
      {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)});

  fileMenu_ = MakeMenu("FileMenu", QStringLiteral(u"ﾌｧｲﾙ(&F)"),
                       {A::ExecuteFileAction, A::SaveAsAction, sep, A::CloseAction});
  registerMenu_ =
      MakeMenu("RegisterMenu", QStringLiteral(u"登録(&R)"),
               {A::CopyRegisterAction, A::LinkRegisterAction, sep, A::UnregisterAction});
  viewMenu_ = MakeMenu("ViewMenu", QStringLiteral(u"表示(&V)"),
                       {A::LargeIconAction, A::SmallIconAction, A::ListAction, A::ReportAction});
  linkMenu_ =
      MakeMenu("LinkMenu", QStringLiteral(u"ﾘﾝｸ(&L)"), {A::LinkDeleteAction, A::LinkClearAction});
  markMenu_ = MakeMenu("MarkMenu", QStringLiteral(u"しおり(&I)"),
                       {A::MarkDeleteAction, A::MarkClearAction});
  markMenu_->menuAction()->setVisible(false);

  // The file commands belong to the file page; their shortcuts rest while
  // another page is shown.
  const auto files = [this] { return pages_->currentIndex() == 0; };
  const auto row = [this, files] { return files() && SelectedRow() >= 0; };
  a.Bind(
      A::ExecuteFileAction, [this] { ExecuteFileActionExecute(); }, row);
  a.Bind(
      A::SaveAsAction, [this] { SaveAsActionExecute(); }, row);
  a.Bind(
      A::UnregisterAction, [this] { UnregisterActionExecute(); }, row);
  a.Bind(A::CloseAction, [this] { hide(); });
  // Rows added with no list to write them into would be lost; a copy needs
  // the project directory to copy into.
  a.Bind(
      A::LinkRegisterAction, [this] { LinkRegisterActionExecute(); },
      [this, files] { return files() && attachments_ != nullptr; });
  a.Bind(
      A::CopyRegisterAction, [this] { CopyRegisterActionExecute(); },
      [this, files] { return files() && attachments_ != nullptr && !projectDir_.empty(); });

  viewGroup_ = new QActionGroup(this);
  viewGroup_->setExclusive(true);
  int tag = 0;
  for (A id : {A::LargeIconAction, A::SmallIconAction, A::ListAction, A::ReportAction}) {
    QAction *view = a[id];
    view->setData(tag); // the item's tag: the view style it sets
    view->setChecked(tag == 3);
    viewGroup_->addAction(view);
    a.Bind(
        id, [this, tag] { fileList_->setViewStyle(tag); }, files);
    ++tag;
  }
  // The link and bookmark pages have no commands of their own yet: no
  // handler, so they stay disabled.
  for (QMenu *m : {fileMenu_, registerMenu_, viewMenu_})
    connect(m, &QMenu::aboutToShow, this, &TAttachmentForm::updateActionStates);
}

void TAttachmentForm::PageChanged(int index) {
  const bool files = index == 0;
  for (QMenu *m : {fileMenu_, registerMenu_, viewMenu_})
    m->menuAction()->setVisible(files);
  linkMenu_->menuAction()->setVisible(!files);
  markMenu_->menuAction()->setVisible(false);
  updateActionStates();
}

void TAttachmentForm::updateActionStates() {
  actions_->Update();
  for (QMenu *m : {linkMenu_, markMenu_})
    m->menuAction()->setEnabled(false);
}

// --- state for the editor ------------------------------------------------------

void TAttachmentForm::SetProjectDir(std::string_view dir) {
  projectDir_ = AddPathSeparator(dir);
  updateActionStates();
}

void TAttachmentForm::ShowAttachments(TStringList *attachments) {
  attachments_ = attachments;
  fileList_->clear();
  unshown_.clear();
  if (attachments_)
    for (size_t i = 0; i < attachments_->size(); ++i) {
      const std::string &entry = (*attachments_)[i];
      if (AddOrRefreshRow(ResolvePath(entry), false, entry) < 0)
        unshown_.emplace_back(i, entry);
    }
  updateActionStates();
  show();
}

void TAttachmentForm::ShowAttachments(TNodeFiles *item) {
  ShowAttachments(item ? &item->AttachFiles : nullptr);
}

void TAttachmentForm::ClearRows() {
  fileList_->clear();
  updateActionStates();
}

void TAttachmentForm::DetachList() {
  attachments_ = nullptr;
  unshown_.clear();
  ClearRows();
}

bool TAttachmentForm::WriteBack() {
  if (!attachments_)
    return false;
  try {
    TStringList rows;
    rows.reserve(static_cast<size_t>(RowCount()));
    for (int r = 0; r < RowCount(); ++r)
      rows.push_back(RowCaption(r));
    for (const auto &[at, entry] : unshown_)
      rows.insert(rows.begin() + static_cast<std::ptrdiff_t>(std::min(at, rows.size())), entry);
    if (rows != *attachments_) {
      *attachments_ = std::move(rows);
      emit attachmentsChanged();
    }
    return true;
  } catch (...) {
    return false;
  }
}

void TAttachmentForm::SelectViewStyle(int tag) {
  for (QAction *a : viewMenu_->actions())
    if (a->data().isValid() && a->data().toInt() == tag) {
      // What a click on the item does, also while the item rests on another page.
      a->setChecked(true);
      fileList_->setViewStyle(tag);
      return;
    }
}

int TAttachmentForm::GetViewStyle() const { return fileList_->viewStyle(); }

void TAttachmentForm::ApplyWindowSettings(int top, int left, int width, int height, int sortType) {
  const QRect shown = place_.Apply(QRect(left, top, width, height));
  move(shown.topLeft());
  resize(shown.size());
  SelectViewStyle(sortType);
}

void TAttachmentForm::showEvent(QShowEvent *event) {
  QMainWindow::showEvent(event);
  place_.Settle(QRect(x(), y(), width(), height()));
}

void TAttachmentForm::CollectWindowSettings(int &top, int &left, int &width, int &height,
                                            int &sortType) const {
  const QRect g = place_.Collect(QRect(x(), y(), this->width(), this->height()));
  top = g.top();
  left = g.left();
  width = g.width();
  height = g.height();
  sortType = GetViewStyle();
}

// --- rows ----------------------------------------------------------------------

bool TAttachmentForm::IsProtectedName(const std::string &bareName) const {
  return TProject::IsTreeFileName(bareName) || (IsProjectFile && IsProjectFile(bareName));
}

std::string TAttachmentForm::ResolvePath(const std::string &entry) const {
  if (ExtractFilePath(entry).empty() || (!entry.empty() && entry[0] != kPathSeparator)) {
    // A bare name from a project made where letter case does not count.
    const std::string path = projectDir_ + entry;
    return ExtractFilePath(entry).empty() ? TFoldedNames(projectDir_).Resolve(path) : path;
  }
  return entry;
}

int TAttachmentForm::AddOrRefreshRow(const std::string &path, bool refreshExisting,
                                     const std::string &entry) {
  fsys::Entry e;
  if (path.empty() || !fsys::Stat(path, e))
    return -1;
  const std::string named = ExtractFilePath(path) == projectDir_ ? ExtractFileName(path) : path;
  // The row keeps the entry as the item's list holds it; only the shown
  // caption is the computed one.
  const std::string caption = entry.empty() ? named : entry;
  if (named.empty())
    return -1; // an empty entry names the project directory itself, not an attachment
  const int existing = refreshExisting ? fileList_->findCaption(caption) : -1;
  const QString shown = ui::ToQString(named);
  // A folder has no size of its own to show.
  const QString size = QString::number(e.isDirectory ? 0 : e.size) + QStringLiteral("byte");
  const QString date =
      QDateTime::fromSecsSinceEpoch(e.mtime).toString(QStringLiteral("yyyy/MM/dd hh:mm:ss"));
  const QIcon icon = ui::FileIcon(QFileInfo(ui::PathToQString(path)));
  const int row = fileList_->setRow(existing, caption, shown, icon, size, date);
  updateActionStates();
  return row;
}

bool TAttachmentForm::AddFileRow(const std::string &path) {
  return AddOrRefreshRow(path, false) >= 0;
}

int TAttachmentForm::RowCount() const { return fileList_->rowCount(); }

std::string TAttachmentForm::RowCaption(int row) const { return fileList_->caption(row); }

int TAttachmentForm::SelectedRow() const { return fileList_->selectedRow(); }

void TAttachmentForm::SelectRow(int row) { fileList_->selectRow(row); }

// --- commands ------------------------------------------------------------------

void TAttachmentForm::Tell(const QString &text, bool error) {
  ui::ShowMessageBox(this, text, QString(), error ? ui::MsgIcon::Error : ui::MsgIcon::Warning,
                     ui::MsgButtons::Ok);
}

void TAttachmentForm::ExecuteFileActionExecute() {
  const int row = SelectedRow();
  if (row < 0)
    return;
  ui::ShellOpen(nullptr, ResolvePath(RowCaption(row)), "");
}

void TAttachmentForm::SaveAsActionExecute() {
  const int row = SelectedRow();
  if (row < 0)
    return;
  const std::string source = ResolvePath(RowCaption(row));
  ui::FileDialogOptions o;
  o.title = QStringLiteral(u"添付ファイルを保存");
  o.initialPath = source;
  o.confirmOverwrite = true;
  std::string target;
  if (!ui::SaveFileName(this, o, target))
    return;
  if (fsys::SameFile(ExtractFilePath(target), projectDir_) &&
      IsProtectedName(ExtractFileName(target))) {
    Tell(ui::ToQString(ExtractFileName(target)) +
             QStringLiteral(u" はプロジェクトが使用するファイルのため上書きできません。"),
         false);
    return;
  }
  if (fsys::Status s = fsys::CopyFile(source, target, false); !s)
    Tell(QStringLiteral(u"ファイルを保存できませんでした。") + ui::FileErrorText(s), true);
}

bool TAttachmentForm::PickFileToAdd(std::string &path) {
  ui::FileDialogOptions o;
  o.title = QStringLiteral(u"登録するファイルを指定");
  o.filter = QString::fromUtf16(kAddFilter);
  o.mustExist = true;
  const bool picked = ui::OpenFileName(this, o, path);
  // A window manager may give the focus to the editor behind when the dialog
  // goes: the keys stay this window's (Ctrl+Q there drops the item's edits).
  activateWindow();
  return picked;
}

void TAttachmentForm::CopyRegisterActionExecute() {
  if (!attachments_ || projectDir_.empty())
    return;
  std::string source;
  if (!PickFileToAdd(source))
    return;
  const std::string name = ExtractFileName(source);
  const std::string dest = projectDir_ + name;
  int row = -1;
  if (!IsPlainFileName(name)) {
    // Nothing to do: the dialog gave no file name.
  } else if (IsProtectedName(name)) {
    Tell(ui::ToQString(name) +
             QStringLiteral(
                 u" はプロジェクトが使用するファイルと同じ名前のため、コピー登録できません。"),
         false);
  } else if (fsys::SameFile(source, dest)) {
    // Already in the project directory: nothing to copy, and no question.
    row = AddOrRefreshRow(dest, true);
  } else if (!fsys::Exists(dest) ||
             ui::ShowMessageBox(this,
                                QStringLiteral(u"コピー先に ") + ui::ToQString(name) +
                                    QStringLiteral(u" が存在します。\r\n上書きしますか?"),
                                QString(), ui::MsgIcon::Question, ui::MsgButtons::YesNo,
                                ui::MsgAnswer::No) == ui::MsgAnswer::Yes) {
    if (fsys::Status s = fsys::CopyFile(source, dest, false))
      row = AddOrRefreshRow(dest, true); // one row per name: the listed one now shows the new copy
    else
      Tell(QStringLiteral(u"ファイルをコピーできませんでした。") + ui::FileErrorText(s), true);
  }
  SelectRow(row);
  WriteBack();
}

void TAttachmentForm::LinkRegisterActionExecute() {
  if (!attachments_)
    return;
  std::string path;
  if (!PickFileToAdd(path))
    return;
  if (AddFileRow(path))
    SelectRow(RowCount() - 1);
  WriteBack();
}

void TAttachmentForm::UnregisterActionExecute() {
  const int row = SelectedRow();
  if (row < 0)
    return;
  const std::string caption = RowCaption(row);
  bool deleteFile = false;
  if (ExtractFilePath(caption).empty()) {
    const ui::MsgAnswer a = ui::ShowMessageBox(
        this, ui::ToQString(caption) + QStringLiteral(u" を削除してもよいですか?"), QString(),
        ui::MsgIcon::Information, ui::MsgButtons::YesNoCancel, ui::MsgAnswer::No);
    if (a == ui::MsgAnswer::Cancel)
      return;
    deleteFile = a == ui::MsgAnswer::Yes;
  }
  fileList_->removeRow(row);
  if (deleteFile)
    DeleteAttachedFile(caption);
  WriteBack();
  updateActionStates();
}

void TAttachmentForm::DeleteAttachedFile(const std::string &caption) {
  const QString shown = ui::ToQString(caption);
  if (projectDir_.empty() || !IsPlainFileName(caption)) {
    Tell(shown + QStringLiteral(
                     u" はプロジェクトフォルダの中のファイルではないため、削除しませんでした。"),
         false);
    return;
  }
  if (IsProtectedName(caption)) {
    Tell(shown + QStringLiteral(u" はプロジェクトが使用するファイルのため、削除しませんでした。"),
         false);
    return;
  }
  const std::string path = projectDir_ + caption;
  fsys::Entry e;
  if (fsys::Stat(path, e) && e.isDirectory) {
    Tell(shown + QStringLiteral(u" はフォルダのため、削除しませんでした。"), false);
    return;
  }
  if (fsys::Status s = fsys::DeleteFile(path); !s && fsys::Exists(path))
    Tell(QStringLiteral(u"ファイルを削除できませんでした。") + ui::FileErrorText(s), true);
}

void TAttachmentForm::FileDrop(const TStringList &paths) {
  for (const std::string &p : paths)
    AddFileRow(ResolvePath(p));
  // Written back at once: the editor's next item change would otherwise
  // clear the rows before anything wrote them back.
  WriteBack();
}

void TAttachmentForm::closeEvent(QCloseEvent *event) {
  WriteBack();
  event->accept(); // the window is only hidden; its owner frees it
}
