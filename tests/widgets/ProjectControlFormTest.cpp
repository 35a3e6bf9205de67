// The project management window on its own: both pages driven by real key and
// mouse events inside its modal display, imports into real temporary folders.
#include "catalogue/ProjectControlForm.h"
#include "ProjectControlDriver.h"
#include "WidgetTestSupport.h"
#include "ui/Dialogs.h"
#include "ui/FramedLabel.h"
#include "ui/MessageBox.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>

using ui::DialogAnswer;

namespace {

QStringList Captions(QWidget *page) {
  QStringList out;
  for (ui::FramedLabel *l : page->findChildren<ui::FramedLabel *>())
    out << l->text();
  return out;
}

const QString kBadRequest =
    QStringLiteral(u"エクスポートされたファイルが見つからないか、プロジェクト名が不正です");
const QString kDone = QStringLiteral(u"インポートが完了しました");

} // namespace

class ProjectControlFormTest : public QObject {
  Q_OBJECT

  std::unique_ptr<TestDir> root_, files_;
  std::unique_ptr<TProjectControlForm> form_;

private slots:
  void init() {
    root_ = std::make_unique<TestDir>();
    files_ = std::make_unique<TestDir>();
    files_->Write(QStringLiteral("idea.txt"), ExchangeOf("Imported"));
    form_ = std::make_unique<TProjectControlForm>();
  }
  void cleanup() { form_.reset(); }

  void windowHasBothPagesWithFramedCaptionsAndCanBeResized() {
    TProjectControlForm &f = *form_;
    QCOMPARE(f.windowTitle(), QStringLiteral(u"プロジェクト管理"));
    QCOMPARE(f.Pages()->count(), 2);
    QCOMPARE(f.Pages()->tabText(0), QStringLiteral(u"インポート"));
    QCOMPARE(f.Pages()->tabText(1), QStringLiteral(u"著者設定"));
    QCOMPARE(Captions(f.Pages()->widget(0)), (QStringList{QStringLiteral(u"プロジェクト名"),
                                                          QStringLiteral(u"インポートファイル")}));
    QCOMPARE(Captions(f.Pages()->widget(1)), QStringList{QStringLiteral(u"著者名")});
    QCOMPARE(f.ProjectName()->text(), QStringLiteral(u"新しいプロジェクト"));
    QCOMPARE(f.BrowseButton()->text(), QStringLiteral(u">>(&B)"));
    QCOMPARE(f.StartControlButton()->text(), QStringLiteral(u"実行(&S)"));
    QCOMPARE(f.CancelButton()->text(), QStringLiteral(u"閉じる(&C)"));
    QVERIFY(!f.windowFlags().testFlag(Qt::WindowContextHelpButtonHint));

    bool ran = false;
    WhenShown(
        [](TProjectControlForm &w) {
          QVERIFY(w.maximumSize().width() > w.minimumSize().width()); // resizable
          QCOMPARE(w.Pages()->currentIndex(), 0);
          QCOMPARE(w.focusWidget(), w.ProjectName());
        },
        &ran);
    QVERIFY(!f.ShowControl(0, root_->Cp()));
    QVERIFY(ran);
    QVERIFY(!f.isVisible());
  }

