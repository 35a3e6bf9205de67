// The tree clipboard and capture in real editor windows: keys and menus as a
// user gives them, the desktop clipboard, scripted dialogs and message
// boxes, real projects on disk.
#include "EditorFixture.h"
#include "OutlineProject.h"
#include "WidgetTestSupport.h"

#include "attach/DragDropFile.h"
#include "editor/CaptureCommands.h"
#include "editor/ItemMemo.h"
#include "editor/VaveDataBase.h"
#include "editor/VaveMain.h"
#include "store/Project.h"
#include "support/TreeOutline.h"
#include "ui/Dialogs.h"
#include "ui/MessageBox.h"

#include <QClipboard>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QUrl>

namespace {

using Project = OutlineProject;

struct Editor : OpenEditor {
  explicit Editor(const Project &p) : OpenEditor(p.Root(), {"paster", true}) {}
  void Key(int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    View()->setFocus();
    QTest::keyClick(View(), Qt::Key(key), mods);
  }
  bool Enabled(TEditorAction a) {
    w->updateActionStates();
    return w->Action(a)->isEnabled();
  }
  TNodeFiles Stored(TProjectNode *n) const {
    TNodeFiles f;
    f.FilePath = n->Data()->Files.FilePath;
    (void)f.Open(true); // an unreadable file is an empty item
    return f;
  }
  QString Memo() const { return w->FileText()->toPlainText(); }
};

void SetClipboard(const QString &text) { QGuiApplication::clipboard()->setText(text); }

std::string Cp(const QString &s) { return TestDir::Name(s); }

void SendFileDrop(QWidget *target, const QStringList &native, const QString &text = {}) {
  QMimeData mime;
  QList<QUrl> urls;
  for (const QString &p : native)
    urls << QUrl::fromLocalFile(p);
  if (!urls.isEmpty())
    mime.setUrls(urls);
  if (!text.isEmpty())
    mime.setText(text);
  const Qt::DropActions actions = Qt::CopyAction | Qt::LinkAction;
  QDragEnterEvent enter(QPoint(5, 5), actions, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &enter);
  QDropEvent drop(QPointF(5, 5), actions, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &drop);
  QCoreApplication::processEvents(); // the report comes from the event loop
}

} // namespace

class ClipboardCaptureTest : public QObject {
  Q_OBJECT

private slots:
  void init() { SetClipboard(QString()); }

  void copyAndInsertWithinAProjectByKeys() {
    Project p("R(A(A1 A2) B)");
    ui::ScriptedMessageBoxes boxes;
    Editor e(p);
    SetClipboard(QStringLiteral("ordinary text"));
    QVERIFY(!e.Enabled(TEditorAction::PastItemAction));

    // The text being typed is what the copy carries.
    e.Select("A");
    QTest::keyClicks(e.w->FileText(), "edited ");
    e.Key(Qt::Key_F8, Qt::ShiftModifier);
    QVERIFY(QGuiApplication::clipboard()->text().startsWith(
        QStringLiteral("[Tree buff from Orvane]\r\n") + p.dir.Native("a.txt") + "\r\n-"));
    QVERIFY(e.Enabled(TEditorAction::PastItemAction));
    e.Select("B");
    e.Key(Qt::Key_F9, Qt::ShiftModifier);
    QCOMPARE(e.Shape(), std::string("R(A(A1 A2) B A+(A1 A2))"));
    TProjectNode *copy = e.View()->Tree().RootNode()->Item(2);
    QCOMPARE(e.w->CurrentNode(), copy);
    QVERIFY(e.Memo().startsWith(QStringLiteral("edited A text")));
    QVERIFY(copy->Data()->ID != e.Find("A")->Data()->ID);
    QCOMPARE(e.Stored(copy).Author, std::string("paster"));
    QVERIFY(e.w->TreeModified());
    QVERIFY(boxes.Asked().empty());

    // The root selected: the root's last child.
    e.Select("R");
    e.w->Action(TEditorAction::PastItemAction)->trigger();
    QCOMPARE(e.Shape(), std::string("R(A(A1 A2) B A+(A1 A2) A+(A1 A2))"));

    // The marker alone inserts nothing; the selected item collapses and stays shown.
    SetClipboard(QStringLiteral("[Tree buff from Orvane]"));
    e.Select("A");
    e.Key(Qt::Key_F9, Qt::ShiftModifier);
    QCOMPARE(e.Shape(), std::string("R(A+(A1 A2) B A+(A1 A2) A+(A1 A2))"));
    QCOMPARE(e.w->CurrentNode(), e.Find("A"));
  }

