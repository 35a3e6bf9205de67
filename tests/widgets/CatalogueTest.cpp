// The catalogue window over real project directories in temporary folders,
// with scripted dialogs and message boxes and real editor windows.
#include "WidgetTestSupport.h"
#include "catalogue/AboutForm.h"
#include "catalogue/DesktopRegistration.h"
#include "catalogue/ProjectCommands.h"
#include "catalogue/ProjectList.h"
#include "catalogue/SelectThema.h"
#include "editor/RecoveryCommands.h"
#include "editor/VaveDataBase.h"
#include "editor/VaveMain.h"
#include "store/FaultInjection.h"
#include "store/Project.h"
#include "store/RegIniFile.h"
#include "support/ScopedHooks.h"
#include "ui/Dialogs.h"
#include "ui/ErrorText.h"
#include "ui/MessageBox.h"

#include <QAction>
#include <QDir>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QSignalSpy>
#include <QStatusBar>
#include <QToolBar>
#include <QTreeWidget>

#include <memory>

using ui::DialogAnswer;
using ui::MsgAnswer;

namespace {

const QDateTime kOld(QDate(2020, 1, 2), QTime(3, 4, 5));
const QDateTime kMiddle(QDate(2021, 3, 4), QTime(5, 6, 7));
const QDateTime kNew(QDate(2022, 5, 6), QTime(7, 8, 9));

// A project directory `name` below `root` whose root item is titled `title`.
void MakeProject(const TestDir &root, const QString &name, const QString &title,
                 const QDateTime &changed = kMiddle) {
  root.Write(name + QStringLiteral("/r.txt"),
             "Title:" + QByteArray::fromStdString(TestDir::Name(title)) + "\r\n\r\ntext\r\n");
  root.Write(name + QStringLiteral("/MainTree.dat"), "[Root]\r\nFileName=r.txt\r\n");
  QFile f(root.Native(name + QStringLiteral("/MainTree.dat")));
  QVERIFY(f.open(QIODevice::ReadWrite));
  QVERIFY(f.setFileTime(changed, QFileDevice::FileModificationTime));
}

void WriteSettings(const std::string &rootDir) {
  TRegIniFile reg;
  reg.WriteString("Main", "RootDir", rootDir);
  QVERIFY(reg.UpdateFile());
}

QStringList Titles(const TSelectThemaForm &f) {
  QStringList out;
  for (int i = 0; i < f.RowCount(); ++i)
    out << f.ProjectList()->topLevelItem(i)->text(0);
  return out;
}

int RowOf(const TSelectThemaForm &f, const QString &title) { return int(Titles(f).indexOf(title)); }

QStringList MenuTexts(const QMenu *m) {
  QStringList out;
  for (QAction *a : m->actions())
    out << (a->isSeparator() ? QStringLiteral("-") : a->text());
  return out;
}

} // namespace

class CatalogueTest : public QObject {
  Q_OBJECT

  std::unique_ptr<TestDir> root_, outside_, data_;
  std::unique_ptr<TSelectThemaForm> form_;

  // A catalogue on the test root, made without any dialog.
  TSelectThemaForm &Open(const std::optional<QString> &shortcut = std::nullopt) {
    WriteSettings(root_->Cp());
    form_ = std::make_unique<TSelectThemaForm>(shortcut);
    return *form_;
  }
  TVaveMainForm *OpenRow(TSelectThemaForm &f, const QString &title) {
    f.SelectRow(RowOf(f, title));
    f.OpenProjectAction();
    return f.Selected() ? f.Selected()->EditorWindow.data() : nullptr;
  }

private slots:
  void initTestCase() {
    data_ = std::make_unique<TestDir>();
    qputenv("XDG_DATA_HOME", QFile::encodeName(data_->Native(QStringLiteral("share"))));
  }

  void init() {
    (void)fsys::DeleteFile(TRegIniFile::DefaultFileName()); // absent already is as good
    root_ = std::make_unique<TestDir>();
    outside_ = std::make_unique<TestDir>();
  }
  void cleanup() { form_.reset(); }

  void firstStartWithEmptySettingsAsksForTheFolder() {
    MakeProject(*root_, QStringLiteral("b"), QStringLiteral("Beta"));
    MakeProject(*root_, QStringLiteral("a"), QStringLiteral("Alpha"));
    ui::ScriptedDialogs dialogs({DialogAnswer::Accept(root_->Native())});
    ui::ScriptedMessageBoxes boxes;
    TSelectThemaForm f;
    QCOMPARE(dialogs.Asked().size(), 1u);
    QCOMPARE(dialogs.Asked()[0].kind, ui::DialogKind::Directory);
    QVERIFY(dialogs.Asked()[0].createMissing);
    QCOMPARE(dialogs.Asked()[0].initial, QDir::homePath()); // not wherever it was started
    QCOMPARE(boxes.Asked().size(), 0u);

    QCOMPARE(f.geometry().topLeft(), QPoint(300, 250));
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    QCOMPARE(f.geometry().topLeft(), QPoint(300, 250));
    // A long title and the whole date show in the font in use, both in the window.
    QHeaderView *header = f.ProjectList()->header();
    const QFontMetrics metrics(f.ProjectList()->font());
    QVERIFY(header->sectionSize(0) >
            metrics.horizontalAdvance(QStringLiteral(u"大規模プロジェクトの企画")));
    QVERIFY(header->sectionSize(1) >
            metrics.horizontalAdvance(QStringLiteral("2026/12/08 18:09:14")));
    QVERIFY(f.ProjectList()->viewport()->width() >= header->length());
    QCOMPARE(f.SortMode(), 0);
    QVERIFY(!f.SortUp());
    QCOMPARE(f.Author(), std::string("Rara"));
    QCOMPARE(f.windowTitle(), QStringLiteral("Orvane ver1.12.14  [Rara]"));
    QCOMPARE(f.RootDir(), root_->Cp());
    QCOMPARE(Titles(f), (QStringList{QStringLiteral("Beta"), QStringLiteral("Alpha")}));
    QCOMPARE(f.ProjectList()->palette().color(QPalette::Base), QColor(0xF9, 0xE9, 0xAA));
  }

  // A project saved elsewhere shows its new title and date in its own row;
  // the other rows stay as they are.
  void aRowFollowsItsProjectSavedElsewhere() {
    MakeProject(*root_, QStringLiteral("a"), QStringLiteral("Alpha"), kOld);
    MakeProject(*root_, QStringLiteral("b"), QStringLiteral("Beta"), kNew);
    ui::ScriptedMessageBoxes boxes;
    TSelectThemaForm &f = Open();
    QTreeWidgetItem *beta = f.ProjectList()->topLevelItem(RowOf(f, QStringLiteral("Beta")));
    const QString oldDate =
        f.ProjectList()->topLevelItem(RowOf(f, QStringLiteral("Alpha")))->text(1);
    // As a save writes: the root item, then a new tree file renamed into place.
    root_->Write(QStringLiteral("a/r.txt"), "Title:Gamma\r\n\r\ntext\r\n");
    root_->Write(QStringLiteral("a/MainTree.new"), "[Root]\r\nFileName=r.txt\r\n");
    QVERIFY(QFile::remove(root_->Native(QStringLiteral("a/MainTree.dat"))));
    QVERIFY(QFile::rename(root_->Native(QStringLiteral("a/MainTree.new")),
                          root_->Native(QStringLiteral("a/MainTree.dat"))));
    QTRY_VERIFY(Titles(f).contains(QStringLiteral("Gamma")));
    QCOMPARE(f.ProjectList()->topLevelItem(RowOf(f, QStringLiteral("Beta"))), beta);
    QVERIFY(f.ProjectList()->topLevelItem(RowOf(f, QStringLiteral("Gamma")))->text(1) != oldDate);
    QCOMPARE(boxes.Asked().size(), 0u);
  }

