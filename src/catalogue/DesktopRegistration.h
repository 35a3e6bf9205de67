#pragma once
// Shortcut files (".ida") open with this program: a shared-mime-info type for
// "*.ida" and a desktop entry whose Exec passes the file as the first
// argument, both under $XDG_DATA_HOME. Written anew each time a shortcut is
// made, as a user may have moved the program. An installed program brings
// both under the same IDs in <prefix>/share; when the system reads those,
// nothing is written per user.
#include "store/FileSystem.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace desktop {

inline constexpr char kShortcutMimeType[] = "application/x-orvane-project";

// $XDG_DATA_HOME, or ~/.local/share when it is unset or relative.
QString DataHome();

// <data home>/mime/packages/orvane-project.xml and
// <data home>/applications/orvane.desktop.
QString MimeFilePath();
QString DesktopFilePath();

// The names the installed registration has in <prefix>/share.
inline constexpr char kInstalledDesktopEntry[] = "applications/orvane.desktop";
inline constexpr char kInstalledMimePackage[] = "mime/packages/orvane.xml";

// The directories the system reads shared data from: $XDG_DATA_DIRS, or
// /usr/local/share and /usr/share when it is unset or empty.
QStringList SystemDataDirs();

// True when `programPath` is <prefix>/bin/<name> of an install whose
// <prefix>/share holds the desktop entry and the MIME type, and that
// directory is one the system reads.
bool SystemKnowsType(const QString &programPath);

QByteArray MimeTypeXml();
QByteArray DesktopEntry(const QString &programPath);
// `path` as one argument of an Exec line, quoted and escaped so that no
// character of it is taken for a field code or a shell character.
QString ExecArgument(const QString &path);

// Each writes its file (crash-safe, directories made as needed); what failed
// when it could not be written (EILSEQ, without a path, for a data home that
// CP932 cannot name).
fsys::Status WriteMimeType();
fsys::Status WriteDesktopEntry(const QString &programPath);

enum class Registration { Written, Failed, LeftToSystem };

// What making a shortcut does for the desktop: installed and known to the
// system, it removes an earlier per-user registration of this program (which
// would take precedence over the installed one with the same IDs) and writes
// nothing; otherwise it writes both files. Failed: one of them could not be
// written (the other still was). Refreshes the databases either way.
Registration RegisterShortcutType(const QString &programPath);

// Asks the desktop's tools, when installed, to read the new files. They run
// on their own; nothing waits for them. Nothing runs in QStandardPaths' test
// mode.
void RefreshDatabases();

} // namespace desktop
