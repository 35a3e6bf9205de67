#include "catalogue/SelectThema.h"

#include "catalogue/AboutForm.h"
#include "catalogue/ProjectControlForm.h"
#include "catalogue/ProjectPropertyForm.h"
#include "editor/VaveMain.h"
#include "search/SearchFileList.h"
#include "store/FileSystem.h"
#include "store/IniFile.h"
#include "store/LibUnit.h"
#include "store/RegIniFile.h"
#include "ui/BusyCursor.h"
#include "ui/ImageList.h"
#include "ui/MessageBox.h"
#include "ui/ReportList.h"
#include "ui/ScreenFit.h"
#include "ui/Text.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

#include <algorithm>

namespace {

// Settings: section, name and the value a missing one takes.
constexpr int kDefaultTop = 250, kDefaultLeft = 300, kDefaultWidth = 285, kDefaultHeight = 290;
constexpr int kDefaultTitleWidth = 100, kDefaultDateWidth = 120;
constexpr char kDefaultAuthor[] = "Rara";

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

// The same directory: the same text once both end in a separator, or the
// same directory on disk reached by another path.
bool SameDirectory(const std::string &a, const std::string &b) {
  if (a.empty() || b.empty())
    return false;
  return AddPathSeparator(a) == AddPathSeparator(b) || fsys::SameFile(a, b);
}

const ui::TActionDef kCatalogueActionDefs[] = {
#define ORVANE_CATALOGUE_ACTION_DEF(name, caption, shortcut, hint) {#name, caption, shortcut, hint},
    ORVANE_CATALOGUE_ACTIONS(ORVANE_CATALOGUE_ACTION_DEF)
#undef ORVANE_CATALOGUE_ACTION_DEF
};

} // namespace

// A row of the list owns its entry.
class TSelectThemaForm::TProjectItem : public QTreeWidgetItem {
public:
  explicit TProjectItem(std::unique_ptr<TProjectData> entry) : entry_(std::move(entry)) {}
  TProjectData *Entry() const { return entry_.get(); }

private:
  std::unique_ptr<TProjectData> entry_;
};

// ------------------------------------------------------------- creation ----

