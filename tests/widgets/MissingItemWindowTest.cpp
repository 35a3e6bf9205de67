// The editor over a project one of whose item files is away: one message at
// load, the item shown read-only, and a save that keeps its branch.
#include "EditorFixture.h"
#include "EditorTestProject.h"

#include "editor/VaveDataBase.h"
#include "editor/VaveMain.h"
#include "store/IniFile.h"
#include "store/ProjectTree.h"
#include "ui/MessageBox.h"

#include <QAction>
#include <QFile>
#include <QPlainTextEdit>
#include <QPointer>

class MissingItemWindowTest : public QObject {
  Q_OBJECT

private slots:

  void anItemWhoseFileIsAwayIsShownReadOnlyAndItsBranchIsSaved() {
    EditorTestProject p; // A (a.txt, child A1) is the selected item
    QVERIFY(QFile::rename(p.dir.Native("a.txt"), p.dir.Native("a.away")));
    // A second one, so that the box lists both, in tree order.
    QVERIFY(QFile::rename(p.dir.Native("b.txt"), p.dir.Native("b.away")));

    ui::ScriptedMessageBoxes boxes({ui::MsgAnswer::Ok});
    OpenEditor editor;
    QPointer<TVaveMainForm> &w = editor.w;
    QVERIFY(w->OpenProjectDir(p.Root()));
    QCOMPARE(boxes.Asked().size(), size_t(1));
    const QString text = boxes.Asked()[0].text;
    QVERIFY2(text.startsWith(QString::fromUtf16(u"次のアイテムのファイルを読み込めません")),
             qPrintable(text));
    QVERIFY(text.endsWith(QStringLiteral("\r\n") + p.dir.Native("a.txt") + QStringLiteral("\r\n") +
                          p.dir.Native("b.txt")));
    QCOMPARE(boxes.Asked()[0].icon, ui::MsgIcon::Warning);
    QCOMPARE(boxes.Asked()[0].caption, QString::fromUtf16(u"企画")); // the project's title

    TProjectNode *a = FindItem(*w, "Root-C00000");
    QVERIFY(a && a->Data()->Missing);
    QCOMPARE(a->Count(), 1); // A1 loads below it
    QCOMPARE(w->CurrentNode(), a);
    TVaveTreeModel *model = w->VaveDataBase()->Model();
    const QModelIndex ai = model->IndexOf(a);
    QCOMPARE(model->data(ai, Qt::DisplayRole).toString(),
             QString::fromUtf16(u"(読めません) a.txt"));
    QVERIFY(!(model->flags(ai) & Qt::ItemIsEditable));
    QVERIFY(w->FileText()->isReadOnly());
    QVERIFY(!w->Action(TEditorAction::SelectToDoAction)->isEnabled());
    QVERIFY(!w->Action(TEditorAction::SelectCompletionAction)->isEnabled());

    // Typing and F2 change nothing; moving on stores nothing for it.
    w->VaveDataBase()->setFocus();
    QTest::keyClick(w->VaveDataBase(), Qt::Key_F2);
    QVERIFY(!w->VaveDataBase()->IsEditingLabel());
    QTest::keyClicks(w->FileText(), "typed");
    QCOMPARE(w->FileText()->toPlainText(), QString());
    QTest::keyClick(w->VaveDataBase(), Qt::Key_Down); // to B, also away
    QCOMPARE(w->CurrentNode(), FindItem(*w, "Root-C00002"));
    QTest::keyClick(w->VaveDataBase(), Qt::Key_Up);
    QCOMPARE(w->CurrentNode(), a);
    QTest::keyClick(w, Qt::Key_S, Qt::ControlModifier);
    QVERIFY(!p.dir.Has("a.txt"));
    QVERIFY(!p.dir.Has("b.txt"));
    TIniFile saved(p.Root() + "MainTree.dat");
    QCOMPARE(saved.ReadString("Root-C00000", "FileName", ""), std::string("a.txt"));
    QCOMPARE(saved.ReadString("Root-C00000", "Child01", ""), std::string("Root-C00001"));
    QCOMPARE(saved.ReadString("Root-C00002", "FileName", ""), std::string("b.txt"));
    QCOMPARE(saved.ReadString("Root", "Child02", ""), std::string("Root-C00002"));
    w->close();
    QTRY_VERIFY(!w);
    QCOMPARE(boxes.Unscripted(), 0);

    // The files are back: the branch is whole, and nothing is said.
    QVERIFY(QFile::rename(p.dir.Native("a.away"), p.dir.Native("a.txt")));
    QVERIFY(QFile::rename(p.dir.Native("b.away"), p.dir.Native("b.txt")));
    ui::ScriptedMessageBoxes quiet;
    OpenEditor againEditor;
    QPointer<TVaveMainForm> &again = againEditor.w;
    QVERIFY(again->OpenProjectDir(p.Root()));
    QCOMPARE(quiet.Asked().size(), size_t(0));
    TProjectNode *back = FindItem(*again, "Root-C00000");
    QVERIFY(back && !back->Data()->Missing);
    QCOMPARE(back->Text(), std::string("A"));
    QCOMPARE(back->Count(), 1);
    QVERIFY(!again->FileText()->isReadOnly());
    again->close();
    QTRY_VERIFY(!again);
  }

