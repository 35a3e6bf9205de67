#pragma once
// The wait cursor for the length of a scope: set on construction, taken back
// on destruction, also when the work in between throws.
#include <QApplication>
#include <QCursor>

namespace ui {

class BusyCursor {
public:
  BusyCursor() { QApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
  ~BusyCursor() { QApplication::restoreOverrideCursor(); }
  BusyCursor(const BusyCursor &) = delete;
  BusyCursor &operator=(const BusyCursor &) = delete;
};

} // namespace ui
