// The editor window on a big project: how much the window adds to the core
// load when it opens a project, and how long a selection change takes when
// the entered item holds a 100 KB text.
// Usage: bench_gui_editor [count] [dir]   (offscreen: QT_QPA_PLATFORM=offscreen)
#include "ProjectGenerator.h"
#include "editor/VaveDataBase.h"
#include "editor/VaveMain.h"
#include "store/ProjectTree.h"
#include "ui/MessageBox.h"

#include <QApplication>
#include <QPlainTextEdit>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;
double Ms(Clock::time_point a) {
  return std::chrono::duration<double, std::milli>(Clock::now() - a).count();
}
double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}
} // namespace

int main(int argc, char **argv) {
  QApplication app(argc, argv);
  int count = argc > 1 ? std::atoi(argv[1]) : 50000;
  std::string dir = argc > 2
                        ? argv[2]
                        : (std::filesystem::temp_directory_path() / "orvane-bench-editor").string();
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  dir += "/";
  bench::Generate(dir, count);

  // Two items with a 100 KB text each, to walk between.
  std::vector<std::string> big;
  {
    TProjectTree tree;
    tree.LoadProject(dir);
    TProjectNode *a = tree.RootNode()->Item(0), *b = tree.RootNode()->Item(1);
    for (TProjectNode *n : {a, b}) {
      TNodeFiles &f = n->Data()->Files;
      f.Body.clear();
      for (int i = 0; f.Body.size() < 1900; ++i)
        f.Body.push_back("\x93\xfa\x96\x7b\x8c\xea line " + std::to_string(i) +
                         " of a long item text, with some words to search");
      (void)f.Save(); // generated data in a temp dir: a failure shows as a short item
      big.push_back(n->Data()->ID);
    }
  }
  ui::ScriptedMessageBoxes boxes; // nothing may ask; a question would be dismissed

  std::vector<double> core, window;
  for (int run = 0; run < 3; ++run) {
    auto t0 = Clock::now();
    {
      TProjectTree tree;
      tree.LoadProject(dir);
    }
    core.push_back(Ms(t0));
    t0 = Clock::now();
    auto *w = new TVaveMainForm;
    w->setAttribute(Qt::WA_DeleteOnClose, false);
    w->OpenProjectDir(dir);
    app.processEvents();
    window.push_back(Ms(t0));
    if (run == 2) {
      TVaveDataBase *view = w->VaveDataBase();
      auto find = [&](const std::string &id) -> TProjectNode * {
        for (TProjectNode *n = view->Tree().GetFirstNode(); n; n = n->GetNext())
          if (n->Data()->ID == id)
            return n;
        return nullptr;
      };
      TProjectNode *a = find(big[0]), *b = find(big[1]);
      std::vector<double> select;
      for (int i = 0; i < 20; ++i) {
        auto t1 = Clock::now();
        view->SelectNode(i % 2 ? a : b);
        app.processEvents();
        select.push_back(Ms(t1));
      }
      std::printf(
          "select an item with a %.0f KB text: median %.1f ms, max %.1f ms (goal < 30 ms)\n",
          w->FileText()->toPlainText().size() * 1.0 / 1024 * 1.0, Median(select),
          *std::max_element(select.begin(), select.end()));
    }
    delete w;
  }
  double c = Median(core), e = Median(window);
  std::printf("%d items: core load %.0f ms, editor window open %.0f ms (%+.0f%%, goal < +50%%)\n",
              count, c, e, (e - c) * 100.0 / c);
  if (!boxes.Asked().empty())
    std::printf("note: %zu message boxes were asked\n", boxes.Asked().size());
  std::filesystem::remove_all(dir);
  return 0;
}
