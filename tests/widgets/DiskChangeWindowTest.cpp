// Item files written elsewhere while the editor holds them: by a second
// editor window on the same project, or by a plain write as a sync client or
// a text editor makes it. Whatever the user answers, both texts stay where
// the answer says.
#include "EditorFixture.h"
#include "EditorTestProject.h"

#include "editor/DiskWatch.h"
#include "editor/VaveDataBase.h"
#include "editor/VaveMain.h"
#include "store/FaultInjection.h"
#include "store/NodeFiles.h"
#include "store/Project.h"
#include "ui/MessageBox.h"

#include <QPlainTextEdit>
#include <QStatusBar>

#include <algorithm>
#include <cstdio>
#include <fstream>

namespace {

using Project = EditorTestProject;

TNodeFiles Stored(const Project &p, const char *file) { return StoredItem(p, file); }

std::string Bytes(const Project &p, const char *file) {
  std::ifstream in(p.dir.Cp(QString::fromLatin1(file)), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// An item file as another program writes it, in place.
void WriteElsewhere(const Project &p, const char *file, const std::string &title,
                    const std::string &text) {
  std::ofstream(p.dir.Cp(QString::fromLatin1(file)), std::ios::binary | std::ios::trunc)
      << "Title:" << title << "\r\nAuthor:other\r\n\r\n"
      << text << "\r\n";
}

// The same as a program that writes a new file and renames it over the old.
void ReplaceElsewhere(const Project &p, const char *file, const std::string &title,
                      const std::string &text) {
  const std::string temp = std::string(file) + ".part";
  WriteElsewhere(p, temp.c_str(), title, text);
  std::rename(p.dir.Cp(QString::fromLatin1(temp.c_str())).c_str(),
              p.dir.Cp(QString::fromLatin1(file)).c_str());
}

struct Editor : OpenEditor {
  explicit Editor(const Project &p) : OpenEditor(p.Root(), {"tester", true}) {}
  TVaveDataBase *Tree() const { return w->VaveDataBase(); }
  QPlainTextEdit *Memo() const { return w->FileText(); }
  void Select(const char *id) { QVERIFY(Tree()->SelectNode(FindItem(*w, id))); }
  void Type(const QString &text) {
    Memo()->setFocus();
    QTest::keyClicks(Memo(), text);
  }
  // Down on the tree, as a user leaves the item.
  void Leave() {
    Tree()->setFocus();
    QTest::keyClick(Tree(), Qt::Key_Down);
  }
  // Ctrl+S in this window, made the active one first.
  void Save() {
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w));
    QTest::keyClick(w, Qt::Key_S, Qt::ControlModifier);
  }
  std::string Body(const char *id) { return FindItem(*w, id)->Data()->Files.Body.Joined(); }
  // Types into the shown item A while another program writes its file;
  // the text on screen.
  std::string EditWhileWrittenElsewhere(const EditorTestProject &p) {
    Type(QStringLiteral("mine "));
    WriteElsewhere(p, "a.txt", "A", "theirs");
    return Memo()->toPlainText().toStdString();
  }
};

// The item texts of the project as a fresh load reads them, in tree order.
std::vector<std::string> ReopenedTexts(const Project &p) {
  TProject project;
  project.Load(p.Root());
  std::vector<std::string> texts;
  for (TProjectNode *n = project.Tree().GetFirstNode(); n; n = n->GetNext())
    texts.push_back(n->Text() + ": " + n->Data()->Files.Body.Joined());
  return texts;
}

bool Contains(const std::vector<std::string> &all, const std::string &text) {
  return std::find(all.begin(), all.end(), text) != all.end();
}

// Another editor adds item `title` to the project and saves its tree.
void AddItemElsewhere(const Project &p, const std::string &title) {
  TProject other;
  other.Load(p.Root());
  TProjectNode *n = other.Tree().AddChild(other.Tree().RootNode(), title);
  other.InitItem(*n->Data());
  n->Data()->Files.Title = title;
  n->Data()->Files.Body = {"text of " + title};
  if (!n->Data()->Files.Save() || !other.Save())
    qFatal("cannot write the other editor's change");
}

// Another editor deletes item `id` (its file stays) and saves its tree.
void RemoveItemElsewhere(const Project &p, const char *id) {
  TProject other;
  other.Load(p.Root());
  for (TProjectNode *n = other.Tree().GetFirstNode(); n; n = n->GetNext())
    if (n->Data()->ID == id) {
      other.Tree().Delete(n);
      break;
    }
  if (!other.Save())
    qFatal("cannot write the other editor's change");
}

// The title of a keep-both copy of the item titled `title`.
std::string CopyOf(const char *title) {
  return title + TestDir::Name(QString::fromUtf16(u"(この画面の版)"));
}

std::vector<std::string> Labels(const TProjectTree &tree) {
  std::vector<std::string> labels;
  for (TProjectNode *n = tree.GetFirstNode(); n; n = n->GetNext())
    labels.push_back(n->Text());
  return labels;
}

} // namespace