  void insertIntoAnotherWindowCopiesKeptAttachments() {
    Project source("S(X Y)", false, {{"X", {"pic.png", "/elsewhere/linked.odt"}}});
    source.dir.Write("pic.png", "source picture");
    Project target("T(U)");
    target.dir.Write("pic.png", "target picture");
    ui::ScriptedMessageBoxes boxes; // the overwrite question: unscripted, No
    Editor from(source);
    Editor into(target);
    from.Select("S");
    from.w->Action(TEditorAction::CopyItemAction)->trigger();
    delete from.w; // the copy outlives its window
    into.Select("U");
    QVERIFY(into.Enabled(TEditorAction::PastItemAction));
    into.w->Action(TEditorAction::PastItemAction)->trigger();
    QCOMPARE(into.Shape(), std::string("T(U S+(X Y))"));
    QCOMPARE(boxes.Asked().size(), size_t(1));
    QCOMPARE(boxes.Asked()[0].text,
             QStringLiteral(u"添付ファイル pic.png は既に存在します\r\n上書きしますか?"));
    QCOMPARE(boxes.Asked()[0].icon, ui::MsgIcon::Warning);
    QCOMPARE(boxes.Asked()[0].defaultButton, ui::MsgAnswer::No);
    QCOMPARE(target.dir.Read("pic.png"), QByteArray("target picture"));
    QVERIFY(!target.dir.Has("linked.odt"));
    QCOMPARE(into.Stored(into.Find("X")).AttachFiles,
             (TStringList{"pic.png", "/elsewhere/linked.odt"}));

    // Yes replaces it.
    boxes.Answer(ui::MsgAnswer::Yes);
    into.Select("U");
    into.w->Action(TEditorAction::PastItemAction)->trigger();
    QCOMPARE(target.dir.Read("pic.png"), QByteArray("source picture"));
    // The source was only read.
    QCOMPARE(source.dir.Read("pic.png"), QByteArray("source picture"));
  }

  void anInsertStopsAtAMissingFileAndIsRefusedWhenLocked() {
    Project p("R(A(A1 A2) B)");
    ui::ScriptedMessageBoxes boxes;
    Editor e(p);
    e.Select("A");
    e.w->Action(TEditorAction::CopyItemAction)->trigger();
    QFile::remove(p.dir.Native("a2.txt"));
    e.Select("B");
    e.w->Action(TEditorAction::PastItemAction)->trigger();
    QCOMPARE(boxes.Asked().size(), size_t(1));
    QCOMPARE(boxes.Asked()[0].text,
             QStringLiteral(u"コピー元のアイテムファイルが見つかりません\r\n挿入を中止します"));
    QCOMPARE(boxes.Asked()[0].icon, ui::MsgIcon::Error);
    QCOMPARE(e.Shape(), std::string("R(A(A1 A2) B A+(A1))"));
    QCOMPARE(e.w->CurrentNode(), e.View()->Tree().RootNode()->Item(2));

    Project locked("R(A)", true);
    Editor l(locked);
    QVERIFY(l.Enabled(TEditorAction::CopyItemAction));
    QVERIFY(!l.Enabled(TEditorAction::PastItemAction));
    QVERIFY(!l.Enabled(TEditorAction::ClipItemDefaultAction));
    QVERIFY(!l.Enabled(TEditorAction::InportTextFileAction));
    l.Key(Qt::Key_F9, Qt::ShiftModifier);
    QCOMPARE(l.Shape(), std::string("R(A)"));
  }

