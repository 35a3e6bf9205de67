// The editor's export commands over a real project in a temporary directory:
// the save and directory dialogs as asked, what each mode writes, that the
// text typed and not yet stored is exported, cancelling, the overwrite
// question, write failures and the files of the project that are never
// replaced. Dialogs, message boxes and the shell are scripted; nothing is
// started.
#include "EditorFixture.h"
#include "EditorTestProject.h"

#include "editor/ExportCommands.h"
#include "store/Codec.h"
#include "store/FileSystem.h"
#include "store/RegIniFile.h"
#include "ui/Dialogs.h"
#include "ui/MessageBox.h"
#include "ui/Shell.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTimer>

using ui::DialogAnswer;
using ui::MsgAnswer;

namespace {

const QString kFilter = QString::fromUtf16(
    u"ﾃｷｽﾄﾌｧｲﾙ(*.txt)|*.txt|ﾊｲﾊﾟｰﾃｷｽﾄ(*.html;*.htm)|*.html;*.htm|ｱｲﾃﾞｱﾌｧｲﾙ(*.txt)|*.txt|"
    u"すべてのﾌｧｲﾙ(*.*)|*.*");
const QString kFailed = QString::fromUtf16(u"ファイルに出力できませんでした");

QByteArray Sjis(const QString &s) { return QByteArray::fromStdString(TestDir::Name(s)); }

std::unique_ptr<OpenEditor> Open(const EditorTestProject &p) {
  return std::make_unique<OpenEditor>(p.Root(), EditorOptions{{}, true});
}

// Types at the end of the memo, as a user would.
void TypeAtEnd(TVaveMainForm &w, const QString &text) {
  w.FileText()->setFocus();
  QTest::keyClick(w.FileText(), Qt::Key_End, Qt::ControlModifier);
  QTest::keyClicks(w.FileText(), text);
}

void Trigger(TVaveMainForm &w, TEditorAction id) {
  w.updateActionStates();
  QVERIFY(w.Action(id)->isEnabled());
  w.Action(id)->trigger();
}

} // namespace

class ExportCommandsTest : public QObject {
  Q_OBJECT

private slots:
  void init() { (void)fsys::DeleteFile(TRegIniFile::DefaultFileName()); } // no folder remembered

