// Writes and reads N item files of realistic size and compares the read with a
// plain read of the same bytes. Usage: bench_itemfiles [count] [dir]
#include "store/FileSystem.h"
#include "store/NodeFiles.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

namespace {
double Seconds(std::chrono::steady_clock::time_point a) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - a).count();
}
} // namespace

int main(int argc, char **argv) {
  int count = argc > 1 ? std::atoi(argv[1]) : 50000;
  std::string dir =
      argc > 2 ? argv[2] : (std::filesystem::temp_directory_path() / "orvane-bench-items").string();
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  dir += "/";

  std::mt19937 rng(42);
  const std::string words[] = {
      "\x83\x41\x83\x43\x83\x66\x83\x41", "idea", "\x8c\x9f\x93\xa2", "note",
      "\x8e\x9f\x82\xcc\x8e\xe8",         "plan"};
  std::vector<std::string> paths;
  paths.reserve(count);
  auto t0 = std::chrono::steady_clock::now();
  uint64_t bytes = 0;
  for (int i = 0; i < count; ++i) {
    TNodeFiles f;
    f.FilePath = dir + "2026120722" + std::to_string(100000 + i) + "0.txt";
    f.Title = words[i % 6] + " " + std::to_string(i);
    int lines = 3 + static_cast<int>(rng() % 40); // a few hundred bytes to a few KB
    for (int l = 0; l < lines; ++l) {
      std::string line;
      int w = static_cast<int>(rng() % 12);
      for (int k = 0; k < w; ++k)
        line += words[rng() % 6] + " ";
      f.Body.push_back(line);
    }
    if (fsys::Status s = f.Save(); !s) {
      std::fprintf(stderr, "write failed: %s\n", s.Text().c_str());
      return 1;
    }
    paths.push_back(f.FilePath);
  }
  double writeTime = Seconds(t0);

  // The same files again in one batch (one flush at the end), as bulk commands write.
  t0 = std::chrono::steady_clock::now();
  {
    fsys::BatchWrites batch;
    for (const auto &p : paths) {
      TNodeFiles f;
      f.FilePath = p;
      (void)f.Open(true); // timed: the files were made above
      (void)f.Save();
    }
  }
  double batchTime = Seconds(t0);

  // Plain read of the same files: the floor for any reader.
  t0 = std::chrono::steady_clock::now();
  for (const auto &p : paths) {
    std::string b;
    (void)fsys::ReadFile(p, b); // timed: the files were made above
    bytes += b.size();
  }
  double plainTime = Seconds(t0);

  t0 = std::chrono::steady_clock::now();
  size_t lines = 0;
  for (const auto &p : paths) {
    TNodeFiles f;
    f.FilePath = p;
    (void)f.Open(true); // timed: the files were made above
    lines += f.Body.size();
  }
  double readTime = Seconds(t0);

  std::printf("items            %d (%.1f MB, %zu body lines)\n", count, bytes / 1e6, lines);
  std::printf("write            %.3f s  (%.0f items/s, each fsynced)\n", writeTime,
              count / writeTime);
  std::printf("read+write batch %.3f s  (%.0f items/s, one flush)\n", batchTime, count / batchTime);
  std::printf("plain read       %.3f s  (%.0f items/s)\n", plainTime, count / plainTime);
  std::printf("TNodeFiles::Open %.3f s  (%.0f items/s)  ratio to plain read %.2fx\n", readTime,
              count / readTime, readTime / plainTime);
  std::filesystem::remove_all(dir);
  return 0;
}
