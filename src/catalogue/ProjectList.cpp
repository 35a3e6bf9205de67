// The catalogue's list: its rows, the walk over the root folder that makes
// them, the watch that keeps them current, and their order.
#include "catalogue/ProjectList.h"

#include "editor/RecoveryCommands.h"
#include "editor/VaveMain.h"
#include "search/SearchFileList.h"
#include "store/FileSystem.h"
#include "store/LibUnit.h"
#include "store/Project.h"
#include "ui/BusyCursor.h"
#include "ui/Colours.h"
#include "ui/ReportList.h"
#include "ui/Text.h"

#include <QDateTime>
#include <QFileSystemWatcher>
#include <QHeaderView>
#include <QLabel>
#include <QMainWindow>
#include <QShortcut>
#include <QStyle>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <set>

namespace {

// 11201017 in the blue-green-red encoding: a pale yellow.
const QColor kListColour(249, 233, 170);

TDateTime FromEpoch(int64_t seconds) {
  const QDateTime t = QDateTime::fromSecsSinceEpoch(seconds);
  const QDate d = t.date();
  const QTime h = t.time();
  TDateTime out;
  out.year = d.year();
  out.month = d.month();
  out.day = d.day();
  out.hour = h.hour();
  out.minute = h.minute();
  out.second = h.second();
  return out;
}

} // namespace

// A row of the list owns its entry.
class TProjectItem : public QTreeWidgetItem {
public:
  explicit TProjectItem(std::unique_ptr<TProjectData> entry) : entry_(std::move(entry)) {}
  TProjectData *Entry() const { return entry_.get(); }

private:
  std::unique_ptr<TProjectData> entry_;
};

TProjectList::TProjectList(TCatalogueContext &catalogue) : cat_(catalogue) {
  titleProbe_.LoadMode = TLoadMode::RootOnly;
}

void TProjectList::Build() {
  QMainWindow *window = cat_.Window();
  projectWatch_ = new QFileSystemWatcher(window);
  projectSettle_ = new QTimer(window);
  projectSettle_->setSingleShot(true);
  projectSettle_->setInterval(300); // a save is a burst of changes
  projectCheck_ = new QTimer(window);
  projectCheck_->setInterval(5000);
  QObject::connect(projectWatch_, &QFileSystemWatcher::directoryChanged, projectSettle_,
                   qOverload<>(&QTimer::start));
  QObject::connect(projectSettle_, &QTimer::timeout, window, [this] { CheckProjectRows(); });
  QObject::connect(projectCheck_, &QTimer::timeout, window, [this] { CheckProjectRows(); });
  projectCheck_->start();
  // Projects added or removed in the root folder by other programs (a sync
  // client, a clone, a file manager) show up on their own; F5 reads it now.
  rootWatch_ = new QFileSystemWatcher(window);
  rootSettle_ = new QTimer(window);
  rootSettle_->setSingleShot(true);
  rootSettle_->setInterval(500); // a copy of a project is a burst of changes
  QObject::connect(rootWatch_, &QFileSystemWatcher::directoryChanged, rootSettle_,
                   qOverload<>(&QTimer::start));
  QObject::connect(rootSettle_, &QTimer::timeout, window, [this] { FollowRootFolder(); });
  auto *refresh = new QShortcut(QKeySequence(Qt::Key_F5), window);
  QObject::connect(refresh, &QShortcut::activated, window, [this] { RefreshProjectList(); });

  list_ = new QTreeWidget(window);
  list_->setObjectName(QStringLiteral("ProjectList"));
  list_->setColumnCount(2);
  list_->setHeaderLabels({QStringLiteral(u"プロジェクト"), QStringLiteral(u"最終更新日")});
  ui::MakeFlatRows(list_);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->setFrameShape(QFrame::NoFrame);
  // Sorting stays off: the catalogue sorts with its own comparison.
  QHeaderView *header = list_->header();
  header->setStretchLastSection(false);
  header->setSectionsClickable(true);
  header->setSortIndicatorShown(true);
  // Text that reads on the list's own colour on a dark desktop too; the
  // selection stays visible while the list has no focus.
  ui::UseOwnColours(list_, kListColour, true);
  // An empty list says how to begin; clicks go through to the list.
  auto *hint =
      new QLabel(QStringLiteral(u"プロジェクトはまだありません。\n\n"
                                u"新しく始めるには「ﾌﾟﾛｼﾞｪｸﾄ管理」の「新規作成」(Ctrl+N)、"
                                u"交換ファイルから作るには「ｲﾝﾎﾟｰﾄ」を選んで下さい。\n"
                                u"ほかのフォルダのプロジェクトは「ﾌｧｲﾙ」の「ﾌｫﾙﾀﾞの指定」で"
                                u"開けます。"),
                 list_->viewport());
  hint->setObjectName(QStringLiteral("EmptyListHint"));
  hint->setWordWrap(true);
  hint->setAlignment(Qt::AlignCenter);
  hint->setForegroundRole(QPalette::PlaceholderText);
  hint->setAttribute(Qt::WA_TransparentForMouseEvents);
  (new QVBoxLayout(list_->viewport()))->addWidget(hint);
  const auto showHint = [this, hint] { hint->setVisible(list_->topLevelItemCount() == 0); };
  QAbstractItemModel *model = list_->model();
  QObject::connect(model, &QAbstractItemModel::rowsInserted, hint, showHint);
  QObject::connect(model, &QAbstractItemModel::rowsRemoved, hint, showHint);
  QObject::connect(model, &QAbstractItemModel::modelReset, hint, showHint);
  showHint();
  QObject::connect(header, &QHeaderView::sectionClicked, window,
                   [this](int column) { ProjectListColumnClick(column); });
}

