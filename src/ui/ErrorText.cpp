#include "ui/ErrorText.h"

#include "ui/Text.h"

#include <cerrno>
#include <cstring>

namespace ui {

QString ErrnoText(int code) {
  switch (code) {
  case 0:
    return QString();
  case ENOENT:
    return QString::fromUtf16(u"ファイルまたはフォルダが見つかりません");
  case EACCES:
  case EPERM:
    return QString::fromUtf16(u"アクセスが拒否されました");
  case EROFS:
    return QString::fromUtf16(u"読み取り専用です");
  case ENOSPC:
    return QString::fromUtf16(u"ディスクの空き容量が足りません");
  case EDQUOT:
    return QString::fromUtf16(u"ディスクの使用量の制限を超えました");
  case EFBIG:
    return QString::fromUtf16(u"ファイルが大きすぎます");
  case EEXIST:
    return QString::fromUtf16(u"同じ名前のファイルがすでにあります");
  case EISDIR:
    return QString::fromUtf16(u"フォルダです");
  case ENOTDIR:
    return QString::fromUtf16(u"パスの途中がフォルダではありません");
  case ENOTEMPTY:
    return QString::fromUtf16(u"フォルダが空ではありません");
  case ENAMETOOLONG:
    return QString::fromUtf16(u"名前が長すぎます");
  case ELOOP:
    return QString::fromUtf16(u"シンボリックリンクの参照が多すぎます");
  case EXDEV:
    return QString::fromUtf16(u"別のファイルシステムへは移動できません");
  case EBUSY:
  case ETXTBSY:
    return QString::fromUtf16(u"ほかのプログラムが使用中です");
  case EMFILE:
  case ENFILE:
    return QString::fromUtf16(u"開いているファイルが多すぎます");
  case ENOMEM:
    return QString::fromUtf16(u"メモリが足りません");
  case EIO:
    return QString::fromUtf16(u"入出力エラーが発生しました");
  case EINVAL:
    return QString::fromUtf16(u"通常のファイルではありません");
  case fsys::kLinkLeavesFolder:
    return QString::fromUtf16(
        u"プロジェクトのフォルダの外を指すシンボリックリンクには書き込みません");
  case fsys::kChangedOnDisk:
    return QString::fromUtf16(u"読み込んだ後にほかのプログラムがファイルを変更しました");
  case fsys::kGoneFromDisk:
    return QString::fromUtf16(u"読み込んだ後にファイルが削除されました");
  case fsys::kNoProjectDirectory:
    return QString::fromUtf16(u"プロジェクトのフォルダが決まっていません");
  case fsys::kEmptyTree:
    return QString::fromUtf16(u"ツリーにアイテムがありません");
  case fsys::kStoppedForTest:
    return QString::fromUtf16(u"保存が途中で止められました");
  case fsys::kNotADirectoryOfItsOwn:
    return QString::fromUtf16(u"フォルダではありません(シンボリックリンクかファイルです)");
  case fsys::kOwnedByAnotherUser:
    return QString::fromUtf16(u"ほかのユーザーのフォルダです");
  case fsys::kOpenToOthers:
    return QString::fromUtf16(u"ほかのユーザーも使えるフォルダです");
  default:
    // Rare enough that the OS's own words, with the number, are better than nothing.
    return QString::fromUtf16(u"エラー %1 (%2)")
        .arg(code)
        .arg(QString::fromLocal8Bit(std::strerror(code)));
  }
}

QString FileErrorText(const fsys::Failure &failure) {
  QString text;
  if (!failure.path.empty())
    text += QStringLiteral("\r\n") + PathToQString(failure.path);
  if (failure.code)
    text += QStringLiteral("\r\n") + ErrnoText(failure.code);
  return text;
}

} // namespace ui
