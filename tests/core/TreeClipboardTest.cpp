// The tree clipboard: the walk that lists a subtree's files, the text a copy
// makes, how a text is read (also one not made by a copy), and the insert
// into a project over real files.
#include "store/TreeClipboard.h"
#include "ProjectFixtures.h"
#include "TempDir.h"
#include "store/FileSystem.h"
#include "store/Project.h"
#include "support/ScopedHooks.h"
#include "support/TreeOutline.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

using fixture::At;
using fixture::Find;

// The sample project (Project(A(A1 A2) B), A1 collapsed away under a closed
// A) with attachments: A1 keeps pic.png in the project, A2 links a file
// elsewhere.
struct Sample {
  TempDir t;
  TProject p;
  explicit Sample(bool attachments = true) {
    fixture::WriteSample(t);
    if (attachments) {
      fixture::Item(t, "a1.txt", "A1", "ToDo:true\r\nAttachFile:pic.png\r\n");
      fixture::Item(t, "a2.txt", "A2", "AttachFile:/elsewhere/plan.odt\r\n");
      t.Write("pic.png", "PNG bytes");
    }
    p.Load(t.Dir());
  }
};

std::string Lines(std::initializer_list<std::string> lines) {
  std::string s;
  for (const std::string &l : lines)
    s += l + "\r\n";
  return s;
}

} // namespace

TEST(TreeClipboard, TheWalkListsFilesInPreOrderWithDepthOrExpandedNames) {
  Sample s;
  const std::string d = s.t.Dir();
  TProjectNode *a = Find(s.p, "A");
  s.p.Tree().SetExpanded(a, false); // what is shown does not matter
  TStringList items, attach;
  s.p.CollectItemFiles(items, attach, 0, s.p.Root(), false);
  EXPECT_EQ(items, (TStringList{d + "r.txt", "-" + d + "a.txt", "--" + d + "a1.txt",
                                "--" + d + "a2.txt", "-" + d + "b.txt"}));
  EXPECT_EQ(attach, (TStringList{"pic.png", "/elsewhere/plan.odt"}));

  // The cleanup's form: no dashes, one list, kept names made full paths.
  TStringList all;
  s.p.CollectItemFiles(all, all, -1, a, true);
  EXPECT_EQ(all, (TStringList{d + "a.txt", d + "a1.txt", d + "pic.png", d + "a2.txt",
                              "/elsewhere/plan.odt"}));

  // A leaf copies as three lines, each ended by CR LF.
  EXPECT_EQ(treeclip::CopyText(s.p, Find(s.p, "B")),
            Lines({"[Tree buff from Orvane]", d + "b.txt", "[Attach file list from Orvane]"}));
  EXPECT_EQ(treeclip::CopyText(s.p, a),
            Lines({"[Tree buff from Orvane]", d + "a.txt", "-" + d + "a1.txt", "-" + d + "a2.txt",
                   "[Attach file list from Orvane]", "pic.png", "/elsewhere/plan.odt"}));
}

