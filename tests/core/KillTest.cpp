// orvane-cli's writing commands killed (SIGKILL) just before each of their
// disk-changing calls in turn: whatever the moment, every file holds its old
// or its new bytes, the project reopens in full as it was or as it became,
// and a leftover temporary file is replaced by the next run.
#include "ProjectFixtures.h"
#include "TempDir.h"
#include "export/ExportText.h"
#include "store/Project.h"
#include "support/DiskSnapshot.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <spawn.h>
#include <sys/wait.h>

extern char **environ;

namespace {

namespace fs = std::filesystem;
using namespace snapshot;

struct Exit {
  bool killed = false;
  int code = -1;
  uint64_t calls = 0; // disk-changing calls of a run to the end
};

// The driver with `args`, killed at its `killAt`-th call (0: never).
Exit RunDriver(const std::vector<std::string> &args, uint64_t killAt, const std::string &log) {
  std::vector<std::string> env;
  for (char **e = environ; *e; ++e)
    if (std::string_view(*e).rfind("ORVANE_KILL_AT=", 0) != 0 &&
        std::string_view(*e).rfind("XDG_CONFIG_HOME=", 0) != 0)
      env.emplace_back(*e);
  env.push_back("ORVANE_KILL_AT=" + std::to_string(killAt));
  // The user's own settings stay out of it; each run starts without any.
  std::error_code ec;
  fs::remove_all(log + ".config", ec);
  env.push_back("XDG_CONFIG_HOME=" + log + ".config");
  std::vector<char *> envp, argv;
  for (auto &e : env)
    envp.push_back(e.data());
  envp.push_back(nullptr);
  std::string exe = ORVANE_KILL_DRIVER;
  argv.push_back(exe.data());
  std::vector<std::string> copy = args;
  for (auto &a : copy)
    argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid = -1;
  const int err = posix_spawn(&pid, exe.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  Exit x;
  if (err != 0)
    return x;
  int status = 0;
  waitpid(pid, &status, 0);
  x.killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
  x.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::ifstream in(log);
  std::string line, last;
  while (std::getline(in, line))
    last = line;
  if (last.rfind("calls: ", 0) == 0)
    x.calls = std::strtoull(last.c_str() + 7, nullptr, 10);
  return x;
}

struct Command {
  const char *name;
  std::function<std::vector<std::string>(const std::string &box)> args;
  std::vector<std::string> projects; // below the box, reopened after each kill
};

class Kill : public ::testing::TestWithParam<Command> {
protected:
  void SetUp() override {
    fixture::WriteSample(sample_);
    // Dated items: a page shows the dates, and an item without them counts
    // as changed now.
    const std::string dated = "Update:2026/12/07 12:00:00\r\nFirstEdition:2026/12/01 09:30:00\r\n";
    for (const char *f : {"r.txt", "a.txt", "a1.txt", "a2.txt", "b.txt"}) {
      std::string bytes = sample_.Read(f);
      sample_.Write(f, bytes.insert(bytes.find("\r\n") + 2, dated));
    }
    // A tree saved before: the next save makes the backup anew.
    sample_.Write("MainTree.dat.ord", sample_.Read("MainTree.dat"));
    TProject p;
    ASSERT_TRUE(p.Load(sample_.Dir()).RootLoaded);
    TExportText engine;
    ASSERT_TRUE(Ok(RunExport(engine, p, nullptr, TExportMode::Exchange, temp_.Path("x.txt"))));
    box_ = temp_.Dir() + "box/";
  }

  void Fresh() {
    std::error_code ec;
    fs::remove_all(box_, ec);
    fs::create_directories(box_);
    fs::copy(sample_.Path(""), box_ + "proj", fs::copy_options::recursive);
    fs::copy_file(temp_.Path("x.txt"), box_ + "x.txt");
    // An earlier export, replaced by the next one.
    std::ofstream(box_ + "out.txt", std::ios::binary) << "an earlier export\r\n";
  }

  TempDir temp_, sample_;
  std::string box_;
};

TEST_P(Kill, AtEveryCallTheFilesAreOldOrNew) {
  const Command &c = GetParam();
  const std::string log = temp_.Path("log");
  Fresh();
  const Snapshot before = Take(box_);
  std::vector<Reopened> oldTrees, newTrees;
  for (const auto &p : c.projects)
    oldTrees.push_back(Reopen(box_ + p));
  const Exit clean = RunDriver(c.args(box_), 0, log);
  ASSERT_EQ(clean.code, 0);
  ASSERT_GT(clean.calls, 0u);
  const Snapshot after = Take(box_);
  for (const auto &p : c.projects)
    newTrees.push_back(Reopen(box_ + p));

  for (uint64_t n = 1; n <= clean.calls; ++n) {
    SCOPED_TRACE("killed before call " + std::to_string(n) + " of " + std::to_string(clean.calls));
    Fresh();
    const Exit x = RunDriver(c.args(box_), n, log);
    ASSERT_TRUE(x.killed) << "exit " << x.code;
    // Never a moment without the backup copy either: only leftovers the next
    // write replaces may be there besides the old and new files.
    for (const auto &p : Mixed(before, after, Take(box_), [](const std::string &path, bool is) {
           return is && IsLeftover(path);
         }))
      ADD_FAILURE() << p;
    for (size_t i = 0; i < c.projects.size(); ++i) {
      const Reopened r = Reopen(box_ + c.projects[i]);
      EXPECT_TRUE(r == oldTrees[i] || r == newTrees[i])
          << c.projects[i] << " reopens as " << Text(r);
    }
    // The next run completes the change and leaves nothing behind.
    if (std::string(c.name) != "Import") {
      ASSERT_EQ(RunDriver(c.args(box_), 0, log).code, 0);
      const Snapshot again = Take(box_);
      for (const auto &[path, bytes] : again)
        EXPECT_FALSE(IsLeftover(path)) << path << " left behind";
      EXPECT_EQ(again.size(), after.size());
    }
    if (HasFailure())
      return;
  }
  RecordProperty("kills", static_cast<int>(clean.calls));
}

INSTANTIATE_TEST_SUITE_P(
    Cli, Kill,
    ::testing::Values(
        Command{"Resave",
                [](const std::string &box) {
                  return std::vector<std::string>{"resave", box + "proj/"};
                },
                {"proj/"}},
        Command{"Import",
                [](const std::string &box) {
                  return std::vector<std::string>{"import", box + "x.txt", box + "imported"};
                },
                {"imported/"}},
        Command{
            "ExportText",
            [](const std::string &box) {
              return std::vector<std::string>{"export", box + "proj/", "--text", box + "out.txt"};
            },
            {"proj/"}},
        Command{
            "ExportFrames",
            [](const std::string &box) {
              return std::vector<std::string>{"export", box + "proj/", "--frames", box + "frames"};
            },
            {"proj/"}}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
