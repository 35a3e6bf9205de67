// The recovery copy in the editor window: written after a pause in typing
// (an open label edit too), gone once a store made it obsolete, kept at an
// end without questions, offered back (restore, discard after a second
// question, decide later) at the next open, never over newer files, and
// every window protected by a copy of its own whatever was answered.
#include "EditorFixture.h"
#include "EditorTestProject.h"

#include "editor/RecoveryCommands.h"
#include "editor/TreeCommands.h"
#include "ui/MessageBox.h"
#include "ui/Text.h"

#include <QDir>
#include <QLineEdit>
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
  bool HasEntry(const Project &p) const { return !Copies(p).empty(); }
  static std::vector<recovery::Copy> Copies(const Project &p) {
    return recovery::CopiesOf(TRecoveryCommands::Root(), p.Root(),
                              recovery::IdentityOfDir(p.Root()), true);
  }
};

// The test projects are all one project to the copies (the same root file
// and creation time): each case starts without copies.
void ClearCopies() { QDir(ui::PathToQString(TRecoveryCommands::Root())).removeRecursively(); }

// A copy of typing into A, as a killed window leaves it.
void LeaveCopy(const Project &p, const QString &typed = QStringLiteral("unsaved ")) {
  ui::ScriptedMessageBoxes none({ui::MsgAnswer::Cancel, ui::MsgAnswer::Cancel});
  Editor e(p);
  e.Type(typed);
  e.w->Recovery().WriteNow();
  QVERIFY(e.w->Recovery().Flush());
}

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
  void init() { ClearCopies(); }

  void aPauseCopiesTheTypingAndAStoreRemovesTheCopy() {
    Project p;
    ui::ScriptedMessageBoxes boxes;
    Editor e(p);
    QVERIFY(e.View()->SelectNode(FindItem(*e.w, "Root-C00002")));
    e.Type(QStringLiteral("xyz"));
    QTRY_VERIFY(e.HasEntry(p));
    const recovery::Entry entry = Editor::Copies(p)[0].entry;
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
      ClearCopies();
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

  void laterKeepsTheCopyDiscardAsksAgainRestoreShowsIt() {
    Project p;
    LeaveCopy(p);
    struct Row {
      const char *name;
      std::initializer_list<ui::MsgAnswer> answers;
      bool kept;
      const char *shown;
    };
    for (const Row &row :
         {Row{"later", {ui::MsgAnswer::Cancel}, true, "first line"},
          Row{"restore", {ui::MsgAnswer::Yes}, true, "unsaved first line"},
          Row{"discard, then no", {ui::MsgAnswer::No, ui::MsgAnswer::No}, true, "first line"},
          Row{"discard", {ui::MsgAnswer::No, ui::MsgAnswer::Yes}, false, "first line"}}) {
      ui::ScriptedMessageBoxes boxes(row.answers);
      Editor e(p);
      QVERIFY2(boxes.Asked().size() == row.answers.size(), row.name);
      QVERIFY(boxes.Asked()[0].text.startsWith(
          QString::fromUtf16(u"前回、保存されていない変更が残っています。")));
      QVERIFY(boxes.Asked()[0].text.contains(QString::fromUtf16(u"アイテムの本文 1 件")));
      QCOMPARE(boxes.Asked()[0].defaultButton, ui::MsgAnswer::Yes);
      if (row.answers.size() > 1) // losing the copy is never the default
        QCOMPARE(boxes.Asked()[1].defaultButton, ui::MsgAnswer::No);
      QVERIFY2(e.w->FileText()->toPlainText().startsWith(QLatin1String(row.shown)), row.name);
      QCOMPARE(e.HasEntry(p), row.kept);
      QCOMPARE(StoredItem(p, "a.txt").Body.Joined(), std::string("first line\nsecond line\nthird"));
      if (QLatin1String(row.name) == QLatin1String("restore")) // the restored copy is now the
        QCOMPARE(Editor::Copies(p)[0].entry.Path, e.w->Recovery().OwnCopy()); // window's own
    }
  }

  // Decided later, the old copy stays as it was and the window still keeps
  // one of its own; both are offered at the next open.
  void aWindowLeftForLaterIsStillProtected() {
    Project p;
    LeaveCopy(p);
    const std::vector<recovery::Copy> first = Editor::Copies(p);
    LeaveCopy(p, QStringLiteral("more "));
    const std::vector<recovery::Copy> both = Editor::Copies(p);
    QCOMPARE(both.size(), size_t(2));
    QCOMPARE(both[0].entry.Items[0].Bytes, first[0].entry.Items[0].Bytes);
    ui::ScriptedMessageBoxes boxes({ui::MsgAnswer::Cancel, ui::MsgAnswer::Yes});
    Editor e(p);
    QCOMPARE(boxes.Asked().size(), size_t(2));
    QVERIFY(boxes.Asked()[1].text.contains(QStringLiteral("2 / 2")));
    QVERIFY(e.w->FileText()->toPlainText().startsWith(QLatin1String("more first line")));
  }

  // A copy older than the files is not put back unasked, and a copy that
  // holds only what the files hold is not offered at all.
  void staleCopiesAreNeverTakenForNewer() {
    Project p;
    LeaveCopy(p);
    {
      ui::ScriptedMessageBoxes later({ui::MsgAnswer::Cancel});
      Editor e(p);
      e.Type(QStringLiteral("saved "));
      QVERIFY(e.w->SaveProject());
      QVERIFY(e.w->close());
    }
    ui::ScriptedMessageBoxes boxes({ui::MsgAnswer::Cancel});
    Editor e(p);
    QVERIFY2(boxes.Asked().empty(), "the save made the older copy's text obsolete");
    QVERIFY(e.w->FileText()->toPlainText().startsWith(QLatin1String("saved first line")));
    QVERIFY(e.w->close());
    recovery::Entry same;
    same.Path = recovery::NewEntryPath(TRecoveryCommands::Root(), p.Root());
    same.Dir = p.Root();
    same.Items.push_back(
        {"Root-C00000", "a.txt", p.dir.Read(QStringLiteral("a.txt")).toStdString(), {}});
    QVERIFY(recovery::Write(TRecoveryCommands::Root(), same));
    ui::ScriptedMessageBoxes none;
    Editor again(p);
    QVERIFY(none.Asked().empty());
    QVERIFY(!again.HasEntry(p));
  }

  void anOpenLabelEditIsCopied() {
    Project p;
    ui::ScriptedMessageBoxes none;
    Editor e(p);
    QVERIFY(e.View()->SelectNode(FindItem(*e.w, "Root-C00002")));
    QTest::keyClick(e.View(), Qt::Key_F2);
    QTRY_VERIFY(e.View()->LabelEditor());
    QTest::keyClicks(e.View()->LabelEditor(), QStringLiteral("relabelled"));
    QTRY_VERIFY(e.HasEntry(p));
    QVERIFY(Editor::Copies(p)[0].entry.Items[0].Bytes.starts_with("Title:relabelled\r\n"));
  }

  // A damaged copy is told, kept aside, and the window writes a new one.
  void aDamagedCopyIsToldKeptAndReplacedByANewOne() {
    Project p;
    LeaveCopy(p);
    const std::string path = Editor::Copies(p)[0].entry.Path;
    QVERIFY(fsys::WriteFile(path, "OrvaneRecovery 1\r\nDir 999\r\n"));
    ui::ScriptedMessageBoxes boxes;
    Editor e(p);
    QCOMPARE(boxes.Asked().size(), size_t(1));
    QCOMPARE(boxes.Asked()[0].defaultButton, ui::MsgAnswer::Ok);
    QVERIFY(boxes.Asked()[0].text.contains(QString::fromUtf16(u"壊れて")));
    QVERIFY(!fsys::Exists(path) && fsys::Exists(path + ".aside"));
    e.Type(QStringLiteral("protected "));
    QTRY_VERIFY(!Editor::Copies(p).empty() && !Editor::Copies(p).back().damaged());
  }
};

ORVANE_WIDGET_TEST_MAIN(RecoveryWindowTest)
#include "RecoveryWindowTest.moc"