// ----------------------------------------------------------------- rows ----

int TProjectList::RowCount() const { return list_->topLevelItemCount(); }

TProjectItem *TProjectList::Item(int row) const {
  return static_cast<TProjectItem *>(list_->topLevelItem(row));
}

TProjectData *TProjectList::Row(int row) const {
  TProjectItem *item = Item(row);
  return item ? item->Entry() : nullptr;
}

TProjectData *TProjectList::Selected() const {
  const QList<QTreeWidgetItem *> items = list_->selectedItems();
  return items.isEmpty() ? nullptr : static_cast<TProjectItem *>(items.front())->Entry();
}

void TProjectList::SelectRow(int row) {
  if (QTreeWidgetItem *item = list_->topLevelItem(row)) {
    list_->setCurrentItem(item);
    item->setSelected(true);
  }
}

void TProjectList::MakeCurrent(TProjectData *entry) {
  for (int i = 0; entry && i < RowCount(); ++i)
    if (Row(i) == entry) {
      SelectRow(i);
      list_->scrollToItem(Item(i));
      break;
    }
  // Enter, Ctrl+O and the arrows act on the list at once.
  list_->setFocus(Qt::OtherFocusReason);
}

TProjectItem *TProjectList::AddRow(std::unique_ptr<TProjectData> entry) {
  WatchRow(entry.get(), true);
  auto *item = new TProjectItem(std::move(entry));
  list_->addTopLevelItem(item);
  ShowRow(item);
  return item;
}

void TProjectList::WatchRow(TProjectData *entry, bool watch) {
  if (!entry || entry->Directory.empty())
    return;
  const QString dir = ui::PathToQString(entry->Directory);
  if (!watch) {
    projectWatch_->removePath(dir);
    return;
  }
  entry->TreeFile = fsys::Peek(TProject::TreeFilePath(entry->Directory));
  if (fsys::DirectoryExists(entry->Directory))
    projectWatch_->addPath(dir);
}

void TProjectList::CheckProjectRows() {
  bool changed = false;
  for (int i = 0; i < RowCount(); ++i) {
    TProjectData *e = Row(i);
    if (!e || e->IsNew) // no tree file before its first save, which tells the row itself
      continue;
    const std::string tree = TProject::TreeFilePath(e->Directory);
    const fsys::Stamp now = fsys::Peek(tree);
    if (fsys::SameVersion(now, e->TreeFile))
      continue;
    e->TreeFile = now;
    fsys::Entry st;
    if (!now.exists || !fsys::Stat(tree, st))
      continue; // gone: the row stays until the list is refreshed
    titleProbe_.LoadProject(e->Directory);
    if (TProjectNode *root = titleProbe_.RootNode())
      e->Title = root->Text();
    titleProbe_.ClearTree();
    e->LastUpdate = FromEpoch(st.mtime);
    ShowRow(Item(i));
    changed = true;
  }
  if (changed)
    SortProjectList();
}

void TProjectList::RemoveRow(TProjectItem *item) {
  WatchRow(item->Entry(), false);
  delete item;
  cat_.ShowCount();
  cat_.updateActionStates();
}

