#include "ProjectFixtures.h"
#include "TempDir.h"
#include "cli/CliCommands.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sstream>
#include <tuple>

using ::testing::AllOf;
using ::testing::AnyOf;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

struct Result {
  int code;
  std::string out, err;
};

Result Cli(std::vector<std::string> args) {
  std::ostringstream out, err;
  int code = cli::Run(args, out, err);
  return {code, out.str(), err.str()};
}

} // namespace

TEST(Cli, TreePrintsEveryItemInTreeOrder) {
  TempDir t;
  fixture::WriteSample(t);
  fixture::Item(t, "r.txt", "\x83\x5e\x83\x43\x83\x67\x83\x8b", "Completion:true\r\n"); // タイトル
  // An item named twice and one without a file are left out with a warning;
  // one whose file cannot be read is listed under its file name and warned of.
  std::string tree = t.Read("MainTree.dat");
  tree.replace(tree.find("FileName=b.txt"), 14,
               "FileName=b.txt\r\nChild01=Root-C00001\r\n"
               "Child02=Gone\r\nChild03=Lost");
  t.Write("MainTree.dat", tree + "[Lost]\r\nFileName=lost.txt\r\n");
  Result r = Cli({"tree", t.Dir()});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "  Root r.txt [+-C] タイトル\n"
                   "    Root-C00000 a.txt [+--] A\n"
                   "      Root-C00001 a1.txt [-T-] A1\n"
                   "      Root-C00002 a2.txt [---] A2\n"
                   "*   Root-C00003 b.txt [---] B\n"
                   "      Lost lost.txt [---] lost.txt\n");
  EXPECT_THAT(r.err,
              HasSubstr("item Root-C00001 (file \"a1.txt\") listed in section Root-C00003 left "
                        "out: it is already in the tree at another place"));
  EXPECT_THAT(r.err, HasSubstr("item Gone (file \"\")"));
  EXPECT_THAT(r.err, HasSubstr("item Lost (file \"lost.txt\") cannot be read"));
}

TEST(Cli, ResaveWritesTheTreeFileAgainAndKeepsTheBackup) {
  TempDir t;
  fixture::WriteSample(t);
  const std::string before = t.Read("MainTree.dat");
  Result r = Cli({"resave", "--", t.Dir()});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_THAT(r.out, HasSubstr("wrote " + t.Dir() + "MainTree.dat (5 items, "));
  EXPECT_EQ(t.Read("MainTree.dat.ord"), before);
  // The sample's root had "Expanded=0"; a save writes the state it loads with.
  EXPECT_THAT(t.Read("MainTree.dat"), HasSubstr("Expanded=1\r\nChild01"));
  // A tree file that cannot be replaced: failure, old file untouched.
  std::filesystem::permissions(t.Path("MainTree.dat"), std::filesystem::perms::owner_read);
  const std::string saved = t.Read("MainTree.dat");
  r = Cli({"resave", t.Dir()});
  EXPECT_EQ(r.code, 1);
  EXPECT_THAT(r.err, HasSubstr("was not written"));
  EXPECT_EQ(t.Read("MainTree.dat"), saved);
}

