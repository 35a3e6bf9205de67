// What the property window lists of a project directory, over real files.
#include "store/ProjectProperties.h"
#include "ProjectFixtures.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

using fixture::Section;

namespace {

// The records by bare name (the directory's order is the OS's).
std::map<std::string, const TPropertyFile *> ByName(const TProjectProperties &p) {
  std::map<std::string, const TPropertyFile *> out;
  for (const TPropertyFile &f : p.Files)
    out[f.Name] = &f;
  return out;
}

std::vector<std::string> Names(const TProjectProperties &p) {
  std::vector<std::string> out;
  for (const TPropertyFile &f : p.Files)
    out.push_back(f.Name);
  std::sort(out.begin(), out.end());
  return out;
}

// A file of `size` bytes that takes no room on disk.
void MakeSparseFile(const std::string &path, uint64_t size) {
  std::ofstream(path, std::ios::binary).put('x');
  std::filesystem::resize_file(path, size);
}

// A tree file whose root names `rootFile` and whose items name `files`.
void WriteTree(const TempDir &t, const std::string &rootFile, const std::vector<std::string> &files,
               const std::string &treeName = "MainTree.dat") {
  std::string s = Section("Root", {"LastIndex=9", "FileName=" + rootFile});
  for (size_t i = 0; i < files.size(); ++i)
    s += Section("Root-C0000" + std::to_string(i), {"FileName=" + files[i]});
  t.Write(treeName, s);
}

} // namespace

TEST(ProjectProperties, ListsItemsWithTheirHeadersAndOtherFilesWithSizes) {
  TempDir t;
  t.Write("r.txt", "Title:Project\r\nAuthor:kem\r\nFirstEdition:2000/01/02 03:04:05\r\n"
                   "Update:2001/02/03 04:05:06\r\n\r\nroot text\r\n\r\n");
  fixture::Item(t, "a.txt", "A");
  fixture::Item(t, "b.txt", "B");
  t.Write("pic.png", std::string(12345, 'p')); // an attachment copied in
  WriteTree(t, "r.txt", {"a.txt", "b.txt"});
  t.Write("MainTree.dat.ord", "[Root]\r\n");
  t.Write("README", "no dot: not walked");
  mkdir(t.Path("sub.dir").c_str(), 0755);

  TProjectProperties p = ReadProjectProperties(t.Path("")); // without the separator
  ASSERT_TRUE(p.IsProject);
  EXPECT_EQ(p.ProjectDir, t.Dir());
  EXPECT_EQ(Names(p), (std::vector<std::string>{"a.txt", "b.txt", "pic.png", "r.txt"}));
  auto files = ByName(p);
  const TPropertyFile &root = *files["r.txt"];
  EXPECT_TRUE(root.IsItem);
  EXPECT_EQ(root.Path, t.Dir() + "r.txt");
  EXPECT_EQ(root.Item.Title, "Project");
  EXPECT_EQ(root.Item.Author, "kem");
  EXPECT_EQ(root.Item.FirstEdition, fixture::At(2000, 1, 2, 3, 4, 5));
  EXPECT_EQ(root.Item.Update, fixture::At(2001, 2, 3, 4, 5, 6));
  EXPECT_TRUE(root.Item.Body.empty()); // the header only
  EXPECT_EQ(files["a.txt"]->Item.Title, "A");
  EXPECT_TRUE(files["b.txt"]->IsItem);
  EXPECT_FALSE(files["pic.png"]->IsItem);
  EXPECT_EQ(files["pic.png"]->Size, 12345u);
  EXPECT_EQ(files["b.txt"]->Size, t.Read("b.txt").size());
  EXPECT_TRUE(p.HasRootTitle);
  EXPECT_EQ(p.RootTitle, "Project");
}

