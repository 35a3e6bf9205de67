// Undo and redo of tree edits in the editor window with real keys: the keys
// work in the tree only (the memo keeps its own Ctrl+Z), the hints name the
// step, the lock holds, an edited item is not taken out unasked, a deleted
// subtree comes back byte for byte across saves, and the revert of the text
// can be undone in the memo.
#include "EditorFixture.h"
#include "OutlineProject.h"
#include "WidgetTestSupport.h"

#include "editor/DeletedItemsForm.h"
#include "editor/TreeCommands.h"
#include "ui/MessageBox.h"

#include <QAction>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

namespace {

struct Editor : OpenEditor {
  explicit Editor(const OutlineProject &p)
      : OpenEditor(p.Root(), {.author = {}, .activate = true}) {
    View()->setFocus();
  }
  QAction *Action(const char *name) const {
    w->updateActionStates();
    return ActionNamed(*w, name);
  }
  void Run(const char *name) { Action(name)->trigger(); }
  void Key(QWidget *to, int key, Qt::KeyboardModifiers mods = Qt::ControlModifier) {
    QTest::keyClick(to, static_cast<Qt::Key>(key), mods);
  }
};

} // namespace

class UndoCommandsTest : public QObject {
  Q_OBJECT

private slots:
  void keysUndoAndRedoInTheTreeOnly() {
    OutlineProject p("R(A(A1 A2) B C)");
    ui::ScriptedMessageBoxes boxes({ui::MsgAnswer::Yes});
    Editor e(p);
    QVERIFY(!e.Action("TreeUndoAction")->isEnabled());
    e.Select("B");
    e.Run("UpperItemAction");
    e.Select("A");
    e.Run("ExpierItemAction");
    QCOMPARE(e.Shape(), std::string("R(B C)"));
    QCOMPARE(e.Action("TreeUndoAction")->statusTip(), QStringLiteral(u"削除「A」を元に戻します"));
    // The memo's Ctrl+Z stays the text's.
    e.Select("C");
    e.w->FileText()->setFocus();
    QTest::keyClicks(e.w->FileText(), "x");
    e.Key(e.w->FileText(), Qt::Key_Z);
    QCOMPARE(e.w->FileText()->toPlainText(), QStringLiteral("C text"));
    QCOMPARE(e.Shape(), std::string("R(B C)"));
    // In the tree: the subtree back as it was, selected; then the move.
    e.View()->setFocus();
    e.Key(e.View(), Qt::Key_Z);
    QCOMPARE(e.Shape(), std::string("R(B A(A1 A2) C)"));
    QCOMPARE(e.w->CurrentNode(), e.Find("A"));
    QCOMPARE(e.Action("TreeRedoAction")->statusTip(), QStringLiteral(u"削除「A」をやり直します"));
    e.Key(e.View(), Qt::Key_Z);
    QCOMPARE(e.Shape(), std::string("R(A(A1 A2) B C)"));
    QCOMPARE(e.w->CurrentNode(), e.Find("B"));
    QVERIFY(!e.Action("TreeUndoAction")->isEnabled());
    e.Key(e.View(), Qt::Key_Y);
    e.Key(e.View(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(e.Shape(), std::string("R(B C)"));
    QCOMPARE(e.w->CurrentNode(), e.Find("B"));
    QCOMPARE(boxes.Asked().size(), size_t(1)); // the delete's own question only
  }

  void aDeletedSubtreeComesBackByteForByteAcrossSaves() {
    std::string outline = "R(A(";
    for (int i = 0; i < 50; ++i)
      outline += (i ? " S" : "S") + std::to_string(i);
    outline += ") B)";
    OutlineProject p(outline);
    // The branch's files (the root's keeps the caret of the window).
    const QStringList names = QDir(p.dir.Native()).entryList({"[as]*.txt"}, QDir::Files);
    std::map<QString, QByteArray> before;
    for (const QString &n : names)
      before[n] = p.dir.Read(n);
    ui::ScriptedMessageBoxes boxes({ui::MsgAnswer::Yes});
    {
      Editor e(p);
      e.Select("A");
      e.Run("ExpierItemAction");
      QVERIFY(e.w->SaveProject());
      QVERIFY(p.dir.Has("a.txt.exp"));
      e.Key(e.View(), Qt::Key_Z);
      QVERIFY(e.w->TreeModified());
      QVERIFY(e.w->SaveProject());
    }
    Editor again(p);
    QCOMPARE(again.Shape(), outline);
    QCOMPARE(QDir(p.dir.Native()).entryList({"[as]*.txt"}, QDir::Files), names);
    for (const QString &n : names)
      QCOMPARE(p.dir.Read(n), before[n]);
    QVERIFY(!p.dir.Has("a.txt.exp"));
  }

  void aDragUndoesToItsPlaceAndTheLockHolds() {
    OutlineProject p("R(A(A1) B C)");
    ui::ScriptedMessageBoxes boxes;
    Editor e(p);
    e.Select("C");
    const QRect a = e.View()->visualRect(e.View()->IndexOf(e.Find("A")));
    e.View()->DropAt(a.center());
    QCOMPARE(e.Shape(), std::string("R(C A(A1) B)"));
    QCOMPARE(e.Action("TreeUndoAction")->statusTip(), QStringLiteral(u"ﾄﾞﾗｯｸﾞ「C」を元に戻します"));
    // The root completed: nothing changes, by key or by menu.
    e.Select("R");
    e.Run("SelectCompletionAction");
    QVERIFY(e.w->ProjectLocked());
    QVERIFY(!e.Action("TreeUndoAction")->isEnabled());
    e.Key(e.View(), Qt::Key_Z);
    QCOMPARE(e.Shape(), std::string("R(C A(A1) B)"));
    e.Run("SelectCompletionAction");
    e.Key(e.View(), Qt::Key_Z);
    QCOMPARE(e.Shape(), std::string("R(A(A1) B C)"));
    QVERIFY(boxes.Asked().empty());
  }

  void anItemWithTextTypedSinceIsNotTakenOutUnasked() {
    OutlineProject p("R(A B)");
    ui::ScriptedMessageBoxes boxes({ui::MsgAnswer::No, ui::MsgAnswer::Yes});
    Editor e(p);
    e.Select("A");
    TProjectNode *n = e.w->TreeCommands().CreateNewItem(false, false);
    QTest::keyClicks(e.w->FileText(), "worth keeping");
    e.View()->setFocus();
    e.Key(e.View(), Qt::Key_Z); // No
    QCOMPARE(boxes.Asked().size(), size_t(1));
    QCOMPARE(boxes.Asked()[0].defaultButton, ui::MsgAnswer::No);
    QCOMPARE(boxes.Asked()[0].icon, ui::MsgIcon::Warning);
    QCOMPARE(e.View()->Tree().NodeCount(), size_t(4));
    const std::string file = n->Data()->Files.FilePath;
    e.Key(e.View(), Qt::Key_Z); // Yes: retired as a delete would, never deleted
    QCOMPARE(e.Shape(), std::string("R(A B)"));
    QVERIFY(e.w->SaveProject());
    std::string text;
    QVERIFY(fsys::ReadFile(file + ".exp", text));
    QVERIFY(text.find("worth keeping") != std::string::npos);
  }

  void aDeletedItemComesBackFromTheWindowInALaterSession() {
    OutlineProject p("R(A(A1) B)");
    ui::ScriptedMessageBoxes boxes({ui::MsgAnswer::Yes});
    {
      Editor e(p);
      e.Select("A");
      e.Run("ExpierItemAction");
      QVERIFY(e.w->SaveProject());
    }
    Editor e(p);
    e.Select("B");
    QTimer::singleShot(0, [] {
      auto *form = qobject_cast<TDeletedItemsForm *>(QApplication::activeModalWidget());
      QVERIFY(form);
      // The retired file, its child's below it, as the tree before the save had them.
      QCOMPARE(form->List()->topLevelItemCount(), 1);
      QTreeWidgetItem *a = form->List()->topLevelItem(0);
      QCOMPARE(a->text(3), QStringLiteral("A text"));
      QVERIFY(a->childCount() == 1 && a->child(0)->text(3) == QStringLiteral("A1 text"));
      // The file's time is what the column shows, and says.
      QCOMPARE(form->List()->headerItem()->text(1), QStringLiteral(u"更新日時"));
      a->setSelected(true);
      form->findChild<QPushButton *>(QStringLiteral("RestoreButton"))->click();
    });
    e.Run("DeletedItemsAction");
    QCOMPARE(e.Shape(), std::string("R(B(A+(A1)))"));
    QCOMPARE(e.w->CurrentNode(), e.Find("A"));
    QCOMPARE(e.w->FileText()->toPlainText(), QStringLiteral("A text"));
    QVERIFY(p.dir.Has("a.txt") && !p.dir.Has("a.txt.exp"));
    QCOMPARE(e.Action("TreeUndoAction")->statusTip(),
             QStringLiteral(u"削除したｱｲﾃﾑの復元「A」を元に戻します"));
  }

  void theRevertOfTheTextIsOneCtrlZAway() {
    OutlineProject p("R(A)");
    ui::ScriptedMessageBoxes boxes;
    Editor e(p);
    e.Select("A");
    e.w->FileText()->setFocus();
    QTest::keyClicks(e.w->FileText(), "typed ");
    e.Key(e.w->FileText(), Qt::Key_Q);
    QCOMPARE(e.w->FileText()->toPlainText(), QStringLiteral("A text"));
    QVERIFY(!e.w->FileText()->document()->isModified());
    e.Key(e.w->FileText(), Qt::Key_Z);
    QCOMPARE(e.w->FileText()->toPlainText(), QStringLiteral("typed A text"));
    QVERIFY(e.w->FileText()->document()->isModified());
  }
};

ORVANE_WIDGET_TEST_MAIN(UndoCommandsTest)
#include "UndoCommandsTest.moc"
