// Every way out of an edit keeps it: the editor window driven with real keys
// and close events, over a real project on disk.
#include "EditorFixture.h"
#include "EditorTestProject.h"

#include "attach/AttachmentForm.h"
#include "editor/VaveDataBase.h"
#include "editor/VaveMain.h"
#include "store/NodeFiles.h"
#include "ui/MessageBox.h"

#include <QAction>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>

namespace {

using Project = EditorTestProject;

TNodeFiles Stored(const Project &p, const char *file) { return StoredItem(p, file); }

struct Editor : OpenEditor {
  explicit Editor(const Project &p) : OpenEditor(p.Root(), {"tester", true}) {}
  TVaveDataBase *Tree() const { return w->VaveDataBase(); }
  void Select(const char *id) { QVERIFY(Tree()->SelectNode(FindItem(*w, id))); }
  // F2 on the tree, then the typed label, as a user does it; the editor
  // stays open.
  QLineEdit *TypeLabel(const QString &text) {
    Tree()->setFocus();
    QTest::keyClick(Tree(), Qt::Key_F2);
    auto *edit = qobject_cast<QLineEdit *>(QApplication::focusWidget());
    if (!edit)
      qFatal("no label editor");
    edit->selectAll();
    QTest::keyClicks(edit, text);
    if (!Tree()->IsEditingLabel())
      qFatal("the label editor closed");
    return edit;
  }
  void Key(int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), mods);
  }
};

} // namespace

class EditLossTest : public QObject {
  Q_OBJECT

private slots:

  // An open label editor is committed by every command, selection change and
  // the close query, and the title reaches the item file.
  void openLabelEditCommitsBeforeCommandsSelectionAndClose() {
    {
      Project p;
      ui::ScriptedMessageBoxes boxes;
      Editor e(p);
      e.Select("Root-C00002");
      e.TypeLabel(QStringLiteral("Renamed"));
      e.Key(Qt::Key_I, Qt::ControlModifier); // new item: the selection moves
      QCOMPARE(Stored(p, "b.txt").Title, std::string("Renamed"));
      QCOMPARE(FindItem(*e.w, "Root-C00002")->Text(), std::string("Renamed"));
      QVERIFY(boxes.Asked().empty());
    }
    {
      Project p;
      ui::ScriptedMessageBoxes boxes;
      Editor e(p);
      e.Select("Root-C00000");
      e.TypeLabel(QStringLiteral("Saved"));
      e.Key(Qt::Key_S, Qt::ControlModifier); // the save command itself
      QCOMPARE(Stored(p, "a.txt").Title, std::string("Saved"));
    }
    {
      // Closing with the label still open: the question is asked after the
      // edit commits, so it knows the tree changed.
      Project p;
      ui::ScriptedMessageBoxes boxes({ui::MsgAnswer::Yes});
      Editor e(p);
      e.Select("Root-C00000");
      e.TypeLabel(QStringLiteral("Closed"));
      e.w->close();
      QTRY_VERIFY(!e.w);
      QCOMPARE(boxes.Asked().size(), size_t(1));
      QCOMPARE(Stored(p, "a.txt").Title, std::string("Closed"));
    }
  }

  // Ctrl+Q reverts the text, not a title changed before it.
  void revertOfTheTextKeepsARename() {
    Project p;
    ui::ScriptedMessageBoxes boxes;
    Editor e(p);
    e.Select("Root-C00000");
    e.TypeLabel(QStringLiteral("New title"));
    e.w->FileText()->setFocus(); // the focus leaves: the edit ends
    QTRY_VERIFY(!e.Tree()->IsEditingLabel());
    QTest::keyClicks(e.w->FileText(), "typed ");
    e.Key(Qt::Key_Q, Qt::ControlModifier);
    QCOMPARE(e.w->FileText()->toPlainText(), QStringLiteral("first line\nsecond line\nthird"));
    e.Select("Root-C00002");
    const TNodeFiles a = Stored(p, "a.txt");
    QCOMPARE(a.Title, std::string("New title"));
    QCOMPARE(a.Body, (TStringList{"first line", "second line", "third"}));
  }

