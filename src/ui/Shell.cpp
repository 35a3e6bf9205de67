#include "ui/Shell.h"

#include "store/FileSystem.h"
#include "ui/ErrorText.h"
#include "ui/MessageBox.h"
#include "ui/Text.h"

#include <QDesktopServices>

#include <QStandardPaths>
#include <QUrl>
#include <QtDebug>
#include <cerrno>

#include <utility>

namespace ui {
namespace {

ShellOpenHook &Hook() {
  static ShellOpenHook hook;
  return hook;
}

bool IsAddress(std::string_view t) {
  for (std::string_view scheme : {"http://", "https://", "ftp://", "mailto:"})
    if (t.size() > scheme.size() && t.substr(0, scheme.size()) == scheme)
      return true;
  return false;
}

// The desktop reports nothing when it cannot open a target; the user is told
// here instead of being left waiting for a window that never comes.
bool Refused(QWidget *owner, std::string_view target, const QString &reason) {
  QString text = (IsAddress(target) ? ToQString(target) : PathToQString(target)) +
                 QStringLiteral(u" を開けません");
  if (!reason.isEmpty())
    text += QStringLiteral("\r\n") + reason;
  ShowMessageBox(owner, text, QString(), MsgIcon::Error, MsgButtons::Ok);
  return false;
}

} // namespace

bool ShellOpen(QWidget *owner, std::string_view target, std::string_view parameters) {
  if (target.empty())
    return false;
  const bool address = IsAddress(target);
  if (!address && !fsys::Exists(target))
    return Refused(owner, target, ErrnoText(ENOENT));
  if (Hook())
    return Hook()(owner, std::string(target), std::string(parameters)) ||
           Refused(owner, target, QString());
  QUrl url = address ? QUrl(ToQString(target)) : QUrl::fromLocalFile(PathToQString(target));
  if (QStandardPaths::isTestModeEnabled()) {
    qWarning() << "ShellOpen in test mode without a hook; not opening" << url;
    return false;
  }
  return QDesktopServices::openUrl(url) ||
         Refused(owner, target, QStringLiteral(u"このファイルを開くプログラムが見つかりません。"));
}

ShellOpenHook SetShellOpenHook(ShellOpenHook hook) {
  return std::exchange(Hook(), std::move(hook));
}

RecordedShellOpen::RecordedShellOpen(bool result) {
  previous_ =
      SetShellOpenHook([this, result](QWidget *, const std::string &target, const std::string &) {
        targets_.push_back(target);
        return result;
      });
}

RecordedShellOpen::~RecordedShellOpen() { SetShellOpenHook(std::move(previous_)); }

} // namespace ui
