// One running program per user, with the real executable as the other
// process: a second start hands its shortcut over and ends, two starts at the
// same moment leave one, and a crashed instance is no obstacle.
#include "catalogue/SingleInstance.h"
#include "WidgetTestSupport.h"
#include "catalogue/SelectThema.h"
#include "editor/VaveMain.h"
#include "store/RegIniFile.h"
#include "ui/MessageBox.h"

#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>

#include <chrono>
#include <future>
#include <memory>

#include <sys/stat.h>
#include <unistd.h>

namespace {

void MakeProject(const TestDir &dir, const QString &name, const QString &title) {
  dir.Write(name + QStringLiteral("/r.txt"),
            "Title:" + QByteArray::fromStdString(TestDir::Name(title)) + "\r\n\r\ntext\r\n");
  dir.Write(name + QStringLiteral("/MainTree.dat"), "[Root]\r\nFileName=r.txt\r\n");
}

// A client in a thread of its own, so the server here keeps answering.
bool SendFromAnotherThread(const QString &address, const QString &argument) {
  auto sent = std::async(std::launch::async,
                         [=] { return TSingleInstance::Send(address, argument, 1000, 2000); });
  while (sent.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready)
    QTest::qWait(10);
  return sent.get();
}

} // namespace

class SingleInstanceTest : public QObject {
  Q_OBJECT

  std::unique_ptr<TestDir> env_, root_;
  std::vector<std::unique_ptr<QProcess>> started_;

  QString Address() const {
    return env_->Native(QStringLiteral("run/orvane-%1.sock").arg(::getuid()));
  }

  // The program in a world of its own: runtime, settings, data and home all
  // in the test's directory, the catalogue's root set so no folder is asked.
  QProcess *Start(const QStringList &args = {}, const QString &workingDir = QString()) {
    auto p = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), env_->Native(QStringLiteral("run")));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), env_->Native(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), env_->Native(QStringLiteral("data")));
    env.insert(QStringLiteral("HOME"), env_->Native(QStringLiteral("home")));
    p->setProcessEnvironment(env);
    if (!workingDir.isEmpty())
      p->setWorkingDirectory(workingDir);
    p->start(QStringLiteral(ORVANE_EXECUTABLE), args);
    started_.push_back(std::move(p));
    return started_.back().get();
  }
  static bool Finished(QProcess *p) { return p->state() == QProcess::NotRunning; }
  static bool EndedWell(QProcess *p) {
    return Finished(p) && p->exitStatus() == QProcess::NormalExit && p->exitCode() == 0;
  }

