#pragma once
// The catalogue, the program's main window: every project found directly
// below one root directory with its title and last update, the editor window
// of each open project, and the catalogue's commands (open, choose folder,
// create, shortcut, delete, import, properties, author, about, leave). Its
// settings live in the per-user settings file, sections "Window" and "Main".
//
// The window holds the settings, the menus, the tool bar and the status bar;
// the rest lives in parts that know it only through TCatalogueContext: the
// list and its order (ProjectList), the open editors (OpenEditors) and the
// project commands (ProjectCommands).
#include "catalogue/CatalogueActions.h"
#include "catalogue/CatalogueContext.h"
#include "catalogue/ProjectData.h"
#include "ui/MessageBox.h"

#include <QMainWindow>
#include <QPointer>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QLabel;
class QMenu;
class QToolBar;
class QTreeWidget;
class TAboutForm;
class TOpenEditors;
class TProjectCommands;
class TProjectControlForm;
class TProjectList;
class TProjectPropertyForm;
class TVaveMainForm;

class TSelectThemaForm : public QMainWindow, private TCatalogueContext {
  Q_OBJECT
public:
  // `shortcut`: the first command-line argument (OS form), when there is one.
  explicit TSelectThemaForm(const std::optional<QString> &shortcut = std::nullopt,
                            QWidget *parent = nullptr);
  ~TSelectThemaForm() override;
  // The first show of the program: minimised when a shortcut opened a project.
  void ShowAtStart();

  // ---- state -------------------------------------------------------------
  const std::string &Author() const override { return author_; }
  void SetAuthor(const std::string &author) override { author_ = author; }
  const std::string &RootDir() const override { return rootDir_; }
  void SetRootDir(const std::string &dir) override { rootDir_ = dir; }
  int32_t SortMode() const; // 0: by title, 1: by last update
  bool SortUp() const;
  // The projects opened from shortcut files, in order.
  const std::vector<std::unique_ptr<TProjectData>> &ShortcutProjects() const;

  // ---- operations ------------------------------------------------------------
  void LoadSettings();
  void SaveSettings();
  void RefreshProjectList();
  // Shows the new title and date of every row whose tree file changed on
  // disk (the watch does so on its own).
  void CheckProjectsNow();
  int Compare(const TProjectData &a, const TProjectData &b) const;
  void ProjectListColumnClick(int column);
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
  void AboutAction();
  void ExitAction();
  void updateActionStates() override;

  // ---- the end of the session --------------------------------------------
  // The program ends and no question may be asked (a signal, a session end
  // without interaction): every editor keeps what it can, in its files or in
  // the recovery copy, and the settings are written. Nothing closes.
  void EndWithoutQuestions();
  // The desktop's session ends. With interaction allowed every changed
  // project asks as at its close; false when the user chose to stay.
  // Without, as EndWithoutQuestions.
  bool CommitSessionData(bool interactionAllowed);

  // ---- parts and views for tests -------------------------------------------
  TProjectList &List() override { return *list_; }
  TOpenEditors &OpenEditors() override { return *editors_; }
  TProjectCommands &ProjectCommands() const { return *projectCommands_; }
  QTreeWidget *ProjectList() const;
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

signals:
  // The catalogue has closed: the program ends.
  void Closed();

protected:
  void closeEvent(QCloseEvent *event) override;
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  void ListAfterEditorPainted();
  // TCatalogueContext
  QMainWindow *Window() override { return this; }
  TCatalogueActions &Actions() override { return *actions_; }
  bool Closing() const override { return closing_; }
  QString Caption() const override;
  void ComeForward() override;
  void ShowCount() override;
  ui::MsgAnswer ShowMessageBox(const QString &text, ui::MsgIcon icon, ui::MsgButtons buttons,
                               std::optional<ui::MsgAnswer> defaultButton = {}) override;

  void BuildActions();
  void BuildMenus();
  void BuildToolBar();
  void BuildList();
  void SetCaption();
  void ApplyGeometry(int left, int top, int width, int height);

  std::string author_;
  std::string rootDir_;
  std::unique_ptr<TProjectList> list_;
  std::unique_ptr<TOpenEditors> editors_;
  std::unique_ptr<TProjectCommands> projectCommands_;
  std::unique_ptr<TCatalogueActions> actions_;
  QToolBar *toolBar_ = nullptr;
  QLabel *panels_[2] = {};
  QPointer<TAboutForm> about_;
  QMenu *menus_[static_cast<int>(TCatalogueMenu::Count_)] = {};
  bool closing_ = false;
  bool minimiseAtStart_ = false;
};
