// Typing as Japanese users type: input-method pre-edits and commits, keys and
// pastes into every kind of text field, with characters CP932 cannot hold.
// Nothing opens a window, no keystroke is lost, the rest of what was typed is
// kept, and a pre-edit lands in one widget only.
#include "EditorFixture.h"
#include "EditorTestProject.h"

#include "catalogue/ProjectControlForm.h"
#include "editor/FindCommands.h"
#include "ui/MessageBox.h"

#include <QClipboard>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QToolTip>

#include <functional>

namespace {

void Compose(QWidget *w, const QString &preedit) {
  QInputMethodEvent e(preedit, {});
  QApplication::sendEvent(w, &e);
}
void Commit(QWidget *w, const QString &text) {
  QInputMethodEvent e;
  e.setCommitString(text);
  QApplication::sendEvent(w, &e);
}
void Type(QWidget *w, const QString &text) {
  QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, text);
  QApplication::sendEvent(w, &press);
}
int VisibleWindows() {
  int n = 0;
  for (QWidget *t : QApplication::topLevelWidgets())
    n += t->isVisible() && !t->inherits("QTipLabel");
  return n;
}

// One text field of the program, open and focused, and how to read what it holds.
struct Field {
  QWidget *input = nullptr;
  std::function<QString()> text;
  std::function<QString()> notice; // what the user was told
};

} // namespace

class TextInputTest : public QObject {
  Q_OBJECT

private slots:
  void refusedCharactersAreDroppedWithoutAWindow_data() {
    QTest::addColumn<QString>("field");
    for (const char *row : {"item text", "label editor", "find key", "project name"})
      QTest::newRow(row) << QString::fromLatin1(row);
  }

  void refusedCharactersAreDroppedWithoutAWindow() {
    QFETCH(QString, field);
    EditorTestProject p;
    ui::ScriptedMessageBoxes boxes;
    OpenEditor editor(p.Root(), {"typist", true});
    TVaveMainForm *w = editor.w;
    TProjectControlForm form;
    auto status = [w] { return w->statusBar()->currentMessage(); };
    Field f;
    if (field == "item text") {
      w->FileText()->setFocus();
      w->FileText()->moveCursor(QTextCursor::End);
      f = {w->FileText(), [w] { return w->FileText()->toPlainText(); }, status};
    } else if (field == "label editor") {
      editor.View()->setFocus();
      QTest::keyClick(editor.View(), Qt::Key_F2);
      auto *edit = qobject_cast<QLineEdit *>(QApplication::focusWidget());
      QVERIFY(edit);
      edit->end(false);
      f = {edit, [edit] { return edit->text(); }, status};
    } else if (field == "find key") {
      editor.View()->setFocus();
      QTest::keyClick(editor.View(), Qt::Key_F, Qt::ControlModifier);
      QLineEdit *key = w->Find().Dialog()->KeyBox();
      key->clear();
      f = {key, [key] { return key->text(); }, [] { return QToolTip::text(); }};
    } else {
      form.show();
      QLineEdit *name = form.ProjectName();
      name->setFocus();
      name->clear();
      f = {name, [name] { return name->text(); }, [] { return QToolTip::text(); }};
    }
    const int windows = VisibleWindows();

    Compose(f.input, QStringLiteral(u"にほ"));
    Commit(f.input, QStringLiteral(u"日ゔ本")); // ゔ U+3094: not in CP932
    Type(f.input, QStringLiteral(u"😀"));
    Type(f.input, QStringLiteral(u"字")); // right after the refusal: not swallowed
    QVERIFY2(f.text().endsWith(QStringLiteral(u"日本字")), qPrintable(f.text()));
    QGuiApplication::clipboard()->setText(QStringLiteral(u"a♡b"));
    QTest::keyClick(f.input, Qt::Key_V, Qt::ControlModifier); // the label editor: the whole label
    QCoreApplication::processEvents();

    const QString kept =
        field == "label editor" ? QStringLiteral("ab") : QStringLiteral(u"日本字ab");
    QVERIFY2(f.text().endsWith(kept), qPrintable(f.text()));
    QVERIFY(f.notice().contains(QStringLiteral("U+2661"))); // the last one refused
    QVERIFY(boxes.Asked().empty());
    QCOMPARE(VisibleWindows(), windows);

    // Enter ends the edit with what was kept.
    QTest::keyClick(f.input, Qt::Key_Return);
    if (field == "label editor") {
      QTRY_VERIFY(editor.Find("ab")); // the delegate commits from the event loop
      QVERIFY(boxes.Asked().empty());
    } else if (field == "find key") {
      QCOMPARE(boxes.Asked().size(), 1u); // not found: the key as it was kept
      QVERIFY(boxes.Asked()[0].text.contains(QStringLiteral(u"\"日本字ab\"")));
    }
  }

  // Some input methods commit a pre-edit into the widget that had it when the
  // focus moves, and again into the widget that gets the focus.
  void aPreeditIsCommittedOnceWhenTheFocusMoves() {
    EditorTestProject p;
    ui::ScriptedMessageBoxes boxes;
    OpenEditor editor(p.Root(), {"typist", true});
    TVaveMainForm *w = editor.w;
    const QString before = w->FileText()->toPlainText();
    editor.View()->setFocus();
    QTest::keyClick(editor.View(), Qt::Key_F2);
    auto *label = qobject_cast<QLineEdit *>(QApplication::focusWidget());
    QVERIFY(label);
    label->selectAll();
    Compose(label, QStringLiteral(u"かな"));
    Commit(label, QStringLiteral(u"かな")); // what the focus change commits
    w->FileText()->setFocus(Qt::MouseFocusReason);
    Commit(w->FileText(), QStringLiteral(u"かな")); // the input method's second copy
    QCOMPARE(w->FileText()->toPlainText(), before);
    QVERIFY(editor.Find(TestDir::Name(QStringLiteral(u"かな"))));
    // What is typed next into the text is the user's own.
    Commit(w->FileText(), QStringLiteral(u"かな"));
    QVERIFY(w->FileText()->toPlainText().contains(QStringLiteral(u"かな")));
    QVERIFY(boxes.Asked().empty());
  }
};

ORVANE_WIDGET_TEST_MAIN(TextInputTest)
#include "TextInputTest.moc"