  void textHtmlAndExchangeFilesAsAskedAndOpened() {
    EditorTestProject p;
    TestDir out;
    auto e = Open(p);
    TVaveMainForm &w = *e->w;
    TypeAtEnd(w, QStringLiteral(" typed"));
    QVERIFY(w.MemoModified());

    ui::RecordedShellOpen opened;
    ui::ScriptedMessageBoxes boxes;
    ui::ScriptedDialogs dialogs({DialogAnswer::Accept(out.Native(QStringLiteral("a.txt"))),
                                 DialogAnswer::Accept(out.Native(QStringLiteral("a.html")), 2),
                                 DialogAnswer::Accept(out.Native(QStringLiteral("all.txt")), 3)});
    Trigger(w, TEditorAction::ItemTextOutAction);
    // The branch of the selected item, with the text just typed.
    const QByteArray sep = "+--------+--------+--------+--------+--------+--------+\r\n";
    QCOMPARE(out.Read(QStringLiteral("a.txt")),
             Sjis(QString::fromUtf16(u"★A\r\n")) +
                 "first line\r\nsecond line\r\nthird typed\r\n\r\n" + sep +
                 Sjis(QString::fromUtf16(u" ★A1\r\n")) + "a1\r\n\r\n" + sep);
    QVERIFY(p.dir.Read(QStringLiteral("a.txt")).contains("third typed\r\n")); // stored first

    Trigger(w, TEditorAction::ItemHtmlOutAction);
    const QByteArray html = out.Read(QStringLiteral("a.html"));
    QVERIFY(html.contains("<h1> A </h1><BR>\r\nfirst line<BR>\r\n"));
    QVERIFY(html.contains("third typed<BR>\r\n<HR>\r\n<h2> A1 </h2><BR>\r\na1<BR>\r\n<HR>\r\n"));
    QVERIFY(!html.contains("bee"));

    // The exchange file holds the whole project, from a leaf too.
    QVERIFY(w.VaveDataBase()->SelectNode(FindItem(w, "Root-C00002")));
    Trigger(w, TEditorAction::ItemSummarizeAction);
    const QByteArray all = out.Read(QStringLiteral("all.txt"));
    QVERIFY(all.startsWith("[Orvane Exported File]\r\n"));
    for (const char *name :
         {"FileName:r.txt", "FileName:a.txt", "FileName:a1.txt", "FileName:b.txt"})
      QVERIFY2(all.contains(name), name);

    // One dialog per command: the filter of its kind preselected, the
    // overwrite question on, and a start outside the project.
    QCOMPARE(dialogs.Asked().size(), size_t(3));
    const QString home =
        QFileInfo(QDir::cleanPath(p.dir.Native())).absolutePath() + QLatin1Char('/');
    const QString initial[] = {home + QStringLiteral("A.txt"), home + QStringLiteral("A.html"),
                               home + QString::fromUtf16(u"企画.txt")};
    const QString suffix[] = {QStringLiteral("txt"), QStringLiteral("html"), QStringLiteral("txt")};
    for (int i = 0; i < 3; ++i) {
      const ui::DialogRequest &r = dialogs.Asked()[i];
      QCOMPARE(r.kind, ui::DialogKind::SaveFile);
      QCOMPARE(r.title, QString::fromUtf16(u"出力ファイルの指定"));
      QCOMPARE(r.filter, kFilter);
      QCOMPARE(r.filterIndex, i + 1);
      QCOMPARE(r.defaultSuffix, suffix[i]);
      QCOMPARE(r.initial, initial[i]);
      QVERIFY(!r.initial.startsWith(p.dir.Native()));
      QVERIFY(r.confirmOverwrite);
      QVERIFY(r.refuseReadOnly);
    }
    QCOMPARE(opened.Targets(), (std::vector<std::string>{out.Cp(QStringLiteral("a.txt")),
                                                         out.Cp(QStringLiteral("a.html")),
                                                         out.Cp(QStringLiteral("all.txt"))}));
    // Each kind starts where it was last written; the frame set, never written, beside the project.
    for (TEditorAction id : {TEditorAction::ItemTextOutAction, TEditorAction::ItemSummarizeAction,
                             TEditorAction::ItemHtmlExOutAction})
      Trigger(w, id);
    QCOMPARE(dialogs.Asked()[3].initial, out.Native(QStringLiteral("B.txt"))); // B is selected now
    QCOMPARE(dialogs.Asked()[4].initial, out.Native(QString::fromUtf16(u"企画.txt")));
    QCOMPARE(dialogs.Asked()[5].initial, home);
    QCOMPARE(boxes.Asked().size(), size_t(0));
    QCOMPARE(QApplication::overrideCursor(), nullptr); // the hourglass is gone
    e.reset();
  }

  void frameSetOfTheWholeProjectIntoADirectoryMadeOnRequest() {
    EditorTestProject p;
    TestDir out;
    auto e = Open(p);
    TVaveMainForm &w = *e->w;
    QVERIFY(w.VaveDataBase()->SelectNode(FindItem(w, "Root-C00001"))); // a leaf
    TypeAtEnd(w, QStringLiteral(" more"));

    ui::RecordedShellOpen opened;
    ui::ScriptedMessageBoxes boxes({MsgAnswer::Yes}); // create the directory
    ui::ScriptedDialogs dialogs({DialogAnswer::Accept(out.Native(QStringLiteral("site")))});
    Trigger(w, TEditorAction::ItemHtmlExOutAction);
    QCOMPARE(dialogs.Asked().size(), size_t(1));
    const ui::DialogRequest &r = dialogs.Asked()[0];
    QCOMPARE(r.kind, ui::DialogKind::Directory);
    QVERIFY(r.createMissing);
    QCOMPARE(QDir::cleanPath(r.initial), QFileInfo(QDir::cleanPath(p.dir.Native())).absolutePath());
    QCOMPARE(boxes.Asked().size(), size_t(1)); // "... does not exist, create it?"
    QVERIFY(boxes.Asked()[0].text.contains(out.Native(QStringLiteral("site"))));

    for (const char *page : {"index.html", "index0.html", "r.html", "a.html", "a1.html", "b.html"})
      QVERIFY2(out.Has(QStringLiteral("site/") + QLatin1String(page)), page);
    QVERIFY(out.Read(QStringLiteral("site/index.html"))
                .contains("<FRAME SRC=\"r.html\" NAME=\"main\">"));
    QVERIFY(out.Read(QStringLiteral("site/a1.html")).contains("a1 more<BR>"));
    QCOMPARE(opened.Targets(), std::vector<std::string>{out.Cp(QStringLiteral("site/index.html"))});
    e.reset();
  }

