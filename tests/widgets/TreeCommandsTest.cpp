// The tree commands of the editor window over real projects in temporary
// directories: enabling, new items, delete with its retired file, the moves,
// expand and collapse all, and the drag and drop logic driven by positions.
#include "EditorFixture.h"
#include "OutlineProject.h"
#include "WidgetTestSupport.h"
#include "support/FileSizeLimit.h"

#include "editor/TreeCommands.h"
#include "editor/VaveDataBase.h"
#include "editor/VaveMain.h"
#include "store/ProjectTree.h"
#include "support/TreeOutline.h"
#include "ui/MessageBox.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTimer>

#include <functional>
#include <memory>

namespace {

using Mode = TNodeAttachMode;

using Project = OutlineProject;

// An open editor window over a project, counting the selection vetoes asked.
struct Editor : OpenEditor {
  int changing = 0; // selection vetoes asked

  explicit Editor(const Project &p) : OpenEditor(p.Root()) {
    auto veto = View()->Selection()->Changing;
    View()->Selection()->Changing = [this, veto](const QModelIndex &next) {
      ++changing;
      return veto(next);
    };
  }

  bool Enabled(const char *action) const {
    w->updateActionStates();
    return ActionNamed(*w, action)->isEnabled();
  }
  void Run(const char *action) { ActionNamed(*w, action)->trigger(); }
  QPoint OnLabel(const std::string &label) const {
    return View()->visualRect(View()->IndexOf(Find(label))).center();
  }
  QPoint OnIndent(const std::string &label) const {
    QRect r = View()->visualRect(View()->IndexOf(Find(label)));
    return QPoint(r.left() - 3, r.center().y());
  }
};

const char *const kMoves[] = {"UpperItemAction", "DownerItemAction", "InprimentUpperItemAction",
                              "AddLowerItemAction"};

} // namespace

class TreeCommandsTest : public QObject {
  Q_OBJECT

private slots:
  void enablingFollowsSelectionAndLock() {
    Project p("R(A(A1 A2) B C)");
    Editor e(p);
    struct Case {
      const char *item;
      bool sub, up, down, lift, sink;
    } cases[] = {
        {"R", false, false, false, false, false}, {"A", true, false, true, false, false},
        {"B", true, true, true, false, true},     {"C", true, true, false, false, true},
        {"A1", true, false, true, true, false},   {"A2", true, true, false, true, true},
    };
    for (const Case &c : cases) {
      e.Select(c.item);
      QVERIFY2(e.Enabled("CreateNewItemAction") && e.Enabled("RenameItemAction"), c.item);
      QCOMPARE(e.Enabled("CreateSubItemAction"), c.sub);
      QCOMPARE(e.Enabled("ExpierItemAction"), c.sub);
      QCOMPARE(e.Enabled("UpperItemAction"), c.up);
      QCOMPARE(e.Enabled("DownerItemAction"), c.down);
      QCOMPARE(e.Enabled("InprimentUpperItemAction"), c.lift);
      QCOMPARE(e.Enabled("AddLowerItemAction"), c.sink);
    }

    // Locked: nothing changes the tree, not even a shortcut or a drag.
    Project locked("R(A(A1 A2) B C)", true);
    Editor l(locked);
    QVERIFY(l.w->ProjectLocked());
    l.Select("B");
    for (const char *a : {"CreateNewItemAction", "CreateSubItemAction", "RenameItemAction",
                          "ExpierItemAction", "UpperItemAction", "DownerItemAction",
                          "InprimentUpperItemAction", "AddLowerItemAction"}) {
      QVERIFY2(!l.Enabled(a), a);
      ActionNamed(*l.w, a)->setEnabled(true); // a stale menu entry may still be triggered
      l.Run(a);
    }
    QCOMPARE(l.Shape(), std::string("R(A(A1 A2) B C)"));
    QVERIFY(!l.View()->CanStartDrag(l.Find("B")));
    QVERIFY(l.Enabled("AllExpandAction") && l.Enabled("AllComposeAction"));
    l.Run("AllComposeAction");
    QCOMPARE(l.Shape(), std::string("R(A+(A1 A2) B C)"));
  }

