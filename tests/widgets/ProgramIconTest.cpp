// The program's icon reaches the title bar of every window: set on the
// application as the program does at start, with the windows made afterwards.
#include "ui/ProgramIcon.h"
#include "WidgetTestSupport.h"
#include "attach/AttachmentForm.h"
#include "catalogue/AboutForm.h"
#include "catalogue/SelectThema.h"
#include "editor/VaveMain.h"
#include "store/RegIniFile.h"

#include <QLabel>
#include <QPointer>
#include <QWindow>

namespace {

const QList<QSize> kSizes = {{16, 16}, {22, 22},   {32, 32},  {48, 48},
                             {64, 64}, {128, 128}, {256, 256}};

} // namespace

class ProgramIconTest : public QObject {
  Q_OBJECT

  // The icon of the shown window as the window system is given it.
  static void CheckShownWithIcon(QWidget *w) {
    QVERIFY(w);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QVERIFY2(w->windowHandle() && !w->windowHandle()->icon().isNull(), qPrintable(w->objectName()));
    QCOMPARE(w->windowHandle()->icon().availableSizes(), kSizes);
  }

private slots:
  void everySizeIsBuiltIn() {
    const QIcon icon = ui::ProgramIcon();
    QCOMPARE(icon.availableSizes(), kSizes);
    for (const QSize &s : kSizes)
      QCOMPARE(icon.pixmap(s).size(), s);
    // A real drawing, not an empty square: the middle of the card is blue.
    const QImage image = icon.pixmap(QSize(64, 64)).toImage();
    QCOMPARE(image.pixelColor(8, 32), QColor(0x1e, 0x5a, 0xc8));
  }

  void everyWindowShowsIt() {
    QApplication::setWindowIcon(ui::ProgramIcon());
    TestDir root;
    {
      TRegIniFile reg;
      reg.WriteString("Main", "RootDir", root.Cp());
      QVERIFY(reg.UpdateFile());
    }
    TSelectThemaForm catalogue;
    CheckShownWithIcon(&catalogue);
    catalogue.AboutAction();
    CheckShownWithIcon(catalogue.AboutWindow());
    // The About box shows it too.
    QVERIFY(!catalogue.AboutWindow()
                 ->findChild<QLabel *>(QStringLiteral("ProgramIcon"))
                 ->pixmap()
                 .isNull());

    QPointer<TVaveMainForm> editor = new TVaveMainForm;
    editor->setAttribute(Qt::WA_DeleteOnClose, false);
    CheckShownWithIcon(editor);
    CheckShownWithIcon(editor->AttachmentWindow());
    delete editor;
  }
};

ORVANE_WIDGET_TEST_MAIN(ProgramIconTest)

#include "ProgramIconTest.moc"