TEST(Cli, ClearErrorsForWhatIsNotAProjectAndForWrongCommandLines) {
  TempDir t;
  Result r = Cli({"tree", t.Dir()});
  EXPECT_EQ(r.code, 1);
  EXPECT_THAT(r.err, HasSubstr("not a project"));
  EXPECT_TRUE(r.out.empty());
  t.Write("MainTree.dat", "[Root]\r\nFileName=gone.txt\r\n");
  r = Cli({"resave", t.Dir()});
  EXPECT_EQ(r.code, 1);
  EXPECT_THAT(r.err, HasSubstr("root item file \"gone.txt\" cannot be read"));
  EXPECT_EQ(t.Read("MainTree.dat"), "[Root]\r\nFileName=gone.txt\r\n"); // never emptied
  EXPECT_THAT(Cli({"tree", t.Dir() + "nowhere"}).err, HasSubstr("no such directory"));

  EXPECT_EQ(Cli({}).code, 2);
  EXPECT_EQ(Cli({"frobnicate"}).code, 2);
  EXPECT_EQ(Cli({"tree"}).code, 2);
  EXPECT_EQ(Cli({"tree", "a", "b"}).code, 2);
  EXPECT_EQ(Cli({"resave", "--force", t.Dir()}).code, 2);
  for (const char *command : {"tree", "resave"}) {
    SCOPED_TRACE(command);
    r = Cli({command, "--help"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out.rfind(std::string("usage: orvane-cli ") + command, 0), 0u);
  }
  r = Cli({"--help"});
  EXPECT_EQ(r.code, 0);
  EXPECT_THAT(r.out, HasSubstr("resave"));
}

TEST(Cli, ControlCharactersOfTitlesNamesAndPathsArePrintedEscaped) {
  // A title or a file name can carry terminal escape sequences; printed raw
  // they would act on the user's terminal.
  TempDir t;
  fixture::WriteSample(t);
  fixture::Item(t, "a.txt", "\x1b[2J\x1b]0;owned\x07 a\\b\tc\x7f\x95\x5c");
  fixture::Item(t, "b\x1b[31m.txt", "B");
  std::string tree = t.Read("MainTree.dat");
  tree.replace(tree.find("FileName=b.txt"), 14, "FileName=b\x1b[31m.txt");
  t.Write("MainTree.dat", tree);
  Result r = Cli({"tree", t.Dir()});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "  Root r.txt [+--] Project\n"
                   "    Root-C00000 a.txt [+--] \\x1B[2J\\x1B]0;owned\\x07 a\\\\b\\x09c\\x7F表\n"
                   "      Root-C00001 a1.txt [-T-] A1\n"
                   "      Root-C00002 a2.txt [---] A2\n"
                   "*   Root-C00003 b\\x1B[31m.txt [---] B\n");
  EXPECT_THAT(r.out + r.err, Not(HasSubstr("\x1b")));

  // Paths in messages, the user's own argument included.
  std::filesystem::create_directories(t.Path("x\x1b[8m"));
  r = Cli({"tree", t.Dir() + "x\x1b[8m"});
  EXPECT_EQ(r.code, 1);
  EXPECT_THAT(r.err, HasSubstr("x\\x1B[8m: not a project"));
  EXPECT_THAT(r.err, HasSubstr("x\\x1B[8m/MainTree.dat is missing"));
  r = Cli({"tree", "\xc2\x9b"
                   "2J\xff"}); // C1 CSI, and a byte that is not UTF-8
  EXPECT_THAT(r.err, HasSubstr("\\u009B2J\\xFF: "));
  EXPECT_THAT(r.out + r.err, Not(HasSubstr("\x1b")));
}