  void newItemsGoAfterTheSelectedOneOrBelowIt() {
    const std::string label = TestDir::Name(QStringLiteral(u"新しいアイテム"));
    struct Case {
      const char *selected, *action, *shape;
    } cases[] = {
        {"R", "CreateNewItemAction", "R(A(A1 A2) B C New)"},
        {"B", "CreateNewItemAction", "R(A(A1 A2) B New C)"},
        {"A1", "CreateNewItemAction", "R(A(A1 New A2) B C)"},
        {"C", "CreateSubItemAction", "R(A(A1 A2) B C(New))"},
    };
    for (const Case &c : cases) {
      Project fresh("R(A(A1 A2) B C)");
      Editor e(fresh);
      e.Select(c.selected);
      e.w->MemoJump().JumpTo(0, 3); // the caret memory of the item left is kept
      e.w->VaveDataBase()->Project().SetModified(false);
      e.Run(c.action);
      TProjectNode *node = e.w->CurrentNode();
      QVERIFY(node && node->Text() == label);
      QCOMPARE(e.View()->Selected(), node);
      QVERIFY(e.View()->IsEditingLabel());
      QVERIFY(e.w->TreeModified());
      QCOMPARE(node->Data()->ID, std::string("Root-C00005"));
      QCOMPARE(e.View()->Tree().WindowData.LastIndex, 6);
      QVERIFY(fsys::FileExists(node->Data()->Files.FilePath)); // before any save
      QVERIFY(e.w->FileText()->toPlainText().isEmpty());
      std::string shape = e.Shape();
      shape.replace(shape.find(label), label.size(), "New");
      QCOMPARE(shape, std::string(c.shape));
      QByteArray left = fresh.dir.Read(QString::fromLatin1(c.selected).toLower() + ".txt");
      QVERIFY2(left.contains("Line:0\r\nColumn:3\r\n"), c.selected);
    }
  }

  void newItemNeedsTheCurrentItemWritten() {
    Project p("R(A B)");
    ui::ScriptedMessageBoxes boxes;
    Editor e(p);
    e.Select("A");
    QTest::keyClicks(e.w->FileText(), "typed");
    const QStringList before = QDir(p.dir.Native()).entryList(QDir::Files);
    {
      FileSizeLimit limit(8);
      e.Run("CreateNewItemAction");
    }
    QCOMPARE(boxes.Asked().size(), size_t(1));
    QVERIFY(boxes.Asked()[0].text.startsWith(QStringLiteral(u"現在のアイテムを保存できません")));
    QCOMPARE(boxes.Asked()[0].icon, ui::MsgIcon::Error);
    QCOMPARE(e.Shape(), std::string("R(A B)"));
    QCOMPARE(QDir(p.dir.Native()).entryList(QDir::Files), before);
    QVERIFY(e.w->FileText()->toPlainText().contains("typed")); // nothing lost
    QCOMPARE(e.w->CurrentNode(), e.Find("A"));
  }

  void movesKeepTheItemCurrentAndComeOutCollapsed_data() {
    QTest::addColumn<QByteArray>("outline");
    QTest::addColumn<QByteArray>("item");
    QTest::addColumn<QByteArray>("action");
    QTest::addColumn<QByteArray>("shape");
    QTest::newRow("up") << QByteArray("R(A B C)") << QByteArray("B")
                        << QByteArray("UpperItemAction") << QByteArray("R(B A C)");
    QTest::newRow("down") << QByteArray("R(A B C D)") << QByteArray("B")
                          << QByteArray("DownerItemAction") << QByteArray("R(A C B D)");
    QTest::newRow("down from second-to-last")
        << QByteArray("R(A B C)") << QByteArray("B") << QByteArray("DownerItemAction")
        << QByteArray("R(A C B)"); // second-to-last: last
    QTest::newRow("lift with a subtree")
        << QByteArray("R(A(A1(X) A2) B)") << QByteArray("A1")
        << QByteArray("InprimentUpperItemAction") << QByteArray("R(A(A2) A1+(X) B)");
    QTest::newRow("lift the only child")
        << QByteArray("R(A B(B1(X)))") << QByteArray("B1") << QByteArray("InprimentUpperItemAction")
        << QByteArray("R(A B- B1+(X))");
    QTest::newRow("sink with a subtree")
        << QByteArray("R(A(A1) B(X))") << QByteArray("B") << QByteArray("AddLowerItemAction")
        << QByteArray("R(A(A1 B+(X)))");
    QTest::newRow("sink into a collapsed item")
        << QByteArray("R(A+(A1) B)") << QByteArray("B") << QByteArray("AddLowerItemAction")
        << QByteArray("R(A(A1 B))"); // new parent opens
    QTest::newRow("down with a subtree")
        << QByteArray("R(A(X) B)") << QByteArray("A") << QByteArray("DownerItemAction")
        << QByteArray("R(B A+(X))");
  }

