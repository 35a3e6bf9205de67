#include "editor/VaveDataBase.h"

#include "ui/ImageList.h"
#include "ui/Text.h"

#include <QApplication>
#include <QClipboard>
#include <QDrag>
#include <QDragMoveEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

// ---------------------------------------------------------------- model ----

TVaveTreeModel::TVaveTreeModel(TProject *project, QObject *parent)
    : QAbstractItemModel(parent), project_(project), tree_(&project->Tree()) {
  project_->SetObserver(this);
}

TVaveTreeModel::~TVaveTreeModel() { project_->SetObserver(nullptr); }

QModelIndex TVaveTreeModel::IndexOf(const TProjectNode *node) const {
  if (!node)
    return {};
  return createIndex(node->Index(), 0, const_cast<TProjectNode *>(node));
}

TProjectNode *TVaveTreeModel::NodeOf(const QModelIndex &index) {
  return index.isValid() ? static_cast<TProjectNode *>(index.internalPointer()) : nullptr;
}

QModelIndex TVaveTreeModel::index(int row, int column, const QModelIndex &parent) const {
  if (column != 0 || row < 0)
    return {};
  TProjectNode *p = NodeOf(parent);
  TProjectNode *child = p ? p->Item(row) : tree_->TopItem(row);
  return child ? createIndex(row, 0, child) : QModelIndex();
}

QModelIndex TVaveTreeModel::parent(const QModelIndex &child) const {
  TProjectNode *node = NodeOf(child);
  return node ? IndexOf(node->Parent()) : QModelIndex();
}

int TVaveTreeModel::rowCount(const QModelIndex &parent) const {
  if (parent.column() > 0)
    return 0;
  TProjectNode *p = NodeOf(parent);
  return p ? p->Count() : tree_->TopCount();
}

int TVaveTreeModel::columnCount(const QModelIndex &) const { return 1; }

QVariant TVaveTreeModel::data(const QModelIndex &index, int role) const {
  TProjectNode *node = NodeOf(index);
  if (!node)
    return {};
  switch (role) {
  case Qt::DisplayRole:
    // An item whose file could not be read says so where it stands.
    if (node->Data()->Missing)
      return QString::fromUtf16(u"(読めません) ") + ui::ToQString(node->Text());
    return ui::ToQString(node->Text());
  case Qt::EditRole:
    return ui::ToQString(node->Text());
  case Qt::DecorationRole: {
    const TNodeFiles &f = node->Data()->Files;
    return images::Icon(images::ItemImage(f.ToDo, f.Completion));
  }
  default:
    return {};
  }
}

bool TVaveTreeModel::setData(const QModelIndex &index, const QVariant &value, int role) {
  TProjectNode *node = NodeOf(index);
  if (!node || role != Qt::EditRole)
    return false;
  return LabelEdited && LabelEdited(node, value.toString());
}

Qt::ItemFlags TVaveTreeModel::flags(const QModelIndex &index) const {
  TProjectNode *node = NodeOf(index);
  if (!node)
    return Qt::NoItemFlags;
  Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (!CanEditLabel || CanEditLabel(node))
    f |= Qt::ItemIsEditable;
  return f;
}

void TVaveTreeModel::AboutToInsert(TProjectNode *parent, int row) {
  beginInsertRows(IndexOf(parent), row, row);
}

void TVaveTreeModel::Inserted(TProjectNode *node) {
  endInsertRows();
  // A subtree put back (an undone delete) opens as it was.
  for (TProjectNode *n = node->GetFirstChild() ? node : nullptr; n; n = n->GetNextWithin(node))
    if (n->Expanded() && n->HasChildren())
      emit expandedChanged(IndexOf(n), true);
}

void TVaveTreeModel::AboutToMove(TProjectNode *node, TProjectNode *newParent, int destRow) {
  beginMoveRows(IndexOf(node->Parent()), node->Index(), node->Index(), IndexOf(newParent), destRow);
}

void TVaveTreeModel::Moved(TProjectNode *, TProjectNode *, int) { endMoveRows(); }

void TVaveTreeModel::AboutToRemove(TProjectNode *node) {
  beginRemoveRows(IndexOf(node->Parent()), node->Index(), node->Index());
}