TSelectThemaForm::TSelectThemaForm(const std::optional<QString> &shortcut, QWidget *parent)
    : QMainWindow(parent) {
  setObjectName(QStringLiteral("TSelectThemaForm"));
  TitleProbe.LoadMode = TLoadMode::RootOnly;
  projectWatch_ = new QFileSystemWatcher(this);
  projectSettle_ = new QTimer(this);
  projectSettle_->setSingleShot(true);
  projectSettle_->setInterval(300); // a save is a burst of changes
  projectCheck_ = new QTimer(this);
  projectCheck_->setInterval(5000);
  connect(projectWatch_, &QFileSystemWatcher::directoryChanged, projectSettle_,
          qOverload<>(&QTimer::start));
  connect(projectSettle_, &QTimer::timeout, this, [this] { CheckProjectRows(); });
  connect(projectCheck_, &QTimer::timeout, this, [this] { CheckProjectRows(); });
  projectCheck_->start();
  BuildActions();
  BuildList();
  BuildMenus();
  BuildToolBar();
  auto *bar = new QStatusBar(this);
  bar->setObjectName(QStringLiteral("StatusBar"));
  for (int i = 0; i < 2; ++i) {
    panels_[i] = new QLabel(bar);
    panels_[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
    // A long root folder must not widen the window (a window manager then
    // also refuses to minimise it at start): the text is cut instead.
    panels_[i]->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    panels_[i]->setMinimumWidth(0);
    bar->addWidget(panels_[i], i == 1 ? 1 : 0);
  }
  setStatusBar(bar);
  connect(qApp, &QGuiApplication::applicationStateChanged, this,
          [this](Qt::ApplicationState state) {
            if (state != Qt::ApplicationActive && !closing_)
              ApplicationDeactivate();
          });

  LoadSettings();
  if (RootDir.empty())
    SelectFolderAction(); // refreshes the list itself
  else
    RefreshProjectList();
  SortProjectList();
  updateActionStates();

  // The command-line argument: a shortcut file whose project opens at once,
  // with the catalogue out of the way until that editor closes.
  if (shortcut && OpenShortcutFile(*shortcut)) {
    minimiseAtStart_ = true;
    setWindowState(windowState() | Qt::WindowMinimized);
  }
}

void TSelectThemaForm::ShowAtStart() {
  show();
  // Asked once more after the window is mapped: some window managers drop a
  // minimised state given before.
  if (minimiseAtStart_) {
    showMinimized();
    // One that keeps it shown must not leave it wholly behind the editor
    // just opened, out of the user's reach.
    QTimer::singleShot(500, this, [this] {
      const TProjectData *entry =
          ShortcutProjects.empty() ? nullptr : ShortcutProjects.back().get();
      if (isMinimized() || !entry || !entry->EditorWindow || !screen())
        return;
      const QRect now = frameGeometry();
      const QRect to = ui::OutFromBehind(now, entry->EditorWindow->frameGeometry(),
                                         screen()->availableGeometry());
      if (to != now)
        move(to.topLeft());
    });
  }
}

TSelectThemaForm::~TSelectThemaForm() {
  // Editors that are still open outlive no catalogue: they would call back
  // into it.
  for (const auto &editor : editors_)
    if (editor) {
      editor->disconnect(this);
      delete editor.data();
    }
}

void TSelectThemaForm::BuildActions() {
  using A = TCatalogueAction;
  actions_ = std::make_unique<TCatalogueActions>(this, kCatalogueActionDefs);
  // The hints belong to the tool buttons; the status bar keeps its panels.
  for (int i = 0; i < actions_->Count(); ++i)
    actions_->At(i)->setStatusTip(QString());
  QStyle *st = style();
  Action(A::ExitAction)->setIcon(st->standardIcon(QStyle::SP_DialogCloseButton));
  Action(A::OpenProjectAction)->setIcon(st->standardIcon(QStyle::SP_DirOpenIcon));
  Action(A::CreateProjectAction)->setIcon(st->standardIcon(QStyle::SP_FileDialogNewFolder));
  Action(A::CreateShortcutAction)->setIcon(st->standardIcon(QStyle::SP_FileLinkIcon));
  Action(A::PropertyAction)->setIcon(st->standardIcon(QStyle::SP_FileDialogInfoView));
  Action(A::DeleteProjectAction)->setIcon(images::Icon(images::Delete));

  const auto selected = [this] { return Selected() != nullptr; };
  TCatalogueActions &a = *actions_;
  a.Bind(A::ExitAction, [this] { ExitAction(); });
  a.Bind(A::SelectFolderAction, [this] { SelectFolderAction(); });
  a.Bind(A::CreateProjectAction, [this] { CreateProjectAction(); });
  a.Bind(A::PopupCreateMenu, [this] { CreateProjectAction(); });
  a.Bind(A::AboutAction, [this] { AboutAction(); });
  a.Bind(A::ImportAction, [this] { ImportAction(); });
  a.Bind(A::AuthorAction, [this] { AuthorAction(); });
  a.Bind(
      A::OpenProjectAction, [this] { OpenProjectAction(); }, selected);
  a.Bind(
      A::PopupOpenMenu, [this] { OpenProjectAction(); }, selected);
  a.Bind(
      A::CreateShortcutAction, [this] { CreateShortcutAction(); }, selected);
  a.Bind(
      A::PopupShortcutMenu, [this] { CreateShortcutAction(); }, selected);
  a.Bind(
      A::DeleteProjectAction, [this] { DeleteProjectAction(); }, selected);
  a.Bind(
      A::PopupDeleteMenu, [this] { DeleteProjectAction(); }, selected);
  a.Bind(
      A::PropertyAction, [this] { PropertyAction(); }, selected);
  a.Bind(
      A::PopupPropertyMenu, [this] { PropertyAction(); }, selected);
  // Their windows do not exist: without a handler EnvironmentMenu and
  // ContentsMenu stay disabled.
}

void TSelectThemaForm::BuildList() {
  list_ = new QTreeWidget(this);
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
  QPalette pal = list_->palette();
  pal.setColor(QPalette::Base, kListColour);
  // The selection stays visible while the list has no focus.
  for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
    pal.setColor(QPalette::Inactive, role, pal.color(QPalette::Active, role));
  list_->setPalette(pal);
  list_->setContextMenuPolicy(Qt::CustomContextMenu);
  list_->installEventFilter(this);
  connect(header, &QHeaderView::sectionClicked, this, &TSelectThemaForm::ProjectListColumnClick);
  connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] { OpenProjectAction(); });
  connect(list_, &QTreeWidget::itemSelectionChanged, this, &TSelectThemaForm::updateActionStates);
  connect(list_, &QWidget::customContextMenuRequested, this, [this](const QPoint &at) {
    updateActionStates();
    Menu(TCatalogueMenu::ProjectListPopup)->popup(list_->viewport()->mapToGlobal(at));
  });
  setCentralWidget(list_);
}

