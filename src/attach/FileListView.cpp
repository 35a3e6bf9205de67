#include "attach/FileListView.h"
#include "ui/Colours.h"
#include "ui/ReportList.h"

#include <QHeaderView>
#include <QListView>
#include <QStandardItemModel>
#include <QTreeView>

namespace {

// The list's own background (a light cream) with text that reads on it, and
// a selection that stays visible while another widget has the focus.
void StyleView(QAbstractItemView *v) {
  ui::UseOwnColours(v, QColor(251, 241, 213), true);
  v->setFrameShape(QFrame::NoFrame);
  v->setSelectionMode(QAbstractItemView::SingleSelection);
  v->setSelectionBehavior(QAbstractItemView::SelectRows);
  v->setEditTriggers(QAbstractItemView::NoEditTriggers);
  v->setDragDropMode(QAbstractItemView::NoDragDrop);
  v->setTextElideMode(Qt::ElideMiddle);
}

} // namespace

TFileListView::TFileListView(QWidget *parent)
    : QStackedWidget(parent), model_(new QStandardItemModel(0, 3, this)),
      iconView_(new QListView(this)), reportView_(new QTreeView(this)) {
  model_->setHorizontalHeaderLabels(
      {QStringLiteral(u"名前"), QStringLiteral(u"サイズ"), QStringLiteral(u"更新日時")});
  model_->setHeaderData(SizeColumn, Qt::Horizontal, int(Qt::AlignRight | Qt::AlignVCenter),
                        Qt::TextAlignmentRole);

  iconView_->setObjectName(QStringLiteral("FileListIcons"));
  iconView_->setModel(model_);
  StyleView(iconView_);

  reportView_->setObjectName(QStringLiteral("FileListReport"));
  reportView_->setModel(model_);
  reportView_->setSelectionModel(iconView_->selectionModel());
  StyleView(reportView_);
  ui::MakeFlatRows(reportView_);
  QHeaderView *h = reportView_->header();
  h->setSectionsClickable(false);
  h->setSectionsMovable(false);
  h->setStretchLastSection(false);
  reportView_->setColumnWidth(CaptionColumn, 150);
  reportView_->setColumnWidth(SizeColumn, 80);
  reportView_->setColumnWidth(DateColumn, 120);

  addWidget(iconView_);
  addWidget(reportView_);
  setCurrentWidget(reportView_);
  setFocusProxy(reportView_);

  for (QAbstractItemView *v :
       {static_cast<QAbstractItemView *>(iconView_), static_cast<QAbstractItemView *>(reportView_)})
    connect(v, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex &i) { emit rowDoubleClicked(i.row()); });
  connect(iconView_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          [this] { emit selectionChanged(); });
}

QAbstractItemView *TFileListView::activeView() const {
  return style_ == 3 ? static_cast<QAbstractItemView *>(reportView_) : iconView_;
}

void TFileListView::setViewStyle(int style) {
  if (style < 0 || style > 3)
    return;
  const bool hadFocus = activeView()->hasFocus();
  style_ = style;
  if (style != 3) {
    const bool large = style == 0;
    iconView_->setViewMode(large ? QListView::IconMode : QListView::ListMode);
    // IconMode makes items movable and the view a drop site; neither is wanted
    // (drops belong to the window).
    iconView_->setMovement(QListView::Static);
    iconView_->setDragEnabled(false);
    iconView_->viewport()->setAcceptDrops(false);
    iconView_->setFlow(style == 2 ? QListView::TopToBottom : QListView::LeftToRight);
    iconView_->setWrapping(true);
    iconView_->setResizeMode(QListView::Adjust);
    iconView_->setWordWrap(large);
    iconView_->setIconSize(large ? QSize(32, 32) : QSize(16, 16));
    iconView_->setGridSize(large ? QSize(96, 72) : QSize());
    iconView_->setSpacing(large ? 0 : 2);
  }
  setCurrentWidget(activeView());
  setFocusProxy(activeView());
  if (hadFocus)
    activeView()->setFocus();
}

int TFileListView::rowCount() const { return model_->rowCount(); }

std::string TFileListView::caption(int row) const {
  return model_->item(row, CaptionColumn)->data(CaptionRole).toByteArray().toStdString();
}

int TFileListView::setRow(int row, const std::string &caption, const QString &shownCaption,
                          const QIcon &icon, const QString &size, const QString &date) {
  if (row < 0 || row >= model_->rowCount()) {
    model_->appendRow({new QStandardItem, new QStandardItem, new QStandardItem});
    row = model_->rowCount() - 1;
  }
  QStandardItem *c = model_->item(row, CaptionColumn);
  c->setText(shownCaption);
  c->setToolTip(shownCaption);
  c->setIcon(icon);
  c->setData(QByteArray::fromStdString(caption), CaptionRole);
  QStandardItem *s = model_->item(row, SizeColumn);
  s->setText(size);
  s->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
  model_->item(row, DateColumn)->setText(date);
  // These widths are a minimum: a size or date that does not fit
  // widens its column rather than being cut off.
  const QFontMetrics fm(reportView_->font());
  for (auto [column, text] : {std::pair{int(SizeColumn), size}, std::pair{int(DateColumn), date}}) {
    const int needed = fm.horizontalAdvance(text) + 2 * fm.averageCharWidth();
    if (reportView_->columnWidth(column) < needed)
      reportView_->setColumnWidth(column, needed);
  }
  return row;
}

void TFileListView::removeRow(int row) { model_->removeRow(row); }

void TFileListView::clear() { model_->removeRows(0, model_->rowCount()); }

int TFileListView::selectedRow() const {
  const QModelIndexList rows = iconView_->selectionModel()->selectedRows();
  return rows.isEmpty() ? -1 : rows.front().row();
}

void TFileListView::selectRow(int row) {
  if (row < 0 || row >= model_->rowCount())
    return;
  QModelIndex i = model_->index(row, CaptionColumn);
  iconView_->selectionModel()->setCurrentIndex(i, QItemSelectionModel::ClearAndSelect |
                                                      QItemSelectionModel::Rows);
}

int TFileListView::findCaption(const std::string &caption) const {
  for (int r = 0; r < model_->rowCount(); ++r)
    if (this->caption(r) == caption)
      return r;
  return -1;
}
