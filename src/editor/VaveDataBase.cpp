#include "editor/VaveDataBase.h"

#include "ui/ImageList.h"
#include "ui/Text.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>

// ---------------------------------------------------------------- model ----

TVaveTreeModel::TVaveTreeModel(TProjectTree *tree, QObject *parent)
    : QAbstractItemModel(parent), tree_(tree) {
  tree_->SetObserver(this);
}

TVaveTreeModel::~TVaveTreeModel() { tree_->SetObserver(nullptr); }

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
  if (LabelEdited)
    LabelEdited(node, value.toString());
  return true;
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

void TVaveTreeModel::Inserted(TProjectNode *) { endInsertRows(); }

void TVaveTreeModel::AboutToMove(TProjectNode *node, TProjectNode *newParent, int destRow) {
  beginMoveRows(IndexOf(node->Parent()), node->Index(), node->Index(), IndexOf(newParent),
                destRow);
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
  if (index != currentIndex() && Changing && !Changing(index))
    return;
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

TVaveDataBase::TVaveDataBase(QWidget *parent)
    : QTreeView(parent), tree_(std::make_unique<TProjectTree>()) {
  model_ = new TVaveTreeModel(tree_.get(), this);
  setModel(model_);
  selection_ = new TVaveSelectionModel(model_, this);
  setSelectionModel(selection_);
  setHeaderHidden(true);
  setRootIsDecorated(false); // no lines or button for the root item
  setIndentation(19);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
  setUniformRowHeights(true);

  tree_->OnNodeLoaded = [this](TProjectNode *node) {
    if (OnNodeLoaded)
      OnNodeLoaded(node);
  };
  connect(selection_, &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex &current, const QModelIndex &) {
            TProjectNode *node = TVaveTreeModel::NodeOf(current);
            tree_->SetSelected(node);
            if (OnChange)
              OnChange(node);
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
  if (OnExpandedChanged)
    OnExpandedChanged(node, expanded);
}

void TVaveDataBase::SyncExpandedFromTree() {
  ++syncing_;
  for (TProjectNode *n = tree_->GetFirstNode(); n; n = n->GetNext())
    if (n->HasChildren())
      setExpanded(IndexOf(n), n->Expanded());
  --syncing_;
}

bool TVaveDataBase::LoadProject(std::string_view dir) {
  bool loaded = tree_->LoadProject(dir);
  SyncExpandedFromTree();
  if (TProjectNode *select = tree_->SelectNode())
    SelectNode(select);
  return loaded;
}

bool TVaveDataBase::SaveProject() {
  tree_->SetSelected(Selected());
  return tree_->SaveProject();
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