  void movesKeepTheItemCurrentAndComeOutCollapsed() {
    QFETCH(QByteArray, outline);
    QFETCH(QByteArray, item);
    QFETCH(QByteArray, action);
    QFETCH(QByteArray, shape);
    const struct {
      const char *outline;
      const char *item;
      const char *action;
      const char *shape;
    } c{outline.constData(), item.constData(), action.constData(), shape.constData()};
    Project p(c.outline);
    Editor e(p);
    e.Select(c.item);
    TProjectNode *node = e.Find(c.item);
    QTest::keyClicks(e.w->FileText(), "unsaved ");
    const QString memo = e.w->FileText()->toPlainText();
    QSignalSpy current(e.View()->Selection(), &QItemSelectionModel::currentChanged);
    e.changing = 0;
    e.w->VaveDataBase()->Project().SetModified(false);
    QVERIFY2(e.Enabled(c.action), c.action);
    e.Run(c.action);
    QCOMPARE(QString::fromStdString(e.Shape()), QString::fromLatin1(c.shape));
    QCOMPARE(current.count(), 0);
    QCOMPARE(e.changing, 0);
    QCOMPARE(e.w->CurrentNode(), node);
    QCOMPARE(e.View()->Selected(), node);
    QVERIFY(e.View()->selectionModel()->isSelected(e.View()->IndexOf(node)));
    QCOMPARE(e.w->FileText()->toPlainText(), memo);
    QVERIFY(e.w->MemoModified());
    QVERIFY(e.w->TreeModified());
    // The view shows what the core holds.
    for (TProjectNode *n = e.w->RootNode(); n; n = n->GetNext())
      if (n->HasChildren())
        QCOMPARE(e.View()->isExpanded(e.View()->IndexOf(n)), n->Expanded());
    // The typed text goes to the moved item's file when it is left.
    e.Select("R");
    QVERIFY(p.dir.Read(QString::fromLatin1(c.item).toLower() + ".txt").contains("unsaved "));
  }

  void deleteRetiresOnlyTheItemsOwnFile() {
    Project p("R(A(A1(X) A2) B)");
    ui::ScriptedMessageBoxes boxes({ui::MsgAnswer::No, ui::MsgAnswer::Yes});
    Editor e(p);
    e.Select("A");
    QTest::keyClicks(e.w->FileText(), "gone with it ");
    const QByteArray a = p.dir.Read("a.txt");
    e.Run("ExpierItemAction"); // No
    QCOMPARE(e.Shape(), std::string("R(A(A1(X) A2) B)"));
    QVERIFY(p.dir.Has("a.txt"));
    e.changing = 0;
    e.Run("ExpierItemAction"); // Yes
    QCOMPARE(e.changing, 1);   // straight to the row above, no stop on another item
    QCOMPARE(boxes.Asked().size(), size_t(2));
    QCOMPARE(boxes.Asked()[1].text, QStringLiteral(u"このアイテムを削除してもよろしいですか?"));
    QCOMPARE(boxes.Asked()[1].icon, ui::MsgIcon::Warning);
    QCOMPARE(boxes.Asked()[1].buttons, ui::MsgButtons::YesNo);
    QCOMPARE(boxes.Asked()[1].defaultButton, ui::MsgAnswer::No); // Enter keeps the item
    QCOMPARE(e.Shape(), std::string("R(B)"));
    // Until the tree is saved the saved tree still names the file: a close
    // without a save gives the item back whole.
    QVERIFY(p.dir.Has("a.txt") && !p.dir.Has("a.txt.exp"));
    // The root, just above, is selected and shown.
    QCOMPARE(e.w->CurrentNode(), e.w->RootNode());
    QCOMPARE(e.View()->Selected(), e.w->RootNode());
    QCOMPARE(e.w->FileText()->toPlainText(), QStringLiteral("R text"));
    QCOMPARE(e.w->StatusPanel(0)->text(), QStringLiteral("ID:Root"));
    QVERIFY(e.w->TreeModified());
    e.Run("SaveProjectAction");
    QVERIFY(!p.dir.Has("a.txt"));
    QCOMPARE(p.dir.Read("a.txt.exp"), a); // not written again
    QVERIFY(p.dir.Has("a1.txt") && p.dir.Has("x.txt") && !p.dir.Has("a1.txt.exp"));

    // The last child of the root stays.
    e.Select("B");
    e.Run("ExpierItemAction");
    QCOMPARE(boxes.Asked().size(), size_t(3));
    QCOMPARE(boxes.Asked()[2].text, QStringLiteral(u"最低一つのアイテムが必要です"));
    QCOMPARE(boxes.Asked()[2].icon, ui::MsgIcon::Error);
    QCOMPARE(e.Shape(), std::string("R(B)"));

    // A new item never takes a retired item's ID or file.
    e.Run("CreateNewItemAction");
    QCOMPARE(e.w->CurrentNode()->Data()->ID, std::string("Root-C00005"));
    QVERIFY(e.w->CurrentNode()->Data()->Files.FilePath != p.dir.Cp("a.txt"));
  }

