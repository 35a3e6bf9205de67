#pragma once
// The window of deleted items: every item file of the project no tree entry
// names, with its title, the date it was deleted (its file's time), its size
// and the first line of its text; the chosen ones are restored.
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
  // The names of the rows chosen, in list order.
  std::vector<std::string> Chosen() const;

private:
  std::vector<TRestorable> items_;
  QTreeWidget *list_ = nullptr;
  QPushButton *restore_ = nullptr;
};
