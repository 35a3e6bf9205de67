#pragma once
// Every command of the editor window: name, caption, shortcut, hint, image and
// Tag, in one table, so that menus, tool bar and pop-ups share one QAction per
// command and tests find each by its object name.
#include <QString>

struct TEditorActionDef {
  const char *name; // object name: tests and settings find the command by it
  const char16_t *caption;
  const char *shortcut; // portable text form, "" for none
  const char16_t *hint; // "" for none
  int image;            // image list index, 0 for none
  int tag;
  bool checkable;
};

// The table, in no particular order.
const TEditorActionDef *EditorActionDefs(int &count);
