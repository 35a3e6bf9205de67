// The unused-file cleanup of a generated project (default 50,000 items, plus
// 1,000 stray files made anew before each run), next to `ls -l` of the same
// directory in the same run, warm caches, alternating, medians with min-max.
// The project is loaded once, as the open editor holds it; the cleanup
// itself (keep list, directory listing, deletions) is what is timed.
// Usage: bench_cleanup [--dir DIR] [--keep] [count]
#include "BenchSupport.h"
#include "store/Cleanup.h"
#include "store/Project.h"

#include <fstream>

namespace fs = std::filesystem;

int main(int argc, char **argv) {
  const bench::Options options = bench::ParseOptions(argc, argv, "orvane-bench-cleanup");
  const std::string project = options.base + "/project/";
  if (!bench::GenerateProject(project, options.Count()))
    return 1;
  TProject p;
  if (!p.Load(project).RootLoaded)
    return 1;
  constexpr int kStrays = 1000;
  auto makeStrays = [&] {
    for (int i = 0; i < kStrays; ++i)
      std::ofstream(project + "stray" + std::to_string(i) + ".txt") << "x";
  };
  const std::string ls = "ls -l " + project + " >/dev/null";
  bench::Stats lsRuns, cleanup;
  int deleted = 0;
  makeStrays();
  if (std::system(ls.c_str()) != 0) // warm the caches
    return 1;
  for (int round = 0; round < 5; ++round) {
    makeStrays();
    lsRuns.runs.push_back(bench::Seconds([&] { (void)!std::system(ls.c_str()); }));
    cleanup.runs.push_back(bench::Seconds([&] { deleted = DeleteUnusedFiles(p).deleted; }));
  }
  std::printf("%d items, %d stray files deleted per run\n", options.Count(), deleted);
  std::printf("%-28s median %7.3f s (%.3f-%.3f)\n", "ls -l (reference)", lsRuns.Median(),
              lsRuns.Min(), lsRuns.Max());
  std::printf("%-28s median %7.3f s (%.3f-%.3f)   %.2fx ls -l (goal 3x)%s\n", "cleanup",
              cleanup.Median(), cleanup.Min(), cleanup.Max(), cleanup.Median() / lsRuns.Median(),
              cleanup.Median() > 3 * lsRuns.Median() ? "  OVER GOAL" : "");
  if (!options.keep)
    fs::remove_all(options.base);
  return deleted == kStrays ? 0 : 1;
}
