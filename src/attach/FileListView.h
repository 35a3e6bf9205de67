#pragma once
// The attachment window's file list: one model of rows (caption, size, date)
// shown in one of four view styles, 0 large icons, 1 small icons, 2 list,
// 3 report. The first three are a QListView, the report a QTreeView; both
// share the model and the selection, so a row stays selected across styles.
#include <QStackedWidget>

#include <string>

class QAbstractItemView;
class QIcon;
class QListView;
class QStandardItemModel;
class QTreeView;

class TFileListView : public QStackedWidget {
  Q_OBJECT
public:
  enum Column { CaptionColumn = 0, SizeColumn = 1, DateColumn = 2 };
  // The caption's CP932 bytes (QByteArray) on the caption column, so that a
  // row is written back exactly as it was read.
  static constexpr int CaptionRole = Qt::UserRole + 1;

  explicit TFileListView(QWidget *parent = nullptr);

  QStandardItemModel *model() const { return model_; }
  QListView *iconView() const { return iconView_; }
  QTreeView *reportView() const { return reportView_; }
  QAbstractItemView *activeView() const;

  void setViewStyle(int style); // outside 0..3: no change
  int viewStyle() const { return style_; }

  int rowCount() const;
  std::string caption(int row) const;
  // Adds a row at the end, or replaces the cells of `row` when it is >= 0.
  int setRow(int row, const std::string &caption, const QString &shownCaption, const QIcon &icon,
             const QString &size, const QString &date);
  void removeRow(int row);
  void clear();
  // The selected row, or -1.
  int selectedRow() const;
  void selectRow(int row);
  // The first row whose caption is `caption` exactly, or -1.
  int findCaption(const std::string &caption) const;

signals:
  void rowDoubleClicked(int row);
  void selectionChanged();

private:
  QStandardItemModel *model_;
  QListView *iconView_;
  QTreeView *reportView_;
  int style_ = 3;
};
