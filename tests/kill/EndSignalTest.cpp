// The program ended by the desktop: its real executable code (catalogue,
// editor, signal handlers) run as a child on the offscreen platform, a user's
// edits made, then SIGTERM, SIGHUP, SIGINT or, three seconds after the last
// keystroke, SIGKILL. Afterwards the project (with its recovery copy, when
// there is one) holds the typed text and both new items, nothing else in it
// changed, and the settings hold the author set (not after SIGKILL).
#include "../core/ProjectFixtures.h"
#include "../core/TempDir.h"
#include "store/Recovery.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char **environ;

namespace {

struct Row {
  const char *name;
  int signal;
  bool autoSave;
};

class EndSignal : public ::testing::TestWithParam<Row> {};

// The driver started with `env` added; its pid once it printed "ready".
pid_t StartDriver(const std::vector<std::string> &extra, const char *mode, int &out) {
  std::vector<std::string> env;
  for (char **e = environ; *e; ++e)
    env.emplace_back(*e);
  env.insert(env.end(), extra.begin(), extra.end());
  std::vector<char *> envp,
      argv{const_cast<char *>(ORVANE_END_DRIVER), const_cast<char *>(mode), nullptr};
  for (auto &e : env)
    envp.push_back(e.data());
  envp.push_back(nullptr);
  int fds[2];
  if (::pipe(fds) != 0)
    return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  pid_t pid = -1;
  const int failed = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(fds[1]);
  out = fds[0];
  return failed ? -1 : pid;
}

bool WaitReady(int fd) {
  std::string got;
  pollfd p{fd, POLLIN, 0};
  while (got.find("ready\n") == std::string::npos) {
    if (::poll(&p, 1, 60000) <= 0)
      return false;
    char buffer[256];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n <= 0)
      return false;
    got.append(buffer, static_cast<size_t>(n));
  }
  return true;
}

TEST_P(EndSignal, NothingTypedIsLost) {
  const Row row = GetParam();
  TempDir box;
  const std::string root = box.Dir() + "projects/", dir = root + "p/";
  std::filesystem::create_directories(dir);
  TempDir proj; // the sample, copied in
  fixture::WriteSample(proj);
  std::filesystem::copy(proj.Path(""), dir, std::filesystem::copy_options::recursive);
  std::filesystem::create_directories(box.Path("config/kem/Orvane"));
  box.Write("config/kem/Orvane/settings.ini", "[Main]\r\nRootDir=" + root + "\r\n");
  const std::string untouched[] = {"r.txt", "a1.txt", "a2.txt", "b.txt"};
  std::map<std::string, std::string> before;
  for (const auto &f : untouched)
    before[f] = proj.Read(f);

  int out = -1;
  const pid_t pid =
      StartDriver({"QT_QPA_PLATFORM=offscreen", "XDG_CONFIG_HOME=" + box.Path("config"),
                   "XDG_STATE_HOME=" + box.Path("state"), "XDG_DATA_HOME=" + box.Path("data")},
                  row.autoSave ? "autosave" : "ask", out);
  ASSERT_GT(pid, 0);
  ASSERT_TRUE(WaitReady(out)) << "the driver did not get ready";
  if (row.signal == SIGKILL)
    std::this_thread::sleep_for(std::chrono::seconds(3));
  ::kill(pid, row.signal);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ::close(out);
  if (row.signal == SIGKILL) {
    EXPECT_TRUE(WIFSIGNALED(status));
  } else {
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_NE(box.Read("config/kem/Orvane/settings.ini").find("Autor=kill-author\r\n"),
              std::string::npos);
  }

  TProject p;
  ASSERT_TRUE(p.Load(dir).RootLoaded);
  const std::vector<recovery::Copy> copies =
      recovery::CopiesOf(box.Dir() + "state/kem/Orvane/recovery/", dir, recovery::IdentityOf(p));
  ASSERT_EQ(copies.size(), row.autoSave && row.signal != SIGKILL ? 0u : 1u);
  if (!copies.empty())
    (void)recovery::Apply(copies[0].entry, p);
  TProjectNode *top = p.Root();
  ASSERT_EQ(top->Count(), 4) << "the two new items";
  EXPECT_TRUE(top->Item(0)->Data()->Files.Body.Joined().starts_with("typed before the end text"));
  EXPECT_EQ(top->Item(2)->Data()->Files.Body.Joined(), "second new item");
  // Their texts (leaving an item writes its caret into its header).
  for (const auto &f : untouched) {
    TNodeFiles now, was;
    now.ParseHeader(box.Read("projects/p/" + f));
    now.ParseBody(box.Read("projects/p/" + f));
    was.ParseHeader(before[f]);
    was.ParseBody(before[f]);
    EXPECT_EQ(now.Title + "\n" + now.Body.Joined(), was.Title + "\n" + was.Body.Joined()) << f;
  }
}

INSTANTIATE_TEST_SUITE_P(Signals, EndSignal,
                         ::testing::Values(Row{"Term", SIGTERM, false},
                                           Row{"TermAutoSave", SIGTERM, true},
                                           Row{"Hup", SIGHUP, false}, Row{"Int", SIGINT, true},
                                           Row{"Kill", SIGKILL, false}),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
