// The find commands in a real editor window: keys as a user presses them,
// the modeless find dialog, scripted message boxes, real project files.
#include "EditorFixture.h"
#include "OutlineProject.h"
#include "WidgetTestSupport.h"

#include "editor/FindCommands.h"
#include "editor/VaveDataBase.h"
#include "editor/VaveMain.h"
#include "engine/MemoJump.h"
#include "ui/MessageBox.h"

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QRadioButton>

namespace {

// The outline's items with texts of their own: `bodies` by label, lines
// joined by '\n'.
struct Project : OutlineProject {
  Project(const std::string &outline, std::map<std::string, std::string> bodies)
      : OutlineProject(outline) {
    for (const auto &[label, body] : bodies) {
      TNodeFiles f;
      f.FilePath = dir.Cp(QString::fromStdString(label).toLower() + ".txt");
      if (!f.Open(true))
        qFatal("no item %s", label.c_str());
      f.Body = TTextLines::FromEditorText(body);
      (void)f.Save(); // one unwritten shows in the test's own checks
    }
  }
};

struct Editor : OpenEditor {
  explicit Editor(const Project &p) : OpenEditor(p.Root(), {"finder", true}) {}
  TFindDialog *Dialog() const { return w->Find().Dialog(); }
  TMemoJump &Jump() const { return w->MemoJump(); }
  void Key(int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : w.data(),
                    Qt::Key(key), mods);
  }
  // Ctrl+F or Ctrl+G, the key typed, the direction clicked, Enter.
  void Search(Qt::Key start, const QString &key, bool down) {
    w->activateWindow();
    View()->setFocus();
    QTest::keyClick(View(), start, Qt::ControlModifier);
    QVERIFY(Dialog()->isVisible());
    QLineEdit *box = Dialog()->KeyBox();
    box->selectAll();
    QTest::keyClicks(box, key);
    QTest::mouseClick(Dialog()->findChild<QRadioButton *>(down ? "DownButton" : "UpButton"),
                      Qt::LeftButton);
    QTest::keyClick(box, Qt::Key_Return);
    QVERIFY(!Dialog()->isVisible());
  }
  void Press(int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    w->FileText()->setFocus();
    QTest::keyClick(w->FileText(), Qt::Key(key), mods);
  }
  QString Selected() const { return w->FileText()->textCursor().selectedText(); }
  std::string Current() const { return w->CurrentNode() ? w->CurrentNode()->Text() : ""; }
};

QString NotFound(const QString &key) {
  return QStringLiteral(u"文字列\"") + key + QStringLiteral(u"\"は見つかりませんでした");
}

} // namespace

class FindCommandsTest : public QObject {
  Q_OBJECT

private slots:
  void findNextAndPriorNeedAKey() {
    Project p("R(A B)", {});
    Editor e(p);
    for (const char *menu : {"FindMenu", "FindPopMenu"}) {
      QMenu *m = e.w->Menu(menu);
      QVERIFY2(m, menu);
      emit m->aboutToShow();
      QVERIFY(m->actions().contains(e.w->Action(TEditorAction::FindNextAction)));
      QVERIFY(!e.w->Action(TEditorAction::FindNextAction)->isEnabled());
      QVERIFY(!e.w->Action(TEditorAction::FindPriorAction)->isEnabled());
    }
    e.Dialog()->SetFindText(QStringLiteral("x"));
    emit e.w->Menu("FindMenu")->aboutToShow();
    QVERIFY(e.w->Action(TEditorAction::FindNextAction)->isEnabled());
    QVERIFY(e.w->Action(TEditorAction::FindPriorAction)->isEnabled());
    QVERIFY(!e.w->Action(TEditorAction::SetTagFooterAction)->isEnabled());
  }

  void searchInTheItemReportsNotFoundAndRestoresTheCaret() {
    Project p("R(A B)", {{"A", "needle here\nmiddle\nend"}});
    ui::ScriptedMessageBoxes boxes;
    Editor e(p);
    e.Select("A");
    e.Jump().SetCaret(14); // on "middle"
    e.Search(Qt::Key_F, QStringLiteral("needle"), true);
    QCOMPARE(boxes.Asked().size(), size_t(1));
    QCOMPARE(boxes.Asked()[0].text, NotFound(QStringLiteral("needle")));
    QCOMPARE(boxes.Asked()[0].icon, ui::MsgIcon::Error);
    QCOMPARE(e.Jump().GetSelStart(), 14);
    QCOMPARE(e.Jump().GetSelLength(), 0);
    e.Search(Qt::Key_F, QStringLiteral("needle"), false);
    QCOMPARE(e.Selected(), QStringLiteral("needle"));
    QCOMPARE(boxes.Asked().size(), size_t(1));
    // F3 keeps the key and the mode; Shift+F3 goes up.
    e.Press(Qt::Key_F3);
    QCOMPARE(boxes.Asked().size(), size_t(2));
  }

