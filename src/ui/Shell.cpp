#include "ui/Shell.h"

#include "ui/Text.h"

#include <QDesktopServices>
#include <QStandardPaths>
#include <QUrl>
#include <QtDebug>

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

} // namespace

bool ShellOpen(QWidget *owner, std::string_view target, std::string_view parameters) {
  if (Hook())
    return Hook()(owner, std::string(target), std::string(parameters));
  if (target.empty())
    return false;
  QUrl url =
      IsAddress(target) ? QUrl(ToQString(target)) : QUrl::fromLocalFile(PathToQString(target));
  if (QStandardPaths::isTestModeEnabled()) {
    qWarning() << "ShellOpen in test mode without a hook; not opening" << url;
    return false;
  }
  return QDesktopServices::openUrl(url);
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
