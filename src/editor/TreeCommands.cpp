// Commands that change the shape of the item tree.
#include "editor/VaveMain.h"

void TVaveMainForm::BindTreeCommands() {}

void TVaveMainForm::UpdateTreeCommandStates() {}
