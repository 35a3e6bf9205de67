#include "ProjectFixtures.h"
#include "TempDir.h"
#include "cli/CliCommands.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>

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
  EXPECT_NE(r.err.find("item Root-C00001 (file \"a1.txt\") listed in section Root-C00003 left "
                       "out: it is already in the tree at another place"),
            std::string::npos);
  EXPECT_NE(r.err.find("item Gone (file \"\")"), std::string::npos);
  EXPECT_NE(r.err.find("item Lost (file \"lost.txt\") cannot be read"), std::string::npos);
}

TEST(Cli, ResaveWritesTheTreeFileAgainAndKeepsTheBackup) {
  TempDir t;
  fixture::WriteSample(t);
  const std::string before = t.Read("MainTree.dat");
  Result r = Cli({"resave", "--", t.Dir()});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("wrote " + t.Dir() + "MainTree.dat (5 items, "), std::string::npos);
  EXPECT_EQ(t.Read("MainTree.dat.ord"), before);
  // The sample's root had "Expanded=0"; a save writes the state it loads with.
  EXPECT_NE(t.Read("MainTree.dat").find("Expanded=1\r\nChild01"), std::string::npos);
  // A tree file that cannot be replaced: failure, old file untouched.
  std::filesystem::create_directories(t.Path("MainTree.dat.new/x"));
  const std::string saved = t.Read("MainTree.dat");
  r = Cli({"resave", t.Dir()});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("was not written"), std::string::npos);
  EXPECT_EQ(t.Read("MainTree.dat"), saved);
}

TEST(Cli, ClearErrorsForWhatIsNotAProjectAndForWrongCommandLines) {
  TempDir t;
  Result r = Cli({"tree", t.Dir()});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("not a project"), std::string::npos);
  EXPECT_TRUE(r.out.empty());
  t.Write("MainTree.dat", "[Root]\r\nFileName=gone.txt\r\n");
  r = Cli({"resave", t.Dir()});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("root item file \"gone.txt\" cannot be read"), std::string::npos);
  EXPECT_EQ(t.Read("MainTree.dat"), "[Root]\r\nFileName=gone.txt\r\n"); // never emptied
  EXPECT_NE(Cli({"tree", t.Dir() + "nowhere"}).err.find("no such directory"), std::string::npos);

  EXPECT_EQ(Cli({}).code, 2);
  EXPECT_EQ(Cli({"frobnicate"}).code, 2);
  EXPECT_EQ(Cli({"tree"}).code, 2);
  EXPECT_EQ(Cli({"tree", "a", "b"}).code, 2);
  EXPECT_EQ(Cli({"resave", "--force", t.Dir()}).code, 2);
  for (const char *command : {"tree", "resave"}) {
    r = Cli({command, "--help"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out.rfind(std::string("usage: orvane-cli ") + command, 0), 0u);
  }
  r = Cli({"--help"});
  EXPECT_EQ(r.code, 0);
  EXPECT_NE(r.out.find("resave"), std::string::npos);
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
  for (const std::string &s : {r.out, r.err})
    EXPECT_EQ(s.find('\x1b'), std::string::npos);

  // Paths in messages, the user's own argument included.
  std::filesystem::create_directories(t.Path("x\x1b[8m"));
  r = Cli({"tree", t.Dir() + "x\x1b[8m"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("x\\x1B[8m: not a project"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("x\\x1B[8m/MainTree.dat is missing"), std::string::npos) << r.err;
  r = Cli({"tree", "\xc2\x9b"
                   "2J\xff"}); // C1 CSI, and a byte that is not UTF-8
  EXPECT_NE(r.err.find("\\u009B2J\\xFF: "), std::string::npos) << r.err;
  for (const std::string &s : {r.out, r.err})
    EXPECT_EQ(s.find('\x1b'), std::string::npos);
}
