// The open of a project as the user sees it: from starting `orvane DIR` (as
// a click on a shortcut does) until its editor window has painted the tree,
// timed from outside the process, next to `LC_ALL=C grep -rlF` of a word
// found once over the same directory in the same run with warm caches. The
// program says when the tree is painted (ORVANE_TELL_TREE_PAINTED) and is
// then stopped. It runs on the display of the environment (DISPLAY, or
// QT_QPA_PLATFORM=offscreen), with settings and a runtime folder of its own.
// Usage: bench_start [--dir DIR] [--keep] [--runs N] [--text-scale N] [count=50000]
#include "BenchSupport.h"
#include "store/RegIniFile.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The peak memory (VmHWM) of process `pid`, in bytes; 0 when unknown.
double PeakBytes(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string row; std::getline(status, row);)
    if (row.rfind("VmHWM:", 0) == 0)
      return std::atof(row.c_str() + 6) * 1024;
  return 0;
}

// Seconds from the start of `args` until it writes `line` on stderr; -1 when
// it ends first. It is stopped then, its peak memory read into `peak`.
double UntilLine(const std::vector<std::string> &args, const std::string &line, double &peak) {
  int pipeFds[2];
  if (::pipe(pipeFds) != 0)
    return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 2);
  posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
  std::vector<char *> argv;
  for (const auto &a : args)
    argv.push_back(const_cast<char *>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  const auto start = std::chrono::steady_clock::now();
  const bool started = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0;
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipeFds[1]);
  double seconds = -1;
  std::string seen;
  char buffer[4096];
  for (ssize_t n; started && (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) {
    seen.append(buffer, static_cast<size_t>(n));
    if (seen.find(line) != std::string::npos) {
      seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      break;
    }
  }
  ::close(pipeFds[0]);
  if (started) {
    peak = PeakBytes(pid);
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
  }
  if (seconds < 0)
    std::fprintf(stderr, "no \"%s\" from %s:\n%s\n", line.c_str(), args[0].c_str(), seen.c_str());
  return seconds;
}

} // namespace

int main(int argc, char **argv) {
  int runs = 7;
  std::vector<char *> rest{argv[0]};
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc)
      runs = std::atoi(argv[++i]);
    else
      rest.push_back(argv[i]);
  }
  const bench::Options o =
      bench::ParseOptions(static_cast<int>(rest.size()), rest.data(), "orvane-bench-start");
  const std::string program =
      (fs::canonical("/proc/self/exe").parent_path().parent_path() / "src/app/orvane").string();
  if (!fs::exists(program)) {
    std::fprintf(stderr, "no %s: build the target orvane first\n", program.c_str());
    return 1;
  }
  const std::string root = o.base + "/root/", project = root + "project/";
  if (!o.keep || !fs::exists(project + "MainTree.dat"))
    if (!bench::GenerateProject(project, o.Count(), o.textScale))
      return 1;
  const std::string config = o.base + "/config";
  fs::create_directories(config);
  setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  {
    TRegIniFile reg;
    reg.WriteString("Main", "RootDir", root);
    reg.WriteString("Main", "Autor", "bench");
    if (!reg.UpdateFile())
      return 1;
  }
  setenv("ORVANE_TELL_TREE_PAINTED", "1", 1);
  bench::Stats open, grep, memory;
  for (int r = 0; r <= runs; ++r) {
    // A runtime folder of each run's own: no instance left from the last one.
    const std::string runtime = o.base + "/run" + std::to_string(r);
    fs::create_directories(runtime);
    ::chmod(runtime.c_str(), 0700);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    const double g = bench::Seconds([&] {
      bench::Spawn({"env", "LC_ALL=C", "grep", "-rlF", "zzrarewordzz", project});
    });
    double peak = 0;
    const double s = UntilLine({program, project}, "orvane: tree painted", peak);
    fs::remove_all(runtime);
    if (s < 0)
      return 1;
    if (r == 0)
      continue; // warms the cache
    grep.runs.push_back(g);
    open.runs.push_back(s);
    memory.runs.push_back(peak / 1048576);
  }
  if (open.runs.empty())
    return 0; // --runs 0: the project made and the cache warmed
  std::printf("%d items: orvane DIR until the tree is painted median %.3f s (%.3f-%.3f); "
              "grep -rlF %.3f s (%.3f-%.3f); %.2fx grep (goal at most 1.2x)\n",
              o.Count(), open.Median(), open.Min(), open.Max(), grep.Median(), grep.Min(),
              grep.Max(), open.Median() / grep.Median());
  // The item bytes: what the program must hold (texts and tree file).
  double items = 0;
  for (const auto &entry : fs::directory_iterator(project))
    if (entry.is_regular_file())
      items += static_cast<double>(entry.file_size());
  items /= 1048576;
  std::printf("peak memory at the painted tree median %.0f MB (%.0f-%.0f); item files %.0f MB; "
              "goal at most %.0f MB (1.5x the item bytes + 60 MB)\n",
              memory.Median(), memory.Min(), memory.Max(), items, 1.5 * items + 60);
  if (!o.keep)
    fs::remove_all(o.base);
  return 0;
}
