// The editor window over real projects in temporary directories, with
// scripted message boxes: opening, the life of the current item, new
// projects, saving and the close query.
#include "EditorFixture.h"
#include "EditorTestProject.h"
#include "support/ScopedHooks.h"

#include "editor/VaveDataBase.h"
#include "editor/VaveMain.h"
#include "store/IniFile.h"
#include "store/ProjectTree.h"
#include "ui/MessageBox.h"

#include <QAction>
#include <QCloseEvent>
#include <QDateTime>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QSignalSpy>
#include <QStatusBar>
#include <QToolBar>

namespace {

std::string Cp(const QString &s) { return TestDir::Name(s); }

using Project = EditorTestProject;

TProjectNode *Find(TVaveMainForm &w, const char *id) { return FindItem(w, id); }

QString HeaderText(TVaveMainForm &w, int section) {
  return w.PagePropertyHeader()->model()->headerData(section, Qt::Horizontal).toString();
}

} // namespace

class EditorWindowTest : public QObject {
  Q_OBJECT

private slots:
  void opensTheSelectedItemWithHeaderAndCaret() {
    Project p;
    ui::ScriptedMessageBoxes boxes;
    OpenEditor editor;
    QPointer<TVaveMainForm> &w = editor.w;
    QVERIFY(w->OpenProjectDir(p.Root()));
    QCOMPARE(w->windowTitle(), QStringLiteral(u"企画"));
    QCOMPARE(w->CurrentNode(), Find(*w, "Root-C00000"));
    QCOMPARE(w->FileText()->toPlainText(), QStringLiteral("first line\nsecond line\nthird"));
    QCOMPARE(HeaderText(*w, 0), QStringLiteral("A"));
    QCOMPARE(HeaderText(*w, 1), QStringLiteral(u"著者"));
    QCOMPARE(HeaderText(*w, 2), QStringLiteral("rovo"));
    QCOMPARE(HeaderText(*w, 4), QStringLiteral("2026/12/01 10:00:00"));
    QCOMPARE(HeaderText(*w, 6), QStringLiteral("2026/11/01 09:00:00"));
    QCOMPARE(w->StatusPanel(0)->text(), QStringLiteral("ID:Root-C00000"));
    QCOMPARE(w->StatusPanel(1)->text(), QStringLiteral("1 : 4"));
    QCOMPARE(w->StatusPanel(2)->text(), QStringLiteral(u"企画"));
    QCOMPARE(w->MemoJump().CaretLine(), 1);
    QCOMPARE(w->MemoJump().CaretColumn(), 4);
    QVERIFY(!w->MemoModified());
    QVERIFY(!w->TreeModified());
    QVERIFY(boxes.Asked().empty());

    // Closing at once asks nothing and rewrites only the selected item, unchanged.
    QByteArray before = p.dir.Read("a.txt");
    QByteArray tree = p.dir.Read("MainTree.dat");
    w->close();
    QTRY_VERIFY(!w);
    QVERIFY(boxes.Asked().empty());
    QCOMPARE(p.dir.Read("a.txt"), before);
    QCOMPARE(p.dir.Read("MainTree.dat"), tree);
  }

  void leavingAnItemWritesItsFile() {
    Project p;
    ui::ScriptedMessageBoxes boxes({ui::MsgAnswer::No});
    OpenEditor editor;
    QPointer<TVaveMainForm> &w = editor.w;
    w->SetAuthor("tester");
    QVERIFY(w->OpenProjectDir(p.Root()));
    // Untouched: only the caret memory changes.
    w->MemoJump().JumpTo(2, 3);
    QVERIFY(w->VaveDataBase()->SelectNode(Find(*w, "Root-C00002")));
    QByteArray a = p.dir.Read("a.txt");
    QVERIFY(a.contains("Line:2\r\nColumn:3\r\n"));
    QVERIFY(a.contains("Author:rovo\r\n"));
    QVERIFY(a.contains("Update:2026/12/01 10:00:00\r\n"));
    QCOMPARE(w->FileText()->toPlainText(), QStringLiteral("bee"));
    QCOMPARE(w->StatusPanel(1)->text(), QStringLiteral("0 : 2"));

    // Typed text: stamped with the time and the editor's author.
    support::ScopedClock clock(At(2027, 1, 2, 3, 4, 5));
    QTest::keyClicks(w->FileText(), "X");
    QVERIFY(w->MemoModified());
    QVERIFY(w->VaveDataBase()->SelectNode(Find(*w, "Root")));
    QByteArray b = p.dir.Read("b.txt");
    QVERIFY(b.contains("Update:2027/01/02 03:04:05\r\n"));
    QVERIFY(b.contains("Author:tester\r\n"));
    QVERIFY(b.contains("\r\n\r\nbXee\r\n\r\n") || b.contains("\r\n\r\nXbee\r\n\r\n"));
    QVERIFY(!w->MemoModified());
    w->close(); // the selection moved: asks, No
    QTRY_VERIFY(!w);
    QCOMPARE(boxes.Asked().size(), size_t(1));
  }

