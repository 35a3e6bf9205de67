// Desktop file drops: one report per drop, paths in order and in CP932.
#include "attach/DragDropFile.h"
#include "WidgetTestSupport.h"
#include "ui/MessageBox.h"

#include <QMimeData>
#include <QPlainTextEdit>
#include <QUrl>
#include <QWidget>

namespace {

struct DropResult {
  bool accepted = false;
  Qt::DropAction action = Qt::IgnoreAction;
};

DropResult SendDrop(QWidget *target, QMimeData *mime,
                    Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction) {
  // Qt hands a drop to the widget that accepted the drag's entry.
  QDragEnterEvent enter(QPoint(5, 5), actions, mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &enter);
  QDropEvent drop(QPointF(5, 5), actions, mime, Qt::LeftButton, Qt::NoModifier);
  drop.setAccepted(false);
  QApplication::sendEvent(target, &drop);
  QCoreApplication::processEvents();
  return {drop.isAccepted(), drop.dropAction()};
}

QMimeData *Files(const QStringList &native) {
  auto *mime = new QMimeData;
  QList<QUrl> urls;
  for (const QString &p : native)
    urls << QUrl::fromLocalFile(p);
  mime->setUrls(urls);
  return mime;
}

struct Recorder {
  std::vector<TStringList> drops;
  TDragDropFile *sender = nullptr;
  void Attach(TDragDropFile &d) {
    d.OnFileDrop = [this](TDragDropFile *s, const TStringList &paths) {
      sender = s;
      drops.push_back(paths);
    };
  }
};

} // namespace

class DragDropFileTest : public QObject {
  Q_OBJECT

private slots:
  void oneReportPerDropWithThePathsInOrder() {
    TestDir dir;
    const std::string a = dir.Write(QStringLiteral(u"議事録.txt"), "a");
    const std::string b = dir.Write(QStringLiteral("b.txt"), "b");
    const std::string folder = dir.MakeDir(QStringLiteral(u"資料"));
    QWidget owner;
    auto *drop = new TDragDropFile(&owner);
    Recorder rec;
    rec.Attach(*drop);
    drop->Start();
    std::unique_ptr<QMimeData> mime(
        Files({dir.Native(QStringLiteral("b.txt")), dir.Native(QStringLiteral(u"議事録.txt")),
               dir.Native(QStringLiteral(u"資料")) + QLatin1Char('/')}));
    mime->setUrls(mime->urls() << QUrl(QStringLiteral("https://example.invalid/page")));
    const DropResult r = SendDrop(&owner, mime.get());
    QVERIFY(r.accepted);
    QCOMPARE(rec.drops.size(), 1u);
    QCOMPARE(rec.drops[0], (TStringList{b, a, folder})); // a folder without its trailing separator
    QCOMPARE(rec.sender, drop);
  }

  void filesAreLinkedOrCopiedNeverMoved() {
    TestDir dir;
    dir.Write(QStringLiteral("a.txt"), "a");
    QWidget owner;
    TDragDropFile drop(&owner);
    Recorder rec;
    rec.Attach(drop);
    drop.Start();
    std::unique_ptr<QMimeData> mime(Files({dir.Native(QStringLiteral("a.txt"))}));
    QCOMPARE(SendDrop(&owner, mime.get()).action, Qt::LinkAction);
    QCOMPARE(SendDrop(&owner, mime.get(), Qt::CopyAction | Qt::MoveAction).action, Qt::CopyAction);
    SendDrop(&owner, mime.get(), Qt::MoveAction);
    QCOMPARE(rec.drops.size(), 2u); // a move-only drop is refused
    QVERIFY(dir.Has(QStringLiteral("a.txt")));
  }

  void startsOnceOnShowOrActivationWithAutoStartOnly() {
    QWidget owner;
    auto *drop = new TDragDropFile(&owner);
    QVERIFY(!drop->Started());
    owner.show();
    QVERIFY(!drop->Started()); // AutoStart off: only Start() starts
    owner.hide();
    drop->AutoStart = true;
    owner.show();
    QVERIFY(drop->Started());
    QVERIFY(owner.acceptDrops());
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&owner, &activate);
    drop->Start();
    QVERIFY(drop->Started());

