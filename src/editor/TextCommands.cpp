// Commands on the item text, the item attributes and the display options.
#include "editor/VaveMain.h"

void TVaveMainForm::BindTextCommands() {}

void TVaveMainForm::UpdateTextCommandStates() {}
