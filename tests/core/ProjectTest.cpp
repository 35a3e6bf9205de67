// The project object: what a load reports, when the project counts as
// changed, the item rules, the files it needs, and copying subtrees.
#include "store/Project.h"
#include "ProjectFixtures.h"
#include "TempDir.h"
#include "store/Codec.h"
#include "store/FileSystem.h"
#include "store/LibUnit.h"
#include "support/ScopedHooks.h"
#include "support/TreeOutline.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

using fixture::At;
using fixture::Find;

TEST(Project, LoadReportsWhatItMetAndStartsUnchanged) {
  TempDir t;
  fixture::WriteSample(t);
  fixture::Item(t, "a2.txt", "A2", "Line:x\r\n");
  std::remove(t.Path("b.txt").c_str());
  ASSERT_TRUE(TProject::IsProjectDirectory(t.Dir()));
  EXPECT_FALSE(TProject::IsProjectDirectory(t.Dir() + "nowhere"));
  EXPECT_EQ(TProject::TreeFilePath(t.Path("x")), t.Path("x") + "/MainTree.dat");

  TProject p;
  TLoadReport r = p.Load(t.Dir());
  EXPECT_TRUE(r.RootLoaded);
  EXPECT_EQ(p.Dir(), t.Dir());
  EXPECT_EQ(p.Title(), "Project");
  ASSERT_EQ(r.HeaderWarnings.size(), 1u);
  EXPECT_NE(r.HeaderWarnings[0].find("a2.txt"), std::string::npos);
  ASSERT_EQ(r.Missing.size(), 1u);
  EXPECT_EQ(r.Missing[0]->Data()->ListedFileName, "b.txt");
  EXPECT_FALSE(p.Modified());
  EXPECT_FALSE(p.Locked());

  TProject empty;
  EXPECT_FALSE(empty.Load(t.Dir() + "nowhere").RootLoaded);
}

TEST(Project, ChangesOfTheTreeFileMarkItAndASaveClearsIt) {
  TempDir t;
  fixture::WriteSample(t);
  TProject p;
  p.Load(t.Dir());
  TProjectTree &tree = p.Tree();
  // The marks live in the item files: redrawing an icon changes nothing.
  tree.NotifyDataChanged(Find(p, "A"));
  EXPECT_FALSE(p.Modified());
  struct Step {
    const char *what;
    std::function<void()> change;
  };
  const Step steps[] = {
      {"label", [&] { tree.SetText(Find(p, "B"), "B2"); }},
      {"open state", [&] { tree.SetExpanded(Find(p, "A"), false); }},
      {"move", [&] { tree.MoveTo(Find(p, "B2"), Find(p, "A"), TNodeAttachMode::Insert); }},
      {"insert", [&] { tree.AddChild(Find(p, "A"), "new"); }},
      {"delete", [&] { tree.Delete(Find(p, "new")); }},
  };
  for (const Step &s : steps) {
    SCOPED_TRACE(s.what);
    ASSERT_TRUE(Ok(p.Save())) << s.what;
    EXPECT_FALSE(p.Modified()) << s.what;
    s.change();
    EXPECT_TRUE(p.Modified()) << s.what;
  }
  ASSERT_TRUE(Ok(p.Save()));
  TProject again;
  again.Load(t.Dir());
  // Labels come back from the item files, which the editor writes.
  EXPECT_EQ(outline::Print(again.Tree()), "Project(B A+(A1 A2))");
}

TEST(Project, ASaveThatFailsKeepsTheChangeAndSaysWhy) {
  TempDir t;
  fixture::WriteSample(t);
  TProject p;
  p.Load(t.Dir());
  p.Tree().SetText(Find(p, "B"), "B2");
  fsys::Entry e;
  ASSERT_TRUE(Ok(fsys::Stat(t.Path("MainTree.dat"), e)));
  ASSERT_EQ(chmod(t.Path("MainTree.dat").c_str(), 0444), 0);
  fsys::Status s = p.Save();
  EXPECT_FALSE(s);
  EXPECT_TRUE(p.Modified());
  EXPECT_EQ(s.code, EACCES);
  EXPECT_EQ(s.path, t.Path("MainTree.dat"));
}