class DiskChangeWindowTest : public QObject {
  Q_OBJECT

private slots:

  // The question names the item and its file, and Enter or Escape keeps both.
  void theQuestionNamesItemAndFileAndDefaultsToKeepingBoth() {
    Project p;
    ui::ScriptedMessageBoxes boxes; // unanswered: dismissed, as Escape does
    Editor e(p);
    e.Type(QStringLiteral("mine "));
    WriteElsewhere(p, "a.txt", "A", "theirs");
    e.Leave();
    QCOMPARE(boxes.Asked().size(), size_t(1));
    const ui::MessageBoxRequest &asked = boxes.Asked()[0];
    QVERIFY(asked.text.contains(QString::fromUtf16(u"「A」")));
    QVERIFY(asked.text.contains(p.dir.Native(QStringLiteral("a.txt"))));
    QCOMPARE(asked.buttons, ui::MsgButtons::YesNoCancel);
    QCOMPARE(asked.defaultButton, ui::MsgAnswer::Cancel);
    QCOMPARE(ui::DismissAnswer(asked.buttons), ui::MsgAnswer::Cancel);
    QCOMPARE(asked.labels.size(), 3);
    QCOMPARE(asked.labels[2], QString::fromUtf16(u"両方残す(&B)"));
    QCOMPARE(Stored(p, "a.txt").Body.Joined(), std::string("theirs"));
  }

