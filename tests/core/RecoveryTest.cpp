// The recovery copy: its file (whole or no entry at all, private), found by
// who the project is, putting it back into a project without replacing what
// changed on disk since nor anything a hostile copy names, damaged copies
// set aside, the writer's thread, and orvane-cli's check and recover.
#include "store/Recovery.h"
#include "ProjectFixtures.h"
#include "TempDir.h"
#include "cli/CliCommands.h"
#include "store/Cleanup.h"
#include "store/IniFile.h"
#include "store/LibUnit.h"
#include "store/Threads.h"
#include "support/TreeOutline.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <sstream>
#include <sys/stat.h>

using ::testing::HasSubstr;

namespace {

class Recovery : public ::testing::Test {
protected:
  void SetUp() override {
    fixture::WriteSample(proj_);
    fixture::Item(proj_, "r.txt", "Project", "FirstEdition:2026/12/01 09:00:00\r\n");
    root_ = state_.Dir() + "kem/Orvane/recovery/";
    setenv("XDG_STATE_HOME", state_.Dir().c_str(), 1);
  }
  void TearDown() override { unsetenv("XDG_STATE_HOME"); }

  // What an editor keeps after adding N below B (its file written, the tree
  // not saved) and typing into A1 (not stored).
  recovery::Entry Edited() {
    TProject p;
    EXPECT_TRUE(p.Load(proj_.Dir()).RootLoaded);
    TProjectNode *n = p.Tree().AddChild(fixture::Find(p, "B"), "N");
    p.InitItem(*n->Data());
    n->Data()->Files.Title = "N";
    EXPECT_TRUE(n->Data()->Files.Save());
    recovery::Entry e;
    e.Dir = p.Dir();
    e.Path = recovery::NewEntryPath(root_, p.Dir());
    e.Identity = recovery::IdentityOf(p);
    e.Made = "2026/12/09 10:00:00";
    auto doc = std::make_shared<TIniFile>();
    EXPECT_TRUE(p.Tree().BuildTreeFile(*doc));
    e.TreeDocument = doc;
    e.TreeBase = p.Tree().TreeFileStamp();
    TProjectNode *a1 = fixture::Find(p, "A1");
    TNodeFiles typed;
    typed.Assign(a1->Data()->Files);
    typed.Body = {"typed \x82\xa0 and kept", "\x81"}; // a lone lead byte stays a byte
    e.Items.push_back(recovery::ItemOf(*a1, typed.Serialize()));
    return e;
  }

  struct Run {
    int code;
    std::string out, err;
  };
  Run Cli(std::vector<std::string> args) {
    std::ostringstream out, err;
    const int code = cli::Run(args, out, err);
    return {code, out.str(), err.str()};
  }

  std::vector<recovery::Copy> Copies(const std::string &dir) {
    return recovery::CopiesOf(root_, dir, recovery::IdentityOfDir(dir), true);
  }