  // An item of one long line, shown in display blocks, keeps its bytes and
  // its caret memory through an edit inside the line.
  void aLongLineKeepsItsBytesAndCaret() {
    Project p;
    std::string line;
    for (int i = 0; line.size() < 300000; ++i)
      line += "\x93\xfa\x96\x7b word " + std::to_string(i) + " ";
    const size_t at = line.find(" word 20000 ") + 1;
    TNodeFiles b = Stored(p, "b.txt");
    b.Body = TStringList{line, "end"};
    b.Column = static_cast<int>(at) + 1;
    QVERIFY(b.Save());
    ui::ScriptedMessageBoxes boxes;
    Editor e(p);
    e.Select("Root-C00002");
    QVERIFY(e.w->FileText()->document()->blockCount() > 3);
    QTest::keyClicks(e.w->FileText(), "z");
    e.Select("Root-C00000");
    const TNodeFiles stored = Stored(p, "b.txt");
    QVERIFY(stored.Body == TStringList({line.substr(0, at) + "z" + line.substr(at), "end"}));
    QCOMPARE(stored.Line, 0);
    QCOMPARE(stored.Column, static_cast<int>(at) + 2);
    QVERIFY(boxes.Asked().empty());
  }

  // A completed item keeps its text: Ctrl+Z, cut and paste change nothing.
  void completedItemTextCannotBeChangedByAnyCommand() {
    Project p;
    ui::ScriptedMessageBoxes boxes;
    Editor e(p);
    e.Select("Root-C00000");
    e.w->FileText()->setFocus();
    QTest::keyClicks(e.w->FileText(), "xyz");
    e.w->Action(TEditorAction::SelectCompletionAction)->trigger();
    QVERIFY(e.w->FileText()->isReadOnly());
    const QString text = e.w->FileText()->toPlainText();
    e.w->FileText()->setFocus();
    e.Key(Qt::Key_Z, Qt::ControlModifier);
    e.w->Action(TEditorAction::UndoAction)->trigger();
    e.w->FileText()->selectAll();
    e.w->Action(TEditorAction::CutToClipAction)->trigger();
    e.w->Action(TEditorAction::PastClipTextAction)->trigger();
    QCOMPARE(e.w->FileText()->toPlainText(), text);
    QVERIFY(!e.w->Action(TEditorAction::UndoAction)->isEnabled());
  }

  // The attachment window never holds the list of an item that is gone:
  // hidden with its close box, then the item deleted, typing and moving on
  // store the item above with what was typed (this wrote through a freed
  // item before).
  void deletedItemIsDetachedFromTheHiddenAttachmentWindow() {
    Project p;
    p.dir.Write(QStringLiteral("note.txt"), "n");
    {
      TNodeFiles a = Stored(p, "a.txt");
      a.AttachFiles = {"note.txt"};
      QVERIFY(a.Save());
    }
    ui::ScriptedMessageBoxes boxes({ui::MsgAnswer::Yes});
    Editor e(p);
    e.Select("Root-C00000");
    e.w->Action(TEditorAction::ShowAttachFileAction)->trigger();
    TAttachmentForm *form = e.w->AttachmentWindow();
    QVERIFY(form->IsShown());
    form->close(); // the close box
    QVERIFY(!form->IsShown());
    e.w->Action(TEditorAction::ExpierItemAction)->trigger();
    QVERIFY(!FindItem(*e.w, "Root-C00000"));
    QVERIFY(form->Attachments() == nullptr ||
            form->Attachments() == &e.w->CurrentNode()->Data()->Files.AttachFiles);
    e.w->FileText()->setFocus();
    QTest::keyClicks(e.w->FileText(), "kept ");
    e.Select("Root-C00002");
    QVERIFY(Stored(p, "r.txt").Body.size() >= 1);
    QVERIFY(Stored(p, "r.txt").Body[0].rfind("kept ", 0) == 0);
    QVERIFY(Stored(p, "r.txt").AttachFiles.empty());
  }

