#include "store/FileSystem.h"
#include "TempDir.h"
#include "store/Codec.h"
#include "store/FaultInjection.h"
#include "support/FileSizeLimit.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {
const std::string kJapaneseName = "\x93\xfa\x96\x7b.txt"; // 日本.txt
}

TEST(FileSystem, CP932PathsBecomeUtf8FileNamesAndBack) {
  TempDir t;
  ASSERT_TRUE(Ok(fsys::WriteFile(t.Dir() + kJapaneseName, "abc")));
  EXPECT_TRUE(std::filesystem::exists(t.Path("日本.txt")));
  std::vector<fsys::Entry> entries;
  ASSERT_TRUE(Ok(fsys::ListDirectory(t.Dir(), entries)));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, kJapaneseName);
  EXPECT_EQ(entries[0].size, 3u);
  std::string bytes;
  ASSERT_TRUE(Ok(fsys::ReadFile(t.Dir() + kJapaneseName, bytes)));
  EXPECT_EQ(bytes, "abc");
}

TEST(FileSystem, NamesCP932CannotHoldAreNotListed) {
  TempDir t;
  t.Write("emoji😀.txt", "x");
  t.Write("plain.txt", "x");
  std::vector<fsys::Entry> entries;
  ASSERT_TRUE(Ok(fsys::ListDirectory(t.Dir(), entries)));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, "plain.txt");
}

TEST(FileSystem, WriteReplacesWholeAndLeavesNoTemporaryFiles) {
  TempDir t;
  std::string p = t.Dir() + "a.txt";
  ASSERT_TRUE(Ok(fsys::WriteFile(p, std::string(100000, 'x'))));
  ASSERT_TRUE(Ok(fsys::WriteFile(p, "short")));
  EXPECT_EQ(t.Read("a.txt"), "short");
  std::vector<fsys::Entry> entries;
  ASSERT_TRUE(Ok(fsys::ListDirectory(t.Dir(), entries)));
  EXPECT_EQ(entries.size(), 1u);
}

