// The catalogue over a folder of many projects: a refresh of its list reads
// each project's tree file and root item only. Next to `cat` of those same
// files, and the check of every row for tree files changed on disk (what the
// catalogue does every few seconds) next to `ls -l` of the tree files.
// Usage: bench_gui_catalogue [--dir DIR] [--keep] [projects=2000]
//        (offscreen: QT_QPA_PLATFORM=offscreen)
#include "BenchSupport.h"
#include "catalogue/SelectThema.h"
#include "store/RegIniFile.h"

#include <QApplication>
#include <QTreeWidget>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

int main(int argc, char **argv) {
  const bench::Options o = bench::ParseOptions(argc, argv, "orvane-bench-catalogue", {2000});
  const std::string root = o.base + "/root/";
  std::filesystem::remove_all(o.base);
  std::filesystem::create_directories(root);
  // Settings of its own, never the user's.
  const std::string config = o.base + "/config";
  setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  const int count = o.Count();
  if (!bench::InChild([&] {
        for (int i = 0; i < count; ++i) {
          const std::string dir = root + "project" + std::to_string(i) + "/";
          std::filesystem::create_directories(dir);
          bench::Generate(dir, 8);
        }
      }))
    return 1;
  {
    TRegIniFile reg;
    reg.WriteString("Main", "RootDir", root);
    reg.WriteString("Main", "Author", "bench");
    if (!reg.UpdateFile())
      return 1;
  }
  std::vector<std::string> files{"cat"};
  for (int i = 0; i < count; ++i) {
    const std::string dir = root + "project" + std::to_string(i) + "/";
    files.push_back(dir + "MainTree.dat");
    for (const auto &e : std::filesystem::directory_iterator(dir))
      if (e.path().filename().string().ends_with("00000.txt")) // the generator's root item
        files.push_back(e.path().string());
  }
  std::vector<std::string> list{"ls", "-l"};
  for (size_t i = 1; i < files.size(); i += 2)
    list.push_back(files[i]);

  QApplication app(argc, argv);
  TSelectThemaForm form;
  if (form.RowCount() != count) {
    std::fprintf(stderr, "%d rows of %d projects\n", form.RowCount(), count);
    return 1;
  }
  bench::Stats refresh, cat, check, ls;
  for (int r = 0; r < 6; ++r) {
    const double c = bench::Seconds([&] { bench::Spawn(files); });
    const double f = bench::Seconds([&] { form.RefreshProjectList(); });
    const double l = bench::Seconds([&] { bench::Spawn(list); });
    const double k = bench::Seconds([&] { form.CheckProjectsNow(); });
    if (r == 0)
      continue; // warms the cache
    cat.runs.push_back(c);
    refresh.runs.push_back(f);
    ls.runs.push_back(l);
    check.runs.push_back(k);
  }
  std::printf("%d projects: refresh of the list median %.3f s (%.3f-%.3f); cat of the same "
              "files %.3f s (%.2fx)\n",
              count, refresh.Median(), refresh.Min(), refresh.Max(), cat.Median(),
              refresh.Median() / cat.Median());
  std::printf("  check of every row for changed tree files %.4f s; ls -l of the tree files %.4f s "
              "(%.2fx)\n",
              check.Median(), ls.Median(), check.Median() / ls.Median());
  if (!o.keep)
    std::filesystem::remove_all(o.base);
  return 0;
}
