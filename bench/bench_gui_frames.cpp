// The frame set of a whole project (default 50,000 items) made three ways in
// one run with warm caches: the editor's menu command on the open project,
// `orvane-cli export --frames` as a process of its own, and `cp -r` of the
// project directory (one new file per item, as the frame set makes them).
// Usage: bench_gui_frames [--dir DIR] [--keep] [count]
//        (offscreen: QT_QPA_PLATFORM=offscreen)
#include "BenchSupport.h"
#include "editor/EditorActions.h"
#include "editor/VaveMain.h"
#include "ui/Dialogs.h"
#include "ui/MessageBox.h"
#include "ui/Shell.h"

#include <QAction>
#include <QApplication>

#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

int main(int argc, char **argv) {
  QApplication app(argc, argv);
  const bench::Options o = bench::ParseOptions(argc, argv, "orvane-bench-frames");
  const std::string cli = bench::CliPath();
  if (cli.empty())
    return 1;
  const std::string project = o.base + "/project/", out = o.base + "/out";
  if (!bench::GenerateProject(project, o.Count()))
    return 1;
  fs::create_directories(o.base + "/config");
  setenv("XDG_CONFIG_HOME", (o.base + "/config").c_str(), 1);
  ui::ScriptedMessageBoxes boxes; // nothing may ask
  ui::RecordedShellOpen opened;   // no browser
  TVaveMainForm editor;
  if (!editor.OpenProjectDir(project))
    return 1;
  app.processEvents();

  // Each run writes into folders of its own, removed only at the end: a file
  // system makes new files slowly for a while after many were deleted, and
  // would time the last removal rather than the command. Everything is
  // flushed before each command (untimed), so that the frame set's own flush
  // at its end does not write out what the command before it left, and the
  // order of the three turns from run to run.
  bench::Stats menu, command, copy;
  for (int r = 0; r < 7; ++r) {
    const std::string run = out + "/" + std::to_string(r);
    fs::create_directories(run + "-menu");
    bool made = false;
    double m = 0, c = 0, k = 0;
    for (int step = 0; step < 3; ++step) {
      ::sync();
      switch ((r + step) % 3) {
      case 0: {
        ui::ScriptedDialogs dialogs(
            {ui::DialogAnswer::Accept(QString::fromStdString(run + "-menu"))});
        m = bench::Seconds([&] {
          editor.updateActionStates();
          editor.Action(TEditorAction::ItemHtmlExOutAction)->trigger();
        });
        made = fs::exists(run + "-menu/index.html");
        break;
      }
      case 1:
        c = bench::Seconds([&] {
          bench::Spawn({cli, "export", project, "--frames", run + "-cli"});
        });
        break;
      default:
        k = bench::Seconds([&] { bench::Spawn({"cp", "-r", project, run + "-cp"}); });
      }
    }
    if (!made || !fs::exists(project + "MainTree.dat")) {
      std::fprintf(stderr, "the menu command made no frame set\n");
      return 1;
    }
    if (r == 0)
      continue; // warms the cache
    menu.runs.push_back(m);
    command.runs.push_back(c);
    copy.runs.push_back(k);
  }
  fs::remove_all(out);
  std::printf("%d items: frame set from the menu median %.3f s (%.3f-%.3f), from orvane-cli "
              "%.3f s (%.3f-%.3f), cp -r %.3f s (%.3f-%.3f)\n",
              o.Count(), menu.Median(), menu.Min(), menu.Max(), command.Median(), command.Min(),
              command.Max(), copy.Median(), copy.Min(), copy.Max());
  std::printf("  menu %.2fx the CLI (goal at most 1.2x), CLI %.2fx cp -r (goal at most 1.2x)\n",
              menu.Median() / command.Median(), command.Median() / copy.Median());
  if (!boxes.Asked().empty())
    std::printf("note: %zu message boxes were asked\n", boxes.Asked().size());
  if (!o.keep)
    fs::remove_all(o.base);
  return 0;
}
