// The attachment window over real files in a temporary project directory,
// with scripted dialogs and message boxes.
#include "attach/AttachmentForm.h"
#include "WidgetTestSupport.h"
#include "attach/DragDropFile.h"
#include "attach/FileListView.h"
#include "store/LibUnit.h"
#include "store/NodeFiles.h"
#include "ui/Dialogs.h"
#include "ui/MessageBox.h"
#include "ui/Shell.h"

#include <QAction>
#include <QListView>
#include <QMenu>
#include <QMimeData>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTreeView>
#include <QUrl>

#include <memory>

using ui::MsgAnswer;

namespace {

const QString kReport = QStringLiteral(u"報告書.txt");
const QString kPhoto = QStringLiteral(u"写真 2024.jpg");

QString Cell(TAttachmentForm &f, int row, int column) {
  return f.FileList()->model()->item(row, column)->text();
}

std::vector<std::string> Captions(TAttachmentForm &f) {
  std::vector<std::string> out;
  for (int r = 0; r < f.RowCount(); ++r)
    out.push_back(f.RowCaption(r));
  return out;
}

QAction *Action(TAttachmentForm &f, const char *name) {
  auto *a = f.findChild<QAction *>(QString::fromLatin1(name));
  if (!a)
    qFatal("no action %s", name);
  return a;
}

void Drop(QWidget *target, const QStringList &nativePaths) {
  QMimeData mime;
  QList<QUrl> urls;
  for (const QString &p : nativePaths)
    urls << QUrl::fromLocalFile(p);
  mime.setUrls(urls);
  const QPointF at(10, 10);
  QDragEnterEvent enter(at.toPoint(), Qt::CopyAction | Qt::LinkAction, &mime, Qt::LeftButton,
                        Qt::NoModifier);
  QApplication::sendEvent(target, &enter);
  QDropEvent drop(at, Qt::CopyAction | Qt::LinkAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &drop);
  QCoreApplication::processEvents(); // the report comes from the event loop
}

} // namespace

class AttachmentFormTest : public QObject {
  Q_OBJECT

  std::unique_ptr<TestDir> project_, outside_;
  std::unique_ptr<TAttachmentForm> form_;
  TNodeFiles item_;

  TAttachmentForm &Form() { return *form_; }
  void Show(const TStringList &entries) {
    item_.AttachFiles = entries;
    form_->ShowAttachments(&item_);
  }

private slots:
  void init() {
    project_ = std::make_unique<TestDir>();
    outside_ = std::make_unique<TestDir>();
    project_->Write(QStringLiteral("MainTree.dat"), "[Root]\r\nFileName=20240101000000 0.txt\r\n");
    project_->Write(QStringLiteral("20240101000000 0.txt"), "Title:Root\r\n");
    form_ = std::make_unique<TAttachmentForm>();
    form_->SetProjectDir(RemovePathSeparator(project_->Cp()));
    item_ = TNodeFiles();
  }
  void cleanup() { form_.reset(); }

  void projectDirKeepsOneTrailingSeparator() { QCOMPARE(Form().ProjectDir(), project_->Cp()); }

