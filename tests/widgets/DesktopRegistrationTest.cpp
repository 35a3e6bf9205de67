// Registering shortcut files with the desktop: per user for a program run
// from its build tree, nothing per user for an installed program whose
// registration the system already reads. Real directories stand for the
// prefix, the system's data directories and the user's.
#include "catalogue/DesktopRegistration.h"
#include "WidgetTestSupport.h"

#include <memory>

using desktop::Registration;

class DesktopRegistrationTest : public QObject {
  Q_OBJECT

  std::unique_ptr<TestDir> home_, prefix_;

  // <prefix>/bin/orvane beside <prefix>/share with the installed files.
  QString Install(bool withMimeType = true) {
    prefix_->Write(QStringLiteral("bin/orvane"), "program");
    prefix_->Write(QStringLiteral("share/") + QLatin1String(desktop::kInstalledDesktopEntry),
                   "[Desktop Entry]\n");
    if (withMimeType)
      prefix_->Write(QStringLiteral("share/") + QLatin1String(desktop::kInstalledMimePackage),
                     desktop::MimeTypeXml());
    return prefix_->Native(QStringLiteral("bin/orvane"));
  }
  bool UserHas(const QString &name) const { return home_->Has(name); }

private slots:
  void init() {
    home_ = std::make_unique<TestDir>();
    prefix_ = std::make_unique<TestDir>();
    qputenv("XDG_DATA_HOME", QFile::encodeName(home_->Native()));
  }
  void cleanup() { qunsetenv("XDG_DATA_DIRS"); }

  void buildTreeProgramRegistersPerUser() {
    qputenv("XDG_DATA_DIRS", QFile::encodeName(prefix_->Native(QStringLiteral("share"))));
    const QString program = prefix_->Native(QStringLiteral("build/src/app/orvane"));
    QCOMPARE(desktop::RegisterShortcutType(program), Registration::Written);
    QVERIFY(home_->Read(QStringLiteral("applications/orvane.desktop"))
                .contains("\nExec=\"" + QFile::encodeName(program) + "\" %f\n"));
    const QByteArray mime = home_->Read(QStringLiteral("mime/packages/orvane-project.xml"));
    for (const char *field : {"<mime-type type=\"application/x-orvane-project\">",
                              "<glob pattern=\"*.ida\"/>", "</mime-info>\n"})
      QVERIFY2(mime.contains(field), field);
  }

  void installedProgramLeavesItToTheSystem() {
    const QString program = Install();
    qputenv("XDG_DATA_DIRS",
            "/nonexistent/share:" + QFile::encodeName(prefix_->Native(QStringLiteral("share/"))));
    // A registration an earlier run from a build tree left for this user
    // would win over the installed one: it goes.
    QCOMPARE(desktop::RegisterShortcutType(prefix_->Native(QStringLiteral("src/orvane"))),
             Registration::Written);
    QVERIFY(UserHas(QStringLiteral("applications/orvane.desktop")));

    QVERIFY(desktop::SystemKnowsType(program));
    QCOMPARE(desktop::RegisterShortcutType(program), Registration::LeftToSystem);
    QVERIFY(!UserHas(QStringLiteral("applications/orvane.desktop")));
    QVERIFY(!UserHas(QStringLiteral("mime/packages/orvane-project.xml")));
    QVERIFY(UserHas(QStringLiteral("applications"))); // only the files go

    // Files of those names that are not this program's stay.
    home_->Write(QStringLiteral("applications/orvane.desktop"), "[Desktop Entry]\nName=Mine\n");
    QCOMPARE(desktop::RegisterShortcutType(program), Registration::LeftToSystem);
    QCOMPARE(home_->Read(QStringLiteral("applications/orvane.desktop")),
             QByteArray("[Desktop Entry]\nName=Mine\n"));
  }

  void installedWhereTheSystemDoesNotLookRegistersPerUser() {
    // The prefix is not among the system's data directories.
    const QString program = Install();
    qputenv("XDG_DATA_DIRS", "/usr/share");
    QVERIFY(!desktop::SystemKnowsType(program));
    QCOMPARE(desktop::RegisterShortcutType(program), Registration::Written);
    QVERIFY(UserHas(QStringLiteral("applications/orvane.desktop")));

    // Unset, the defaults apply: /usr/local/share and /usr/share.
    qunsetenv("XDG_DATA_DIRS");
    QCOMPARE(desktop::SystemDataDirs(),
             (QStringList{QStringLiteral("/usr/local/share"), QStringLiteral("/usr/share")}));
    QVERIFY(!desktop::SystemKnowsType(program));
  }

  void incompleteInstallRegistersPerUser() {
    const QString program = Install(/*withMimeType=*/false);
    qputenv("XDG_DATA_DIRS", QFile::encodeName(prefix_->Native(QStringLiteral("share"))));
    QVERIFY(!desktop::SystemKnowsType(program));
    QCOMPARE(desktop::RegisterShortcutType(program), Registration::Written);
    QVERIFY(UserHas(QStringLiteral("mime/packages/orvane-project.xml")));
  }

  void dataDirectoryNamedThroughALinkCounts() {
    const QString program = Install();
    TestDir links;
    QVERIFY(QFile::link(prefix_->Native(QStringLiteral("share")),
                        links.Native(QStringLiteral("share"))));
    qputenv("XDG_DATA_DIRS", QFile::encodeName(links.Native(QStringLiteral("share"))));
    QVERIFY(desktop::SystemKnowsType(program));
    QCOMPARE(desktop::RegisterShortcutType(program), Registration::LeftToSystem);
    QVERIFY(!UserHas(QStringLiteral("applications/orvane.desktop")));
  }
};

ORVANE_WIDGET_TEST_MAIN(DesktopRegistrationTest)

#include "DesktopRegistrationTest.moc"
