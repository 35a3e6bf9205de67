#include "editor/EditorActions.h"

const ui::TActionDef kEditorActionDefs[static_cast<int>(TEditorAction::Count_)] = {
    ORVANE_EDITOR_ACTIONS(ORVANE_ACTION_DEF)};