  void searchInTheProjectNeverWraps() {
    Project p("R(A B(B1) C)", {{"A", "the key is here"}, {"C", "nothing"}});
    ui::ScriptedMessageBoxes boxes;
    Editor e(p);
    e.Select("B1");
    e.Search(Qt::Key_G, QStringLiteral("key"), true);
    QCOMPARE(boxes.Asked().size(), size_t(1));
    QCOMPARE(boxes.Asked()[0].text, NotFound(QStringLiteral("key")));
    QCOMPARE(e.Current(), std::string("B1")); // the start item again

    e.Search(Qt::Key_G, QStringLiteral("key"), false);
    QCOMPARE(e.Current(), std::string("A"));
    QCOMPARE(e.Selected(), QStringLiteral("key"));
    QCOMPARE(e.Jump().GetSelStart(), 4);
    QCOMPARE(e.w->StatusPanel(1)->text(), QStringLiteral("0 : 5")); // where the hit starts
    QCOMPARE(boxes.Asked().size(), size_t(1));
    QCOMPARE(e.w->StatusPanel(0)->text(), QString::fromStdString("ID:" + e.Find("A")->Data()->ID));
    // Upwards again from the hit: nothing above, not found, the hit kept.
    e.Press(Qt::Key_F3, Qt::ShiftModifier);
    QCOMPARE(boxes.Asked().size(), size_t(2));
    QCOMPARE(e.Current(), std::string("A"));
    QCOMPARE(e.Selected(), QStringLiteral("key"));
  }

  void tagJumpInTheItemStepsAndWrapsOnce() {
    Project p("R(A)", {{"A", "word one\nword two\nlast"}});
    ui::ScriptedMessageBoxes boxes;
    Editor e(p);
    e.Select("A");
    e.Jump().SetCaret(0);
    e.Press(Qt::Key_F5); // the word at the caret, found where it stands
    QCOMPARE(e.Selected(), QStringLiteral("word"));
    QCOMPARE(e.Jump().GetSelStart(), 0);
    e.Press(Qt::Key_F5); // the selection as key: the next one below
    QCOMPARE(e.Jump().GetSelStart(), 10);
    e.Press(Qt::Key_F5); // none below: once more from the top
    QCOMPARE(e.Jump().GetSelStart(), 0);
    QVERIFY(boxes.Asked().empty());
    QCOMPARE(e.w->Find().Mode(), 0); // find next now stays in the item

    // On a blank: an empty key, searched twice, reported with empty quotes.
    e.Jump().SetCaret(4);
    e.Press(Qt::Key_F5);
    QCOMPARE(boxes.Asked().size(), size_t(1));
    QCOMPARE(boxes.Asked()[0].text, NotFound(QString()));

    // A selection over two lines is the key, line break included.
    e.Jump().SetCaret(5);
    e.Jump().SelectFromCaret(8); // "one\r\nwor"
    e.Press(Qt::Key_F5);
    QCOMPARE(e.Dialog()->FindText(), QStringLiteral("one\r\nwor"));
    QCOMPARE(e.Jump().GetSelStart(), 5);
  }

  void tagJumpInTheProjectWalksAndWrapsToTheFirstItem() {
    Project p("R(A B C)", {{"R", "tag"}, {"A", "tag tag"}, {"C", "x tag"}});
    ui::ScriptedMessageBoxes boxes;
    Editor e(p);
    e.Select("A");
    e.Jump().SetCaret(0);
    std::vector<std::pair<std::string, int>> seen;
    for (int i = 0; i < 5; ++i) {
      e.Press(Qt::Key_F6);
      seen.emplace_back(e.Current(), e.Jump().GetSelStart());
      QCOMPARE(e.Selected(), QStringLiteral("tag"));
    }
    QCOMPARE(seen, (std::vector<std::pair<std::string, int>>{
                       {"A", 0}, {"A", 4}, {"C", 2}, {"R", 0}, {"A", 0}}));
    QVERIFY(boxes.Asked().empty());

    // A word nowhere else ends with the message instead of going round for ever.
    e.Select("B");
    e.Jump().SetCaret(0);
    e.Jump().SelectFromCaret(1); // "B"... of "B text"
    e.Dialog()->SetFindText(QString());
    e.w->FileText()->textCursor().clearSelection();
    e.Jump().SetCaret(1); // on the blank after "B": an empty key
    e.Press(Qt::Key_F6);
    QCOMPARE(boxes.Asked().size(), size_t(1));
    QCOMPARE(boxes.Asked()[0].text, NotFound(QString()));
    QCOMPARE(e.Current(), std::string("B"));
  }

  void aProjectSearchSeesTextNotYetStored() {
    Project p("R(A B)", {});
    ui::ScriptedMessageBoxes boxes;
    Editor e(p);
    e.Select("B");
    QTest::keyClicks(e.w->FileText(), "fresh ");
    e.Select("A");
    e.Jump().SetCaret(0);
    QTest::keyClicks(e.w->FileText(), "typed ");
    e.Search(Qt::Key_G, QStringLiteral("fresh"), true);
    QCOMPARE(e.Current(), std::string("B"));
    QCOMPARE(e.Selected(), QStringLiteral("fresh"));
    // The item left was stored on the way.
    TNodeFiles a;
    a.FilePath = p.dir.Cp("a.txt");
    QVERIFY(a.Open(true));
    QCOMPARE(a.Body.Joined(), std::string("typed A text"));
    QVERIFY(boxes.Asked().empty());
  }
};

ORVANE_WIDGET_TEST_MAIN(FindCommandsTest)
#include "FindCommandsTest.moc"