void TSelectThemaForm::BuildMenus() {
  using A = TCatalogueAction;
  using M = TCatalogueMenu;
  constexpr A sep = A::Count_;
  auto add = [this](M id, const char *name, const char16_t *title, std::initializer_list<A> items) {
    auto *m = new QMenu(QString::fromUtf16(title), this);
    m->setObjectName(QString::fromLatin1(name));
    actions_->AddTo(m, items);
    menus_[static_cast<int>(id)] = m;
    connect(m, &QMenu::aboutToShow, this, &TSelectThemaForm::updateActionStates);
    return m;
  };
  QMenuBar *bar = menuBar();
  bar->addMenu(
      add(M::FileMenu, "FileMenu", u"ﾌｧｲﾙ(&F)",
          {A::OpenProjectAction, A::SelectFolderAction, A::EnvironmentMenu, sep, A::ExitAction}));
  bar->addMenu(add(M::ProjectMenu, "ProjectMenu", u"ﾌﾟﾛｼﾞｪｸﾄ管理(&P)",
                   {A::CreateProjectAction, A::CreateShortcutAction, A::DeleteProjectAction, sep,
                    A::ImportAction, A::PropertyAction, sep, A::AuthorAction}));
  bar->addMenu(add(M::HelpMenu, "HelpMenu", u"ﾍﾙﾌﾟ(&H)", {A::ContentsMenu, sep, A::AboutAction}));
  QMenu *popup = add(M::ProjectListPopup, "ProjectListPopup", u"",
                     {A::PopupOpenMenu, A::PopupCreateMenu, A::PopupShortcutMenu,
                      A::PopupDeleteMenu, sep, A::PopupPropertyMenu});
  popup->setDefaultAction(Action(A::PopupOpenMenu));
}

void TSelectThemaForm::BuildToolBar() {
  toolBar_ = addToolBar(QStringLiteral(u"ツールバー"));
  toolBar_->setObjectName(QStringLiteral("ToolBar"));
  toolBar_->setMovable(false);
  toolBar_->setIconSize(QSize(20, 20));
  using A = TCatalogueAction;
  const std::pair<std::optional<A>, const char *> buttons[] = {
      {A::ExitAction, "ExitButton"},
      {std::nullopt, nullptr},
      {A::OpenProjectAction, "OpenButton"},
      {A::CreateProjectAction, "CreateButton"},
      {A::CreateShortcutAction, "ShortcutButton"},
      {std::nullopt, nullptr},
      {A::PropertyAction, "PropertyButton"},
      {std::nullopt, nullptr},
      {A::DeleteProjectAction, "DeleteButton"},
  };
  for (const auto &[action, button] : buttons) {
    if (!action) {
      toolBar_->addSeparator();
      continue;
    }
    toolBar_->addAction(Action(*action));
    if (QWidget *w = toolBar_->widgetForAction(Action(*action)))
      w->setObjectName(QString::fromLatin1(button));
  }
}

QAction *TSelectThemaForm::Action(TCatalogueAction id) const { return (*actions_)[id]; }

QMenu *TSelectThemaForm::Menu(TCatalogueMenu id) const { return menus_[static_cast<int>(id)]; }

TAboutForm *TSelectThemaForm::AboutWindow() const { return about_.data(); }