  void clipboardCaptureInFourWays() {
    Project p("R(A B)");
    ui::ScriptedMessageBoxes boxes;
    Editor e(p);
    const QString text = QStringLiteral(u"見出し\r\n二行め\r\n三行め");
    struct Case {
      TEditorAction action;
      const char *selected;
      const char16_t *label;
      const char16_t *body;
      const char *shape;
    } cases[] = {
        {TEditorAction::ClipItemByTitleAction, "A", u"見出し", u"二行め\n三行め", "R(A # B)"},
        {TEditorAction::ClipItemDefaultAction, "A", u"新しいアイテム", u"見出し\n二行め\n三行め",
         "R(A # B)"},
        {TEditorAction::ClipSubItemByTitleAction, "B", u"見出し", u"二行め\n三行め", "R(A B(#))"},
        {TEditorAction::ClipSubItemAction, "R", u"新しいアイテム", u"見出し\n二行め\n三行め",
         "R(A B #)"},
    };
    for (const Case &c : cases) {
      Project fresh("R(A B)");
      Editor f(fresh);
      SetClipboard(text);
      f.Select(c.selected);
      QVERIFY(f.Enabled(c.action));
      f.w->Action(c.action)->trigger();
      TProjectNode *made = f.w->CurrentNode();
      QVERIFY(made);
      QCOMPARE(f.View()->Tree().NodeCount(), size_t(4));
      QCOMPARE(ui::ToQString(made->Text()), QString::fromUtf16(c.label));
      QCOMPARE(f.Memo(), QString::fromUtf16(c.body));
      const TNodeFiles stored = f.Stored(made);
      QCOMPARE(ui::ToQString(stored.Title), QString::fromUtf16(c.label));
      QCOMPARE(ui::ToQString(stored.Body.Joined()), QString::fromUtf16(c.body));
      std::string shape = f.Shape();
      shape.replace(shape.find(made->Text()), made->Text().size(), "#");
      QVERIFY2(shape == c.shape, shape.c_str());
    }
    QVERIFY(boxes.Asked().empty());

    // Text CP932 cannot hold makes no item and says which characters.
    SetClipboard(QStringLiteral(u"emoji \U0001F600"));
    e.Select("A");
    e.w->Action(TEditorAction::ClipItemDefaultAction)->trigger();
    QCOMPARE(e.Shape(), std::string("R(A B)"));
    QCOMPARE(boxes.Asked().size(), size_t(1));
    QVERIFY(boxes.Asked()[0].text.contains(QStringLiteral(u"\U0001F600")));
  }

  void textFileCaptureKeepsBytesOrConvertsUtf8() {
    Project p("R(A)");
    TestDir files;
    const QByteArray cp932 = QByteArray::fromStdString(Cp(QStringLiteral(u"表計算\r\n二行め\r\n")));
    files.Write("sjis.txt", cp932);
    files.Write("utf8.txt", QStringLiteral(u"ユニコード\n二行め\n").toUtf8());
    files.Write("bad.txt", QStringLiteral(u"ok \U0001F600\n").toUtf8());
    ui::ScriptedMessageBoxes boxes;
    ui::ScriptedDialogs dialogs({ui::DialogAnswer::Accept(files.Native("sjis.txt")),
                                 ui::DialogAnswer::Accept(files.Native("utf8.txt")),
                                 ui::DialogAnswer::Accept(files.Native("bad.txt")),
                                 ui::DialogAnswer::Accept(files.Native("gone.txt")),
                                 ui::DialogAnswer::Cancel()});
    Editor e(p);
    e.Select("A");
    auto run = [&] { e.w->Action(TEditorAction::InportTextFileAction)->trigger(); };
    run();
    QCOMPARE(dialogs.Asked()[0].title, QStringLiteral(u"取り込むファイルの指定"));
    QCOMPARE(dialogs.Asked()[0].defaultSuffix, QStringLiteral("txt"));
    QVERIFY(dialogs.Asked()[0].mustExist);
    TProjectNode *first = e.w->CurrentNode();
    QVERIFY(e.View()->IsEditingLabel()); // made as by the user: its label is open
    QCOMPARE(ui::ToQString(first->Text()), QStringLiteral(u"新しいアイテム"));
    QCOMPARE(e.Stored(first).Body.Joined(), Cp(QStringLiteral(u"表計算\n二行め")));
    // Byte for byte in the item file.
    QFile stored(ui::PathToQString(first->Data()->Files.FilePath));
    QVERIFY(stored.open(QIODevice::ReadOnly));
    QVERIFY(stored.readAll().contains("\r\n\r\n" + cp932));

    run();
    QCOMPARE(e.Stored(e.w->CurrentNode()).Body.Joined(), Cp(QStringLiteral(u"ユニコード\n二行め")));
    const size_t items = e.View()->Tree().NodeCount();
    run(); // an emoji: refused, nothing made
    run(); // missing: the path and the reason, nothing made
    run(); // cancelled
    QCOMPARE(e.View()->Tree().NodeCount(), items);
    QCOMPARE(boxes.Asked().size(), size_t(2));
    QVERIFY(boxes.Asked()[0].text.contains(QStringLiteral(u"\U0001F600")));
    QVERIFY(boxes.Asked()[1].text.contains(files.Native("gone.txt")));
  }

