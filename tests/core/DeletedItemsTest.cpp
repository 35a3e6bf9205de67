// Deleted items put back into the tree: what comes back keeps its text
// across saves and loads, whatever its file was called.
#include "store/DeletedItems.h"
#include "ProjectFixtures.h"
#include "TempDir.h"
#include "store/LibUnit.h"

#include <gtest/gtest.h>

using fixture::Find;

TEST(DeletedItems, NamesTheProgramGivesOtherFilesOrTheTreeCannotHoldComeBackRenamed) {
  struct Row {
    const char *file, *title;
    bool keepsName;
  };
  const Row rows[] = {
      {"MainTree.dat.ord.exp", "Backup", false},
      {"MainTree.dat.new.exp", "Stopped", false},
      {"maintree.DAT.exp", "Tree", false},
      {"a.txt.tmp~.exp", "Stray", false},
      {"b.txt.tmp4242_7.exp", "Temporary", false},
      {"c\nd.txt.exp", "LineFeed", false},
      {"e\rf.txt", "Return", false},
      {"g\x01h.txt.exp", "Control", false},
      {"plain.txt.exp", "Plain", true},
  };
  TempDir t;
  fixture::WriteSample(t);
  for (const Row &r : rows)
    fixture::Item(t, r.file, r.title);
  TProject p;
  ASSERT_TRUE(p.Load(t.Dir()).RootLoaded);
  const std::vector<TRestorable> listed = ListRestorable(p);
  ASSERT_EQ(listed.size(), std::size(rows));
  const TRestoreReport report = RestoreItems(p, listed, p.Root());
  ASSERT_TRUE(Ok(report.failure));
  // Every item written again (the store of each, and of A beside "a.txt.tmp~"),
  // the tree saved twice (its backup, its stopped save).
  for (TProjectNode *n = p.Tree().GetFirstNode(); n; n = n->GetNext())
    ASSERT_TRUE(Ok(n->Data()->Files.Save()));
  ASSERT_TRUE(Ok(p.Save()));
  p.Tree().SetText(Find(p, "B"), "B");
  p.SetModified(true);
  ASSERT_TRUE(Ok(p.Save()));
  TProject again;
  const TLoadReport load = again.Load(t.Dir());
  EXPECT_TRUE(load.Skipped.empty() && load.Missing.empty());
  for (const Row &r : rows) {
    SCOPED_TRACE(r.title);
    TProjectNode *n = Find(again, r.title);
    ASSERT_TRUE(n);
    const std::string name = ExtractFileName(n->Data()->Files.FilePath);
    EXPECT_EQ(name == std::string(r.file).substr(0, name.size()), r.keepsName) << name;
    EXPECT_NE(t.Read(name).find("\r\ntext of " + std::string(r.title) + "\r\n"), std::string::npos);
  }
  EXPECT_TRUE(ListRestorable(again).empty());
}
