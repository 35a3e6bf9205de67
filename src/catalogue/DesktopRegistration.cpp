#include "catalogue/DesktopRegistration.h"

#include "store/FileSystem.h"
#include "store/LibUnit.h"
#include "ui/Text.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>

#include <string>

namespace desktop {

namespace {

bool WriteNative(const QString &nativePath, const QByteArray &content) {
  std::string path;
  if (!ui::PathFromQString(nativePath, path))
    return false;
  return fsys::CreateDirectories(ExtractFilePath(path)) &&
         fsys::WriteFile(path, std::string_view(content.constData(), content.size()));
}

void RunIfInstalled(const QString &tool, const QString &dir) {
  const QString program = QStandardPaths::findExecutable(tool);
  if (!program.isEmpty())
    QProcess::startDetached(program, {dir});
}

} // namespace

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

bool WriteMimeType() { return WriteNative(MimeFilePath(), MimeTypeXml()); }

bool WriteDesktopEntry(const QString &programPath) {
  return WriteNative(DesktopFilePath(), DesktopEntry(programPath));
}

void RefreshDatabases() {
  if (QStandardPaths::isTestModeEnabled())
    return;
  RunIfInstalled(QStringLiteral("update-mime-database"), DataHome() + QStringLiteral("/mime"));
  RunIfInstalled(QStringLiteral("update-desktop-database"),
                 DataHome() + QStringLiteral("/applications"));
}

} // namespace desktop