  void copiedFileIsListedByBareNameAndLinkedByFullPath() {
    outside_->Write(kReport, "report body");
    const std::string outsidePhoto = outside_->Write(kPhoto, QByteArray(1234, 'x'));
    Show({});
    ui::ScriptedDialogs dialogs({ui::DialogAnswer::Accept(outside_->Native(kReport)),
                                 ui::DialogAnswer::Accept(outside_->Native(kPhoto))});
    ui::ScriptedMessageBoxes boxes;
    Form().CopyRegisterActionExecute();
    Form().LinkRegisterActionExecute();

    QCOMPARE(dialogs.Asked().size(), 2u);
    for (const ui::DialogRequest &r : dialogs.Asked()) {
      QCOMPARE(r.kind, ui::DialogKind::OpenFile);
      QCOMPARE(r.title, QStringLiteral(u"登録するファイルを指定"));
      QCOMPARE(
          r.filter,
          QStringLiteral(u"すべてのﾌｧｲﾙ(*.*)|*.*|ﾃｷｽﾄﾌｧｲﾙ(*.txt;*.doc)|*.txt;*.doc|"
                         u"お気に入り(*.URL)|*.url|画像ﾌｧｲﾙ(*.bmp;*.gif;*.jpg)|*.bmp;*.gif;*.jpg"));
      QVERIFY(r.mustExist);
    }
    QCOMPARE(project_->Read(kReport), QByteArray("report body"));
    QCOMPARE(outside_->Read(kReport), QByteArray("report body"));
    const TStringList expected = {TestDir::Name(kReport), outsidePhoto};
    QCOMPARE(Captions(Form()), expected);
    QCOMPARE(item_.AttachFiles, expected);
    QCOMPARE(Form().ResolvePath(item_.AttachFiles[0]), project_->Cp(kReport));
    QCOMPARE(Cell(Form(), 0, TFileListView::CaptionColumn), kReport);
    QCOMPARE(Cell(Form(), 1, TFileListView::SizeColumn), QStringLiteral("1234byte"));
    QCOMPARE(boxes.Asked().size(), 0u);
  }

  void copyOverExistingNameAsksAndKeepsOneRow() {
    outside_->Write(kReport, "new");
    project_->Write(kReport, "old");
    Show({TestDir::Name(kReport), "gone.txt"});
    QCOMPARE(Form().RowCount(), 1);

    ui::ScriptedDialogs dialogs({ui::DialogAnswer::Accept(outside_->Native(kReport)),
                                 ui::DialogAnswer::Accept(outside_->Native(kReport))});
    ui::ScriptedMessageBoxes boxes({MsgAnswer::No, MsgAnswer::Yes});
    Form().CopyRegisterActionExecute();
    QCOMPARE(boxes.Asked().size(), 1u);
    QCOMPARE(boxes.Asked()[0].text, QStringLiteral(u"コピー先に ") + kReport +
                                        QStringLiteral(u" が存在します。\r\n上書きしますか?"));
    QCOMPARE(boxes.Asked()[0].buttons, ui::MsgButtons::YesNo);
    QCOMPARE(boxes.Asked()[0].defaultButton, MsgAnswer::No); // Enter keeps the old copy
    QCOMPARE(boxes.Asked()[0].caption, QStringLiteral(u"リンク"));
    // Declined: file and rows as they were, but the list was written back
    // (the entry whose file is missing stays in it).
    QCOMPARE(project_->Read(kReport), QByteArray("old"));
    QCOMPARE(Form().RowCount(), 1);
    QCOMPARE(item_.AttachFiles, (TStringList{TestDir::Name(kReport), "gone.txt"}));

    Form().CopyRegisterActionExecute();
    QCOMPARE(project_->Read(kReport), QByteArray("new"));
    QCOMPARE(Form().RowCount(), 1);
    QCOMPARE(Cell(Form(), 0, TFileListView::SizeColumn), QStringLiteral("3byte"));
    QCOMPARE(item_.AttachFiles, (TStringList{TestDir::Name(kReport), "gone.txt"}));
    QCOMPARE(boxes.Unscripted(), 0);
  }

  void copyOfAFileAlreadyInTheProjectLeavesItWhole() {
    project_->Write(kReport, "precious");
    Show({});
    ui::ScriptedDialogs dialogs({ui::DialogAnswer::Accept(project_->Native(kReport))});
    ui::ScriptedMessageBoxes boxes;
    Form().CopyRegisterActionExecute();
    QCOMPARE(project_->Read(kReport), QByteArray("precious"));
    QCOMPARE(boxes.Asked().size(), 0u);
    QCOMPARE(item_.AttachFiles, TStringList{TestDir::Name(kReport)});
  }