TEST(ProjectProperties, FindsButNeverListsTheTreeFileInAnyLetterCase) {
  TempDir t;
  fixture::Item(t, "r.txt", "Root");
  WriteTree(t, "R.TXT", {}, "maintree.DAT"); // from a case-insensitive file system
  t.Write("MAINTREE.DAT.ORD", "[Root]\r\n");
  t.Write("old-MainTree.dat.bak", "a name containing the tree file's");
  const int64_t stamp = 946873900; // 2000-01-03 04:31:40 UTC
  struct utimbuf times {
    stamp, stamp
  };
  ASSERT_EQ(utime(t.Path("maintree.DAT").c_str(), &times), 0);

  TProjectProperties p = ReadProjectProperties(t.Dir());
  ASSERT_TRUE(p.IsProject);
  EXPECT_EQ(Names(p), std::vector<std::string>{"r.txt"});
  EXPECT_TRUE(p.Files[0].IsItem); // the tree file was read
  EXPECT_EQ(p.RootTitle, "Root"); // the root named in another letter case
  EXPECT_EQ(p.TreeFileTime, stamp);
}

TEST(ProjectProperties, MatchesEachTreeEntryOnce) {
  TempDir t;
  fixture::Item(t, "r.txt", "Root");
  fixture::Item(t, "a.txt", "A");
  // Listed twice, on disk once: one row, an item.
  WriteTree(t, "r.txt", {"a.txt", "a.txt", "Item.TXT"});
  // Listed once in some letter case, on disk in two: the exact spelling is
  // the item wherever the directory lists it, the other a stray.
  fixture::Item(t, "item.txt", "stray");
  fixture::Item(t, "Item.TXT", "item");
  fixture::Item(t, "A.TXT", "second a");

  TProjectProperties p = ReadProjectProperties(t.Dir());
  auto files = ByName(p);
  ASSERT_EQ(p.Files.size(), 5u);
  EXPECT_TRUE(files["Item.TXT"]->IsItem);
  EXPECT_EQ(files["Item.TXT"]->Item.Title, "item");
  EXPECT_FALSE(files["item.txt"]->IsItem);
  // "a.txt" listed twice matches a.txt and its case variant, one each.
  EXPECT_TRUE(files["a.txt"]->IsItem);
  EXPECT_TRUE(files["A.TXT"]->IsItem);
}

TEST(ProjectProperties, AnUnreadableItemFileKeepsItsRowWithTheInitialValues) {
  TempDir t;
  fixture::Item(t, "r.txt", "Root");
  ASSERT_EQ(mkfifo(t.Path("pipe.txt").c_str(), 0644), 0); // never opened, never waited on
  ASSERT_EQ(symlink("/nonexistent/x", t.Path("gone.txt").c_str()), 0);
  WriteTree(t, "r.txt", {"pipe.txt", "gone.txt"});

  TProjectProperties p = ReadProjectProperties(t.Dir());
  auto files = ByName(p);
  ASSERT_EQ(p.Files.size(), 3u);
  const TNodeFiles initial;
  for (const char *name : {"pipe.txt", "gone.txt"}) {
    ASSERT_TRUE(files.count(name)) << name;
    EXPECT_TRUE(files[name]->IsItem) << name;
    EXPECT_EQ(files[name]->Item.Title, initial.Title) << name;
    EXPECT_EQ(files[name]->Item.Author, initial.Author) << name;
  }
}

TEST(ProjectProperties, RootTitleOnlyWithARootSectionNamingAListedFile) {
  TempDir t;
  fixture::Item(t, "a.txt", "A");
  t.Write("MainTree.dat", Section("Root-C00000", {"FileName=a.txt"}));
  TProjectProperties p = ReadProjectProperties(t.Dir());
  EXPECT_TRUE(p.Files[0].IsItem);
  EXPECT_FALSE(p.HasRootTitle);

  WriteTree(t, "missing.txt", {"a.txt"});
  EXPECT_FALSE(ReadProjectProperties(t.Dir()).HasRootTitle);

  // An empty folder but for the tree file: an empty list.
  TempDir empty;
  empty.Write("MainTree.dat", "");
  TProjectProperties q = ReadProjectProperties(empty.Dir());
  EXPECT_TRUE(q.IsProject);
  EXPECT_TRUE(q.Files.empty());
}