  void newProjectLayoutAndIdentifiers() {
    TestDir dir;
    ui::ScriptedMessageBoxes boxes({ui::MsgAnswer::Cancel});
    support::ScopedClock clock(At(2026, 12, 7, 12, 0, 0));
    OpenEditor editor;
    QPointer<TVaveMainForm> &w = editor.w;
    QVERIFY(w->NewProject(dir.Cp(), Cp(QStringLiteral(u"新規企画"))));
    TProjectNode *root = w->RootNode();
    QVERIFY(root);
    QCOMPARE(root->Data()->ID, std::string("Root"));
    QCOMPARE(root->Count(), 1);
    TProjectNode *child = root->Item(0);
    QCOMPARE(child->Data()->ID, std::string("Root-C00000"));
    QCOMPARE(child->Text(), Cp(QStringLiteral(u"新しいアイテム")));
    QCOMPARE(w->VaveDataBase()->Tree().WindowData.LastIndex, 1);
    QCOMPARE(w->windowTitle(), QStringLiteral(u"新規企画"));
    // Both item files made in the same second: counters 0 and 1.
    QVERIFY(dir.Has("202612071200000.txt"));
    QVERIFY(dir.Has("202612071200001.txt"));
    TIniFile ini;
    QVERIFY(ini.Load(dir.Cp() + "MainTree.dat"));
    QCOMPARE(ini.ReadString("Window", "Width", ""), std::string("630"));
    // Every tool bar button in sight at the first width, none behind ">>".
    auto *bar = w->findChild<QToolBar *>(QStringLiteral("ToolBar1"));
    for (QAction *a : bar->actions())
      QTRY_VERIFY2(a->isSeparator() || bar->widgetForAction(a)->isVisible(),
                   qPrintable(a->objectName()));
    QCOMPARE(ini.ReadString("Root", "Child01", ""), std::string("Root-C00000"));
    QCOMPARE(ini.ReadString("Root", "LastIndex", ""), std::string("1"));
    QVERIFY(w->TreeModified());
    // A new project counts as changed: closing asks, and Cancel keeps it open.
    w->close();
    QVERIFY(w);
    QCOMPARE(boxes.Asked().size(), size_t(1));
    QCOMPARE(boxes.Asked()[0].text,
             QStringLiteral(u"\"新規企画\"はツリーが変更されています\r\n保存しますか?"));
    QCOMPARE(boxes.Asked()[0].caption, QStringLiteral(u"新規企画"));
    QCOMPARE(boxes.Asked()[0].icon, ui::MsgIcon::Information);
    QCOMPARE(boxes.Asked()[0].buttons, ui::MsgButtons::YesNoCancel);
    w->Action(TEditorAction::AutoSaveMenu)->setChecked(true);
    w->close(); // auto-save: saved without a question
    QTRY_VERIFY(!w);
    QCOMPARE(boxes.Asked().size(), size_t(1));
    QVERIFY(dir.Has("MainTree.dat.ord"));
  }

