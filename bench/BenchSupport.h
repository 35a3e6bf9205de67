#pragma once
// What every benchmark here shares: its command line, the generated project
// made in a child process (so that the generator's pages never count as the
// measured process's memory), the command-line tool beside it, and timing.
#include "ProjectGenerator.h"

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

extern "C" char **environ;

namespace bench {

// [--dir DIR] [--keep] [count...]: where the generated files go, whether
// they stay afterwards, and the item counts (`fallback` when none is given).
struct Options {
  std::string base;
  bool keep = false;
  int textScale = 1; // --text-scale N: N times the lines of each text
  std::vector<int> counts;
  int Count() const { return counts.front(); }
};

inline Options ParseOptions(int argc, char **argv, const std::string &name,
                            std::vector<int> fallback = {50000}) {
  Options o;
  o.base = (std::filesystem::temp_directory_path() / name).string();
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--dir" && i + 1 < argc)
      o.base = argv[++i];
    else if (a == "--keep")
      o.keep = true;
    else if (a == "--text-scale" && i + 1 < argc)
      o.textScale = std::max(1, std::atoi(argv[++i]));
    else
      o.counts.push_back(std::atoi(a.c_str()));
  }
  if (o.counts.empty())
    o.counts = std::move(fallback);
  return o;
}

// Runs `f` in a child process; true when it ended normally with 0.
inline bool InChild(const std::function<void()> &f) {
  std::fflush(stdout); // the child must not print our buffer again
  pid_t pid = fork();
  if (pid == 0) {
    f();
    std::fflush(stdout);
    _exit(0);
  }
  int status = 0;
  return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
         WEXITSTATUS(status) == 0;
}

// A fresh generated project of `count` items in `dir`.
inline bool GenerateProject(const std::string &dir, int count, int textScale = 1) {
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return InChild([&] { Generate(dir, count, textScale); });
}

// orvane-cli of the build directory this benchmark lies in; empty (with a
// message) when it was not built.
inline std::string CliPath() {
  namespace fs = std::filesystem;
  const std::string cli =
      (fs::canonical("/proc/self/exe").parent_path().parent_path() / "src/cli/orvane-cli").string();
  if (fs::exists(cli))
    return cli;
  std::fprintf(stderr, "no %s: build the target orvane-cli first\n", cli.c_str());
  return std::string();
}

// Runs `args` with stdout going to /dev/null and returns its exit code (-1
// when it could not run or did not exit). Spawned, not forked: the caller
// may hold a loaded project or a filled window, and a fork would copy its
// page tables into the measured time.
inline int Spawn(const std::vector<std::string> &args) {
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
  const bool started = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0;
  posix_spawn_file_actions_destroy(&actions);
  if (!started || waitpid(pid, &status, 0) != pid)
    return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline double Seconds(const std::function<void()> &f) {
  auto start = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Several runs of one measure: median with min-max.
struct Stats {
  std::vector<double> runs;
  double Median() const {
    std::vector<double> v = runs;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
  }
  double Min() const { return *std::min_element(runs.begin(), runs.end()); }
  double Max() const { return *std::max_element(runs.begin(), runs.end()); }
};

} // namespace bench