  void browseFillsTheFileAndTwoRunsMakeTwoSiblingProjects() {
    TProjectControlForm &f = *form_;
    ui::ScriptedMessageBoxes boxes;
    ui::ScriptedDialogs dialogs({DialogAnswer::Accept(files_->Native(QStringLiteral("idea.txt")))});
    WhenShown([&](TProjectControlForm &w) {
      Click(w.BrowseButton());
      QCOMPARE(w.ExportFileName()->text(), files_->Native(QStringLiteral("idea.txt")));
      TypeInto(w.ProjectName(), QStringLiteral(u"最初"));
      Click(w.StartControlButton());
      QVERIFY(w.isVisible()); // open for the next run
      QVERIFY(w.ImportResult);
      TypeInto(w.ProjectName(), QStringLiteral("Second"));
      QTest::keyClick(w.ProjectName(), Qt::Key_Return); // Enter runs the page
      QVERIFY(w.isVisible());
      QTest::keyClick(w.ProjectName(), Qt::Key_Escape);
      QVERIFY(!w.isVisible());
    });
    // The root is given without its separator: the window adds one.
    QVERIFY(f.ShowControl(0, root_->Cp().substr(0, root_->Cp().size() - 1)));
    QCOMPARE(f.ImportRoot, root_->Cp());
    QVERIFY(f.ImportResult); // Esc keeps the outcome of the last run

    QCOMPARE(dialogs.Asked().size(), 1u);
    const ui::DialogRequest &asked = dialogs.Asked()[0];
    QCOMPARE(asked.kind, ui::DialogKind::OpenFile);
    QCOMPARE(asked.filter, QStringLiteral(u"ﾃｷｽﾄﾌｧｲﾙ(*.txt)|*.txt|すべてのﾌｧｲﾙ(*.*)|*.*"));
    QCOMPARE(asked.defaultSuffix, QStringLiteral("txt"));
    QVERIFY(asked.mustExist);

    QCOMPARE(boxes.Asked().size(), 2u);
    for (const ui::MessageBoxRequest &b : boxes.Asked()) {
      QCOMPARE(b.text, kDone);
      QCOMPARE(b.caption, QStringLiteral(u"プロジェクト管理"));
      QCOMPARE(b.icon, ui::MsgIcon::Information);
    }
    const QByteArray exchange = ExchangeOf("Imported");
    for (const QString &dir : {QStringLiteral(u"最初"), QStringLiteral("Second")}) {
      QCOMPARE(root_->Read(dir + QStringLiteral("/MainTree.dat")),
               QByteArray("[Root]\r\nLastIndex=1\r\nChild01=Root-C00000\r\nFileName=r.txt\r\n"
                          "[Root-C00000]\r\nFileName=c.txt\r\n"));
      QCOMPARE(root_->Read(dir + QStringLiteral("/c.txt")),
               QByteArray("Title:child\r\n\r\nchild text\r\n"));
      QVERIFY(root_->Has(dir + QStringLiteral("/r.txt")));
    }
    QCOMPARE(QDir(root_->Native()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(), 2);

    // The next display starts without an outcome.
    WhenShown([](TProjectControlForm &w) { QVERIFY(!w.ImportResult); });
    QVERIFY(!f.ShowControl(0, root_->Cp()));
    QVERIFY(!f.ImportResult);
  }

  void refusedRunsTellWhyAndWriteNothingOutsideTheRoot() {
    TProjectControlForm &f = *form_;
    root_->Write(QStringLiteral("Taken/MainTree.dat"), "[Root]\r\nFileName=mine.txt\r\n");
    files_->Write(QStringLiteral("other.txt"), "[Other File]\r\nFileName:x\r\n\f\r\n");
    ui::ScriptedMessageBoxes boxes;
    QStringList texts;
    auto run = [&](TProjectControlForm &w, const QString &name, const QString &file) {
      w.ProjectName()->setText(name);
      w.ExportFileName()->setText(file);
      boxes.Clear();
      Click(w.StartControlButton());
      QCOMPARE(boxes.Asked().size(), 1u);
      QCOMPARE(boxes.Asked()[0].icon, ui::MsgIcon::Warning);
      texts << boxes.Asked()[0].text;
      QVERIFY(!w.ImportResult);
      QVERIFY(w.isVisible());
    };
    const QString good = files_->Native(QStringLiteral("idea.txt"));
    WhenShown([&](TProjectControlForm &w) {
      run(w, QString(), good);
      run(w, QStringLiteral("New"), files_->Native(QStringLiteral("missing.txt")));
      run(w, QStringLiteral("New"), QString());
      run(w, QStringLiteral("../escape"), good);
      run(w, QStringLiteral(".."), good);
      run(w, QStringLiteral("a\\b"), good);
      run(w, root_->Native(QStringLiteral("abs")), good);
      run(w, QStringLiteral("Taken"), good);
      run(w, QStringLiteral("Other"), files_->Native(QStringLiteral("other.txt")));
    });
    QVERIFY(!f.ShowControl(0, root_->Cp()));
    QCOMPARE(texts.size(), 9);
    QCOMPARE(texts[0], kBadRequest);
    QCOMPARE(texts[1], kBadRequest);
    QCOMPARE(texts[2], kBadRequest);
    const QString refused = QStringLiteral(u"\"は使えません\r\n");
    QCOMPARE(texts[3], QStringLiteral(u"プロジェクト名\"../escape") + refused +
                           QStringLiteral(u"\"/\" と \"\\\" を含む名前、\".\" と \"..\" は"
                                          u"プロジェクト名にできません"));
    for (int i = 4; i < 7; ++i)
      QVERIFY2(texts[i].contains(refused), qPrintable(texts[i]));
    // An existing project is never written into.
    QVERIFY(texts[7].contains(QStringLiteral(u"にはすでにファイルがあります")));
    QCOMPARE(root_->Read(QStringLiteral("Taken/MainTree.dat")),
             QByteArray("[Root]\r\nFileName=mine.txt\r\n"));
    QCOMPARE(texts[8], QStringLiteral(u"ファイル\"") + files_->Native(QStringLiteral("other.txt")) +
                           QStringLiteral(u"\"はOrvaneのデータではありません"));
    QVERIFY(!QFileInfo::exists(root_->Native(QStringLiteral("../escape"))));
    QCOMPARE(QDir(root_->Native()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("Taken")});
  }

  void aStopPartWayLeavesNoHalfProject() {
    TProjectControlForm &f = *form_;
    // The second block lacks its name line: the run stops at the separator
    // of line 7, and the folder it made goes again.
    files_->Write(QStringLiteral("broken.txt"), "[Orvane Exported File]\r\n"
                                                "FileName:MainTree.dat\r\n"
                                                "[Root]\r\nFileName=r.txt\r\n"
                                                "\f\r\n"
                                                "Title:no name line\r\n"
                                                "text\r\n"
                                                "\f\r\n");
    ui::ScriptedMessageBoxes boxes;
    WhenShown([&](TProjectControlForm &w) {
      w.ProjectName()->setText(QStringLiteral("Part"));
      w.ExportFileName()->setText(files_->Native(QStringLiteral("broken.txt")));
      Click(w.StartControlButton());
    });
    QVERIFY(!f.ShowControl(0, root_->Cp())); // nothing new to list
    QVERIFY(!f.ImportResult);
    QCOMPARE(boxes.Asked().size(), 1u);
    QCOMPARE(boxes.Asked()[0].text,
             QStringLiteral(u"ファイル\"") + files_->Native(QStringLiteral("broken.txt")) +
                 QStringLiteral(u"\"に不正なフォーマットが含まれています\r\n7行"));
    QVERIFY(!root_->Has(QStringLiteral("Part")));
  }

  void authorPageRunsOrKeepsTheName() {
    TProjectControlForm &f = *form_;
    ui::ScriptedMessageBoxes boxes;
    // Run: the typed name, the window closes.
    WhenShown([](TProjectControlForm &w) {
      QCOMPARE(w.Pages()->currentIndex(), 1);
      QCOMPARE(w.AuthorBox()->text(), QStringLiteral("Rara"));
      QCOMPARE(w.focusWidget(), w.AuthorBox());
      Type(w.AuthorBox(), QStringLiteral(u"山田")); // replaces the selected name
      Click(w.StartControlButton());
      QVERIFY(!w.isVisible());
    });
    QCOMPARE(f.EditAuthor("Rara"), TestDir::Name(QStringLiteral(u"山田")));

    // Esc, the close button and the close box keep the name given.
    WhenShown([](TProjectControlForm &w) {
      TypeInto(w.AuthorBox(), QStringLiteral("Changed"));
      QTest::keyClick(w.AuthorBox(), Qt::Key_Escape);
    });
    QCOMPARE(f.EditAuthor("Kept"), std::string("Kept"));
    WhenShown([](TProjectControlForm &w) {
      TypeInto(w.AuthorBox(), QStringLiteral("Changed"));
      Click(w.CancelButton());
    });
    QCOMPARE(f.EditAuthor("Kept"), std::string("Kept"));
    WhenShown([](TProjectControlForm &w) {
      TypeInto(w.AuthorBox(), QStringLiteral("Changed"));
      QVERIFY(w.close()); // a real close event, as from the title bar
    });
    QCOMPARE(f.EditAuthor("Kept"), std::string("Kept"));

    // A name that would break the header line it goes into is refused and the
    // window stays open with it; what CP932 cannot hold never gets in.
    WhenShown([&](TProjectControlForm &w) {
      w.AuthorBox()->setText(QStringLiteral("two\nlines"));
      Click(w.StartControlButton());
      QVERIFY(w.isVisible());
      TypeInto(w.AuthorBox(), QStringLiteral(u"絵文字\U0001F600"));
      QCOMPARE(w.AuthorBox()->text(), QStringLiteral(u"絵文字"));
      QTest::keyClick(w.AuthorBox(), Qt::Key_Escape);
    });
    QCOMPARE(f.EditAuthor("Kept"), std::string("Kept"));
    QCOMPARE(boxes.Asked().size(), 1u);
    QCOMPARE(boxes.Asked()[0].text, QStringLiteral(u"著者名に改行や制御文字は使えません"));
    QCOMPARE(boxes.Asked()[0].defaultButton, ui::MsgAnswer::Ok);
  }

  void pagesSwitchWhicheverCommandOpenedTheWindow() {
    TProjectControlForm &f = *form_;
    ui::ScriptedMessageBoxes boxes;
    // Opened for the author, used for an import into the root set before.
    f.ImportRoot = root_->Cp();
    WhenShown([&](TProjectControlForm &w) {
      w.Pages()->setCurrentIndex(0);
      w.ExportFileName()->setText(files_->Native(QStringLiteral("idea.txt")));
      TypeInto(w.ProjectName(), QStringLiteral("FromAuthor"));
      Click(w.StartControlButton());
      QVERIFY(w.isVisible());
      QTest::keyClick(w.ProjectName(), Qt::Key_Escape);
    });
    QCOMPARE(f.EditAuthor("Rara"), std::string("Rara"));
    QVERIFY(f.ImportedInDisplay());
    QVERIFY(root_->Has(QStringLiteral("FromAuthor/MainTree.dat")));

    // Opened for an import, the author page runs as from EditAuthor.
    f.AuthorName = "Before";
    WhenShown([](TProjectControlForm &w) {
      QCOMPARE(w.Pages()->currentIndex(), 0);
      w.Pages()->setCurrentIndex(1);
      TypeInto(w.AuthorBox(), QStringLiteral("After"));
      Click(w.StartControlButton());
      QVERIFY(!w.isVisible());
    });
    QVERIFY(!f.ShowControl(0, root_->Cp()));
    QCOMPARE(f.AuthorName, std::string("After"));

    // Another page number leaves the page as it was.
    WhenShown([](TProjectControlForm &w) { QCOMPARE(w.Pages()->currentIndex(), 1); });
    f.ShowControl(7, root_->Cp());

    // Without a root no import runs anywhere.
    f.ImportRoot.clear();
    const QString before = QDir::currentPath();
    WhenShown([&](TProjectControlForm &w) {
      w.Pages()->setCurrentIndex(0);
      w.ExportFileName()->setText(files_->Native(QStringLiteral("idea.txt")));
      TypeInto(w.ProjectName(), QStringLiteral("Nowhere"));
      Click(w.StartControlButton());
    });
    boxes.Clear();
    f.EditAuthor("Rara");
    QCOMPARE(boxes.Asked().size(), 1u);
    QVERIFY(boxes.Asked()[0].text.startsWith(
        QStringLiteral(u"インポート先のフォルダが決まっていません")));
    QVERIFY(!QFileInfo::exists(QDir(before).filePath(QStringLiteral("Nowhere"))));
    QVERIFY(!f.ImportedInDisplay());
  }
};

ORVANE_WIDGET_TEST_MAIN(ProjectControlFormTest)
#include "ProjectControlFormTest.moc"
