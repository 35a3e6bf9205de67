#include "catalogue/SelectThema.h"

#include "catalogue/AboutForm.h"
#include "catalogue/OpenEditors.h"
#include "catalogue/ProjectCommands.h"
#include "catalogue/ProjectControlForm.h"
#include "catalogue/ProjectList.h"
#include "catalogue/ProjectPropertyForm.h"
#include "editor/VaveMain.h"
#include "store/LibUnit.h"
#include "store/RegIniFile.h"
#include "ui/Desktop.h"
#include "ui/ImageList.h"
#include "ui/MessageBox.h"
#include "ui/ScreenFit.h"
#include "ui/Text.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
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
#include <functional>
#include <utility>

namespace {

// Settings: section, name and the value a missing one takes.
constexpr int kDefaultTop = 250, kDefaultLeft = 300, kDefaultWidth = 285, kDefaultHeight = 290;
constexpr int kDefaultTitleWidth = 100, kDefaultDateWidth = 120;
constexpr char kDefaultAuthor[] = "Rara";

const ui::TActionDef kCatalogueActionDefs[] = {
#define ORVANE_CATALOGUE_ACTION_DEF(name, caption, shortcut, hint) {#name, caption, shortcut, hint},
    ORVANE_CATALOGUE_ACTIONS(ORVANE_CATALOGUE_ACTION_DEF)
#undef ORVANE_CATALOGUE_ACTION_DEF
};

} // namespace

// ------------------------------------------------------------- creation ----

TSelectThemaForm::TSelectThemaForm(const std::optional<QString> &shortcut, QWidget *parent)
    : QMainWindow(parent) {
  setObjectName(QStringLiteral("TSelectThemaForm"));
  ui::OpenContextMenusWithShiftF10();
  TCatalogueContext &context = *this;
  list_ = std::make_unique<TProjectList>(context);
  editors_ = std::make_unique<TOpenEditors>(context);
  projectCommands_ = std::make_unique<TProjectCommands>(context);
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
    // also refuses to minimise it at start): the text is cut instead. The
    // count beside it keeps the width it needs.
    if (i == 1) {
      panels_[i]->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
      panels_[i]->setMinimumWidth(0);
    }
    bar->addWidget(panels_[i], i == 1 ? 1 : 0);
  }
  setStatusBar(bar);
  connect(qApp, &QGuiApplication::applicationStateChanged, this,
          [this](Qt::ApplicationState state) {
            if (state != Qt::ApplicationActive && !closing_)
              ApplicationDeactivate();
          });

  LoadSettings();
  // With a project to open at once, the user waits for its editor, not for
  // the list: the list is read once that editor stands.
  const bool listLater = shortcut && !rootDir_.empty();
  if (rootDir_.empty())
    SelectFolderAction(); // refreshes the list itself
  else if (!listLater)
    RefreshProjectList();
  list_->SortProjectList();
  updateActionStates();

  // The command-line argument: a shortcut file whose project opens at once,
  // with the catalogue out of the way until that editor closes.
  if (shortcut && editors_->OpenShortcutFile(*shortcut)) {
    minimiseAtStart_ = true;
    setWindowState(windowState() | Qt::WindowMinimized);
  }
  if (listLater)
    ListAfterEditorPainted();
}

namespace {
// Runs `then` once, after the first paint of `window` or after a second,
// whichever comes first.
class TAfterFirstPaint : public QObject {
public:
  TAfterFirstPaint(QWidget *window, QObject *owner, std::function<void()> then)
      : QObject(owner), then_(std::move(then)) {
    if (window)
      window->installEventFilter(this);
    QTimer::singleShot(1000, this, [this] { Run(); });
  }

protected:
  bool eventFilter(QObject *, QEvent *event) override {
    // The rest of the window paints in the same pass: run after it.
    if (event->type() == QEvent::Paint)
      QTimer::singleShot(0, this, [this] { Run(); });
    return false;
  }

private:
  void Run() {
    if (auto then = std::exchange(then_, nullptr))
      then();
    deleteLater();
  }
  std::function<void()> then_;
};
} // namespace

