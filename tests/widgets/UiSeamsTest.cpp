// The seams every window uses: text conversion, message boxes, dialogs and
// the shell.
#include "WidgetTestSupport.h"
#include "editor/ItemMemo.h"
#include "store/FileSystem.h"
#include "ui/Dialogs.h"
#include "ui/ErrorText.h"
#include "ui/MessageBox.h"
#include "ui/Shell.h"
#include "ui/StepProgress.h"
#include "ui/Text.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

using ui::MsgAnswer;
using ui::MsgButtons;
using ui::MsgIcon;

class UiSeamsTest : public QObject {
  Q_OBJECT

private slots:
  void textKeepsBytesAndRefusesWhatCp932CannotHold() {
    // "表" ends in the byte of a backslash; 0x80 and 0xFF are not CP932 at all.
    const std::string bytes = "\x95\x5C"
                              "abc\x80\xFF\x82\xA0";
    const QString shown = ui::ToQString(bytes);
    QVERIFY(shown.startsWith(QStringLiteral(u"表abc")));
    std::string back;
    QVERIFY(ui::FromQString(shown, back));
    QCOMPARE(back, bytes);

    std::string kept = "unchanged";
    std::vector<char32_t> bad;
    QVERIFY(!ui::FromQString(QStringLiteral(u"a😀b😀c🍣"), kept, &bad));
    QCOMPARE(kept, std::string("unchanged"));
    QCOMPARE(bad, (std::vector<char32_t>{0x1F600, 0x1F363}));

    QWidget w;
    w.setWindowTitle(QStringLiteral(u"プロジェクト"));
    ui::ScriptedMessageBoxes boxes({MsgAnswer::Ok});
    QVERIFY(!ui::FromQStringOrExplain(&w, QString(), QStringLiteral(u"絵文字😀"), kept));
    QCOMPARE(boxes.Asked().size(), 1u);
    QVERIFY(boxes.Asked()[0].text.contains(QStringLiteral(u"😀")));
    QVERIFY(boxes.Asked()[0].text.contains(QStringLiteral("U+1F600")));
    QCOMPARE(boxes.Asked()[0].caption, QStringLiteral(u"プロジェクト"));
    QCOMPARE(boxes.Asked()[0].icon, MsgIcon::Warning);
    QVERIFY(ui::FromQStringOrExplain(&w, QString(), QStringLiteral(u"普通の文"), kept));
    QCOMPARE(boxes.Asked().size(), 1u);
  }

