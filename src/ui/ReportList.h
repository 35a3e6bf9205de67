#pragma once
// The program's report-style lists (the catalogue, the property window, the
// attachment window) are flat tables of whole rows: no tree decoration, rows
// of one height (fast with tens of thousands), focus shown on the whole row,
// and the order their owner gives, never the view's own sorting.
class QTreeView;

namespace ui {

void MakeFlatRows(QTreeView *view);

} // namespace ui