// The list is read once the editor opened at start has painted: before, it
// would hold back the window the user waits for (a catalogue of thousands of
// projects takes seconds). Not inside the editor's load either: its progress
// lets timers run.
void TSelectThemaForm::ListAfterEditorPainted() {
  const auto &shortcuts = editors_->ShortcutProjects();
  QWidget *editor = shortcuts.empty() ? nullptr : shortcuts.back()->EditorWindow.data();
  auto refresh = [this] {
    RefreshProjectList();
    list_->SortProjectList();
    updateActionStates();
  };
  if (editor && editor->isVisible())
    new TAfterFirstPaint(editor, this, refresh);
  else
    QTimer::singleShot(0, this, refresh);
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
      const auto &shortcuts = editors_->ShortcutProjects();
      const TProjectData *entry = shortcuts.empty() ? nullptr : shortcuts.back().get();
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
  editors_.reset();
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

  actions_->Bind(A::ExitAction, [this] { ExitAction(); });
  actions_->Bind(A::AboutAction, [this] { AboutAction(); });
  projectCommands_->Bind();
  // Their windows do not exist: without a handler EnvironmentMenu and
  // ContentsMenu stay disabled.
}

void TSelectThemaForm::BuildList() {
  list_->Build();
  QTreeWidget *list = list_->Widget();
  list->setContextMenuPolicy(Qt::CustomContextMenu);
  list->installEventFilter(this);
  connect(list, &QTreeWidget::itemDoubleClicked, this, [this] { OpenProjectAction(); });
  connect(list, &QTreeWidget::itemSelectionChanged, this, &TSelectThemaForm::updateActionStates);
  connect(list, &QWidget::customContextMenuRequested, this, [this, list](const QPoint &at) {
    updateActionStates();
    Menu(TCatalogueMenu::ProjectListPopup)->popup(list->viewport()->mapToGlobal(at));
  });
  setCentralWidget(list);
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
                    A::ImportAction, A::RecoveryAction, A::PropertyAction, sep, A::AuthorAction}));
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
                 ui::ToQString(author_) + QStringLiteral("]"));
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
  const QFontMetrics metrics(ProjectList()->font());
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
  ProjectList()->header()->resizeSection(0,
                                         reg.ReadInteger("Window", "ProjectCaption", titleWidth));
  ProjectList()->header()->resizeSection(1, reg.ReadInteger("Window", "ProjectDate", dateWidth));
  rootDir_ = reg.ReadString("Main", "RootDir", "");
  if (!rootDir_.empty())
    rootDir_ = AddPathSeparator(rootDir_);
  list_->SetSort(reg.ReadInteger("Main", "SortMode", 0), reg.ReadBool("Main", "SortUp", false));
  author_ = reg.ReadString("Main", "Autor", kDefaultAuthor);
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
  reg.WriteInteger("Window", "ProjectCaption", ProjectList()->header()->sectionSize(0));
  reg.WriteInteger("Window", "ProjectDate", ProjectList()->header()->sectionSize(1));
  reg.WriteString("Main", "RootDir", rootDir_);
  reg.WriteInteger("Main", "SortMode", list_->SortMode());
  reg.WriteBool("Main", "SortUp", list_->SortUp());
  reg.WriteString("Main", "Autor", author_);
  (void)reg.UpdateFile(); // settings are a convenience: a failure is not reported
}

// ---------------------------------------------------------------- parts ----

