#include "ui/ReportList.h"

#include <QTreeView>

namespace ui {

void MakeFlatRows(QTreeView *view) {
  view->setRootIsDecorated(false);
  view->setItemsExpandable(false);
  view->setUniformRowHeights(true);
  view->setAllColumnsShowFocus(true);
  view->setSortingEnabled(false);
}

} // namespace ui