void TVaveTreeModel::Removed(TProjectNode *, int) { endRemoveRows(); }

void TVaveTreeModel::DataChanged(TProjectNode *node, TNodeChange what) {
  QModelIndex i = IndexOf(node);
  if (what == TNodeChange::Expanded)
    emit expandedChanged(i, node->Expanded());
  else
    emit dataChanged(i, i);
}

void TVaveTreeModel::AboutToReset() { beginResetModel(); }
void TVaveTreeModel::Reset() { endResetModel(); }

// ------------------------------------------------------ selection model ----

void TVaveSelectionModel::setCurrentIndex(const QModelIndex &index,
                                          QItemSelectionModel::SelectionFlags command) {
  if (index != currentIndex() && Changing) {
    // The check may add rows (an item's text kept beside it): the row to go
    // to is followed through them.
    const QPersistentModelIndex target(index);
    if (!Changing(index) || (index.isValid() && !target.isValid()))
      return;
    QItemSelectionModel::setCurrentIndex(target, command);
    return;
  }
  QItemSelectionModel::setCurrentIndex(index, command);
}

void TVaveSelectionModel::select(const QModelIndex &index,
                                 QItemSelectionModel::SelectionFlags command) {
  select(QItemSelection(index, index), command);
}

void TVaveSelectionModel::select(const QItemSelection &selection,
                                 QItemSelectionModel::SelectionFlags command) {
  // The selection always is the current item: a refused change must not
  // leave another row looking selected.
  QModelIndex current = currentIndex();
  if (!selection.isEmpty() && !(selection.size() == 1 && selection.first().topLeft() == current &&
                                selection.first().bottomRight() == current)) {
    if (!current.isValid())
      return;
    QItemSelectionModel::select(QItemSelection(current, current), ClearAndSelect);
    return;
  }
  QItemSelectionModel::select(selection, command);
}

// ----------------------------------------------------------------- view ----

TVaveDataBase::TVaveDataBase(TProject &project, QWidget *parent)
    : QTreeView(parent), project_(project), tree_(&project.Tree()) {
  model_ = new TVaveTreeModel(&project_, this);
  setModel(model_);
  selection_ = new TVaveSelectionModel(model_, this);
  setSelectionModel(selection_);
  setHeaderHidden(true);
  setRootIsDecorated(false); // no lines or button for the root item
  setIndentation(19);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
  setUniformRowHeights(true);
  // Items are dragged within the tree by our own handlers below, not by the
  // view's mime-data machinery.
  setAcceptDrops(true);
  viewport()->setAcceptDrops(true);
  setDropIndicatorShown(false);
  dragScrollTimer_.setInterval(100);
  connect(&dragScrollTimer_, &QTimer::timeout, this, [this] {
    if (!DragScrollStep(dragPos_))
      dragScrollTimer_.stop();
    else
      DragOverAt(dragPos_);
  });

  tree_->OnNodeLoaded = [this](TProjectNode *node) { emit nodeLoaded(node); };
  connect(selection_, &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex &current, const QModelIndex &) {
            TProjectNode *node = TVaveTreeModel::NodeOf(current);
            tree_->SetSelected(node);
            emit currentNodeChanged(node);
          });
  connect(this, &QTreeView::expanded, this,
          [this](const QModelIndex &i) { ViewExpandedChanged(i, true); });
  connect(this, &QTreeView::collapsed, this,
          [this](const QModelIndex &i) { ViewExpandedChanged(i, false); });
  connect(model_, &TVaveTreeModel::expandedChanged, this,
          [this](const QModelIndex &i, bool expanded) {
            if (syncing_)
              return;
            ++syncing_;
            setExpanded(i, expanded);
            --syncing_;
          });
}

TVaveDataBase::~TVaveDataBase() {
  // The model refers to the tree; let it go first.
  setModel(nullptr);
  delete model_;
  model_ = nullptr;
}

void TVaveDataBase::ViewExpandedChanged(const QModelIndex &index, bool expanded) {
  if (syncing_)
    return;
  TProjectNode *node = TVaveTreeModel::NodeOf(index);
  if (!node)
    return;
  if (!expanded && OnCollapsing && !OnCollapsing(node)) {
    ++syncing_;
    setExpanded(index, true); // refused: put it back as it was
    --syncing_;
    return;
  }
  ++syncing_;
  tree_->SetExpanded(node, expanded);
  --syncing_;
  emit nodeExpandedChanged(node, expanded);
}