  void labelsAndCollapsing() {
    Project p;
    ui::ScriptedMessageBoxes boxes({ui::MsgAnswer::No});
    OpenEditor editor;
    QPointer<TVaveMainForm> &w = editor.w;
    QVERIFY(w->OpenProjectDir(p.Root()));
    TProjectNode *b = Find(*w, "Root-C00002");
    QVERIFY(w->VaveTreeEdited(b, QString()));
    QCOMPARE(b->Text(), Cp(QStringLiteral(u"(無題)")));
    QVERIFY(w->VaveTreeEdited(w->RootNode(), QStringLiteral(u"新名")));
    QCOMPARE(w->windowTitle(), QStringLiteral(u"新名"));
    QVERIFY(w->MemoModified());
    // What CP932 cannot hold is dropped, the rest kept, and the status bar says so.
    QVERIFY(w->VaveTreeEdited(b, QStringLiteral(u"emoji 😀")));
    QTRY_VERIFY(w->statusBar()->currentMessage().contains(QStringLiteral("U+1F600")));
    QCOMPARE(b->Text(), std::string("emoji "));

    // The root never collapses; another item's collapse marks the tree changed.
    TVaveDataBase *view = w->VaveDataBase();
    w->VaveDataBase()->Project().SetModified(false);
    view->collapse(view->IndexOf(w->RootNode()));
    QVERIFY(view->isExpanded(view->IndexOf(w->RootNode())));
    QVERIFY(w->RootNode()->Expanded());
    QVERIFY(!w->TreeModified());
    TProjectNode *a = Find(*w, "Root-C00000");
    view->expand(view->IndexOf(a));
    QVERIFY(a->Expanded());
    QVERIFY(w->TreeModified());
    w->close();
    QTRY_VERIFY(!w);
  }

  void saveWritesTreeFileAndBackup() {
    Project p;
    ui::ScriptedMessageBoxes boxes;
    OpenEditor editor;
    QPointer<TVaveMainForm> &w = editor.w;
    QVERIFY(w->OpenProjectDir(p.Root()));
    std::string savedDir, savedTitle;
    int saves = 0;
    QObject::connect(
        w, &TVaveMainForm::projectSaved, w,
        [&](TVaveMainForm *, const std::string &dir, const TDateTime &, const std::string &title) {
          ++saves;
          savedDir = dir;
          savedTitle = title;
        });
    QByteArray first = p.dir.Read("MainTree.dat");
    QVERIFY(w->VaveDataBase()->SelectNode(Find(*w, "Root-C00002")));
    w->Action(TEditorAction::SaveProjectAction)->trigger();
    QCOMPARE(saves, 1);
    QCOMPARE(savedDir, p.Root());
    QCOMPARE(savedTitle, Cp(QStringLiteral(u"企画")));
    QCOMPARE(p.dir.Read("MainTree.dat.ord"), first);
    QVERIFY(p.dir.Read("MainTree.dat").contains("LastNode=Root-C00002\r\n"));
    QByteArray second = p.dir.Read("MainTree.dat");
    w->SaveProject();
    QCOMPARE(p.dir.Read("MainTree.dat.ord"), second);
    QVERIFY(!w->TreeModified());
    w->close(); // saved: nothing to ask
    QTRY_VERIFY(!w);
    QVERIFY(boxes.Asked().empty());
  }

  void closeQueryAnswers() {
    // Yes saves, No closes without touching the tree file, Cancel stays.
    for (ui::MsgAnswer answer : {ui::MsgAnswer::Yes, ui::MsgAnswer::No, ui::MsgAnswer::Cancel}) {
      Project p;
      ui::ScriptedMessageBoxes boxes({answer});
      OpenEditor editor;
      QPointer<TVaveMainForm> &w = editor.w;
      QVERIFY(w->OpenProjectDir(p.Root()));
      bool closedReported = false;
      QObject::connect(w, &TVaveMainForm::editorClosing, w,
                       [&](TVaveMainForm *) { closedReported = true; });
      QByteArray tree = p.dir.Read("MainTree.dat");
      w->VaveDataBase()->expand(w->VaveDataBase()->IndexOf(Find(*w, "Root-C00000")));
      w->close();
      QCOMPARE(boxes.Asked().size(), size_t(1));
      if (answer == ui::MsgAnswer::Cancel) {
        QVERIFY(w);
        QVERIFY(!closedReported);
        QVERIFY(w->TreeModified());
        delete w;
        continue;
      }
      QTRY_VERIFY(!w);
      QVERIFY(closedReported);
      if (answer == ui::MsgAnswer::Yes)
        QVERIFY(p.dir.Read("MainTree.dat") != tree);
      else
        QCOMPARE(p.dir.Read("MainTree.dat"), tree);
    }
  }