TEST(TreeClipboard, TextsAreReadSafelyWhateverTheirShape) {
  struct Case {
    const char *name;
    std::string text;
    std::vector<int> depths;
    std::string sourceDir;
    TStringList attachments;
  } cases[] = {
      {"made by a copy",
       Lines({"[Tree buff from Orvane]", "/p/a.txt", "-/p/b.txt", "--/p/c.txt", "-/p/d.txt",
              "[Attach file list from Orvane]", "x.png", "/else/y"}),
       {0, 1, 2, 1},
       "/p/",
       {"x.png", "/else/y"}},
      {"LF only, no final line end",
       "[Tree buff from Orvane]\n/p/a.txt\n-/p/b.txt\n[Attach file list from Orvane]\nx.png",
       {0, 1},
       "/p/",
       {"x.png"}},
      {"CR only",
       "[Tree buff from Orvane]\r/p/a.txt\r[Attach file list from Orvane]\r",
       {0},
       "/p/",
       {}},
      {"depth jumps and a first item below zero",
       Lines({"[Tree buff from Orvane]", "--/p/a.txt", "----/p/b.txt", "-/p/c.txt"}),
       {0, 1, 1},
       "",
       {}},
      {"attachment marker before any item: no source directory",
       Lines({"[Tree buff from Orvane]", "[Attach file list from Orvane]", "x.png"}),
       {},
       "",
       {"x.png"}},
      {"a second marker is no attachment",
       Lines({"[Tree buff from Orvane]", "/q/a.txt", "[Attach file list from Orvane]",
              "[Attach file list from Orvane]", "x.png"}),
       {0},
       "/q/",
       {"x.png"}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    const treeclip::TClip clip = treeclip::Parse(c.text);
    EXPECT_TRUE(clip.isTree);
    std::vector<int> depths;
    for (const auto &item : clip.items)
      depths.push_back(item.depth);
    EXPECT_EQ(depths, c.depths);
    EXPECT_EQ(clip.sourceDir, c.sourceDir);
    EXPECT_EQ(clip.attachments, c.attachments);
  }
  for (const char *notTree : {"", "plain text", " [Tree buff from Orvane]\r\n",
                              "[tree buff from orvane]\r\n/p/a.txt\r\n"}) {
    EXPECT_FALSE(treeclip::Parse(notTree).isTree) << notTree;
    EXPECT_TRUE(treeclip::Parse(notTree).items.empty());
  }

  // Names that may be copied into a project: a separator inside a
  // double-byte character is none ("表" ends in 0x5C).
  EXPECT_TRUE(treeclip::IsCopyableName("pic.png"));
  EXPECT_TRUE(treeclip::IsCopyableName("\x95\x5C.txt"));
  EXPECT_TRUE(treeclip::IsCopyableName("a:b"));
  for (const char *bad : {"", ".", "..", "a/b", "a\\b", "../x", "\x95"})
    EXPECT_FALSE(treeclip::IsCopyableName(bad)) << bad;
  EXPECT_FALSE(treeclip::IsCopyableName(std::string("a\0b", 3)));
}

TEST(TreeClipboard, AnInsertMakesNewItemsWithTheSourcesContentAfterTheSelection) {
  Sample s;
  support::ScopedClock clock(At(2027, 3, 4, 5, 6, 7));
  const std::string before = s.t.Read("a1.txt");
  const treeclip::TClip clip = treeclip::Parse(treeclip::CopyText(s.p, Find(s.p, "A")));
  treeclip::TInsertOptions options;
  options.author = "paster";
  int asked = 0;
  options.overwrite = [&](const std::string &) { return ++asked, false; };
  treeclip::TInsertReport r = treeclip::Insert(s.p, clip, Find(s.p, "A"), options);
  EXPECT_FALSE(r.sourceMissing);
  EXPECT_TRUE(r.failure.ok());
  EXPECT_EQ(r.inserted, 3);
  EXPECT_EQ(outline::Print(s.p.Tree()), "Project(A(A1 A2) A+(A1 A2) B)");
  ASSERT_EQ(r.first, s.p.Root()->Item(1));
  EXPECT_TRUE(s.p.Modified());
  // The copies: fresh IDs and files, the source's fields but the stamp.
  TProjectNode *copyA1 = r.first->GetFirstChild();
  EXPECT_EQ(copyA1->Data()->ID, "Root-C00005");
  TNodeFiles reread;
  reread.FilePath = copyA1->Data()->Files.FilePath;
  ASSERT_TRUE(Ok(reread.Open(true)));
  EXPECT_EQ(reread.FilePath.rfind(s.t.Dir(), 0), 0u);
  EXPECT_NE(reread.FilePath, s.t.Path("a1.txt"));
  EXPECT_EQ(reread.Title, "A1");
  EXPECT_TRUE(reread.ToDo);
  EXPECT_EQ(reread.Body, TStringList{"text of A1"});
  EXPECT_EQ(reread.AttachFiles, TStringList{"pic.png"});
  EXPECT_EQ(reread.Update, At(2027, 3, 4, 5, 6, 7));
  EXPECT_EQ(reread.Author, "paster");
  // Into its own project: the kept attachment is its own target, nothing asked.
  EXPECT_EQ(asked, 0);
  EXPECT_EQ(s.t.Read("pic.png"), "PNG bytes");
  EXPECT_EQ(s.t.Read("a1.txt"), before);

  // With the root selected: the root's last children.
  r = treeclip::Insert(s.p, treeclip::Parse(treeclip::CopyText(s.p, Find(s.p, "B"))), s.p.Root(),
                       options);
  EXPECT_EQ(outline::Print(s.p.Tree()), "Project(A(A1 A2) A+(A1 A2) B B)");
  // Walking back up from a deeper item places the next one at its level.
  r = treeclip::Insert(
      s.p,
      treeclip::Parse(Lines({"[Tree buff from Orvane]", s.t.Path("a.txt"), "-" + s.t.Path("a1.txt"),
                             "--" + s.t.Path("a2.txt"), s.t.Path("b.txt")})),
      Find(s.p, "B"), options);
  EXPECT_EQ(outline::Print(s.p.Tree()), "Project(A(A1 A2) A+(A1 A2) B A+(A1+(A2)) B B)");
}

TEST(TreeClipboard, AnInsertIntoAnotherProjectCopiesKeptAttachmentsOnly) {
  Sample source;
  TempDir target;
  fixture::WriteSample(target);
  target.Write("pic.png", "the target's own");
  TProject p;
  p.Load(target.Dir());
  const std::string clipText = treeclip::CopyText(source.p, Find(source.p, "A"));

  treeclip::TInsertOptions options;
  std::vector<std::string> asked;
  bool answer = false;
  options.overwrite = [&](const std::string &name) {
    asked.push_back(name);
    return answer;
  };
  treeclip::Insert(p, treeclip::Parse(clipText), Find(p, "B"), options);
  EXPECT_EQ(asked, std::vector<std::string>{"pic.png"});
  EXPECT_EQ(target.Read("pic.png"), "the target's own"); // No keeps it
  answer = true;
  treeclip::Insert(p, treeclip::Parse(clipText), Find(p, "B"), options);
  EXPECT_EQ(target.Read("pic.png"), "PNG bytes");
  EXPECT_FALSE(fsys::Exists(target.Path("plan.odt"))); // linked: stays where it is

  // Whatever the clipboard says, the project's own files are never replaced
  // and nothing is written outside its directory.
  const std::string tree = target.Read("MainTree.dat");
  const std::string item = target.Read("b.txt");
  source.t.Write("MainTree.dat", "[Root]\r\nhostile\r\n");
  source.t.Write("b.txt", "hostile");
  source.t.Write("x.txt", "x");
  const std::string hostile =
      Lines({"[Tree buff from Orvane]", source.t.Path("b.txt"), "[Attach file list from Orvane]",
             "MainTree.dat", "MainTree.dat.ord", "b.txt", "..", "../x.txt", "sub\\x.txt", "x.txt"});
  asked.clear();
  treeclip::Insert(p, treeclip::Parse(hostile), Find(p, "B"), options);
  EXPECT_EQ(target.Read("MainTree.dat"), tree);
  EXPECT_EQ(target.Read("b.txt"), item);
  EXPECT_FALSE(fsys::Exists(target.Path("MainTree.dat.ord")));
  EXPECT_EQ(target.Read("x.txt"), "x");
  EXPECT_TRUE(asked.empty());
}

TEST(TreeClipboard, AnInsertStopsAtAFileItCannotRead) {
  Sample s(false);
  const std::string clipText = treeclip::CopyText(s.p, s.p.Root());
  struct Case {
    const char *name;
    std::function<void()> spoil;
  } cases[] = {
      {"missing", [&] { std::remove(s.t.Path("a1.txt").c_str()); }},
      {"a directory", [&] { mkdir(s.t.Path("a1.txt").c_str(), 0755); }},
      {"a FIFO", [&] { mkfifo(s.t.Path("a1.txt").c_str(), 0644); }},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    Sample target(false);
    target.t.Write("pic.png", "old");
    std::remove(s.t.Path("a1.txt").c_str());
    rmdir(s.t.Path("a1.txt").c_str());
    c.spoil();
    treeclip::TClip clip = treeclip::Parse(clipText);
    clip.attachments = {"pic.png"};
    s.t.Write("pic.png", "new");
    const treeclip::TInsertReport r = treeclip::Insert(target.p, clip, Find(target.p, "B"), {});
    EXPECT_TRUE(r.sourceMissing);
    EXPECT_EQ(r.missingPath, s.t.Path("a1.txt"));
    EXPECT_EQ(r.inserted, 2); // the items before it stay
    EXPECT_EQ(outline::Print(target.p.Tree()), "Project(A(A1 A2) B Project+(A))");
    EXPECT_EQ(target.t.Read("pic.png"), "old"); // the attachment lines were not reached
  }

  // A relative path names no file.
  TempDir elsewhere;
  const treeclip::TClip relative = treeclip::Parse(Lines({"[Tree buff from Orvane]", "a.txt"}));
  const treeclip::TInsertReport r = treeclip::Insert(s.p, relative, Find(s.p, "B"), {});
  EXPECT_TRUE(r.sourceMissing);
  EXPECT_EQ(r.inserted, 0);
  EXPECT_EQ(r.first, nullptr);
}