QString TSelectThemaForm::Caption() const { return windowTitle(); }

void TSelectThemaForm::SetCaption() {
  setWindowTitle(QStringLiteral("Orvane ver") + TAboutForm::VersionText() + QStringLiteral("  [") +
                 ui::ToQString(Author) + QStringLiteral("]"));
}

ui::MsgAnswer TSelectThemaForm::ShowMessageBox(const QString &text, ui::MsgIcon icon,
                                               ui::MsgButtons buttons,
                                               std::optional<ui::MsgAnswer> defaultButton) {
  return ui::ShowMessageBox(this, text, Caption(), icon, buttons, defaultButton);
}

void TSelectThemaForm::updateActionStates() { actions_->Update(); }

// ------------------------------------------------------------- settings ----

void TSelectThemaForm::LoadSettings() {
  TRegIniFile reg;
  // A first start shows a title of some length and the whole date in the
  // font in use, and a window that holds both columns.
  const QFontMetrics metrics(list_->font());
  const int titleWidth =
      std::max(kDefaultTitleWidth,
               metrics.horizontalAdvance(QStringLiteral(u"大規模プロジェクトの企画")) + 16);
  const int dateWidth = std::max(
      kDefaultDateWidth, metrics.horizontalAdvance(QStringLiteral("0000/00/00 00:00:00")) + 16);
  const int width =
      std::max(kDefaultWidth,
               titleWidth + dateWidth + style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 24);
  ApplyGeometry(reg.ReadInteger("Window", "Left", kDefaultLeft),
                reg.ReadInteger("Window", "Top", kDefaultTop),
                reg.ReadInteger("Window", "Width", width),
                reg.ReadInteger("Window", "Height", std::max(kDefaultHeight, width * 3 / 4)));
  list_->header()->resizeSection(0, reg.ReadInteger("Window", "ProjectCaption", titleWidth));
  list_->header()->resizeSection(1, reg.ReadInteger("Window", "ProjectDate", dateWidth));
  RootDir = reg.ReadString("Main", "RootDir", "");
  if (!RootDir.empty())
    RootDir = AddPathSeparator(RootDir);
  SortMode = reg.ReadInteger("Main", "SortMode", 0);
  if (SortMode != 1)
    SortMode = 0; // the program only ever stores 0 or 1
  SortUp = reg.ReadBool("Main", "SortUp", false);
  Author = reg.ReadString("Main", "Autor", kDefaultAuthor);
  SetCaption();
}

void TSelectThemaForm::ApplyGeometry(int left, int top, int width, int height) {
  QRect r(left, top, std::max(width, 1), std::max(height, 1));
  // A place on a screen that is no longer there would leave the window out of
  // reach: it comes back to its first-start place.
  bool onScreen = false;
  for (QScreen *s : QGuiApplication::screens())
    onScreen = onScreen || s->availableGeometry().intersects(r);
  if (!onScreen && !QGuiApplication::screens().isEmpty())
    r.moveTo(kDefaultLeft, kDefaultTop);
  setGeometry(ui::FitOnScreen(r)); // wholly on the screen, at a usable size
}

void TSelectThemaForm::SaveSettings() {
  TRegIniFile reg;
  const QRect g = normalGeometry().isValid() ? normalGeometry() : geometry();
  reg.WriteInteger("Window", "Top", g.top());
  reg.WriteInteger("Window", "Left", g.left());
  reg.WriteInteger("Window", "Width", g.width());
  reg.WriteInteger("Window", "Height", g.height());
  reg.WriteInteger("Window", "ProjectCaption", list_->header()->sectionSize(0));
  reg.WriteInteger("Window", "ProjectDate", list_->header()->sectionSize(1));
  reg.WriteString("Main", "RootDir", RootDir);
  reg.WriteInteger("Main", "SortMode", SortMode);
  reg.WriteBool("Main", "SortUp", SortUp);
  reg.WriteString("Main", "Autor", Author);
  (void)reg.UpdateFile(); // settings are a convenience: a failure is not reported
}

// ----------------------------------------------------------------- list ----

int TSelectThemaForm::RowCount() const { return list_->topLevelItemCount(); }