  void copyNeverReplacesTheProjectsOwnFiles() {
    const QByteArray tree = project_->Read(QStringLiteral("MainTree.dat"));
    outside_->Write(QStringLiteral("MainTree.dat"), "hostile");
    outside_->Write(QStringLiteral("maintree.DAT.ord"), "hostile");
    outside_->Write(QStringLiteral("20240101000000 0.txt"), "hostile");
    Form().IsProjectFile = [](const std::string &name) { return name == "20240101000000 0.txt"; };
    Show({});
    ui::ScriptedDialogs dialogs(
        {ui::DialogAnswer::Accept(outside_->Native(QStringLiteral("MainTree.dat"))),
         ui::DialogAnswer::Accept(outside_->Native(QStringLiteral("maintree.DAT.ord"))),
         ui::DialogAnswer::Accept(outside_->Native(QStringLiteral("20240101000000 0.txt")))});
    ui::ScriptedMessageBoxes boxes({MsgAnswer::Ok, MsgAnswer::Ok, MsgAnswer::Ok});
    for (int i = 0; i < 3; ++i)
      Form().CopyRegisterActionExecute();
    QCOMPARE(project_->Read(QStringLiteral("MainTree.dat")), tree);
    QVERIFY(!project_->Has(QStringLiteral("maintree.DAT.ord")));
    QCOMPARE(project_->Read(QStringLiteral("20240101000000 0.txt")), QByteArray("Title:Root\r\n"));
    QCOMPARE(boxes.Asked().size(), 3u);
    for (const auto &b : boxes.Asked())
      QCOMPARE(b.icon, ui::MsgIcon::Warning);
    QCOMPARE(Form().RowCount(), 0);
  }

  void failedCopyIsReportedAndAddsNoRow() {
    outside_->Write(kReport, "x");
    project_->MakeDir(kReport); // a folder in the way: the copy cannot replace it
    Show({});
    ui::ScriptedDialogs dialogs({ui::DialogAnswer::Accept(outside_->Native(kReport))});
    ui::ScriptedMessageBoxes boxes({MsgAnswer::Yes, MsgAnswer::Ok});
    Form().CopyRegisterActionExecute();
    QCOMPARE(boxes.Asked().size(), 2u);
    QCOMPARE(boxes.Asked()[1].icon, ui::MsgIcon::Error);
    QVERIFY(
        boxes.Asked()[1].text.startsWith(QStringLiteral(u"ファイルをコピーできませんでした。")));
    QCOMPARE(Form().RowCount(), 0);
  }

  void cancelledPickChangesNothing() {
    outside_->Write(kReport, "x");
    Show({"gone.txt"});
    ui::ScriptedDialogs dialogs({ui::DialogAnswer::Cancel(), ui::DialogAnswer::Cancel()});
    Form().CopyRegisterActionExecute();
    Form().LinkRegisterActionExecute();
    QCOMPARE(item_.AttachFiles, TStringList{"gone.txt"}); // not even written back
  }

  void fileInTheProjectLinkedByFullPathIsListedByBareName() {
    project_->Write(kPhoto, "jpg");
    Show({project_->Cp(kPhoto)});
    // Shown by its bare name; the entry itself stays as the item holds it.
    QCOMPARE(Cell(Form(), 0, TFileListView::CaptionColumn), kPhoto);
    QCOMPARE(Captions(Form()), TStringList{project_->Cp(kPhoto)});
    ui::ScriptedDialogs dialogs({ui::DialogAnswer::Accept(project_->Native(kReport))});
    project_->Write(kReport, "r");
    Form().LinkRegisterActionExecute();
    const TStringList expected = {project_->Cp(kPhoto), TestDir::Name(kReport)};
    QCOMPARE(item_.AttachFiles, expected);
  }