QTreeWidget *TSelectThemaForm::ProjectList() const { return list_->Widget(); }
int TSelectThemaForm::RowCount() const { return list_->RowCount(); }
TProjectData *TSelectThemaForm::Row(int row) const { return list_->Row(row); }
TProjectData *TSelectThemaForm::Selected() const { return list_->Selected(); }
void TSelectThemaForm::SelectRow(int row) { list_->SelectRow(row); }
int32_t TSelectThemaForm::SortMode() const { return list_->SortMode(); }
bool TSelectThemaForm::SortUp() const { return list_->SortUp(); }
void TSelectThemaForm::RefreshProjectList() { list_->RefreshProjectList(); }
void TSelectThemaForm::CheckProjectsNow() { list_->CheckProjectRows(); }
int TSelectThemaForm::Compare(const TProjectData &a, const TProjectData &b) const {
  return list_->Compare(a, b);
}
void TSelectThemaForm::ProjectListColumnClick(int column) { list_->ProjectListColumnClick(column); }

std::vector<TVaveMainForm *> TSelectThemaForm::Editors() const { return editors_->Editors(); }
const std::vector<std::unique_ptr<TProjectData>> &TSelectThemaForm::ShortcutProjects() const {
  return editors_->ShortcutProjects();
}
void TSelectThemaForm::ApplicationDeactivate() { editors_->ApplicationDeactivate(); }
void TSelectThemaForm::WMShortcutHandover(const std::optional<QString> &argument) {
  editors_->WMShortcutHandover(argument);
}

void TSelectThemaForm::OpenProjectAction() { projectCommands_->OpenProjectAction(); }
void TSelectThemaForm::SelectFolderAction() { projectCommands_->SelectFolderAction(); }
void TSelectThemaForm::CreateProjectAction() { projectCommands_->CreateProjectAction(); }
void TSelectThemaForm::CreateShortcutAction() { projectCommands_->CreateShortcutAction(); }
void TSelectThemaForm::DeleteProjectAction() { projectCommands_->DeleteProjectAction(); }
TProjectControlForm *TSelectThemaForm::ControlWindow() const {
  return projectCommands_->ControlWindow();
}
TProjectPropertyForm *TSelectThemaForm::PropertyWindow() const {
  return projectCommands_->PropertyWindow();
}

void TSelectThemaForm::ShowCount() {
  // Copies whose project is gone wait for the user's word.
  const size_t orphans = list_->Orphans().size();
  panels_[0]->setText(
      QStringLiteral(u"%1 件").arg(RowCount()) +
      (orphans ? QString::fromUtf16(u"  行き先のない復元データ %1 件").arg(orphans) : QString()));
  panels_[1]->setText(ui::PathToQString(rootDir_));
}

bool TSelectThemaForm::eventFilter(QObject *watched, QEvent *event) {
  if (watched == ProjectList() && event->type() == QEvent::KeyPress) {
    const auto *press = static_cast<QKeyEvent *>(event);
    const int key = press->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      OpenProjectAction();
      return true;
    }
    // Delete asks as the menu command does (run through the table, so only
    // with a row selected).
    if (key == Qt::Key_Delete && press->modifiers() == Qt::NoModifier) {
      Action(TCatalogueAction::DeleteProjectAction)->trigger();
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

void TSelectThemaForm::ComeForward() {
  setWindowState(windowState() & ~Qt::WindowMinimized);
  show();
  raise();
  activateWindow();
}

// -------------------------------------------------------------- closing ----

void TSelectThemaForm::closeEvent(QCloseEvent *event) {
  closing_ = true;
  if (!editors_->CloseEditors()) {
    closing_ = false;
    event->ignore();
    return;
  }
  if (about_)
    about_->close();
  if (TProjectControlForm *control = ControlWindow())
    control->reject();
  if (TProjectPropertyForm *property = PropertyWindow())
    property->reject();
  SaveSettings();
  event->accept();
  emit Closed();
}

// ----------------------------------------------------------- about, leave ----

void TSelectThemaForm::AboutAction() {
  if (!about_)
    about_ = new TAboutForm(this);
  QIcon icon = QApplication::windowIcon();
  if (icon.isNull())
    icon = style()->standardIcon(QStyle::SP_FileDialogDetailedView);
  about_->SetIcon(icon);
  about_->show();
  about_->raise();
  about_->activateWindow();
}

void TSelectThemaForm::ExitAction() { close(); }
