#pragma once
// File icons for the windows' file lists.
#include <QIcon>

class QFileInfo;

namespace ui {

// The icon of a file or folder: the icon theme's icon for the file's type
// (by its name, the content is not read), else QFileIconProvider's.
QIcon FileIcon(const QFileInfo &info);

// In a bare session the icon theme in force may have no file-type icons at
// all, and every file would get the same blank page; this switches to an
// installed theme that has them. A desktop theme with file icons is left
// alone. FileIcon calls it; cheap to call again.
void EnsureFileIconTheme();

} // namespace ui