TEST(FileSystem, AFolderWritesNewFilesByNameAndReplacesOthersAsWriteFileDoes) {
  TempDir t;
  t.Write("old.html", "old");
  ::chmod(t.Path("old.html").c_str(), 0600);
  fsys::Directory folder;
  ASSERT_TRUE(folder.Open(t.Dir()));
  {
    fsys::BatchWrites batch;
    EXPECT_TRUE(folder.WriteFile(kJapaneseName, "new"));
    EXPECT_TRUE(folder.WriteFile("old.html", "replaced"));
    EXPECT_TRUE(batch.Finish());
  }
  EXPECT_EQ(t.Read("日本.txt"), "new");
  EXPECT_EQ(t.Read("old.html"), "replaced");
  struct stat st;
  ASSERT_EQ(::stat(t.Path("old.html").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  std::vector<fsys::Entry> entries;
  ASSERT_TRUE(fsys::ListDirectory(t.Dir(), entries));
  EXPECT_EQ(entries.size(), 2u); // nothing temporary left
  EXPECT_EQ(folder.WriteFile("none/x.html", "x").code, ENOENT);
}

TEST(FileSystem, FailedWriteKeepsThePreviousFile) {
  // A file-size limit makes the write fail half way, even for root.
  TempDir t;
  std::string p = t.Dir() + "a.txt";
  ASSERT_TRUE(Ok(fsys::WriteFile(p, "old")));
  fsys::Status ok, copied;
  {
    FileSizeLimit limit(16);
    ok = fsys::WriteFile(p, std::string(4096, 'n'));
    copied = fsys::CopyFile(p, t.Dir() + "b.txt", false);
  }
  EXPECT_FALSE(ok);
  EXPECT_EQ(ok.code, EFBIG);
  EXPECT_EQ(ok.path, p);
  EXPECT_EQ(t.Read("a.txt"), "old");
  EXPECT_TRUE(Ok(copied)); // "old" is under the limit
  // A directory in the way is not replaced either.
  ASSERT_TRUE(Ok(fsys::CreateDirectories(t.Dir() + "d")));
  EXPECT_FALSE(fsys::WriteFile(t.Dir() + "d", "x"));
  EXPECT_TRUE(fsys::DirectoryExists(t.Dir() + "d"));
  std::vector<fsys::Entry> entries;
  ASSERT_TRUE(Ok(fsys::ListDirectory(t.Dir(), entries)));
  EXPECT_EQ(entries.size(), 3u); // a.txt, b.txt, d: no temporary files left
}

TEST(FileSystem, WriteIntoMissingDirectoryFailsWithAReason) {
  TempDir t;
  fsys::Status s = fsys::WriteFile(t.Dir() + "no/such/a.txt", "x");
  EXPECT_FALSE(s);
  EXPECT_EQ(s.code, ENOENT);
  EXPECT_NE(s.Text().find("a.txt"), std::string::npos);
  std::string out = "junk";
  EXPECT_FALSE(fsys::ReadFile(t.Dir() + "missing", out));
  EXPECT_TRUE(out.empty());
}

TEST(FileSystem, CopyOntoItselfKeepsTheFile) {
  TempDir t;
  t.Write("a.bin", "payload");
  EXPECT_TRUE(Ok(fsys::CopyFile(t.Dir() + "a.bin", t.Dir() + "a.bin", false)));
  EXPECT_EQ(t.Read("a.bin"), "payload");
  EXPECT_FALSE(fsys::CopyFile(t.Dir() + "a.bin", t.Dir() + "a.bin", true));
  EXPECT_TRUE(Ok(fsys::CopyFile(t.Dir() + "a.bin", t.Dir() + "b.bin", true)));
  EXPECT_EQ(t.Read("b.bin"), "payload");
}

TEST(FileSystem, DirectoriesAndDeletion) {
  TempDir t;
  std::string d = t.Dir() + "x/y/z";
  ASSERT_TRUE(Ok(fsys::CreateDirectories(d)));
  EXPECT_TRUE(fsys::DirectoryExists(d));
  EXPECT_FALSE(fsys::FileExists(d));
  EXPECT_FALSE(fsys::DeleteFile(d));                  // never a directory
  EXPECT_FALSE(fsys::RemoveDirectory(t.Dir() + "x")); // not empty
  EXPECT_TRUE(Ok(fsys::RemoveDirectory(d)));
  t.Write("f", "1");
  EXPECT_TRUE(Ok(fsys::RenameFile(t.Dir() + "f", t.Dir() + "g")));
  EXPECT_TRUE(fsys::FileExists(t.Dir() + "g"));
  EXPECT_TRUE(Ok(fsys::DeleteFile(t.Dir() + "g")));
  EXPECT_FALSE(fsys::Exists(t.Dir() + "g"));
}

TEST(FileSystem, SymbolicLinksAreMarked) {
  TempDir t;
  ASSERT_TRUE(Ok(fsys::CreateDirectories(t.Dir() + "real")));
  std::filesystem::create_directory_symlink(t.Path("real"), t.Path("link"));
  std::vector<fsys::Entry> entries;
  ASSERT_TRUE(Ok(fsys::ListDirectory(t.Dir(), entries)));
  std::sort(entries.begin(), entries.end(), [](auto &a, auto &b) { return a.name < b.name; });
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_TRUE(entries[0].isSymlink);
  EXPECT_TRUE(entries[0].isDirectory);
  EXPECT_FALSE(entries[1].isSymlink);
}

// Files and links go (whatever their names), folders and link targets stay, a failure is counted.
TEST(FileSystem, DeleteFilesInTakesFilesAndLinksOnly) {
  TempDir t, outside;
  std::filesystem::create_directory(t.Path("sub"));
  for (const char *name : {"a.txt", ".hidden", "emoji😀.txt", "sub/inside.txt"})
    t.Write(name, "x");
  outside.Write("target.txt", "kept");
  std::filesystem::create_symlink(outside.Path("target.txt"), t.Path("link.txt"));
  std::filesystem::create_directory_symlink(t.Path("sub"), t.Path("dirlink"));
  size_t last = 0, failed = 9;
  fsys::fault::Arm({fsys::fault::Call::Unlink, 2, EIO, false});
  const fsys::Status s = fsys::DeleteFilesIn(
      t.Dir(), [&](size_t done, size_t total) { last = done * total; }, &failed);
  fsys::fault::Disarm();
  EXPECT_EQ(s.code, EIO);
  EXPECT_TRUE(s.path.rfind(t.Dir(), 0) == 0 && failed == 1 && last == 5 * 5);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(t.Path("")), {}), 2); // sub, one
  EXPECT_TRUE(std::filesystem::exists(t.Path("sub/inside.txt")) &&
              std::filesystem::exists(outside.Path("target.txt")));
  // A link to a folder is not followed into; nothing there is no folder.
  std::filesystem::create_directory_symlink(t.Path("sub"), t.Path("sublink"));
  EXPECT_FALSE(fsys::DeleteFilesIn(t.Dir() + "sublink/") || fsys::DeleteFilesIn(t.Dir() + "none"));
}

// A folder not read to its end is no shorter folder: nothing listed, nothing deleted.
TEST(FileSystem, AFolderReadPartWayIsAFailure) {
  TempDir t;
  for (const char *name : {"a.txt", "b.txt", "c.txt"})
    t.Write(name, "x");
  std::vector<fsys::Entry> entries;
  fsys::fault::Arm({fsys::fault::Call::List, 3, EIO, false});
  EXPECT_EQ(fsys::ListDirectory(t.Dir(), entries).code, EIO);
  fsys::fault::Arm({fsys::fault::Call::List, 2, EIO, false});
  EXPECT_EQ(fsys::DeleteFilesIn(t.Dir()).code, EIO);
  fsys::fault::Disarm();
  EXPECT_TRUE(entries.empty() && t.Read("a.txt") == "x" && t.Read("c.txt") == "x");
}
