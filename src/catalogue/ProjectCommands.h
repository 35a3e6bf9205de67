#pragma once
// The catalogue's project commands: open, choose the root folder, create a
// project, make a shortcut file (and register its type with the desktop),
// delete a project, import an exchange file, show a project's properties,
// set the author.
#include "catalogue/CatalogueContext.h"

#include <QPointer>

#include <string>

class TProjectControlForm;
class TProjectPropertyForm;

class TProjectCommands {
public:
  explicit TProjectCommands(TCatalogueContext &catalogue);
  // Binds the commands and their pop-up twins.
  void Bind();

  void OpenProjectAction();
  void SelectFolderAction();
  void CreateProjectAction();
  void CreateShortcutAction();
  void DeleteProjectAction();
  void ImportAction();
  // Offers the recovery copies whose project is gone, one at a time: made
  // into a new project, discarded, or left for later.
  void RecoveryAction();
  void PropertyAction();
  void AuthorAction();
  // Registers "*.ida" with the desktop; tells the user when it cannot.
  void RegisterShortcutType();
  void RememberRootDir(); // writes the root folder setting now

  // The import and author window once made (null before its first use).
  TProjectControlForm *ControlWindow() const;
  // The property window once made (null before its first use).
  TProjectPropertyForm *PropertyWindow() const;

private:
  TProjectControlForm *MakeControlWindow();

  TCatalogueContext &cat_;
  QPointer<TProjectControlForm> control_;   // import and author, made on first use
  QPointer<TProjectPropertyForm> property_; // made on first use
};
