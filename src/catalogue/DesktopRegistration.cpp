#include "catalogue/DesktopRegistration.h"

#include "store/FileSystem.h"
#include "store/LibUnit.h"
#include "ui/Text.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <cerrno>
#include <string>

namespace desktop {

namespace {

fsys::Status WriteNative(const QString &nativePath, const QByteArray &content) {
  std::string path;
  if (!ui::PathFromQString(nativePath, path))
    return fsys::Status{"write", "", EILSEQ};
  if (fsys::Status s = fsys::CreateDirectories(ExtractFilePath(path)); !s)
    return s;
  return fsys::WriteFile(path, std::string_view(content.constData(), content.size()));
}

void RunIfInstalled(const QString &tool, const QString &dir) {
  const QString program = QStandardPaths::findExecutable(tool);
  if (!program.isEmpty())
    QProcess::startDetached(program, {dir});
}

// Removes a per-user registration file this program wrote: it names the
// shortcut type. Anything else under that name is left alone.
void RemoveOwnFile(const QString &nativePath) {
  std::string path, content;
  if (!ui::PathFromQString(nativePath, path) || !fsys::ReadFile(path, content))
    return;
  // One left behind only shadows the installed one of the same ID: nothing
  // to tell the user, who did not ask for it.
  if (content.find(kShortcutMimeType) != std::string::npos)
    (void)fsys::DeleteFile(path);
}

bool SameDirectory(const QString &a, const QString &b) {
  const QString ca = QFileInfo(a).canonicalFilePath();
  return !ca.isEmpty() && ca == QFileInfo(b).canonicalFilePath();
}

} // namespace

QStringList SystemDataDirs() {
  QStringList dirs;
  for (const QString &d : qEnvironmentVariable("XDG_DATA_DIRS").split(QLatin1Char(':')))
    if (QDir::isAbsolutePath(d))
      dirs << QDir::cleanPath(d);
  if (dirs.isEmpty())
    dirs << QStringLiteral("/usr/local/share") << QStringLiteral("/usr/share");
  return dirs;
}

bool SystemKnowsType(const QString &programPath) {
  const QFileInfo program(programPath);
  const QString share = QDir::cleanPath(program.absolutePath() + QStringLiteral("/../share"));
  if (QFileInfo(program.absolutePath()).fileName() != QLatin1String("bin") ||
      !QFileInfo(share + QLatin1Char('/') + QLatin1String(kInstalledDesktopEntry)).isFile() ||
      !QFileInfo(share + QLatin1Char('/') + QLatin1String(kInstalledMimePackage)).isFile())
    return false;
  for (const QString &dir : SystemDataDirs())
    if (SameDirectory(dir, share))
      return true;
  return false;
}

QString DataHome() {
  const QString env = qEnvironmentVariable("XDG_DATA_HOME");
  if (!env.isEmpty() && QDir::isAbsolutePath(env))
    return QDir::cleanPath(env);
  return QDir::homePath() + QStringLiteral("/.local/share");
}

QString MimeFilePath() { return DataHome() + QStringLiteral("/mime/packages/orvane-project.xml"); }

QString DesktopFilePath() { return DataHome() + QStringLiteral("/applications/orvane.desktop"); }

QByteArray MimeTypeXml() {
  return QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                    "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
                    "  <mime-type type=\"") +
         kShortcutMimeType +
         "\">\n"
         "    <comment>Orvane project shortcut</comment>\n" +
         QStringLiteral(
             u"    <comment xml:lang=\"ja\">Orvane プロジェクトへのショートカット</comment>\n")
             .toUtf8() +
         "    <glob pattern=\"*.ida\"/>\n"
         "  </mime-type>\n"
         "</mime-info>\n";
}

QString ExecArgument(const QString &path) {
  // Inside double quotes the Exec rules want ", `, $ and \ escaped with a
  // backslash; the value as a whole is a desktop-entry string, whose own
  // rules double every backslash again; a % would start a field code.
  QString quoted;
  for (QChar c : path) {
    if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$'))
      quoted += QStringLiteral("\\\\") + c;
    else if (c == QLatin1Char('\\'))
      quoted += QStringLiteral("\\\\\\\\");
    else if (c == QLatin1Char('%'))
      quoted += QStringLiteral("%%");
    else if (c == QLatin1Char('\n'))
      quoted += QStringLiteral("\\n");
    else if (c == QLatin1Char('\r'))
      quoted += QStringLiteral("\\r");
    else
      quoted += c;
  }
  return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QByteArray DesktopEntry(const QString &programPath) {
  QString entry = QStringLiteral("[Desktop Entry]\n"
                                 "Type=Application\n"
                                 "Name=Orvane\n") +
                  QStringLiteral(u"Comment=アイデアを集めて整理するアウトライナ\n") +
                  QStringLiteral("Exec=") + ExecArgument(programPath) +
                  QStringLiteral(" %f\n"
                                 "MimeType=") +
                  QLatin1String(kShortcutMimeType) +
                  QStringLiteral(";\n"
                                 "Terminal=false\n"
                                 "Categories=Office;\n");
  return entry.toUtf8();
}

fsys::Status WriteMimeType() { return WriteNative(MimeFilePath(), MimeTypeXml()); }

fsys::Status WriteDesktopEntry(const QString &programPath) {
  return WriteNative(DesktopFilePath(), DesktopEntry(programPath));
}

Registration RegisterShortcutType(const QString &programPath) {
  Registration result = Registration::Written;
  if (SystemKnowsType(programPath)) {
    RemoveOwnFile(MimeFilePath());
    RemoveOwnFile(DesktopFilePath());
    result = Registration::LeftToSystem;
  } else {
    // Either missing, a double click does not open the shortcut here.
    const bool mimeType = WriteMimeType().ok();
    const bool entry = WriteDesktopEntry(programPath).ok();
    if (!mimeType || !entry)
      result = Registration::Failed;
  }
  RefreshDatabases();
  return result;
}

void RefreshDatabases() {
  if (QStandardPaths::isTestModeEnabled())
    return;
  RunIfInstalled(QStringLiteral("update-mime-database"), DataHome() + QStringLiteral("/mime"));
  RunIfInstalled(QStringLiteral("update-desktop-database"),
                 DataHome() + QStringLiteral("/applications"));
}

} // namespace desktop