  void aReadOnlyItemFileCanBeLeftUntouchedButEditsInItAreNotLost() {
    EditorTestProject p; // A is selected; B below it
    QFile::setPermissions(p.dir.Native("b.txt"), QFileDevice::ReadOwner | QFileDevice::ReadGroup);
    const QByteArray b = p.dir.Read("b.txt");
    ui::ScriptedMessageBoxes boxes({ui::MsgAnswer::Ok});
    OpenEditor editor;
    QPointer<TVaveMainForm> &w = editor.w;
    QVERIFY(w->OpenProjectDir(p.Root()));
    TVaveDataBase *tree = w->VaveDataBase();
    tree->setFocus();
    QTest::keyClick(tree, Qt::Key_Down);
    QCOMPARE(w->CurrentNode(), FindItem(*w, "Root-C00002"));
    // Only the caret would change: the user moves on, the file stays.
    QTest::keyClick(tree, Qt::Key_Up);
    QCOMPARE(w->CurrentNode(), FindItem(*w, "Root-C00000"));
    QCOMPARE(boxes.Asked().size(), size_t(0));
    QCOMPARE(p.dir.Read("b.txt"), b);
    // Typed text cannot be written: the user stays, told why.
    QTest::keyClick(tree, Qt::Key_Down);
    QTest::keyClicks(w->FileText(), "typed");
    tree->setFocus();
    QTest::keyClick(tree, Qt::Key_Up);
    QCOMPARE(w->CurrentNode(), FindItem(*w, "Root-C00002"));
    QCOMPARE(boxes.Asked().size(), size_t(1));
    QVERIFY(boxes.Asked()[0].text.contains(p.dir.Native("b.txt")));
    QCOMPARE(p.dir.Read("b.txt"), b);
    delete w;
  }

  void aLongListIsCutWithACount() {
    EditorTestProject p;
    TProjectTree tree;
    QVERIFY(tree.LoadProject(p.Root()));
    // Twelve more items whose files are not there.
    for (int i = 0; i < 12; ++i) {
      auto data = std::make_unique<TNodeData>();
      data->ID = tree.NextItemID();
      data->Files.FilePath = p.Root() + "lost" + std::to_string(i) + ".txt";
      tree.AddChild(tree.RootNode(), "lost", std::move(data));
    }
    QVERIFY(tree.SaveTreeFile(p.Root() + "MainTree.dat"));
    ui::ScriptedMessageBoxes boxes({ui::MsgAnswer::Ok});
    OpenEditor editor;
    QPointer<TVaveMainForm> &w = editor.w;
    QVERIFY(w->OpenProjectDir(p.Root()));
    QCOMPARE(boxes.Asked().size(), size_t(1));
    const QString text = boxes.Asked()[0].text;
    QVERIFY(text.contains(p.dir.Native("lost9.txt")));
    QVERIFY(!text.contains(p.dir.Native("lost10.txt")));
    QVERIFY(text.endsWith(QString::fromUtf16(u"ほかに 2 件")));
    w->close();
    QTRY_VERIFY(!w);
  }
};

ORVANE_WIDGET_TEST_MAIN(MissingItemWindowTest)
#include "MissingItemWindowTest.moc"
