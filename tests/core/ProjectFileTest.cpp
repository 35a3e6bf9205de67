#include "ProjectFixtures.h"
#include "TempDir.h"
#include "store/FileSystem.h"
#include "store/ProjectTree.h"
#include "support/FileSizeLimit.h"
#include "support/ScopedHooks.h"
#include "support/TreeOutline.h"

#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <random>

using fixture::Item;
using fixture::Section;

namespace {

std::string Shape(const TProjectTree &tree) { return outline::PrintWithSelection(tree); }

std::vector<std::string> Files(const TempDir &t) {
  std::vector<std::string> names;
  for (const auto &e : std::filesystem::directory_iterator(t.Dir()))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

struct Loaded {
  TProjectTree tree;
  explicit Loaded(const TempDir &t, TLoadMode mode = TLoadMode::Full) {
    tree.LoadMode = mode;
    tree.LoadProject(t.Dir());
  }
  std::string Shape() const { return ::Shape(tree); }
};

} // namespace

TEST(ProjectFile, NewProjectTreeFileMatchesTheLayoutByteForByte) {
  TempDir t;
  TProjectTree tree;
  EXPECT_FALSE(tree.LoadProject(t.Dir().substr(0, t.Dir().size() - 1)));
  EXPECT_EQ(tree.ProjectDir(), t.Dir()); // with the separator added
  // What the editor builds for a new project: the root and one new item.
  auto data = std::make_unique<TNodeData>();
  data->ID = "Root";
  data->Files.FilePath = t.Dir() + "202612071230450.txt";
  TProjectNode *root = tree.AddChild(nullptr, "\x83\x5e\x83\x43\x83\x67\x83\x8b", std::move(data));
  data = std::make_unique<TNodeData>();
  data->ID = "Root-C00000";
  data->Files.FilePath = "202612071230451.txt"; // a bare name, as new items get it
  tree.AddChild(root, "new", std::move(data));
  tree.WindowData.LastIndex = 0;
  tree.WindowData.NextIndex();
  tree.SetExpanded(root, true);
  tree.SetSelected(root);
  EXPECT_TRUE(Ok(tree.SaveProject()));
  EXPECT_EQ(t.Read("MainTree.dat"),
            "[Root]\r\nLastIndex=1\r\nTagHeader=\r\nTagFooter=\r\nExpanded=1\r\n"
            "Child01=Root-C00000\r\nFileName=202612071230450.txt\r\nLastNode=Root\r\n" +
                fixture::kNewSettingsSections +
                "[Root-C00000]\r\nFileName=202612071230451.txt\r\n");
  EXPECT_EQ(Files(t), std::vector<std::string>{"MainTree.dat"}); // no backup, no leftovers
}

TEST(ProjectFile, SaveAndLoadAgainKeepShapeLabelsStatesSelectionAndSettings) {
  TempDir t;
  fixture::WriteSample(t);
  Loaded first(t);
  EXPECT_EQ(first.Shape(), "Project(A(A1 A2) B*)"); // no "+": the root is always expanded
  EXPECT_EQ(first.tree.SelectNode(), first.tree.Selected());
  EXPECT_EQ(first.tree.WindowData.TagHeader, "<b>");
  EXPECT_TRUE(first.tree.GetFirstNode()->GetFirstChild()->GetFirstChild()->Data()->Files.ToDo);
  ASSERT_TRUE(Ok(first.tree.SaveProject()));
  const std::string firstSave = t.Read("MainTree.dat");
  EXPECT_NE(firstSave.find("[Root]\r\nLastIndex=4\r\nTagHeader=<b>\r\nTagFooter=</b>\r\n"
                           "Expanded=1\r\nChild01=Root-C00000\r\nChild02=Root-C00003\r\n"
                           "FileName=r.txt\r\nLastNode=Root-C00003\r\n[Window]"),
            std::string::npos);

  Loaded second(t);
  EXPECT_EQ(second.Shape(), first.Shape());
  EXPECT_EQ(second.tree.Selected()->Data()->ID, "Root-C00003");
  ASSERT_TRUE(Ok(second.tree.SaveProject()));
  EXPECT_EQ(t.Read("MainTree.dat.ord"), firstSave);
  EXPECT_EQ(t.Read("MainTree.dat"), firstSave);
  EXPECT_EQ(Files(t).size(), 7u); // five items, the tree file and its backup
}

TEST(ProjectFile, HundredsOfChildrenUseThreeDigitKeys) {
  TempDir t;
  Item(t, "r.txt", "R");
  std::string root = "[Root]\r\nFileName=r.txt\r\n";
  std::string items;
  for (int i = 1; i <= 120; ++i) {
    std::string id = "Root-C" + std::to_string(10000 + i);
    root += (i < 10 ? "Child0" : "Child") + std::to_string(i) + "=" + id + "\r\n";
    items += Section(id, {"FileName=" + std::to_string(i) + ".txt"});
    Item(t, std::to_string(i) + ".txt", std::to_string(i));
  }
  t.Write("MainTree.dat", root + items);
  Loaded l(t);
  ASSERT_EQ(l.tree.RootNode()->Count(), 120);
  EXPECT_EQ(l.tree.RootNode()->Item(119)->Text(), "120");
  ASSERT_TRUE(Ok(l.tree.SaveProject()));
  std::string saved = t.Read("MainTree.dat");
  EXPECT_NE(saved.find("Child09=Root-C10009\r\nChild10=Root-C10010\r\n"), std::string::npos);
  EXPECT_NE(saved.find("Child99=Root-C10099\r\nChild100=Root-C10100\r\n"), std::string::npos);
  EXPECT_EQ(Loaded(t).tree.NodeCount(), 121u);
}

// Child lists that are broken in one way each; `shape` is what loads.
struct BrokenList {
  const char *name;
  std::string treeFile;
  std::string shape;
  std::vector<TSkippedItem::Reason> skipped;
  std::vector<std::string> skippedFiles = {}; // checked when given
};

class ProjectFileBrokenLists : public testing::TestWithParam<BrokenList> {};

TEST_P(ProjectFileBrokenLists, LoadWhatCanBeLoadedAndEnd) {
  TempDir t;
  for (const char *f : {"r", "a", "b", "c", "d"})
    Item(t, std::string(f) + ".txt", std::string(1, static_cast<char>(std::toupper(f[0]))));
  std::filesystem::create_directory(t.Path("sub"));
  Item(t, "sub/d.txt", "in a subdirectory"); // item files never have a directory part
  t.Write("MainTree.dat", GetParam().treeFile);
  Loaded l(t);
  EXPECT_EQ(l.Shape(), GetParam().shape);
  std::vector<TSkippedItem::Reason> why;
  std::vector<std::string> files;
  for (const auto &s : l.tree.SkippedItems()) {
    why.push_back(s.Why);
    files.push_back(s.FileName);
  }
  EXPECT_EQ(why, GetParam().skipped);
  if (!GetParam().skippedFiles.empty()) {
    EXPECT_EQ(files, GetParam().skippedFiles);
  }
}

const std::string kItems = Section("A", {"FileName=a.txt"}) + Section("B", {"FileName=b.txt"}) +
                           Section("C", {"FileName=c.txt"}) + Section("D", {"FileName=d.txt"});

INSTANTIATE_TEST_SUITE_P(
    Lists, ProjectFileBrokenLists,
    testing::Values(
        BrokenList{"Gap",
                   Section("Root", {"FileName=r.txt", "Child01=A", "Child03=B"}) + kItems,
                   "R*(A)",
                   {}},
        BrokenList{"SelfReferenceEndsTheList",
                   Section("Root", {"FileName=r.txt", "Child01=A", "Child02=Root", "Child03=B"}) +
                       kItems,
                   "R*(A)",
                   {}},
        BrokenList{"ThreeCycle",
                   Section("Root", {"FileName=r.txt", "Child01=A"}) +
                       Section("A", {"FileName=a.txt", "Child01=B"}) +
                       Section("B", {"FileName=b.txt", "Child01=C"}) +
                       Section("C", {"FileName=c.txt", "Child01=a", "Child02=D"}) +
                       Section("D", {"FileName=d.txt", "Child01=Root"}),
                   "R*(A+(B+(C+(D))))",
                   {TSkippedItem::Cycle, TSkippedItem::Cycle}},
        BrokenList{"SameItemTwice",
                   Section("Root", {"FileName=r.txt", "Child01=A", "Child02=B", "Child03=c"}) +
                       Section("A", {"FileName=a.txt", "Child01=C"}) +
                       Section("B", {"FileName=b.txt", "Child01=C", "Child02=D"}) +
                       Section("C", {"FileName=c.txt"}) + Section("D", {"FileName=a.txt"}),
                   "R*(A+(C) B)",
                   {TSkippedItem::Duplicate, TSkippedItem::SharedFile, TSkippedItem::Duplicate},
                   // named though the load is done with C's section by then
                   {"c.txt", "a.txt", "c.txt"}},
        BrokenList{"MissingFilesInTheMiddle",
                   Section("Root", {"FileName=r.txt", "Child01=A", "Child02=X", "Child03=Y",
                                    "Child04=Z", "Child05=B"}) +
                       kItems + Section("X", {"FileName=x.txt", "Child01=C"}) +
                       Section("Y", {"FileName=sub/d.txt"}),
                   // Unreadable files stay as nodes named by the file (see the
                   // missing-item tests); only the entry without any file goes.
                   "R*(A x.txt+(C) sub/d.txt B)",
                   {TSkippedItem::MissingFile}},
        BrokenList{"LastNodeNamingNothing",
                   Section("Root", {"FileName=r.txt", "Child01=A", "LastNode=Gone"}) + kItems,
                   "R*(A)",
                   {}},
        BrokenList{"MissingRootFile",
                   Section("Root", {"FileName=none.txt", "Child01=A"}) + kItems,
                   "",
                   {}},
        BrokenList{"NoTreeFileKeys", "not an ini file at all\r\n", "", {}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(ProjectFile, RootOnlyReadsTheRootHeaderAndNothingElse) {
  TempDir t;
  fixture::WriteSample(t);
  Loaded l(t, TLoadMode::RootOnly);
  EXPECT_EQ(l.Shape(), "Project-*");
  EXPECT_TRUE(l.tree.RootNode()->Data()->Files.Body.empty());
  EXPECT_EQ(l.tree.WindowData.LastNode, "");
  Loaded full(t);
  EXPECT_EQ(full.tree.RootNode()->Data()->Files.Body, std::vector<std::string>{"text of Project"});
}

TEST(ProjectFile, EachLoadStartsAfreshAndReportsEveryNodeBeforeItsChildren) {
  TempDir t;
  fixture::WriteSample(t);
  TProjectTree tree;
  std::vector<std::string> loaded;
  tree.OnNodeLoaded = [&](TProjectNode *n) {
    EXPECT_FALSE(n->HasChildren());
    loaded.push_back(n->Data()->ID);
  };
  ASSERT_TRUE(tree.LoadProject(t.Dir()));
  ASSERT_TRUE(tree.LoadProject(t.Dir()));
  EXPECT_EQ(tree.NodeCount(), 5u);
  EXPECT_EQ(loaded.size(), 10u);
  EXPECT_EQ(std::vector<std::string>(loaded.begin(), loaded.begin() + 5),
            (std::vector<std::string>{"Root", "Root-C00000", "Root-C00001", "Root-C00002",
                                      "Root-C00003"}));
  // A directory without a tree file leaves the tree empty and the settings as they were.
  TempDir empty;
  tree.WindowData.Width = 1;
  EXPECT_FALSE(tree.LoadProject(empty.Dir()));
  EXPECT_EQ(tree.NodeCount(), 0u);
  EXPECT_EQ(tree.WindowData.Width, 1);
  EXPECT_FALSE(tree.LoadProject(empty.Dir() + "missing"));
  EXPECT_EQ(tree.ProjectDir(), "");
  // Nothing to save into: reported, not thrown.
  EXPECT_EQ(tree.SaveProject().code, fsys::kNoProjectDirectory);
}

TEST(ProjectFile, MalformedItemHeadersAreReportedByTheLoad) {
  TempDir t;
  fixture::WriteSample(t);
  Item(t, "a2.txt", "A2", "Line:x\r\n");
  Loaded l(t);
  const TStringList &warnings = l.tree.LoadWarnings();
  EXPECT_EQ(l.tree.NodeCount(), 5u);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_NE(warnings[0].find("a2.txt"), std::string::npos);
}

TEST(ProjectFile, AFailedSaveKeepsTheTreeFileAndItsBackupAndSaysWhy) {
  TempDir t;
  fixture::WriteSample(t);
  Loaded l(t);
  ASSERT_TRUE(Ok(l.tree.SaveProject()));
  const std::string previous = t.Read("MainTree.dat");
  t.Write("MainTree.dat.ord", "older");
  fsys::Status result;
  {
    FileSizeLimit limit(64); // the new file cannot be written
    result = l.tree.SaveProject();
  }
  EXPECT_FALSE(result);
  EXPECT_NE(result.Text().find("MainTree.dat"), std::string::npos);
  EXPECT_EQ(t.Read("MainTree.dat"), previous);
  EXPECT_EQ(t.Read("MainTree.dat.ord"), "older");
  EXPECT_FALSE(std::filesystem::exists(t.Path("MainTree.dat.new")));
  // The next save works.
  EXPECT_TRUE(Ok(l.tree.SaveProject()));
  EXPECT_EQ(t.Read("MainTree.dat.ord"), previous);
  // An empty tree never replaces a tree file.
  l.tree.ClearTree();
  EXPECT_EQ(l.tree.SaveTreeFile(t.Dir() + "MainTree.dat").code, fsys::kEmptyTree);
  EXPECT_EQ(t.Read("MainTree.dat"), previous);
}

TEST(ProjectFile, AKillAtAnyStepOfASaveLeavesACompleteTreeFile) {
  using Step = TProjectTree::SaveStep;
  for (Step stop : {Step::NewFileWritten, Step::PreviousKept, Step::Replaced}) {
    SCOPED_TRACE(static_cast<int>(stop));
    TempDir t;
    fixture::WriteSample(t);
    const std::string before = t.Read("MainTree.dat");
    Loaded l(t);
    l.tree.SetText(l.tree.RootNode()->GetFirstChild(), "renamed");
    l.tree.Delete(l.tree.RootNode()->GetLastChild());
    {
      support::ScopedSaveStepHook hook([&](Step s) { return s != stop; });
      EXPECT_EQ(l.tree.SaveTreeFile(t.Dir() + "MainTree.dat").code, fsys::kStoppedForTest);
    }
    // Whatever moment it stopped at, the tree file is the old or the new one, whole.
    Loaded after(t);
    if (stop == Step::Replaced) {
      EXPECT_EQ(after.tree.NodeCount(), 4u);
      EXPECT_EQ(t.Read("MainTree.dat.ord"), before);
    } else {
      EXPECT_EQ(t.Read("MainTree.dat"), before);
      EXPECT_EQ(after.tree.NodeCount(), 5u);
    }
    // A save after the interrupted one finishes the job.
    ASSERT_EQ(l.tree.SaveTreeFile(t.Dir() + "MainTree.dat").Text(), "ok");
    EXPECT_EQ(Loaded(t).tree.NodeCount(), 4u);
    EXPECT_FALSE(std::filesystem::exists(t.Path("MainTree.dat.new")));
  }
}

// A stopped save's complete .new, newer than the tree file, is put in place as
// the save would have, the tree file becoming the backup.
TEST(ProjectFile, AStoppedSavesNewTreeFileIsFoundAndFinished) {
  using Step = TProjectTree::SaveStep;
  namespace fs = std::filesystem;
  for (Step stop : {Step::NewFileWritten, Step::PreviousKept}) {
    SCOPED_TRACE(static_cast<int>(stop));
    TempDir t;
    fixture::WriteSample(t);
    const std::string tree = t.Path("MainTree.dat"), before = t.Read("MainTree.dat");
    fs::last_write_time(tree, fs::last_write_time(tree) - std::chrono::hours(1));
    Loaded l(t);
    l.tree.Delete(l.tree.RootNode()->GetLastChild());
    {
      support::ScopedSaveStepHook hook([&](Step s) { return s != stop; });
      EXPECT_EQ(l.tree.SaveTreeFile(tree).code, fsys::kStoppedForTest);
    }
    EXPECT_EQ(TProjectTree::StoppedSaveFile(tree), tree + ".new");
    ASSERT_TRUE(Ok(TProjectTree::FinishStoppedSave(tree)));
    EXPECT_EQ(Loaded(t).tree.NodeCount(), 4u);
    EXPECT_EQ(t.Read("MainTree.dat.ord"), before);
    // Not offered: cut short, naming no root file, or older than the tree file.
    for (auto [stale, hours] : {std::pair{"[Root]\r\nFileName=r.txt", -1},
                                std::pair{"[Root]\r\nFileName=gone.txt\r\n", -1},
                                std::pair{"[Root]\r\nFileName=r.txt\r\n", 1}}) {
      t.Write("MainTree.dat.new", stale);
      fs::last_write_time(tree, fs::last_write_time(tree + ".new") + std::chrono::hours(hours));
      EXPECT_FALSE(TProjectTree::FinishStoppedSave(tree)) << stale;
    }
    // Nor a link to a newer tree, outside the project or inside it.
    TempDir elsewhere;
    for (const std::string &to : {elsewhere.Path("MainTree.dat"), t.Path("newer.dat")}) {
      std::ofstream(to) << "[Root]\r\nFileName=r.txt\r\n";
      fs::remove(tree + ".new");
      fs::create_symlink(to, tree + ".new");
      fs::last_write_time(tree, fs::last_write_time(to) - std::chrono::hours(1));
      EXPECT_FALSE(TProjectTree::FinishStoppedSave(tree) || fs::is_symlink(tree)) << to;
    }
  }
}

// The name of a save's new file taken by a folder or a link (to an item's
// file, to a tree elsewhere): the save goes on by another name, touching none.
TEST(ProjectFile, ASaveDoesNotNeedTheNameOfItsNewFileFree) {
  namespace fs = std::filesystem;
  TempDir elsewhere;
  elsewhere.Write("MainTree.dat", "[Root]\r\n");
  for (const std::string &link :
       {std::string(), std::string("b.txt"), elsewhere.Path("MainTree.dat")}) {
    TempDir t;
    fixture::WriteSample(t);
    const std::string fresh = t.Path("MainTree.dat.new"), b = t.Read("b.txt");
    link.empty() ? (void)fs::create_directory(fresh) : fs::create_symlink(link, fresh);
    Loaded l(t);
    l.tree.Delete(l.tree.RootNode()->GetLastChild());
    ASSERT_TRUE(Ok(l.tree.SaveTreeFile(t.Path("MainTree.dat")))) << link;
    EXPECT_EQ(Loaded(t).tree.NodeCount(), 4u);
    EXPECT_TRUE(t.Read("b.txt") == b && elsewhere.Read("MainTree.dat") == "[Root]\r\n");
    EXPECT_TRUE(fs::is_directory(fresh) || fs::is_symlink(fresh));
    EXPECT_EQ(std::distance(fs::directory_iterator(t.Path("")), {}), 8); // no new file left
  }
}

// Items a gap or a key given twice hides: reported, written back untouched by
// every save (as any section no item owns), attached under the root on request.
TEST(ProjectFile, ItemsNoListReachesAreKeptAtSaveAndCanBeAttached) {
  TempDir t;
  for (const char *f : {"r", "a", "b", "c", "d"})
    Item(t, std::string(f) + ".txt", std::string(1, static_cast<char>(f[0] - 'a' + 'A')));
  t.Write("MainTree.dat",
          Section("Root", {"LastIndex=1", "FileName=r.txt", "Child01=Root-C00000",
                           "Child01=Root-C00001", "Child03=Root-C00002"}) +
              Section("Root-C00000", {"FileName=a.txt"}) +
              Section("Root-C00001", {"FileName=b.txt"}) + Section("Extra", {"kept=as it was"}) +
              Section("Root-C00002", {"FileName=c.txt", "Expanded=1", "Child01=Root-C00003"}) +
              Section("Root-C00003", {"FileName=d.txt"}));
  const std::string kept =
      "[Extra]\r\nkept=as it was\r\n"
      "[Root-C00002]\r\nFileName=c.txt\r\nExpanded=1\r\nChild01=Root-C00003\r\n";
  for (int round = 0; round < 2; ++round) { // loaded from the file, then from its save
    TProject p;
    const TLoadReport report = p.Load(t.Dir());
    EXPECT_EQ(outline::Print(p.Tree()), "R(A)");
    ASSERT_EQ(report.Unreached.size(), 3u);
    EXPECT_EQ(report.Unreached[2].ID + report.Unreached[2].FileName, "Root-C00003d.txt");
    EXPECT_TRUE(p.CollectItemFiles().count("d.txt"));      // the cleanup keeps their files
    EXPECT_GT(p.NextItemID(), std::string("Root-C00003")); // never a kept ID
    ASSERT_TRUE(Ok(p.Save()));
    EXPECT_NE(t.Read("MainTree.dat").find(kept), std::string::npos) << t.Read("MainTree.dat");
  }
  // Those no kept section lists go first; what they list comes with them.
  TProject p, last;
  p.Load(t.Dir());
  EXPECT_EQ(p.Tree().AttachUnreached(), 3u);
  EXPECT_TRUE(p.Modified() && p.Tree().SkippedItems().empty());
  ASSERT_TRUE(Ok(p.Save()));
  EXPECT_TRUE(last.Load(t.Dir()).Unreached.empty());
  EXPECT_EQ(outline::Print(last.Tree()), "R(A B C(D))");
  EXPECT_NE(t.Read("MainTree.dat").find("[Extra]\r\nkept=as it was\r\n"), std::string::npos);
}

TEST(ProjectFile, HostileTreeFilesLoadWithoutCrashOrHang) {
  TempDir t;
  Item(t, "r.txt", "R");
  // 100,000 children under one node, every tenth with an item file (links
  // to one file: far quicker to make than files of their own).
  Item(t, "x.txt", "x");
  std::string root = "[Root]\r\nFileName=r.txt\r\n";
  std::string items;
  for (int i = 1; i <= 100000; ++i) {
    std::string id = "C" + std::to_string(i);
    root += (i < 10 ? "Child0" : "Child") + std::to_string(i) + "=" + id + "\r\n";
    items += "[" + id + "]\r\nFileName=" + std::to_string(i % 10 ? 0 : i) + ".txt\r\n";
    if (i % 10 == 0)
      std::filesystem::create_hard_link(t.Path("x.txt"), t.Path(std::to_string(i) + ".txt"));
  }
  t.Write("MainTree.dat", root + items);
  {
    Loaded l(t);
    // The first entry of the unreadable 0.txt stays; the others share its file.
    EXPECT_EQ(l.tree.RootNode()->Count(), 10001);
    EXPECT_EQ(l.tree.MissingItems().size(), 1u);
    EXPECT_EQ(l.tree.SkippedItems().size(), 89999u);
  }
  // A 5 MB line, as a key, as a child ID and as plain junk.
  const std::string huge(5 << 20, '\x88');
  t.Write("MainTree.dat",
          "[Root]\r\nFileName=r.txt\r\nChild01=" + huge + "\r\n" + huge + "\r\n" + huge + "=x\r\n");
  EXPECT_EQ(Loaded(t).tree.NodeCount(), 1u);
  // Random bytes, alone and between valid lines.
  std::mt19937 rng(7);
  for (int round = 0; round < 20; ++round) {
    std::string junk(1 + rng() % 20000, '\0');
    for (char &c : junk)
      c = static_cast<char>(rng());
    t.Write("MainTree.dat", round % 2 ? junk : "[Root]\r\nFileName=r.txt\r\nChild01=" + junk);
    t.Write("r.txt", round % 3 ? "Title:R\r\n\r\n" : junk);
    Loaded l(t);
    EXPECT_LE(l.tree.NodeCount(), 1u);
  }
}
