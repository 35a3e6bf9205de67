#include "ui/Icons.h"

#include <QFileIconProvider>
#include <QFileInfo>
#include <QMimeDatabase>

namespace ui {

void EnsureFileIconTheme() {
  static bool done = false;
  if (done)
    return;
  done = true;
  const QString probe = QStringLiteral("text-x-generic");
  if (QIcon::hasThemeIcon(probe))
    return;
  const QString previous = QIcon::themeName();
  for (const char *name : {"Adwaita", "breeze", "oxygen", "gnome", "Tango"}) {
    QIcon::setThemeName(QString::fromLatin1(name));
    if (QIcon::hasThemeIcon(probe))
      return;
  }
  QIcon::setThemeName(previous);
}

QIcon FileIcon(const QFileInfo &info) {
  EnsureFileIconTheme();
  static const QFileIconProvider provider;
  if (info.isFile()) {
    // Without a desktop's platform theme the provider knows only "a file";
    // the type's theme icon tells a picture from a page.
    static const QMimeDatabase mimes;
    const QMimeType type = mimes.mimeTypeForFile(info.fileName(), QMimeDatabase::MatchExtension);
    for (const QString &name : {type.iconName(), type.genericIconName()})
      if (!name.isEmpty() && QIcon::hasThemeIcon(name))
        return QIcon::fromTheme(name);
  }
  return provider.icon(info);
}

} // namespace ui
