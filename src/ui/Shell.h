#pragma once
// Opening a file, folder or web address with the desktop's associated program.
// Every such request of the program goes through ShellOpen, so tests replace
// it and no test ever starts a real program.
//
// Program code:
//   ui::ShellOpen(nullptr, projectDir + name, "");
//
// Test code:
//   ui::RecordedShellOpen opened;
//   ... run the command ...
//   QCOMPARE(opened.Targets(), std::vector<std::string>{expectedPath});
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class QWidget;

namespace ui {

// `target` is a CP932 path (a local file or folder), or an address starting
// with http:, https:, ftp: or mailto:. `parameters` are kept for the callers'
// sake; the desktop has no way to pass them and every caller passes "". True
// when the desktop accepted the request; callers may ignore the result, since
// a missing target or a refusal is explained to the user here ("... を開けません").
//
// While QStandardPaths' test mode is on and no hook is installed, nothing is
// started and the result is false: a test that forgot its hook stays harmless.
bool ShellOpen(QWidget *owner, std::string_view target, std::string_view parameters);

using ShellOpenHook =
    std::function<bool(QWidget *owner, const std::string &target, const std::string &parameters)>;
// Replaces the desktop; returns the hook installed before. Empty restores it.
ShellOpenHook SetShellOpenHook(ShellOpenHook hook);

// For tests: records every request for its lifetime and answers `result`.
class RecordedShellOpen {
public:
  explicit RecordedShellOpen(bool result = true);
  ~RecordedShellOpen();
  RecordedShellOpen(const RecordedShellOpen &) = delete;
  RecordedShellOpen &operator=(const RecordedShellOpen &) = delete;

  const std::vector<std::string> &Targets() const { return targets_; }

private:
  std::vector<std::string> targets_;
  ShellOpenHook previous_;
};

} // namespace ui