  void droppedFilesBecomeConsecutiveItems() {
    Project p("R(A B)");
    TestDir files;
    files.Write("x.txt", "x body\r\n");
    files.Write("y.log", "y body\n");
    ui::ScriptedMessageBoxes boxes;
    Editor e(p);
    e.Select("A");
    SendFileDrop(e.w, {files.Native("x.txt"), files.Native("y.log")});
    QCOMPARE(e.Shape(), std::string("R(A x y B)"));
    QCOMPARE(e.Stored(e.Find("x")).Body, TTextLines({"x body"}));
    QCOMPARE(e.Stored(e.Find("y")).Title, std::string("y"));
    QCOMPARE(e.w->CurrentNode(), e.Find("y"));
    // The last one's label is offered for editing with its file name: Enter keeps it.
    QVERIFY(e.View()->IsEditingLabel());
    auto *edit = qobject_cast<QLineEdit *>(QApplication::focusWidget());
    QVERIFY(edit);
    QCOMPARE(edit->text(), QStringLiteral("y"));
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(e.Find("y")->Text(), std::string("y"));

    // A file that cannot be read stops the drop there.
    SendFileDrop(e.w, {files.Native("x.txt"), files.Native("missing.txt"), files.Native("y.log")});
    QCOMPARE(e.Shape(), std::string("R(A x y x B)"));
    QCOMPARE(boxes.Asked().size(), size_t(1));
    QVERIFY(boxes.Asked()[0].text.contains(files.Native("missing.txt")));

    // A label still being typed when files come is kept.
    e.Select("B");
    e.View()->setFocus();
    QTest::keyClick(e.View(), Qt::Key_F2);
    auto *label = qobject_cast<QLineEdit *>(QApplication::focusWidget());
    QVERIFY(label);
    label->selectAll();
    QTest::keyClicks(label, "renamed");
    SendFileDrop(e.w, {files.Native("x.txt")});
    QVERIFY(e.Find("renamed"));
    QCOMPARE(e.Stored(e.Find("renamed")).Title, std::string("renamed"));

    // A locked project takes nothing.
    Project locked("R(A)", true);
    Editor l(locked);
    SendFileDrop(l.w, {files.Native("x.txt")});
    QCOMPARE(l.Shape(), std::string("R(A)"));
    QCOMPARE(boxes.Asked().size(), size_t(2));
  }
  // Files dropped anywhere on the window become items; text on the item text stays text.
  void filesDroppedAnywhereOnTheWindowBecomeItems() {
    Project p("R(A B)");
    TestDir files;
    files.Write("x.txt", "x body\r\n");
    ui::ScriptedMessageBoxes boxes;
    Editor e(p);
    e.Select("A");
    const std::pair<const char *, QWidget *> targets[] = {
        {"window", e.w},
        {"tree", e.View()->viewport()},
        {"item text", e.w->FileText()->viewport()},
        {"header strip", e.w->PagePropertyHeader()->viewport()},
        {"status bar", e.w->StatusPanel(0)}};
    std::string shape = "R(A";
    for (const auto &[where, target] : targets) {
      e.View()->CommitLabelEdit();
      SendFileDrop(target, {files.Native("x.txt")});
      shape += " x";
      QVERIFY2(e.Shape() == shape + " B)", where);
      QVERIFY2(e.Memo().startsWith(QStringLiteral("x body")), where);
    }
    e.View()->CommitLabelEdit();
    SendFileDrop(e.w->FileText()->viewport(), {}, QStringLiteral("dropped words"));
    QVERIFY(e.Memo().contains(QStringLiteral("dropped words")));
    QCOMPARE(e.Shape(), shape + " B)");
    QVERIFY(boxes.Asked().empty());
  }
};

ORVANE_WIDGET_TEST_MAIN(ClipboardCaptureTest)
#include "ClipboardCaptureTest.moc"