  // Never the program's own folder (as root, the installed one is writable):
  // a folder in the home directory, made when missing.
  void cancelledFolderQuestionUsesAFolderInTheHome() {
    ui::ScriptedMessageBoxes boxes;
    TestDir home;
    const QByteArray realHome = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(home.Native().chopped(1)));
    ui::ScriptedDialogs dialogs({DialogAnswer::Cancel()});
    TSelectThemaForm f;
    qputenv("HOME", realHome);
    QVERIFY(dialogs.Asked()[0].prompt.contains(QStringLiteral(u"プロジェクトを置くフォルダ")));
    QCOMPARE(f.RootDir(), home.Cp(QStringLiteral("Orvane")) + "/");
    QVERIFY(QFileInfo(home.Native(QStringLiteral("Orvane"))).isDir());
    QCOMPARE(boxes.Asked().size(), 1u);
    QCOMPARE(boxes.Asked()[0].text,
             QStringLiteral(u"プロジェクトディレクトリが指定されていません\r\n"
                            u"デフォルトディレクトリ(") +
                 home.Native(QStringLiteral("Orvane")) + QStringLiteral(u"/)を使用します"));
    // The folder is remembered at once, before the catalogue closes.
    QCOMPARE(TRegIniFile().ReadString("Main", "RootDir", ""), f.RootDir());
    // Cancelled with a root: nothing changes.
    ui::ScriptedDialogs again({DialogAnswer::Cancel()});
    f.SelectFolderAction();
    QCOMPARE(f.RootDir(), home.Cp(QStringLiteral("Orvane")) + "/");
    QCOMPARE(boxes.Asked().size(), 1u);
  }

  void listingShowsOnlyProjectsDirectlyBelowTheRoot() {
    MakeProject(*root_, QStringLiteral("a"), QStringLiteral("Alpha"), kMiddle);
    MakeProject(*root_, QStringLiteral("j"), QStringLiteral(u"アイデア帳"), kOld);
    MakeProject(*root_, QStringLiteral(".hidden"), QStringLiteral("Hidden"));
    MakeProject(*root_, QStringLiteral("outer/inner"), QStringLiteral("Nested"));
    root_->MakeDir(QStringLiteral("plain"));
    root_->Write(QStringLiteral("noroot/MainTree.dat"), "[Root]\r\nFileName=missing.txt\r\n");
    root_->Write(QStringLiteral("file.txt"), "not a directory");
    TSelectThemaForm &f = Open();

    QCOMPARE(Titles(f), (QStringList{QStringLiteral(u"アイデア帳"), QStringLiteral("Alpha")}));
    const TProjectData *alpha = f.Row(RowOf(f, QStringLiteral("Alpha")));
    QCOMPARE(alpha->Directory, root_->Cp() + "a/");
    QCOMPARE(alpha->Title, std::string("Alpha"));
    QVERIFY(!alpha->IsNew);
    QVERIFY(!alpha->FromShortcut);
    QVERIFY(!alpha->EditorWindow);
    QCOMPARE(f.ProjectList()->topLevelItem(RowOf(f, QStringLiteral("Alpha")))->text(1),
             QStringLiteral("2021/03/04 05:06:07"));
    QCOMPARE(alpha->LastUpdate.ToString(), std::string("2021/03/04 05:06:07"));

    // A refresh sees what changed on disk.
    MakeProject(*root_, QStringLiteral("z"), QStringLiteral("Zeta"));
    f.RefreshProjectList();
    QCOMPARE(f.RowCount(), 3);
  }

  void sortsByTitleOrDateAndColumnClicksSwitchTheOrder() {
    MakeProject(*root_, QStringLiteral("b"), QStringLiteral("Beta"), kOld);
    MakeProject(*root_, QStringLiteral("a"), QStringLiteral("Alpha"), kNew);
    MakeProject(*root_, QStringLiteral("g"), QStringLiteral("Gamma"), kMiddle);
    MakeProject(*root_, QStringLiteral("d"), QStringLiteral("Delta"), kNew);
    TSelectThemaForm &f = Open();
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    const QStringList descending{QStringLiteral("Gamma"), QStringLiteral("Delta"),
                                 QStringLiteral("Beta"), QStringLiteral("Alpha")};
    QCOMPARE(Titles(f), descending);
    f.SelectRow(RowOf(f, QStringLiteral("Beta")));

    // A real click on the title column: the same column toggles the direction.
    QHeaderView *header = f.ProjectList()->header();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(0) + 5, header->height() / 2));
    QCOMPARE(f.SortMode(), 0);
    QVERIFY(f.SortUp());
    QCOMPARE(Titles(f), (QStringList{QStringLiteral("Alpha"), QStringLiteral("Beta"),
                                     QStringLiteral("Delta"), QStringLiteral("Gamma")}));
    QCOMPARE(f.Selected()->Title, std::string("Beta")); // the selection follows its row
    f.ProjectListColumnClick(0);
    QCOMPARE(Titles(f), descending);

    // The date column first sorts ascending; equal dates keep one fixed order.
    f.ProjectListColumnClick(1);
    QCOMPARE(f.SortMode(), 1);
    QVERIFY(f.SortUp());
    const QStringList byDate{QStringLiteral("Beta"), QStringLiteral("Gamma"),
                             QStringLiteral("Alpha"), QStringLiteral("Delta")};
    QCOMPARE(Titles(f), byDate);
    f.ProjectListColumnClick(1);
    QVERIFY(!f.SortUp());
    QStringList reversed = byDate;
    std::reverse(reversed.begin(), reversed.end());
    QCOMPARE(Titles(f), reversed);

    const TProjectData &alpha = *f.Row(RowOf(f, QStringLiteral("Alpha")));
    const TProjectData &delta = *f.Row(RowOf(f, QStringLiteral("Delta")));
    QVERIFY(f.Compare(alpha, delta) != 0);
    QCOMPARE(f.Compare(alpha, delta), -f.Compare(delta, alpha));
    QCOMPARE(f.Compare(alpha, alpha), 0);
    // Another column than the title counts as the date column.
    f.ProjectListColumnClick(0);
    QCOMPARE(f.SortMode(), 0);
    QVERIFY(f.SortUp());
  }

  void commandStatesFollowTheSelection() {
    TSelectThemaForm &f = Open();
    const char *bound[] = {"OpenProjectAction", "CreateShortcutAction", "DeleteProjectAction",
                           "PropertyAction",    "PopupOpenMenu",        "PopupShortcutMenu",
                           "PopupDeleteMenu",   "PopupPropertyMenu"};
    const char *never[] = {"EnvironmentMenu", "ContentsMenu"};
    const char *always[] = {"ExitAction",      "SelectFolderAction", "CreateProjectAction",
                            "PopupCreateMenu", "AboutAction",        "ImportAction",
                            "AuthorAction"};
    QCOMPARE(f.RowCount(), 0);
    for (const char *name : bound)
      QVERIFY2(!ActionNamed(f, name)->isEnabled(), name);
    for (const char *name : always)
      QVERIFY2(ActionNamed(f, name)->isEnabled(), name);

    MakeProject(*root_, QStringLiteral("a"), QStringLiteral("Alpha"));
    f.RefreshProjectList();
    f.ProjectList()->clearSelection();
    for (const char *name : bound)
      QVERIFY2(!ActionNamed(f, name)->isEnabled(), name);
    f.SelectRow(0);
    for (const char *name : bound)
      QVERIFY2(ActionNamed(f, name)->isEnabled(), name);
    for (const char *name : never)
      QVERIFY2(!ActionNamed(f, name)->isEnabled(), name);
    f.ProjectList()->clearSelection();
    QVERIFY(!f.Action(TCatalogueAction::OpenProjectAction)->isEnabled());

    QCOMPARE(MenuTexts(f.Menu(TCatalogueMenu::FileMenu)),
             (QStringList{QStringLiteral(u"開く(&O)"), QStringLiteral(u"ﾌｫﾙﾀﾞの指定(&F)"),
                          QStringLiteral(u"環境設定(&E)"), QStringLiteral("-"),
                          QStringLiteral(u"終了(&X)")}));
    QCOMPARE(
        MenuTexts(f.Menu(TCatalogueMenu::ProjectListPopup)),
        (QStringList{QStringLiteral(u"開く(&O)"), QStringLiteral(u"新規作成(&C)"),
                     QStringLiteral(u"ｼｮｰﾄｶｯﾄの作成(&S)"), QStringLiteral(u"ﾌﾟﾛｼﾞｪｸﾄの削除(&D)"),
                     QStringLiteral("-"), QStringLiteral(u"ﾌﾟﾛﾊﾟﾃｨ(&P)")}));
    QCOMPARE(f.Menu(TCatalogueMenu::ProjectListPopup)->defaultAction(),
             f.Action(TCatalogueAction::PopupOpenMenu));
    QStringList hints;
    for (QAction *a : f.findChild<QToolBar *>(QStringLiteral("ToolBar"))->actions())
      hints << (a->isSeparator() ? QStringLiteral("-") : a->toolTip());
    QCOMPARE(hints, (QStringList{QStringLiteral(u"終了"), QStringLiteral("-"),
                                 QStringLiteral(u"ﾌﾟﾛｼﾞｪｸﾄを開く"),
                                 QStringLiteral(u"ﾌﾟﾛｼﾞｪｸﾄを作成"), QStringLiteral(u"ｼｮｰﾄｶｯﾄ作成"),
                                 QStringLiteral("-"), QStringLiteral(u"ﾌﾟﾛｼﾞｪｸﾄのﾌﾟﾛﾊﾟﾃｨ"),
                                 QStringLiteral("-"), QStringLiteral(u"ﾌﾟﾛｼﾞｪｸﾄを削除")}));
    QCOMPARE(f.Action(TCatalogueAction::CreateShortcutAction)->shortcut(),
             QKeySequence(QStringLiteral("Ctrl+S")));
  }

  void createMakesANumberedDirectoryAndANewEditor() {
    root_->MakeDir(QStringLiteral("Idea"));
    TSelectThemaForm &f = Open();
    ui::ScriptedMessageBoxes boxes;
    ui::ScriptedDialogs dialogs({DialogAnswer::Accept(QStringLiteral("Idea")),
                                 DialogAnswer::Accept(QStringLiteral("Idea"))});
    f.CreateProjectAction();
    f.CreateProjectAction();
    QCOMPARE(dialogs.Asked()[0].title, QStringLiteral(u"プロジェクトの作成"));
    QCOMPARE(dialogs.Asked()[0].prompt, QStringLiteral(u"新しいプロジェクト名を指定して下さい"));
    QCOMPARE(dialogs.Asked()[0].initial, QString());
    QVERIFY(root_->Has(QStringLiteral("Idea0/MainTree.dat")));
    QVERIFY(root_->Has(QStringLiteral("Idea1/MainTree.dat")));
    QVERIFY(!root_->Has(QStringLiteral("Idea/MainTree.dat")));
    // A new project titled like an open one still gets an editor of its own.
    const std::vector<TVaveMainForm *> editors = f.Editors();
    QCOMPARE(editors.size(), 2u);
    QCOMPARE(editors[0]->ProjectDir(), root_->Cp() + "Idea0/");
    QCOMPARE(editors[1]->ProjectDir(), root_->Cp() + "Idea1/");
    QCOMPARE(editors[0]->windowTitle(), QStringLiteral("Idea"));
    QCOMPARE(editors[0]->Author(), std::string("Rara"));
    QCOMPARE(Titles(f), (QStringList{QStringLiteral("Idea"), QStringLiteral("Idea")}));
    for (int i = 0; i < 2; ++i) {
      QCOMPARE(f.ProjectList()->topLevelItem(i)->text(1), QString()); // no save yet
      QVERIFY(!f.Row(i)->IsNew);
      QVERIFY(f.Row(i)->EditorWindow);
    }
    QCOMPARE(boxes.Asked().size(), 0u);

    // An empty name: the root itself exists, so the directory is "0".
    dialogs.Answer(DialogAnswer::Accept(QString()));
    f.CreateProjectAction();
    QVERIFY(root_->Has(QStringLiteral("0/MainTree.dat")));
    QCOMPARE(f.Editors().back()->ProjectTitle(), std::string());

    // A name that would leave the root is refused and asked again.
    dialogs.Answer(DialogAnswer::Accept(QStringLiteral("../escape")));
    dialogs.Answer(DialogAnswer::Accept(QStringLiteral("..")));
    dialogs.Answer(DialogAnswer::Cancel());
    f.CreateProjectAction();
    QCOMPARE(boxes.Asked().size(), 2u);
    QCOMPARE(dialogs.Asked().back().initial, QStringLiteral(".."));
    QVERIFY(!QFileInfo::exists(root_->Native(QStringLiteral("../escape"))));
    QCOMPARE(f.RowCount(), 3);
  }

  void createThatCannotMakeItsDirectoryAddsNothing() {
    TSelectThemaForm &f = Open();
    // A plain file where the root folder was: no directory can be made in it,
    // whatever the rights of the user.
    const QString rootPath = root_->Native().chopped(1);
    QDir(rootPath).removeRecursively();
    QFile blocker(rootPath);
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    ui::ScriptedMessageBoxes boxes;
    ui::ScriptedDialogs dialogs({DialogAnswer::Accept(QStringLiteral("New"))});
    f.CreateProjectAction();
    QFile::remove(rootPath);
    QDir().mkpath(rootPath);
    QCOMPARE(boxes.Asked().size(), 1u);
    QVERIFY(boxes.Asked()[0].text.startsWith(
        QStringLiteral(u"プロジェクトのディレクトリを作成できません\r\n")));
    QCOMPARE(f.RowCount(), 0);
    QVERIFY(f.Editors().empty());
  }

  void openingFindsTheEditorByDirectory() {
    MakeProject(*root_, QStringLiteral("s1"), QStringLiteral("Same"));
    MakeProject(*root_, QStringLiteral("s2"), QStringLiteral("Same"));
    TSelectThemaForm &f = Open();
    f.SelectRow(0);
    QTest::keyClick(f.ProjectList(), Qt::Key_Return); // Enter in the list opens
    f.SelectRow(1);
    f.OpenProjectAction();
    const std::vector<TVaveMainForm *> editors = f.Editors();
    QCOMPARE(editors.size(), 2u);
    QVERIFY(editors[0]->ProjectDir() != editors[1]->ProjectDir());
    QCOMPARE(f.Row(0)->EditorWindow.data(), editors[0]);
    QCOMPARE(f.Row(1)->EditorWindow.data(), editors[1]);

    // Opening again brings the same editor forward.
    f.SelectRow(0);
    f.OpenProjectAction();
    QCOMPARE(f.Editors().size(), 2u);
    QCOMPARE(f.Row(0)->EditorWindow.data(), editors[0]);

    // Its rows survive a refresh with their editors.
    f.RefreshProjectList();
    QCOMPARE(f.Row(0)->EditorWindow.data(), editors[0]);
    QCOMPARE(f.Row(1)->EditorWindow.data(), editors[1]);
    f.ApplicationDeactivate();

    // Closing an editor clears its row.
    QPointer<TVaveMainForm> first = editors[0];
    QVERIFY(first->close());
    QVERIFY(!f.Row(0)->EditorWindow);
    QTRY_VERIFY(!first);
  }

  // Enter pressed where the keyboard focus is, as a keyboard user would.
  static void PressEnter(TSelectThemaForm &f) {
    QVERIFY(f.focusWidget() == f.ProjectList());
    QTest::keyClick(f.focusWidget(), Qt::Key_Return);
  }

  void enterOpensTheCurrentRowAfterStartRefreshCreateAndClose() {
    MakeProject(*root_, QStringLiteral("a"), QStringLiteral("Alpha"));
    MakeProject(*root_, QStringLiteral("b"), QStringLiteral("Beta"));
    TSelectThemaForm &f = Open();
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    // After start: the first row (descending titles: Beta).
    PressEnter(f);
    QCOMPARE(f.Editors().size(), 1u);
    QCOMPARE(f.Editors()[0]->ProjectDir(), root_->Cp() + "b/");

    // After a refresh: the row that was selected.
    f.SelectRow(1);
    f.RefreshProjectList();
    QCOMPARE(f.Selected(), f.Row(1));
    f.SelectRow(0);
    PressEnter(f); // Beta is open: it comes forward, nothing new
    QCOMPARE(f.Editors().size(), 1u);

    // After an editor's close: that project's row.
    QPointer<TVaveMainForm> beta = f.Editors()[0];
    f.SelectRow(RowOf(f, QStringLiteral("Alpha")));
    QVERIFY(beta->close());
    QTRY_VERIFY(!beta);
    QCOMPARE(f.Selected()->Directory, root_->Cp() + "b/");
    PressEnter(f);
    QCOMPARE(f.Editors().size(), 1u);
    QCOMPARE(f.Editors()[0]->ProjectDir(), root_->Cp() + "b/");
    QVERIFY(f.Editors()[0]->close());

    // After a create: the new project's row.
    ui::ScriptedDialogs dialogs({DialogAnswer::Accept(QStringLiteral("Gamma"))});
    f.CreateProjectAction();
    QCOMPARE(f.Selected()->Directory, root_->Cp() + "Gamma/");
    QCOMPARE(f.focusWidget(), f.ProjectList());

    // An empty list: nothing is selected and Enter does nothing.
    ui::ScriptedMessageBoxes boxes({MsgAnswer::No}); // the new project is not saved
    for (TVaveMainForm *e : f.Editors())
      QVERIFY(e->close());
    for (const char *dir : {"a", "b", "Gamma"})
      QVERIFY(QDir(root_->Native(QString::fromLatin1(dir))).removeRecursively());
    f.RefreshProjectList();
    QCOMPARE(f.RowCount(), 0);
    QVERIFY(!f.Selected());
    const size_t before = f.Editors().size();
    PressEnter(f);
    QCOMPARE(f.Editors().size(), before);
  }

  void aSaveUpdatesItsRowAndTheOrder() {
    MakeProject(*root_, QStringLiteral("a"), QStringLiteral("Alpha"), kOld);
    MakeProject(*root_, QStringLiteral("b"), QStringLiteral("Beta"), kMiddle);
    TSelectThemaForm &f = Open();
    f.ProjectListColumnClick(1); // by date, ascending
    QCOMPARE(Titles(f), (QStringList{QStringLiteral("Alpha"), QStringLiteral("Beta")}));
    TVaveMainForm *editor = OpenRow(f, QStringLiteral("Alpha"));
    QVERIFY(editor);
    support::ScopedClock clock(TDateTime{2030, 1, 2, 3, 4, 5});
    QVERIFY(editor->SaveProject());
    QCOMPARE(Titles(f), (QStringList{QStringLiteral("Beta"), QStringLiteral("Alpha")}));
    QCOMPARE(f.ProjectList()->topLevelItem(1)->text(1), QStringLiteral("2030/01/02 03:04:05"));
    QCOMPARE(f.Row(1)->LastUpdate, (TDateTime{2030, 1, 2, 3, 4, 5}));
  }

  void deleteRemovesTheFilesButNeverFollowsALink() {
    MakeProject(*root_, QStringLiteral("p"), QStringLiteral("Doomed"));
    root_->Write(QStringLiteral("p/noext"), "x");
    root_->Write(QStringLiteral("p/.hidden"), "x");
    root_->Write(QStringLiteral("p/keep/inside.txt"), "kept");
    outside_->Write(QStringLiteral("target.txt"), "target");
    outside_->MakeDir(QStringLiteral("targetdir"));
    outside_->Write(QStringLiteral("targetdir/t.txt"), "t");
    QVERIFY(QFile::link(outside_->Native(QStringLiteral("target.txt")),
                        root_->Native(QStringLiteral("p/link.txt"))));
    QVERIFY(QFile::link(outside_->Native(QStringLiteral("targetdir")),
                        root_->Native(QStringLiteral("p/dirlink"))));
    MakeProject(*root_, QStringLiteral("q"), QStringLiteral("Plain"));
    MakeProject(*outside_, QStringLiteral("real"), QStringLiteral("Linked"));
    QVERIFY(
        QFile::link(outside_->Native(QStringLiteral("real")), root_->Native(QStringLiteral("ln"))));
    TSelectThemaForm &f = Open();
    QCOMPARE(f.RowCount(), 3);

    ui::ScriptedMessageBoxes boxes({MsgAnswer::No});
    f.SelectRow(RowOf(f, QStringLiteral("Doomed")));
    f.DeleteProjectAction();
    // The folder named too: two projects may share a title.
    QCOMPARE(boxes.Asked()[0].text, QStringLiteral(u"プロジェクト\"Doomed\"を削除します\r\n") +
                                        root_->Native(QStringLiteral("p")) +
                                        QStringLiteral(u"\r\nよろしいですか?"));
    QCOMPARE(boxes.Asked()[0].buttons, ui::MsgButtons::YesNo);
    QCOMPARE(boxes.Asked()[0].defaultButton, ui::MsgAnswer::No); // Enter keeps the project
    QCOMPARE(boxes.Asked()[0].icon, ui::MsgIcon::Warning);
    QVERIFY(root_->Has(QStringLiteral("p/MainTree.dat")));

    // A subdirectory stays, so the directory does; the project is gone.
    boxes.Answer(MsgAnswer::Yes);
    f.DeleteProjectAction();
    QCOMPARE(boxes.Asked().size(), 3u);
    QCOMPARE(boxes.Asked()[2].text, QStringLiteral(u"ディレクトリ\"") + root_->Native() +
                                        QStringLiteral(u"p/\"が削除できません\r\n\r\n"
                                                       u"次のフォルダは中身ごと残しました: keep"));
    for (const char *gone : {"p/MainTree.dat", "p/r.txt", "p/noext", "p/.hidden", "p/link.txt"})
      QVERIFY2(!root_->Has(QString::fromLatin1(gone)), gone);
    QVERIFY(!QFileInfo(root_->Native(QStringLiteral("p/dirlink"))).isSymLink());
    QCOMPARE(root_->Read(QStringLiteral("p/keep/inside.txt")), QByteArray("kept"));
    QCOMPARE(outside_->Read(QStringLiteral("target.txt")), QByteArray("target"));
    QVERIFY(outside_->Has(QStringLiteral("targetdir/t.txt")));
    QCOMPARE(Titles(f).contains(QStringLiteral("Doomed")), false);

    // A plain project goes entirely, without a message.
    boxes.Clear();
    boxes.Answer(MsgAnswer::Yes);
    f.SelectRow(RowOf(f, QStringLiteral("Plain")));
    f.DeleteProjectAction();
    QCOMPARE(boxes.Asked().size(), 1u);
    QVERIFY(!root_->Has(QStringLiteral("q")));

    // A project reached through a link: the link goes, the project stays.
    boxes.Answer(MsgAnswer::Yes);
    f.SelectRow(RowOf(f, QStringLiteral("Linked")));
    f.DeleteProjectAction();
    QCOMPARE(boxes.Asked().size(), 2u);
    QVERIFY(!QFileInfo(root_->Native(QStringLiteral("ln"))).isSymLink());
    QVERIFY(outside_->Has(QStringLiteral("real/MainTree.dat")));
    QCOMPARE(f.RowCount(), 0);
  }

  // Projects another program adds to or removes from the root folder come
  // and go on their own, the selection staying on its project; F5 reads the
  // folder at once.
  void theListFollowsTheRootFolder() {
    for (const char *t : {"A", "B"})
      MakeProject(*root_, QString::fromLatin1(t).toLower(), QString::fromLatin1(t));
    TSelectThemaForm &f = Open();
    f.show();
    f.SelectRow(RowOf(f, QStringLiteral("B")));
    MakeProject(*root_, QStringLiteral("c"), QStringLiteral("C"));
    QTRY_COMPARE(f.RowCount(), 3);
    QCOMPARE(f.Selected()->Title, TestDir::Name(QStringLiteral("B")));
    QVERIFY(QDir(root_->Native(QStringLiteral("a"))).removeRecursively());
    QTRY_COMPARE(f.RowCount(), 2);
    QCOMPARE(f.Selected()->Title, TestDir::Name(QStringLiteral("B")));
    MakeProject(*root_, QStringLiteral("d"), QStringLiteral("D"));
    f.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&f));
    QTest::keyClick(f.ProjectList(), Qt::Key_F5);
    QCOMPARE(f.RowCount(), 3);
  }

  // What a delete leaves is named with why (a file that could not go, a
  // folder of its own such as .git, whose content is never touched); the
  // selection moves to the neighbouring row.
  void deleteNamesWhatItLeavesAndWhy() {
    for (const char *t : {"A", "B", "C"})
      MakeProject(*root_, QString::fromLatin1(t).toLower(), QString::fromLatin1(t));
    root_->Write(QStringLiteral("b/.git/config"), "x");
    TSelectThemaForm &f = Open();
    ui::ScriptedMessageBoxes boxes({MsgAnswer::Yes, MsgAnswer::Ok});
    f.SelectRow(RowOf(f, QStringLiteral("B")));
    QCOMPARE(RowOf(f, QStringLiteral("B")), 1);
    fsys::fault::Arm({fsys::fault::Call::Unlink, 1, EACCES, false});
    f.DeleteProjectAction();
    fsys::fault::Disarm();
    QCOMPARE(boxes.Asked().size(), 2u);
    const QString said = boxes.Asked()[1].text; // the folder, the file and why, the folder left
    QVERIFY2(said.startsWith(QStringLiteral(u"ディレクトリ\"") + root_->Native() +
                             QStringLiteral(u"b/\"が削除できません\r\n") + root_->Native()) &&
                 said.contains(ui::ErrnoText(EACCES)) && said.endsWith(QStringLiteral(": .git")),
             qPrintable(said));
    QCOMPARE(root_->Read(QStringLiteral("b/.git/config")), QByteArray("x"));
    QVERIFY(f.Selected() && f.Selected() == f.List().Row(1));
  }

  void deleteAsksTheOpenEditorToCloseFirst() {
    MakeProject(*root_, QStringLiteral("p"), QStringLiteral("Open"));
    TSelectThemaForm &f = Open();
    QPointer<TVaveMainForm> editor = OpenRow(f, QStringLiteral("Open"));
    QVERIFY(editor);
    editor->VaveDataBase()->Project().SetModified(true);

    // Its user keeps the editor: the files stay too.
    ui::ScriptedMessageBoxes boxes({MsgAnswer::Yes, MsgAnswer::Cancel});
    f.DeleteProjectAction();
    QCOMPARE(boxes.Asked().size(), 2u);
    QVERIFY(editor);
    QVERIFY(root_->Has(QStringLiteral("p/MainTree.dat")));

    boxes.Answer(MsgAnswer::Yes);
    boxes.Answer(MsgAnswer::No); // do not save
    f.DeleteProjectAction();
    QTRY_VERIFY(!editor);
    QVERIFY(!root_->Has(QStringLiteral("p")));
    QCOMPARE(f.RowCount(), 0);
  }

  void shortcutFileAndDesktopRegistration() {
    MakeProject(*root_, QStringLiteral("p"), QStringLiteral("Proj"));
    TSelectThemaForm &f = Open();
    f.SelectRow(0);
    const QString ida = outside_->Native(QStringLiteral("p.ida"));
    ui::ScriptedMessageBoxes boxes;
    ui::ScriptedDialogs dialogs({DialogAnswer::Accept(ida)});
    f.CreateShortcutAction();
    const ui::DialogRequest &asked = dialogs.Asked()[0];
    QCOMPARE(asked.kind, ui::DialogKind::SaveFile);
    QCOMPARE(asked.title, QStringLiteral(u"アイデアへのショートカット作成"));
    QCOMPARE(asked.filter, QStringLiteral(u"ｱｲﾃﾞｱｼｮｰﾄｶｯﾄ(*.ida)|*.ida|すべてのﾌｧｲﾙ(*.*)|*.*"));
    QCOMPARE(asked.defaultSuffix, QStringLiteral("ida"));
    QVERIFY(asked.confirmOverwrite);
    // Named after the project, beside it; later where the last one went.
    QCOMPARE(asked.initial, root_->Native(QStringLiteral("Proj.ida")));
    QCOMPARE(outside_->Read(QStringLiteral("p.ida")),
             "[Project]\r\nDirectory=" + QByteArray::fromStdString(root_->Cp()) + "p/\r\n");

    // Writing into an existing file (once agreed) changes that one key only.
    outside_->Write(QStringLiteral("old.ida"),
                    "[Other]\r\nKey=1\r\n[Project]\r\nDirectory=/gone/\r\nExtra=2\r\n");
    dialogs.Answer(DialogAnswer::Accept(outside_->Native(QStringLiteral("old.ida"))));
    boxes.Answer(ui::MsgAnswer::Yes);
    f.CreateShortcutAction();
    QCOMPARE(outside_->Read(QStringLiteral("old.ida")),
             "[Other]\r\nKey=1\r\n[Project]\r\nDirectory=" +
                 QByteArray::fromStdString(root_->Cp()) + "p/\r\nExtra=2\r\n");
    QCOMPARE(boxes.Asked().size(), 1u); // replace the existing file?
    QCOMPARE(dialogs.Asked()[1].initial, outside_->Native(QStringLiteral("Proj.ida")));

    const QByteArray mime = data_->Read(QStringLiteral("share/mime/packages/orvane-project.xml"));
    QVERIFY(mime.contains("<mime-type type=\"application/x-orvane-project\">"));
    QVERIFY(mime.contains("<glob pattern=\"*.ida\"/>"));
    const QByteArray entry = data_->Read(QStringLiteral("share/applications/orvane.desktop"));
    QVERIFY(entry.contains("\nExec=\"" +
                           QFile::encodeName(QCoreApplication::applicationFilePath()) + "\" %f\n"));
    QVERIFY(entry.contains("\nMimeType=application/x-orvane-project;\n"));

    // A program path with characters the Exec line treats specially.
    QCOMPARE(desktop::ExecArgument(QStringLiteral("/opt/a b/$x\"y\\z%")),
             QStringLiteral("\"/opt/a b/\\\\$x\\\\\"y\\\\\\\\z%%\""));

    // The MIME file cannot be written: the user hears of it, the entry is
    // still written.
    QFile::remove(data_->Native(QStringLiteral("share/applications/orvane.desktop")));
    QVERIFY(QDir(data_->Native(QStringLiteral("share/mime"))).removeRecursively());
    data_->Write(QStringLiteral("share/mime"), "a file in the way");
    dialogs.Answer(DialogAnswer::Accept(ida));
    boxes.Clear();
    boxes.Answer(ui::MsgAnswer::Yes); // replace p.ida
    f.CreateShortcutAction();
    QCOMPARE(boxes.Asked().size(), 2u);
    QCOMPARE(boxes.Asked()[1].text, QStringLiteral(u"レジストリを変更できません"));
    QVERIFY(data_->Has(QStringLiteral("share/applications/orvane.desktop")));
    QFile::remove(data_->Native(QStringLiteral("share/mime")));
  }

  void settingsAreWrittenOnCloseAndReadOnTheNextStart() {
    {
      TRegIniFile reg;
      reg.WriteString("restoration", "Kept", "yes");
    }
    TSelectThemaForm &f = Open();
    f.setGeometry(120, 130, 400, 350);
    f.ProjectList()->header()->resizeSection(0, 150);
    f.ProjectList()->header()->resizeSection(1, 90);
    f.ProjectListColumnClick(1);
    f.SetAuthor(TestDir::Name(QStringLiteral(u"書き手")));
    QVERIFY(f.close());

    TRegIniFile reg;
    QCOMPARE(reg.ReadInteger("Window", "Top", 0), 130);
    QCOMPARE(reg.ReadInteger("Window", "Left", 0), 120);
    QCOMPARE(reg.ReadInteger("Window", "Width", 0), 400);
    QCOMPARE(reg.ReadInteger("Window", "Height", 0), 350);
    QCOMPARE(reg.ReadInteger("Window", "ProjectCaption", 0), 150);
    QCOMPARE(reg.ReadInteger("Window", "ProjectDate", 0), 90);
    QCOMPARE(reg.ReadString("Main", "RootDir", ""), root_->Cp());
    QCOMPARE(reg.ReadString("Main", "SortMode", ""), std::string("1"));
    QCOMPARE(reg.ReadString("Main", "SortUp", ""), std::string("1"));
    QCOMPARE(reg.ReadString("Main", "Autor", ""), TestDir::Name(QStringLiteral(u"書き手")));
    QCOMPARE(reg.ReadString("restoration", "Kept", ""), std::string("yes"));

    form_.reset();
    TSelectThemaForm next;
    QCOMPARE(next.geometry(), QRect(120, 130, 400, 350));
    QCOMPARE(next.ProjectList()->header()->sectionSize(0), 150);
    QCOMPARE(next.ProjectList()->header()->sectionSize(1), 90);
    QCOMPARE(next.SortMode(), 1);
    QVERIFY(next.SortUp());
    QCOMPARE(next.RootDir(), root_->Cp());
    QCOMPARE(next.windowTitle(), QStringLiteral(u"Orvane ver1.12.14  [書き手]"));
  }

  void closingWaitsForEveryEditorAndStaysWhenOneRefuses() {
    MakeProject(*root_, QStringLiteral("a"), QStringLiteral("Alpha"));
    MakeProject(*root_, QStringLiteral("b"), QStringLiteral("Beta"));
    TSelectThemaForm &f = Open();
    f.show();
    (void)fsys::DeleteFile(TRegIniFile::DefaultFileName()); // absent already is as good
    QPointer<TVaveMainForm> alpha = OpenRow(f, QStringLiteral("Alpha"));
    QPointer<TVaveMainForm> beta = OpenRow(f, QStringLiteral("Beta"));
    beta->VaveDataBase()->Project().SetModified(true);
    QSignalSpy closed(&f, &TSelectThemaForm::Closed);

    ui::ScriptedMessageBoxes boxes({MsgAnswer::Cancel});
    QVERIFY(!f.close());
    QCOMPARE(boxes.Asked().size(), 1u);
    QVERIFY(f.isVisible());
    QVERIFY(beta);
    QVERIFY(!beta->IsClosing());
    QVERIFY(!fsys::FileExists(TRegIniFile::DefaultFileName()));
    QCOMPARE(closed.count(), 0);

    boxes.Answer(MsgAnswer::No);
    QVERIFY(f.close());
    QTRY_VERIFY(!alpha && !beta);
    QVERIFY(fsys::FileExists(TRegIniFile::DefaultFileName()));
    QCOMPARE(closed.count(), 1);
  }

  // The desktop's session ends: with interaction the close questions (Cancel
  // stays), without it no box, the unsaved tree kept in the recovery copy and
  // its row marked; the settings are written either way, the catalogue stays.
  void theSessionEndAsksOnlyWhenItMay() {
    MakeProject(*root_, QStringLiteral("a"), QStringLiteral("Alpha"));
    TSelectThemaForm &f = Open();
    f.show();
    QSignalSpy closed(&f, &TSelectThemaForm::Closed);
    QPointer<TVaveMainForm> alpha = OpenRow(f, QStringLiteral("Alpha"));
    alpha->VaveDataBase()->Project().SetModified(true);
    (void)fsys::DeleteFile(TRegIniFile::DefaultFileName()); // absent already is as good
    ui::ScriptedMessageBoxes boxes;
    f.EndWithoutQuestions();
    QVERIFY(boxes.Asked().empty());
    QVERIFY(alpha && !alpha->IsClosing());
    QVERIFY(fsys::FileExists(TRegIniFile::DefaultFileName()));
    f.RefreshProjectList();
    QVERIFY(!f.ProjectList()->topLevelItem(0)->toolTip(0).isEmpty());

    boxes.Answer(MsgAnswer::Cancel);
    QVERIFY(!f.CommitSessionData(true));
    QCOMPARE(boxes.Asked().size(), 1u);
    QVERIFY(alpha);
    boxes.Answer(MsgAnswer::No);
    QVERIFY(f.CommitSessionData(true));
    QTRY_VERIFY(!alpha);
    QVERIFY(f.ProjectList()->topLevelItem(0)->toolTip(0).isEmpty()); // "No" gave the copy up
    QCOMPARE(closed.count(), 0);
  }

  // A copy follows its renamed project's row; one whose project is gone is
  // offered as a project of its own; a delete takes a project's copies along.
  void recoveryCopiesFollowTheirProject() {
    const std::string rootDir = TRecoveryCommands::Root();
    auto leaveCopy = [&](const std::string &dir) {
      TProject p;
      QVERIFY(p.Load(dir).RootLoaded);
      recovery::Entry e;
      e.Path = recovery::NewEntryPath(rootDir, p.Dir());
      e.Dir = p.Dir();
      e.Identity = recovery::IdentityOf(p);
      e.Made = "2026/12/10 10:00:00";
      e.Items.push_back(recovery::ItemOf(*p.Root(), "Title:Alpha\r\n\r\nkept text\r\n\r\n"));
      QVERIFY(recovery::Write(rootDir, e));
    };
    MakeProject(*root_, QStringLiteral("a"), QStringLiteral("Alpha"));
    root_->Write(QStringLiteral("a/r.txt"),
                 "Title:Alpha\r\nFirstEdition:2026/12/01 09:00:00\r\n\r\n");
    leaveCopy(root_->Cp(QStringLiteral("a")));
    QVERIFY(QDir().rename(root_->Native(QStringLiteral("a")), root_->Native(QStringLiteral("b"))));
    TSelectThemaForm &f = Open();
    QVERIFY(!f.ProjectList()->topLevelItem(0)->toolTip(0).isEmpty());

    QVERIFY(QDir(root_->Native(QStringLiteral("b"))).removeRecursively());
    f.RefreshProjectList();
    ui::ScriptedMessageBoxes boxes({MsgAnswer::Yes});
    f.Action(TCatalogueAction::RecoveryAction)->trigger();
    QCOMPARE(boxes.Asked().size(), 1u);
    QCOMPARE(boxes.Asked()[0].defaultButton, MsgAnswer::Yes);
    QCOMPARE(f.RowCount(), 1);
    const std::string made = f.Row(0)->Directory;
    TProject back;
    QVERIFY(back.Load(made).RootLoaded);
    QCOMPARE(back.Root()->GetFirstChild()->Data()->Files.Body.Joined(), std::string("kept text"));

    leaveCopy(made);
    f.RefreshProjectList();
    f.SelectRow(0);
    boxes.Answer(MsgAnswer::Yes);
    f.DeleteProjectAction();
    QVERIFY(boxes.Asked()[1].text.contains(QString::fromUtf16(u"復元データ 1 件も削除します")));
    std::vector<recovery::Copy> left;
    QVERIFY(recovery::List(rootDir, left, true));
    QVERIFY(left.empty());
  }

  void shortcutHandOverOpensItsProject() {
    MakeProject(*outside_, QStringLiteral("p"), QStringLiteral("Far"));
    outside_->Write(QStringLiteral("far.ida"),
                    "[Project]\r\nDirectory=" +
                        QByteArray::fromStdString(outside_->Cp(QStringLiteral("p"))) + "\r\n");
    outside_->Write(QStringLiteral("gone.ida"), "[Project]\r\nDirectory=/no/such/dir/\r\n");
    TSelectThemaForm &f = Open();
    f.show();
    ui::ScriptedMessageBoxes boxes;

    f.WMShortcutHandover(QStringLiteral("   ") + outside_->Native(QStringLiteral("far.ida")));
    QCOMPARE(f.ShortcutProjects().size(), 1u);
    const TProjectData &entry = *f.ShortcutProjects()[0];
    QVERIFY(entry.FromShortcut);
    QVERIFY(!entry.IsNew);
    QCOMPARE(entry.Directory, outside_->Cp(QStringLiteral("p")));
    QVERIFY(entry.EditorWindow);
    QCOMPARE(entry.EditorWindow->ProjectTitle(), std::string("Far"));
    QVERIFY(!f.isMinimized());

    // The same shortcut again finds the open editor.
    f.WMShortcutHandover(outside_->Native(QStringLiteral("far.ida")));
    QCOMPARE(f.Editors().size(), 1u);
    QCOMPARE(f.ShortcutProjects()[1]->EditorWindow, entry.EditorWindow);
    QCOMPARE(boxes.Asked().size(), 0u);

    f.WMShortcutHandover(outside_->Native(QStringLiteral("missing.ida")));
    f.WMShortcutHandover(outside_->Native(QStringLiteral("gone.ida")));
    QCOMPARE(boxes.Asked().size(), 2u);
    QCOMPARE(boxes.Asked()[0].text, QStringLiteral(u"ショートカットファイルが見つかりません"));
    QCOMPARE(boxes.Asked()[1].text, QStringLiteral(u"プロジェクトが見つかりません"));
    QCOMPARE(f.ShortcutProjects().size(), 2u);

    // Without an argument the catalogue just comes back.
    f.showMinimized();
    f.WMShortcutHandover(std::nullopt);
    QVERIFY(!f.isMinimized());
    QVERIFY(f.isVisible());
  }

  void aRelativeDirectoryMeansTheShortcutsOwnFolder() {
    MakeProject(*outside_, QStringLiteral("p"), QStringLiteral("Far"));
    MakeProject(*root_, QStringLiteral("p"), QStringLiteral("Near")); // under the working dir
    outside_->Write(QStringLiteral("links/rel.ida"), "[Project]\r\nDirectory=../p/\r\n");
    outside_->Write(QStringLiteral("links/none.ida"), "[Project]\r\nDirectory=p/\r\n");
    const QString cwd = QDir::currentPath();
    QVERIFY(QDir::setCurrent(root_->Native()));
    TSelectThemaForm &f = Open();
    ui::ScriptedMessageBoxes boxes;
    f.WMShortcutHandover(outside_->Native(QStringLiteral("links/rel.ida")));
    f.WMShortcutHandover(outside_->Native(QStringLiteral("links/none.ida")));
    QDir::setCurrent(cwd);
    QCOMPARE(f.Editors().size(), 1u);
    QCOMPARE(f.Editors()[0]->ProjectTitle(), std::string("Far"));
    QVERIFY(fsys::SameFile(f.Editors()[0]->ProjectDir(), outside_->Cp(QStringLiteral("p"))));
    QCOMPARE(boxes.Asked().size(), 1u);
    QCOMPARE(boxes.Asked()[0].text, QStringLiteral(u"プロジェクトが見つかりません"));
  }

  void aProjectDirectoryAsArgumentOpensThatProject() {
    MakeProject(*outside_, QStringLiteral("p"), QStringLiteral("Far"));
    outside_->MakeDir(QStringLiteral("plain"));
    {
      // First start: opened, and the catalogue out of the way.
      TSelectThemaForm &f = Open(outside_->Native(QStringLiteral("p")));
      f.show();
      QVERIFY(f.isMinimized());
      QCOMPARE(f.Editors().size(), 1u);
      QCOMPARE(f.Editors()[0]->ProjectTitle(), std::string("Far"));
      QCOMPARE(f.ShortcutProjects().size(), 1u);
      QVERIFY(f.Editors()[0]->close());
    }
    TSelectThemaForm &f = Open();
    f.show();
    ui::ScriptedMessageBoxes boxes;
    f.WMShortcutHandover(outside_->Native(QStringLiteral("p")));
    QCOMPARE(f.Editors().size(), 1u);
    QCOMPARE(f.Editors()[0]->ProjectTitle(), std::string("Far"));
    QCOMPARE(boxes.Asked().size(), 0u);

    // A directory that holds no project says so, with its name.
    f.WMShortcutHandover(outside_->Native(QStringLiteral("plain")));
    QCOMPARE(boxes.Asked().size(), 1u);
    QCOMPARE(boxes.Asked()[0].text, QStringLiteral(u"正常なプロジェクトではありません\r\n") +
                                        outside_->Native(QStringLiteral("plain")));
    // A blank argument names no shortcut file; it is not "no argument".
    f.showMinimized();
    f.WMShortcutHandover(QStringLiteral("   "));
    f.WMShortcutHandover(QString());
    QCOMPARE(boxes.Asked().size(), 3u);
    QCOMPARE(boxes.Asked()[1].text, QStringLiteral(u"ショートカットファイルが見つかりません"));
    QCOMPARE(boxes.Asked()[2].text, QStringLiteral(u"ショートカットファイルが見つかりません"));
    QCOMPARE(f.ShortcutProjects().size(), 1u);
  }

  void firstStartWithAShortcutStaysMinimisedUntilItsEditorCloses() {
    MakeProject(*outside_, QStringLiteral("p"), QStringLiteral("Far"));
    outside_->Write(QStringLiteral("far.ida"),
                    "[Project]\r\nDirectory=" +
                        QByteArray::fromStdString(outside_->Cp(QStringLiteral("p"))) + "\r\n");
    TSelectThemaForm &f = Open(outside_->Native(QStringLiteral("far.ida")));
    f.ShowAtStart();
    QVERIFY(f.isMinimized());
    QCOMPARE(f.Editors().size(), 1u);
    QPointer<TVaveMainForm> editor = f.Editors()[0];
    QVERIFY(editor->close());
    QVERIFY(!f.isMinimized());
    QVERIFY(!f.ShortcutProjects()[0]->EditorWindow);

    // A shortcut that opens nothing leaves the catalogue in sight.
    ui::ScriptedMessageBoxes boxes;
    TSelectThemaForm failed(outside_->Native(QStringLiteral("none.ida")));
    QCOMPARE(boxes.Asked().size(), 1u);
    QVERIFY(!failed.isMinimized());
  }

  void aLongRootFolderDoesNotWidenTheWindow() {
    TSelectThemaForm &f = Open();
    const int width = f.width();
    f.SetRootDir(root_->Cp() + std::string(300, 'x') + "/");
    f.RefreshProjectList();
    QVERIFY(f.StatusPanel(1)->text().size() > 300);
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    f.layout()->activate();
    QVERIFY(f.minimumSize().width() < width);
    QCOMPARE(f.width(), width);
    // ... and the count beside it stays readable.
    QVERIFY(f.StatusPanel(0)->width() >= f.StatusPanel(0)->sizeHint().width());
  }

  // Delete asks as the menu command does, Shift+F10 opens the list's menu; an
  // empty list says how to begin.
  void keysOfTheListAndItsEmptyHint() {
    MakeProject(*root_, QStringLiteral("p"), QStringLiteral("Kept"));
    TSelectThemaForm &f = Open();
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    auto *hint = f.ProjectList()->findChild<QLabel *>(QStringLiteral("EmptyListHint"));
    QVERIFY(hint && !hint->isVisible());
    ui::ScriptedMessageBoxes boxes({MsgAnswer::No, MsgAnswer::No});
    f.DeleteProjectAction();
    QTest::keyClick(f.ProjectList(), Qt::Key_Delete);
    QCOMPARE(boxes.Asked().size(), 2u);
    QCOMPARE(boxes.Asked()[1].text, boxes.Asked()[0].text);
    QCOMPARE(boxes.Asked()[1].defaultButton, boxes.Asked()[0].defaultButton);
    QTest::keyClick(f.ProjectList(), Qt::Key_F10, Qt::ShiftModifier);
    QVERIFY(f.Menu(TCatalogueMenu::ProjectListPopup)->isVisible());
    f.Menu(TCatalogueMenu::ProjectListPopup)->close();
    QVERIFY(QDir(root_->Native(QStringLiteral("p"))).removeRecursively());
    f.RefreshProjectList();
    QVERIFY(hint->isVisible() && hint->text().contains(QStringLiteral(u"「新規作成」")));
  }

  void aboutShowsTheVersionAndScrolls() {
    TSelectThemaForm &f = Open();
    f.AboutAction();
    TAboutForm *about = f.AboutWindow();
    QVERIFY(about && about->isVisible());
    QCOMPARE(about->findChild<QLabel *>(QStringLiteral("Version"))->text(),
             QStringLiteral("ver1.12.14"));
    QVERIFY(about->findChild<QLabel *>(QStringLiteral("License"))
                ->text()
                .contains(QStringLiteral("GNU General Public License")));
    QVERIFY(about->Scrolling());
    const int before = about->ScrollOffset();
    about->ScrollTimerTimer();
    QCOMPARE(about->ScrollOffset(), before + 1);
    f.AboutAction(); // made once, reused
    QCOMPARE(f.findChildren<TAboutForm *>().size(), 1);
    about->close();
    QVERIFY(!about->Scrolling());
  }
};

ORVANE_WIDGET_TEST_MAIN(CatalogueTest)

#include "CatalogueTest.moc"