TSelectThemaForm::TProjectItem *TSelectThemaForm::Item(int row) const {
  return static_cast<TProjectItem *>(list_->topLevelItem(row));
}

TProjectData *TSelectThemaForm::Row(int row) const {
  TProjectItem *item = Item(row);
  return item ? item->Entry() : nullptr;
}

TProjectData *TSelectThemaForm::Selected() const {
  const QList<QTreeWidgetItem *> items = list_->selectedItems();
  return items.isEmpty() ? nullptr : static_cast<TProjectItem *>(items.front())->Entry();
}

void TSelectThemaForm::SelectRow(int row) {
  if (QTreeWidgetItem *item = list_->topLevelItem(row)) {
    list_->setCurrentItem(item);
    item->setSelected(true);
  }
}

void TSelectThemaForm::MakeCurrent(TProjectData *entry) {
  for (int i = 0; entry && i < RowCount(); ++i)
    if (Row(i) == entry) {
      SelectRow(i);
      list_->scrollToItem(Item(i));
      break;
    }
  // Enter, Ctrl+O and the arrows act on the list at once.
  list_->setFocus(Qt::OtherFocusReason);
}

TSelectThemaForm::TProjectItem *TSelectThemaForm::AddRow(std::unique_ptr<TProjectData> entry) {
  WatchRow(entry.get(), true);
  auto *item = new TProjectItem(std::move(entry));
  list_->addTopLevelItem(item);
  ShowRow(item);
  return item;
}

void TSelectThemaForm::WatchRow(TProjectData *entry, bool watch) {
  if (!entry || entry->Directory.empty())
    return;
  const QString dir = ui::PathToQString(entry->Directory);
  if (!watch) {
    projectWatch_->removePath(dir);
    return;
  }
  entry->TreeFile = fsys::Peek(AddPathSeparator(entry->Directory) + "MainTree.dat");
  if (fsys::DirectoryExists(entry->Directory))
    projectWatch_->addPath(dir);
}

void TSelectThemaForm::CheckProjectRows() {
  bool changed = false;
  for (int i = 0; i < RowCount(); ++i) {
    TProjectData *e = Row(i);
    if (!e || e->IsNew) // no tree file before its first save, which tells the row itself
      continue;
    const std::string tree = AddPathSeparator(e->Directory) + "MainTree.dat";
    const fsys::Stamp now = fsys::Peek(tree);
    if (fsys::SameVersion(now, e->TreeFile))
      continue;
    e->TreeFile = now;
    fsys::Entry st;
    if (!now.exists || !fsys::Stat(tree, st))
      continue; // gone: the row stays until the list is refreshed
    TitleProbe.LoadProject(e->Directory);
    if (TProjectNode *root = TitleProbe.RootNode())
      e->Title = root->Text();
    TitleProbe.ClearTree();
    e->LastUpdate = FromEpoch(st.mtime);
    ShowRow(Item(i));
    changed = true;
  }
  if (changed)
    SortProjectList();
}

void TSelectThemaForm::RemoveRow(TProjectItem *item) {
  WatchRow(item->Entry(), false);
  delete item;
  ShowCount();
  updateActionStates();
}

void TSelectThemaForm::ShowRow(TProjectItem *item) {
  const TProjectData *e = item->Entry();
  item->setText(0, ui::ToQString(e->Title));
  // A project just made has no date to show until its first save.
  item->setText(1, e->IsNew ? QString() : ui::ToQString(e->LastUpdate.ToString()));
}

void TSelectThemaForm::ShowCount() {
  panels_[0]->setText(QStringLiteral(u"%1 件").arg(RowCount()));
  panels_[1]->setText(ui::PathToQString(RootDir));
}