  void removeAsksForCopiesOnlyAndDeletesOnYes_data() {
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("rowKept");
    QTest::addColumn<bool>("fileKept");
    QTest::newRow("yes") << int(MsgAnswer::Yes) << false << false;
    QTest::newRow("no") << int(MsgAnswer::No) << false << true;
    QTest::newRow("cancel") << int(MsgAnswer::Cancel) << true << true;
  }
  void removeAsksForCopiesOnlyAndDeletesOnYes() {
    QFETCH(int, answer);
    QFETCH(bool, rowKept);
    QFETCH(bool, fileKept);
    project_->Write(kReport, "r");
    const std::string link = outside_->Write(kPhoto, "p");
    Show({TestDir::Name(kReport), link});
    ui::ScriptedMessageBoxes boxes({MsgAnswer(answer)});
    Form().SelectRow(0);
    Form().UnregisterActionExecute();
    QCOMPARE(boxes.Asked().size(), 1u);
    QCOMPARE(boxes.Asked()[0].text, kReport + QStringLiteral(u" を削除してもよいですか?"));
    QCOMPARE(boxes.Asked()[0].icon, ui::MsgIcon::Information);
    QCOMPARE(boxes.Asked()[0].buttons, ui::MsgButtons::YesNoCancel);
    QCOMPARE(boxes.Asked()[0].defaultButton, MsgAnswer::No); // Enter keeps the file
    QCOMPARE(project_->Has(kReport), fileKept);
    const TStringList expected =
        rowKept ? TStringList{TestDir::Name(kReport), link} : TStringList{link};
    QCOMPARE(Captions(Form()), expected);
    QCOMPARE(item_.AttachFiles, expected);

    // A link goes without a question, and its file stays.
    Form().SelectRow(Form().RowCount() - 1);
    Form().UnregisterActionExecute();
    QCOMPARE(boxes.Asked().size(), 1u);
    QVERIFY(outside_->Has(kPhoto));
    QCOMPARE(item_.AttachFiles.size(), rowKept ? 1u : 0u);
  }

  void removeWithYesNeverDeletesWhatTheProjectNeedsOrWhatLiesOutside() {
    outside_->Write(QStringLiteral("victim.txt"), "v");
    project_->MakeDir(QStringLiteral("sub"));
    project_->Write(QStringLiteral("sub/inner.txt"), "i");
    Form().IsProjectFile = [](const std::string &name) { return name == "20240101000000 0.txt"; };
    // Entries as a hand-edited item file could hold them.
    Show(TStringList{"MainTree.dat", "20240101000000 0.txt", "..", "sub", "sub/inner.txt",
                     "../" + ExtractFileName(RemovePathSeparator(outside_->Cp())) + "/victim.txt"});
    QCOMPARE(Form().RowCount(), 6);
    ui::ScriptedMessageBoxes boxes;
    for (int i = 0; i < 6; ++i)
      boxes.Answer(MsgAnswer::Yes), boxes.Answer(MsgAnswer::Ok);
    while (Form().RowCount() > 0) {
      Form().SelectRow(0);
      Form().UnregisterActionExecute();
    }
    QVERIFY(project_->Has(QStringLiteral("MainTree.dat")));
    QVERIFY(project_->Has(QStringLiteral("20240101000000 0.txt")));
    QVERIFY(project_->Has(QStringLiteral("sub/inner.txt")));
    QVERIFY(outside_->Has(QStringLiteral("victim.txt")));
    QVERIFY(item_.AttachFiles.empty());
  }

