// Projects made on a file system that ignores letter case name their item
// files in any case: the tree file says "Item.TXT" where the disk holds
// "item.txt". Such an item must load with its text, be stored into that
// same file, and be exported and kept by the cleanup.
#include "ProjectFixtures.h"
#include "TempDir.h"
#include "export/ExportText.h"
#include "store/Cleanup.h"
#include "store/Project.h"
#include "store/RegIniFile.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace fs = std::filesystem;
using fixture::Item;
using fixture::Section;

namespace {

void WriteTree(const TempDir &t, const std::string &rootFile,
               std::initializer_list<std::string> childFiles) {
  std::string root = "[Root]\r\nFileName=" + rootFile + "\r\n";
  std::string rest;
  int i = 0;
  for (const std::string &f : childFiles) {
    char id[32];
    std::snprintf(id, sizeof id, "Root-C%05d", i);
    root += "Child0" + std::to_string(i + 1) + "=" + id + "\r\n";
    rest += Section(id, {"FileName=" + f});
    ++i;
  }
  t.Write("MainTree.dat", root + rest);
}

std::vector<std::string> Names(const TempDir &t) {
  std::vector<std::string> names;
  for (const auto &e : fs::directory_iterator(t.Dir()))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

} // namespace

TEST(ItemFileLetterCase, AnItemNamedInAnotherCaseLoadsIsStoredThereAndSavedByItsDiskName) {
  TempDir t;
  Item(t, "root.txt", "Project");
  Item(t, "item.txt", "Legacy");
  WriteTree(t, "ROOT.TXT", {"Item.TXT"});
  TProject p;
  TLoadReport r = p.Load(t.Dir());
  ASSERT_TRUE(r.RootLoaded);
  EXPECT_EQ(p.Root()->Text(), "Project");
  TProjectNode *legacy = fixture::Find(p, "Legacy");
  ASSERT_NE(legacy, nullptr);
  EXPECT_FALSE(legacy->Data()->Missing);
  EXPECT_TRUE(r.Missing.empty());
  EXPECT_EQ(legacy->Data()->Files.Body.Joined(), "text of Legacy");
  EXPECT_EQ(legacy->Data()->Files.FilePath, t.Dir() + "item.txt");

  // Stored into the file it came from, and the tree names that file now.
  legacy->Data()->Files.Body = TTextLines{"changed"};
  ASSERT_TRUE(Ok(legacy->Data()->Files.Save()));
  ASSERT_TRUE(Ok(p.Save()));
  EXPECT_NE(t.Read("item.txt").find("changed"), std::string::npos);
  EXPECT_EQ(Names(t),
            (std::vector<std::string>{"MainTree.dat", "MainTree.dat.ord", "item.txt", "root.txt"}));
  TProject again;
  ASSERT_TRUE(again.Load(t.Dir()).RootLoaded);
  EXPECT_EQ(fixture::Find(again, "Legacy")->Data()->Files.FilePath, t.Dir() + "item.txt");
  EXPECT_NE(t.Read("MainTree.dat").find("FileName=item.txt\r\n"), std::string::npos);
}

TEST(ItemFileLetterCase, TheExactNameWinsAndTwoSpellingsNeverShareOneFile) {
  TempDir t;
  Item(t, "root.txt", "Project");
  Item(t, "Note.txt", "Exact");
  Item(t, "note.txt", "Variant");
  Item(t, "other.txt", "Other");
  // "NOTE.TXT" has no exact file and would find one of the two variants;
  // "OTHER.txt" and "Other.TXT" both mean other.txt: the second is dropped
  // as a second name of a file already in the tree.
  WriteTree(t, "root.txt", {"Note.txt", "OTHER.txt", "Other.TXT"});
  TProject p;
  TLoadReport r = p.Load(t.Dir());
  ASSERT_TRUE(r.RootLoaded);
  EXPECT_EQ(p.Root()->Item(0)->Text(), "Exact");
  ASSERT_EQ(p.Root()->Count(), 2);
  EXPECT_EQ(p.Root()->Item(1)->Text(), "Other");
  ASSERT_EQ(r.Skipped.size(), 1u);
  EXPECT_EQ(r.Skipped[0].Why, TSkippedItem::SharedFile);
  EXPECT_EQ(r.Skipped[0].FileName, "Other.TXT");

  // The cleanup keeps what the tree uses; the case-only variant of an exact
  // name is a stray.
  TCleanupReport c = DeleteUnusedFiles(p);
  EXPECT_EQ(c.deleted, 1);
  EXPECT_EQ(Names(t),
            (std::vector<std::string>{"MainTree.dat", "Note.txt", "other.txt", "root.txt"}));
}

TEST(ItemFileLetterCase, AnExportFromTheTreeAloneFindsItemsInAnotherCase) {
  TempDir t;
  Item(t, "root.txt", "Project");
  Item(t, "item.txt", "Legacy");
  WriteTree(t, "Root.Txt", {"ITEM.TXT"});
  TRegIniFile settings(t.Path("settings.ini"));
  TProject full, treeOnly;
  treeOnly.Tree().LoadMode = TLoadMode::TreeOnly;
  ASSERT_TRUE(full.Load(t.Dir()).RootLoaded);
  ASSERT_TRUE(treeOnly.Load(t.Dir()).RootLoaded);
  TExportText a(settings), b(settings);
  fs::create_directories(t.Path("out"));
  ASSERT_TRUE(Ok(RunExport(a, full, nullptr, TExportMode::Text, t.Path("out/full.txt"))));
  ASSERT_TRUE(Ok(RunExport(b, treeOnly, nullptr, TExportMode::Text, t.Path("out/tree.txt"))));
  EXPECT_NE(t.Read("out/full.txt").find("text of Legacy"), std::string::npos);
  EXPECT_EQ(t.Read("out/tree.txt"), t.Read("out/full.txt"));
}

// An entry that names the tree file as its item file is no item: storing it
// would overwrite the tree, and saving the tree its text.
TEST(TreeFileAsItem, IsNeverLoadedAsAnItem) {
  TempDir t;
  fixture::WriteSample(t);
  std::string tree = t.Read("MainTree.dat");
  tree.replace(tree.find("FileName=b.txt"), 14, "FileName=maintree.DAT");
  t.Write("MainTree.dat", tree);
  TProject p;
  TLoadReport r = p.Load(t.Dir());
  ASSERT_TRUE(r.RootLoaded);
  EXPECT_EQ(fixture::Find(p, "B"), nullptr);
  ASSERT_EQ(r.Skipped.size(), 1u);
  EXPECT_EQ(r.Skipped[0].Why, TSkippedItem::SharedFile);

  tree.replace(tree.find("FileName=r.txt"), 14, "FileName=MainTree.dat");
  t.Write("MainTree.dat", tree);
  TProject q;
  EXPECT_FALSE(q.Load(t.Dir()).RootLoaded);
}