  void deleteSelectsTheRowAboveAndLosesNoFile() {
    Project p("R(A(A1 A2(Y)) B C D)");
    p.dir.Write("c.txt.exp", "older retired file");
    ui::ScriptedMessageBoxes boxes({ui::MsgAnswer::Yes, ui::MsgAnswer::Yes, ui::MsgAnswer::Yes});
    Editor e(p);
    // Above B is the last visible row of A's subtree.
    e.Select("B");
    e.Run("ExpierItemAction");
    QCOMPARE(e.w->CurrentNode(), e.Find("Y"));
    QCOMPARE(e.w->FileText()->toPlainText(), QStringLiteral("Y text"));
    e.Run("SaveProjectAction");
    QVERIFY(p.dir.Has("b.txt.exp"));
    // The retiring rename fails: the item goes, both files stay as they were.
    const QByteArray c = p.dir.Read("c.txt");
    const QStringList files = QDir(p.dir.Native()).entryList(QDir::Files);
    e.Select("C");
    e.Run("ExpierItemAction");
    e.Run("SaveProjectAction");
    QCOMPARE(e.Shape(), std::string("R(A(A1 A2(Y)) D)"));
    QCOMPARE(p.dir.Read("c.txt"), c);
    QCOMPARE(p.dir.Read("c.txt.exp"), QByteArray("older retired file"));
    QCOMPARE(QDir(p.dir.Native()).entryList(QDir::Files), files);
    // And with the file already gone.
    QFile::remove(p.dir.Native("d.txt"));
    e.Select("D");
    e.Run("ExpierItemAction");
    QCOMPARE(e.Shape(), std::string("R(A(A1 A2(Y)))"));
    QVERIFY(!p.dir.Has("d.txt") && !p.dir.Has("d.txt.exp"));
  }

  void expandAndCollapseAll() {
    Project p("R(A(A1(X) A2) B(B1))");
    ui::ScriptedMessageBoxes boxes;
    Editor e(p);
    e.Select("X");
    e.w->VaveDataBase()->Project().SetModified(false);
    e.Run("AllComposeAction");
    QCOMPARE(e.Shape(), std::string("R(A+(A1+(X) A2) B+(B1))"));
    QVERIFY(e.w->TreeModified());
    QVERIFY(e.View()->isExpanded(e.View()->IndexOf(e.w->RootNode())));
    QVERIFY(!e.View()->isExpanded(e.View()->IndexOf(e.Find("A"))));
    // The hidden selection moves to its visible ancestor, which is shown.
    QCOMPARE(e.w->CurrentNode(), e.Find("A"));
    QCOMPARE(e.w->FileText()->toPlainText(), QStringLiteral("A text"));
    e.w->VaveDataBase()->Project().SetModified(false);
    e.Run("AllComposeAction"); // nothing to change
    QVERIFY(!e.w->TreeModified());
    QTest::keyClick(e.w, Qt::Key_F7); // F7 is expand all
    QCOMPARE(e.Shape(), std::string("R(A(A1(X) A2) B(B1))"));
    QVERIFY(e.w->TreeModified());
    for (const char *label : {"A", "A1", "B"})
      QVERIFY(e.View()->isExpanded(e.View()->IndexOf(e.Find(label))));
    QVERIFY(boxes.Asked().empty());
  }

