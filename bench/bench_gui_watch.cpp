// What watching the open project for changes made elsewhere costs: the
// editor's CPU at rest over a minute with the watch on and with it off, the
// memory the watch adds (resident size before and after it starts, and the
// stamps the items keep), and one full check of every item, next to
// `ls -l` of the project folder (one stat per file as well).
// Usage: bench_gui_watch [count=50000] [seconds=60] [dir]
//        (offscreen: QT_QPA_PLATFORM=offscreen)
#include "ProjectGenerator.h"
#include "editor/DiskWatch.h"
#include "editor/VaveMain.h"
#include "store/FileSystem.h"
#include "ui/MessageBox.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>

namespace {

double CpuSeconds() {
  struct rusage u;
  getrusage(RUSAGE_SELF, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

long ResidentKb() {
  std::ifstream in("/proc/self/status");
  for (std::string line; std::getline(in, line);)
    if (line.rfind("VmRSS:", 0) == 0)
      return std::atol(line.c_str() + 6);
  return 0;
}

// Runs the events for `ms` (a quit of the application would close the window).
void RunEvents(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

// CPU share of the process while the events run for `seconds`.
double AtRest(int seconds) {
  const double before = CpuSeconds();
  QElapsedTimer wall;
  wall.start();
  RunEvents(seconds * 1000);
  return (CpuSeconds() - before) / (wall.elapsed() / 1000.0);
}

} // namespace

int main(int argc, char **argv) {
  QApplication app(argc, argv);
  const int count = argc > 1 ? std::atoi(argv[1]) : 50000;
  const int seconds = argc > 2 ? std::atoi(argv[2]) : 60;
  std::string dir =
      argc > 3 ? argv[3] : (std::filesystem::temp_directory_path() / "orvane-bench-watch").string();
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  dir += "/";
  bench::Generate(dir, count);
  ui::ScriptedMessageBoxes boxes;

  auto *w = new TVaveMainForm;
  if (!w->OpenProjectDir(dir))
    return 1;
  // Settled first: the first paint and the loads' own garbage.
  RunEvents(2000);

  w->DiskWatch().Stop();
  const long offKb = ResidentKb();
  const double off = AtRest(seconds);
  w->DiskWatch().Start(QString::fromStdString(dir), QString::fromStdString(dir + "MainTree.dat"));
  const double on = AtRest(seconds);
  const long onKb = ResidentKb();

  QElapsedTimer sweep;
  sweep.start();
  for (int i = 0; i < 5; ++i)
    w->DiskWatch().SweepNow();
  const double sweepMs = sweep.nsecsElapsed() / 5e6;
  QElapsedTimer ls;
  ls.start();
  for (int i = 0; i < 5; ++i)
    if (std::system(("ls -l " + dir + " > /dev/null").c_str()) != 0)
      return 1;
  const double lsMs = ls.nsecsElapsed() / 5e6;

  std::printf("%d items, %d s at rest each: CPU %.2f%% with the watch, %.2f%% without\n", count,
              seconds, on * 100, off * 100);
  std::printf("resident memory %ld KB without the watch, %ld KB with it (%+ld KB); the items' "
              "stamps %zu KB\n",
              offKb, onKb, onKb - offKb, count * sizeof(fsys::Stamp) / 1024);
  std::printf("a check of every item %.1f ms; ls -l of the folder %.1f ms (%.2fx)\n", sweepMs, lsMs,
              sweepMs / lsMs);
  w->close();
  return boxes.Asked().empty() ? 0 : 1;
}
