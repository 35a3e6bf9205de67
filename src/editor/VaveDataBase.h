#pragma once
// The item tree of an editor window: a QTreeView over the project's core tree.
// The core tree (store/ProjectTree.h) holds the items; TVaveTreeModel maps its
// change reports one to one onto Qt's model notifications, and every edit
// goes through the core, so there is one tree, not two kept in step.
#include "store/Project.h"

#include <QAbstractItemModel>
#include <QItemSelectionModel>
#include <QPersistentModelIndex>
#include <QTimer>
#include <QTreeView>

#include <functional>
#include <memory>

class QLineEdit;

class TVaveTreeModel : public QAbstractItemModel, public TTreeObserver {
  Q_OBJECT
public:
  // Mirrors the tree of `project`, hearing its changes through the project.
  explicit TVaveTreeModel(TProject *project, QObject *parent = nullptr);
  ~TVaveTreeModel() override;

  TProjectTree *Tree() const { return tree_; }
  QModelIndex IndexOf(const TProjectNode *node) const;
  static TProjectNode *NodeOf(const QModelIndex &index);

  // May the label of `node` be edited in place? (the editor's veto)
  std::function<bool(TProjectNode *)> CanEditLabel;
  // A label was edited in place: the editor decides what becomes of it;
  // false when it refused the text (setData then reports the failure).
  std::function<bool(TProjectNode *, const QString &)> LabelEdited;

  QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
  QModelIndex parent(const QModelIndex &child) const override;
  int rowCount(const QModelIndex &parent = {}) const override;
  int columnCount(const QModelIndex &parent = {}) const override;
  QVariant data(const QModelIndex &index, int role) const override;
  bool setData(const QModelIndex &index, const QVariant &value, int role) override;
  Qt::ItemFlags flags(const QModelIndex &index) const override;

signals:
  // The core changed a node's expanded flag; the view follows.
  void expandedChanged(const QModelIndex &index, bool expanded);

private:
  void AboutToInsert(TProjectNode *parent, int row) override;
  void Inserted(TProjectNode *node) override;
  void AboutToMove(TProjectNode *node, TProjectNode *newParent, int destRow) override;
  void Moved(TProjectNode *node, TProjectNode *oldParent, int oldRow) override;
  void AboutToRemove(TProjectNode *node) override;
  void Removed(TProjectNode *parent, int row) override;
  void DataChanged(TProjectNode *node, TNodeChange what) override;
  void AboutToReset() override;
  void Reset() override;

  TProject *project_;
  TProjectTree *tree_;
};

// Asks before the current item changes, whatever asks for the change (mouse,
// keyboard or code), and keeps the selection equal to the current item.
class TVaveSelectionModel : public QItemSelectionModel {
  Q_OBJECT
public:
  using QItemSelectionModel::QItemSelectionModel;
  // False refuses the change: the current item stays.
  std::function<bool(const QModelIndex &next)> Changing;

  void setCurrentIndex(const QModelIndex &index,
                       QItemSelectionModel::SelectionFlags command) override;
  void select(const QModelIndex &index, QItemSelectionModel::SelectionFlags command) override;
  void select(const QItemSelection &selection,
              QItemSelectionModel::SelectionFlags command) override;
};

class TVaveDataBase : public QTreeView {
  Q_OBJECT
public:
  // Shows `project`, which the window owns and keeps while the view lives.
  explicit TVaveDataBase(TProject &project, QWidget *parent = nullptr);
  ~TVaveDataBase() override;

  // The project shown; the view never owns a tree of its own.
  TProject &Project() { return project_; }
  const TProject &Project() const { return project_; }
  TProjectTree &Tree() { return project_.Tree(); }
  const TProjectTree &Tree() const { return project_.Tree(); }
  TVaveTreeModel *Model() const { return model_; }
  TVaveSelectionModel *Selection() const { return selection_; }

  // Shows a project just loaded with its saved expanded states, selecting
  // the node selected at the last save. The selection events run for that
  // selection as for any other.
  void ShowLoaded();
  void ClearTree();

  TProjectNode *RootNode() const { return project_.Root(); }
  TProjectNode *Selected() const;
  QModelIndex IndexOf(const TProjectNode *node) const { return model_->IndexOf(node); }
  // Selects `node` through the veto; false when the change was refused.
  bool SelectNode(TProjectNode *node);
  void StartLabelEdit(TProjectNode *node);
  bool IsEditingLabel() const;
  // The field of the label being edited in place; null when none is.
  QLineEdit *LabelEditor() const;
  // An open label editor hands its text to the model and closes; nothing
  // happens when none is open. Every way out of an edit calls this first.
  void CommitLabelEdit();