namespace {

// The export reads the user's templates (and writes them back once): point
// the settings at the test's own directory.
class ScopedConfigHome {
public:
  explicit ScopedConfigHome(const std::string &dir) {
    const char *old = std::getenv("XDG_CONFIG_HOME");
    had_ = old != nullptr;
    if (old)
      old_ = old;
    setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
  }
  ~ScopedConfigHome() {
    if (had_)
      setenv("XDG_CONFIG_HOME", old_.c_str(), 1);
    else
      unsetenv("XDG_CONFIG_HOME");
  }

private:
  bool had_ = false;
  std::string old_;
};

std::string GoldenExport(const std::string &rel) {
  std::ifstream in(std::string(ORVANE_TEST_DATA_DIR) + "/export/" + rel, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace

TEST(Cli, ExportWritesEachLayoutAndPrintsNothing) {
  TempDir t;
  ScopedConfigHome home(t.Path("config"));
  std::filesystem::copy(std::string(ORVANE_TEST_DATA_DIR) + "/export/project", t.Path("p"));
  const std::string p = t.Path("p");
  for (auto [mode, out, golden] :
       {std::tuple{"--text", "o.txt", "text.txt"}, std::tuple{"--html", "o.html", "html.html"},
        std::tuple{"--exchange", "o.ex", "exchange.txt"}}) {
    SCOPED_TRACE(mode);
    Result r = Cli({"export", p, mode, t.Path(out)});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(t.Read(out), GoldenExport(golden));
  }
  Result r = Cli({"export", p, "--frames", t.Path("web/site")}); // made when missing
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(t.Read("web/site/index.html"), GoldenExport("frames/index.html"));
  EXPECT_EQ(t.Read("web/site/index0.html"), GoldenExport("frames/index0.html"));
  // One branch.
  r = Cli({"export", p, "--item", "Root-C00002", "--text", t.Path("b.txt")});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(t.Read("b.txt").substr(0, 3), "\x81\x9a\x89"); // ★下 at depth 0
  EXPECT_TRUE(std::filesystem::exists(t.Path("config/kem/Orvane/settings.ini")));
}

TEST(Cli, ExportFailuresAndWrongCommandLines) {
  TempDir t;
  ScopedConfigHome home(t.Path("config"));
  fixture::WriteSample(t);
  Result r = Cli({"export", t.Path("nowhere"), "--text", t.Path("o.txt")});
  EXPECT_EQ(r.code, 1);
  EXPECT_THAT(r.err, HasSubstr("no such directory"));
  std::filesystem::create_directories(t.Path("dir.txt"));
  r = Cli({"export", t.Dir(), "--text", t.Path("dir.txt")});
  EXPECT_EQ(r.code, 1);
  EXPECT_THAT(r.err, HasSubstr(t.Path("dir.txt") + " was not written"));
  EXPECT_EQ(r.out, "");
  r = Cli({"export", t.Dir(), "--item", "Root-C09999", "--html", t.Path("o.html")});
  EXPECT_EQ(r.code, 1);
  EXPECT_THAT(r.err, HasSubstr("no item Root-C09999"));
  EXPECT_FALSE(std::filesystem::exists(t.Path("o.html")));

  for (std::vector<std::string> args : {std::vector<std::string>{"export", t.Dir()},
                                        {"export", t.Dir(), "--text"},
                                        {"export", t.Dir(), "--text", "a", "--html", "b"},
                                        {"export", "--text", "a"},
                                        {"export", t.Dir(), "x", "--text", "a"},
                                        {"export", t.Dir(), "--pdf", "a"},
                                        {"export", t.Dir(), "--frames", "a", "--item", "Root"},
                                        {"export", t.Dir(), "--text", ""}}) {
    SCOPED_TRACE(testing::PrintToString(args));
    r = Cli(args);
    EXPECT_EQ(r.code, 2);
    EXPECT_THAT(r.err, HasSubstr("usage: orvane-cli export"));
  }
  EXPECT_EQ(Cli({"export", "--help"}).code, 0);
}

TEST(Cli, ImportMakesANewProjectAndRefusesAnExistingOne) {
  TempDir t;
  ScopedConfigHome home(t.Path("config"));
  fixture::WriteSample(t);
  ASSERT_EQ(Cli({"export", t.Dir(), "--exchange", t.Path("ex.txt")}).code, 0);
  Result r = Cli({"import", t.Path("ex.txt"), t.Path("copy")});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out + r.err, "");
  EXPECT_EQ(t.Read("copy/MainTree.dat"), t.Read("MainTree.dat"));
  EXPECT_EQ(t.Read("copy/a1.txt"), t.Read("a1.txt"));
  EXPECT_EQ(Cli({"tree", t.Path("copy")}).out, Cli({"tree", t.Dir()}).out);

  // Into a project that is there: refused, nothing changed.
  t.Write("copy/a1.txt", "mine");
  r = Cli({"import", t.Path("ex.txt"), t.Path("copy")});
  EXPECT_EQ(r.code, 1);
  EXPECT_THAT(r.err, HasSubstr(t.Path("copy")));
  EXPECT_EQ(t.Read("copy/a1.txt"), "mine");
  // Not an exchange file; a hostile name (the message names the line).
  r = Cli({"import", t.Path("a.txt"), t.Path("other")});
  EXPECT_EQ(r.code, 1);
  EXPECT_THAT(r.err, HasSubstr("Orvane"));
  t.Write("bad.txt", "[Orvane Exported File]\r\nFileName:../x\r\n\f\r\n");
  r = Cli({"import", t.Path("bad.txt"), t.Path("other2")});
  EXPECT_EQ(r.code, 1);
  EXPECT_THAT(r.err, HasSubstr(" 1行"));
  EXPECT_FALSE(std::filesystem::exists(t.Path("x")));
  r = Cli({"import", t.Path("gone.txt"), t.Path("other3")});
  EXPECT_EQ(r.code, 1);
  EXPECT_THAT(r.err, HasSubstr("no such file"));

  EXPECT_EQ(Cli({"import", t.Path("ex.txt")}).code, 2);
  EXPECT_EQ(Cli({"import", "a", "b", "c"}).code, 2);
  EXPECT_EQ(Cli({"import", "--force", "a", "b"}).code, 2);
}

TEST(Cli, CheckReportsWhatALoadSkipsOrWarnsAbout) {
  TempDir t;
  fixture::WriteSample(t);
  Result r = Cli({"check", t.Dir()});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const std::string tree = t.Read("MainTree.dat");
  const std::string before = tree;

  // A malformed header value.
  fixture::Item(t, "a2.txt", "A2", "Update:yesterday\r\n");
  r = Cli({"check", t.Dir()});
  EXPECT_EQ(r.code, 1);
  EXPECT_THAT(r.err, HasSubstr("warning: "));
  fixture::Item(t, "a2.txt", "A2");

  // Bytes that are not Shift-JIS in a text; then a missing item file.
  t.Write("b.txt", "Title:B\r\n\r\nok\r\nbad \xff byte\r\n\r\n");
  r = Cli({"check", t.Dir()});
  EXPECT_EQ(r.code, 1);
  EXPECT_THAT(r.err,
              HasSubstr("item Root-C00003 (file \"b.txt\") holds bytes that are not Shift-JIS in "
                        "its text line 2"));
  std::filesystem::remove(t.Path("b.txt"));
  r = Cli({"check", t.Dir()});
  EXPECT_EQ(r.code, 1);
  EXPECT_THAT(r.err, HasSubstr("item Root-C00003 (file \"b.txt\") cannot be read"));
  // A cycle.
  fixture::Item(t, "b.txt", "B");
  std::string cyclic = tree;
  cyclic.replace(cyclic.find("FileName=a1.txt"), 15, "FileName=a1.txt\r\nChild01=Root-C00000");
  t.Write("MainTree.dat", cyclic);
  r = Cli({"check", t.Dir()});
  EXPECT_EQ(r.code, 1);
  EXPECT_THAT(r.err, HasSubstr("it is one of its own ancestors"));
  EXPECT_EQ(t.Read("MainTree.dat"), cyclic); // nothing written
  EXPECT_FALSE(std::filesystem::exists(t.Path("MainTree.dat.ord")));
  // A gap hides B; strays of stopped writes.
  std::string gap = tree;
  gap.replace(gap.find("Child02=Root-C00003"), 19, "Child03=Root-C00003");
  t.Write("MainTree.dat", gap);
  t.Write("a.txt.tmp~", "left");
  t.Write("MainTree.dat.new", gap);
  r = Cli({"check", t.Dir()});
  EXPECT_EQ(r.code, 1);
  EXPECT_THAT(r.err,
              AllOf(HasSubstr("item Root-C00003 (file \"b.txt\") is not reached by any child list"),
                    HasSubstr("file \"a.txt.tmp~\" is left from a write that was stopped"),
                    HasSubstr("file \"MainTree.dat.new\" is left from a stopped save and holds "
                              "nothing")));
  // A folder in the place of the save's new file.
  std::filesystem::remove(t.Path("MainTree.dat.new"));
  std::filesystem::create_directory(t.Path("MainTree.dat.new"));
  r = Cli({"check", t.Dir()});
  EXPECT_THAT(r.err, HasSubstr("\"MainTree.dat.new\" is a folder"));
  EXPECT_EQ(Cli({"check", t.Path("nowhere")}).code, 1);
  EXPECT_EQ(Cli({"check"}).code, 2);
}

TEST(Cli, CheckReportsItemFilesNewerThanTheTreeThatNoItemNames) {
  TempDir t;
  fixture::WriteSample(t);
  // An editor made an item and was killed before its tree was saved; an
  // attachment and an old stray file are no such thing.
  fixture::Item(t, "20261209120000.txt", "made elsewhere");
  fixture::Item(t, "old.txt", "old");
  t.Write("note.pdf", "%PDF");
  std::string a1 = t.Read("a1.txt");
  a1.replace(a1.find("\r\n\r\n"), 4, "\r\nAttachFile:manual.txt\r\n\r\n");
  t.Write("a1.txt", a1);
  t.Write("manual.txt", "attached");
  const auto past =
      std::filesystem::last_write_time(t.Path("MainTree.dat")) - std::chrono::hours(1);
  std::filesystem::last_write_time(t.Path("MainTree.dat"), past);
  std::filesystem::last_write_time(t.Path("old.txt"), past - std::chrono::hours(1));
  Result r = Cli({"check", t.Dir()});
  EXPECT_EQ(r.code, 1);
  EXPECT_THAT(
      r.err,
      HasSubstr("file \"20261209120000.txt\" is newer than the tree file and no item names it"));
  EXPECT_THAT(r.err, Not(AnyOf(HasSubstr("old.txt"), HasSubstr("manual.txt"), HasSubstr("a1.txt"),
                               HasSubstr("note.pdf"))));
  // Such files can be restored in the editor, as retired ones can; no attachment can.
  fixture::Item(t, "gone.txt.exp", "gone");
  r = Cli({"check", t.Dir()});
  EXPECT_THAT(
      r.out,
      AllOf(HasSubstr("restorable: file \"gone.txt.exp\" (deleted item), title \"gone\", "),
            HasSubstr("restorable: file \"old.txt\" (below a deleted item), title \"old\"")));
  EXPECT_THAT(r.out, Not(HasSubstr("manual.txt")));
}

namespace {

// An item file with the given CP932 text lines (CR LF between them).
void ItemText(const TempDir &t, const std::string &file, const std::string &title,
              const std::string &text) {
  t.Write(file, "Title:" + title + "\r\n\r\n" + text + "\r\n");
}

} // namespace

TEST(Cli, FindPrintsEveryHitInTreeOrderWithTheMemosLineAndColumn) {
  TempDir t;
  fixture::WriteSample(t); // Project(A(A1 A2) B*)
  ItemText(t, "b.txt", "B", "memo first");
  ItemText(t, "a.txt", "A", "memo one\r\nplan memo memo");
  ItemText(t, "a1.txt", "A1", "first\r\n\r\nthen memomemo"); // after an empty line
  ItemText(t, "a2.txt", "A2", "no\r\n\x1b[2Jmemo\t\\");
  Result r = Cli({"find", t.Dir(), "memo"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "Root-C00000 0:1 memo one\n"
                   "Root-C00000 1:6 plan memo memo\n"
                   "Root-C00000 1:11 plan memo memo\n"
                   "Root-C00001 2:6 then memomemo\n"
                   "Root-C00001 2:10 then memomemo\n"
                   "Root-C00002 1:5 \\x1B[2Jmemo\\x09\\\\\n"
                   "Root-C00003 0:1 memo first\n");
  EXPECT_EQ(r.err, "");

  r = Cli({"find", t.Dir(), "memo", "--first"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "Root-C00000 0:1 memo one\n");
  r = Cli({"find", "--first", t.Dir(), "of"}); // the root's own text comes first
  EXPECT_EQ(r.out, "Root 0:6 text of Project\n");

  // Hits one after another: the next search starts after the previous hit.
  ItemText(t, "b.txt", "B", "aaaaa");
  EXPECT_EQ(Cli({"find", t.Dir(), "aa"}).out, "Root-C00003 0:1 aaaaa\nRoot-C00003 0:3 aaaaa\n");
  // A line break in the key (as a shell passes it) matches a line's end.
  r = Cli({"find", t.Dir(), "one\nplan"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "Root-C00000 0:6 memo one\n");
  EXPECT_EQ(Cli({"find", t.Dir(), "one\r\nplan"}).out, r.out);
  // A key that starts with '-' after "--".
  ItemText(t, "b.txt", "B", "x --first");
  EXPECT_EQ(Cli({"find", t.Dir(), "--", "--first"}).out, "Root-C00003 0:3 x --first\n");
}

TEST(Cli, FindMatchesDoubleByteTextByCharacters) {
  TempDir t;
  fixture::WriteSample(t);
  // "メモ 検討 検討" and "アア表A" in CP932.
  ItemText(t, "a.txt", "A", "\x83\x81\x83\x82 \x8c\x9f\x93\xa2 \x8c\x9f\x93\xa2");
  ItemText(t, "b.txt", "B",
           "\x83\x41\x83\x41\x95\x5c"
           "A");
  Result r = Cli({"find", t.Dir(), "検討"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "Root-C00000 0:6 メモ 検討 検討\n"
                   "Root-C00000 0:11 メモ 検討 検討\n");
  EXPECT_EQ(Cli({"find", t.Dir(), "ア"}).out, "Root-C00003 0:1 アア表A\n"
                                              "Root-C00003 0:3 アア表A\n");
  // Bytes that match only across a character's trail byte are no hit: "Aア"
  // is 41 83 41, "\" the trail byte 5C of 表.
  for (const char *key : {"Aア", "\\"}) {
    SCOPED_TRACE(key);
    r = Cli({"find", t.Dir(), key});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "");
  }
  EXPECT_EQ(Cli({"find", t.Dir(), "A"}).out, "Root-C00001 0:9 text of A1\n"
                                             "Root-C00002 0:9 text of A2\n"
                                             "Root-C00003 0:7 アア表A\n");
}

TEST(Cli, FindFailsForNothingFoundAndRefusesKeysItCannotSearchFor) {
  TempDir t;
  fixture::WriteSample(t);
  Result r = Cli({"find", t.Dir(), "nowhere"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out + r.err, "");
  r = Cli({"find", t.Path("gone"), "text"});
  EXPECT_EQ(r.code, 1);
  EXPECT_THAT(r.err, HasSubstr("no such directory"));

  r = Cli({"find", t.Dir(), ""});
  EXPECT_EQ(r.code, 2);
  EXPECT_THAT(r.err, HasSubstr("orvane-cli find: the key is empty"));
  r = Cli(
      {"find", t.Dir(), "text \xf0\x9f\x98\x80 \xed\x95\x9c"}); // an emoji and a Hangul syllable
  EXPECT_EQ(r.code, 2);
  EXPECT_THAT(r.err, HasSubstr("the key cannot be written in Shift-JIS: U+1F600 U+D55C\n"));
  r = Cli({"find", t.Dir(), "text \xff"});
  EXPECT_EQ(r.code, 2);
  EXPECT_THAT(r.err, HasSubstr("U+FFFD (U+FFFD: bytes that are not UTF-8)"));
  for (std::vector<std::string> args : {std::vector<std::string>{"find", t.Dir()},
                                        {"find", t.Dir(), "a", "b"},
                                        {"find", t.Dir(), "text", "--all"},
                                        {"find"}}) {
    SCOPED_TRACE(testing::PrintToString(args));
    r = Cli(args);
    EXPECT_EQ(r.code, 2);
    EXPECT_THAT(r.err, HasSubstr("usage: orvane-cli find"));
    EXPECT_EQ(r.out, "");
  }
  r = Cli({"find", "--help"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out.rfind("usage: orvane-cli find DIR KEY [--first]", 0), 0u);
  EXPECT_THAT(Cli({"--help"}).out, HasSubstr("  find "));
}