  void missingFileStaysInTheListAtWriteBack() {
    project_->Write(kReport, "r");
    const TStringList entries = {"deleted.txt", TestDir::Name(kReport), "/no/such/file.txt", ""};
    Show(entries);
    QCOMPARE(Captions(Form()), TStringList{TestDir::Name(kReport)});
    QCOMPARE(item_.AttachFiles, entries); // untouched until written back
    QSignalSpy changed(form_.get(), &TAttachmentForm::attachmentsChanged);
    // A file away for a moment must not cost its entry: nothing changed.
    QVERIFY(Form().WriteBack());
    QCOMPARE(item_.AttachFiles, entries);
    QCOMPARE(changed.count(), 0);
    // Removing the shown row keeps the unshown entries in their places.
    ui::ScriptedMessageBoxes boxes({MsgAnswer::No});
    Form().SelectRow(0);
    Form().UnregisterActionExecute(); // a copy: asked, answered No (keep the file)
    QCOMPARE(item_.AttachFiles, (TStringList{"deleted.txt", "/no/such/file.txt", ""}));
    QCOMPARE(changed.count(), 1);
    QVERIFY(project_->Has(kReport));
  }

  void writeBackWithoutAListReportsFalse() {
    QVERIFY(!Form().WriteBack());
    Show({});
    Form().DetachList();
    QVERIFY(!Form().WriteBack());
    QVERIFY(!Action(Form(), "CopyRegisterAction")->isEnabled());
  }

  void sizesAndDatesAreShownInFull() {
    project_->Write(QStringLiteral("empty.txt"), "");
    {
      QFile big(project_->Native(QStringLiteral("big.bin")));
      QVERIFY(big.open(QIODevice::WriteOnly));
      QVERIFY(big.resize(5LL * 1024 * 1024 * 1024 + 7)); // sparse
    }
    {
      QFile f(project_->Native(QStringLiteral("empty.txt")));
      QVERIFY(f.open(QIODevice::ReadWrite));
      QVERIFY(f.setFileTime(QDateTime(QDate(2023, 4, 5), QTime(6, 7, 8)),
                            QFileDevice::FileModificationTime));
    }
    Show({"empty.txt", "big.bin"});
    QCOMPARE(Cell(Form(), 0, TFileListView::SizeColumn), QStringLiteral("0byte"));
    QCOMPARE(Cell(Form(), 0, TFileListView::DateColumn), QStringLiteral("2023/04/05 06:07:08"));
    QCOMPARE(Cell(Form(), 1, TFileListView::SizeColumn), QStringLiteral("5368709127byte"));
    QVERIFY(!Form().FileList()->model()->item(0, 0)->icon().isNull());
    auto *report = Form().findChild<QTreeView *>(QStringLiteral("FileListReport"));
    QCOMPARE(report->columnWidth(0), 150);
    QVERIFY(report->columnWidth(1) >= 80);
    QVERIFY(report->columnWidth(2) >= 120);
    // Nothing shown is cut off.
    const QFontMetrics fm(report->font());
    QVERIFY(report->columnWidth(1) > fm.horizontalAdvance(QStringLiteral("5368709127byte")));
    QVERIFY(report->columnWidth(2) > fm.horizontalAdvance(QStringLiteral("2023/04/05 06:07:08")));
    QCOMPARE(Form().FileList()->model()->headerData(1, Qt::Horizontal).toString(),
             QStringLiteral(u"サイズ"));
  }