void TProjectList::ShowRow(TProjectItem *item) {
  const TProjectData *e = item->Entry();
  item->setText(0, ui::ToQString(e->Title));
  // A project just made has no date to show until its first save.
  item->setText(1, e->IsNew ? QString() : ui::ToQString(e->LastUpdate.ToString()));
  // Changes an earlier run could not save wait in a recovery copy.
  bool recoverable = false;
  if (!e->IsNew)
    for (const recovery::Copy &c : Copies())
      recoverable = recoverable || recovery::BelongsTo(c, e->Directory, e->Identity);
  item->setIcon(0,
                recoverable ? list_->style()->standardIcon(QStyle::SP_MessageBoxWarning) : QIcon());
  item->setToolTip(0, recoverable
                          ? QString::fromUtf16(u"前回、保存されていない変更が残っています。")
                          : QString());
}

const std::vector<recovery::Copy> &TProjectList::Copies() {
  const std::string root = TRecoveryCommands::Root();
  // Every copy written or removed changes the folder's time.
  const int64_t now = fsys::Peek(root).mtimeNs;
  if (now != copiesRead_) {
    copiesRead_ = now;
    (void)recovery::List(root, copies_); // an unusable folder holds none to mark
  }
  return copies_;
}

std::vector<recovery::Copy> TProjectList::Orphans() {
  std::vector<recovery::Copy> orphans;
  for (const recovery::Copy &c : Copies()) {
    bool claimed = false;
    for (int i = 0; i < RowCount() && !claimed; ++i)
      if (const TProjectData *e = Row(i))
        claimed = recovery::BelongsTo(c, e->Directory, e->Identity);
    // A project outside the folder still has its copy where it is.
    if (!claimed && !(c.entry.Dir.empty() || c.damaged()) &&
        TProject::IsProjectDirectory(c.entry.Dir))
      claimed = recovery::BelongsTo(c, c.entry.Dir, recovery::IdentityOfDir(c.entry.Dir));
    if (!claimed)
      orphans.push_back(c);
  }
  return orphans;
}

// -------------------------------------------------------------- refresh ----

void TProjectList::RefreshProjectList() {
  ui::BusyCursor busy;
  // The selection stays on its project, or, when that went, on the row that
  // took its place; a new root folder starts at the first row.
  const std::string &rootDir = cat_.RootDir();
  const TProjectData *was = rootDir == listedRoot_ ? Selected() : nullptr;
  const std::string wasDir = was ? was->Directory : std::string();
  const int wasRow = was ? list_->indexOfTopLevelItem(list_->currentItem()) : 0;
  listedRoot_ = rootDir;
  // Editors of rows about to go stay known to the new rows of their directory.
  std::vector<std::pair<std::string, QPointer<TVaveMainForm>>> open;
  for (int i = 0; i < RowCount(); ++i)
    if (TProjectData *e = Row(i); e && e->EditorWindow)
      open.emplace_back(e->Directory, e->EditorWindow);

  list_->setUpdatesEnabled(false);
  struct Resume {
    QWidget *w;
    ~Resume() { w->setUpdatesEnabled(true); }
  } resume{list_};
  if (!projectWatch_->directories().isEmpty())
    projectWatch_->removePaths(projectWatch_->directories());
  rootSettle_->stop();
  if (!rootWatch_->directories().isEmpty())
    rootWatch_->removePaths(rootWatch_->directories());
  if (!rootDir.empty())
    (void)rootWatch_->addPath(ui::PathToQString(RemovePathSeparator(rootDir)));
  list_->clear();
  TSearchFileList SearchDir;
  SearchDir.SetDirectory(rootDir);
  SearchDir.SetFileName("*");
  SearchDir.SearchDirectoryName = true;
  SearchDir.SearchSubDirectory = false;
  SearchDir.DirectorySearchMode = true;
  SearchDir.OnFileFind = [this](TSearchFileList &, const std::string &fileName, const fsys::Entry &,
                                void *, bool &, bool &) { SearchDirFileFind(fileName); };
  if (!rootDir.empty())
    SearchDir.SearchFiles(nullptr, nullptr);
  titleProbe_.ClearTree();

  for (int i = 0; i < RowCount(); ++i) {
    TProjectData *e = Row(i);
    for (const auto &[dir, editor] : open)
      if (editor && dir == e->Directory)
        e->EditorWindow = editor;
  }
  SortProjectList();
  // A keyboard user can open the project with Enter straight away.
  if (RowCount() > 0) {
    int row = std::clamp(wasRow, 0, RowCount() - 1);
    for (int i = 0; !wasDir.empty() && i < RowCount(); ++i)
      if (Row(i)->Directory == wasDir)
        row = i;
    MakeCurrent(Row(row));
  }
  cat_.ShowCount();
  cat_.updateActionStates();
}

