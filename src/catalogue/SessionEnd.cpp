// The catalogue at the end of the desktop's session or of the process.
#include "catalogue/OpenEditors.h"
#include "catalogue/SelectThema.h"
#include "editor/RecoveryCommands.h"
#include "editor/VaveMain.h"

void TSelectThemaForm::EndWithoutQuestions() {
  for (TVaveMainForm *editor : editors_->Editors())
    editor->Recovery().EndWithoutQuestions();
  SaveSettings();
}

bool TSelectThemaForm::CommitSessionData(bool interactionAllowed) {
  if (!interactionAllowed) {
    EndWithoutQuestions();
    return true;
  }
  // The close questions of every changed project, with their safe defaults;
  // the catalogue itself stays until the session really ends.
  if (!editors_->CloseEditors())
    return false;
  SaveSettings();
  return true;
}
