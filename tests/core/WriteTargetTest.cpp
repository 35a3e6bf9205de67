// What a write replaces: the mode and owner of the old file, read-only files
// and symbolic links in and out of a project.
#include "ProjectFixtures.h"
#include "TempDir.h"
#include "store/FileSystem.h"
#include "store/NodeFiles.h"
#include "store/ProjectTree.h"

#include <cerrno>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

mode_t ModeOf(const std::string &path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

bool OnlyNames(const TempDir &t, std::vector<std::string> expected) {
  std::vector<std::string> names;
  for (const auto &e : fs::directory_iterator(t.Dir()))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  std::sort(expected.begin(), expected.end());
  return names == expected;
}

} // namespace

TEST(WriteTarget, AWriteKeepsModeAndOwnerAndRefusesAReadOnlyFile) {
  TempDir t;
  t.Write("private.txt", "old");
  ::chmod(t.Path("private.txt").c_str(), 0600);
  ASSERT_TRUE(Ok(fsys::WriteFile(t.Path("private.txt"), "new")));
  EXPECT_EQ(ModeOf(t.Path("private.txt")), 0600u);
  EXPECT_EQ(t.Read("private.txt"), "new");

  // Read-only by its mode: refused even for root, who could write it.
  t.Write("locked.txt", "keep");
  ::chmod(t.Path("locked.txt").c_str(), 0444);
  fsys::Status s = fsys::WriteFile(t.Path("locked.txt"), "lost");
  EXPECT_FALSE(s);
  EXPECT_EQ(s.code, EACCES);
  EXPECT_EQ(s.path, t.Path("locked.txt"));
  s = fsys::CopyFile(t.Path("private.txt"), t.Path("locked.txt"), false);
  EXPECT_FALSE(s);
  EXPECT_EQ(s.code, EACCES);
  EXPECT_EQ(t.Read("locked.txt"), "keep");
  EXPECT_EQ(ModeOf(t.Path("locked.txt")), 0444u);
  // A copy over a writable file takes that file's mode too.
  t.Write("copy.txt", "x");
  ::chmod(t.Path("copy.txt").c_str(), 0640);
  ASSERT_TRUE(Ok(fsys::CopyFile(t.Path("private.txt"), t.Path("copy.txt"), false)));
  EXPECT_EQ(ModeOf(t.Path("copy.txt")), 0640u);
  EXPECT_TRUE(OnlyNames(t, {"private.txt", "locked.txt", "copy.txt"}));

  if (::geteuid() == 0) { // only root can give a file to someone else
    ASSERT_EQ(::chown(t.Path("private.txt").c_str(), 4321, 4322), 0);
    ASSERT_TRUE(Ok(fsys::WriteFile(t.Path("private.txt"), "theirs")));
    struct stat st;
    ASSERT_EQ(::stat(t.Path("private.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 4321u);
    EXPECT_EQ(st.st_gid, 4322u);
  }
}

TEST(WriteTarget, TheTreeFileKeepsItsModeAndAReadOnlyOneIsNotReplaced) {
  TempDir t;
  fixture::WriteSample(t);
  ::chmod(t.Path("MainTree.dat").c_str(), 0600);
  TProjectTree tree;
  ASSERT_TRUE(tree.LoadProject(t.Dir()));
  ASSERT_EQ(tree.SaveTreeFile(t.Dir() + "MainTree.dat").Text(), "ok");
  EXPECT_EQ(ModeOf(t.Path("MainTree.dat")), 0600u);
  EXPECT_EQ(ModeOf(t.Path("MainTree.dat.ord")), 0600u);

  ::chmod(t.Path("MainTree.dat").c_str(), 0400);
  const std::string before = t.Read("MainTree.dat");
  tree.SetText(tree.RootNode()->GetFirstChild(), "renamed");
  tree.Delete(tree.RootNode()->GetLastChild());
  EXPECT_EQ(tree.SaveTreeFile(t.Dir() + "MainTree.dat").code, EACCES);
  EXPECT_EQ(t.Read("MainTree.dat"), before);
  EXPECT_FALSE(fs::exists(t.Path("MainTree.dat.new")));

  // A read-only item file is not written either.
  ::chmod(t.Path("a.txt").c_str(), 0444);
  TNodeFiles item;
  item.FilePath = t.Dir() + "a.txt";
  ASSERT_TRUE(Ok(item.Open(true)));
  item.Title = "changed";
  const std::string a = t.Read("a.txt");
  EXPECT_EQ(item.Save().code, EACCES);
  EXPECT_EQ(t.Read("a.txt"), a);
}

TEST(WriteTarget, LinksInsideTheProjectAreWrittenThroughAndLinksOutOfItNever) {
  TempDir t, elsewhere;
  fixture::WriteSample(t);
  elsewhere.Write("mine.txt", "the user's own file");
  fs::create_directory(t.Path("store"));
  // An item file and the tree file as links to files inside the project.
  fs::rename(t.Path("a.txt"), t.Path("store/a.txt"));
  fs::create_symlink("store/a.txt", t.Path("a.txt"));
  fs::rename(t.Path("MainTree.dat"), t.Path("store/tree.dat"));
  fs::create_symlink(t.Path("store/tree.dat"), t.Path("MainTree.dat"));
  // And one item file that leads out of the project.
  fs::remove(t.Path("b.txt"));
  fs::create_symlink(elsewhere.Path("mine.txt"), t.Path("b.txt"));

  TProjectTree tree;
  ASSERT_TRUE(tree.LoadProject(t.Dir()));
  TProjectNode *a = tree.RootNode()->GetFirstChild();
  TProjectNode *b = tree.RootNode()->GetLastChild();
  a->Data()->Files.Title = "A through the link";
  ASSERT_TRUE(Ok(a->Data()->Files.Save()));
  EXPECT_TRUE(fs::is_symlink(t.Path("a.txt")));
  EXPECT_NE(t.Read("store/a.txt").find("Title:A through the link\r\n"), std::string::npos);

  b->Data()->Files.Title = "never";
  EXPECT_EQ(b->Data()->Files.Save().code, fsys::kLinkLeavesFolder);
  EXPECT_EQ(elsewhere.Read("mine.txt"), "the user's own file");
  EXPECT_TRUE(fs::is_symlink(t.Path("b.txt")));

  const std::string before = t.Read("store/tree.dat");
  tree.SetExpanded(a, false);
  ASSERT_EQ(tree.SaveTreeFile(t.Dir() + "MainTree.dat").Text(), "ok");
  EXPECT_TRUE(fs::is_symlink(t.Path("MainTree.dat")));
  EXPECT_NE(t.Read("store/tree.dat"), before);
  // The previous version is a file of its own, not a second link.
  EXPECT_FALSE(fs::is_symlink(t.Path("MainTree.dat.ord")));
  EXPECT_EQ(t.Read("MainTree.dat.ord"), before);
  EXPECT_FALSE(fs::exists(t.Path("store/tree.dat.new")));

  // A tree file that leads out of the project is not written.
  elsewhere.Write("tree.dat", before);
  fs::remove(t.Path("MainTree.dat"));
  fs::create_symlink(elsewhere.Path("tree.dat"), t.Path("MainTree.dat"));
  EXPECT_EQ(tree.SaveTreeFile(t.Dir() + "MainTree.dat").code, fsys::kLinkLeavesFolder);
  EXPECT_EQ(elsewhere.Read("tree.dat"), before);
  EXPECT_TRUE(fs::is_symlink(t.Path("MainTree.dat")));

  // A link that leads nowhere is not turned into a file.
  fs::create_symlink(t.Path("store/none.txt"), t.Path("dangling.txt"));
  fsys::WriteOptions inProject;
  inProject.withinDir = t.Dir();
  EXPECT_FALSE(fsys::WriteFile(t.Path("dangling.txt"), "x", inProject));
  EXPECT_FALSE(fs::exists(t.Path("store/none.txt")));
  // Without a folder to stay in (a file the user chose) a link is followed.
  ASSERT_TRUE(Ok(fsys::WriteFile(t.Path("b.txt"), "exported")));
  EXPECT_EQ(elsewhere.Read("mine.txt"), "exported");
  EXPECT_TRUE(fs::is_symlink(t.Path("b.txt")));
}

TEST(WriteTarget, APiecewiseWriteShowsNothingUntilCommittedAndLeavesNothingWhenDropped) {
  TempDir t;
  t.Write("old.txt", "old");
  ::chmod(t.Path("old.txt").c_str(), 0640);
  {
    fsys::AtomicWriter w;
    ASSERT_TRUE(Ok(w.Open(t.Path("new.txt"))));
    ASSERT_TRUE(Ok(w.Append("piece 1,")));
    EXPECT_FALSE(fs::exists(t.Path("new.txt"))); // nothing named before the end
    ASSERT_TRUE(Ok(w.Append("piece 2")));
    fsys::AtomicWriter r;
    ASSERT_TRUE(Ok(r.Open(t.Path("old.txt"))));
    ASSERT_TRUE(Ok(r.Append("replaced")));
    EXPECT_EQ(t.Read("old.txt"), "old");
    ASSERT_TRUE(Ok(w.Commit()));
    ASSERT_TRUE(Ok(r.Commit()));
    EXPECT_FALSE(r.Commit()); // done: a second commit writes nothing
  }
  EXPECT_EQ(t.Read("new.txt"), "piece 1,piece 2");
  EXPECT_EQ(t.Read("old.txt"), "replaced");
  EXPECT_EQ(ModeOf(t.Path("old.txt")), 0640u);
  {
    // Dropped before the end, for a new and an existing target.
    fsys::AtomicWriter a, b;
    ASSERT_TRUE(Ok(a.Open(t.Path("dropped.txt"))));
    ASSERT_TRUE(Ok(a.Append("x")));
    ASSERT_TRUE(Ok(b.Open(t.Path("old.txt"))));
    ASSERT_TRUE(Ok(b.Append("y")));
  }
  EXPECT_TRUE(OnlyNames(t, {"new.txt", "old.txt"}));
  EXPECT_EQ(t.Read("old.txt"), "replaced");

  // A file made by someone else between the start and the end is replaced
  // whole, not refused and not left with a stray temporary file.
  fsys::AtomicWriter race;
  ASSERT_TRUE(Ok(race.Open(t.Path("raced.txt"))));
  ASSERT_TRUE(Ok(race.Append("ours")));
  t.Write("raced.txt", "theirs");
  ASSERT_TRUE(Ok(race.Commit()));
  EXPECT_EQ(t.Read("raced.txt"), "ours");
  EXPECT_TRUE(OnlyNames(t, {"new.txt", "old.txt", "raced.txt"}));
}
