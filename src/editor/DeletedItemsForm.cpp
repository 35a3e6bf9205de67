#include "editor/DeletedItemsForm.h"

#include "ui/Text.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

TDeletedItemsForm::TDeletedItemsForm(const std::vector<TRestorable> &items, QWidget *parent)
    : QDialog(parent), items_(items) {
  setObjectName(QStringLiteral("DeletedItemsForm"));
  setWindowTitle(QStringLiteral(u"削除したアイテム"));
  auto *column = new QVBoxLayout(this);
  list_ = new QTreeWidget(this);
  list_->setObjectName(QStringLiteral("DeletedItemList"));
  list_->setRootIsDecorated(false);
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list_->setHeaderLabels({QStringLiteral(u"タイトル"), QStringLiteral(u"削除日時"),
                          QStringLiteral(u"サイズ"), QStringLiteral(u"1行め"),
                          QStringLiteral(u"ファイル")});
  for (size_t i = 0; i < items_.size(); ++i) {
    const TRestorable &r = items_[i];
    auto *row = new QTreeWidgetItem(
        list_, {ui::ToQString(r.title), ui::ToQString(r.deleted.ToString()),
                QString::number(r.size), ui::ToQString(r.firstLine), ui::PathToQString(r.name)});
    row->setData(0, Qt::UserRole, static_cast<qulonglong>(i));
    row->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
  }
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

std::vector<std::string> TDeletedItemsForm::Chosen() const {
  std::vector<std::string> names;
  for (int i = 0; i < list_->topLevelItemCount(); ++i)
    if (QTreeWidgetItem *row = list_->topLevelItem(i); row->isSelected())
      names.push_back(items_[row->data(0, Qt::UserRole).toULongLong()].name);
  return names;
}
