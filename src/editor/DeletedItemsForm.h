#pragma once
// The window of deleted items: every item file of the project no tree entry
// names, with its title, its file's last change, its size and the first line
// of its text, below the one it stood below when that is known; the chosen
// ones are restored, each with what stands below it.
#include "store/DeletedItems.h"

#include <QDialog>

#include <string>
#include <vector>

class QTreeWidget;
class QPushButton;

class TDeletedItemsForm : public QDialog {
  Q_OBJECT
public:
  TDeletedItemsForm(const std::vector<TRestorable> &items, QWidget *parent);
  QTreeWidget *List() const { return list_; }
  // The rows chosen and those below them, in list order.
  std::vector<TRestorable> Chosen() const;

private:
  std::vector<TRestorable> items_;
  QTreeWidget *list_ = nullptr;
  QPushButton *restore_ = nullptr;
};