  // A close asked while the window opens (its events run once it is shown)
  // waits for the open to end, then goes as any close: no question on a
  // half opened window, no watch started on a closing one.
  void aCloseAskedDuringTheOpenWaitsForIt() {
    Project p;
    ui::ScriptedMessageBoxes boxes({ui::MsgAnswer::No});
    OpenEditor editor;
    QPointer<TVaveMainForm> &w = editor.w;
    QCoreApplication::postEvent(w, new QCloseEvent);
    QVERIFY(w->OpenProjectDir(p.Root()));
    QVERIFY(!w->IsClosing());
    QTRY_VERIFY(!w);
    QCOMPARE(boxes.Asked().size(), size_t(0));
  }

  void notAProjectWritesNothing() {
    TestDir dir;
    dir.Write("other.txt", "x");
    ui::ScriptedMessageBoxes boxes;
    OpenEditor editor;
    QPointer<TVaveMainForm> &w = editor.w;
    bool reported = false;
    QObject::connect(w, &TVaveMainForm::editorClosing, w,
                     [&](TVaveMainForm *) { reported = true; });
    QVERIFY(!w->OpenProjectDir(dir.Cp()));
    QCOMPARE(boxes.Asked().size(), size_t(1));
    QCOMPARE(boxes.Asked()[0].text,
             QStringLiteral(u"正常なプロジェクトではありません\r\n") + dir.Native("MainTree.dat"));
    QCOMPARE(boxes.Asked()[0].icon, ui::MsgIcon::Error);
    QTRY_VERIFY(!w);
    QVERIFY(!reported);
    QCOMPARE(QDir(dir.Native()).entryList(QDir::Files), QStringList{"other.txt"});
  }

  void unreadableRootClosesTheWindow() {
    Project p;
    QFile::remove(p.dir.Native("r.txt"));
    ui::ScriptedMessageBoxes boxes;
    OpenEditor editor;
    QPointer<TVaveMainForm> &w = editor.w;
    QVERIFY(!w->OpenProjectDir(p.Root()));
    QCOMPARE(boxes.Asked().size(), size_t(1));
    QVERIFY(boxes.Asked()[0].text.contains(QStringLiteral("r.txt")));
    QTRY_VERIFY(!w);
    QVERIFY(!p.dir.Has("r.txt"));
  }

