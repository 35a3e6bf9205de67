#pragma once
#include <QAction>
// Shared by the widget tests: a test environment that never touches the real
// home directory, and a temporary project directory with real files.
#include "store/FileSystem.h"
#include "ui/Text.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "support/Printers.h"

#include <string>

// Settings, caches and recovery copies of the program go to a throw-away
// place: test mode for QStandardPaths, XDG_CONFIG_HOME and XDG_STATE_HOME in
// a temporary directory.
inline QTemporaryDir &TestConfigHome() {
  static QTemporaryDir dir;
  return dir;
}

inline void PrepareTestEnvironment() {
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(TestConfigHome().path()));
  qputenv("XDG_STATE_HOME", QFile::encodeName(TestConfigHome().path() + QStringLiteral("/state")));
  QStandardPaths::setTestModeEnabled(true);
}

// QTEST_MAIN with the environment above prepared before the application
// exists.
#define ORVANE_WIDGET_TEST_MAIN(TestClass)                                                         \
  int main(int argc, char **argv) {                                                                \
    PrepareTestEnvironment();                                                                      \
    QApplication app(argc, argv);                                                                  \
    TestClass tc;                                                                                  \
    QTEST_SET_MAIN_SOURCE_PATH                                                                     \
    return QTest::qExec(&tc, argc, argv);                                                          \
  }

// A temporary directory holding real files, named in the OS form (QString) and
// addressed by the program in CP932.
class TestDir {
public:
  TestDir() { QVERIFY2(dir_.isValid(), "temporary directory"); }

  QString Native(const QString &name = QString()) const {
    return name.isEmpty() ? dir_.path() + QLatin1Char('/') : dir_.filePath(name);
  }
  // CP932 path; with an empty name the directory with a trailing separator.
  std::string Cp(const QString &name = QString()) const {
    std::string out;
    if (!ui::PathFromQString(Native(name), out))
      qFatal("test path not expressible in CP932");
    return out;
  }
  // CP932 bytes of a bare name.
  static std::string Name(const QString &name) {
    std::string out;
    if (!ui::FromQString(name, out))
      qFatal("test name not expressible in CP932");
    return out;
  }
  std::string Write(const QString &name, const QByteArray &bytes) const {
    QDir().mkpath(QFileInfo(Native(name)).absolutePath());
    QFile f(Native(name));
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
      qFatal("cannot write test file");
    return Cp(name);
  }
  QByteArray Read(const QString &name) const {
    QFile f(Native(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }
  bool Has(const QString &name) const { return QFileInfo::exists(Native(name)); }
  std::string MakeDir(const QString &name) const {
    QDir().mkpath(Native(name));
    return Cp(name);
  }

private:
  QTemporaryDir dir_;
};

// A window's command by its object name, for tests that go through lists of
// names; an unknown name ends the test run.
inline QAction *ActionNamed(QWidget &w, const char *name) {
  auto *a = w.findChild<QAction *>(QString::fromLatin1(name));
  if (!a)
    qFatal("no command %s", name);
  return a;
}