void TVaveDataBase::SyncExpandedFromTree() {
  ++syncing_;
  for (TProjectNode *n = tree_->GetFirstNode(); n; n = n->GetNext())
    if (n->HasChildren())
      setExpanded(IndexOf(n), n->Expanded());
  --syncing_;
}

void TVaveDataBase::ShowLoaded() {
  SyncExpandedFromTree();
  if (TProjectNode *select = tree_->SelectNode())
    SelectNode(select);
}

void TVaveDataBase::ClearTree() { tree_->ClearTree(); }

TProjectNode *TVaveDataBase::Selected() const {
  return TVaveTreeModel::NodeOf(selection_->currentIndex());
}

bool TVaveDataBase::SelectNode(TProjectNode *node) {
  QModelIndex i = IndexOf(node);
  selection_->setCurrentIndex(i, QItemSelectionModel::ClearAndSelect);
  if (i.isValid())
    scrollTo(i);
  return selection_->currentIndex() == i;
}

void TVaveDataBase::StartLabelEdit(TProjectNode *node) {
  QModelIndex i = IndexOf(node);
  if (!i.isValid())
    return;
  scrollTo(i);
  edit(i);
}

QLineEdit *TVaveDataBase::LabelEditor() const {
  if (state() != QAbstractItemView::EditingState)
    return nullptr;
  return qobject_cast<QLineEdit *>(indexWidget(currentIndex()) ? indexWidget(currentIndex())
                                                               : QApplication::focusWidget());
}

bool TVaveDataBase::IsEditingLabel() const { return LabelEditor() != nullptr; }

void TVaveDataBase::CommitLabelEdit() {
  if (QLineEdit *e = LabelEditor()) {
    commitData(e);
    closeEditor(e, QAbstractItemDelegate::NoHint);
  }
}

void TVaveDataBase::CopyTitle() {
  if (TProjectNode *n = Selected())
    QApplication::clipboard()->setText(ui::ToQString(n->Text()));
}

void TVaveDataBase::CutTitle() {
  // The whole label goes to the clipboard; the label itself stays, and the
  // editing goes on.
  TProjectNode *n = Selected();
  if (!n)
    return;
  QApplication::clipboard()->setText(ui::ToQString(n->Text()));
  if (QLineEdit *e = LabelEditor())
    e->setText(ui::ToQString(n->Text()));
}

void TVaveDataBase::PasteTitle() {
  QString text = QApplication::clipboard()->text();
  if (text.isEmpty() || !Selected())
    return;
  if (QLineEdit *e = LabelEditor())
    e->setText(text);
}

bool TVaveDataBase::SetAllExpanded(bool expanded) {
  TProjectNode *root = RootNode();
  if (!root)
    return false;
  bool changed = false;
  for (TProjectNode *n = root; n && !changed; n = n->GetNext())
    changed = expanded ? n->HasChildren() && !n->Expanded() : n != root && n->Expanded();
  if (!changed)
    return false;
  // Core first, then the view in one layout pass: item by item would lay the
  // view out again for every item of a big project.
  ++syncing_;
  setUpdatesEnabled(false);
  if (expanded) {
    tree_->SetExpandedRecursive(root, true);
    expandAll();
  } else {
    for (int i = 0; i < root->Count(); ++i)
      tree_->SetExpandedRecursive(root->Item(i), false);
    collapseAll();
    setExpanded(IndexOf(root), root->Expanded()); // the root never collapses
  }
  setUpdatesEnabled(true);
  --syncing_;
  return true;
}

// ------------------------------------------------------------- dragging ----

namespace {

const char *const kNodeMime = "application/x-orvane-tree-item";

// The drag manager puts the hot spot of a drag-cursor pixmap at its centre:
// give the "DRAGADD" cursor room so that its arrow tip lands there.
QPixmap DragAddPixmap() {
  const QCursor cursor = images::DragAddCursor();
  const QPixmap src = cursor.pixmap();
  const QPoint hot = cursor.hotSpot();
  const int side = 2 * std::max(src.width(), src.height());
  QPixmap pm(side, side);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.drawPixmap(side / 2 - hot.x(), side / 2 - hot.y(), src);
  return pm;
}

} // namespace

