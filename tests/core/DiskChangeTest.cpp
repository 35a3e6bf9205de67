// Files written by someone else between the program's read and its write: a
// sync client, a second editor, a text editor on an item file.
#include "ProjectFixtures.h"
#include "TempDir.h"
#include "store/FileSystem.h"
#include "store/NodeFiles.h"
#include "store/Project.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

using fsys::DiskChange;

// Sets the file's modification time back to what `from` recorded.
void SetMtime(const std::string &path, const fsys::Stamp &from) {
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_sec = from.mtimeNs / 1000000000;
  times[1].tv_nsec = from.mtimeNs % 1000000000;
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

// Writes `bytes` as another program that writes a new file and renames it
// over the old one would.
void ReplaceByRename(const TempDir &t, const std::string &name, const std::string &bytes) {
  t.Write(name + ".other", bytes);
  ASSERT_EQ(std::rename(t.Path(name + ".other").c_str(), t.Path(name).c_str()), 0);
}

fsys::Stamp Read(const std::string &path) {
  std::string bytes;
  fsys::Stamp s;
  EXPECT_TRUE(Ok(fsys::ReadFile(path, bytes, &s)));
  return s;
}

TEST(DiskChange, EveryKindOfChangeIsSeen) {
  TempDir t;
  const std::string p = t.Path("a.txt");
  t.Write("a.txt", "Title:A\r\n\r\nfirst\r\n");

  fsys::Stamp s = Read(p);
  EXPECT_EQ(fsys::CheckStamp(p, s), DiskChange::None);

  t.Write("a.txt", "Title:A\r\n\r\nfirst and more\r\n");
  EXPECT_EQ(fsys::CheckStamp(p, s), DiskChange::Changed) << "other size";

  s = Read(p);
  t.Write("a.txt", "Title:A\r\n\r\nFIRST AND MORE\r\n");
  EXPECT_EQ(fsys::CheckStamp(p, s), DiskChange::Changed) << "same size, new time";

  s = Read(p);
  t.Write("a.txt", "Title:A\r\n\r\nfirst and MORE\r\n");
  SetMtime(p, s);
  EXPECT_EQ(fsys::CheckStamp(p, s), DiskChange::Changed) << "same size and time, new bytes";

  s = Read(p);
  ReplaceByRename(t, "a.txt", "Title:A\r\n\r\nfirst and most\r\n");
  EXPECT_EQ(fsys::CheckStamp(p, s), DiskChange::Changed) << "renamed over, same size";

  s = Read(p);
  std::remove(p.c_str());
  EXPECT_EQ(fsys::CheckStamp(p, s), DiskChange::Gone);

  fsys::Stamp absent = fsys::AbsentStamp();
  EXPECT_EQ(fsys::CheckStamp(p, absent), DiskChange::None);
  t.Write("a.txt", "x");
  EXPECT_EQ(fsys::CheckStamp(p, absent), DiskChange::Changed) << "a file where there was none";

  fsys::Stamp unknown;
  EXPECT_EQ(fsys::CheckStamp(p, unknown), DiskChange::None) << "nothing recorded, nothing to say";
}

TEST(DiskChange, SameBytesUnderNewTimesOrInodeIsNoChange) {
  TempDir t;
  const std::string p = t.Path("a.txt");
  const std::string bytes = "Title:A\r\n\r\nsame\r\n";
  t.Write("a.txt", bytes);
  fsys::Stamp s = Read(p);

  // A touch, and a sync client that downloads the same file again.
  ASSERT_EQ(::utimensat(AT_FDCWD, p.c_str(), nullptr, 0), 0);
  EXPECT_EQ(fsys::CheckStamp(p, s), DiskChange::None);
  ReplaceByRename(t, "a.txt", bytes);
  EXPECT_EQ(fsys::CheckStamp(p, s), DiskChange::None);
  struct stat st;
  ASSERT_EQ(::stat(p.c_str(), &st), 0);
  EXPECT_EQ(s.inode, static_cast<uint64_t>(st.st_ino)) << "the stamp follows the new file";
  EXPECT_EQ(fsys::CheckStamp(p, s), DiskChange::None);
}

TEST(DiskChange, OwnWritesRaiseNoAlarm) {
  TempDir t;
  TNodeFiles f;
  f.FilePath = t.Path("a.txt");
  f.Title = "A";
  f.Body = {"one"};
  ASSERT_TRUE(Ok(f.Save())); // a new file: nothing to compare with
  EXPECT_EQ(f.CheckDisk(), DiskChange::None);
  f.Body = {"one", "two"};
  EXPECT_TRUE(Ok(f.Save())) << "the second save expects the first one's file";
  f.Body = {"one", "TWO"};
  EXPECT_TRUE(Ok(f.Save())) << "same size, within the same clock tick";
  EXPECT_EQ(f.CheckDisk(), DiskChange::None);

  TNodeFiles g;
  g.FilePath = f.FilePath;
  ASSERT_TRUE(Ok(g.Open(true)));
  g.Body.push_back("three");
  EXPECT_TRUE(Ok(g.Save())) << "a read, then a write";

  // The tree file: a load, two saves (the second one links the first one's
  // file as the backup), a load again.
  fixture::WriteSample(t);
  TProject project;
  project.Load(t.Dir());
  ASSERT_NE(project.Tree().RootNode(), nullptr);
  EXPECT_TRUE(Ok(project.Save()));
  EXPECT_EQ(project.Tree().CheckTreeFile(), DiskChange::None);
  EXPECT_TRUE(Ok(project.Save()));
  EXPECT_TRUE(Ok(project.Save()));
  project.Load(t.Dir());
  EXPECT_TRUE(Ok(project.Save()));
  EXPECT_TRUE(Ok(project.Tree().RootNode()->Data()->Files.Save()));
}

TEST(DiskChange, AnItemChangedOnDiskIsNotOverwrittenUnasked) {
  TempDir t;
  t.Write("a.txt", "Title:A\r\n\r\nmine\r\n");
  TNodeFiles f;
  f.FilePath = t.Path("a.txt");
  ASSERT_TRUE(Ok(f.Open(true)));
  const std::string theirs = "Title:A\r\n\r\ntheirs, written elsewhere\r\n";
  t.Write("a.txt", theirs);

  f.Body = {"mine, edited"};
  fsys::Status s = f.Save();
  EXPECT_EQ(s.code, fsys::kChangedOnDisk);
  EXPECT_EQ(s.path, f.FilePath);
  EXPECT_EQ(t.Read("a.txt"), theirs);
  EXPECT_EQ(f.Save().code, fsys::kChangedOnDisk) << "asked again until told";

  ASSERT_TRUE(Ok(f.Save(TNodeFiles::Overwrite::Always)));
  EXPECT_NE(t.Read("a.txt").find("mine, edited"), std::string::npos);
  EXPECT_TRUE(Ok(f.Save())) << "overwritten: the file is ours again";

  std::remove(f.FilePath.c_str());
  EXPECT_EQ(f.Save().code, fsys::kGoneFromDisk);
  EXPECT_FALSE(fsys::Exists(f.FilePath)) << "a deleted item file is not made again unasked";
}

TEST(DiskChange, ATreeFileChangedOnDiskIsNotOverwrittenUnasked) {
  TempDir t;
  fixture::WriteSample(t);
  TProject project;
  project.Load(t.Dir());
  ASSERT_NE(project.Tree().RootNode(), nullptr);
  ASSERT_TRUE(Ok(project.Save()));
  const std::string backup = t.Read("MainTree.dat.ord");

  // Another editor adds an item to the same project.
  std::string theirs = t.Read("MainTree.dat") + "\r\n; from the other machine\r\n";
  t.Write("MainTree.dat", theirs);
  EXPECT_EQ(project.Tree().CheckTreeFile(), DiskChange::Changed);
  project.Tree().AddChild(project.Tree().RootNode(), "C");
  fsys::Status s = project.Save();
  EXPECT_EQ(s.code, fsys::kChangedOnDisk);
  EXPECT_EQ(s.path, t.Path("MainTree.dat"));
  EXPECT_EQ(t.Read("MainTree.dat"), theirs);
  EXPECT_EQ(t.Read("MainTree.dat.ord"), backup) << "not even the backup is touched";
  EXPECT_FALSE(fsys::Exists(t.Path("MainTree.dat.new")));
  EXPECT_TRUE(project.Modified());

  ASSERT_TRUE(Ok(project.Save(TProjectTree::TreeOverwrite::Always)));
  EXPECT_EQ(t.Read("MainTree.dat.ord"), theirs) << "the overwritten version is the backup";
  EXPECT_TRUE(Ok(project.Save()));

  std::remove(t.Path("MainTree.dat").c_str());
  EXPECT_EQ(project.Save().code, fsys::kGoneFromDisk);
  EXPECT_FALSE(fsys::Exists(t.Path("MainTree.dat")));

  // A project whose tree file appears after it was opened empty.
  TempDir empty;
  TProject fresh;
  fresh.Load(empty.Dir());
  fixture::WriteSample(empty);
  EXPECT_EQ(fresh.Tree().CheckTreeFile(), DiskChange::Changed);
}

} // namespace