  void viewStyleRoundTrip() {
    QCOMPARE(Form().GetViewStyle(), 3);
    QVERIFY(Action(Form(), "ReportAction")->isChecked());
    const char *names[] = {"LargeIconAction", "SmallIconAction", "ListAction", "ReportAction"};
    for (int tag : {0, 2, 1, 3, 0}) {
      Form().SelectViewStyle(tag);
      QCOMPARE(Form().GetViewStyle(), tag);
      QVERIFY(Action(Form(), names[tag])->isChecked());
      QCOMPARE(Form().FileList()->currentWidget(),
               tag == 3 ? static_cast<QWidget *>(Form().FileList()->reportView())
                        : static_cast<QWidget *>(Form().FileList()->iconView()));
    }
    Form().SelectViewStyle(7);
    QCOMPARE(Form().GetViewStyle(), 0);
    // The editor restores the style whatever page the window was left on.
    Form().findChild<QTabWidget *>(QStringLiteral("PageControl"))->setCurrentIndex(2);
    Form().SelectViewStyle(2);
    QCOMPARE(Form().GetViewStyle(), 2);
    QVERIFY(Action(Form(), "ListAction")->isChecked());
    Form().SelectViewStyle(0);

    // The list's selection survives a change of style.
    project_->Write(kReport, "r");
    Show({TestDir::Name(kReport)});
    Form().SelectRow(0);
    Form().SelectViewStyle(3);
    QCOMPARE(Form().SelectedRow(), 0);

    Form().ApplyWindowSettings(30, 40, 500, 300, 1);
    int top, left, width, height, sort;
    Form().CollectWindowSettings(top, left, width, height, sort);
    QCOMPARE(QList<int>({top, left, width, height, sort}), QList<int>({30, 40, 500, 300, 1}));
    Form().ApplyWindowSettings(top, left, width, height, sort);
    int top2, left2, width2, height2, sort2;
    Form().CollectWindowSettings(top2, left2, width2, height2, sort2);
    QCOMPARE(QList<int>({top2, left2, width2, height2, sort2}),
             QList<int>({top, left, width, height, sort}));
  }

  void dropOfThreeFilesLinksThemInOrder() {
    const std::string a = outside_->Write(QStringLiteral(u"ｃ.txt"), "c");
    const std::string b = outside_->Write(QStringLiteral(u"あ.txt"), "a");
    project_->Write(kReport, "r");
    outside_->MakeDir(QStringLiteral(u"フォルダ"));
    Show({});
    QVERIFY(Form().DragDropFile()->Started()); // shown, so drops are taken
    ui::ScriptedMessageBoxes boxes;
    Drop(form_.get(), {outside_->Native(QStringLiteral(u"ｃ.txt")),
                       outside_->Native(QStringLiteral(u"あ.txt")), project_->Native(kReport)});
    const TStringList expected = {a, b, TestDir::Name(kReport)};
    QCOMPARE(Captions(Form()), expected);
    QCOMPARE(item_.AttachFiles, expected); // written back at once
    QCOMPARE(project_->Read(kReport), QByteArray("r"));

    Drop(Form().FileList()->reportView()->viewport(),
         {outside_->Native(QStringLiteral(u"フォルダ"))});
    QCOMPARE(Form().RowCount(), 4);
    QCOMPARE(Form().RowCaption(3), outside_->Cp(QStringLiteral(u"フォルダ")));
    QCOMPARE(boxes.Asked().size(), 0u);
  }

