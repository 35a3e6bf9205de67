// The recovery copy in the editor window: written after a pause in typing,
// gone once a store made it obsolete, kept at an end without questions, and
// offered back (restore, discard, decide later) at the next open.
#include "EditorFixture.h"
#include "EditorTestProject.h"

#include "editor/RecoveryCommands.h"
#include "editor/TreeCommands.h"
#include "ui/MessageBox.h"

#include <QPlainTextEdit>

namespace {

using Project = EditorTestProject;

struct Editor : OpenEditor {
  explicit Editor(const Project &p) : OpenEditor(p.Root(), {"tester", true}) {
    w->Recovery().SetPace(20, 200);
  }
  void Type(const QString &text) {
    QTest::keyClick(w->FileText(), Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClicks(w->FileText(), text);
  }
  bool HasEntry(const Project &p) const {
    return recovery::HasEntry(TRecoveryCommands::Root(), p.Root());
  }
};

// Typing into B and a new item below it; the tree is not saved.
void TypeAndAddItem(Editor &e) {
  QVERIFY(e.View()->SelectNode(FindItem(*e.w, "Root-C00002")));
  e.Type(QStringLiteral("typed"));
  QVERIFY(e.w->TreeCommands().CreateNewItem(false, false));
  e.Type(QStringLiteral("new text"));
}

} // namespace

class RecoveryWindowTest : public QObject {
  Q_OBJECT

private slots:

  void aPauseCopiesTheTypingAndAStoreRemovesTheCopy() {
    Project p;
    ui::ScriptedMessageBoxes boxes;
    Editor e(p);
    QVERIFY(e.View()->SelectNode(FindItem(*e.w, "Root-C00002")));
    e.Type(QStringLiteral("xyz"));
    QTRY_VERIFY(e.HasEntry(p));
    recovery::Entry entry;
    QVERIFY(recovery::Read(TRecoveryCommands::Root(), p.Root(), entry));
    QCOMPARE(entry.Items.size(), size_t(1));
    QVERIFY(entry.Items[0].Bytes.find("\r\nxyzbee\r\n") != std::string::npos);
    QVERIFY(!entry.HasTree());
    QCOMPARE(StoredItem(p, "b.txt").Body.Joined(), std::string("bee")); // the project untouched
    QVERIFY(e.View()->SelectNode(FindItem(*e.w, "Root-C00000")));       // B is stored
    QTRY_VERIFY(!e.HasEntry(p));
    QVERIFY(boxes.Asked().empty());
  }

  // Without auto-save the tree waits in the copy; the texts are stored. With
  // auto-save the tree is saved and no copy stays. Never a box.
  void theEndWithoutQuestionsKeepsEverything() {
    for (bool autoSave : {false, true}) {
      Project p;
      const QByteArray tree = p.dir.Read(QStringLiteral("MainTree.dat"));
      ui::ScriptedMessageBoxes boxes;
      {
        Editor e(p);
        e.w->Action(TEditorAction::AutoSaveMenu)->setChecked(autoSave);
        TypeAndAddItem(e);
        e.w->Recovery().EndWithoutQuestions();
        QCOMPARE(StoredItem(p, "b.txt").Body.Joined(), std::string("typedbee"));
        QCOMPARE(e.HasEntry(p), !autoSave);
        QCOMPARE(p.dir.Read(QStringLiteral("MainTree.dat")) == tree, !autoSave);
      }
      QVERIFY(boxes.Asked().empty());
      ui::ScriptedMessageBoxes restore({ui::MsgAnswer::Yes});
      Editor again(p);
      QCOMPARE(restore.Asked().size(), size_t(autoSave ? 0 : 1));
      QCOMPARE(again.Shape(), TestDir::Name(QStringLiteral(u"企画(A+(A1) B 新しいアイテム)")));
      QCOMPARE(again.w->TreeModified(), !autoSave);
      QVERIFY(again.w->FileText()->toPlainText() == QStringLiteral("new text"));
    }
  }

  void laterKeepsTheCopyDiscardRemovesItRestoreShowsIt() {
    Project p;
    {
      ui::ScriptedMessageBoxes none;
      Editor e(p);
      e.Type(QStringLiteral("unsaved "));
      e.w->Recovery().WriteNow();
      QVERIFY(e.w->Recovery().Flush());
    }
    struct Row {
      ui::MsgAnswer answer;
      bool kept;
      const char *shown;
    };
    for (const Row &row : {Row{ui::MsgAnswer::Cancel, true, "first line"},
                           Row{ui::MsgAnswer::Yes, true, "unsaved first line"},
                           Row{ui::MsgAnswer::No, false, "first line"}}) {
      ui::ScriptedMessageBoxes boxes({row.answer});
      Editor e(p);
      QCOMPARE(boxes.Asked().size(), size_t(1));
      QVERIFY(boxes.Asked()[0].text.startsWith(
          QString::fromUtf16(u"前回、保存されていない変更が残っています。")));
      QCOMPARE(boxes.Asked()[0].defaultButton, ui::MsgAnswer::Yes);
      QVERIFY(e.w->FileText()->toPlainText().startsWith(QLatin1String(row.shown)));
      QCOMPARE(e.HasEntry(p), row.kept);
      QCOMPARE(StoredItem(p, "a.txt").Body.Joined(), std::string("first line\nsecond line\nthird"));
    }
  }
};

ORVANE_WIDGET_TEST_MAIN(RecoveryWindowTest)
#include "RecoveryWindowTest.moc"