  // A stopped save's tree file, with an item after a gap: both offered, safe defaults.
  void openOffersAStoppedSaveAndItemsNoListReaches() {
    Project p;
    const QByteArray saved = p.dir.Read("MainTree.dat");
    {
      TIniFile ini(p.Root() + "MainTree.dat");
      ini.WriteString("Root", "Child04", "Root-C00009"); // after a gap
      ini.WriteString("Root-C00009", "FileName", "z.txt");
      QVERIFY(ini.SaveToFile(p.Root() + "MainTree.dat.new"));
    }
    p.dir.Write("z.txt", "Title:Z\r\n\r\nzz\r\n\r\n");
    QFile old(p.dir.Native("MainTree.dat"));
    QVERIFY(old.open(QIODevice::ReadWrite) &&
            old.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                            QFileDevice::FileModificationTime));
    ui::ScriptedMessageBoxes boxes{ui::MsgAnswer::Yes, ui::MsgAnswer::Yes};
    OpenEditor editor;
    QPointer<TVaveMainForm> &w = editor.w;
    QVERIFY(w->OpenProjectDir(p.Root()));
    QCOMPARE(boxes.Asked().size(), size_t(2));
    QVERIFY(
        boxes.Asked()[0].text.startsWith(QStringLiteral(u"保存が途中で終わったツリーファイル")));
    QCOMPARE(boxes.Asked()[0].defaultButton, ui::MsgAnswer::Yes);
    QVERIFY(boxes.Asked()[1].text.contains(p.dir.Native("z.txt")));
    QCOMPARE(boxes.Asked()[1].defaultButton, ui::MsgAnswer::No);
    QCOMPARE(p.dir.Read("MainTree.dat.ord"), saved);
    QCOMPARE(w->RootNode()->GetLastChild()->Text(), std::string("Z"));
    QVERIFY(w->TreeModified()); // the attached item reaches the file at the next save
    QVERIFY(w->SaveProject());
    QVERIFY(p.dir.Read("MainTree.dat").contains("Child03=Root-C00009"));
    delete w;
  }

  void malformedHeaderIsShownWithTheProjectTitle() {
    Project p;
    QByteArray b = p.dir.Read("b.txt");
    b.replace("Line:0", "Line:zero");
    p.dir.Write("b.txt", b);
    ui::ScriptedMessageBoxes boxes;
    OpenEditor editor;
    QPointer<TVaveMainForm> &w = editor.w;
    QVERIFY(w->OpenProjectDir(p.Root()));
    QCOMPARE(boxes.Asked().size(), size_t(1));
    QCOMPARE(boxes.Asked()[0].caption, QStringLiteral(u"企画"));
    QCOMPARE(boxes.Asked()[0].text,
             QStringLiteral(u"ファイル\"") + p.dir.Native("b.txt") +
                 QStringLiteral(u"\"のヘッダ\"line\"の形式が間違っています\r\nzero"));
    delete w;
  }

  void unwritableItemKeepsTheSelectionAndSaysSoOnce() {
    Project p;
    ui::ScriptedMessageBoxes boxes;
    OpenEditor editor;
    QPointer<TVaveMainForm> &w = editor.w;
    QVERIFY(w->OpenProjectDir(p.Root()));
    TProjectNode *a = w->CurrentNode();
    // Typed text: only the caret memory would not hold the user.
    w->FileText()->setFocus();
    QTest::keyClicks(w->FileText(), "typed ");
    {
      // A file-size limit makes every write fail, even for root.
      FileSizeLimit limit(8);
      QVERIFY(!w->VaveDataBase()->SelectNode(Find(*w, "Root-C00002")));
      QVERIFY(!w->VaveDataBase()->SelectNode(Find(*w, "Root")));
    }
    QCOMPARE(w->CurrentNode(), a);
    QCOMPARE(w->VaveDataBase()->Selected(), a);
    QCOMPARE(boxes.Asked().size(), size_t(1));
    QVERIFY(boxes.Asked()[0].text.contains(p.dir.Native("a.txt")));
    QVERIFY(p.dir.Read("a.txt").contains("first line"));
    QVERIFY(w->VaveDataBase()->SelectNode(Find(*w, "Root")));
    delete w;
  }

  void failedSaveKeepsTheWindowOpen() {
    Project p;
    ui::ScriptedMessageBoxes boxes({ui::MsgAnswer::Yes, ui::MsgAnswer::Ok});
    OpenEditor editor;
    QPointer<TVaveMainForm> &w = editor.w;
    QVERIFY(w->OpenProjectDir(p.Root()));
    w->VaveDataBase()->Project().SetModified(true);
    QByteArray tree = p.dir.Read("MainTree.dat");
    {
      FileSizeLimit limit(200); // items fit, the tree file does not
      w->close();
    }
    QVERIFY(w);
    QCOMPARE(boxes.Asked().size(), size_t(2));
    QVERIFY(boxes.Asked()[1].text.contains(p.dir.Native("MainTree.dat")));
    QCOMPARE(p.dir.Read("MainTree.dat"), tree);
    QVERIFY(w->TreeModified());
    delete w;
  }

  void typedTextCp932CannotHoldIsRefused() {
    Project p;
    ui::ScriptedMessageBoxes boxes;
    OpenEditor editor;
    QPointer<TVaveMainForm> &w = editor.w;
    QVERIFY(w->OpenProjectDir(p.Root()));
    w->FileText()->moveCursor(QTextCursor::End);
    for (const QString &typed : {QStringLiteral(u"漢"), QStringLiteral(u"😀")}) {
      QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, typed);
      QApplication::sendEvent(w->FileText(), &key);
    }
    QVERIFY(boxes.Asked().empty());
    QVERIFY(w->FileText()->toPlainText().endsWith(QStringLiteral(u"third漢")));
    delete w;
  }
};

ORVANE_WIDGET_TEST_MAIN(EditorWindowTest)
#include "EditorWindowTest.moc"
