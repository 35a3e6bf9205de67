// Export and import from the command line on a generated project (default
// 50,000 items), next to `LC_ALL=C grep -rlF` of a rare word over the same
// directory and `cat` of the exchange file, measured in the same run with
// warm caches. Each command runs as a process of its own, so that its peak
// memory (maximum resident set) is its alone.
// Usage: bench_export [--dir DIR] [--keep] [count]
// orvane-cli is taken from the build directory this benchmark lies in.
#include "BenchSupport.h"
#include "store/FileSystem.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Run {
  double seconds = 0;
  long peakKB = 0;
  int code = 0;
};

// Runs `args` with stdout going to /dev/null.
Run Exec(const std::vector<std::string> &args) {
  std::fflush(stdout); // the child must not print our buffer again
  auto start = std::chrono::steady_clock::now();
  pid_t pid = fork();
  if (pid == 0) {
    FILE *null = std::freopen("/dev/null", "w", stdout);
    (void)null;
    std::vector<char *> argv;
    for (const auto &a : args)
      argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  struct rusage ru {};
  wait4(pid, &status, 0, &ru);
  Run r;
  r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  r.peakKB = ru.ru_maxrss;
  r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

// The best of three (the peak of the last).
Run Best(const std::vector<std::string> &args, const std::function<void()> &before = {}) {
  Run best;
  for (int i = 0; i < 3; ++i) {
    if (before)
      before();
    Run r = Exec(args);
    if (i == 0 || r.seconds < best.seconds)
      best = r;
    best.peakKB = r.peakKB;
    best.code = r.code;
  }
  return best;
}

uint64_t Bytes(const std::string &dir) {
  uint64_t n = 0;
  for (const auto &e : fs::recursive_directory_iterator(dir))
    if (e.is_regular_file())
      n += e.file_size();
  return n;
}

} // namespace

int main(int argc, char **argv) {
  const bench::Options options = bench::ParseOptions(argc, argv, "orvane-bench-export");
  const std::string &base = options.base;
  const bool keep = options.keep;
  const int count = options.Count();
  const std::string cli = bench::CliPath();
  if (cli.empty())
    return 1;
  fs::remove_all(base);
  const std::string project = base + "/project/";
  if (!bench::GenerateProject(project, count))
    return 1;
  fs::create_directories(base + "/config");
  setenv("XDG_CONFIG_HOME", (base + "/config").c_str(), 1);
  const uint64_t projectBytes = Bytes(project);
  std::printf("%d items, %.1f MB in the project directory\n", count, projectBytes / 1048576.0);

  Run grep = Best({"sh", "-c", "LC_ALL=C grep -rlF zzrarewordzz " + project + " >/dev/null"});
  std::printf("%-28s %8.3f s %8ld KB\n", "grep -rlF (reference)", grep.seconds, grep.peakKB);
  const double limitKB = projectBytes / 1024.0 + 60 * 1024;
  auto show = [&](const char *what, const Run &r, double goal, const Run &ref) {
    std::printf("%-28s %8.3f s %8ld KB   %.2fx %s (goal %.1fx)%s%s\n", what, r.seconds, r.peakKB,
                r.seconds / ref.seconds, ref.seconds == grep.seconds ? "grep" : "cat", goal,
                r.peakKB > limitKB ? "  OVER MEMORY GOAL" : "", r.code ? "  FAILED" : "");
  };
  show("tree", Best({cli, "tree", project}), 1.2, grep);
  show("export --text", Best({cli, "export", project, "--text", base + "/out.txt"}), 1.5, grep);
  show("export --html", Best({cli, "export", project, "--html", base + "/out.html"}), 3, grep);
  show("export --exchange", Best({cli, "export", project, "--exchange", base + "/out.ex"}), 3,
       grep);
  // Making 50,000 files is bound by the file system, not by reading: the
  // frame set and the import are also shown next to a copy of the project.
  Run cp = Best({"cp", "-r", project, base + "/copied"}, [&] { fs::remove_all(base + "/copied"); });
  fs::remove_all(base + "/copied");
  std::printf("%-28s %8.3f s %8ld KB   (%d files made)\n", "cp -r project (reference)", cp.seconds,
              cp.peakKB, count + 1);
  Run frames = Best({cli, "export", project, "--frames", base + "/frames"},
                    [&] { fs::remove_all(base + "/frames"); });
  show("export --frames", frames, 6, grep);

  Run cat = Best({"sh", "-c", "cat " + base + "/out.ex >/dev/null"});
  std::printf("%-28s %8.3f s %8ld KB   (%.1f MB)\n", "cat exchange (reference)", cat.seconds,
              cat.peakKB, fs::file_size(base + "/out.ex") / 1048576.0);
  Run import = Best({cli, "import", base + "/out.ex", base + "/imported"},
                    [&] { fs::remove_all(base + "/imported"); });
  show("import", import, 3, cat);
  std::printf("frame set and import next to cp -r: %.2fx (goal at most 1.2x) and %.2fx\n",
              frames.seconds / cp.seconds, import.seconds / cp.seconds);
  std::printf("memory goal: project bytes + 60 MB = %.0f KB (import: 60 MB + the largest item)\n",
              limitKB);
  if (!keep)
    fs::remove_all(base);
  return 0;
}