TEST(Project, NewItemsGetFreshIdsAndFilesNamedByTheirMoment) {
  TempDir t;
  fixture::WriteSample(t);
  support::ScopedClock clock(At(2026, 12, 8, 9, 30, 5));
  TProject p;
  p.Load(t.Dir());
  t.Write("202612080930050.txt", "taken");
  TNodeData data;
  p.InitItem(data);
  EXPECT_EQ(data.ID, "Root-C00004");
  EXPECT_EQ(data.Files.FilePath, t.Dir() + "202612080930051.txt");
  EXPECT_EQ(data.Files.FirstEdition, At(2026, 12, 8, 9, 30, 5));
  EXPECT_FALSE(data.Files.ToDo || data.Files.Completion);
  EXPECT_EQ(p.NextItemID(), "Root-C00005");

  // A deleted item's file is kept as ".exp", never over an older one, once
  // the saved tree no longer names it.
  TProjectNode *a1 = Find(p, "A1");
  ASSERT_TRUE(p.RetireItemFile(a1));
  p.Tree().Delete(a1);
  t.Write("a2.txt.exp", "older");
  EXPECT_FALSE(p.RetireItemFile(Find(p, "A2")));
  EXPECT_TRUE(fsys::FileExists(t.Path("a1.txt"))); // the saved tree still names it
  ASSERT_TRUE(Ok(p.Save()));
  EXPECT_FALSE(fsys::FileExists(t.Path("a1.txt")));
  EXPECT_EQ(t.Read("a1.txt.exp").substr(0, 9), "Title:A1\r");
  EXPECT_EQ(t.Read("a2.txt.exp"), "older");
  EXPECT_TRUE(fsys::FileExists(t.Path("a2.txt")));

  // A delete never saved (the window closed with "No") leaves the saved
  // project whole, the item with its text.
  TProjectNode *b = Find(p, "B");
  ASSERT_TRUE(p.RetireItemFile(b));
  p.Tree().Delete(b);
  TProject reopened;
  TLoadReport r = reopened.Load(t.Dir());
  EXPECT_TRUE(r.Missing.empty());
  ASSERT_NE(Find(reopened, "B"), nullptr);
  EXPECT_EQ(std::string(Find(reopened, "B")->Data()->Files.Body.Joined()).substr(0, 9),
            "text of B");
}

TEST(Project, TheFilesItNeedsIncludeItemsThatCouldNotBeRead) {
  TempDir t;
  fixture::WriteSample(t);
  std::remove(t.Path("a2.txt").c_str());
  TProject p;
  p.Load(t.Dir());
  EXPECT_EQ(p.CollectItemFiles(),
            (std::set<std::string>{"MainTree.dat", "MainTree.dat.ord", "r.txt", "a.txt", "a1.txt",
                                   "a2.txt", "b.txt"}));
}

TEST(Project, ASubtreeCopyGetsFreshIdsAndFilesWithTheSameContent) {
  TempDir t;
  fixture::WriteSample(t);
  TProject p;
  p.Load(t.Dir());
  const std::string before = t.Read("a1.txt");
  fsys::Status ok;
  // Into its own subtree: the copy takes the subtree as it was.
  TProjectNode *copy = p.CopySubtree(Find(p, "A"), Find(p, "A1"), ok);
  ASSERT_TRUE(Ok(ok));
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(outline::Print(p.Tree()), "Project(A(A1+(A(A1 A2)) A2) B)");
  EXPECT_TRUE(p.Modified());
  std::set<std::string> ids, files;
  for (TProjectNode *n = p.Tree().GetFirstNode(); n; n = n->GetNext()) {
    ids.insert(n->Data()->ID);
    files.insert(n->Data()->Files.FilePath);
  }
  EXPECT_EQ(ids.size(), 8u);
  EXPECT_EQ(files.size(), 8u);
  TProjectNode *copiedA1 = copy->GetFirstChild();
  EXPECT_TRUE(copiedA1->Data()->Files.ToDo);
  TNodeFiles reread;
  reread.FilePath = copiedA1->Data()->Files.FilePath;
  ASSERT_TRUE(Ok(reread.Open(true)));
  EXPECT_EQ(reread.Title, "A1");
  EXPECT_TRUE(reread.ToDo);
  EXPECT_EQ(reread.Body, TStringList{"text of A1"});
  EXPECT_EQ(t.Read("a1.txt"), before);

  // From another project, leaving out an item whose file is gone.
  TempDir other;
  fixture::WriteSample(other);
  std::remove(other.Path("a1.txt").c_str());
  TProject source;
  source.Load(other.Dir());
  TProjectNode *fromOther = p.CopySubtree(Find(source, "A"), Find(p, "B"), ok);
  ASSERT_TRUE(Ok(ok));
  EXPECT_EQ(outline::Print(p.Tree()), "Project(A(A1+(A(A1 A2)) A2) B+(A(A2)))");
  EXPECT_EQ(ExtractFilePath(fromOther->Data()->Files.FilePath), t.Dir());
  EXPECT_EQ(p.CopySubtree(Find(source, "A1"), p.Root(), ok), nullptr);
}

TEST(Project, TheFirstTreeOfANewProject) {
  TempDir t;
  support::ScopedClock clock(At(2026, 12, 8, 10, 0, 0));
  TProject p;
  ASSERT_TRUE(Ok(p.CreateFirstTree(t.Dir(), "Plan", "rovo")));
  EXPECT_TRUE(p.Modified());
  EXPECT_EQ(p.Tree().Selected(), p.Root());
  TProject again;
  ASSERT_TRUE(again.Load(t.Dir()).RootLoaded);
  EXPECT_EQ(outline::Print(again.Tree()), "Plan(" + cp932::FromUtf8("新しいアイテム").bytes + ")");
  EXPECT_EQ(again.Root()->Data()->Files.FilePath, t.Dir() + "202612081000000.txt");
  EXPECT_EQ(again.Root()->Data()->Files.Author, "rovo");
  EXPECT_EQ(again.Root()->GetFirstChild()->Data()->ID, "Root-C00000");
  EXPECT_EQ(again.WindowData().LastIndex, 1);

  TProject failed;
  fsys::Status failure = failed.CreateFirstTree(t.Dir() + "missing/", "Plan", "rovo");
  EXPECT_FALSE(failure);
  EXPECT_EQ(failure.code, ENOENT);
}