  void cancelledDialogsWriteAndOpenNothing() {
    EditorTestProject p;
    auto e = Open(p);
    TVaveMainForm &w = *e->w;
    TypeAtEnd(w, QStringLiteral("x"));
    const QByteArray before = p.dir.Read(QStringLiteral("a.txt"));
    ui::RecordedShellOpen opened;
    ui::ScriptedMessageBoxes boxes;
    ui::ScriptedDialogs dialogs({DialogAnswer::Cancel(), DialogAnswer::Cancel(),
                                 DialogAnswer::Cancel(), DialogAnswer::Cancel()});
    for (TEditorAction id :
         {TEditorAction::ItemTextOutAction, TEditorAction::ItemHtmlOutAction,
          TEditorAction::ItemSummarizeAction, TEditorAction::ItemHtmlExOutAction})
      Trigger(w, id);
    QCOMPARE(dialogs.Asked().size(), size_t(4));
    QCOMPARE(dialogs.Unscripted(), 0);
    QCOMPARE(boxes.Asked().size(), size_t(0));
    QVERIFY(opened.Targets().empty());
    QCOMPARE(p.dir.Read(QStringLiteral("a.txt")), before); // nothing stored for nothing
    QVERIFY(w.MemoModified());
    e.reset();
  }

  void replacingAFileIsAskedWithNoAsTheDefault() {
    EditorTestProject p;
    TestDir out;
    out.Write(QStringLiteral("old.txt"), "keep me");
    auto e = Open(p);
    TVaveMainForm &w = *e->w;
    ui::RecordedShellOpen opened;
    // No: the file stays and the dialog comes again; then Yes replaces it.
    ui::ScriptedMessageBoxes boxes({MsgAnswer::No, MsgAnswer::Yes});
    ui::ScriptedDialogs dialogs({DialogAnswer::Accept(out.Native(QStringLiteral("old.txt"))),
                                 DialogAnswer::Cancel(),
                                 DialogAnswer::Accept(out.Native(QStringLiteral("old.txt")))});
    Trigger(w, TEditorAction::ItemTextOutAction);
    QCOMPARE(out.Read(QStringLiteral("old.txt")), QByteArray("keep me"));
    QCOMPARE(dialogs.Asked().size(), size_t(2));
    QCOMPARE(dialogs.Asked()[1].initial, out.Native(QStringLiteral("old.txt")));
    QCOMPARE(boxes.Asked().size(), size_t(1));
    const ui::MessageBoxRequest &q = boxes.Asked()[0];
    QCOMPARE(q.buttons, ui::MsgButtons::YesNo);
    QCOMPARE(q.defaultButton, MsgAnswer::No);
    QVERIFY(q.text.contains(out.Native(QStringLiteral("old.txt"))));
    QVERIFY(opened.Targets().empty());

    Trigger(w, TEditorAction::ItemTextOutAction);
    QVERIFY(out.Read(QStringLiteral("old.txt")).startsWith(Sjis(QString::fromUtf16(u"★A\r\n"))));
    QCOMPARE(boxes.Asked().size(), size_t(2));
    QCOMPARE(boxes.Asked()[1].defaultButton, MsgAnswer::No);
    QCOMPARE(opened.Targets().size(), size_t(1));
    e.reset();
  }