private slots:
  void init() {
    env_ = std::make_unique<TestDir>();
    root_ = std::make_unique<TestDir>();
    QVERIFY(QDir().mkpath(env_->Native(QStringLiteral("run"))));
    env_->Write(QStringLiteral("config/kem/Orvane/settings.ini"),
                "[Main]\r\nRootDir=" + QByteArray::fromStdString(root_->Cp()) + "\r\n");
    (void)fsys::DeleteFile(TRegIniFile::DefaultFileName()); // absent already is as good
    TRegIniFile reg;
    reg.WriteString("Main", "RootDir", root_->Cp());
  }
  void cleanup() {
    for (auto &p : started_) {
      if (!Finished(p.get())) {
        p->kill();
        p->waitForFinished(5000);
      }
    }
    started_.clear();
  }

  void secondStartHandsItsShortcutOverAndEnds() {
    TSingleInstance instance(Address());
    QCOMPARE(instance.Start(std::nullopt, 2000), TSingleInstance::Role::First);
    TSelectThemaForm catalogue;
    catalogue.show();
    connect(&instance, &TSingleInstance::HandOver, &catalogue,
            [&catalogue](bool hasArgument, const QString &argument) {
              catalogue.WMShortcutHandover(hasArgument ? std::optional<QString>(argument)
                                                       : std::nullopt);
            });

    MakeProject(*root_, QStringLiteral("p"), QStringLiteral("Handed"));
    root_->Write(QStringLiteral("links/p.ida"),
                 "[Project]\r\nDirectory=" + QByteArray::fromStdString(root_->Cp()) + "p/\r\n");
    // A relative name means the second start's working directory, not ours.
    QProcess *second = Start({QStringLiteral("p.ida")}, root_->Native(QStringLiteral("links")));
    QTRY_VERIFY_WITH_TIMEOUT(Finished(second), 10000);
    QVERIFY(EndedWell(second));
    QTRY_COMPARE(catalogue.Editors().size(), 1u);
    QCOMPARE(catalogue.Editors()[0]->ProjectDir(), root_->Cp() + "p/");
    QCOMPARE(catalogue.ShortcutProjects().size(), 1u);

    // Without an argument the running catalogue comes back.
    catalogue.showMinimized();
    QProcess *third = Start();
    QTRY_VERIFY_WITH_TIMEOUT(Finished(third), 10000);
    QVERIFY(EndedWell(third));
    QTRY_VERIFY(!catalogue.isMinimized());
  }

  void aCrashedInstanceIsNoObstacle() {
    QProcess *crashed = Start();
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(Address()), 10000);
    crashed->kill();
    QVERIFY(crashed->waitForFinished(5000));
    QVERIFY(QFileInfo::exists(Address())); // its socket and lock are left behind

    TSingleInstance instance(Address());
    QCOMPARE(instance.Start(std::nullopt, 2000), TSingleInstance::Role::First);
    QSignalSpy handed(&instance, &TSingleInstance::HandOver);
    QProcess *next = Start({QStringLiteral("/some/file.ida")});
    QTRY_VERIFY_WITH_TIMEOUT(Finished(next), 10000);
    QVERIFY(EndedWell(next));
    QTRY_COMPARE(handed.count(), 1);
    QCOMPARE(handed[0][0].toBool(), true);
    QCOMPARE(handed[0][1].toString(), QStringLiteral("/some/file.ida"));
  }

  void twoStartsAtTheSameMomentLeaveOne() {
    for (int round = 0; round < 3; ++round) {
      QProcess *a = Start();
      QProcess *b = Start();
      QTRY_VERIFY_WITH_TIMEOUT(Finished(a) || Finished(b), 10000);
      QTest::qWait(300);
      QVERIFY2(Finished(a) != Finished(b), "exactly one keeps running");
      QProcess *survivor = Finished(a) ? b : a;
      QVERIFY(EndedWell(Finished(a) ? a : b));
      // The survivor is the one that answers.
      QProcess *later = Start();
      QTRY_VERIFY_WITH_TIMEOUT(Finished(later), 10000);
      QVERIFY(EndedWell(later));
      QVERIFY(!Finished(survivor));
      survivor->terminate();
      QVERIFY(survivor->waitForFinished(5000));
    }
  }

  void withoutARuntimeDirectoryTheSocketLiesInAPrivateOne() {
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR"), tmp = qgetenv("TMPDIR");
    qunsetenv("XDG_RUNTIME_DIR");
    qputenv("TMPDIR", QFile::encodeName(env_->Native(QStringLiteral("tmp"))));
    QVERIFY(QDir().mkpath(env_->Native(QStringLiteral("tmp"))));
    const QString dir = env_->Native(QStringLiteral("tmp/orvane-%1").arg(::getuid()));
    auto mode = [&dir] {
      struct stat st {};
      return ::lstat(QFile::encodeName(dir).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
    };
    const mode_t umask = ::umask(0022);

    QString problem;
    const QString address = TSingleInstance::DefaultAddress(&problem);
    QCOMPARE(address, dir + QStringLiteral("/orvane-%1.sock").arg(::getuid()));
    QCOMPARE(mode(), 0700);
    QCOMPARE(TSingleInstance::DefaultAddress(), address); // an existing one serves again
    {
      TSingleInstance instance(address);
      QCOMPARE(instance.Start(std::nullopt, 2000), TSingleInstance::Role::First);
      QVERIFY(SendFromAnotherThread(address, QStringLiteral("/x.ida")));
    }

    // Anything another user could have prepared is refused with a reason.
    QVERIFY(::chmod(QFile::encodeName(dir).constData(), 0755) == 0);
    QCOMPARE(TSingleInstance::DefaultAddress(&problem), QString());
    QVERIFY(problem.contains(QStringLiteral("0755")));
    QVERIFY(QDir(dir).removeRecursively());
    const QString elsewhere = env_->Native(QStringLiteral("elsewhere"));
    QVERIFY(QDir().mkpath(elsewhere));
    QVERIFY(::chmod(QFile::encodeName(elsewhere).constData(), 0700) == 0);
    QVERIFY(QFile::link(elsewhere, dir));
    QCOMPARE(TSingleInstance::DefaultAddress(&problem), QString());
    QVERIFY(problem.contains(QStringLiteral("link")));
    QVERIFY(QFile::remove(dir));
    if (::getuid() == 0) { // only root can hand a directory to someone else
      QVERIFY(QDir().mkdir(dir));
      QVERIFY(::chmod(QFile::encodeName(dir).constData(), 0700) == 0);
      QVERIFY(::chown(QFile::encodeName(dir).constData(), 65534, 65534) == 0);
      QCOMPARE(TSingleInstance::DefaultAddress(&problem), QString());
      QVERIFY(problem.contains(QStringLiteral("another user")));
    }

    ::umask(umask);
    qputenv("XDG_RUNTIME_DIR", runtime);
    if (tmp.isNull())
      qunsetenv("TMPDIR");
    else
      qputenv("TMPDIR", tmp);
  }

  void aPeerOfAnotherUserIsDropped() {
    TSingleInstance instance(Address());
    QCOMPARE(instance.Start(std::nullopt, 2000), TSingleInstance::Role::First);
    QSignalSpy handed(&instance, &TSingleInstance::HandOver);
    // Both ends now see a stranger in the other: the client hands nothing
    // over, the server drops the connection unread.
    TSingleInstance::SetPeerUidForTest(::getuid() + 1);
    QVERIFY(!SendFromAnotherThread(Address(), QStringLiteral("/x.ida")));
    QLocalSocket raw;
    raw.connectToServer(Address());
    QVERIFY(raw.waitForConnected(1000));
    raw.write("ORV1\x01\0\0\0\x06/x.ida");
    raw.flush();
    QTRY_COMPARE(raw.state(), QLocalSocket::UnconnectedState);
    TSingleInstance::SetPeerUidForTest(::getuid());
    QTest::qWait(50);
    QCOMPARE(handed.count(), 0);
    QVERIFY(SendFromAnotherThread(Address(), QStringLiteral("/x.ida")));
    QTRY_COMPARE(handed.count(), 1);
  }

  void garbageOnTheSocketIsDropped() {
    TSingleInstance instance(Address());
    QCOMPARE(instance.Start(std::nullopt, 2000), TSingleInstance::Role::First);
    QSignalSpy handed(&instance, &TSingleInstance::HandOver);
    QLocalSocket rogue;
    rogue.connectToServer(Address());
    QVERIFY(rogue.waitForConnected(1000));
    rogue.write("GET / HTTP/1.0\r\n\r\n");
    rogue.flush();
    QTRY_COMPARE(rogue.state(), QLocalSocket::UnconnectedState);
    QCOMPARE(handed.count(), 0);
    QCOMPARE(TSingleInstance::HandOverForm(QStringLiteral("  /abs/x.ida")),
             QStringLiteral("/abs/x.ida"));
  }
};

ORVANE_WIDGET_TEST_MAIN(SingleInstanceTest)

#include "SingleInstanceTest.moc"