  // Title clipboard operations while a label is being edited in place.
  void CopyTitle();
  void CutTitle();
  void PasteTitle();

  // The editor's veto on a collapse: false refuses.
  std::function<bool(TProjectNode *node)> OnCollapsing;

  // Expanded states from the core tree onto the view, for the whole tree.
  void SyncExpandedFromTree();
  // Expands every item, or collapses every item but the root, in one pass over
  // core and view; true when any item changed.
  bool SetAllExpanded(bool expanded);

  // ---- moving items by dragging them inside the tree ------------------------
  // Where a viewport position falls on its item's row: the indentation left of
  // the icon (which holds the expand button of an item with children), or the
  // icon and label.
  enum class TRowArea { None, Indentation, Label };
  struct TRowHit {
    TProjectNode *Node = nullptr;
    TRowArea Area = TRowArea::None;
    bool OnButton = false; // over the expand button of an item with children
  };
  TRowHit HitTest(const QPoint &pos) const;

  // Where a drop at `pos` sends `dragged`: on the root, to the first place
  // among its own siblings; on an indentation, the last child of the item
  // there; elsewhere on a row, just before that item. Valid is false where
  // nothing can be dropped (no item, or the dragged item itself).
  struct TDropPlacement {
    bool Valid = false;
    TProjectNode *Target = nullptr;
    TNodeAttachMode Mode = TNodeAttachMode::Insert;
  };
  TDropPlacement DropPlacementAt(TProjectNode *dragged, const QPoint &pos) const;

  // A drag-over at `pos` with the selected item dragged: opens an item whose
  // expand button the pointer is over, and tells what the drag cursor shows
  // (AddChild: "DRAGADD" over an indentation).
  enum class TDragFeedback { Refused, AddChild, Insert };
  TDragFeedback DragOverAt(const QPoint &pos);
  // Scrolling while dragging: one row up when `pos` is on the top row and an
  // item is above it, one row down when its row reaches the bottom edge; true
  // when the tree scrolled.
  bool DragScrollStep(const QPoint &pos);
  // The drop of the selected item at `pos` (nothing when nothing is selected).
  void DropAt(const QPoint &pos);

  QPoint DragOrigin; // where the left button last went down
  // May the selected item be dragged? (the editor's veto; unset: no drags)
  std::function<bool(TProjectNode *dragged)> CanStartDrag;

signals:
  // A node's item file was read while the tree loaded.
  void nodeLoaded(TProjectNode *node);
  // The current item changed (after the editor allowed it).
  void currentNodeChanged(TProjectNode *current);
  // The user expanded or collapsed a node in the view.
  void nodeExpandedChanged(TProjectNode *node, bool expanded);
  // A drop: move `dragged` relative to `target` (the editor does it).
  void nodeDropped(TProjectNode *dragged, TProjectNode *target, TNodeAttachMode mode);

protected:
  void mousePressEvent(QMouseEvent *event) override;
  void mouseMoveEvent(QMouseEvent *event) override;
  void dragEnterEvent(QDragEnterEvent *event) override;
  void dragMoveEvent(QDragMoveEvent *event) override;
  void dragLeaveEvent(QDragLeaveEvent *event) override;
  void dropEvent(QDropEvent *event) override;
  void paintEvent(QPaintEvent *event) override;

private:
  void StartNodeDrag(TProjectNode *node);
  bool IsOwnDrag(const QDropEvent *event) const;
  void ShowDropTarget(const QModelIndex &target, bool asChild);
  void ViewExpandedChanged(const QModelIndex &index, bool expanded);

  TProject &project_;
  TProjectTree *tree_; // the project's
  TVaveTreeModel *model_;
  TVaveSelectionModel *selection_;
  int syncing_ = 0;                  // expanded states being copied between core and view
  bool dragging_ = false;            // a drag of ours is running
  QPoint dragPos_;                   // the last drag-over position
  QTimer dragScrollTimer_;           // keeps scrolling while the pointer rests on an edge row
  QPersistentModelIndex dropTarget_; // the row a drop would go to, outlined
  bool dropAsChild_ = false;
  bool paintedItems_ = false; // the first paint with items in it came
};
