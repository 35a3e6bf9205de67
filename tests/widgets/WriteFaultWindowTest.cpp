// The editor's save (Ctrl+S) and a capture, each run with the k-th disk call
// of a kind failing, for every k they reach: the user is told, with the
// file's path; no file holds cut or mixed bytes; the window keeps the
// unsaved text; and the next Ctrl+S on a sound disk stores all of it.
#include "EditorFixture.h"
#include "EditorTestProject.h"
#include "editor/DiskWatch.h"
#include "store/FaultInjection.h"
#include "support/DiskSnapshot.h"
#include "support/ScopedHooks.h"
#include "ui/MessageBox.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QStatusBar>

#include <cerrno>
#include <functional>

namespace {

using fsys::fault::Call;
using Project = EditorTestProject;

struct Editor : OpenEditor {
  explicit Editor(const Project &p) : OpenEditor(p.Root(), {"tester", true}) {}
  bool SelectId(const char *id) { return View()->SelectNode(FindItem(*w, id)); }
  void Save() { QTest::keyClick(w->FileText(), Qt::Key_S, Qt::ControlModifier); }
};

// What the user does before the disk fails: types into A, then the step
// under test.
struct Scenario {
  const char *name;
  std::function<void(Editor &)> step;
  // A file the step may leave with bytes of a state between old and new.
  std::function<bool(const std::string &bytes)> between = [](const std::string &) { return false; };
};

const QString kTyped = QStringLiteral("unsaved words ");

void TypeIntoA(Editor &e) {
  QVERIFY(e.SelectId("Root-C00000"));
  e.w->FileText()->setFocus();
  QTest::keyClicks(e.w->FileText(), kTyped);
}

} // namespace

class WriteFaultWindowTest : public QObject {
  Q_OBJECT

  void Sweep(const Scenario &s) {
    support::ScopedClock clock(At(2026, 12, 8, 12, 0, 0));
    // The clean run: the files after it and how many calls each kind takes.
    std::string dir;
    snapshot::Snapshot before, after;
    uint64_t counts[fsys::fault::kCallKinds];
    {
      Project p;
      dir = p.Root();
      before = snapshot::Take(p.dir.Native().toStdString());
      Editor e(p);
      TypeIntoA(e);
      ui::ScriptedMessageBoxes boxes;
      fsys::fault::Arm({});
      s.step(e);
      for (int c = 0; c < fsys::fault::kCallKinds; ++c)
        counts[c] = fsys::fault::Count(static_cast<Call>(c));
      fsys::fault::Disarm();
      QCOMPARE(boxes.Asked().size(), size_t(0));
      after = snapshot::Take(p.dir.Native().toStdString());
    }
    int runs = 0;
    for (int c = 0; c < fsys::fault::kCallKinds; ++c) {
      const Call call = static_cast<Call>(c);
      for (uint64_t k = 1; k <= counts[c]; ++k) {
        for (bool persistent : {false, true}) {
          const QString where =
              QStringLiteral("%1 %2 #%3%4")
                  .arg(QString::fromLatin1(s.name), QString::fromLatin1(fsys::fault::Name(call)))
                  .arg(k)
                  .arg(persistent ? QStringLiteral(" and after") : QString());
          Project p;
          const std::string native = p.dir.Native().toStdString();
          Editor e(p);
          TypeIntoA(e);
          ui::ScriptedMessageBoxes boxes;
          fsys::fault::Arm({call, k, persistent ? ENOSPC : EIO, persistent});
          s.step(e);
          const bool fired = fsys::fault::Fired();
          fsys::fault::Disarm();
          ++runs;
          QVERIFY2(fired, qPrintable(where));

          // Told, with the path, or done in full.
          const auto now = snapshot::Take(native);
          if (boxes.Asked().empty()) {
            QVERIFY2(snapshot::Reopen(p.Root()).missing == 0, qPrintable(where));
          } else {
            const QString text = boxes.Asked().front().text;
            QVERIFY2(text.contains(p.dir.Native()), qPrintable(where + ": " + text));
          }
          const auto mixed =
              snapshot::Mixed(before, after, now, [&](const std::string &f, bool is) {
                if (!is && f.ends_with("MainTree.dat.ord"))
                  return true;
                if (is && !before.count(f) && s.between(now.at(f)))
                  return true;
                return is && snapshot::IsLeftover(f);
              });
          for (const std::string &f : mixed) {
            QFAIL(qPrintable(where + ": " + QString::fromStdString(f)));
          }
          const snapshot::Reopened r = snapshot::Reopen(p.Root());
          QVERIFY2(r.loaded && r.missing == 0,
                   qPrintable(where + ": " + QString::fromStdString(snapshot::Text(r))));
          // The window still holds what was typed.
          QVERIFY2(e.SelectId("Root-C00000"), qPrintable(where + ": A cannot be selected"));
          QVERIFY2(e.w->FileText()->toPlainText().contains(kTyped), qPrintable(where));

          // The next save on a sound disk stores everything.
          const size_t told = boxes.Asked().size();
          e.Save();
          QVERIFY2(boxes.Asked().size() == told, qPrintable(where));
          TNodeFiles a;
          a.FilePath = p.dir.Cp(QStringLiteral("a.txt"));
          QVERIFY(a.Open(true));
          QVERIFY2(QString::fromStdString(a.Body.Joined()).contains(kTyped), qPrintable(where));
          const snapshot::Reopened saved = snapshot::Reopen(p.Root());
          QVERIFY2(saved.loaded && saved.missing == 0 && saved.outline == e.Shape(),
                   qPrintable(where + ": " + QString::fromStdString(snapshot::Text(saved))));
        }
      }
    }
    QVERIFY(runs > 0);
  }

private slots:
  void saveWithCtrlS() {
    Sweep({"Ctrl+S", [](Editor &e) { e.Save(); }});
  }

