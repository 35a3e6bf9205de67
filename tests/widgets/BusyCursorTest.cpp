// The busy cursor guard: the wait cursor while it lives, the previous cursor
// afterwards, also when the work throws.
#include "WidgetTestSupport.h"

#include "ui/BusyCursor.h"

#include <stdexcept>

class BusyCursorTest : public QObject {
  Q_OBJECT

private slots:
  void waitCursorForTheScopeEvenWhenItThrows() {
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    {
      ui::BusyCursor busy;
      QVERIFY(QApplication::overrideCursor());
      QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    }
    QCOMPARE(QApplication::overrideCursor(), nullptr);

    try {
      ui::BusyCursor busy;
      throw std::runtime_error("work failed");
    } catch (const std::runtime_error &) {
    }
    QCOMPARE(QApplication::overrideCursor(), nullptr);

    // Nested inside another override cursor: that one comes back.
    QApplication::setOverrideCursor(QCursor(Qt::CrossCursor));
    {
      ui::BusyCursor busy;
      QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    }
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::CrossCursor);
    QApplication::restoreOverrideCursor();
  }
};

ORVANE_WIDGET_TEST_MAIN(BusyCursorTest)
#include "BusyCursorTest.moc"