  TempDir proj_, state_;
  std::string root_;
};

TEST_F(Recovery, AnEntryIsWholeOrNoneAndPrivate) {
  recovery::Entry e = Edited();
  ASSERT_TRUE(recovery::Write(root_, e));
  std::string bytes;
  ASSERT_TRUE(fsys::ReadFile(e.Path, bytes));
  recovery::Entry back;
  ASSERT_TRUE(recovery::Parse(bytes, back));
  EXPECT_EQ(back.Tree, e.TreeDocument->Serialize());
  EXPECT_EQ(back.Identity, "r.txt|2026/12/01 09:00:00");
  ASSERT_EQ(back.Items.size(), 1u);
  EXPECT_EQ(back.Items[0].Bytes, e.Items[0].Bytes);
  EXPECT_EQ(back.Items[0].Base.inode, e.Items[0].Base.inode);
  for (size_t cut = 0; cut < bytes.size(); ++cut)
    ASSERT_FALSE(recovery::Parse(bytes.substr(0, cut), back)) << "cut at " << cut;

  struct stat st;
  ASSERT_EQ(::stat(root_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  ASSERT_EQ(::stat(e.Path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  // Another spelling of the directory finds the same copy; a second window
  // writes a copy of its own beside it.
  EXPECT_EQ(Copies(proj_.Dir() + "./").size(), 1u);
  recovery::Entry second = Edited();
  ASSERT_NE(second.Path, e.Path);
  ASSERT_TRUE(recovery::Write(root_, second));
  EXPECT_EQ(Copies(proj_.Dir()).size(), 2u);
  second.Items.clear();
  second.TreeDocument.reset();
  ASSERT_TRUE(recovery::Write(root_, second)); // an empty entry removes its file
  EXPECT_EQ(Copies(proj_.Dir()).size(), 1u);
}

// A copy belongs to who the project is: it follows a moved folder, and a new
// project made in the old place is not given it.
TEST_F(Recovery, CopiesFollowTheProjectNotItsPlace) {
  ASSERT_TRUE(recovery::Write(root_, Edited()));
  TempDir away;
  const std::string moved = away.Dir() + "moved/";
  ASSERT_EQ(::rename(proj_.Dir().c_str(), moved.c_str()), 0);
  ASSERT_TRUE(fsys::CreateDirectories(proj_.Dir()));
  fixture::WriteSample(proj_); // a new project of the same name in the old place
  proj_.Write("r.txt", "Title:Project\r\nFirstEdition:2026/01/02 03:04:05\r\n\r\n\r\n");
  EXPECT_TRUE(Copies(proj_.Dir()).empty());
  EXPECT_THAT(Cli({"recover", "--list-all"}).out, HasSubstr("(its project is not there)"));
  ASSERT_EQ(Copies(moved).size(), 1u);
  Run r = Cli({"recover", moved, "--restore"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(Copies(moved).empty());
  EXPECT_EQ(Cli({"recover", "--list-all"}).out, "");
}

TEST_F(Recovery, WhatACopyHoldsAgainstTheFiles) {
  recovery::Entry e = Edited();
  recovery::Summary s = recovery::Describe(e, proj_.Dir());
  EXPECT_EQ(s.items, 1u);
  EXPECT_TRUE(s.tree);
  EXPECT_FALSE(s.sameAsDisk);
  EXPECT_TRUE(s.changedOnDisk.empty());
  // A copy of exactly what the files hold offers nothing.
  e.TreeDocument.reset();
  e.Items[0].Bytes = proj_.Read("a1.txt");
  EXPECT_TRUE(recovery::Describe(e, proj_.Dir()).sameAsDisk);
  proj_.Write("a1.txt", "Title:A1\r\n\r\nsaved later\r\n\r\n");
  EXPECT_EQ(recovery::Describe(e, proj_.Dir()).changedOnDisk, std::vector<std::string>{"a1.txt"});
}

TEST_F(Recovery, ApplyPutsBackTreeAndTextAsUnsavedChangesWritingNothing) {
  const recovery::Entry e = Edited();
  const std::string tree = proj_.Read("MainTree.dat"), a1 = proj_.Read("a1.txt");
  TProject p;
  ASSERT_TRUE(p.Load(proj_.Dir()).RootLoaded);
  ASSERT_TRUE(recovery::Write(root_, e));
  EXPECT_EQ(DeleteUnusedFiles(p).deleted, 0) << "a cleanup keeps what the copy names";
  recovery::Applied applied = recovery::Apply(e, p);
  EXPECT_TRUE(applied.tree);
  EXPECT_TRUE(p.Modified());
  EXPECT_EQ(outline::Print(p.Tree()), "Project(A(A1 A2) B+(N))");
  TProjectNode *n = fixture::Find(p, "A1");
  ASSERT_EQ(applied.items, std::vector<TProjectNode *>{n});
  EXPECT_TRUE(n->Data()->Unsaved);
  EXPECT_TRUE(n->Data()->Files.Body ==
              std::vector<std::string>({"typed \x82\xa0 and kept", "\x81"}));
  EXPECT_EQ(proj_.Read("MainTree.dat"), tree);
  EXPECT_EQ(proj_.Read("a1.txt"), a1);
}

TEST_F(Recovery, WhatChangedOnDiskSinceStaysUnlessChosen) {
  const recovery::Entry e = Edited();
  proj_.Write("a1.txt", "Title:A1\r\n\r\nwritten elsewhere\r\n\r\n");
  for (bool overDisk : {false, true}) {
    TProject p;
    ASSERT_TRUE(p.Load(proj_.Dir()).RootLoaded);
    recovery::Applied applied = recovery::Apply(e, p, overDisk);
    TProjectNode *a1 = fixture::Find(p, "A1");
    EXPECT_EQ(applied.changedOnDisk.empty(), overDisk);
    EXPECT_EQ(a1->Data()->Files.Body.Joined() != "written elsewhere", overDisk);
    // Chosen over the file: the store replaces it without taking it for
    // another program's write.
    EXPECT_TRUE(a1->Data()->Files.Save());
  }
}

// A copy is input like any other: every name in it is checked as a load
// checks the tree file's, and an item's text goes to its own item only.
TEST_F(Recovery, AHostileCopyWritesNothingOutsideItsItem) {
  struct Row {
    const char *name, *id, *file;
  } rows[] = {{"leaves the folder", "Root-C00001", "../VICTIM.txt"},
              {"another item's file", "Root-C00001", "a.txt"},
              {"the tree file", "Root-C00001", "MainTree.dat"},
              {"a write's leftover", "Root-C00001", "a1.txt.tmp~"}};
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    TempDir outside;
    fixture::WriteSample(proj_);
    const std::string victim = proj_.Dir() + "../VICTIM.txt", a = proj_.Read("a.txt");
    recovery::Entry e = Edited();
    e.Items[0].ID = row.id;
    e.Items[0].FileName = row.file;
    ASSERT_TRUE(recovery::Write(root_, e));
    Run r = Cli({"recover", proj_.Dir(), "--restore"});
    EXPECT_EQ(r.code, 1);
    EXPECT_THAT(r.err, HasSubstr("refused: item Root-C00001"));
    EXPECT_FALSE(fsys::Exists(victim));
    EXPECT_EQ(proj_.Read("a.txt"), a);
    EXPECT_EQ(Cli({"recover", proj_.Dir(), "--discard"}).code, 0);
  }
}

// A damaged copy is told and kept aside, never taken for an entry nor
// deleted unasked; --discard removes it.
TEST_F(Recovery, DamagedCopiesAreFoundKeptAndDiscarded) {
  std::string whole = recovery::Serialize(Edited());
  std::string lf = whole;
  std::erase(lf, '\r');
  const struct {
    const char *name;
    std::string bytes;
  } rows[] = {
      {"cut in half", whole.substr(0, whole.size() / 2)},
      {"LF line ends", lf},
      {"UTF-16", std::string("\xff\xfeO\0r\0", 6)},
      {"empty", ""},
      {"a length past the end", std::string(whole).replace(whole.rfind("End 0"), 5, "End 9")},
      {"random bytes", "\x13\x9a\0\xff garbage"}};
  for (const auto &row : rows) {
    SCOPED_TRACE(row.name);
    const recovery::Entry e = Edited();
    const std::string &path = e.Path;
    ASSERT_TRUE(recovery::Write(root_, e));
    fsys::WriteOptions o;
    ASSERT_TRUE(fsys::WriteFile(path, row.bytes, o));
    std::vector<recovery::Copy> found = Copies(proj_.Dir());
    ASSERT_EQ(found.size(), 1u);
    EXPECT_TRUE(found[0].damaged());
    std::string kept;
    ASSERT_TRUE(recovery::SetAside(root_, path, kept));
    EXPECT_TRUE(recovery::CopiesOf(root_, proj_.Dir(), "", false).empty());
    EXPECT_THAT(Cli({"check", proj_.Dir()}).err, HasSubstr("damaged copy"));
    EXPECT_EQ(Cli({"recover", proj_.Dir(), "--discard"}).code, 0);
    EXPECT_FALSE(fsys::Exists(kept));
  }
}

// One rule for the writer, check and recover: a linked folder is not used.
TEST_F(Recovery, ALinkedFolderIsRefusedByAll) {
  TempDir elsewhere;
  ASSERT_TRUE(fsys::CreateDirectories(state_.Dir() + "kem/Orvane/"));
  ASSERT_EQ(::symlink(elsewhere.Dir().c_str(), RemovePathSeparator(root_).c_str()), 0);
  EXPECT_FALSE(recovery::Write(root_, Edited()));
  EXPECT_THAT(Cli({"check", proj_.Dir()}).err, HasSubstr("no recovery copy can be kept"));
  EXPECT_EQ(Cli({"recover", proj_.Dir(), "--discard"}).code, 1);
  recovery::TWriter writer(root_, [&](const fsys::Status &s) { EXPECT_FALSE(s); });
  writer.Post(Edited());
  EXPECT_FALSE(writer.Flush());
}

TEST_F(Recovery, TheWriterKeepsTheLastPostedEntry) {
  for (int threadsLeft : {-1, 0}) { // and without a thread to be had
    threads::LimitStartsForTest(threadsLeft);
    recovery::TWriter writer(root_);
    threads::LimitStartsForTest(-1);
    recovery::Entry e = Edited();
    for (int i = 0; i < 50; ++i) { // one window: one copy
      e.Made = "2026/12/09 10:00:" + std::to_string(10 + i);
      writer.Post(e);
    }
    EXPECT_TRUE(writer.Flush());
    ASSERT_EQ(Copies(proj_.Dir()).size(), 1u);
    EXPECT_EQ(Copies(proj_.Dir())[0].entry.Made, "2026/12/09 10:00:59");
    ASSERT_TRUE(recovery::Remove(root_, e.Path));
  }
}

TEST_F(Recovery, TheCommandLineChecksListsRestoresAndDiscards) {
  ASSERT_TRUE(recovery::Write(root_, Edited()));
  Run r = Cli({"check", proj_.Dir()});
  EXPECT_EQ(r.code, 1);
  EXPECT_THAT(r.err, HasSubstr("unsaved changes of 2026/12/09 10:00:00 wait in the recovery copy"));
  r = Cli({"recover", proj_.Dir(), "--list"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "made 2026/12/09 10:00:00 for " + proj_.Dir() +
                       "\ntree: unsaved changes\nitem Root-C00001 a1.txt A1\n");
  EXPECT_EQ(Cli({"recover", proj_.Dir()}).code, 2);

  r = Cli({"recover", proj_.Dir(), "--restore"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(Copies(proj_.Dir()).empty());
  TProject p;
  ASSERT_TRUE(p.Load(proj_.Dir()).RootLoaded);
  EXPECT_EQ(outline::Print(p.Tree()), "Project(A(A1 A2) B+(N))");
  EXPECT_EQ(fixture::Find(p, "A1")->Data()->Files.Body.Joined(), "typed \x82\xa0 and kept\n\x81");

  ASSERT_TRUE(recovery::Write(root_, Edited()));
  EXPECT_EQ(Cli({"recover", proj_.Dir(), "--discard"}).code, 0);
  EXPECT_TRUE(Copies(proj_.Dir()).empty());
  EXPECT_EQ(Cli({"recover", proj_.Dir(), "--list"}).code, 1);
}

// A copy whose project is gone becomes a project of its own; a save drops
// from older copies what it wrote newer.
TEST_F(Recovery, OrphansBecomeProjectsAndSavesOutdateOlderCopies) {
  recovery::Entry e = Edited();
  TempDir made;
  ASSERT_TRUE(recovery::MakeProject(e, made.Dir(), "R", "me"));
  TProject p;
  ASSERT_TRUE(p.Load(made.Dir()).RootLoaded);
  EXPECT_EQ(outline::Print(p.Tree()), "R(A1)");
  EXPECT_EQ(fixture::Find(p, "A1")->Data()->Files.Body.Joined(), "typed \x82\xa0 and kept\n\x81");

  ASSERT_TRUE(recovery::Write(root_, e));
  ASSERT_TRUE(recovery::DropItems(root_, e.Path, {"b.txt"}));
  EXPECT_EQ(Copies(proj_.Dir())[0].entry.Items.size(), 1u);
  ASSERT_TRUE(recovery::DropItems(root_, e.Path, {"a1.txt"}));
  ASSERT_EQ(Copies(proj_.Dir()).size(), 1u);
  EXPECT_TRUE(Copies(proj_.Dir())[0].entry.Items.empty()); // the tree stays
}

} // namespace
