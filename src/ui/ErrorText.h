#pragma once
// The one way a failed file operation reaches the user: the path as the user
// knows it and the reason in Japanese, never OS English or temporary names.
//
//   if (fsys::Status s = fsys::WriteFile(path, bytes); !s)
//     ShowMessageBox(QString::fromUtf16(u"ファイルに書き込めません") + ui::FileErrorText(s), ...);
#include "store/FileSystem.h"

#include <QString>

namespace ui {

// The reason for an errno value, in Japanese.
QString ErrnoText(int code);
// "\r\n<path>\r\n<reason>" for a failure of the file gateway: appended to the
// first line of a message.
QString FileErrorText(const fsys::Status &failure);

} // namespace ui
