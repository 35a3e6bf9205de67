#pragma once
// Shortcut files (".ida") open with this program: a shared-mime-info type for
// "*.ida" and a desktop entry whose Exec passes the file as the first
// argument, both under $XDG_DATA_HOME. Written anew each time a shortcut is
// made, as a user may have moved the program.
#include <QByteArray>
#include <QString>

namespace desktop {

inline constexpr char kShortcutMimeType[] = "application/x-orvane-project";

// $XDG_DATA_HOME, or ~/.local/share when it is unset or relative.
QString DataHome();

// <data home>/mime/packages/orvane-project.xml and
// <data home>/applications/orvane.desktop.
QString MimeFilePath();
QString DesktopFilePath();

QByteArray MimeTypeXml();
QByteArray DesktopEntry(const QString &programPath);
// `path` as one argument of an Exec line, quoted and escaped so that no
// character of it is taken for a field code or a shell character.
QString ExecArgument(const QString &path);

// Each writes its file (crash-safe, directories made as needed); false when
// it could not be written.
bool WriteMimeType();
bool WriteDesktopEntry(const QString &programPath);

// Asks the desktop's tools, when installed, to read the new files. They run
// on their own; nothing waits for them. Nothing runs in QStandardPaths' test
// mode.
void RefreshDatabases();

} // namespace desktop