void TSelectThemaForm::RefreshProjectList() {
  ui::BusyCursor busy;
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
  list_->clear();
  TSearchFileList SearchDir;
  SearchDir.SetDirectory(RootDir);
  SearchDir.SetFileName("*");
  SearchDir.SearchDirectoryName = true;
  SearchDir.SearchSubDirectory = false;
  SearchDir.DirectorySearchMode = true;
  SearchDir.OnFileFind = [this](TSearchFileList &, const std::string &fileName, const fsys::Entry &,
                                void *, bool &, bool &) { SearchDirFileFind(fileName); };
  if (!RootDir.empty())
    SearchDir.SearchFiles(nullptr, nullptr);
  TitleProbe.ClearTree();

  for (int i = 0; i < RowCount(); ++i) {
    TProjectData *e = Row(i);
    for (const auto &[dir, editor] : open)
      if (editor && dir == e->Directory)
        e->EditorWindow = editor;
  }
  SortProjectList();
  // A keyboard user can open the first project with Enter straight away.
  if (RowCount() > 0)
    MakeCurrent(Row(0));
  ShowCount();
  updateActionStates();
}

void TSelectThemaForm::SearchDirFileFind(const std::string &fileName) {
  const std::string dir = AddPathSeparator(fileName);
  const std::string treeFile = dir + "MainTree.dat";
  fsys::Entry st;
  if (!fsys::FileExists(treeFile) || !fsys::Stat(treeFile, st))
    return;
  TitleProbe.LoadProject(dir);
  if (!TitleProbe.RootNode())
    return;
  auto entry = std::make_unique<TProjectData>();
  entry->Directory = dir;
  entry->Title = TitleProbe.RootNode()->Text();
  entry->LastUpdate = FromEpoch(st.mtime);
  entry->IsNew = false;
  AddRow(std::move(entry));
}

int TSelectThemaForm::Compare(const TProjectData &a, const TProjectData &b) const {
  int r = 0;
  if (SortMode == 1)
    r = a.LastUpdate > b.LastUpdate ? 1 : a.LastUpdate < b.LastUpdate ? -1 : 0;
  else
    r = QString::localeAwareCompare(ui::ToQString(a.Title), ui::ToQString(b.Title));
  // Ties keep one fixed order, so a sort is the same every time.
  if (r == 0)
    r = a.Directory.compare(b.Directory);
  r = r < 0 ? -1 : r > 0 ? 1 : 0;
  return SortUp ? r : -r;
}

void TSelectThemaForm::SortProjectList() {
  TProjectData *current = Selected();
  QList<QTreeWidgetItem *> items = list_->invisibleRootItem()->takeChildren();
  std::stable_sort(items.begin(), items.end(), [this](QTreeWidgetItem *a, QTreeWidgetItem *b) {
    return Compare(*static_cast<TProjectItem *>(a)->Entry(),
                   *static_cast<TProjectItem *>(b)->Entry()) < 0;
  });
  list_->addTopLevelItems(items);
  list_->header()->setSortIndicator(SortMode == 1 ? 1 : 0,
                                    SortUp ? Qt::AscendingOrder : Qt::DescendingOrder);
  for (int i = 0; current && i < RowCount(); ++i)
    if (Row(i) == current) {
      SelectRow(i);
      list_->scrollToItem(Item(i));
    }
  updateActionStates();
}

void TSelectThemaForm::ProjectListColumnClick(int column) {
  const int mode = column == 0 ? 0 : 1;
  if (SortMode == mode) {
    SortUp = !SortUp;
  } else {
    SortMode = mode;
    SortUp = true;
  }
  SortProjectList();
}

