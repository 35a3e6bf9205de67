// The check of a project as the editor and the command line get it: each
// finding names its kind, its file and its item, in the order told.
#include "store/ProjectCheck.h"
#include "ProjectFixtures.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

TEST(ProjectCheck, EachFindingNamesItsKindFileAndItem) {
  TempDir t, state;
  fixture::WriteSample(t);
  fixture::Item(t, "a2.txt", "A2", "Update:yesterday\r\n");
  t.Write("a1.txt", "Title:A1\r\n\r\nbad \xff byte\r\n");
  std::string tree = t.Read("MainTree.dat");
  tree.replace(tree.find("Child02=Root-C00003"), 19, "Child03=Root-C00003"); // a gap hides B
  tree.replace(tree.find("Child02=Root-C00002"), 19, "Child02=Root-C00002\r\nChild03=Lost");
  t.Write("MainTree.dat", tree + "[Lost]\r\nFileName=lost.txt\r\n");
  t.Write("a.txt.tmp~", "left");
  std::filesystem::create_directory(t.Path("MainTree.dat.new"));
  fixture::Item(t, "gone.txt.exp", "gone");
  std::filesystem::last_write_time(t.Path("MainTree.dat"),
                                   std::filesystem::file_time_type::clock::now() +
                                       std::chrono::hours(1)); // no file is newer

  TProject p;
  const TLoadReport report = p.Load(t.Dir());
  ASSERT_TRUE(report.RootLoaded);
  using K = TFinding::Kind;
  std::vector<std::tuple<int, std::string, std::string>> found;
  for (const TFinding &f : CheckProject(p, report, state.Dir() + "recovery/"))
    found.emplace_back(static_cast<int>(f.kind), f.file, f.itemID);
  const std::vector<std::tuple<int, std::string, std::string>> expected = {
      {int(K::HeaderValue), "", ""},
      {int(K::Unreadable), "lost.txt", "Lost"},
      {int(K::Unreached), "b.txt", "Root-C00003"},
      {int(K::RawBytes), "a1.txt", "Root-C00001"},
      {int(K::NewTreeHeld), "MainTree.dat.new", ""},
      {int(K::StoppedWrite), "a.txt.tmp~", ""},
      {int(K::Restorable), "gone.txt.exp", ""}};
  EXPECT_EQ(found, expected);
}
