// Generates projects of realistic shape (about 8 children per node, depth up
// to 6, item texts of a few hundred bytes to a few KB) and measures loading
// (next to a plain read of the same files), saving MainTree.dat and the peak
// memory of a loaded project. Each size is generated and measured in a
// process of its own, so that the peak belongs to that project alone.
// Usage: bench_project [--dir DIR] [--keep] [count...]   (default 1000 10000 50000)
// --keep leaves the generated projects in DIR for a closer look.
#include "BenchSupport.h"
#include "store/FileSystem.h"
#include "store/IniFile.h"
#include "store/ProjectTree.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <malloc.h>
#include <random>
#include <string>
#include <sys/wait.h>
#include <type_traits>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point a) {
  return std::chrono::duration<double>(Clock::now() - a).count();
}

long StatusKB(const char *field) {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind(field, 0) == 0)
      return std::atol(line.c_str() + std::string(field).size());
  return 0;
}

// Drops the files from the page cache (clean pages only, no privileges
// needed), so that the next read comes from the disk.
void Evict(const std::string &dir, const std::vector<fsys::Entry> &entries) {
  for (const auto &e : entries) {
    int fd = ::open((dir + e.name).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
      ::fdatasync(fd);
      ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
      ::close(fd);
    }
  }
}

// The best of `runs` timings of `f` (which may time itself and return it).
template <class F> double Best(int runs, F f) {
  double best = 1e9;
  for (int i = 0; i < runs; ++i) {
    auto t0 = Clock::now();
    double own = 0;
    if constexpr (std::is_same_v<decltype(f()), double>)
      own = f();
    else
      f();
    best = std::min(best, own > 0 ? own : Seconds(t0));
  }
  return best;
}

void Measure(const std::string &dir, int count) {
  std::vector<fsys::Entry> entries;
  (void)fsys::ListDirectory(dir, entries); // generated just before: no list, no numbers
  uint64_t bytes = 0;
  for (const auto &e : entries)
    bytes += e.size;

  // The floor: read every file of the project once, nothing else.
  auto plainRead = [&] {
    std::string b;
    for (const auto &e : entries)
      (void)fsys::ReadFile(dir + e.name, b); // timed: the listed files
  };
  // From the disk first (as after a reboot), then from the page cache.
  Evict(dir, entries);
  double coldPlain = Best(1, plainRead);
  Evict(dir, entries);
  long rssBefore = StatusKB("VmRSS:");
  TProjectTree tree;
  double coldLoad = Best(1, [&] { tree.LoadProject(dir); });
  long peakKB = StatusKB("VmHWM:");
  tree.ClearTree();
  double plain = Best(3, plainRead);
  double load = Best(3, [&] {
    tree.ClearTree(); // releasing the previous load is not part of loading
    auto t0 = Clock::now();
    tree.LoadProject(dir);
    return Seconds(t0);
  });
  if (static_cast<int>(tree.NodeCount()) != count) {
    std::fprintf(stderr, "loaded %zu of %d items\n", tree.NodeCount(), count);
    std::exit(1);
  }

  double build = Best(5, [&] {
    TIniFile ini;
    tree.BuildTreeFile(ini);
    ini.Serialize();
  });
  std::vector<double> saves;
  bool saveFailed = false;
  for (int i = 0; i < 5; ++i) {
    auto t0 = Clock::now();
    saveFailed = !tree.SaveProject();
    saves.push_back(Seconds(t0));
  }
  std::sort(saves.begin(), saves.end());
  fsys::Entry treeFile;
  (void)fsys::Stat(dir + "MainTree.dat", treeFile); // only a size line; 0 when it fails

  double mb = static_cast<double>(bytes) / (1 << 20);
  double peakMB = static_cast<double>(peakKB) / 1024;
  std::printf("%6d items, %7.1f MB in %zu files (MainTree.dat %.1f MB)\n", count, mb,
              entries.size(), static_cast<double>(treeFile.size) / (1 << 20));
  std::printf("  from disk:  plain read %.3f s | load %.3f s = %.2fx plain\n", coldPlain, coldLoad,
              coldLoad / coldPlain);
  std::printf("  from cache: plain read %.3f s | load %.3f s = %.2fx plain (goal <= 2x)\n", plain,
              load, load / plain);
  std::printf("  save MainTree.dat: median %.3f s, best %.3f s, of it building the text "
              "%.3f s (goal < 0.2 s)%s\n",
              saves[saves.size() / 2], saves.front(), build, saveFailed ? "  SAVE FAILED" : "");
  std::printf("  peak memory %.1f MB (before loading %.1f MB); goal <= 2 x %.1f + 50 = %.1f MB\n",
              peakMB, static_cast<double>(rssBefore) / 1024, mb, 2 * mb + 50);
}

using bench::InChild;

} // namespace

int main(int argc, char **argv) {
  const bench::Options options =
      bench::ParseOptions(argc, argv, "orvane-bench-project", {1000, 10000, 50000});
  const std::string &base = options.base;
  const bool keep = options.keep;
  const std::vector<int> &counts = options.counts;
  for (int count : counts) {
    std::string dir = base + "/p" + std::to_string(count) + "/";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    auto t0 = Clock::now();
    if (!InChild([&] { bench::Generate(dir, count); }))
      return 1;
    std::printf("(generated %d items in %.1f s)\n", count, Seconds(t0));
    if (!InChild([&] { Measure(dir, count); }))
      return 1;
    if (!keep)
      std::filesystem::remove_all(dir);
  }
  if (!keep)
    std::filesystem::remove_all(base);
  return 0;
}