void TProjectList::FollowRootFolder() {
  // Only the rows of projects that came or went change: the others, and
  // their entries (an open in progress holds one), stay as they are.
  const std::string &rootDir = cat_.RootDir();
  std::vector<fsys::Entry> entries;
  if (rootDir.empty() || rootDir != listedRoot_ || !fsys::ListDirectory(rootDir, entries))
    return; // a folder not read to its end says nothing of what went
  std::set<std::string> onDisk;
  for (const fsys::Entry &e : entries)
    if (e.isDirectory)
      onDisk.insert(AddPathSeparator(rootDir + e.name));
  TProjectData *selected = Selected();
  const int selectedRow = selected ? list_->indexOfTopLevelItem(list_->currentItem()) : 0;
  std::set<std::string> listed;
  bool changed = false;
  for (int i = RowCount() - 1; i >= 0; --i) {
    TProjectData *e = Row(i);
    const bool gone = !e->IsNew && !e->EditorWindow &&
                      (!onDisk.count(e->Directory) || !TProject::IsProjectDirectory(e->Directory));
    if (!gone) {
      listed.insert(e->Directory);
      continue;
    }
    if (e == selected)
      selected = nullptr;
    RemoveRow(Item(i));
    changed = true;
  }
  for (const std::string &dir : onDisk)
    if (!listed.count(dir)) {
      const int rows = RowCount();
      SearchDirFileFind(RemovePathSeparator(dir));
      changed = changed || RowCount() != rows;
    }
  titleProbe_.ClearTree();
  if (!changed)
    return;
  SortProjectList();
  if (!selected && RowCount() > 0)
    SelectRow(std::clamp(selectedRow, 0, RowCount() - 1));
  cat_.ShowCount();
  cat_.updateActionStates();
}

void TProjectList::SearchDirFileFind(const std::string &fileName) {
  const std::string dir = AddPathSeparator(fileName);
  const std::string treeFile = TProject::TreeFilePath(dir);
  fsys::Entry st;
  if (!fsys::FileExists(treeFile) || !fsys::Stat(treeFile, st))
    return;
  titleProbe_.LoadProject(dir);
  if (!titleProbe_.RootNode())
    return;
  auto entry = std::make_unique<TProjectData>();
  entry->Directory = dir;
  entry->Title = titleProbe_.RootNode()->Text();
  entry->Identity = recovery::IdentityOf(dir, titleProbe_.WindowData.RootFileName);
  entry->LastUpdate = FromEpoch(st.mtime);
  entry->IsNew = false;
  AddRow(std::move(entry));
}

// ---------------------------------------------------------------- order ----

void TProjectList::SetSort(int32_t mode, bool up) {
  sortMode_ = mode == 1 ? 1 : 0; // the program only ever stores 0 or 1
  sortUp_ = up;
}

int TProjectList::Compare(const TProjectData &a, const TProjectData &b) const {
  int r = 0;
  if (sortMode_ == 1)
    r = a.LastUpdate > b.LastUpdate ? 1 : a.LastUpdate < b.LastUpdate ? -1 : 0;
  else
    r = QString::localeAwareCompare(ui::ToQString(a.Title), ui::ToQString(b.Title));
  // Ties keep one fixed order, so a sort is the same every time.
  if (r == 0)
    r = a.Directory.compare(b.Directory);
  r = r < 0 ? -1 : r > 0 ? 1 : 0;
  return sortUp_ ? r : -r;
}

void TProjectList::SortProjectList() {
  TProjectData *current = Selected();
  QList<QTreeWidgetItem *> items = list_->invisibleRootItem()->takeChildren();
  std::stable_sort(items.begin(), items.end(), [this](QTreeWidgetItem *a, QTreeWidgetItem *b) {
    return Compare(*static_cast<TProjectItem *>(a)->Entry(),
                   *static_cast<TProjectItem *>(b)->Entry()) < 0;
  });
  list_->addTopLevelItems(items);
  list_->header()->setSortIndicator(sortMode_ == 1 ? 1 : 0,
                                    sortUp_ ? Qt::AscendingOrder : Qt::DescendingOrder);
  for (int i = 0; current && i < RowCount(); ++i)
    if (Row(i) == current) {
      SelectRow(i);
      list_->scrollToItem(Item(i));
    }
  cat_.updateActionStates();
}

void TProjectList::ProjectListColumnClick(int column) {
  const int mode = column == 0 ? 0 : 1;
  if (sortMode_ == mode) {
    sortUp_ = !sortUp_;
  } else {
    sortMode_ = mode;
    sortUp_ = true;
  }
  SortProjectList();
}
