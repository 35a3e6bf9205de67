// The cleanup over real directories: what goes, and above all what stays.
#include "store/Cleanup.h"
#include "ProjectFixtures.h"
#include "TempDir.h"
#include "store/FileSystem.h"
#include "store/Project.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using fixture::Find;

TEST(Cleanup, DeletesWhatTheProjectDoesNotName) {
  TempDir t;
  fixture::WriteSample(t);
  fixture::Item(t, "a1.txt", "A1", "AttachFile:pic.png\r\nAttachFile:/elsewhere/x.odt\r\n");
  t.Write("pic.png", "kept attachment");
  t.Write("README", "no dot: never touched");
  TProject p;
  p.Load(t.Dir());
  EXPECT_EQ(DeleteUnusedFiles(p).deleted, 0);

  // After a save the backup goes.
  ASSERT_TRUE(Ok(p.Save()));
  EXPECT_EQ(DeleteUnusedFiles(p).deleted, 1);
  EXPECT_FALSE(fsys::Exists(t.Path("MainTree.dat.ord")));
  TProjectNode *a = Find(p, "A");
  ASSERT_TRUE(p.RetireItemFile(a));
  p.Tree().Delete(a);
  ASSERT_TRUE(Ok(p.Save()));
  // The retired file, the two children's files, the attachment only A1
  // named, and the new backup.
  EXPECT_EQ(DeleteUnusedFiles(p).deleted, 5);
  for (const char *gone : {"a.txt.exp", "a1.txt", "a2.txt", "pic.png", "MainTree.dat.ord"})
    EXPECT_FALSE(fsys::Exists(t.Path(gone))) << gone;
  for (const char *stays : {"MainTree.dat", "r.txt", "b.txt", "README"})
    EXPECT_TRUE(fsys::Exists(t.Path(stays))) << stays;
}

TEST(Cleanup, KeepsEveryFileAnItemNamesHoweverSpelt) {
  TempDir t;
  TempDir outside;
  fixture::WriteSample(t);
  outside.Write("target.txt", "outside");
  // An attachment spelt "./", one reached through a link, a link kept by name.
  fixture::Item(t, "a1.txt", "A1",
                "AttachFile:" + t.Dir() + "./pic.png\r\nAttachFile:link.txt\r\n");
  t.Write("pic.png", "p");
  ASSERT_EQ(symlink(outside.Path("target.txt").c_str(), t.Path("link.txt").c_str()), 0);
  ASSERT_EQ(symlink(outside.Path("target.txt").c_str(), t.Path("stray-link.txt").c_str()), 0);
  ASSERT_EQ(mkfifo(t.Path("pipe.fifo").c_str(), 0644), 0);
  mkdir(t.Path("sub.dir").c_str(), 0755);
  t.Write("sub.dir/inner.txt", "never touched");
  // A tree from a case-insensitive file system: "B.TXT" names b.txt.
  TProject p;
  p.Load(t.Dir());
  std::rename(t.Path("b.txt").c_str(), t.Path("B.txt").c_str());
  Find(p, "B")->Data()->Files.FilePath = t.Dir() + "b.TXT";
  // An exact match wins over a case variant, which is a stray.
  t.Write("R.TXT", "case variant of r.txt");

  const TCleanupReport r = DeleteUnusedFiles(p);
  EXPECT_TRUE(r.failures.empty());
  for (const char *stays : {"pic.png", "link.txt", "B.txt", "r.txt", "sub.dir/inner.txt"})
    EXPECT_TRUE(fsys::Exists(t.Path(stays)) || access(t.Path(stays).c_str(), F_OK) == 0) << stays;
  struct stat st;
  EXPECT_NE(lstat(t.Path("stray-link.txt").c_str(), &st), 0); // the link went...
  EXPECT_EQ(outside.Read("target.txt"), "outside");           // ...not its target
  EXPECT_NE(lstat(t.Path("pipe.fifo").c_str(), &st), 0);      // removed without opening
  EXPECT_FALSE(fsys::Exists(t.Path("R.TXT")));
  EXPECT_EQ(r.deleted, 3);
}

// An item the load could not read may still name attachments: its header is
// read where its file is there, and while one cannot be read nothing goes.
TEST(Cleanup, NeverDeletesWhatAnUnreadItemMayName) {
  const struct {
    const char *name, *from, *to; // a change to the tree file, or "" to move a2.txt away
  } rows[] = {{"name with a directory part", "FileName=a2.txt", "FileName=./a2.txt"},
              {"section no child list reaches", "Child02=Root-C00002", "Child09=Root-C00002"},
              {"file away for a moment", "", ""}};
  for (const auto &row : rows) {
    SCOPED_TRACE(row.name);
    TempDir t;
    fixture::WriteSample(t);
    fixture::Item(t, "a2.txt", "A2", "AttachFile:keep.bin\r\n");
    t.Write("keep.bin", "named by A2 only");
    t.Write("stray.bin", "named by nobody");
    std::string tree = t.Read("MainTree.dat");
    const bool away = !*row.from;
    if (away)
      std::rename(t.Path("a2.txt").c_str(), t.Path("away").c_str());
    else
      t.Write("MainTree.dat", tree.replace(tree.find(row.from), strlen(row.from), row.to));
    TProject p;
    p.Load(t.Dir());
    const TCleanupReport r = DeleteUnusedFiles(p);
    EXPECT_EQ(r.deleted, away ? 0 : 1);
    EXPECT_EQ(r.unreadable, away ? std::vector<std::string>{"a2.txt"} : std::vector<std::string>{});
    EXPECT_TRUE(fsys::Exists(t.Path("keep.bin")));
    EXPECT_EQ(fsys::Exists(t.Path("stray.bin")), away);
  }
}
