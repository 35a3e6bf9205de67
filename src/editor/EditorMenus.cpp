// The menus, the tree's pop-up menu and the tool bar of the editor window,
// all over the window's one set of actions.
#include "editor/EditorMenus.h"

#include "editor/VaveDataBase.h"

#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>

namespace {

QString Q(const char16_t *s) { return QString::fromUtf16(s); }

using A = TEditorAction;
constexpr A S = A::Count_; // a separator in a list of commands

} // namespace

void BuildEditorMenus(QMainWindow *window, const TEditorActions &actions, TVaveDataBase *tree_,
                      std::map<std::string, QMenu *> &menus_,
                      const std::function<void()> &aboutToShow) {
  auto menu = [&](QMenu *parent, const char *name, const char16_t *title) {
    QMenu *m = parent ? parent->addMenu(Q(title)) : window->menuBar()->addMenu(Q(title));
    m->setObjectName(QString::fromLatin1(name));
    menus_[name] = m;
    QObject::connect(m, &QMenu::aboutToShow, window, aboutToShow);
    return m;
  };
  auto add = [&](QMenu *m, std::initializer_list<A> ids) { actions.AddTo(m, ids); };

  QMenu *file = menu(nullptr, "FileMenu", u"ﾌｧｲﾙ(&F)");
  add(file, {A::SaveProjectAction, A::SaveItemTextAction, S, A::ItemTextOutAction,
             A::ItemHtmlOutAction, A::ItemHtmlExOutAction, A::ItemSummarizeAction, S});
  QMenu *functions = menu(file, "FunctionMenu", u"機能(&C)");
  functions->menuAction()->setStatusTip(Q(u"ﾌﾟﾛｼﾞｪｸﾄごとの設定をします"));
  add(functions,
      {A::WordWrapMenu, A::HideMenu, A::SelectFontMenu, A::UseDefaultColorMenu, A::AutoSaveMenu, S,
       A::OutputSettingMenu, S, A::ExpireUnnecessaryFile, A::ClearCursorPosMenu});
  file->addSeparator();
  add(file, {A::ExitProjectAction});

  QMenu *edit = menu(nullptr, "EditMenu", u"編集(&E)");
  add(edit,
      {A::InsertDateAction, A::InsertTimeAction, S, A::UndoAction, A::CutToClipAction,
       A::CopyToClipAction, A::PastClipTextAction, A::SelectAllAction, S, A::UndoItemMidifyAction});

  QMenu *treeMenu = menu(nullptr, "TreeMenu", u"ﾂﾘｰ(&T)");
  add(treeMenu, {A::TreeUndoAction, A::TreeRedoAction, S});
  add(treeMenu,
      {A::CreateNewItemAction, A::CreateSubItemAction, A::RenameItemAction, A::ExpierItemAction, S,
       A::UpperItemAction, A::DownerItemAction, A::InprimentUpperItemAction, A::AddLowerItemAction,
       S, A::AllExpandAction, A::AllComposeAction, S, A::CopyItemAction, A::PastItemAction});
  add(treeMenu, {S, A::DeletedItemsAction});

  QMenu *attr = menu(nullptr, "AttributeMenu", u"属性(&A)");
  add(attr, {A::SelectToDoAction, A::SelectCompletionAction});

  QMenu *find = menu(nullptr, "FindMenu", u"検索(&S)");
  add(find, {A::FindNextAction, A::FindPriorAction, S, A::SearchCurrentAction,
             A::SearchProjectAction, S, A::TagJumpCurrentAction, A::TagJumpProjectAction, S,
             A::SetTagHeaderAction, A::SetTagFooterAction});

  QMenu *capture = menu(nullptr, "CpMenu", u"取り込み(&C)");
  add(capture,
      {A::ClipItemDefaultAction, A::ClipItemByTitleAction, A::ClipSubItemAction,
       A::ClipSubItemByTitleAction, S, A::InportTextFileAction, S, A::ShowAttachFileAction});

  QMenu *help = menu(nullptr, "HelpMenu", u"ﾍﾙﾌﾟ(&H)");
  add(help, {A::ShowHintMenu});

  // The tree's pop-up menu.
  auto *pop = new QMenu(window);
  pop->setObjectName(QStringLiteral("TreePopupMenu"));
  menus_["TreePopupMenu"] = pop;
  add(pop, {A::UpperItemAction, A::DownerItemAction, A::InprimentUpperItemAction,
            A::AddLowerItemAction, S, A::CreateNewItemAction, A::CreateSubItemAction, S,
            A::RenameItemAction, A::ExpierItemAction, S, A::CopyItemAction, A::PastItemAction});
  QObject::connect(pop, &QMenu::aboutToShow, window, aboutToShow);
  tree_->setContextMenuPolicy(Qt::CustomContextMenu);
  QObject::connect(tree_, &QWidget::customContextMenuRequested, window,
                   [tree_, pop](const QPoint &p) {
                     // A right click selects the item under the pointer first.
                     QModelIndex i = tree_->indexAt(p);
                     if (i.isValid())
                       tree_->SelectNode(TVaveTreeModel::NodeOf(i));
                     pop->popup(tree_->viewport()->mapToGlobal(p));
                   });
  // Shortcuts work wherever the focus is in the window; the tree's undo and
  // redo keys only in the tree, the memo's Ctrl+Z staying the text's own.
  for (int i = 0; i < actions.Count(); ++i) {
    const auto id = static_cast<A>(i);
    QWidget *owner = window;
    if (id == A::TreeUndoAction || id == A::TreeRedoAction)
      owner = tree_;
    if (owner == tree_)
      actions.At(i)->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    owner->addAction(actions.At(i));
  }
}