  void openAndSaveACopy() {
    project_->Write(kReport, "content");
    Show({TestDir::Name(kReport)});
    ui::RecordedShellOpen opened;
    Form().ExecuteFileActionExecute(); // nothing selected
    QVERIFY(opened.Targets().empty());
    Form().SelectRow(0);
    Form().ExecuteFileActionExecute();
    QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
    QTreeView *report = Form().FileList()->reportView();
    const QPoint at = report->visualRect(Form().FileList()->model()->index(0, 0)).center();
    QTest::mouseClick(report->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseDClick(report->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QCOMPARE(opened.Targets(), std::vector<std::string>(2, project_->Cp(kReport)));

    ui::ScriptedDialogs dialogs(
        {ui::DialogAnswer::Accept(outside_->Native(QStringLiteral(u"控え.txt"))),
         ui::DialogAnswer::Accept(project_->Native(QStringLiteral("MainTree.dat")))});
    ui::ScriptedMessageBoxes boxes({MsgAnswer::Yes, MsgAnswer::Ok}); // replace?, refused
    Form().SaveAsActionExecute();
    QCOMPARE(dialogs.Asked()[0].kind, ui::DialogKind::SaveFile);
    QCOMPARE(dialogs.Asked()[0].title, QStringLiteral(u"添付ファイルを保存"));
    QCOMPARE(dialogs.Asked()[0].initial, project_->Native(kReport));
    QVERIFY(dialogs.Asked()[0].confirmOverwrite);
    QCOMPARE(outside_->Read(QStringLiteral(u"控え.txt")), QByteArray("content"));
    // Saving a copy over the project's tree file is refused.
    const QByteArray tree = project_->Read(QStringLiteral("MainTree.dat"));
    Form().SaveAsActionExecute();
    QCOMPARE(project_->Read(QStringLiteral("MainTree.dat")), tree);
    QCOMPARE(boxes.Asked().size(), 2u);
    QCOMPARE(boxes.Pending(), 0);
    QCOMPARE(item_.AttachFiles, TStringList{TestDir::Name(kReport)});
  }

  void enabledStatesFollowSelectionListAndPage() {
    QVERIFY(!Action(Form(), "LinkRegisterAction")->isEnabled()); // no list yet
    project_->Write(kReport, "r");
    Show({TestDir::Name(kReport)});
    for (const char *name : {"ExecuteFileAction", "SaveAsAction", "UnregisterAction"})
      QVERIFY2(!Action(Form(), name)->isEnabled(), name);
    QVERIFY(Action(Form(), "CopyRegisterAction")->isEnabled());
    QVERIFY(Action(Form(), "LinkRegisterAction")->isEnabled());
    Form().SelectRow(0);
    for (const char *name : {"ExecuteFileAction", "SaveAsAction", "UnregisterAction"})
      QVERIFY2(Action(Form(), name)->isEnabled(), name);
    for (const char *name :
         {"LinkDeleteAction", "LinkClearAction", "MarkDeleteAction", "MarkClearAction"})
      QVERIFY2(!Action(Form(), name)->isEnabled(), name);

    auto menuVisible = [this](const char *name) {
      return Form().findChild<QMenu *>(QString::fromLatin1(name))->menuAction()->isVisible();
    };
    auto *pages = Form().findChild<QTabWidget *>(QStringLiteral("PageControl"));
    QCOMPARE(pages->count(), 3);
    QVERIFY(menuVisible("FileMenu") && menuVisible("RegisterMenu") && menuVisible("ViewMenu"));
    QVERIFY(!menuVisible("LinkMenu") && !menuVisible("MarkMenu"));
    pages->setCurrentIndex(1);
    QVERIFY(!menuVisible("FileMenu") && !menuVisible("RegisterMenu") && !menuVisible("ViewMenu"));
    QVERIFY(menuVisible("LinkMenu") && !menuVisible("MarkMenu"));
    QVERIFY(!Form().findChild<QMenu *>(QStringLiteral("LinkMenu"))->menuAction()->isEnabled());
    // The file commands rest on the other pages, shortcuts included.
    for (const char *name : {"ExecuteFileAction", "SaveAsAction", "UnregisterAction",
                             "CopyRegisterAction", "LinkRegisterAction", "LargeIconAction"})
      QVERIFY2(!Action(Form(), name)->isEnabled(), name);
    pages->setCurrentIndex(0);
    QVERIFY(menuVisible("FileMenu"));
    QVERIFY(Action(Form(), "UnregisterAction")->isEnabled());
  }

  void shortcutsReachTheCommandsFromTheList() {
    project_->Write(kReport, "r");
    Show({TestDir::Name(kReport)});
    Form().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form_.get()));
    Form().SelectRow(0);
    QWidget *list = Form().FileList()->reportView();
    list->setFocus();
    ui::ScriptedDialogs dialogs;
    ui::RecordedShellOpen opened;
    QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier); // copy-attach, not the view's own copy
    QTest::keyClick(list, Qt::Key_L, Qt::ControlModifier);
    QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier); // save a copy, not select all
    QCOMPARE(dialogs.Asked().size(), 3u);
    QCOMPARE(dialogs.Asked()[2].kind, ui::DialogKind::SaveFile);
    QTest::keyClick(list, Qt::Key_Return, Qt::ControlModifier);
    QCOMPARE(opened.Targets().size(), 1u);
    QTest::keyClick(list, Qt::Key_F5);
    QCOMPARE(Form().GetViewStyle(), 0);
    QTest::keyClick(Form().FileList()->iconView(), Qt::Key_F8);
    QCOMPARE(Form().GetViewStyle(), 3);
    ui::ScriptedMessageBoxes boxes({MsgAnswer::Cancel});
    QTest::keyClick(list, Qt::Key_R, Qt::ControlModifier);
    QCOMPARE(boxes.Asked().size(), 1u);
    QTest::keyClick(list, Qt::Key_Q, Qt::ControlModifier);
    QVERIFY(!Form().IsShown());
  }

  void closeBoxWritesBackAndHidesWhileCloseItemOnlyHides() {
    project_->Write(kReport, "r");
    project_->Write(kPhoto, "p");
    Show({"gone.txt", TestDir::Name(kReport)});
    QVERIFY(Form().AddFileRow(project_->Cp(kPhoto))); // a row not yet in the list
    Action(Form(), "CloseAction")->trigger();
    QVERIFY(!Form().IsShown());
    QCOMPARE(item_.AttachFiles.size(), 2u);
    Show({"gone.txt", TestDir::Name(kReport)});
    QVERIFY(Form().AddFileRow(project_->Cp(kPhoto)));
    QVERIFY(Form().IsShown());
    Form().close();
    QVERIFY(!Form().IsShown());
    QCOMPARE(item_.AttachFiles,
             (TStringList{"gone.txt", TestDir::Name(kReport), TestDir::Name(kPhoto)}));
    QVERIFY(Form().findChild<TFileListView *>(QStringLiteral("FileList")));
  }
};