  // Qt's own save dialog: typed over an existing file, the question comes
  // once, while the dialog is open, and Yes replaces the file.
  void realSaveDialogAsksOnceBeforeReplacing() {
    EditorTestProject p;
    TestDir out;
    out.Write(QStringLiteral("old.txt"), "keep me");
    auto e = Open(p);
    TVaveMainForm &w = *e->w;
    ui::RecordedShellOpen opened;
    ui::ScriptedMessageBoxes boxes({MsgAnswer::No, MsgAnswer::Yes});
    int enters = 0, ticks = 0;
    QTimer typer;
    typer.setInterval(50);
    connect(&typer, &QTimer::timeout, this, [&] {
      QWidget *modal = QApplication::activeModalWidget();
      if (++ticks > 40) { // give up rather than hang: close whatever is asking
        if (auto *d = qobject_cast<QDialog *>(modal))
          d->done(QDialog::Rejected);
        return;
      }
      auto *dialog = qobject_cast<QFileDialog *>(modal);
      if (!dialog)
        return;
      ++enters;
      auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
      QVERIFY(name);
      name->setText(out.Native(QStringLiteral("old.txt")));
      // After this slot: a box it opens must not block the timer.
      QTimer::singleShot(0, name, [name] { QTest::keyClick(name, Qt::Key_Return); });
    });
    typer.start();
    w.updateActionStates();
    w.Action(TEditorAction::ItemTextOutAction)->trigger();
    typer.stop();
    // No kept the dialog open; the second Enter was agreed to.
    QCOMPARE(boxes.Asked().size(), size_t(2));
    QCOMPARE(boxes.Unscripted(), 0);
    for (const ui::MessageBoxRequest &q : boxes.Asked()) {
      QCOMPARE(q.defaultButton, MsgAnswer::No);
      QVERIFY(q.text.contains(out.Native(QStringLiteral("old.txt"))));
    }
    QCOMPARE(enters, 2);
    QVERIFY(out.Read(QStringLiteral("old.txt")).startsWith(Sjis(QString::fromUtf16(u"★A\r\n"))));
    QCOMPARE(opened.Targets(), std::vector<std::string>{out.Cp(QStringLiteral("old.txt"))});
    e.reset();
  }

  void failuresNameThePathAndTheReason() {
    EditorTestProject p;
    TestDir out;
    out.MakeDir(QStringLiteral("taken.txt"));       // a directory where the file would go
    out.MakeDir(QStringLiteral("site/index.html")); // and where the frame set's page would
    auto e = Open(p);
    TVaveMainForm &w = *e->w;
    ui::RecordedShellOpen opened;
    ui::ScriptedMessageBoxes boxes({MsgAnswer::Yes, MsgAnswer::Ok, MsgAnswer::Ok});
    ui::ScriptedDialogs dialogs({DialogAnswer::Accept(out.Native(QStringLiteral("taken.txt"))),
                                 DialogAnswer::Accept(out.Native(QStringLiteral("site")))});
    Trigger(w, TEditorAction::ItemTextOutAction);
    Trigger(w, TEditorAction::ItemHtmlExOutAction);
    QCOMPARE(boxes.Asked().size(), size_t(3)); // replace?, then one failure each
    for (int i : {1, 2}) {
      const ui::MessageBoxRequest &b = boxes.Asked()[i];
      QVERIFY2(b.text.startsWith(kFailed + QStringLiteral("\r\n")), qPrintable(b.text));
      QCOMPARE(b.icon, ui::MsgIcon::Error);
      QCOMPARE(b.text.count(QStringLiteral("\r\n")), 2); // the path, then the reason
    }
    QVERIFY(boxes.Asked()[1].text.contains(out.Native(QStringLiteral("taken.txt"))));
    QVERIFY(boxes.Asked()[2].text.contains(out.Native(QStringLiteral("site/index.html"))));
    QVERIFY(opened.Targets().empty());
    e.reset();
  }