void BuildEditorToolBar(QMainWindow *window, const TEditorActions &actions,
                        std::map<std::string, QMenu *> &menus_) {
  QToolBar *toolBar_ = window->addToolBar(QStringLiteral("ToolBar1"));
  toolBar_->setObjectName(QStringLiteral("ToolBar1"));
  toolBar_->setMovable(false);
  toolBar_->setIconSize(QSize(16, 16));
  auto button = [&](A action, const char *name) {
    toolBar_->addAction(actions[action]);
    if (QWidget *w = toolBar_->widgetForAction(actions[action]))
      w->setObjectName(QString::fromLatin1(name));
  };
  button(A::SaveProjectAction, "SaveVaveButton");
  toolBar_->addSeparator();
  toolBar_->addWidget(new QLabel(Q(u"ﾂﾘｰ"), toolBar_));
  button(A::DownerItemAction, "DownerItemButton");
  button(A::UpperItemAction, "UpperItemButton");
  button(A::AddLowerItemAction, "AddLowerItemButton");
  button(A::InprimentUpperItemAction, "InprimentUpperItemButton");
  toolBar_->addSeparator();
  toolBar_->addWidget(new QLabel(Q(u"ｱｲﾃﾑ"), toolBar_));
  // New item with its drop-down of the other ways to make an item.
  auto *createMenu = new QMenu(window);
  createMenu->setObjectName(QStringLiteral("CreateItemPopMenu"));
  menus_["CreateItemPopMenu"] = createMenu;
  createMenu->addAction(actions[A::CreateNewItemAction]);
  createMenu->addAction(actions[A::CreateSubItemAction]);
  createMenu->addSeparator();
  createMenu->addAction(actions[A::RenameItemAction]);
  auto *newButton = new QToolButton(toolBar_);
  newButton->setObjectName(QStringLiteral("CreateItemButton"));
  newButton->setDefaultAction(actions[A::CreateNewItemAction]);
  newButton->setMenu(createMenu);
  newButton->setPopupMode(QToolButton::MenuButtonPopup);
  toolBar_->addWidget(newButton);
  button(A::UndoItemMidifyAction, "UndoEditButton");
  button(A::ExpierItemAction, "ExpierItemButton");
  toolBar_->addSeparator();
  button(A::SelectToDoAction, "ToDoButton");
  button(A::SelectCompletionAction, "CompletionButton");
  toolBar_->addSeparator();
  // Find, capture and the attachment window: drop-down buttons with their menus.
  auto dropDown = [&](A action, const char *name, const char *menuName,
                      std::initializer_list<A> entries) {
    auto *m = new QMenu(window);
    m->setObjectName(QString::fromLatin1(menuName));
    menus_[menuName] = m;
    actions.AddTo(m, entries);
    if (menuName != std::string_view("FindPopMenu"))
      m->setDefaultAction(actions[*entries.begin()]);
    auto *b = new QToolButton(toolBar_);
    b->setObjectName(QString::fromLatin1(name));
    b->setDefaultAction(actions[action]);
    b->setMenu(m);
    b->setPopupMode(QToolButton::MenuButtonPopup);
    toolBar_->addWidget(b);
  };
  dropDown(A::SearchCurrentAction, "SearchButton", "FindPopMenu",
           {A::FindNextAction, A::FindPriorAction, S, A::SearchCurrentAction,
            A::SearchProjectAction, S, A::TagJumpCurrentAction, A::TagJumpProjectAction});
  dropDown(A::ClipItemDefaultAction, "InportButton", "InportPopupMenu",
           {A::ClipItemDefaultAction, A::ClipItemByTitleAction, A::ClipSubItemAction,
            A::ClipSubItemByTitleAction, S, A::InportTextFileAction});
  // Enabled with the item's attachments, as the item display says.
  dropDown(A::ViewAttachFileAction, "ViewAttachFile", "LinkPopupMenu",
           {A::ViewLinkAction, A::ViewIndexAction, A::ViewAttachFileAction});
}
