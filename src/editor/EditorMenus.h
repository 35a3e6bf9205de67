#pragma once
// Menus, pop-up menus and tool bar of the editor window.
#include "editor/EditorActions.h"

#include <functional>
#include <map>
#include <string>

class QMainWindow;
class QMenu;
class TVaveDataBase;

// The menu bar and the tree's pop-up menu; every menu is listed in `menus`
// under its object name and runs `aboutToShow` before it opens.
void BuildEditorMenus(QMainWindow *window, const TEditorActions &actions, TVaveDataBase *tree,
                      std::map<std::string, QMenu *> &menus,
                      const std::function<void()> &aboutToShow);
void BuildEditorToolBar(QMainWindow *window, const TEditorActions &actions,
                        std::map<std::string, QMenu *> &menus);