  void duplicateCodesShowAsTheirCharactersAndKeepTheirBytes() {
    // ≒ in NEC row 13 and in JIS row 2, a NEC-selected IBM kanji, ¬ three ways.
    const std::string bytes = "\x87\x90\x81\xE0"
                              "a"
                              "\xED\x40\xFA\x5C"
                              "\x81\xCA\xEE\xF9\xFA\x54"
                              "b";
    const QString shown = ui::ToQString(bytes);
    QString visible = shown;
    visible.remove(QChar(0xFE00)).remove(QChar(0xFE01)).remove(QChar(0xFE02));
    QCOMPARE(visible, QString::fromUtf16(u"≒≒a纊纊￢￢￢b"));
    std::string back;
    QVERIFY(ui::FromQString(shown, back));
    QCOMPARE(back, bytes);

    // Held by real widgets and edited with real keys, elsewhere in the text.
    QLineEdit line;
    line.setText(shown);
    line.show();
    QVERIFY(QTest::qWaitForWindowExposed(&line));
    QTest::keyClick(&line, Qt::Key_End);
    QTest::keyClicks(&line, "c");
    QVERIFY(ui::FromQString(line.text(), back));
    QCOMPARE(back, bytes + "c");

    TItemMemo memo;
    memo.setPlainText(shown + QStringLiteral("\n") + shown);
    memo.show();
    QVERIFY(QTest::qWaitForWindowExposed(&memo));
    QTest::keyClick(&memo, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(&memo, Qt::Key_Down);
    QTest::keyClicks(&memo, "d");
    QVERIFY(ui::FromQString(memo.toPlainText(), back));
    QCOMPARE(back, bytes + "\nd" + bytes);
    // Backspace after a pair removes the character, not only its invisible marker.
    QTest::keyClick(&memo, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(&memo, Qt::Key_Right);
    QTest::keyClick(&memo, Qt::Key_Backspace);
    QVERIFY(ui::FromQString(memo.toPlainText(), back));
    QCOMPARE(back, bytes.substr(2) + "\nd" + bytes);
    memo.undo();
    QVERIFY(ui::FromQString(memo.toPlainText(), back));
    QCOMPARE(back, bytes + "\nd" + bytes);
  }

  void pathsConvertOnlyWhenCp932NamesThemExactly() {
    std::string cp;
    QVERIFY(ui::PathFromQString(QStringLiteral(u"/tmp/資料/ﾌｧｲﾙ.txt"), cp));
    QCOMPARE(ui::PathToQString(cp), QStringLiteral(u"/tmp/資料/ﾌｧｲﾙ.txt"));
    QCOMPARE(cp, std::string("/tmp/\x8E\x91\x97\xBF/\xCC\xA7\xB2\xD9.txt"));
    cp = "kept";
    QVERIFY(!ui::PathFromQString(QStringLiteral(u"/tmp/😀.txt"), cp));
    QCOMPARE(cp, std::string("kept"));
  }

  void aLongStepShowsItsCountAfterASecondAndTakesEverythingAway() {
    QWidget owner;
    auto dialogs = [] { return QApplication::topLevelWidgets().count(); };
    const int before = dialogs();
    {
      ui::StepProgress progress(&owner, QStringLiteral("Orvane"),
                                QStringLiteral(u"出力しています"));
      QVERIFY(QApplication::overrideCursor());
      progress.Report(1, 10);
      QCOMPARE(dialogs(), before); // a short step shows no dialog
      QTest::qWait(1100);
      progress.Report(5, 10);
      QWidget *shown = QApplication::activeModalWidget();
      QVERIFY(shown && shown->isVisible());
      QCOMPARE(shown->findChild<QLabel *>()->text(), QStringLiteral(u"出力しています\n5 / 10 件"));
    }
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    QCOMPARE(dialogs(), before);
  }

  void fileErrorsNameTheUsersPathAndAJapaneseReason() {
    TestDir dir;
    // A Japanese name under a folder that is not there: the message shows the
    // name as typed, not its UTF-8 bytes read as CP932, and no temporary file.
    const std::string target = dir.Cp(QStringLiteral(u"無い/資料.txt"));
    fsys::Status failed = fsys::WriteFile(target, "x");
    QVERIFY(!failed);
    const QString text = ui::FileErrorText(failed);
    QCOMPARE(text, QStringLiteral("\r\n") + dir.Native(QStringLiteral(u"無い/資料.txt")) +
                       QStringLiteral(u"\r\nファイルまたはフォルダが見つかりません"));
    QVERIFY(!text.contains(QStringLiteral(".tmp")));
    QVERIFY(!ui::ErrnoText(ENOSPC).isEmpty());
    QVERIFY(ui::ErrnoText(EACCES) != ui::ErrnoText(ENOSPC));
    QVERIFY(!ui::ErrnoText(EACCES).contains(QStringLiteral("denied")));
  }

  void messageBoxesAreRecordedAnsweredAndDismissedSafely() {
    QWidget w;
    w.setWindowTitle(QStringLiteral(u"題名"));
    ui::ScriptedMessageBoxes outer({MsgAnswer::No});
    {
      ui::ScriptedMessageBoxes boxes({MsgAnswer::Yes});
      QCOMPARE(ui::ShowMessageBox(&w, QStringLiteral(u"消しますか?\r\n本当に"),
                                  QStringLiteral(u"見出し"), MsgIcon::Question,
                                  MsgButtons::YesNoCancel),
               MsgAnswer::Yes);
      // Unscripted boxes never say Yes.
      QCOMPARE(ui::ShowMessageBox(&w, QStringLiteral("a"), QString(), MsgIcon::Error,
                                  MsgButtons::YesNoCancel),
               MsgAnswer::Cancel);
      QCOMPARE(
          ui::ShowMessageBox(&w, QStringLiteral("b"), QString(), MsgIcon::Error, MsgButtons::YesNo),
          MsgAnswer::No);
      QCOMPARE(ui::ShowMessageBox(nullptr, QStringLiteral("c"), QString(), MsgIcon::None,
                                  MsgButtons::OkCancel),
               MsgAnswer::Cancel);
      QCOMPARE(boxes.Unscripted(), 3);
      QCOMPARE(boxes.Asked().size(), 4u);
      const ui::MessageBoxRequest &first = boxes.Asked()[0];
      QCOMPARE(first.text, QStringLiteral(u"消しますか?\r\n本当に"));
      QCOMPARE(first.caption, QStringLiteral(u"見出し"));
      QCOMPARE(first.icon, MsgIcon::Question);
      QCOMPARE(first.buttons, MsgButtons::YesNoCancel);
      QCOMPARE(first.parent, &w);
      QCOMPARE(boxes.Asked()[1].caption, QStringLiteral(u"題名")); // the parent window's title
      QCOMPARE(boxes.Asked()[3].caption, QString());
    }
    // The enclosing script is back in force.
    QCOMPARE(
        ui::ShowMessageBox(&w, QStringLiteral("d"), QString(), MsgIcon::Warning, MsgButtons::YesNo),
        MsgAnswer::No);
    QCOMPARE(outer.Asked().size(), 1u);
    QCOMPARE(outer.Unscripted(), 0);
  }

  void realBoxSpeaksJapaneseAndMapsItsButtons() {
    QStringList labels;
    QString text;
    auto press = [&](const QString &label) {
      QTimer::singleShot(0, [&, label] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
          return;
        text = box->text();
        labels.clear();
        for (QAbstractButton *b : box->buttons())
          labels << b->text();
        for (QAbstractButton *b : box->buttons())
          if (b->text() == label)
            b->click();
        if (label.isEmpty())
          box->reject(); // closed without a button
      });
    };
    press(QStringLiteral(u"いいえ(&N)"));
    QCOMPARE(ui::ShowMessageBox(nullptr, QStringLiteral(u"一行目\r\n二行目"), QStringLiteral(u"題"),
                                MsgIcon::Question, MsgButtons::YesNoCancel),
             MsgAnswer::No);
    QCOMPARE(text, QStringLiteral(u"一行目\n二行目"));
    QVERIFY(labels.contains(QStringLiteral(u"はい(&Y)")));
    QVERIFY(labels.contains(QStringLiteral(u"キャンセル")));
    press(QString());
    QCOMPARE(ui::ShowMessageBox(nullptr, QStringLiteral("x"), QString(), MsgIcon::Warning,
                                MsgButtons::YesNoCancel),
             MsgAnswer::Cancel);
    press(QStringLiteral("OK"));
    QCOMPARE(
        ui::ShowMessageBox(nullptr, QStringLiteral("x"), QString(), MsgIcon::Error, MsgButtons::Ok),
        MsgAnswer::Ok);
    QCOMPARE(labels, QStringList{QStringLiteral("OK")});

    // Enter answers the default button, which a question names when its first
    // answer would lose something.
    auto enter = [] {
      QTimer::singleShot(0, [] {
        if (QWidget *box = QApplication::activeModalWidget())
          QTest::keyClick(box, Qt::Key_Return);
      });
    };
    enter();
    QCOMPARE(ui::ShowMessageBox(nullptr, QStringLiteral("y"), QString(), MsgIcon::Warning,
                                MsgButtons::YesNo, MsgAnswer::No),
             MsgAnswer::No);
    enter();
    QCOMPARE(ui::ShowMessageBox(nullptr, QStringLiteral("y"), QString(), MsgIcon::Warning,
                                MsgButtons::YesNoCancel),
             MsgAnswer::Yes);
  }

  void fileDialogsHandOverCp932PathsAndRefuseUnnamableOnes() {
    TestDir dir;
    ui::FileDialogOptions o;
    o.title = QStringLiteral(u"出力ファイルの指定");
    o.filter = QStringLiteral(u"ﾃｷｽﾄﾌｧｲﾙ(*.txt)|*.txt|すべてのﾌｧｲﾙ(*.*)|*.*");
    o.filterIndex = 2;
    o.defaultSuffix = QStringLiteral("txt");
    o.initialPath = dir.Cp(QStringLiteral(u"前回.txt"));
    o.confirmOverwrite = true;
    ui::ScriptedDialogs dialogs(
        {ui::DialogAnswer::Accept(dir.Native(QStringLiteral(u"出力.txt")), 2),
         ui::DialogAnswer::Accept(dir.Native(QStringLiteral(u"出力😀.txt"))),
         ui::DialogAnswer::Cancel()});
    ui::ScriptedMessageBoxes boxes({MsgAnswer::Ok});
    std::string path = "before";
    int filter = 0;
    QVERIFY(ui::SaveFileName(nullptr, o, path, &filter));
    QCOMPARE(path, dir.Cp(QStringLiteral(u"出力.txt")));
    QCOMPARE(filter, 2);
    const ui::DialogRequest &r = dialogs.Asked()[0];
    QCOMPARE(r.kind, ui::DialogKind::SaveFile);
    QCOMPARE(r.title, o.title);
    QCOMPARE(r.filter, o.filter);
    QCOMPARE(r.filterIndex, 2);
    QCOMPARE(r.defaultSuffix, QStringLiteral("txt"));
    QCOMPARE(r.initial, dir.Native(QStringLiteral(u"前回.txt")));
    QVERIFY(r.confirmOverwrite);

    QVERIFY(!ui::OpenFileName(nullptr, o, path));
    QCOMPARE(path, dir.Cp(QStringLiteral(u"出力.txt")));
    QCOMPARE(dialogs.Asked()[1].kind, ui::DialogKind::OpenFile);
    QCOMPARE(boxes.Asked().size(), 1u);
    QVERIFY(boxes.Asked()[0].text.contains(QStringLiteral(u"出力😀.txt")));
    QVERIFY(!ui::OpenFileName(nullptr, o, path));
    QCOMPARE(boxes.Asked().size(), 1u);
    QCOMPARE(dialogs.Unscripted(), 0);
  }

  void qtFiltersComeFromTheProgramsFilterLists() {
    QCOMPARE(ui::NameFiltersFromPipeList(
                 QStringLiteral(u"すべてのﾌｧｲﾙ(*.*)|*.*|ﾃｷｽﾄﾌｧｲﾙ(*.txt;*.doc)|*.txt;*.doc")),
             QStringList({QStringLiteral(u"すべてのﾌｧｲﾙ(*.*) (*)"),
                          QStringLiteral(u"ﾃｷｽﾄﾌｧｲﾙ(*.txt;*.doc) (*.txt *.doc)")}));
    QVERIFY(ui::NameFiltersFromPipeList(QString()).isEmpty());
    QCOMPARE(ui::NameFiltersFromPipeList(QStringLiteral("odd|*.a|dangling")).size(), 1);
  }

  void realFileDialogShowsEachPatternOnceAndReportsTheChosenEntry() {
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    TestDir dir;
    ui::FileDialogOptions o;
    o.filter = QStringLiteral(u"ﾃｷｽﾄﾌｧｲﾙ(*.txt)|*.txt|ﾊｲﾊﾟｰﾃｷｽﾄ(*.html;*.htm)|*.html;*.htm|"
                              u"ｱｲﾃﾞｱﾌｧｲﾙ(*.txt)|*.txt|すべてのﾌｧｲﾙ(*.*)|*.*");
    o.filterIndex = 2;
    o.initialPath = dir.Cp();
    QStringList shown;
    int preselected = -1;
    QTimer::singleShot(0, [&] {
      auto *dlg = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
      if (!dlg)
        return;
      auto *combo = dlg->findChild<QComboBox *>(QStringLiteral("fileTypeCombo"));
      auto *name = dlg->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
      if (combo && name) {
        for (int i = 0; i < combo->count(); ++i)
          shown << combo->itemText(i);
        preselected = combo->currentIndex();
        combo->setCurrentIndex(2); // the second "(*.txt)" entry
        name->setFocus();
        QTest::keyClicks(name, QStringLiteral("out.txt"));
        QTest::keyClick(name, Qt::Key_Return);
      }
      if (dlg->isVisible())
        dlg->reject();
    });
    std::string path;
    int chosen = 0;
    QVERIFY(ui::SaveFileName(nullptr, o, path, &chosen));
    QCOMPARE(
        shown,
        QStringList({QStringLiteral(u"ﾃｷｽﾄﾌｧｲﾙ(*.txt)"), QStringLiteral(u"ﾊｲﾊﾟｰﾃｷｽﾄ(*.html;*.htm)"),
                     QStringLiteral(u"ｱｲﾃﾞｱﾌｧｲﾙ(*.txt)"), QStringLiteral(u"すべてのﾌｧｲﾙ(*.*)")}));
    QCOMPARE(preselected, 1);
    QCOMPARE(chosen, 3);
    QCOMPARE(path, dir.Cp(QStringLiteral("out.txt")));
  }

  void directoryIsCreatedOnlyAfterAsking() {
    TestDir dir;
    const QString wanted = dir.Native(QStringLiteral(u"新しい/プロジェクト"));
    ui::ScriptedDialogs dialogs({ui::DialogAnswer::Accept(wanted), ui::DialogAnswer::Accept(wanted),
                                 ui::DialogAnswer::Accept(dir.Native())});
    ui::ScriptedMessageBoxes boxes({MsgAnswer::No, MsgAnswer::Yes});
    std::string chosen = dir.Cp();
    QVERIFY(!ui::SelectDirectory(nullptr, QStringLiteral(u"フォルダの選択"), chosen, true));
    QVERIFY(!QFileInfo::exists(wanted));
    QCOMPARE(dialogs.Asked()[0].kind, ui::DialogKind::Directory);
    QCOMPARE(dialogs.Asked()[0].initial, dir.Native());
    QVERIFY(dialogs.Asked()[0].createMissing);
    QVERIFY(ui::SelectDirectory(nullptr, QStringLiteral(u"フォルダの選択"), chosen, true));
    QVERIFY(QFileInfo(wanted).isDir());
    QCOMPARE(chosen, dir.Cp(QStringLiteral(u"新しい/プロジェクト")) + "/");
    QCOMPARE(boxes.Asked()[1].buttons, MsgButtons::YesNo);
    // An existing directory comes back without a question, with its separator.
    QVERIFY(ui::SelectDirectory(nullptr, QString(), chosen));
    QCOMPARE(chosen, dir.Cp());
    QCOMPARE(boxes.Asked().size(), 2u);
  }

  // The real dialog, driven by keys (which type ASCII only) and the mouse: a typed folder that does
  // not exist yet is handed back and created once the user agrees.
  void realDirectoryDialogAcceptsAFolderYetToBeCreated() {
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    TestDir dir;
    ui::ScriptedMessageBoxes boxes({MsgAnswer::Yes});
    bool buttonLive = false;
    QTimer::singleShot(0, [&] {
      auto *dlg = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
      auto *name = dlg ? dlg->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")) : nullptr;
      if (name) {
        name->setFocus();
        QTest::keyClicks(name, QStringLiteral("plans"));
        // The mouse way: the accept button is live for a folder yet to be made.
        auto *box = dlg->findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
        QPushButton *ok = box ? box->button(QDialogButtonBox::Open) : nullptr;
        buttonLive = ok && ok->isEnabled();
        if (buttonLive)
          QTest::mouseClick(ok, Qt::LeftButton);
      }
      if (dlg && dlg->isVisible())
        dlg->reject();
    });
    std::string chosen = dir.Cp();
    QVERIFY(ui::SelectDirectory(nullptr, QStringLiteral(u"ﾌｫﾙﾀﾞの指定"), chosen, true));
    QVERIFY(buttonLive);
    QCOMPARE(chosen, dir.Cp(QStringLiteral("plans")) + "/");
    QVERIFY(QFileInfo(dir.Native(QStringLiteral("plans"))).isDir());
    QCOMPARE(boxes.Asked().size(), 1u);
    QVERIFY(boxes.Asked()[0].text.contains(QStringLiteral(u"は存在しません。")));
    QCOMPARE(boxes.Asked()[0].buttons, MsgButtons::YesNo);
  }

  // The folder chosen last time is shown selected in its parent, not opened
  // (its thousands of pages would keep the dialog busy); Return takes it.
  void realDirectoryDialogOffersTheLastFolderFromItsParent() {
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    TestDir dir;
    QDir().mkpath(dir.Native(QStringLiteral("pages")));
    std::string chosen = dir.Cp(QStringLiteral("pages"));
    {
      ui::ScriptedDialogs remember({ui::DialogAnswer::Accept(dir.Native(QStringLiteral("pages")))});
      QVERIFY(ui::SelectDirectory(nullptr, QString(), chosen, false, "SeamsTest"));
    }
    QString shownDir, shownName;
    QTimer::singleShot(0, [&] {
      auto *dlg = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
      auto *name = dlg ? dlg->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")) : nullptr;
      if (name) {
        shownDir = dlg->directory().absolutePath();
        shownName = name->text();
        QTest::keyClick(name, Qt::Key_Return);
      }
      if (dlg && dlg->isVisible())
        dlg->reject();
    });
    chosen = dir.Cp();
    QVERIFY(ui::SelectDirectory(nullptr, QString(), chosen, false, "SeamsTest"));
    QCOMPARE(shownDir, QDir(dir.Native()).absolutePath());
    QCOMPARE(shownName, QStringLiteral("pages"));
    QCOMPARE(chosen, dir.Cp(QStringLiteral("pages")) + "/");
  }

  // A read-only file is refused while the real dialog stays open; the next
  // name typed is taken.
  void realSaveDialogRefusesAReadOnlyFileAndStaysOpen() {
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    TestDir dir;
    const QString locked = dir.Native(QStringLiteral("locked.txt"));
    dir.Write(QStringLiteral("locked.txt"), "keep\r\n");
    QFile::setPermissions(locked, QFileDevice::ReadOwner);
    ui::FileDialogOptions o;
    o.title = QStringLiteral(u"出力ファイルの指定");
    o.initialPath = dir.Cp();
    o.refuseReadOnly = true;
    o.folderMustExist = true;
    ui::ScriptedMessageBoxes boxes({MsgAnswer::Ok});
    bool stayedOpen = false;
    QTimer::singleShot(0, [&] {
      auto *dlg = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
      auto *name = dlg ? dlg->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")) : nullptr;
      if (name) {
        QApplication::setActiveWindow(dlg); // typing follows the focus, as for a user
        name->setFocus();
        QTest::keyClicks(name, QStringLiteral("locked.txt"));
        QTest::keyClick(name, Qt::Key_Return);
        stayedOpen = dlg->isVisible();
        QTest::keyClick(name, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(name, QStringLiteral("other.txt"));
        QTest::keyClick(name, Qt::Key_Return);
      }
      if (dlg && dlg->isVisible())
        dlg->reject();
    });
    std::string path;
    QVERIFY(ui::SaveFileName(nullptr, o, path));
    QVERIFY(stayedOpen);
    QCOMPARE(path, dir.Cp(QStringLiteral("other.txt")));
    QCOMPARE(boxes.Asked().size(), 1u);
    QVERIFY(boxes.Asked()[0].text.contains(QStringLiteral(u"読み取り専用")));
  }

  // Whatever dialog answered, a read-only file or a missing folder is
  // explained and asked again from the refused answer.
  void refusedSaveTargetsAreAskedAgain() {
    TestDir dir;
    dir.Write(QStringLiteral("ro.ida"), "[Project]\r\n");
    QFile::setPermissions(dir.Native(QStringLiteral("ro.ida")), QFileDevice::ReadOwner);
    ui::FileDialogOptions o;
    o.refuseReadOnly = true;
    o.folderMustExist = true;
    const QString missing = dir.Native(QStringLiteral(u"無い/a.ida"));
    ui::ScriptedDialogs dialogs({ui::DialogAnswer::Accept(dir.Native(QStringLiteral("ro.ida")), 2),
                                 ui::DialogAnswer::Accept(missing),
                                 ui::DialogAnswer::Accept(dir.Native(QStringLiteral("ok.ida")))});
    ui::ScriptedMessageBoxes boxes({MsgAnswer::Ok, MsgAnswer::Ok});
    std::string path;
    QVERIFY(ui::SaveFileName(nullptr, o, path));
    QCOMPARE(path, dir.Cp(QStringLiteral("ok.ida")));
    QCOMPARE(boxes.Asked().size(), 2u);
    QVERIFY(boxes.Asked()[0].text.contains(QStringLiteral(u"読み取り専用")));
    QVERIFY(boxes.Asked()[1].text.contains(QStringLiteral(u"フォルダが存在しません")));
    QCOMPARE(dialogs.Asked()[1].initial, dir.Native(QStringLiteral("ro.ida")));
    QCOMPARE(dialogs.Asked()[1].filterIndex, 2);
    QCOMPARE(dialogs.Asked()[2].initial, missing);
    // Without the options the same answers are taken as they come.
    ui::ScriptedDialogs plain({ui::DialogAnswer::Accept(missing)});
    QVERIFY(ui::SaveFileName(nullptr, ui::FileDialogOptions{}, path));
    QCOMPARE(path, dir.Cp(QStringLiteral(u"無い/a.ida")));
  }

  void inputAsksAgainKeepingWhatWasTyped() {
    ui::ScriptedDialogs dialogs({ui::DialogAnswer::Accept(QStringLiteral(u"旅行😀")),
                                 ui::DialogAnswer::Accept(QStringLiteral(u"旅行記"))});
    ui::ScriptedMessageBoxes boxes({MsgAnswer::Ok});
    std::string text;
    QVERIFY(ui::InputText(nullptr, QStringLiteral(u"プロジェクトの作成"),
                          QStringLiteral(u"新しいプロジェクト名を指定して下さい"), text));
    QCOMPARE(ui::ToQString(text), QStringLiteral(u"旅行記"));
    QCOMPARE(dialogs.Asked().size(), 2u);
    QCOMPARE(dialogs.Asked()[0].kind, ui::DialogKind::InputText);
    QCOMPARE(dialogs.Asked()[0].title, QStringLiteral(u"プロジェクトの作成"));
    QCOMPARE(dialogs.Asked()[0].prompt, QStringLiteral(u"新しいプロジェクト名を指定して下さい"));
    QCOMPARE(dialogs.Asked()[0].initial, QString());
    QCOMPARE(dialogs.Asked()[1].initial, QStringLiteral(u"旅行😀"));
    QCOMPARE(boxes.Asked().size(), 1u);

    ui::ScriptedDialogs cancelled({ui::DialogAnswer::Cancel()});
    QVERIFY(!ui::InputText(nullptr, QString(), QString(), text));
    QCOMPARE(ui::ToQString(text), QStringLiteral(u"旅行記"));
  }

  void fontDialogPresetAndAnswer() {
    QFont f(QStringLiteral("Noto Sans CJK JP"), 10);
    ui::ScriptedDialogs dialogs(
        {ui::DialogAnswer::AcceptFont(QFont(QStringLiteral("Monospace"), 14)),
         ui::DialogAnswer::Cancel()});
    QVERIFY(ui::SelectFont(nullptr, QString(), f));
    QCOMPARE(dialogs.Asked()[0].font.pointSize(), 10);
    QCOMPARE(f.pointSize(), 14);
    QVERIFY(!ui::SelectFont(nullptr, QString(), f));
    QCOMPARE(f.pointSize(), 14);
  }

  void shellOpenIsReplaceableExplainsFailuresAndIsHarmlessInTests() {
    TestDir dir;
    const std::string file = dir.Write(QStringLiteral(u"表.txt"), "x");
    {
      ui::RecordedShellOpen opened(false);
      ui::ScriptedMessageBoxes boxes({MsgAnswer::Ok, MsgAnswer::Ok});
      QVERIFY(!ui::ShellOpen(nullptr, file, ""));
      QCOMPARE(opened.Targets(), std::vector<std::string>{file});
      QCOMPARE(boxes.Asked().size(), 1u);
      QCOMPARE(boxes.Asked()[0].text,
               dir.Native(QStringLiteral(u"表.txt")) + QStringLiteral(u" を開けません"));
      // A target that is gone is explained without asking the desktop.
      QVERIFY(!ui::ShellOpen(nullptr, dir.Cp(QStringLiteral(u"無い.txt")), ""));
      QCOMPARE(opened.Targets().size(), 1u);
      QVERIFY(boxes.Asked()[1].text.startsWith(dir.Native(QStringLiteral(u"無い.txt")) +
                                               QStringLiteral(u" を開けません\r\n")));
    }
    {
      ui::RecordedShellOpen opened(true);
      ui::ScriptedMessageBoxes boxes;
      QVERIFY(ui::ShellOpen(nullptr, "https://example.org/", ""));
      QVERIFY(ui::ShellOpen(nullptr, dir.Cp(), ""));
      QCOMPARE(opened.Targets().size(), 2u);
      QCOMPARE(boxes.Asked().size(), 0u);
    }
    // Test mode with no hook: nothing is started.
    QTest::ignoreMessage(QtWarningMsg,
                         QRegularExpression(QStringLiteral("ShellOpen in test mode")));
    QVERIFY(!ui::ShellOpen(nullptr, "/tmp", ""));
  }
};

ORVANE_WIDGET_TEST_MAIN(UiSeamsTest)

#include "UiSeamsTest.moc"
