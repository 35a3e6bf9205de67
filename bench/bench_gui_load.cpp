// Opening a project, next to the machine's floor: `LC_ALL=C grep -rlF` of a
// word found nowhere, which reads every byte of the project once. Warm
// cache, projects of real-sized Japanese texts (about 1.9 KB an item):
//   core load     TProject::Load in this process (into an empty project)
//   orvane-cli    `orvane-cli tree`: a process of its own that loads the
//                 project and prints a line per item
//   window shown  an editor window opening the project until its first
//                 paint is done
//   peak memory   of `orvane-cli tree` (a load, then a line per item)
// Medians of --runs runs (default 5) with min-max.
// Usage: bench_gui_load [--dir DIR] [--keep] [--runs N] [count...]
//        (default 1000 10000 50000; offscreen: QT_QPA_PLATFORM=offscreen)
#include "BenchSupport.h"
#include "editor/VaveMain.h"
#include "store/Project.h"
#include "ui/MessageBox.h"

#include <QApplication>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

uint64_t ProjectBytes(const std::string &dir) {
  uint64_t bytes = 0;
  for (const auto &e : std::filesystem::directory_iterator(dir))
    bytes += e.file_size();
  return bytes;
}

void Print(const char *what, const bench::Stats &s, const bench::Stats &base) {
  std::printf("  %-15s median %.3f s (%.3f-%.3f) = %.2fx grep\n", what, s.Median(), s.Min(),
              s.Max(), s.Median() / base.Median());
}

} // namespace

int main(int argc, char **argv) {
  int runs = 5;
  std::vector<char *> rest{argv[0]};
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--runs" && i + 1 < argc)
      runs = std::atoi(argv[++i]);
    else
      rest.push_back(argv[i]);
  }
  const bench::Options o = bench::ParseOptions(static_cast<int>(rest.size()), rest.data(),
                                               "orvane-bench-load", {1000, 10000, 50000});
  QApplication app(argc, argv);
  ui::ScriptedMessageBoxes boxes; // nothing may ask

  for (int count : o.counts) {
    const std::string dir = o.base + "/p" + std::to_string(count) + "/";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    if (!bench::InChild([&] { bench::Generate(dir, count, 3); }))
      return 1;
    const double mb = static_cast<double>(ProjectBytes(dir)) / (1 << 20);

    const std::string cli = bench::CliPath();
    if (cli.empty())
      return 1;
    bench::Stats grep, core, window, tool;
    for (int r = 0; r < runs + 1; ++r) { // the first run warms the cache
      bench::Stats g, c, w, t;
      g.runs.push_back(bench::Seconds([&] {
        bench::Spawn({"env", "LC_ALL=C", "grep", "-rlF", "no-such-word-anywhere", dir});
      }));
      t.runs.push_back(bench::Seconds([&] { bench::Spawn({cli, "tree", dir}); }));
      {
        TProject project; // freed outside the timing: a load is what is timed
        c.runs.push_back(bench::Seconds([&] { project.Load(dir); }));
        if (static_cast<int>(project.Tree().NodeCount()) != count)
          return 1;
      }
      auto *editor = new TVaveMainForm;
      w.runs.push_back(bench::Seconds([&] {
        if (!editor->OpenProjectDir(dir))
          std::exit(1);
        QApplication::processEvents();
      }));
      delete editor;
      if (r == 0)
        continue;
      grep.runs.push_back(g.runs[0]);
      core.runs.push_back(c.runs[0]);
      window.runs.push_back(w.runs[0]);
      tool.runs.push_back(t.runs[0]);
    }
    // In a process of its own: a fork of this one would count its pages too.
    long peakKB = 0;
    const std::string report = o.base + "/peak.txt";
    if (cli.empty() ||
        bench::Spawn({"/usr/bin/time", "-f", "%M", "-o", report, cli, "tree", dir}) != 0)
      return 1;
    std::ifstream(report) >> peakKB;
    std::printf("%d items, %.1f MB, warm cache, %d runs:\n", count, mb, runs);
    Print("grep -rlF", grep, grep);
    Print("core load", core, grep);
    Print("orvane-cli tree", tool, grep);
    Print("window shown", window, grep);
    const double peakMB = static_cast<double>(peakKB) / 1024;
    std::printf("  peak memory of a load %.1f MB; goal <= 1.5 x %.1f + 60 = %.1f MB\n", peakMB, mb,
                1.5 * mb + 60);
    if (!o.keep)
      std::filesystem::remove_all(dir);
  }
  return boxes.Asked().empty() ? 0 : 1;
}