// Run with --attach-demo to look at the window with a small project of
// Japanese file names (not part of the test run).
static int AttachDemo() {
  static TestDir project, outside;
  project.Write(QStringLiteral("MainTree.dat"), "[Root]\r\n");
  project.Write(QStringLiteral(u"議事録 2024年4月.txt"), QByteArray(5321, 'a'));
  project.Write(QStringLiteral(u"見積書.pdf"), QByteArray(183004, 'b'));
  project.Write(QStringLiteral(u"空のメモ.txt"), "");
  project.Write(QStringLiteral(u"構成図.png"), QByteArray(48211, 'c'));
  const std::string link =
      outside.Write(QStringLiteral(u"参考資料/仕様一覧.html"), QByteArray(9100, 'd'));
  static TNodeFiles item;
  item.AttachFiles = {TestDir::Name(QStringLiteral(u"議事録 2024年4月.txt")),
                      TestDir::Name(QStringLiteral(u"見積書.pdf")),
                      TestDir::Name(QStringLiteral(u"空のメモ.txt")),
                      TestDir::Name(QStringLiteral(u"構成図.png")), link};
  auto *form = new TAttachmentForm;
  form->SetProjectDir(project.Cp());
  form->ShowAttachments(&item);
  form->SelectRow(1);
  const QStringList args = QCoreApplication::arguments();
  const int style = args.indexOf(QStringLiteral("--view"));
  if (style >= 0)
    form->SelectViewStyle(args.value(style + 1).toInt());
  form->resize(520, 240);
  return QApplication::exec();
}

int main(int argc, char **argv) {
  PrepareTestEnvironment();
  QApplication app(argc, argv);
  if (QCoreApplication::arguments().contains(QStringLiteral("--attach-demo")))
    return AttachDemo();
  AttachmentFormTest tc;
  QTEST_SET_MAIN_SOURCE_PATH
  return QTest::qExec(&tc, argc, argv);
}

#include "AttachmentFormTest.moc"
