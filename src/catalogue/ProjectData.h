#pragma once
// One entry of the catalogue: a project directory, its title and last update,
// and the editor window showing it while one is open.
#include "store/DateTime.h"
#include "store/FileSystem.h"

#include <QPointer>

#include <string>

class TVaveMainForm;

struct TProjectData {
  std::string Title;     // the root item's title, CP932
  std::string Directory; // CP932, with a trailing separator when it comes from the list
  std::string Identity;  // who the project is (recovery::IdentityOf), from the list
  TDateTime LastUpdate = clock_::Now();
  // The open editor of this project. A guarded pointer: an editor deletes
  // itself when it closes, and the entry then reads as "no editor".
  QPointer<TVaveMainForm> EditorWindow;
  bool IsNew = true;         // the directory was just made and holds no project yet
  bool FromShortcut = false; // made from a shortcut file, not shown in the list
  // The tree file as the row last showed it: another version on disk (saved
  // by an editor here or elsewhere) is shown again.
  fsys::Stamp TreeFile;
};
