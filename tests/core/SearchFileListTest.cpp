#include "search/SearchFileList.h"
#include "TempDir.h"
#include "store/FileSystem.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

// A project-like directory: files with and without dots, a hidden file, two
// subdirectories (one hidden), a nested file and a link to a directory.
struct Tree : TempDir {
  Tree() {
    Write("a.txt", "a");
    Write("b.dat", "b");
    Write("NODOT", "c");
    Write(".hidden.txt", "d");
    EXPECT_TRUE(Ok(fsys::CreateDirectories(Dir() + "sub/deeper")));
    EXPECT_TRUE(Ok(fsys::CreateDirectories(Dir() + ".git")));
    Write("sub/inner.txt", "e");
    Write("sub/deeper/x.txt", "f");
    std::filesystem::create_directory_symlink(Path("sub"), Path("loop"));
  }
};

std::vector<std::string> Names(const std::vector<std::string> &paths, const std::string &dir) {
  std::vector<std::string> out;
  for (const auto &p : paths)
    out.push_back(p.substr(dir.size()));
  std::sort(out.begin(), out.end());
  return out;
}

using V = std::vector<std::string>;

} // namespace

TEST(SearchFileList, DirectoryModeReportsSubdirectoriesOnly) {
  Tree t;
  TSearchFileList s;
  s.SetFileName("*");
  s.SearchDirectoryName = true;
  s.DirectorySearchMode = true;
  s.SetDirectory(t.Dir());
  EXPECT_EQ(s.SearchFiles(nullptr, nullptr), 2);
  EXPECT_EQ(Names(s.FoundList, t.Dir()), (V{"loop", "sub"}));
}

TEST(SearchFileList, DotStarReportsFilesWithADotIncludingHiddenOnes) {
  Tree t;
  TSearchFileList s;
  s.SetDirectory(t.Dir());
  std::vector<std::string> out{"kept"};
  EXPECT_EQ(s.SearchFiles(&out, nullptr), 3);
  EXPECT_EQ(Names(s.FoundList, t.Dir()), (V{".hidden.txt", "a.txt", "b.dat"}));
  EXPECT_EQ(out.size(), 4u);
}

TEST(SearchFileList, DirectoryModeWithoutDirectoryNamesReportsNothing) {
  Tree t;
  TSearchFileList s;
  s.DirectorySearchMode = true;
  s.SetDirectory(t.Dir());
  EXPECT_EQ(s.SearchFiles(nullptr, nullptr), 0);
}

TEST(SearchFileList, CancelAndVeto) {
  Tree t;
  for (bool keep : {true, false}) {
    TSearchFileList s;
    s.SetDirectory(t.Dir());
    int shown = 0;
    s.OnFileFind = [&](TSearchFileList &, const std::string &, const fsys::Entry &, void *,
                       bool &add, bool &cancel) {
      ++shown;
      add = keep;
      cancel = true;
    };
    EXPECT_EQ(s.SearchFiles(nullptr, nullptr), keep ? 1 : 0);
    EXPECT_EQ(shown, 1);
  }
  TSearchFileList s;
  s.SetDirectory(t.Dir());
  int shown = 0;
  s.OnFileFind = [&](TSearchFileList &, const std::string &, const fsys::Entry &, void *data,
                     bool &add, bool &) {
    EXPECT_EQ(data, &shown);
    ++shown;
    add = false;
  };
  EXPECT_EQ(s.SearchFiles(nullptr, &shown), 0);
  EXPECT_TRUE(s.FoundList.empty());
  EXPECT_EQ(shown, 3);
}

TEST(SearchFileList, RecursiveWalkIsPreOrderAndNeverFollowsLinks) {
  Tree t;
  TSearchFileList s;
  s.SearchSubDirectory = true;
  s.SearchDirectoryName = true;
  s.SetDirectory(t.Dir());
  s.SearchFiles(nullptr, nullptr);
  V names = Names(s.FoundList, t.Dir());
  EXPECT_EQ(names, (V{".hidden.txt", "a.txt", "b.dat", "loop", "sub", "sub/deeper",
                      "sub/deeper/x.txt", "sub/inner.txt"}));
  // A directory comes before what it holds.
  auto pos = [&](const std::string &n) {
    return std::find(s.FoundList.begin(), s.FoundList.end(), t.Dir() + n) - s.FoundList.begin();
  };
  EXPECT_LT(pos("sub"), pos("sub/inner.txt"));
  EXPECT_LT(pos("sub/deeper"), pos("sub/deeper/x.txt"));
}

TEST(SearchFileList, CancelInsideASubdirectoryEndsEveryWalk) {
  Tree t;
  TSearchFileList s;
  s.SearchSubDirectory = true;
  s.SetDirectory(t.Dir());
  std::vector<std::string> seen;
  s.OnFileFind = [&](TSearchFileList &, const std::string &name, const fsys::Entry &, void *,
                     bool &, bool &cancel) {
    seen.push_back(name);
    cancel = name.find("inner.txt") != std::string::npos;
  };
  s.SearchFiles(nullptr, nullptr);
  EXPECT_EQ(seen.back(), t.Dir() + "sub/inner.txt");
}

TEST(SearchFileList, DirectoryWithoutSeparatorAndEmptyDirectory) {
  Tree t;
  TSearchFileList a, b, empty;
  a.SetDirectory(t.Dir());
  b.SetDirectory(t.Path("").substr(0, t.Dir().size() - 1));
  EXPECT_EQ(a.SearchFiles(nullptr, nullptr), b.SearchFiles(nullptr, nullptr));
  EXPECT_EQ(Names(a.FoundList, t.Dir()), Names(b.FoundList, t.Dir()));
  int shown = 0;
  empty.OnFileFind = [&](TSearchFileList &, const std::string &, const fsys::Entry &, void *,
                         bool &, bool &) { ++shown; };
  EXPECT_EQ(empty.SearchFiles(nullptr, nullptr), 0);
  EXPECT_EQ(shown, 0);
  TSearchFileList missing;
  missing.SetDirectory(t.Dir() + "nope");
  EXPECT_EQ(missing.SearchFiles(nullptr, nullptr), 0);
}
