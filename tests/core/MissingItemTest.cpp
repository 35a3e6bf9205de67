// Items whose file cannot be read at load: kept in the tree and in the tree
// file, never written, whole again once their file is back.
#include "ProjectFixtures.h"
#include "TempDir.h"
#include "store/IniFile.h"
#include "store/ProjectTree.h"
#include "support/TreeOutline.h"

#include <filesystem>
#include <gtest/gtest.h>

using fixture::Item;
using fixture::Section;

namespace {

// The outline with '!' after missing nodes.
std::string Shape(const TProjectTree &tree) {
  return outline::Print(
      tree, [](const TProjectNode *n) { return std::string(n->Data()->Missing ? "!" : ""); });
}

std::string Load(const TempDir &t, TProjectTree &tree) {
  EXPECT_TRUE(tree.LoadProject(t.Dir()));
  return Shape(tree);
}

} // namespace

TEST(MissingItems, ABranchWhoseFileIsAwayIsKeptAndWholeAgainWhenTheFileIsBack) {
  TempDir t;
  fixture::WriteSample(t); // Project(A(A1 A2) B), A is a.txt
  const std::string aFile = t.Read("a.txt");
  std::filesystem::rename(t.Path("a.txt"), t.Path("a.away"));
  {
    TProjectTree tree;
    EXPECT_EQ(Load(t, tree), "Project(a.txt!(A1 A2) B)");
    ASSERT_EQ(tree.MissingItems().size(), 1u);
    TProjectNode *a = tree.MissingItems()[0];
    EXPECT_EQ(a->Data()->ID, "Root-C00000");
    EXPECT_EQ(a->Data()->ListedFileName, "a.txt");
    EXPECT_EQ(a->Data()->Files.FilePath, t.Dir() + "a.txt");
    EXPECT_TRUE(a->Data()->Files.Body.empty());
    EXPECT_TRUE(a->Expanded());
    EXPECT_TRUE(tree.SkippedItems().empty());
    // A save writes the entry and its children as they were, and no item file.
    ASSERT_EQ(tree.SaveTreeFile(t.Dir() + "MainTree.dat").Text(), "ok");
    EXPECT_FALSE(std::filesystem::exists(t.Path("a.txt")));
    EXPECT_NE(t.Read("MainTree.dat")
                  .find("[Root-C00000]\r\nFileName=a.txt\r\nExpanded=1\r\n"
                        "Child01=Root-C00001\r\nChild02=Root-C00002\r\n"),
              std::string::npos);
  }
  {
    // Saved again while still away: nothing changes.
    TProjectTree tree;
    EXPECT_EQ(Load(t, tree), "Project(a.txt!(A1 A2) B)");
    ASSERT_TRUE(Ok(tree.SaveTreeFile(t.Dir() + "MainTree.dat")));
    EXPECT_EQ(t.Read("MainTree.dat"), t.Read("MainTree.dat.ord"));
  }
  std::filesystem::rename(t.Path("a.away"), t.Path("a.txt"));
  TProjectTree back;
  EXPECT_EQ(Load(t, back), "Project(A(A1 A2) B)");
  EXPECT_TRUE(back.MissingItems().empty());
  EXPECT_EQ(t.Read("a.txt"), aFile);
}

TEST(MissingItems, EveryKindOfUnreadableEntryIsKeptWithItsListedName) {
  TempDir t;
  Item(t, "r.txt", "R");
  Item(t, "c.txt", "C");
  std::filesystem::create_directory(t.Path("dir.txt")); // a folder where a file should be
  std::filesystem::create_directory(t.Path("sub"));
  Item(t, "sub/d.txt", "in a subdirectory"); // never read: not in the project folder itself
  t.Write("MainTree.dat",
          Section("Root", {"FileName=r.txt", "Child01=X", "Child02=Y", "Child03=Z", "Child04=W"}) +
              Section("X", {"FileName=dir.txt", "Child01=X1"}) +
              Section("X1", {"FileName=gone.txt", "Child01=C"}) + Section("C", {"FileName=c.txt"}) +
              Section("Y", {"FileName=sub/d.txt"}) + Section("Z", {"FileName=../r.txt"}));
  TProjectTree tree;
  // W has no section and so no file to wait for: it alone is left out.
  EXPECT_EQ(Load(t, tree), "R(dir.txt+!(gone.txt+!(C)) sub/d.txt! ../r.txt!)");
  ASSERT_EQ(tree.SkippedItems().size(), 1u);
  EXPECT_EQ(tree.SkippedItems()[0].ID, "W");
  EXPECT_EQ(tree.MissingItems().size(), 4u);
  ASSERT_TRUE(Ok(tree.SaveTreeFile(t.Dir() + "MainTree.dat")));
  TIniFile saved(t.Dir() + "MainTree.dat");
  EXPECT_EQ(saved.ReadString("X", "FileName", ""), "dir.txt");
  EXPECT_EQ(saved.ReadString("X", "Child01", ""), "X1");
  EXPECT_EQ(saved.ReadString("X1", "Child01", ""), "C");
  EXPECT_EQ(saved.ReadString("Y", "FileName", ""), "sub/d.txt");
  EXPECT_EQ(saved.ReadString("Z", "FileName", ""), "../r.txt");
  EXPECT_FALSE(saved.SectionExists("W"));
  EXPECT_FALSE(std::filesystem::exists(t.Path("gone.txt")));
  // Cycles and duplicates next to a missing item are still left out.
  t.Write("MainTree.dat", Section("Root", {"FileName=r.txt", "Child01=X", "Child02=X"}) +
                              Section("X", {"FileName=gone.txt", "Child01=Root"}));
  TProjectTree again;
  EXPECT_EQ(Load(t, again), "R(gone.txt!)");
  ASSERT_EQ(again.SkippedItems().size(), 2u);
  EXPECT_EQ(again.SkippedItems()[0].Why, TSkippedItem::Cycle);
  EXPECT_EQ(again.SkippedItems()[1].Why, TSkippedItem::Duplicate);
}
