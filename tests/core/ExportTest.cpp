// The export layouts byte for byte against golden files written from the
// layout rules (tests/data/export/make-golden.py), over a real project copy.
#include "TempDir.h"
#include "export/ExportText.h"
#include "store/Codec.h"
#include "store/NodeFiles.h"
#include "store/Project.h"
#include "store/RegIniFile.h"
#include "support/FileSizeLimit.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string J(const char *utf8) { return cp932::FromUtf8(utf8).bytes; }

std::string Golden(const std::string &rel) {
  std::ifstream in(std::string(ORVANE_TEST_DATA_DIR) + "/export/" + rel, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// A copy of the golden project, loaded, with a settings file of its own.
struct ExportFixture : ::testing::Test {
  TempDir t;
  std::string projectDir;
  TProject project;
  std::unique_ptr<TRegIniFile> settings;

  void SetUp() override {
    fs::copy(std::string(ORVANE_TEST_DATA_DIR) + "/export/project", t.Path("project"));
    projectDir = t.Dir() + "project/";
    ASSERT_TRUE(project.Load(projectDir).RootLoaded);
    settings = std::make_unique<TRegIniFile>(t.Path("settings.ini"));
  }
  TProjectNode *Node(const std::string &id) {
    for (TProjectNode *n = project.Tree().GetFirstNode(); n; n = n->GetNext())
      if (n->Data()->ID == id)
        return n;
    return nullptr;
  }
  fsys::Status Export(TExportMode mode, const std::string &out, TProjectNode *item = nullptr) {
    TExportText engine(*settings);
    return RunExport(engine, project, item, mode, out);
  }
};

} // namespace

TEST_F(ExportFixture, EveryLayoutMatchesItsGoldenFile) {
  // The item listed with a missing file (gone.txt) is left out; its child is
  // still exported. Marks, empty bodies, depth 3, escaped HTML.
  ASSERT_TRUE(Ok(Export(TExportMode::Text, t.Path("out.txt"))));
  EXPECT_EQ(t.Read("out.txt"), Golden("text.txt"));
  ASSERT_TRUE(Ok(Export(TExportMode::Html, t.Path("out.html"))));
  EXPECT_EQ(t.Read("out.html"), Golden("html.html"));
  ASSERT_TRUE(Ok(Export(TExportMode::Exchange, t.Path("out-ex.txt"))));
  EXPECT_EQ(t.Read("out-ex.txt"), Golden("exchange.txt"));

  // The frame set covers the whole project whatever item is given; made
  // again in the same folder, it replaces every page, and counts each item.
  std::vector<size_t> counted;
  for (int pass = 0; pass < 2; ++pass) {
    TExportText engine(*settings);
    ASSERT_TRUE(Ok(RunExport(engine, project, Node("Root-C00002"), TExportMode::Frames,
                             t.Path("frames"), [&](size_t done, size_t total) {
                               EXPECT_EQ(total, project.Tree().NodeCount());
                               counted.push_back(done);
                             })));
    std::set<std::string> expected, written;
    for (const auto &e :
         fs::directory_iterator(std::string(ORVANE_TEST_DATA_DIR) + "/export/frames"))
      expected.insert(e.path().filename().string());
    for (const auto &e : fs::directory_iterator(t.Path("frames")))
      written.insert(e.path().filename().string());
    EXPECT_EQ(written, expected);
    for (const std::string &name : expected)
      EXPECT_EQ(t.Read("frames/" + name), Golden("frames/" + name)) << name;
  }
  EXPECT_EQ(counted.size(), 2 * project.Tree().NodeCount());
  EXPECT_EQ(counted.back(), project.Tree().NodeCount());
}

TEST_F(ExportFixture, ABranchStartsAtDepthZeroAndUnsavedEditsAreNotExported) {
  TProjectNode *plan = Node("Root-C00000");
  plan->Data()->Files.Title = "changed in memory"; // not saved: the file counts
  ASSERT_TRUE(Ok(Export(TExportMode::Text, t.Path("branch.txt"), plan)));
  const std::string sep = "+--------+--------+--------+--------+--------+--------+\r\n";
  EXPECT_EQ(t.Read("branch.txt"),
            J("★予定表 (ToDo)\r\n月曜: 会議\r\n\r\n火曜: 表示\\確認\r\n\r\n") + sep +
                J(" ★完了した件 (完了)\r\n\r\n") + sep +
                J("  ★下位の件\r\n<script>alert(1)</script>\r\n\r\n") + sep);
  // Heading levels are not capped.
  TExportText engine(*settings);
  engine.SetFileName(t.Path("deep.html"));
  ASSERT_TRUE(engine.BeginText());
  EXPECT_TRUE(engine.AddItemHtml(projectDir + "20261207120004.txt", 6));
  EXPECT_FALSE(engine.AddItemHtml(projectDir + "gone.txt", 0));
  EXPECT_NE(engine.OutputLines().find(J("<h7> 空の項目 <B>(完了)</B></h7><BR>\r\n<HR>\r\n")),
            std::string::npos);
}

TEST_F(ExportFixture, TemplatesComeFromTheSettingsAndAreWrittenBackUntilRegisted) {
  {
    TExportText engine(*settings); // nothing there yet: defaults, written back
    EXPECT_EQ(engine.TextHeader, J("★"));
    EXPECT_EQ(engine.TextIndent, " ");
    EXPECT_EQ(engine.HTMLSepatator, "<HR>");
  }
  TRegIniFile reread(t.Path("settings.ini"));
  EXPECT_TRUE(reread.ReadBool("restoration", "Registed", false));
  EXPECT_EQ(reread.ReadString("restoration", "TextIndent", "x"), " ");
  EXPECT_EQ(reread.ReadString("restoration", "TextToDo", "x"), " (ToDo)");
  EXPECT_EQ(reread.ReadString("restoration", "TextCompletion", "x"), J(" (完了)"));
  EXPECT_EQ(reread.ReadString("restoration", "HTMLSepatator", "x"), "<HR>");
  EXPECT_EQ(reread.ReadString("restoration", "HTMLCompletion", "x"), J("<B>(完了)</B>"));
  EXPECT_EQ(reread.ReadSection("restoration").size(), 10u);

  // The user's own templates are used; with Registed set nothing is written.
  reread.WriteString("restoration", "TextIndent", "..");
  reread.WriteString("restoration", "TextHeader", "# ");
  reread.DeleteKey("restoration", "TextSeparator");
  ASSERT_TRUE(Ok(reread.UpdateFile()));
  const std::string before = t.Read("settings.ini");
  TRegIniFile user(t.Path("settings.ini"));
  {
    TExportText engine(user);
    EXPECT_EQ(engine.TextIndent, "..");
    ASSERT_TRUE(
        Ok(RunExport(engine, project, Node("Root-C00001"), TExportMode::Text, t.Path("u.txt"))));
  }
  EXPECT_EQ(t.Read("u.txt").rfind(J("# 完了した件 (完了)\r\n\r\n+---"), 0), 0u) << t.Read("u.txt");
  EXPECT_NE(t.Read("u.txt").find("..# "), std::string::npos);
  EXPECT_EQ(t.Read("settings.ini"), before);

  // Registed gone: the current values (the user's too) go back, with the
  // default for the missing one.
  user.DeleteKey("restoration", "Registed");
  { TExportText engine(user); }
  TRegIniFile after(t.Path("settings.ini"));
  EXPECT_TRUE(after.ReadBool("restoration", "Registed", false));
  EXPECT_EQ(after.ReadString("restoration", "TextIndent", ""), "..");
  EXPECT_EQ(after.ReadString("restoration", "TextSeparator", ""),
            "+--------+--------+--------+--------+--------+--------+");
}

TEST_F(ExportFixture, BeginIsRefusedWithoutAFileNameOrWhileActive) {
  TExportText engine(*settings);
  EXPECT_FALSE(engine.BeginText());
  EXPECT_FALSE(engine.BeginFrames("x"));
  EXPECT_FALSE(engine.EndText()); // nothing begun
  EXPECT_EQ(engine.EndText().code, EINVAL);
  EXPECT_TRUE(engine.AddLine("dropped")); // not active: nothing, true
  EXPECT_TRUE(engine.SetFileName(t.Path("a.txt")));
  ASSERT_TRUE(engine.BeginText());
  EXPECT_FALSE(engine.BeginText());
  EXPECT_FALSE(engine.BeginFrames("x"));
  EXPECT_FALSE(engine.SetFileName(t.Path("b.txt")));
  EXPECT_EQ(TExportText::AlreadyOpenMessage(), J("ファイルはすでに開かれています"));
  EXPECT_EQ(engine.FileName(), t.Path("a.txt"));
  EXPECT_FALSE(engine.AddItemPage(projectDir + "20261207120000.txt", 0)); // not a frame export
  EXPECT_TRUE(engine.AddLine("one"));
  EXPECT_TRUE(engine.AddLines(TTextLines{}));
  ASSERT_TRUE(Ok(engine.EndText()));
  EXPECT_EQ(t.Read("a.txt"), "one\r\n\r\n");
  EXPECT_FALSE(engine.Active());
  EXPECT_TRUE(engine.SetFileName(t.Path("b.txt")));

  // A frame set dropped unfinished: its pages are there, no index.
  {
    TExportText frames(*settings);
    fs::create_directories(t.Path("unfinished"));
    ASSERT_TRUE(frames.SetFileName(t.Dir() + "unfinished/") && frames.BeginFrames("x"));
    EXPECT_TRUE(frames.AddItemPage(projectDir + "20261207120000.txt", 0));
  }
  EXPECT_TRUE(fs::exists(t.Path("unfinished/20261207120000.html")));
  EXPECT_FALSE(fs::exists(t.Path("unfinished/index.html")));

  // The command: an empty path writes nothing and says so.
  TExportText fresh(*settings);
  fsys::Status s = RunExport(fresh, project, nullptr, TExportMode::Text, "");
  EXPECT_EQ(s.code, EINVAL);
  EXPECT_EQ(s.op, "export");
}

TEST_F(ExportFixture, AFailedWriteNamesTheFileAndLeavesNothingHalfWritten) {
  // A directory in the way of the output file.
  fs::create_directories(t.Path("taken.txt"));
  fsys::Status s = Export(TExportMode::Text, t.Path("taken.txt"));
  EXPECT_FALSE(s);
  EXPECT_EQ(s.path, t.Path("taken.txt"));
  EXPECT_EQ(s.code, EISDIR);
  // A read-only file is not replaced.
  t.Write("ro.txt", "old");
  chmod(t.Path("ro.txt").c_str(), 0444);
  s = Export(TExportMode::Exchange, t.Path("ro.txt"));
  EXPECT_EQ(s.code, EACCES);
  EXPECT_EQ(t.Read("ro.txt"), "old");
  // No such directory.
  s = Export(TExportMode::Html, t.Path("none/out.html"));
  EXPECT_EQ(s.code, ENOENT);
  EXPECT_EQ(s.path, t.Path("none/out.html"));
  for (const auto &e : fs::directory_iterator(t.Dir()))
    EXPECT_EQ(e.path().filename().string().find(".tmp"), std::string::npos);

  // Frame set: a page that cannot be written stops the pages, and the index
  // files are not written.
  fs::create_directories(t.Path("frames/20261207120003.html"));
  s = Export(TExportMode::Frames, t.Path("frames"));
  EXPECT_EQ(s.code, EISDIR);
  EXPECT_EQ(s.path, t.Dir() + "frames/20261207120003.html");
  EXPECT_TRUE(fs::exists(t.Path("frames/20261207120002.html")));
  EXPECT_FALSE(fs::exists(t.Path("frames/20261207120004.html")));
  EXPECT_FALSE(fs::exists(t.Path("frames/index.html")));
  EXPECT_FALSE(fs::exists(t.Path("frames/index0.html")));
}

TEST(ExchangeWriter, BlocksHoldTheFileLinesAsStored) {
  TempDir t;
  TRegIniFile settings(t.Path("settings.ini"));
  t.Write("empty.txt", "");
  t.Write("nobreak.txt", "a\r\nlast");
  // (A form feed inside a line is text; one that begins a line is refused,
  // ExchangeImportTest.)
  t.Write("mixed.txt", "lf\ncr\rcrlf\r\n\r\nin \f text\r\n");
  TExportText engine(settings);
  engine.SetFileName(t.Path("ex.txt"));
  ASSERT_TRUE(engine.BeginText());
  EXPECT_TRUE(engine.AddExchangeFile(t.Path("empty.txt")));
  EXPECT_TRUE(engine.AddExchangeFile(t.Path("nobreak.txt")));
  EXPECT_TRUE(engine.AddExchangeFile(t.Path("mixed.txt")));
  EXPECT_FALSE(engine.AddExchangeFile(t.Path("gone.txt")));
  ASSERT_TRUE(Ok(engine.EndText()));
  EXPECT_EQ(t.Read("ex.txt"), "FileName:empty.txt\r\n\f\r\n"
                              "FileName:nobreak.txt\r\na\r\nlast\r\n\f\r\n"
                              "FileName:mixed.txt\r\nlf\r\ncr\r\ncrlf\r\n\r\nin \f text\r\n\f\r\n");
}

TEST_F(ExportFixture, DeepProjectsExportWithoutRecursion) {
  // A chain far deeper than a call stack would take.
  TProjectNode *n = project.Root();
  for (int i = 0; i < 20000; ++i)
    n = project.Tree().AddChild(n, "x");
  n->Data()->Files.FilePath = projectDir + "20261207120004.txt";
  TExportText engine(*settings);
  engine.SetFileName(t.Path("deep.txt"));
  ASSERT_TRUE(engine.BeginText());
  ExportBranch(engine, project.Root(), TExportMode::Text, 0);
  ASSERT_TRUE(Ok(engine.EndText()));
  EXPECT_NE(t.Read("deep.txt").find("\n" + std::string(20000, ' ') + J("★空の項目")),
            std::string::npos);
}

TEST_F(ExportFixture, ABigExportIsWrittenInPiecesAndStaysWhole) {
  // Several megabytes: the output goes to its file in pieces.
  const std::string file = projectDir + "20261207120004.txt";
  TNodeFiles big;
  big.FilePath = file;
  ASSERT_TRUE(Ok(big.Open(true)));
  big.Body.clear();
  for (int copy = 0; copy < 4; ++copy)
    for (int i = 0; i < 60000; ++i)
      big.Body.push_back(J("長い本文の行 ") + std::to_string(i));
  ASSERT_TRUE(Ok(big.Save()));
  ASSERT_GT(fs::file_size(file), 4u << 20);
  ASSERT_TRUE(project.Load(projectDir).RootLoaded);

  t.Write("out.txt", "previous");
  ASSERT_TRUE(Ok(Export(TExportMode::Exchange, t.Path("out.txt"))));
  const std::string out = t.Read("out.txt");
  EXPECT_GT(out.size(), 4u << 20);
  EXPECT_EQ(out.compare(out.size() - 3, 3, "\f\r\n"), 0);
  size_t blocks = 0;
  for (size_t at = out.find("FileName:"); at != std::string::npos;
       at = out.find("FileName:", at + 1))
    ++blocks;
  EXPECT_EQ(blocks, project.Tree().NodeCount() + 1 - project.Tree().MissingItems().size());
  EXPECT_NE(out.find(J("長い本文の行 59999\r\n長い本文の行 0\r\n")), std::string::npos);

  // A text export of the same project from a load of the tree alone reads
  // every item from its file and gives the same bytes.
  ASSERT_TRUE(Ok(Export(TExportMode::Text, t.Path("full.txt"))));
  ASSERT_TRUE(Ok(Export(TExportMode::Html, t.Path("full.html"))));
  TProject treeOnly;
  treeOnly.Tree().LoadMode = TLoadMode::TreeOnly;
  ASSERT_TRUE(treeOnly.Load(projectDir).RootLoaded);
  TExportText a(*settings), b(*settings), c(*settings);
  ASSERT_TRUE(Ok(RunExport(a, treeOnly, nullptr, TExportMode::Text, t.Path("tree.txt"))));
  ASSERT_TRUE(Ok(RunExport(b, treeOnly, nullptr, TExportMode::Html, t.Path("tree.html"))));
  ASSERT_TRUE(Ok(RunExport(c, treeOnly, nullptr, TExportMode::Exchange, t.Path("tree-ex.txt"))));
  EXPECT_EQ(t.Read("tree.txt"), t.Read("full.txt"));
  EXPECT_EQ(t.Read("tree.html"), t.Read("full.html"));
  EXPECT_EQ(t.Read("tree-ex.txt"), out);

  // The disk fills up half way: the previous file stays, nothing is left
  // beside it.
  t.Write("prev.txt", "previous");
  {
    FileSizeLimit limit(2 << 20);
    fsys::Status s = Export(TExportMode::Exchange, t.Path("prev.txt"));
    EXPECT_EQ(s.code, EFBIG);
    EXPECT_EQ(s.path, t.Path("prev.txt"));
  }
  EXPECT_EQ(t.Read("prev.txt"), "previous");
  for (const auto &e : fs::directory_iterator(t.Dir()))
    EXPECT_EQ(e.path().filename().string().find(".tmp"), std::string::npos);
}