  void captureOfTheClipboard() {
    Sweep({"capture",
           [](Editor &e) {
             QGuiApplication::clipboard()->setText(QStringLiteral("Captured\r\nits text"));
             // (Leaving A stores it first; when that fails, A stays selected.)
             e.SelectId("Root-C00002");
             e.w->Action(TEditorAction::ClipItemByTitleAction)->trigger();
           },
           // The new item is written empty before the text goes into it.
           [](const std::string &bytes) {
             return bytes.find("its text") == std::string::npos && bytes.ends_with("\r\n\r\n\r\n");
           }});
  }

  // Only an unwritable caret memory differs: no hold, no box, one word in the status bar.
  void aCaretThatCannotBeStoredHoldsNeitherSelectionNorClose_data() {
    QTest::addColumn<int>("kind");
    QTest::newRow("full disk") << 0;
    QTest::newRow("read-only file system") << 1;
    QTest::newRow("read-only item files") << 2;
    QTest::newRow("links out of the folder") << 3;
  }
  void aCaretThatCannotBeStoredHoldsNeitherSelectionNorClose() {
    QFETCH(int, kind);
    Project p;
    TestDir elsewhere;
    for (const QString &name : {QStringLiteral("a.txt"), QStringLiteral("b.txt")})
      QVERIFY(kind == 2 ? QFile::setPermissions(p.dir.Native(name), QFile::ReadOwner)
                        : kind < 2 || (QFile::rename(p.dir.Native(name), elsewhere.Native(name)) &&
                                       QFile::link(elsewhere.Native(name), p.dir.Native(name))));
    const QByteArray a = p.dir.Read("a.txt"), b = p.dir.Read("b.txt");
    Editor e(p);
    e.w->DiskWatch().Stop();
    ui::ScriptedMessageBoxes boxes;
    if (kind < 2)
      fsys::fault::Arm({kind == 0 ? Call::Write : Call::Open, 1, kind == 0 ? ENOSPC : EROFS, true});
    QTest::keyClick(e.w->FileText(), Qt::Key_End);
    e.View()->setFocus();
    QTest::keyClick(e.View(), Qt::Key_Down);
    QCOMPARE(e.w->CurrentNode(), FindItem(*e.w, "Root-C00002"));
    const QString told = e.w->statusBar()->currentMessage();
    QVERIFY2(told.contains(p.dir.Native("a.txt")), qPrintable(told));
    QTest::keyClick(e.View(), Qt::Key_Up);
    QVERIFY(e.w->CurrentNode() == FindItem(*e.w, "Root-C00000") &&
            e.w->statusBar()->currentMessage() == told);
    e.w->close();
    QTRY_VERIFY(!e.w);
    fsys::fault::Disarm();
    QCOMPARE(boxes.Asked().size(), size_t(0));
    QVERIFY(p.dir.Read("a.txt") == a && p.dir.Read("b.txt") == b);
  }

  void cleanup() { fsys::fault::Disarm(); }
};

QTEST_MAIN(WriteFaultWindowTest)
#include "WriteFaultWindowTest.moc"