  void takingTheDiskVersionKeepsOwnTextOneUndoAway() {
    Project p;
    ui::ScriptedMessageBoxes boxes({ui::MsgAnswer::Yes});
    Editor e(p);
    e.Type(QStringLiteral("mine "));
    const QString own = e.Memo()->toPlainText();
    WriteElsewhere(p, "a.txt", "A from elsewhere", "theirs");
    e.Save();
    QCOMPARE(boxes.Asked().size(), size_t(1));
    QCOMPARE(Stored(p, "a.txt").Body.Joined(), std::string("theirs"));
    QCOMPARE(e.Memo()->toPlainText(), QStringLiteral("theirs"));
    QCOMPARE(FindItem(*e.w, "Root-C00000")->Text(), std::string("A from elsewhere"));
    QVERIFY(!e.w->MemoModified());
    QTest::keyClick(e.Memo(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(e.Memo()->toPlainText(), own);
    // Once taken, the file is the editor's again: the next store asks nothing.
    e.Leave();
    QCOMPARE(boxes.Asked().size(), size_t(1));
    QCOMPARE(Stored(p, "a.txt").Body.Joined(), own.toStdString());
  }

  void overwritingWritesOwnText() {
    Project p;
    ui::ScriptedMessageBoxes boxes({ui::MsgAnswer::No});
    Editor e(p);
    const std::string own = e.EditWhileWrittenElsewhere(p);
    e.Leave();
    QCOMPARE(boxes.Asked().size(), size_t(1));
    QCOMPARE(Stored(p, "a.txt").Body.Joined(), own);
    QCOMPARE(e.w->CurrentNode(), FindItem(*e.w, "Root-C00002")); // moved on to B
  }

  void keepingBothPutsOwnTextInANewItemBelow() {
    Project p;
    ui::ScriptedMessageBoxes boxes({ui::MsgAnswer::Cancel});
    Editor e(p);
    const std::string own = e.EditWhileWrittenElsewhere(p);
    e.Leave();
    QCOMPARE(boxes.Asked().size(), size_t(1));
    TProjectNode *a = FindItem(*e.w, "Root-C00000");
    TProjectNode *copy = a->GetNextSibling();
    QVERIFY(copy && copy->Data()->ID != "Root-C00002");
    QCOMPARE(copy->Text(), CopyOf("A"));
    QCOMPARE(copy->Data()->Files.Body.Joined(), own);
    QCOMPARE(a->Data()->Files.Body.Joined(), std::string("theirs"));
    QCOMPARE(Stored(p, "a.txt").Body.Joined(), std::string("theirs"));
    // The selection went where Down pointed before the item was added.
    QCOMPARE(e.w->CurrentNode(), FindItem(*e.w, "Root-C00002"));
    QVERIFY(e.w->TreeModified());
    e.Save();
    const auto texts = ReopenedTexts(p);
    QVERIFY(Contains(texts, "A: theirs"));
    QVERIFY(Contains(texts, CopyOf("A") + ": " + own));
  }

  // Keeping both on a full disk: the new item cannot be written, the text
  // stays on screen, and the next store asks again.
  void keepingBothOnAFullDiskAsksAgain() {
    Project p;
    ui::ScriptedMessageBoxes boxes(
        {ui::MsgAnswer::Cancel, ui::MsgAnswer::Ok, ui::MsgAnswer::Cancel});
    Editor e(p);
    e.Type(QStringLiteral("mine "));
    const QString own = e.Memo()->toPlainText();
    WriteElsewhere(p, "a.txt", "A", "theirs");
    // The first write is of the item itself, refused at its check.
    fsys::fault::Arm({fsys::fault::Call::Write, 2, ENOSPC, true});
    e.Leave();
    fsys::fault::Disarm();
    QCOMPARE(boxes.Asked().size(), size_t(2));
    QCOMPARE(boxes.Asked()[1].icon, ui::MsgIcon::Error);
    QCOMPARE(e.w->CurrentNode(), FindItem(*e.w, "Root-C00000"));
    QCOMPARE(e.Memo()->toPlainText(), own);
    e.Leave();
    QCOMPARE(boxes.Asked().size(), size_t(3));
    e.Save();
    const auto texts = ReopenedTexts(p);
    QVERIFY(Contains(texts, "A: theirs"));
    QVERIFY(Contains(texts, CopyOf("A") + ": " + own.toStdString()));
  }

  // Only the caret moved: the version on disk is taken without a question.
  void anUnchangedItemTakesTheDiskVersionSilently() {
    Project p;
    ui::ScriptedMessageBoxes boxes;
    Editor e(p);
    e.Memo()->setFocus();
    QTest::keyClick(e.Memo(), Qt::Key_End);
    WriteElsewhere(p, "a.txt", "A again", "theirs");
    e.Leave();
    QVERIFY(boxes.Asked().empty());
    QCOMPARE(Bytes(p, "a.txt"), std::string("Title:A again\r\nAuthor:other\r\n\r\ntheirs\r\n"));
    QCOMPARE(e.Body("Root-C00000"), std::string("theirs"));
    QCOMPARE(FindItem(*e.w, "Root-C00000")->Text(), std::string("A again"));
    QVERIFY(!e.w->TreeModified());
  }

  // A file deleted elsewhere is made again only when it holds edits and the
  // user says so; else the item is marked in the status bar.
  void aDeletedItemFileIsNotRecreatedUnasked() {
    {
      Project p;
      ui::ScriptedMessageBoxes boxes;
      Editor e(p);
      std::remove(p.dir.Cp(QStringLiteral("a.txt")).c_str());
      e.Save();
      QVERIFY(boxes.Asked().empty());
      QVERIFY(!fsys::Exists(p.dir.Cp(QStringLiteral("a.txt"))));
      QVERIFY(e.w->statusBar()->currentMessage().contains(QString::fromUtf16(u"削除")));
      e.Leave();
      QVERIFY(e.w->statusBar()->currentMessage().isEmpty());
    }
    {
      Project p;
      ui::ScriptedMessageBoxes boxes({ui::MsgAnswer::No});
      Editor e(p);
      e.Type(QStringLiteral("mine "));
      std::remove(p.dir.Cp(QStringLiteral("a.txt")).c_str());
      e.Leave();
      QCOMPARE(boxes.Asked().size(), size_t(1));
      QCOMPARE(boxes.Asked()[0].defaultButton, ui::MsgAnswer::Yes); // the answer that keeps
      QVERIFY(!fsys::Exists(p.dir.Cp(QStringLiteral("a.txt"))));
    }
    {
      Project p;
      ui::ScriptedMessageBoxes boxes({ui::MsgAnswer::Yes});
      Editor e(p);
      e.Type(QStringLiteral("mine "));
      const std::string own = e.Memo()->toPlainText().toStdString();
      std::remove(p.dir.Cp(QStringLiteral("a.txt")).c_str());
      e.Leave();
      QCOMPARE(Stored(p, "a.txt").Body.Joined(), own);
    }
  }

  // Declined, the text stays in memory and the close asks again, with the
  // answer that keeps it as the default; staying keeps it on screen.
  void aDeclinedRecreationIsAskedAgainAtClose() {
    using A = ui::MsgAnswer;
    struct Row {
      const char *name;
      bool leftFirst; // moved on to B (and said "no") before the close
      A atClose;
    };
    for (const Row &row :
         {Row{"left, made again", true, A::Yes}, Row{"left, stay", true, A::Cancel},
          Row{"shown, let go", false, A::No}}) {
      Project p;
      ui::ScriptedMessageBoxes boxes(row.leftFirst
                                         ? std::initializer_list{A::No, row.atClose, A::Yes}
                                         : std::initializer_list{row.atClose, A::Yes});
      Editor e(p);
      e.Type(QStringLiteral("mine "));
      const QString own = e.Memo()->toPlainText();
      std::remove(p.dir.Cp(QStringLiteral("a.txt")).c_str());
      if (row.leftFirst)
        e.Leave();
      e.w->close();
      const size_t atClose = row.leftFirst ? 1 : 0;
      QVERIFY2(boxes.Asked().size() > atClose, row.name);
      QVERIFY(boxes.Asked()[atClose].text.contains(p.dir.Native(QStringLiteral("a.txt"))));
      QCOMPARE(boxes.Asked()[atClose].defaultButton, A::Yes);
      if (row.atClose != A::Cancel) {
        QTRY_VERIFY2(!e.w, row.name);
        QCOMPARE(fsys::Exists(p.dir.Cp(QStringLiteral("a.txt"))), row.atClose == A::Yes);
        if (row.atClose == A::Yes)
          QCOMPARE(Stored(p, "a.txt").Body.Joined(), own.toStdString());
        continue;
      }
      QVERIFY(e.w && !fsys::Exists(p.dir.Cp(QStringLiteral("a.txt"))));
      QTest::keyClick(e.Tree(), Qt::Key_Up); // back to A
      QCOMPARE(e.Memo()->toPlainText(), own);
    }
  }

  // Texts only this window holds end in the tree that is on disk after the
  // answer: a keep-both copy at a close without saving, and during a reload;
  // the shown item another program took out of the tree.
  void textsOnlyThisWindowHoldsStayInTheTreeOnDisk() {
    for (const char *row : {"copy, close unsaved", "copy, reload", "shown item, reload"}) {
      const std::string name = row;
      Project p;
      ui::ScriptedMessageBoxes boxes(
          name == "copy, close unsaved"
              ? std::initializer_list{ui::MsgAnswer::Cancel, ui::MsgAnswer::No}
              : std::initializer_list{ui::MsgAnswer::Yes, ui::MsgAnswer::Cancel});
      Editor e(p);
      e.Type(QStringLiteral("mine "));
      const std::string own = e.Memo()->toPlainText().toStdString();
      std::string kept = CopyOf("A") + ": " + own;
      if (name == "shown item, reload") {
        RemoveItemElsewhere(p, "Root-C00000");
        kept = "A: " + own;
      } else {
        WriteElsewhere(p, "a.txt", "A", "theirs");
      }
      if (name == "copy, reload")
        AddItemElsewhere(p, "C");
      if (name == "copy, close unsaved") {
        e.w->close();
        QTRY_VERIFY2(!e.w, row);
      } else {
        e.w->DiskWatch().SweepNow();
        QVERIFY2(!e.w->TreeModified(), row);
        QCOMPARE(e.w->CurrentNode()->Text(), std::string("A"));
        if (name == "copy, reload") // beside its original, as before the reload
          QCOMPARE(FindItem(*e.w, "Root-C00000")->GetNextSibling()->Text(), CopyOf("A"));
      }
      QVERIFY2(Contains(ReopenedTexts(p), kept), row);
    }
  }

  // The disk full once the question of the tree file changed elsewhere is
  // answered: reloaded with a keep-both copy, or both trees kept below a new
  // item. The save is no success, its message names the file that failed,
  // and the copy is still owed to the tree on disk at the close.
  void aSaveThatFailsAfterTheTreeQuestionIsTold() {
    for (ui::MsgAnswer answer : {ui::MsgAnswer::Yes, ui::MsgAnswer::Cancel}) {
      Project p;
      ui::ScriptedMessageBoxes boxes(
          {ui::MsgAnswer::Cancel, answer, ui::MsgAnswer::Ok, ui::MsgAnswer::No});
      const ui::MessageBoxHook scripted = ui::SetMessageBoxHook({});
      ui::SetMessageBoxHook([&](const ui::MessageBoxRequest &r) { // the disk full from here
        if (r.text.contains(QString::fromUtf16(u"のツリーファイル")))
          fsys::fault::Arm({fsys::fault::Call::Write, 1, ENOSPC, true});
        return scripted(r);
      });
      Editor e(p);
      const std::string own = e.EditWhileWrittenElsewhere(p);
      e.Leave();
      AddItemElsewhere(p, "C");
      e.Save();
      fsys::fault::Disarm();
      ui::SetMessageBoxHook(scripted);
      QCOMPARE(boxes.Asked().size(), size_t(3));
      const ui::MessageBoxRequest &told = boxes.Asked()[2];
      QVERIFY(told.icon == ui::MsgIcon::Error &&
              told.text.contains(QString::fromUtf16(u"ツリーファイルを保存できません")));
      if (answer == ui::MsgAnswer::Cancel) { // the holder item's file, by its name
        QVERIFY2(told.text.contains(QStringLiteral(".txt")), qPrintable(told.text));
      } else {
        QVERIFY(e.w->TreeModified());
        e.w->close();
        QTRY_VERIFY(!e.w);
        QVERIFY(Contains(ReopenedTexts(p), CopyOf("A") + ": " + own));
      }
    }
  }

  // A tree file written elsewhere that no load can use: the window keeps its
  // tree and edits, says why, and the next save writes its tree.
  void anUnreadableTreeFileKeepsTheWindowsTree() {
    const std::pair<const char *, const char *> rows[] = {
        {"no root", "ルート"}, {"[Root]\r\nFileName=gone.txt\r\n", "gone.txt"}};
    for (const auto &[tree, why] : rows) {
      Project p;
      ui::ScriptedMessageBoxes boxes;
      Editor e(p);
      e.Type(QStringLiteral("mine "));
      const std::string own = e.Memo()->toPlainText().toStdString();
      p.dir.Write(QStringLiteral("MainTree.dat"), tree);
      e.w->DiskWatch().SweepNow();
      QCOMPARE(boxes.Asked().size(), size_t(1));
      QVERIFY(boxes.Asked()[0].text.contains(p.dir.Native(QStringLiteral("MainTree.dat"))));
      QVERIFY2(boxes.Asked()[0].text.contains(QString::fromUtf8(why)), tree);
      QVERIFY(e.Find("B") && e.Memo()->toPlainText().toStdString() == own);
      e.Save();
      QCOMPARE(boxes.Asked().size(), size_t(1));
      QVERIFY(Contains(ReopenedTexts(p), "A: " + own));
    }
  }

  // The tree file saved by another editor meanwhile: the question, and what
  // each answer leaves on disk and in the window.
  void aTreeFileChangedElsewhereIsNotOverwrittenUnasked() {
    {
      Project p;
      ui::ScriptedMessageBoxes boxes({ui::MsgAnswer::Yes});
      Editor e(p);
      AddItemElsewhere(p, "C");
      e.Save();
      QCOMPARE(boxes.Asked().size(), size_t(1));
      const ui::MessageBoxRequest &asked = boxes.Asked()[0];
      QVERIFY(asked.text.contains(p.dir.Native(QStringLiteral("MainTree.dat"))));
      QCOMPARE(asked.defaultButton, ui::MsgAnswer::Cancel);
      QCOMPARE(asked.labels[0], QString::fromUtf16(u"プロジェクトを読み込み直す(&R)"));
      QVERIFY2(e.Find("C"), "reloaded");
      QCOMPARE(e.w->CurrentNode(), FindItem(*e.w, "Root-C00000")); // the shown item stays
      QVERIFY(!e.w->TreeModified());
      QVERIFY(Contains(ReopenedTexts(p), "C: text of C"));
    }
    {
      Project p;
      ui::ScriptedMessageBoxes boxes({ui::MsgAnswer::No});
      Editor e(p);
      AddItemElsewhere(p, "C");
      const std::string theirs = Bytes(p, "MainTree.dat");
      e.Save();
      QCOMPARE(boxes.Asked().size(), size_t(1));
      QVERIFY(!e.Find("C"));
      QCOMPARE(Bytes(p, "MainTree.dat.ord"), theirs); // the overwritten tree is the backup
      QVERIFY(!Contains(ReopenedTexts(p), "C: text of C"));
    }
    {
      Project p;
      ui::ScriptedMessageBoxes boxes({ui::MsgAnswer::Cancel});
      Editor e(p);
      e.Tree()->setFocus();
      QTest::keyClick(e.Tree(), Qt::Key_I, Qt::ControlModifier); // a new item here
      e.Type(QStringLiteral("only here"));
      AddItemElsewhere(p, "C");
      e.Save();
      QCOMPARE(boxes.Asked().size(), size_t(1));
      QVERIFY(e.Find("C"));
      TProjectNode *holder =
          e.Find(TestDir::Name(QString::fromUtf16(u"このウィンドウにだけあったアイテム")));
      QVERIFY(holder && holder->Count() == 1);
      QCOMPARE(holder->Item(0)->Data()->Files.Body.Joined(), std::string("only here"));
      QVERIFY2(!e.w->TreeModified(), "saved with both");
      TProject reopened;
      reopened.Load(p.Root());
      const auto labels = Labels(reopened.Tree());
      QVERIFY(Contains(labels, "C"));
      QVERIFY(Contains(labels, TestDir::Name(QString::fromUtf16(u"新しいアイテム"))));
      QVERIFY(Contains(ReopenedTexts(p),
                       TestDir::Name(QString::fromUtf16(u"新しいアイテム")) + ": only here"));
    }
  }

  // Written elsewhere while nothing is being edited: the window shows the
  // new versions without a question, the caret where it was.
  void unmodifiedItemsFollowTheirFilesSilently() {
    Project p;
    ui::ScriptedMessageBoxes boxes;
    Editor e(p);
    e.w->DiskWatch().SetStepMilliseconds(50);
    const int line = e.w->MemoJump().CaretLine();
    // In place, to the shown item's file.
    WriteElsewhere(p, "a.txt", "A", "one\r\ntwo\r\nthree");
    QTRY_COMPARE(e.Memo()->toPlainText(), QStringLiteral("one\ntwo\nthree"));
    QCOMPARE(e.w->MemoJump().CaretLine(), line);
    QVERIFY(!e.w->MemoModified());
    // By a rename, to an item not shown.
    ReplaceElsewhere(p, "b.txt", "B", "bee again");
    QTRY_COMPARE(e.Body("Root-C00002"), std::string("bee again"));
    // In place, to an item not shown: only the slow sweep sees it.
    WriteElsewhere(p, "a1.txt", "A1 renamed", "a1 again");
    QTRY_COMPARE(FindItem(*e.w, "Root-C00001")->Text(), std::string("A1 renamed"));
    QVERIFY(boxes.Asked().empty());
    QVERIFY(!e.w->TreeModified());
    // Deleted: marked, not made again by the next save.
    std::remove(p.dir.Cp(QStringLiteral("a.txt")).c_str());
    QTRY_VERIFY(e.w->statusBar()->currentMessage().contains(QString::fromUtf16(u"削除")));
    e.Save();
    QVERIFY(!fsys::Exists(p.dir.Cp(QStringLiteral("a.txt"))));
    QVERIFY(boxes.Asked().empty());
  }

  // An item with unsaved edits keeps them on screen; the write asks.
  void anEditedItemIsLeftToTheQuestionBeforeItsWrite() {
    Project p;
    ui::ScriptedMessageBoxes boxes({ui::MsgAnswer::Cancel});
    Editor e(p);
    e.w->DiskWatch().SetStepMilliseconds(20);
    e.Type(QStringLiteral("mine "));
    const QString own = e.Memo()->toPlainText();
    WriteElsewhere(p, "a.txt", "A", "theirs");
    e.w->DiskWatch().SweepNow();
    QTest::qWait(200);
    QCOMPARE(e.Memo()->toPlainText(), own);
    QVERIFY(boxes.Asked().empty());
    e.Leave();
    QCOMPARE(boxes.Asked().size(), size_t(1));
    const auto texts = ReopenedTexts(p);
    QVERIFY(Contains(texts, "A: theirs"));
  }

  // The tree file saved elsewhere: a reload is offered when this window's
  // tree has no changes of its own, else the save settles it.
  void aTreeFileSavedElsewhereOffersAReload() {
    {
      Project p;
      ui::ScriptedMessageBoxes boxes({ui::MsgAnswer::Yes});
      Editor e(p);
      e.w->DiskWatch().SetStepMilliseconds(50);
      e.Type(QStringLiteral("mine "));
      const std::string own = e.Memo()->toPlainText().toStdString();
      AddItemElsewhere(p, "C");
      QTRY_VERIFY(e.Find("C"));
      QCOMPARE(boxes.Asked().size(), size_t(1));
      QCOMPARE(boxes.Asked()[0].defaultButton, ui::MsgAnswer::Yes);
      QCOMPARE(Stored(p, "a.txt").Body.Joined(), own); // stored before the reload
      QCOMPARE(e.Memo()->toPlainText().toStdString(), own);
    }
    {
      Project p;
      ui::ScriptedMessageBoxes boxes({ui::MsgAnswer::Cancel});
      Editor e(p);
      e.w->DiskWatch().SetStepMilliseconds(50);
      e.Tree()->setFocus();
      QTest::keyClick(e.Tree(), Qt::Key_I, Qt::ControlModifier);
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return); // the label as it is
      AddItemElsewhere(p, "C");
      QTRY_VERIFY(
          e.w->statusBar()->currentMessage().contains(QString::fromUtf16(u"ツリーファイル")));
      QVERIFY(boxes.Asked().empty());
      e.Save();
      QCOMPARE(boxes.Asked().size(), size_t(1)); // the save's three answers
      QVERIFY(e.Find("C"));
    }
  }

  // Two windows on one project: the second store of the same item asks.
  void twoEditorsOnOneProject() {
    Project p;
    ui::ScriptedMessageBoxes boxes({ui::MsgAnswer::Cancel});
    Editor first(p);
    Editor second(p);
    second.Type(QStringLiteral("second "));
    const std::string fromSecond = second.Memo()->toPlainText().toStdString();
    first.Type(QStringLiteral("first "));
    const std::string fromFirst = first.Memo()->toPlainText().toStdString();
    first.Save();
    QVERIFY(boxes.Asked().empty());
    second.Save();
    QCOMPARE(boxes.Asked().size(), size_t(1));
    const auto texts = ReopenedTexts(p);
    QVERIFY(Contains(texts, "A: " + fromFirst));
    QVERIFY(Contains(texts, CopyOf("A") + ": " + fromSecond));
  }
};

ORVANE_WIDGET_TEST_MAIN(DiskChangeWindowTest)
#include "DiskChangeWindowTest.moc"
