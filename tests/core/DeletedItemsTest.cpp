// Deleted items put back into the tree: what comes back keeps its text
// across saves and loads, whatever its file was called.
#include "store/DeletedItems.h"
#include "ProjectFixtures.h"
#include "TempDir.h"
#include "store/LibUnit.h"

#include <gtest/gtest.h>

using fixture::Find;

TEST(DeletedItems, NamesTheProgramGivesOtherFilesOrTheTreeCannotHoldComeBackRenamed) {
  // Only the last keeps its name.
  const std::pair<std::string, std::string> rows[] = {{"MainTree.dat.ord.exp", "Backup"},
                                                      {"MainTree.dat.new.exp", "Stopped"},
                                                      {"maintree.DAT.exp", "Tree"},
                                                      {"a.txt.tmp~.exp", "Stray"},
                                                      {"b.txt.tmp4242_7.exp", "Temp"},
                                                      {"c\nd.txt.exp", "LineFeed"},
                                                      {"e\rf.txt", "Return"},
                                                      {"g\x01h.txt.exp", "Control"},
                                                      {"plain.txt.exp", "Plain"}};
  TempDir t;
  fixture::WriteSample(t);
  for (const auto &[file, title] : rows)
    fixture::Item(t, file, title);
  TProject p;
  p.Load(t.Dir());
  const std::vector<TRestorable> listed = ListRestorable(p);
  ASSERT_EQ(listed.size(), std::size(rows));
  ASSERT_TRUE(Ok(RestoreItems(p, listed, p.Root()).failure));
  // Every item written again (A beside "a.txt.tmp~"), the tree saved twice
  // (its backup, its stopped save).
  for (TProjectNode *n = p.Tree().GetFirstNode(); n; n = n->GetNext())
    ASSERT_TRUE(Ok(n->Data()->Files.Save()));
  ASSERT_TRUE(Ok(p.Save()));
  p.SetModified(true);
  ASSERT_TRUE(Ok(p.Save()));
  TProject again;
  const TLoadReport load = again.Load(t.Dir());
  EXPECT_TRUE(load.Skipped.empty() && load.Missing.empty() && ListRestorable(again).empty());
  for (const auto &[file, title] : rows) {
    TProjectNode *n = Find(again, title);
    ASSERT_TRUE(n) << title;
    const std::string name = ExtractFileName(n->Data()->Files.FilePath);
    EXPECT_EQ(name == file.substr(0, name.size()), title == "Plain") << name;
    EXPECT_NE(t.Read(name).find("\r\ntext of " + title + "\r\n"), std::string::npos) << title;
  }
}