TVaveDataBase::TRowHit TVaveDataBase::HitTest(const QPoint &pos) const {
  TRowHit hit;
  const QModelIndex i = indexAt(pos);
  hit.Node = TVaveTreeModel::NodeOf(i);
  if (!hit.Node)
    return hit;
  // The visual rectangle of an item starts at its icon; what lies left of it
  // is its indentation, whose last step holds the expand button.
  const int labelLeft = visualRect(i).left();
  if (pos.x() < labelLeft) {
    hit.Area = TRowArea::Indentation;
    hit.OnButton = hit.Node->HasChildren() && pos.x() >= labelLeft - indentation();
  } else {
    hit.Area = TRowArea::Label;
  }
  return hit;
}

TVaveDataBase::TDropPlacement TVaveDataBase::DropPlacementAt(TProjectNode *dragged,
                                                             const QPoint &pos) const {
  const TRowHit hit = HitTest(pos);
  if (!dragged || !hit.Node || hit.Node == dragged)
    return {};
  if (hit.Node == RootNode())
    return {true, dragged, TNodeAttachMode::AddFirst};
  if (hit.Area == TRowArea::Indentation)
    return {true, hit.Node, TNodeAttachMode::AddChild};
  return {true, hit.Node, TNodeAttachMode::Insert};
}

TVaveDataBase::TDragFeedback TVaveDataBase::DragOverAt(const QPoint &pos) {
  const TDropPlacement drop = DropPlacementAt(Selected(), pos);
  if (!drop.Valid) {
    ShowDropTarget({}, false);
    return TDragFeedback::Refused;
  }
  const TRowHit hit = HitTest(pos);
  const QModelIndex i = IndexOf(hit.Node);
  if (hit.OnButton && !isExpanded(i))
    expand(i); // one level, through the view so the editor hears of it
  const bool asChild = drop.Mode == TNodeAttachMode::AddChild;
  ShowDropTarget(i, asChild);
  return asChild ? TDragFeedback::AddChild : TDragFeedback::Insert;
}

bool TVaveDataBase::DragScrollStep(const QPoint &pos) {
  const QModelIndex i = indexAt(pos);
  if (!i.isValid())
    return false;
  QScrollBar *bar = verticalScrollBar();
  const int before = bar->value();
  const QModelIndex top = indexAt(QPoint(0, 0));
  if (i == top && indexAbove(i).isValid()) {
    scrollTo(indexAbove(i), QAbstractItemView::PositionAtTop);
  } else {
    const QRect row = visualRect(i);
    if (row.top() + row.height() >= viewport()->height() && indexBelow(top).isValid())
      scrollTo(indexBelow(top), QAbstractItemView::PositionAtTop);
  }
  if (bar->value() == before)
    return false;
  viewport()->update();
  return true;
}

void TVaveDataBase::DropAt(const QPoint &pos) {
  ShowDropTarget({}, false);
  dragScrollTimer_.stop();
  TProjectNode *dragged = Selected();
  if (!dragged)
    return;
  const TDropPlacement drop = DropPlacementAt(dragged, pos);
  if (drop.Valid)
    emit nodeDropped(dragged, drop.Target, drop.Mode);
}

void TVaveDataBase::ShowDropTarget(const QModelIndex &target, bool asChild) {
  if (QModelIndex(dropTarget_) == target && dropAsChild_ == asChild)
    return;
  dropTarget_ = target;
  dropAsChild_ = asChild;
  viewport()->update();
}

void TVaveDataBase::mousePressEvent(QMouseEvent *event) {
  if (event->button() == Qt::LeftButton)
    DragOrigin = event->position().toPoint();
  QTreeView::mousePressEvent(event);
}

void TVaveDataBase::mouseMoveEvent(QMouseEvent *event) {
  if ((event->buttons() & Qt::LeftButton) && !dragging_ &&
      state() != QAbstractItemView::EditingState) {
    const QPoint d = event->position().toPoint() - DragOrigin;
    TProjectNode *node = Selected();
    // Only the selected item is dragged, and only from its own row: a press
    // elsewhere (an expand button, an empty area, a refused selection) drags
    // nothing.
    if ((std::abs(d.x()) > 4 || std::abs(d.y()) > 4) && node &&
        TVaveTreeModel::NodeOf(indexAt(DragOrigin)) == node && CanStartDrag && CanStartDrag(node)) {
      event->accept();
      StartNodeDrag(node);
      return;
    }
  }
  QTreeView::mouseMoveEvent(event);
}

