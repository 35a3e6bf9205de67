// The cleanup from the editor's menu: the question, its safe default, the
// count, and the files of a deleted branch going while every named file stays.
#include "EditorFixture.h"
#include "OutlineProject.h"
#include "WidgetTestSupport.h"

#include "editor/VaveMain.h"
#include "ui/MessageBox.h"

class CleanupCommandsTest : public QObject {
  Q_OBJECT

private slots:
  void cleanupAsksAndCountsWhatItDeleted() {
    OutlineProject p("R(A(A1 A2) B)", false, {{"B", {"pic.png"}}});
    p.dir.Write("pic.png", "kept");
    p.dir.Write("stray.txt", "no item names it");
    p.dir.Write("README", "no dot");
    ui::ScriptedMessageBoxes boxes;
    OpenEditor e(p.Root());
    QAction *cleanup = e.w->Action(TEditorAction::ExpireUnnecessaryFile);
    e.w->updateActionStates();
    QVERIFY(cleanup->isEnabled());

    cleanup->trigger(); // unscripted: the default, No
    QCOMPARE(boxes.Asked().size(), size_t(1));
    QCOMPARE(
        boxes.Asked()[0].text,
        QStringLiteral(u"このプロジェクトで使用していないファイルを削除します\r\nよろしいですか?"));
    QCOMPARE(boxes.Asked()[0].defaultButton, ui::MsgAnswer::No);
    QVERIFY(p.dir.Has("stray.txt"));

    // A deleted branch, saved: the stray and the tree file's backup go; the
    // branch's files stay while an undo can bring the branch back.
    boxes.Answer(ui::MsgAnswer::Yes); // the delete question
    e.Select("A");
    e.w->Action(TEditorAction::ExpierItemAction)->trigger();
    QVERIFY(e.w->SaveProject());
    boxes.Clear();
    boxes.Answer(ui::MsgAnswer::Yes);
    cleanup->trigger();
    QCOMPARE(boxes.Asked().size(), size_t(2));
    QCOMPARE(boxes.Asked()[1].text, QStringLiteral(u"2 個のファイルを削除しました"));
    for (const char *gone : {"stray.txt", "MainTree.dat.ord"})
      QVERIFY2(!p.dir.Has(gone), gone);
    for (const char *stays :
         {"MainTree.dat", "r.txt", "b.txt", "pic.png", "README", "a.txt.exp", "a1.txt", "a2.txt"})
      QVERIFY2(p.dir.Has(stays), stays);
    boxes.Answer(ui::MsgAnswer::Yes);
    cleanup->trigger();
    QCOMPARE(boxes.Asked().back().text, QStringLiteral(u"0 個のファイルを削除しました"));
    QCOMPARE(boxes.Asked().back().icon, ui::MsgIcon::Information);
    e.w->close();
    // In a later session the question counts the deleted items going for good.
    OpenEditor again(p.Root());
    boxes.Clear();
    boxes.Answer(ui::MsgAnswer::Yes);
    again.w->Action(TEditorAction::ExpireUnnecessaryFile)->trigger();
    QCOMPARE(
        boxes.Asked()[0].text,
        QStringLiteral(u"このプロジェクトで使用していないファイルを削除します\r\n"
                       u"削除したアイテムのファイル 3 個も完全に削除されます\r\nよろしいですか?"));
    for (const char *gone : {"a.txt.exp", "a1.txt", "a2.txt"})
      QVERIFY2(!p.dir.Has(gone), gone);
  }
};

ORVANE_WIDGET_TEST_MAIN(CleanupCommandsTest)
#include "CleanupCommandsTest.moc"
