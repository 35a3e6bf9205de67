// Window places from settings files: every window comes up wholly on the
// screen at a usable size, and a place the user did not change is stored
// back as the file had it. The offscreen platform has one screen.
#include "EditorFixture.h"
#include "EditorTestProject.h"

#include "attach/AttachmentForm.h"
#include "editor/ItemMemo.h"
#include "ui/ScreenFit.h"

#include <QGuiApplication>
#include <QScreen>
#include <QtTest>

namespace {

QRect Available() { return QGuiApplication::primaryScreen()->availableGeometry(); }

bool Usable(const QRect &r) {
  return Available().contains(r) &&
         r.width() >= std::min(ui::kMinWindowWidth, Available().width()) &&
         r.height() >= std::min(ui::kMinWindowHeight, Available().height());
}

// Writes the editor's and the attachment window's places into the project.
void SetPlaces(const std::string &dir, QRect editor, QRect attach) {
  TProjectTree tree;
  QVERIFY(tree.LoadProject(dir));
  TWindowData &w = tree.WindowData;
  w.Left = editor.left(), w.Top = editor.top(), w.Width = editor.width(),
  w.Height = editor.height();
  w.AttachLeft = attach.left(), w.AttachTop = attach.top(), w.AttachWidth = attach.width(),
  w.AttachHeight = attach.height();
  QVERIFY(tree.SaveTreeFile(dir + "MainTree.dat"));
}

void StoredPlaces(const std::string &dir, QRect &editor, QRect &attach) {
  TWindowData w;
  w.ReadSettings(dir + "MainTree.dat");
  editor = QRect(w.Left, w.Top, w.Width, w.Height);
  attach = QRect(w.AttachLeft, w.AttachTop, w.AttachWidth, w.AttachHeight);
}

} // namespace

class ScreenFitTest : public QObject {
  Q_OBJECT

private slots:
  void placesAreFittedOnTheScreen() {
    const QRect area = Available();
    QVERIFY(area.width() >= 640 && area.height() >= 400);
    // A place on the screen stays as it is.
    const QRect fine(area.left() + 50, area.top() + 40, 630, 350);
    QCOMPARE(ui::FitOnScreen(fine), fine);
    // Seen in a damaged file: above the screen and tiny.
    const QRect seen(1268, -131, 141, 166);
    QRect r = ui::FitOnScreen(seen);
    QVERIFY2(
        Usable(r),
        qPrintable(
            QStringLiteral("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height())));
    QCOMPARE(r.size(), QSize(ui::kMinWindowWidth, std::max(166, ui::kMinWindowHeight)));
    // Far away, negative or empty sizes, larger than the screen.
    for (QRect want : {QRect(-40000, 90000, 500, 300), QRect(100, 100, -5, 0),
                       QRect(area.right() - 10, area.bottom() - 10, 400, 300),
                       QRect(-100, -100, area.width() * 3, area.height() * 3),
                       QRect(INT_MAX / 2, INT_MIN / 2, 800, 600)}) {
      r = ui::FitOnScreen(want);
      QVERIFY2(
          Usable(r),
          qPrintable(
              QStringLiteral("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height())));
    }
    QCOMPARE(ui::FitOnScreen(QRect(-100, -100, area.width() * 3, area.height() * 3)), area);
  }

  void editorAndAttachmentWindowComeUpOnScreenAndKeepTheStoredPlace() {
    EditorTestProject p;
    const QRect editorWant(1268, -131, 141, 166), attachWant(-5000, 20000, 0, 0);
    SetPlaces(p.Root(), editorWant, attachWant);
    ui::ScriptedMessageBoxes boxes;
    OpenEditor editor;
    QPointer<TVaveMainForm> &w = editor.w;
    QVERIFY(w->OpenProjectDir(p.Root()));
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QVERIFY(Usable(w->geometry()));
    TAttachmentForm *attach = w->AttachmentWindow();
    QVERIFY(attach);
    QVERIFY(Usable(QRect(attach->pos(), attach->size())));

    // Only clamped: the file keeps what it said.
    QVERIFY(w->SaveProject());
    QRect editorStored, attachStored;
    StoredPlaces(p.Root(), editorStored, attachStored);
    QCOMPARE(editorStored, editorWant);
    QCOMPARE(attachStored, attachWant);

    // Moved and resized by the user: the new places are stored.
    const QRect moved(Available().left() + 30, Available().top() + 20, 500, 300);
    w->setGeometry(moved);
    attach->move(Available().left() + 60, Available().top() + 70);
    attach->resize(420, 260);
    QVERIFY(w->SaveProject());
    StoredPlaces(p.Root(), editorStored, attachStored);
    QCOMPARE(editorStored, w->geometry());
    QCOMPARE(attachStored, QRect(attach->pos(), QSize(420, 260)));
    delete w;
  }

  void aVeryLongLineIsShownWrappedButKeptWhole() {
    // Word wrap off: a text with a line over the cap is wrapped at the
    // memo's width, the switch stays off, and the text is the same.
    TItemMemo memo;
    memo.resize(400, 300);
    memo.show();
    memo.SetWordWrap(false);
    memo.ShowPlainText(QStringLiteral("short\nlines"));
    QCOMPARE(memo.lineWrapMode(), QPlainTextEdit::NoWrap);
    const QString longText = QStringLiteral("top\n") +
                             QString(TItemMemo::kUnwrappedLineCap + 1, QLatin1Char('x')) +
                             QStringLiteral("\nend");
    memo.ShowPlainText(longText);
    QCOMPARE(memo.lineWrapMode(), QPlainTextEdit::WidgetWidth);
    QVERIFY(!memo.WordWrap());
    QCOMPARE(memo.toPlainText(), longText);
    QCOMPARE(memo.document()->blockCount(), 3);
    memo.ShowPlainText(QString(TItemMemo::kUnwrappedLineCap, QLatin1Char('y')));
    QCOMPARE(memo.lineWrapMode(), QPlainTextEdit::NoWrap);
    memo.SetWordWrap(true);
    QCOMPARE(memo.lineWrapMode(), QPlainTextEdit::WidgetWidth);
  }

  // A window wholly behind another comes out beside it, on the area.
  void aWindowWhollyBehindAnotherComesOutBesideIt() {
    const QRect area(0, 0, 1600, 1000), own(300, 250, 300, 300);
    const struct {
      const char *name;
      QRect front, expected;
    } rows[] = {{"partly in sight", {400, 50, 800, 600}, own},
                {"room on the right", {50, 50, 800, 600}, {850, 250, 300, 300}},
                {"room below only", {0, 0, 1600, 600}, {300, 600, 300, 300}},
                {"no room: a corner", area, {0, 0, 300, 300}}};
    for (const auto &r : rows)
      QVERIFY2(ui::OutFromBehind(own, r.front, area) == r.expected, r.name);
  }
};

QTEST_MAIN(ScreenFitTest)
#include "ScreenFitTest.moc"