void TVaveDataBase::StartNodeDrag(TProjectNode *node) {
  const QModelIndex i = IndexOf(node);
  auto *mime = new QMimeData;
  mime->setData(QString::fromLatin1(kNodeMime), QByteArray::fromStdString(node->Data()->ID));
  auto *drag = new QDrag(this);
  drag->setMimeData(mime);
  QRect row = visualRect(i);
  row.setWidth(std::min(row.width(), sizeHintForIndex(i).width()));
  row &= viewport()->rect();
  if (!row.isEmpty()) {
    drag->setPixmap(viewport()->grab(row));
    drag->setHotSpot(DragOrigin - row.topLeft());
  }
  drag->setDragCursor(DragAddPixmap(), Qt::LinkAction);
  dragging_ = true;
  setState(QAbstractItemView::DraggingState);
  drag->exec(Qt::MoveAction | Qt::LinkAction, Qt::MoveAction);
  dragging_ = false;
  setState(QAbstractItemView::NoState);
  dragScrollTimer_.stop();
  ShowDropTarget({}, false);
}

bool TVaveDataBase::IsOwnDrag(const QDropEvent *event) const {
  // Only items of this very tree: a node of another window's project must
  // never be moved into this one (the tree clipboard copies between projects).
  return dragging_ && event->source() == this &&
         event->mimeData()->hasFormat(QString::fromLatin1(kNodeMime));
}

void TVaveDataBase::dragEnterEvent(QDragEnterEvent *event) {
  if (!IsOwnDrag(event)) {
    event->ignore();
    return;
  }
  event->setDropAction(Qt::MoveAction);
  event->accept();
}

void TVaveDataBase::dragMoveEvent(QDragMoveEvent *event) {
  if (!IsOwnDrag(event)) {
    event->ignore();
    return;
  }
  dragPos_ = event->position().toPoint();
  if (DragScrollStep(dragPos_))
    dragScrollTimer_.start();
  switch (DragOverAt(dragPos_)) {
  case TDragFeedback::Refused:
    event->ignore();
    return;
  case TDragFeedback::AddChild:
    event->setDropAction(Qt::LinkAction); // the drag cursor of this action is "DRAGADD"
    break;
  case TDragFeedback::Insert:
    event->setDropAction(Qt::MoveAction);
    break;
  }
  event->accept();
}

void TVaveDataBase::dragLeaveEvent(QDragLeaveEvent *) {
  dragScrollTimer_.stop();
  ShowDropTarget({}, false);
}

void TVaveDataBase::dropEvent(QDropEvent *event) {
  if (!IsOwnDrag(event)) {
    event->ignore();
    return;
  }
  DropAt(event->position().toPoint());
  event->setDropAction(Qt::MoveAction);
  event->accept();
}

void TVaveDataBase::paintEvent(QPaintEvent *event) {
  QTreeView::paintEvent(event);
  if (!paintedItems_ && model_->rowCount() > 0) {
    paintedItems_ = true;
    // A start is timed from outside the process: when asked, the first paint
    // that shows items says so.
    static const bool tell = qEnvironmentVariableIsSet("ORVANE_TELL_TREE_PAINTED");
    if (tell) {
      std::fputs("orvane: tree painted\n", stderr);
      std::fflush(stderr);
    }
  }
  if (!dropTarget_.isValid())
    return;
  // Where the drop would go: a frame round the new parent, or a line above the
  // item the dragged one would stand before.
  QPainter p(viewport());
  p.setPen(QPen(palette().color(QPalette::Highlight), 2));
  QRect r = visualRect(dropTarget_);
  if (dropAsChild_) {
    r.setWidth(std::min(r.width(), sizeHintForIndex(dropTarget_).width()));
    p.drawRect(r.adjusted(1, 1, -1, -1));
  } else {
    p.drawLine(r.left(), r.top() + 1, r.right(), r.top() + 1);
  }
}