  void theProjectsOwnFilesAreNeverReplaced() {
    EditorTestProject p;
    TestDir out;
    auto e = Open(p);
    TVaveMainForm &w = *e->w;
    const QByteArray tree = p.dir.Read(QStringLiteral("MainTree.dat"));
    const QByteArray item = p.dir.Read(QStringLiteral("b.txt"));
    QVERIFY(
        QFile::link(p.dir.Native(QStringLiteral("b.txt")), out.Native(QStringLiteral("l.txt"))));

    ui::RecordedShellOpen opened;
    ui::ScriptedMessageBoxes boxes({MsgAnswer::Yes, MsgAnswer::Ok, MsgAnswer::Yes, MsgAnswer::Ok,
                                    MsgAnswer::Yes, MsgAnswer::Ok});
    ui::ScriptedDialogs dialogs({DialogAnswer::Accept(p.dir.Native(QStringLiteral("MainTree.dat"))),
                                 DialogAnswer::Accept(p.dir.Native(QStringLiteral("b.txt")), 3),
                                 DialogAnswer::Accept(out.Native(QStringLiteral("l.txt")))});
    Trigger(w, TEditorAction::ItemTextOutAction);
    Trigger(w, TEditorAction::ItemSummarizeAction);
    Trigger(w, TEditorAction::ItemHtmlOutAction);
    QCOMPARE(p.dir.Read(QStringLiteral("MainTree.dat")), tree);
    QCOMPARE(p.dir.Read(QStringLiteral("b.txt")), item);
    QCOMPARE(boxes.Asked().size(), size_t(6));
    for (int i : {1, 3, 5})
      QVERIFY2(boxes.Asked()[i].text.startsWith(kFailed), qPrintable(boxes.Asked()[i].text));
    QVERIFY(boxes.Asked()[1].text.contains(p.dir.Native(QStringLiteral("MainTree.dat"))));
    QVERIFY(opened.Targets().empty());
    // Nor does the current item's text go over another item's file.
    boxes.Clear();
    boxes.Answer(MsgAnswer::Yes);
    dialogs.Answer(DialogAnswer::Accept(p.dir.Native(QStringLiteral("b.txt"))));
    Trigger(w, TEditorAction::SaveItemTextAction);
    QCOMPARE(p.dir.Read(QStringLiteral("b.txt")), item);
    QCOMPARE(boxes.Asked().size(), size_t(2));
    QVERIFY(boxes.Asked()[1].text.contains(p.dir.Native(QStringLiteral("b.txt"))));

    // A file of the user's own in the project directory may be chosen, and so
    // may the directory itself for a frame set: its item files stay.
    boxes.Clear();
    dialogs.Answer(DialogAnswer::Accept(p.dir.Native(QStringLiteral("mine.txt"))));
    dialogs.Answer(DialogAnswer::Accept(p.dir.Native()));
    Trigger(w, TEditorAction::ItemTextOutAction);
    Trigger(w, TEditorAction::ItemHtmlExOutAction);
    QCOMPARE(boxes.Asked().size(), size_t(0));
    QVERIFY(p.dir.Read(QStringLiteral("mine.txt")).startsWith(Sjis(QString::fromUtf16(u"★A"))));
    QVERIFY(p.dir.Has(QStringLiteral("index.html")));
    QVERIFY(p.dir.Has(QStringLiteral("b.html")));
    QCOMPARE(p.dir.Read(QStringLiteral("b.txt")), item);
    QCOMPARE(opened.Targets().size(), size_t(2));
    e.reset();
  }

  void entriesFollowTheSelection() {
    EditorTestProject p;
    auto e = Open(p);
    TVaveMainForm &w = *e->w;
    auto enabled = [&](TEditorAction id) {
      w.updateActionStates();
      return w.Action(id)->isEnabled();
    };
    for (TEditorAction id :
         {TEditorAction::ItemTextOutAction, TEditorAction::ItemHtmlOutAction,
          TEditorAction::ItemSummarizeAction, TEditorAction::ItemHtmlExOutAction})
      QVERIFY(enabled(id));
    QCOMPARE(w.Action(TEditorAction::ItemHtmlExOutAction)->property("Tag").toInt(), 3);

    // Opening the File menu decides the entries anew.
    QMenu *file = nullptr;
    for (QMenu *m : w.menuBar()->findChildren<QMenu *>())
      if (m->actions().contains(w.Action(TEditorAction::ItemTextOutAction)))
        file = m;
    QVERIFY(file);
    w.Action(TEditorAction::ItemTextOutAction)->setEnabled(false);
    w.Action(TEditorAction::ItemHtmlOutAction)->setEnabled(false);
    file->popup(w.mapToGlobal(QPoint(10, 10)));
    QTRY_VERIFY(file->isVisible());
    QVERIFY(w.Action(TEditorAction::ItemTextOutAction)->isEnabled());
    QVERIFY(w.Action(TEditorAction::ItemHtmlOutAction)->isEnabled());
    file->close();

    w.VaveDataBase()->ClearTree();
    for (TEditorAction id :
         {TEditorAction::ItemTextOutAction, TEditorAction::ItemHtmlOutAction,
          TEditorAction::ItemSummarizeAction, TEditorAction::ItemHtmlExOutAction})
      QVERIFY(!enabled(id));
    e.reset();
  }
};

ORVANE_WIDGET_TEST_MAIN(ExportCommandsTest)
#include "ExportCommandsTest.moc"
