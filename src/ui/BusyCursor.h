#pragma once
// The hourglass for the length of a scope, restored on every way out,
// exceptions included.
#include <QApplication>

namespace ui {

class BusyCursor {
public:
  BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~BusyCursor() { QApplication::restoreOverrideCursor(); }
  BusyCursor(const BusyCursor &) = delete;
  BusyCursor &operator=(const BusyCursor &) = delete;
};

} // namespace ui
