// Filling the property window (offscreen, without its modal display) for a
// generated project (default 50,000 items), next to `LC_ALL=C grep -rlF` of a
// rare word over the same directory, measured in the same run with warm
// caches, alternating, as medians with min-max. The core's part (listing the
// directory and reading every item header) is shown on its own.
// Usage: bench_gui_properties [--dir DIR] [--keep] [count]
#include "BenchSupport.h"
#include "catalogue/ProjectPropertyForm.h"
#include "store/ProjectProperties.h"

#include <QApplication>
#include <QTreeWidget>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace fs = std::filesystem;

namespace {

// Spawned, not forked: the parent holds a filled window.
int Exec(const std::vector<std::string> &args) {
  std::fflush(stdout);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  std::vector<char *> argv;
  for (const auto &a : args)
    argv.push_back(const_cast<char *>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  int status = 0;
  if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
    return -1;
  waitpid(pid, &status, 0);
  posix_spawn_file_actions_destroy(&actions);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

using bench::Seconds;
using bench::Stats;

void Show(const char *what, const Stats &s, const Stats *ref) {
  std::printf("%-34s median %7.3f s (%.3f-%.3f)", what, s.Median(), s.Min(), s.Max());
  if (ref)
    std::printf("   %.2fx grep (goal 3x)%s", s.Median() / ref->Median(),
                s.Median() > 3 * ref->Median() ? "  OVER GOAL" : "");
  std::printf("\n");
}

} // namespace

int main(int argc, char **argv) {
  const bench::Options options = bench::ParseOptions(argc, argv, "orvane-bench-properties");
  const std::string &base = options.base;
  const int count = options.Count();
  fs::remove_all(base);
  const std::string project = base + "/project/";
  // Generated in a process of its own, so this one holds only the window.
  if (!bench::GenerateProject(project, count))
    return 1;
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  TProjectPropertyForm form;

  const std::vector<std::string> grepArgs{"sh", "-c", "LC_ALL=C grep -rlF zzrarewordzz " + project};
  Stats grep, core, fill;
  Exec(grepArgs); // warm the caches
  size_t rows = 0;
  for (int round = 0; round < 5; ++round) {
    grep.runs.push_back(Seconds([&] { Exec(grepArgs); }));
    core.runs.push_back(Seconds([&] { rows = ReadProjectProperties(project).Files.size(); }));
    fill.runs.push_back(Seconds([&] {
      if (!form.Fill(project))
        std::exit(1);
    }));
  }
  std::printf("%d items, %zu files listed, %d rows in the window\n", count, rows,
              form.FileListView()->topLevelItemCount());
  Show("grep -rlF (reference)", grep, nullptr);
  Show("headers and sizes (core)", core, &grep);
  Show("fill the property window", fill, &grep);
  if (!options.keep)
    fs::remove_all(base);
  return 0;
}
