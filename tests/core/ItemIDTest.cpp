#include "ProjectFixtures.h"
#include "TempDir.h"
#include "store/IniFile.h"
#include "store/ProjectTree.h"

#include <gtest/gtest.h>

using fixture::Item;
using fixture::Section;

namespace {

// A project whose root has one child per ID, each with an item file.
void WriteProject(const TempDir &t, const std::string &rootKeys,
                  std::initializer_list<std::string> ids) {
  Item(t, "r.txt", "R");
  std::string root = "[Root]\r\nFileName=r.txt\r\n" + rootKeys;
  std::string items;
  int n = 0;
  for (const std::string &id : ids) {
    ++n;
    root += "Child0" + std::to_string(n) + "=" + id + "\r\n";
    items += Section(id, {"FileName=" + std::to_string(n) + ".txt"});
    Item(t, std::to_string(n) + ".txt", id);
  }
  t.Write("MainTree.dat", root + items);
}

// The next ID of a loaded project, added to the tree as the editor does.
std::string AddNewItem(TProjectTree &tree) {
  TProjectNode *node = tree.AddChild(tree.RootNode(), "new");
  node->Data()->ID = tree.NextItemID();
  return node->Data()->ID;
}

} // namespace

TEST(ItemIDs, ANewIDIsNeverOneInUseWhateverLastIndexSays) {
  {
    // No LastIndex: it reads as 10, below the items already there.
    TempDir t;
    WriteProject(t, "", {"Root-C00010", "Root-C00011", "Root-C00012"});
    TProjectTree tree;
    ASSERT_TRUE(tree.LoadProject(t.Dir()));
    EXPECT_EQ(tree.WindowData.LastIndex, 10);
    EXPECT_EQ(AddNewItem(tree), "Root-C00013");
    EXPECT_EQ(AddNewItem(tree), "Root-C00014");
    // Saved and loaded again, every item is still there.
    ASSERT_TRUE(Ok(tree.SaveTreeFile(t.Dir() + "MainTree.dat")));
    EXPECT_EQ(TIniFile(t.Dir() + "MainTree.dat").ReadString("Root", "LastIndex", ""), "15");
  }
  {
    // A stale counter of 0 with Root-C00000 taken, and an ID written in
    // another case (the same section to the tree file).
    TempDir t;
    WriteProject(t, "LastIndex=0\r\n", {"Root-C00000", "root-c00003"});
    TProjectTree tree;
    ASSERT_TRUE(tree.LoadProject(t.Dir()));
    EXPECT_EQ(AddNewItem(tree), "Root-C00004");
    // A counter set back by hand after the load cannot bring an ID back either.
    tree.WindowData.LastIndex = 0;
    EXPECT_EQ(AddNewItem(tree), "Root-C00005");
    tree.WindowData.LastIndex = -7;
    EXPECT_EQ(AddNewItem(tree), "Root-C00006");
  }
  {
    // An ahead counter is kept: IDs of deleted items are not given again.
    TempDir t;
    WriteProject(t, "LastIndex=99999\r\n", {"Root-C00001"});
    TProjectTree tree;
    ASSERT_TRUE(tree.LoadProject(t.Dir()));
    EXPECT_EQ(AddNewItem(tree), "Root-C99999");
    EXPECT_EQ(AddNewItem(tree), "Root-C100000"); // six digits from here
  }
}

TEST(ItemIDs, TheCounterDoesNotWrapAt32Bits) {
  TempDir t;
  WriteProject(t, "LastIndex=2147483647\r\n", {"Root-C00000"});
  TProjectTree tree;
  ASSERT_TRUE(tree.LoadProject(t.Dir()));
  EXPECT_EQ(AddNewItem(tree), "Root-C2147483647");
  EXPECT_EQ(AddNewItem(tree), "Root-C2147483648");
  ASSERT_TRUE(Ok(tree.SaveTreeFile(t.Dir() + "MainTree.dat")));
  EXPECT_EQ(TIniFile(t.Dir() + "MainTree.dat").ReadString("Root", "LastIndex", ""), "2147483649");
  TProjectTree again;
  ASSERT_TRUE(again.LoadProject(t.Dir()));
  EXPECT_EQ(again.WindowData.LastIndex, 2147483649);
  EXPECT_EQ(AddNewItem(again), "Root-C2147483649");

  // An ID that holds the largest number leaves nothing above it: the lowest
  // free number is taken, still never one in use.
  TempDir full;
  WriteProject(full, "", {"Root-C9223372036854775807", "Root-C00000", "Root-C00001"});
  TProjectTree top;
  ASSERT_TRUE(top.LoadProject(full.Dir()));
  EXPECT_EQ(AddNewItem(top), "Root-C00002");
  // Numbers past 64 bits are not counters and do not stop the count.
  TempDir huge;
  WriteProject(huge, "LastIndex=5\r\n", {"Root-C99999999999999999999", "Root-C00007"});
  TProjectTree big;
  ASSERT_TRUE(big.LoadProject(huge.Dir()));
  EXPECT_EQ(AddNewItem(big), "Root-C00008");
}