bool TSelectThemaForm::eventFilter(QObject *watched, QEvent *event) {
  if (watched == list_ && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent *>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      OpenProjectAction();
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

// ------------------------------------------------------------ editors ----

std::vector<TVaveMainForm *> TSelectThemaForm::Editors() const {
  std::vector<TVaveMainForm *> out;
  for (const auto &e : editors_)
    if (e && !e->IsClosing() && !e->OpenFailed())
      out.push_back(e.data());
  return out;
}

TVaveMainForm *TSelectThemaForm::FindEditor(const std::string &directory) const {
  for (TVaveMainForm *e : Editors())
    if (e->IsShowing(directory))
      return e;
  return nullptr;
}

bool TSelectThemaForm::OpenProject(TProjectData *entry) {
  if (!entry)
    return false;
  // No hourglass here: the editor shows its own while it loads, and one
  // over the editor's messages would hide that they wait for the user.
  // A new project has a directory of its own that no editor can show yet.
  if (!entry->IsNew)
    if (TVaveMainForm *open = FindEditor(entry->Directory)) {
      entry->EditorWindow = open;
      open->WM_ACTIVATE_EDITOR();
      return true;
    }
  try {
    // Not a child of the catalogue: an editor is a window of its own that
    // neither minimises with the catalogue nor stays above it. The catalogue
    // still closes every editor it made before it goes.
    auto *editor = new TVaveMainForm(nullptr);
    editors_.erase(std::remove(editors_.begin(), editors_.end(), nullptr), editors_.end());
    editors_.emplace_back(editor);
    entry->EditorWindow = editor;
    // Shortcut editors report their saves too, so a row of the same project
    // shows the new date.
    connect(editor, &TVaveMainForm::projectSaved, this, &TSelectThemaForm::ProjectSaved);
    connect(editor, &TVaveMainForm::editorClosing, this,
            entry->FromShortcut ? &TSelectThemaForm::ShortcutEditorClosed
                                : &TSelectThemaForm::EditorClosed);
    editor->SetAuthor(Author);
    bool ok = false;
    if (entry->IsNew) {
      ok = editor->NewProject(entry->Directory, entry->Title);
      entry->IsNew = false;
    } else {
      ok = editor->OpenProjectDir(entry->Directory);
    }
    // A failed editor has told the user and closes itself.
    if (!ok)
      entry->EditorWindow = nullptr;
    return ok;
  } catch (...) {
    entry->EditorWindow = nullptr;
    return false;
  }
}

void TSelectThemaForm::OpenProjectAction() {
  TProjectData *entry = Selected();
  if (!entry)
    return;
  OpenProject(entry);
}

void TSelectThemaForm::ProjectSaved(TVaveMainForm *, const std::string &dir, const TDateTime &date,
                                    const std::string &title) {
  TProjectItem *found = nullptr;
  for (int i = 0; i < RowCount() && !found; ++i) {
    TProjectItem *item = Item(i);
    if (!item->Entry())
      ShowMessageBox(QStringLiteral(u"みにゃ～"), ui::MsgIcon::None, ui::MsgButtons::Ok);
    else if (item->Entry()->Directory == dir)
      found = item;
  }
  // An editor opened from a shortcut may name the directory another way.
  for (int i = 0; i < RowCount() && !found; ++i)
    if (Item(i)->Entry() && SameDirectory(Item(i)->Entry()->Directory, dir))
      found = Item(i);
  if (!found)
    return;
  TProjectData *e = found->Entry();
  e->Title = title;
  e->LastUpdate = date;
  e->IsNew = false;
  ShowRow(found);
  SortProjectList();
}

TProjectData *TSelectThemaForm::ForgetEditor(const std::vector<TProjectData *> &entries,
                                             TVaveMainForm *editor, const QString &complaint) {
  for (TProjectData *e : entries) {
    if (!e) {
      ShowMessageBox(complaint, ui::MsgIcon::None, ui::MsgButtons::Ok);
      continue;
    }
    if (e->EditorWindow == editor) {
      e->EditorWindow = nullptr;
      return e;
    }
  }
  return nullptr;
}

void TSelectThemaForm::EditorClosed(TVaveMainForm *editor) {
  std::vector<TProjectData *> rows;
  for (int i = 0; i < RowCount(); ++i)
    rows.push_back(Row(i));
  // The project just closed is the one the user is most likely to reopen.
  if (TProjectData *closed = ForgetEditor(rows, editor, QStringLiteral(u"にゃ～"));
      closed && !closing_)
    MakeCurrent(closed);
}

void TSelectThemaForm::ShortcutEditorClosed(TVaveMainForm *editor) {
  std::vector<TProjectData *> entries;
  for (const auto &e : ShortcutProjects)
    entries.push_back(e.get());
  ForgetEditor(entries, editor, QStringLiteral(u"ふにゃ～"));
  if (!closing_)
    ComeForward();
}

void TSelectThemaForm::ComeForward() {
  setWindowState(windowState() & ~Qt::WindowMinimized);
  show();
  raise();
  activateWindow();
}

void TSelectThemaForm::ApplicationDeactivate() {
  try {
    for (int i = 0; i < RowCount(); ++i)
      if (TProjectData *e = Row(i); e && e->EditorWindow) {
        QEvent deactivate(QEvent::WindowDeactivate);
        QCoreApplication::sendEvent(e->EditorWindow.data(), &deactivate);
      }
  } catch (...) {
    ShowMessageBox(QStringLiteral(u"にゃう"), ui::MsgIcon::None, ui::MsgButtons::Ok);
  }
}

// ------------------------------------------------------------ shortcuts ----

bool TSelectThemaForm::OpenShortcutFile(const QString &nativePath) {
  // Relative names mean this process's working directory; the directory a
  // shortcut names relatively means the shortcut's own folder.
  const QFileInfo named(nativePath);
  std::string path, folder;
  const bool nameable = !nativePath.isEmpty() &&
                        ui::PathFromQString(named.absoluteFilePath(), path) &&
                        ui::PathFromQString(named.absolutePath(), folder);
  std::string dir;
  if (nameable && fsys::DirectoryExists(path)) {
    // A project directory itself, as a terminal user names it.
    if (!fsys::FileExists(AddPathSeparator(path) + "MainTree.dat")) {
      ShowMessageBox(QStringLiteral(u"正常なプロジェクトではありません\r\n") + nativePath,
                     ui::MsgIcon::Error, ui::MsgButtons::Ok);
      return false;
    }
    dir = AddPathSeparator(path);
  } else {
    if (!nameable || !fsys::FileExists(path)) {
      ShowMessageBox(QStringLiteral(u"ショートカットファイルが見つかりません"), ui::MsgIcon::Error,
                     ui::MsgButtons::Ok);
      return false;
    }
    dir = TIniFile(path).ReadString("Project", "Directory", "");
    if (!dir.empty() && dir[0] != '/')
      dir = AddPathSeparator(folder) + dir;
    if (dir.empty() || !fsys::DirectoryExists(dir)) {
      ShowMessageBox(QStringLiteral(u"プロジェクトが見つかりません"), ui::MsgIcon::Error,
                     ui::MsgButtons::Ok);
      return false;
    }
  }
  auto entry = std::make_unique<TProjectData>();
  entry->Directory = dir;
  entry->IsNew = false;
  entry->FromShortcut = true;
  TProjectData *e = entry.get();
  ShortcutProjects.push_back(std::move(entry));
  return OpenProject(e);
}

void TSelectThemaForm::WMShortcutHandover(const std::optional<QString> &argument) {
  if (!argument) {
    ComeForward();
    return;
  }
  // A blank argument is still an argument: it names no shortcut file.
  qsizetype blanks = 0;
  while (blanks < argument->size() && argument->at(blanks) == QLatin1Char(' '))
    ++blanks;
  OpenShortcutFile(argument->mid(blanks));
}

// -------------------------------------------------------------- closing ----

bool TSelectThemaForm::CloseEditors() {
  // Rows first, then shortcut entries, then editors no entry knows any more.
  std::vector<QPointer<TVaveMainForm>> order;
  for (int i = 0; i < RowCount(); ++i)
    if (TProjectData *e = Row(i); e && e->EditorWindow)
      order.push_back(e->EditorWindow);
  for (const auto &e : ShortcutProjects)
    if (e && e->EditorWindow)
      order.push_back(e->EditorWindow);
  order.insert(order.end(), editors_.begin(), editors_.end());
  for (const QPointer<TVaveMainForm> &editor : order) {
    if (!editor || editor->IsClosing())
      continue;
    // An editor whose user chose Cancel keeps its text and the catalogue.
    if (!editor->close())
      return false;
  }
  return true;
}

void TSelectThemaForm::closeEvent(QCloseEvent *event) {
  closing_ = true;
  if (!CloseEditors()) {
    closing_ = false;
    event->ignore();
    return;
  }
  if (about_)
    about_->close();
  if (control_)
    control_->reject();
  if (property_)
    property_->reject();
  SaveSettings();
  event->accept();
  emit Closed();
}
