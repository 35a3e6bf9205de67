#pragma once
// The catalogue, the program's main window: every project found directly
// below one root directory with its title and last update, the editor window
// of each open project, and the catalogue's commands (open, choose folder,
// create, shortcut, delete, import, properties, author, about, leave). Its settings live in the
// per-user settings file, sections "Window" and "Main".
//
// Open editors are found by project directory, not by window title: two
// projects may share a title, and an entry made from a shortcut has none.
#include "catalogue/CatalogueActions.h"
#include "catalogue/ProjectData.h"
#include "store/ProjectTree.h"
#include "ui/MessageBox.h"

#include <QMainWindow>
#include <QPointer>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QFileSystemWatcher;
class QTimer;
class QLabel;
class QMenu;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;
class TAboutForm;
class TProjectControlForm;
class TProjectPropertyForm;
class TVaveMainForm;

class TSelectThemaForm : public QMainWindow {
  Q_OBJECT
public:
  // `shortcut`: the first command-line argument (OS form), when there is one.
  explicit TSelectThemaForm(const std::optional<QString> &shortcut = std::nullopt,
                            QWidget *parent = nullptr);
  ~TSelectThemaForm() override;
  // The first show of the program: minimised when a shortcut opened a project.
  void ShowAtStart();

  // ---- state -------------------------------------------------------------
  std::string Author;   // CP932; handed to every editor opened from here
  std::string RootDir;  // CP932, with a trailing separator once set
  int32_t SortMode = 0; // 0: by title, 1: by last update
  bool SortUp = false;
  std::vector<std::unique_ptr<TProjectData>> ShortcutProjects;
  TProjectTree TitleProbe; // reads only the root item of each project

  // ---- operations ------------------------------------------------------------
  void LoadSettings();
  void SaveSettings();
  void RememberRootDir(); // writes the root folder setting now
  void RefreshProjectList();
  // Shows the new title and date of every row whose tree file changed on
  // disk (the watch does so on its own).
  void CheckProjectsNow() { CheckProjectRows(); }
  // Opens the entry in an editor: the editor already showing its directory,
  // else a new one. False when no editor could show it.
  bool OpenProject(TProjectData *entry);
  // Negative, zero or positive as `a` goes before, with or after `b` in the
  // current order. Entries of different directories never compare equal.
  int Compare(const TProjectData &a, const TProjectData &b) const;
  void SortProjectList();
  void ProjectListColumnClick(int column);

  // Notifications of the editors.
  void ProjectSaved(TVaveMainForm *editor, const std::string &dir, const TDateTime &date,
                    const std::string &title);
  void EditorClosed(TVaveMainForm *editor);
  void ShortcutEditorClosed(TVaveMainForm *editor);
  void ApplicationDeactivate();

  // A later start of the program handed over its argument (none: just come
  // forward).
  void WMShortcutHandover(const std::optional<QString> &argument);

  // ---- commands --------------------------------------------------------------
  void OpenProjectAction();
  void SelectFolderAction();
  void CreateProjectAction();
  void CreateShortcutAction();
  void DeleteProjectAction();
  void ImportAction();
  void PropertyAction();
  void AuthorAction();
  void AboutAction();
  void ExitAction();
  // Registers "*.ida" with the desktop; tells the user when it cannot.
  void RegisterShortcutType();
  void updateActionStates();

  // ---- parts and views for tests -------------------------------------------
  QTreeWidget *ProjectList() const { return list_; }
  int RowCount() const;
  TProjectData *Row(int row) const;
  TProjectData *Selected() const;
  void SelectRow(int row);
  QAction *Action(TCatalogueAction id) const;
  QMenu *Menu(TCatalogueMenu id) const;
  QLabel *StatusPanel(int index) const { return panels_[index]; }
  TAboutForm *AboutWindow() const;
  // The import and author window once made (null before its first use).
  TProjectControlForm *ControlWindow() const;
  // The property window once made (null before its first use).
  TProjectPropertyForm *PropertyWindow() const;
  // Every editor window opened from here that is still open.
  std::vector<TVaveMainForm *> Editors() const;

  // The directory the program file lies in, CP932 with a separator; tests
  // put another one in its place (empty restores the real one).
  static std::string ProgramDir();
  static void SetProgramDirForTest(const std::string &dir);

signals:
  // The catalogue has closed: the program ends.
  void Closed();

protected:
  void closeEvent(QCloseEvent *event) override;
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  class TProjectItem;

  void BuildActions();
  void BuildMenus();
  void BuildToolBar();
  void BuildList();
  QString Caption() const;
  void SetCaption();
  void ApplyGeometry(int left, int top, int width, int height);
  TProjectItem *Item(int row) const;
  TProjectItem *AddRow(std::unique_ptr<TProjectData> entry);
  void RemoveRow(TProjectItem *item);
  void ShowRow(TProjectItem *item);
  void ShowCount();
  void SearchDirFileFind(const std::string &fileName);
  TVaveMainForm *FindEditor(const std::string &directory) const;
  bool OpenShortcutFile(const QString &nativePath);
  // Selects the row of `entry` (none: leaves the selection) and puts the
  // keyboard focus in the list.
  void MakeCurrent(TProjectData *entry);
  // Clears the first of `entries` that records `editor` and returns it.
  TProjectData *ForgetEditor(const std::vector<TProjectData *> &entries, TVaveMainForm *editor,
                             const QString &complaint);
  // Out of the task bar and in front.
  void ComeForward();
  bool CloseEditors();
  ui::MsgAnswer ShowMessageBox(const QString &text, ui::MsgIcon icon, ui::MsgButtons buttons,
                               std::optional<ui::MsgAnswer> defaultButton = std::nullopt);

  QTreeWidget *list_ = nullptr;
  QToolBar *toolBar_ = nullptr;
  QLabel *panels_[2] = {};
  QPointer<TAboutForm> about_;
  QPointer<TProjectControlForm> control_; // import and author, made on first use
  TProjectControlForm *MakeControlWindow();
  QPointer<TProjectPropertyForm> property_; // made on first use
  std::unique_ptr<TCatalogueActions> actions_;
  QMenu *menus_[static_cast<int>(TCatalogueMenu::Count_)] = {};
  std::vector<QPointer<TVaveMainForm>> editors_; // every editor made, in order
  bool closing_ = false;
  bool minimiseAtStart_ = false;
  // Rows follow their projects' tree files: the project folders are watched
  // (a save renames a new tree file into its folder), and every row is
  // looked at now and then for writes the watch does not see.
  QFileSystemWatcher *projectWatch_ = nullptr;
  QTimer *projectSettle_ = nullptr;
  QTimer *projectCheck_ = nullptr;
  void WatchRow(TProjectData *entry, bool watch);
  void CheckProjectRows();
};