TEST(ProjectProperties, NotAProjectWithoutATreeFile) {
  TempDir t;
  fixture::Item(t, "a.txt", "A");
  EXPECT_FALSE(ReadProjectProperties(t.Dir()).IsProject);
  mkdir(t.Path("MainTree.dat").c_str(), 0755); // a directory is no tree file
  EXPECT_FALSE(ReadProjectProperties(t.Dir()).IsProject);
  EXPECT_FALSE(ReadProjectProperties(t.Path("missing")).IsProject);
  EXPECT_FALSE(ReadProjectProperties("").IsProject);
  EXPECT_TRUE(ReadProjectProperties(t.Dir()).Files.empty());
}

TEST(ProjectProperties, SizesBeyondFourGigabytesAreKept) {
  TempDir t;
  WriteTree(t, "r.txt", {});
  fixture::Item(t, "r.txt", "Root");
  const uint64_t big = 3ull * 1024 * 1024 * 1024 + 7; // past a 32-bit signed size
  MakeSparseFile(t.Path("film.avi"), big);
  MakeSparseFile(t.Path("huge.iso"), 5ull * 1024 * 1024 * 1024);
  const TProjectProperties p = ReadProjectProperties(t.Dir()); // the map points into it
  auto files = ByName(p);
  EXPECT_EQ(files["film.avi"]->Size, big);
  EXPECT_EQ(files["huge.iso"]->Size, 5ull * 1024 * 1024 * 1024);
}

TEST(ProjectProperties, HeaderReadsAsOpenReadsItWithoutTheText) {
  TempDir t;
  // A header longer than one read, a text with lines that look like header
  // lines, a file without the closing line, a header without any text, an
  // empty title and a header line split at what a first read takes.
  std::string longHeader = "Title:Long\r\n";
  for (int i = 0; i < 2000; ++i)
    longHeader += "AttachFile:attachment-" + std::to_string(i) + ".png\r\n";
  longHeader += "Author:after the attachments\r\n\r\nTitle:not the title\r\n";
  t.Write("long.txt", longHeader);
  t.Write("split.txt", std::string(8180, 'x') + "\r\n");
  t.Write("split2.txt", "Title:" + std::string(8186, 't') + "\r\nAuthor:me\r\n\r\nAuthor:text\r\n");
  t.Write("plain.txt", "Title:T\r\nUpdate:2000/01/22 09:51:40");
  t.Write("emptytitle.txt", "Title:\r\nAuthor:\r\n\r\nText:x\r\n");
  t.Write("lonecr.txt", "Title:cr\rAuthor:cr author\r\rText:x\r");
  for (const char *name :
       {"long.txt", "split.txt", "split2.txt", "plain.txt", "emptytitle.txt", "lonecr.txt"}) {
    TNodeFiles opened, header;
    opened.FilePath = header.FilePath = t.Path(name);
    ASSERT_TRUE(Ok(opened.Open(false))) << name;
    ASSERT_TRUE(Ok(ReadItemHeader(header))) << name;
    EXPECT_EQ(header.Title, opened.Title) << name;
    EXPECT_EQ(header.Author, opened.Author) << name;
    EXPECT_EQ(header.Update, opened.Update) << name;
    EXPECT_EQ(header.FirstEdition, opened.FirstEdition) << name;
    EXPECT_EQ(header.AttachFiles, opened.AttachFiles) << name;
    EXPECT_EQ(header.BodyOffset, opened.BodyOffset) << name;
    EXPECT_TRUE(header.Body.empty()) << name;
  }
  TNodeFiles missing;
  missing.FilePath = t.Path("missing.txt");
  EXPECT_FALSE(ReadItemHeader(missing));
}
