#include "editor/EditorActions.h"

const ui::TActionDef kEditorActionDefs[static_cast<int>(TEditorAction::Count_)] = {
#define ORVANE_EDITOR_ACTION_DEF(name, caption, shortcut, hint, image, tag, checkable)             \
  {#name, caption, shortcut, hint, image, tag, checkable},
    ORVANE_EDITOR_ACTIONS(ORVANE_EDITOR_ACTION_DEF)
#undef ORVANE_EDITOR_ACTION_DEF
};