    // Not started: the drop is left alone.
    QWidget other;
    TDragDropFile idle(&other);
    Recorder rec;
    rec.Attach(idle);
    TestDir dir;
    dir.Write(QStringLiteral("a.txt"), "a");
    std::unique_ptr<QMimeData> mime(Files({dir.Native(QStringLiteral("a.txt"))}));
    QVERIFY(!SendDrop(&other, mime.get()).accepted);
    QVERIFY(rec.drops.empty());
  }

  void dropWithoutHandlerIsReadAndDiscarded() {
    TestDir dir;
    const std::string a = dir.Write(QStringLiteral("a.txt"), "a");
    const std::string b = dir.Write(QStringLiteral("b.txt"), "b");
    QWidget owner;
    TDragDropFile drop(&owner);
    drop.Start();
    std::unique_ptr<QMimeData> first(Files({dir.Native(QStringLiteral("a.txt"))}));
    QVERIFY(SendDrop(&owner, first.get()).accepted);
    // A handler given afterwards gets the next drop alone, never the one
    // that found none.
    Recorder rec;
    rec.Attach(drop);
    std::unique_ptr<QMimeData> second(Files({dir.Native(QStringLiteral("b.txt"))}));
    SendDrop(&owner, second.get());
    QCOMPARE(rec.drops, (std::vector<TStringList>{{b}}));
    QVERIFY(dir.Has(QStringLiteral("a.txt")));
  }

  void pathCp932CannotNameIsReportedAndSkipped() {
    TestDir dir;
    const std::string good = dir.Write(QStringLiteral("good.txt"), "g");
    const QString emoji = QStringLiteral(u"写真😀.jpg");
    QFile f(dir.Native(emoji));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();
    QWidget owner;
    owner.setWindowTitle(QStringLiteral(u"リンク"));
    TDragDropFile drop(&owner);
    Recorder rec;
    rec.Attach(drop);
    drop.Start();
    ui::ScriptedMessageBoxes boxes({ui::MsgAnswer::Ok});
    std::unique_ptr<QMimeData> mime(
        Files({dir.Native(emoji), dir.Native(QStringLiteral("good.txt"))}));
    SendDrop(&owner, mime.get());
    QCOMPARE(rec.drops.size(), 1u);
    QCOMPARE(rec.drops[0], TStringList{good});
    QCOMPARE(boxes.Asked().size(), 1u);
    QVERIFY(boxes.Asked()[0].text.contains(dir.Native(emoji)));
    QCOMPARE(boxes.Asked()[0].caption, QStringLiteral(u"リンク"));
    QCOMPARE(boxes.Asked()[0].icon, ui::MsgIcon::Warning);

    // Nothing nameable at all: no report, only the message.
    std::unique_ptr<QMimeData> only(Files({dir.Native(emoji)}));
    SendDrop(&owner, only.get());
    QCOMPARE(rec.drops.size(), 1u);
    QCOMPARE(boxes.Asked().size(), 2u);
  }

  void childTargetGivesUpFileDropsButKeepsTextDrops() {
    TestDir dir;
    const std::string a = dir.Write(QStringLiteral("a.txt"), "a");
    QWidget owner;
    auto *edit = new QPlainTextEdit(&owner);
    TDragDropFile drop(&owner);
    Recorder rec;
    rec.Attach(drop);
    drop.AddTarget(edit->viewport());
    drop.Start();
    std::unique_ptr<QMimeData> files(Files({dir.Native(QStringLiteral("a.txt"))}));
    QVERIFY(SendDrop(edit->viewport(), files.get()).accepted);
    QCOMPARE(rec.drops.size(), 1u);
    QCOMPARE(rec.drops[0], TStringList{a});
    QVERIFY(edit->toPlainText().isEmpty());
    QMimeData text;
    text.setText(QStringLiteral("plain text"));
    SendDrop(edit->viewport(), &text, Qt::CopyAction);
    QCOMPARE(rec.drops.size(), 1u);
    QCOMPARE(edit->toPlainText(), QStringLiteral("plain text"));
  }

  void ownerGetsItsDropSettingBackAndNoLateReport() {
    TestDir dir;
    dir.Write(QStringLiteral("a.txt"), "a");
    QWidget owner;
    auto *drop = new TDragDropFile(&owner);
    Recorder rec;
    rec.Attach(*drop);
    drop->Start();
    QVERIFY(owner.acceptDrops());
    // A drop whose report is still queued when the component goes away.
    std::unique_ptr<QMimeData> mime(Files({dir.Native(QStringLiteral("a.txt"))}));
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&owner, &enter);
    QDropEvent ev(QPointF(5, 5), Qt::CopyAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&owner, &ev);
    QVERIFY(ev.isAccepted());
    delete drop;
    QCoreApplication::processEvents();
    QVERIFY(rec.drops.empty());
    QVERIFY(!owner.acceptDrops());
  }
};

ORVANE_WIDGET_TEST_MAIN(DragDropFileTest)

#include "DragDropFileTest.moc"