  // Showing an item's attachments changes nothing in it: a hand-written
  // relative entry stays, and the item is not stamped.
  void showingAttachmentsNeitherRewritesNorStamps() {
    Project p;
    p.dir.Write(QStringLiteral("sub/y.txt"), "y");
    {
      TNodeFiles a = Stored(p, "a.txt");
      a.AttachFiles = {"sub/../sub/y.txt", "missing.txt"};
      QVERIFY(a.Save());
    }
    const QByteArray before = p.dir.Read("a.txt");
    ui::ScriptedMessageBoxes boxes;
    Editor e(p);
    e.Select("Root-C00000");
    QTest::keyClick(e.Tree(), Qt::Key_F8);
    QVERIFY(e.w->AttachmentWindow()->IsShown());
    // Back in the item text, F8 again: the keys go to the attachments now.
    e.w->activateWindow();
    QTRY_VERIFY(e.w->isActiveWindow());
    e.w->FileText()->setFocus();
    QTest::keyClick(e.w->FileText(), Qt::Key_F8);
    QTRY_VERIFY(e.w->AttachmentWindow()->isActiveWindow());
    QVERIFY(e.w->AttachmentWindow()->isAncestorOf(QApplication::focusWidget()));
    QCOMPARE(e.w->AttachmentWindow()->RowCount(), 1);
    // A tool window of its editor, not a window of its own.
    QCOMPARE(e.w->AttachmentWindow()->parentWidget(), e.w.data());
    QCOMPARE(e.w->AttachmentWindow()->windowType(), Qt::Tool);
    e.Select("Root-C00002");
    e.w->AttachmentWindow()->close();
    e.Select("Root-C00000");
    QCOMPARE(p.dir.Read("a.txt"), before);
  }

  // The close question that would throw the text away defaults to staying.
  void closeWithoutSavingDefaultsToStay() {
    Project p;
    Editor e(p);
    e.Select("Root-C00000");
    QTest::keyClicks(e.w->FileText(), "unsaved ");
    // The item file can no longer be replaced: its folder is read-only.
    QFile::setPermissions(p.dir.Native("a.txt"), QFile::ReadOwner);
    ui::ScriptedMessageBoxes boxes({ui::MsgAnswer::No});
    e.w->close();
    QVERIFY(e.w);
    QCOMPARE(boxes.Asked().size(), size_t(1));
    QVERIFY(boxes.Asked()[0].text.endsWith(QString::fromUtf16(u"保存しないで閉じますか?")));
    QCOMPARE(boxes.Asked()[0].defaultButton, ui::MsgAnswer::No);
    QFile::setPermissions(p.dir.Native("a.txt"), QFile::ReadOwner | QFile::WriteOwner);
  }

  // A label keeps what CP932 can hold of it, and no box interrupts the edit.
  void aLabelKeepsWhatCp932CanHold() {
    Project p;
    ui::ScriptedMessageBoxes boxes;
    Editor e(p);
    QAbstractItemModel *m = e.Tree()->model();
    const QModelIndex b = e.Tree()->IndexOf(FindItem(*e.w, "Root-C00002"));
    QVERIFY(m->setData(b, QStringLiteral(u"絵😀"), Qt::EditRole));
    QCOMPARE(FindItem(*e.w, "Root-C00002")->Text(), TestDir::Name(QStringLiteral(u"絵")));
    QVERIFY(boxes.Asked().empty());
    QVERIFY(m->setData(b, QStringLiteral("Bee"), Qt::EditRole));
  }
};

ORVANE_WIDGET_TEST_MAIN(EditLossTest)
#include "EditLossTest.moc"
