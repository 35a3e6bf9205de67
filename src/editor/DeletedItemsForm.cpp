#include "editor/DeletedItemsForm.h"

#include "ui/Text.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>

#include <map>

TDeletedItemsForm::TDeletedItemsForm(const std::vector<TRestorable> &items, QWidget *parent)
    : QDialog(parent), items_(items) {
  setObjectName(QStringLiteral("DeletedItemsForm"));
  setWindowTitle(QStringLiteral(u"削除したアイテム"));
  auto *column = new QVBoxLayout(this);
  list_ = new QTreeWidget(this);
  list_->setObjectName(QStringLiteral("DeletedItemList"));
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list_->setHeaderLabels({QStringLiteral(u"タイトル"), QStringLiteral(u"更新日時"),
                          QStringLiteral(u"サイズ"), QStringLiteral(u"1行め"),
                          QStringLiteral(u"ファイル")});
  // A parent comes before its children in the list.
  std::map<std::string, QTreeWidgetItem *> rows;
  for (size_t i = 0; i < items_.size(); ++i) {
    const TRestorable &r = items_[i];
    const QStringList texts{ui::ToQString(r.title), ui::ToQString(r.modified.ToString()),
                            QString::number(r.size), ui::ToQString(r.firstLine),
                            ui::PathToQString(r.name)};
    const auto up = rows.find(r.parent);
    auto *row = up != rows.end() ? new QTreeWidgetItem(up->second, texts)
                                 : new QTreeWidgetItem(list_, texts);
    rows[r.name] = row;
    row->setData(0, Qt::UserRole, static_cast<qulonglong>(i));
    row->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
  }
  list_->setRootIsDecorated(rows.size() > static_cast<size_t>(list_->topLevelItemCount()));
  list_->expandAll();
  list_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  column->addWidget(list_);
  auto *buttons = new QDialogButtonBox(this);
  restore_ = buttons->addButton(QStringLiteral(u"復元(&R)"), QDialogButtonBox::AcceptRole);
  restore_->setObjectName(QStringLiteral("RestoreButton"));
  restore_->setEnabled(false);
  buttons->addButton(QStringLiteral(u"閉じる"), QDialogButtonBox::RejectRole);
  column->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(list_, &QTreeWidget::itemSelectionChanged, this,
          [this] { restore_->setEnabled(!list_->selectedItems().isEmpty()); });
  connect(list_, &QTreeWidget::itemDoubleClicked, this, &QDialog::accept);
  resize(640, 320);
}

std::vector<TRestorable> TDeletedItemsForm::Chosen() const {
  std::vector<bool> chosen(items_.size());
  for (QTreeWidgetItemIterator it(list_); *it; ++it) {
    bool in = false;
    for (QTreeWidgetItem *row = *it; row && !in; row = row->parent())
      in = row->isSelected();
    chosen[(*it)->data(0, Qt::UserRole).toULongLong()] = in;
  }
  std::vector<TRestorable> out;
  for (size_t i = 0; i < items_.size(); ++i)
    if (chosen[i])
      out.push_back(items_[i]);
  return out;
}
