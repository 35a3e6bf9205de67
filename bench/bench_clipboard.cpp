// Insert of a copied subtree (default 10,000 items) into another project, as
// the editor's insert does it (every item read from its file, written as a
// new item file, flushed once), next to `cp` of the same item files into an
// empty directory, measured in the same run with warm caches.
// Usage: bench_clipboard [count]
#include "ProjectGenerator.h"
#include "store/Project.h"
#include "store/TreeClipboard.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace {

double Seconds(const std::chrono::steady_clock::time_point &start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char **argv) {
  const int count = argc > 1 ? std::atoi(argv[1]) : 10000;
  const std::string base = (fs::temp_directory_path() / "orvane-bench-clipboard").string();
  fs::remove_all(base);
  const std::string source = base + "/source/";
  fs::create_directories(source);
  bench::Generate(source, count);
  TProject from;
  if (!from.Load(source).RootLoaded)
    return 1;
  const treeclip::TClip clip = treeclip::Parse(treeclip::CopyText(from, from.Root()));
  std::printf("%zu items on the clipboard\n", clip.items.size());

  double cp = 1e9, insert = 1e9;
  for (int run = 0; run < 3; ++run) {
    const std::string copyDir = base + "/cp" + std::to_string(run);
    fs::create_directories(copyDir);
    auto start = std::chrono::steady_clock::now();
    const std::string command = "cp " + source + "*.txt " + copyDir + "/ && sync -f " + copyDir;
    if (std::system(command.c_str()) != 0)
      return 1;
    cp = std::min(cp, Seconds(start));

    const std::string targetDir = base + "/target" + std::to_string(run) + "/";
    fs::create_directories(targetDir);
    TProject into;
    if (!into.CreateFirstTree(targetDir, "target", "bench"))
      return 1;
    start = std::chrono::steady_clock::now();
    const treeclip::TInsertReport r = treeclip::Insert(into, clip, into.Root(), {"bench", {}});
    insert = std::min(insert, Seconds(start));
    if (r.inserted != static_cast<int>(clip.items.size())) {
      std::fprintf(stderr, "inserted %d of %zu\n", r.inserted, clip.items.size());
      return 1;
    }
  }
  std::printf("%-34s %8.3f s\n", "cp of the item files + sync (ref)", cp);
  std::printf("%-34s %8.3f s   %.2fx cp (goal under 3x)\n", "insert of the copied subtree", insert,
              insert / cp);
  fs::remove_all(base);
  return 0;
}
