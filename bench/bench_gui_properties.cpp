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

namespace fs = std::filesystem;

namespace {

using bench::Seconds;
using bench::Spawn;
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
  Spawn(grepArgs); // warm the caches
  size_t rows = 0;
  for (int round = 0; round < 5; ++round) {
    grep.runs.push_back(Seconds([&] { Spawn(grepArgs); }));
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
