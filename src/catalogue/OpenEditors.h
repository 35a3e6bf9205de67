#pragma once
// The editor windows opened from the catalogue: opening a project (in the
// editor already showing its directory, else a new one), projects opened from
// shortcut files, what the editors report back (a save, their closing), and
// closing them all when the catalogue goes.
//
// Open editors are found by project directory, not by window title: two
// projects may share a title, and an entry made from a shortcut has none.
#include "catalogue/CatalogueContext.h"
#include "catalogue/ProjectData.h"

#include <QPointer>

#include <memory>
#include <optional>
#include <string>
#include <vector>

class TVaveMainForm;

class TOpenEditors {
public:
  explicit TOpenEditors(TCatalogueContext &catalogue);
  // Editors that are still open outlive no catalogue: they would call back
  // into it.
  ~TOpenEditors();

  // Every editor window opened from here that is still open.
  std::vector<TVaveMainForm *> Editors() const;
  TVaveMainForm *FindEditor(const std::string &directory) const;
  // Opens the entry in an editor: the editor already showing its directory,
  // else a new one. False when no editor could show it.
  bool OpenProject(TProjectData *entry);
  bool OpenShortcutFile(const QString &nativePath);
  // A later start of the program handed over its argument (none: just come
  // forward).
  void WMShortcutHandover(const std::optional<QString> &argument);
  const std::vector<std::unique_ptr<TProjectData>> &ShortcutProjects() const {
    return shortcutProjects_;
  }

  // Notifications of the editors.
  void ProjectSaved(TVaveMainForm *editor, const std::string &dir, const TDateTime &date,
                    const std::string &title);
  void EditorClosed(TVaveMainForm *editor);
  void ShortcutEditorClosed(TVaveMainForm *editor);
  void ApplicationDeactivate();

  // Closes every editor; false when one of them stays (its user chose
  // Cancel).
  bool CloseEditors();

private:
  // Clears the first of `entries` that records `editor` and returns it.
  TProjectData *ForgetEditor(const std::vector<TProjectData *> &entries, TVaveMainForm *editor,
                             const QString &complaint);

  TCatalogueContext &cat_;
  std::vector<QPointer<TVaveMainForm>> editors_; // every editor made, in order
  std::vector<std::unique_ptr<TProjectData>> shortcutProjects_;
};
