// The end of the program and the recovery copy on a 50,000-item project:
// - the time from SIGTERM to the exit of the program (catalogue and editor,
//   the program's own handlers) with one changed item, next to the time the
//   same process takes to go after SIGKILL (the teardown alone);
// - what a recovery write adds to a keystroke in a 100 KB item: keys typed
//   while the copy is written on its thread, next to keys typed without.
// Usage: bench_gui_recovery [count]   (offscreen: QT_QPA_PLATFORM=offscreen)
#include "BenchSupport.h"
#include "app/SignalPipe.h"
#include "catalogue/SelectThema.h"
#include "editor/RecoveryCommands.h"
#include "editor/VaveDataBase.h"
#include "editor/VaveMain.h"
#include "store/ProjectTree.h"
#include "ui/MessageBox.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>

#include <csignal>
#include <cstring>
#include <fstream>
#include <poll.h>

namespace {

using Clock = std::chrono::steady_clock;
double Ms(Clock::time_point a) {
  return std::chrono::duration<double, std::milli>(Clock::now() - a).count();
}

void Key(QWidget *w, QChar c) {
  QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QString(c));
  QApplication::sendEvent(w, &press);
  QKeyEvent release(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, QString(c));
  QApplication::sendEvent(w, &release);
}

// The child: the program's catalogue opens the project, one item changes,
// "ready", and the program's handlers wait for the signal.
int Child() {
  TSelectThemaForm form;
  TSignalPipe pipe;
  ConnectSessionEnd(form, pipe);
  form.ShowAtStart();
  form.SelectRow(0);
  form.OpenProjectAction();
  if (form.Editors().size() != 1)
    return 3;
  TVaveMainForm *e = form.Editors()[0];
  e->FileText()->insertPlainText(QStringLiteral("changed before the end "));
  std::printf("ready\n");
  std::fflush(stdout);
  return QApplication::exec();
}

// Spawns this program as the child; the time from `signal` to its exit.
double EndTime(const std::string &self, int signal) {
  int fds[2];
  if (::pipe(fds) != 0)
    return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  const char *argv[] = {self.c_str(), "--child", nullptr};
  pid_t pid = 0;
  if (posix_spawn(&pid, self.c_str(), &actions, nullptr, const_cast<char **>(argv), environ) != 0)
    return -1;
  posix_spawn_file_actions_destroy(&actions);
  ::close(fds[1]);
  std::string got;
  char buffer[64];
  pollfd p{fds[0], POLLIN, 0};
  while (got.find("ready") == std::string::npos && ::poll(&p, 1, 300000) > 0) {
    const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
    if (n <= 0)
      break;
    got.append(buffer, static_cast<size_t>(n));
  }
  ::close(fds[0]);
  const auto t0 = Clock::now();
  ::kill(pid, signal);
  int status = 0;
  ::waitpid(pid, &status, 0);
  const double ms = Ms(t0);
  if (signal == SIGTERM && !(WIFEXITED(status) && WEXITSTATUS(status) == 0))
    std::printf("note: the program did not exit 0 after SIGTERM\n");
  return ms;
}

} // namespace

int main(int argc, char **argv) {
  QApplication app(argc, argv);
  if (argc > 1 && !std::strcmp(argv[1], "--child"))
    return Child();
  const bench::Options o = bench::ParseOptions(argc, argv, "orvane-bench-recovery");
  const std::string root = o.base + "/projects/", dir = root + "p/";
  std::filesystem::remove_all(o.base);
  if (!bench::GenerateProject(dir, o.Count()))
    return 1;
  std::filesystem::create_directories(o.base + "/config/kem/Orvane");
  std::ofstream(o.base + "/config/kem/Orvane/settings.ini", std::ios::binary)
      << "[Main]\r\nRootDir=" << root << "\r\n";
  setenv("XDG_CONFIG_HOME", (o.base + "/config").c_str(), 1);
  setenv("XDG_STATE_HOME", (o.base + "/state").c_str(), 1);
  const std::string self = std::filesystem::canonical("/proc/self/exe").string();

  bench::Stats term, kill;
  for (int run = 0; run < 3; ++run) {
    term.runs.push_back(EndTime(self, SIGTERM));
    kill.runs.push_back(EndTime(self, SIGKILL));
  }
  std::printf("%d items, one changed: SIGTERM to exit %.0f ms (%.0f-%.0f), SIGKILL to exit %.0f "
              "ms: %.1fx (goal < 2000 ms)\n",
              o.Count(), term.Median(), term.Min(), term.Max(), kill.Median(),
              term.Median() / kill.Median());

  // A 100 KB item, typed into with and without a recovery write under way.
  {
    TProjectTree tree;
    tree.LoadProject(dir);
    TNodeFiles &f = tree.RootNode()->Item(0)->Data()->Files;
    f.Body.clear();
    for (int i = 0; f.Body.size() < 1900; ++i)
      f.Body.push_back("\x93\xfa\x96\x7b\x8c\xea line " + std::to_string(i) +
                       " of a long item text, with some words to search");
    (void)f.Save(); // generated data in a temp dir: a failure shows as a short item
  }
  ui::ScriptedMessageBoxes boxes; // nothing may ask; a question would be dismissed
  auto *w = new TVaveMainForm;
  w->setAttribute(Qt::WA_DeleteOnClose, false);
  w->OpenProjectDir(dir);
  w->VaveDataBase()->SelectNode(w->RootNode()->Item(0));
  w->Recovery().SetPace(1 << 30, 1 << 30); // only the writes below
  QApplication::processEvents();
  QWidget *memo = w->FileText();
  memo->setFocus();
  bench::Stats plain, during, snapshot;
  for (int i = 0; i < 40; ++i) {
    auto t0 = Clock::now();
    Key(memo, QLatin1Char('a'));
    QApplication::processEvents();
    plain.runs.push_back(Ms(t0));
  }
  for (bool treeChanged : {false, true}) {
    if (treeChanged) // a label: the tree's document is made again at the next copy
      w->VaveTreeEdited(w->RootNode()->Item(1), QStringLiteral("renamed"));
    for (int i = 0; i < 20; ++i) {
      auto t0 = Clock::now();
      w->Recovery().WriteNow(); // the snapshot here, the write on the writer's thread
      snapshot.runs.push_back(Ms(t0));
      t0 = Clock::now();
      Key(memo, QLatin1Char('b'));
      QApplication::processEvents();
      during.runs.push_back(Ms(t0));
      (void)w->Recovery().Flush(); // a failure shows in the entry's absence only
    }
    std::printf("keystroke in a 100 KB item%s: %.2f ms median, %.2f max while a recovery copy is "
                "written, %.2f ms median, %.2f max without; the copy's snapshot %.2f ms median, "
                "%.2f max (goal: keystroke < 20 ms)\n",
                treeChanged ? ", tree changed" : "", during.Median(), during.Max(), plain.Median(),
                plain.Max(), snapshot.Median(), snapshot.Max());
    during.runs.clear();
    snapshot.runs.clear();
  }
  delete w;
  if (!o.keep)
    std::filesystem::remove_all(o.base);
  return 0;
}