  void dropPlacementsByPosition() {
    Project p("R(A(A1 A2) B C(C1))");
    Editor e(p);
    TVaveDataBase *v = e.View();
    TProjectNode *b = e.Find("B");
    struct Case {
      QPoint pos;
      bool valid;
      const char *target;
      Mode mode;
    } cases[] = {
        {e.OnLabel("A"), true, "A", Mode::Insert},
        {e.OnIndent("A"), true, "A", Mode::AddChild},
        {e.OnIndent("A2"), true, "A2", Mode::AddChild},
        {e.OnLabel("C1"), true, "C1", Mode::Insert},
        {e.OnLabel("R"), true, "B", Mode::AddFirst}, // the dragged item's own siblings
        {e.OnIndent("B"), false, nullptr, Mode::Insert},
        {e.OnLabel("B"), false, nullptr, Mode::Insert},
        {QPoint(5, v->viewport()->height() - 2), false, nullptr, Mode::Insert},
    };
    for (const Case &c : cases) {
      const auto drop = v->DropPlacementAt(b, c.pos);
      QCOMPARE(drop.Valid, c.valid);
      if (c.valid) {
        QCOMPARE(drop.Target, e.Find(c.target));
        QCOMPARE(drop.Mode, c.mode);
      }
    }
    // The cursor: "DRAGADD" over an indentation, the drag cursor on a label.
    e.Select("B");
    QCOMPARE(v->DragOverAt(e.OnIndent("A1")), TVaveDataBase::TDragFeedback::AddChild);
    QCOMPARE(v->DragOverAt(e.OnLabel("A1")), TVaveDataBase::TDragFeedback::Insert);
    QCOMPARE(v->DragOverAt(e.OnLabel("R")), TVaveDataBase::TDragFeedback::Insert);
    QCOMPARE(v->DragOverAt(e.OnLabel("B")), TVaveDataBase::TDragFeedback::Refused);
    // Hovering the expand button of a closed item opens it, one level.
    v->collapse(v->IndexOf(e.Find("C")));
    e.w->VaveDataBase()->Project().SetModified(false);
    QVERIFY(!v->HitTest(e.OnLabel("C")).OnButton);
    QVERIFY(v->HitTest(e.OnIndent("C")).OnButton);
    QCOMPARE(v->DragOverAt(e.OnIndent("C")), TVaveDataBase::TDragFeedback::AddChild);
    QVERIFY(v->isExpanded(v->IndexOf(e.Find("C"))) && e.Find("C")->Expanded());
    QVERIFY(e.w->TreeModified());
  }

  void dropsMoveTheSelectedItemKeepingItsState_data() {
    QTest::addColumn<QByteArray>("outline");
    QTest::addColumn<QByteArray>("dragged");
    QTest::addColumn<QByteArray>("over");
    QTest::addColumn<bool>("indent");
    QTest::addColumn<QByteArray>("shape");
    QTest::newRow("before an item") << QByteArray("R(A(A1) B C)") << QByteArray("C")
                                    << QByteArray("A") << false << QByteArray("R(C A(A1) B)");
    QTest::newRow("on an indent") << QByteArray("R(A(A1) B C)") << QByteArray("C")
                                  << QByteArray("A1") << true << QByteArray("R(A(A1(C)) B)");
    QTest::newRow("an open subtree")
        << QByteArray("R(A(A1) B(B1(X)) C)") << QByteArray("B") << QByteArray("A1") << false
        << QByteArray("R(A(B(B1+(X)) A1) C)"); // stays open
    QTest::newRow("on the root") << QByteArray("R(A(A1 A2) B)") << QByteArray("A2")
                                 << QByteArray("R") << false << QByteArray("R(A(A2 A1) B)");
    QTest::newRow("into its own subtree")
        << QByteArray("R(A(A1(X)) B)") << QByteArray("A") << QByteArray("X") << true
        << QByteArray("R(A(A1(X)) B)"); // own subtree: nothing
  }

  void dropsMoveTheSelectedItemKeepingItsState() {
    QFETCH(QByteArray, outline);
    QFETCH(QByteArray, dragged);
    QFETCH(QByteArray, over);
    QFETCH(bool, indent);
    QFETCH(QByteArray, shape);
    const struct {
      const char *outline;
      const char *dragged;
      const char *over;
      bool indent;
      const char *shape;
    } c{outline.constData(), dragged.constData(), over.constData(), indent, shape.constData()};
    Project p(c.outline);
    Editor e(p);
    e.Select(c.dragged);
    TProjectNode *node = e.Find(c.dragged);
    e.changing = 0;
    e.w->VaveDataBase()->Project().SetModified(false);
    e.View()->DropAt(c.indent ? e.OnIndent(c.over) : e.OnLabel(c.over));
    QCOMPARE(e.Shape(), std::string(c.shape));
    QCOMPARE(e.w->CurrentNode(), node);
    QCOMPARE(e.View()->Selected(), node);
    QCOMPARE(e.changing, 0);
    QVERIFY(e.w->TreeModified());
    QCOMPARE(e.View()->isExpanded(e.View()->IndexOf(node)), node->Expanded());
  }

