// The recovery copy: its file (whole or no entry at all, private), putting
// it back into a project without replacing what changed on disk since, the
// writer's thread, and orvane-cli's check and recover.
#include "store/Recovery.h"
#include "ProjectFixtures.h"
#include "TempDir.h"
#include "cli/CliCommands.h"
#include "store/Cleanup.h"
#include "store/IniFile.h"
#include "support/TreeOutline.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <sstream>
#include <sys/stat.h>

namespace {

class Recovery : public ::testing::Test {
protected:
  void SetUp() override {
    fixture::WriteSample(proj_);
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

  TempDir proj_, state_;
  std::string root_;
};

TEST_F(Recovery, AnEntryIsWholeOrNoneAndPrivate) {
  recovery::Entry e = Edited();
  ASSERT_TRUE(recovery::Write(root_, e));
  std::string bytes;
  ASSERT_TRUE(fsys::ReadFile(recovery::EntryPath(root_, proj_.Dir()), bytes));
  recovery::Entry back;
  ASSERT_TRUE(recovery::Parse(bytes, back));
  EXPECT_EQ(back.Tree, e.TreeDocument->Serialize());
  ASSERT_EQ(back.Items.size(), 1u);
  EXPECT_EQ(back.Items[0].Bytes, e.Items[0].Bytes);
  EXPECT_EQ(back.Items[0].Base.inode, e.Items[0].Base.inode);
  for (size_t cut = 0; cut < bytes.size(); ++cut)
    ASSERT_FALSE(recovery::Parse(bytes.substr(0, cut), back)) << "cut at " << cut;

  struct stat st;
  ASSERT_EQ(::stat(root_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  ASSERT_EQ(::stat(recovery::EntryPath(root_, proj_.Dir()).c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  // Another spelling of the directory finds the same entry.
  EXPECT_TRUE(recovery::HasEntry(root_, proj_.Dir() + "./"));

  // A torn file is reported, not taken for an entry; an empty entry removes.
  proj_.Write("x", "");
  fsys::WriteOptions o;
  ASSERT_TRUE(fsys::WriteFile(recovery::EntryPath(root_, proj_.Dir()), bytes.substr(0, 40), o));
  EXPECT_EQ(recovery::Read(root_, proj_.Dir(), back).code, EBADMSG);
  recovery::Entry none;
  none.Dir = proj_.Dir();
  ASSERT_TRUE(recovery::Write(root_, none));
  EXPECT_FALSE(recovery::HasEntry(root_, proj_.Dir()));
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

TEST_F(Recovery, WhatChangedOnDiskSinceIsNeverReplaced) {
  const recovery::Entry e = Edited();
  proj_.Write("a1.txt", "Title:A1\r\n\r\nwritten elsewhere\r\n\r\n");
  TProject p;
  ASSERT_TRUE(p.Load(proj_.Dir()).RootLoaded);
  recovery::Applied applied = recovery::Apply(e, p);
  EXPECT_EQ(applied.changedOnDisk, std::vector<std::string>{"a1.txt"});
  // The editor's own store asks; a plain one is refused.
  EXPECT_EQ(fixture::Find(p, "A1")->Data()->Files.Save().code, fsys::kChangedOnDisk);
  const std::string tree = proj_.Read("MainTree.dat");
  EXPECT_TRUE(recovery::WriteApplied(p, applied));
  EXPECT_EQ(applied.items.size(), 1u);
  EXPECT_TRUE(applied.tree); // not saved: it would name an item left behind
  EXPECT_EQ(proj_.Read("a1.txt"), "Title:A1\r\n\r\nwritten elsewhere\r\n\r\n");
  EXPECT_EQ(proj_.Read("MainTree.dat"), tree);
}

TEST_F(Recovery, TheWriterKeepsTheLastPostedEntry) {
  recovery::TWriter writer(root_);
  recovery::Entry e = Edited();
  for (int i = 0; i < 50; ++i) {
    e.Made = "2026/12/09 10:00:" + std::to_string(10 + i);
    writer.Post(e);
  }
  EXPECT_TRUE(writer.Flush());
  recovery::Entry back;
  ASSERT_TRUE(recovery::Read(root_, proj_.Dir(), back));
  EXPECT_EQ(back.Made, "2026/12/09 10:00:59");
}

TEST_F(Recovery, TheCommandLineChecksListsRestoresAndDiscards) {
  ASSERT_TRUE(recovery::Write(root_, Edited()));
  Run r = Cli({"check", proj_.Dir()});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("unsaved changes of 2026/12/09 10:00:00 wait in the recovery copy"),
            std::string::npos)
      << r.err;
  r = Cli({"recover", proj_.Dir(), "--list"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "made 2026/12/09 10:00:00 for " + proj_.Dir() +
                       "\ntree: unsaved changes\nitem Root-C00001 a1.txt A1\n");
  EXPECT_EQ(Cli({"recover", proj_.Dir()}).code, 2);

  r = Cli({"recover", proj_.Dir(), "--restore"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_FALSE(recovery::HasEntry(root_, proj_.Dir()));
  TProject p;
  ASSERT_TRUE(p.Load(proj_.Dir()).RootLoaded);
  EXPECT_EQ(outline::Print(p.Tree()), "Project(A(A1 A2) B+(N))");
  EXPECT_EQ(fixture::Find(p, "A1")->Data()->Files.Body.Joined(), "typed \x82\xa0 and kept\n\x81");

  ASSERT_TRUE(recovery::Write(root_, Edited()));
  EXPECT_EQ(Cli({"recover", proj_.Dir(), "--discard"}).code, 0);
  EXPECT_FALSE(recovery::HasEntry(root_, proj_.Dir()));
  EXPECT_EQ(Cli({"recover", proj_.Dir(), "--list"}).code, 1);
}

} // namespace