  void dragScrollsOneRowAtTheEdges() {
    std::string outline = "R(";
    for (int i = 0; i < 40; ++i)
      outline += (i ? " N" : "N") + std::to_string(i);
    Project p(outline + ")");
    Editor e(p);
    TVaveDataBase *v = e.View();
    v->scrollTo(v->IndexOf(e.Find("N20")), QAbstractItemView::PositionAtTop);
    QModelIndex top = v->indexAt(QPoint(0, 0));
    QCOMPARE(TVaveTreeModel::NodeOf(top), e.Find("N20"));
    QVERIFY(!v->DragScrollStep(v->visualRect(v->indexBelow(top)).center()));
    QVERIFY(v->DragScrollStep(QPoint(30, 2)));
    QCOMPARE(TVaveTreeModel::NodeOf(v->indexAt(QPoint(0, 0))), e.Find("N19"));
    QVERIFY(v->DragScrollStep(QPoint(30, v->viewport()->height() - 1)));
    QVERIFY(v->DragScrollStep(QPoint(30, v->viewport()->height() - 1)));
    QCOMPARE(TVaveTreeModel::NodeOf(v->indexAt(QPoint(0, 0))), e.Find("N21"));
  }

  void dragStartsBeyondFourPixelsFromTheSelectedRow() {
    Project p("R(A B)");
    for (bool locked : {true, false}) {
      Editor e(p);
      e.w->RootNode()->Data()->Files.Completion = locked; // the lock is the root's mark
      e.Select("B");
      QWidget *port = e.View()->viewport();
      int started = 0;
      auto veto = e.View()->CanStartDrag;
      e.View()->CanStartDrag = [&](TProjectNode *n) {
        bool ok = veto(n);
        started += ok;
        return ok;
      };
      // A drag that does start may run until Escape ends it; the timer goes
      // with this scope, so it never reaches another test.
      QTimer escape;
      escape.setSingleShot(true);
      QObject::connect(&escape, &QTimer::timeout, [] {
        if (QWidget *w = QApplication::focusWidget() ? QApplication::focusWidget()
                                                     : QApplication::activeWindow())
          QTest::keyClick(w, Qt::Key_Escape);
      });
      escape.start(200);
      const QPoint at = e.OnLabel("B");
      QTest::mousePress(port, Qt::LeftButton, {}, at);
      QTest::mouseMove(port, at + QPoint(4, 4));
      QCOMPARE(started, 0);
      QTest::mouseMove(port, at + QPoint(0, 5));
      QCOMPARE(started, locked ? 0 : 1);
      QTest::mouseRelease(port, Qt::LeftButton, {}, at + QPoint(0, 5));
      QCOMPARE(e.Shape(), std::string("R(A B)"));
    }
  }

  void commandsSurviveSaveAndReopen() {
    Project p("R(A B)");
    ui::ScriptedMessageBoxes boxes;
    std::string shape;
    {
      Editor e(p);
      e.Select("A");
      e.w->TreeCommands().CreateNewItem(true, false);
      e.w->VaveTreeEdited(e.w->CurrentNode(), QStringLiteral("A1"));
      e.Select("B");
      e.Run("UpperItemAction");
      e.w->TreeCommands().CreateNewItem(false, false);
      e.w->VaveTreeEdited(e.w->CurrentNode(), QStringLiteral("N"));
      e.Run("AddLowerItemAction");
      shape = e.Shape();
      QVERIFY(e.w->SaveProject());
    }
    QCOMPARE(shape, std::string("R(B(N) A(A1))"));
    Editor again(p);
    QCOMPARE(QString::fromStdString(again.Shape()), QString::fromStdString(shape));
    QCOMPARE(again.w->CurrentNode(), again.Find("N"));
    QVERIFY(boxes.Asked().empty());
  }
};

ORVANE_WIDGET_TEST_MAIN(TreeCommandsTest)
#include "TreeCommandsTest.moc"
