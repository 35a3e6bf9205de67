// The exchange reader: every outcome with its message, the refusals of
// hostile input, and the round trip through the writer.
#include "TempDir.h"
#include "export/Exchange.h"
#include "export/ExportText.h"
#include "store/Codec.h"
#include "store/Project.h"
#include "store/RegIniFile.h"
#include "support/TreeOutline.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <random>
#include <set>

namespace fs = std::filesystem;

namespace {

std::string J(const char *utf8) { return cp932::FromUtf8(utf8).bytes; }

const std::string kHeader = "[Orvane Exported File]\r\n";

// A message naming the exchange file Import() writes.
std::string AboutFile(const TempDir &t, const char *utf8) {
  return J("ファイル\"") + t.Path("in.txt") + "\"" + J(utf8);
}

std::set<std::string> Names(const std::string &dir) {
  std::set<std::string> names;
  for (const auto &e : fs::directory_iterator(dir))
    names.insert(e.path().filename().string());
  return names;
}

// `content` as an exchange file in `t`, imported as project "p" under t.
TImportResult Import(const TempDir &t, const std::string &content) {
  t.Write("in.txt", content);
  return ImportExchangeFile(t.Path("in.txt"), t.Dir(), "p");
}

} // namespace

TEST(ExchangeImport, BlocksBecomeFilesAsTheReadingRulesSay) {
  TempDir t;
  // Header only: an empty project directory, and success.
  TImportResult r = Import(t, kHeader);
  EXPECT_TRUE(r.ok());
  EXPECT_EQ(r.Message, J("インポートが完了しました"));
  EXPECT_TRUE(fs::is_directory(t.Path("p")));
  EXPECT_TRUE(Names(t.Path("p")).empty());
  fs::remove_all(t.Path("p"));

  // Text after the form feed is ignored; "FileName:" may stand anywhere in
  // the first line and the name is what follows its first nine characters
  // (a colon is an ordinary character); lines after the last form-feed line
  // are not written.
  r = Import(t, kHeader + "FileName:MainTree.dat\r\n[Root]\r\n\r\n\f ignored\r\n"
                          "xxFileName:a.txt\r\none\r\n\f\r\n"
                          "FileName:b.txt\r\nsecond\r\n\f\r\n"
                          "FileName:c.txt\r\nnever ended\r\n");
  EXPECT_TRUE(r.ok()) << r.Message;
  EXPECT_EQ(r.FilesWritten, 3);
  EXPECT_EQ(Names(t.Path("p")), (std::set<std::string>{"MainTree.dat", "e:a.txt", "b.txt"}));
  EXPECT_EQ(t.Read("p/MainTree.dat"), "[Root]\r\n\r\n");
  EXPECT_EQ(t.Read("p/e:a.txt"), "one\r\n");
  EXPECT_EQ(t.Read("p/b.txt"), "second\r\n");
  fs::remove_all(t.Path("p"));

  // LF-only and CR-only files; a last line without a line break.
  for (std::string eol : {"\n", "\r"}) {
    SCOPED_TRACE(eol == "\n" ? "LF" : "CR");
    r = Import(t, "[Orvane Exported File]" + eol + "FileName:x.txt" + eol + "a" + eol + eol + "b" +
                      eol + "\f" + eol + "FileName:y.txt" + eol + "\f");
    EXPECT_TRUE(r.ok()) << r.Message;
    EXPECT_EQ(t.Read("p/x.txt"), "a\r\n\r\nb\r\n");
    EXPECT_EQ(t.Read("p/y.txt"), "");
    fs::remove_all(t.Path("p"));
  }

  // A double-byte name whose trail byte is 0x5C is a plain name (表).
  r = Import(t, kHeader + "FileName:" + J("表.txt") + "\r\nz\r\n\f\r\n");
  EXPECT_TRUE(r.ok()) << r.Message;
  EXPECT_EQ(t.Read("p/" + cp932::ToUtf8(J("表.txt"))), "z\r\n");
}

TEST(ExchangeImport, FormatErrorsNameTheFormFeedLine) {
  TempDir t;
  // An empty block straight after the header: line 1.
  TImportResult r = Import(t, kHeader + "\f\r\n");
  EXPECT_EQ(r.Result, TImportResult::BadFormat);
  EXPECT_EQ(r.Message, AboutFile(t, "に不正なフォーマットが含まれています\r\n1行"));
  EXPECT_EQ(r.Line, 1);
  fs::remove_all(t.Path("p"));

  // A body line starting with a form feed ends the item there; what follows
  // is a block without "FileName:". No half project stays: the files
  // written go again, the folder the import made too.
  r = Import(t, kHeader + "FileName:MainTree.dat\r\n[Root]\r\n\f\r\n"
                          "FileName:a.txt\r\nkept\r\n\fcut\r\nlost\r\n\f\r\n");
  EXPECT_EQ(r.Result, TImportResult::BadFormat);
  EXPECT_EQ(r.Line, 8);
  EXPECT_EQ(r.Message, AboutFile(t, "に不正なフォーマットが含まれています\r\n8行"));
  EXPECT_EQ(r.FilesWritten, 1);
  EXPECT_EQ(r.FilesLeft, 0);
  EXPECT_FALSE(fs::exists(t.Path("p")));

  // A second block of a name would overwrite the first one's file: refused.
  for (const std::string name : {"a.txt", "MainTree.dat"}) {
    r = Import(t, kHeader + "FileName:" + name +
                      "\r\n1\r\n\f\r\nFileName:b.txt\r\n\f\r\nFileName:" + name +
                      "\r\n2\r\n\f\r\n");
    EXPECT_EQ(r.Result, TImportResult::DuplicateName) << name;
    EXPECT_EQ(r.Message, AboutFile(t, "に同じファイル名のブロックが二つあります\r\n") + name +
                             "\r\n6" + J("行"));
    EXPECT_FALSE(fs::exists(t.Path("p")));
  }

  // A line holding only a form feed is not empty; an empty line is content.
  r = Import(t, kHeader + "filename:a.txt\r\n\f\r\n"); // case matters
  EXPECT_EQ(r.Result, TImportResult::BadFormat);
}

TEST(ExchangeImport, WhatIsNotAnExchangeFileWritesNothing) {
  TempDir t;
  const std::string notOurs = AboutFile(t, "はOrvaneのデータではありません");
  for (std::string content : {std::string(), std::string("[orvane exported file]\r\n"),
                              std::string("[Orvane Exported File] \r\n"),
                              std::string("\xEF\xBB\xBF[Orvane Exported File]\r\n"),
                              std::string("\r\n[Orvane Exported File]\r\n")}) {
    TImportResult r = Import(t, content);
    EXPECT_EQ(r.Result, TImportResult::NotExchangeFile) << content;
    EXPECT_EQ(r.Message, notOurs);
    EXPECT_FALSE(fs::exists(t.Path("p")));
  }
  const std::string bad = J("エクスポートされたファイルが見つからないか、プロジェクト名が不正です");
  t.Write("in.txt", kHeader);
  for (std::string name : std::vector<std::string>{"", ".", "..", "a/b", "../p", "/abs", "a\\b",
                                                   std::string("a\0b", 3)}) {
    TImportResult r = ImportExchangeFile(t.Path("in.txt"), t.Dir() + "root", name);
    EXPECT_EQ(r.Result, TImportResult::BadRequest) << name;
    EXPECT_EQ(r.Message, bad);
  }
  EXPECT_EQ(ImportExchangeFile(t.Path("gone.txt"), t.Dir(), "p").Message, bad);
  EXPECT_EQ(ImportExchangeFile(t.Dir(), t.Dir(), "p").Message, bad); // a directory
  EXPECT_FALSE(fs::exists(t.Path("root")));
  EXPECT_FALSE(fs::exists(t.Path("p")));
}

TEST(ExchangeImport, HostileBlockNamesStopTheImportAtTheirLine) {
  TempDir t;
  fs::create_directories(t.Path("outside"));
  for (std::string name : std::vector<std::string>{
           "", ".", "..", "../outside/x.txt", "sub/x.txt", "/tmp/x.txt", "a\\b.txt",
           std::string("a\0b", 3),
           // A lead byte before a byte that is no trail byte is
           // a character of its own: the '/' still separates.
           "\x81/x.txt", "\x81/../../outside/x.txt", std::string("\x81\0", 2)}) {
    TImportResult r = Import(t, kHeader + "FileName:ok.txt\r\nfine\r\n\f\r\nFileName:" + name +
                                    "\r\nevil\r\n\f\r\n");
    EXPECT_EQ(r.Result, TImportResult::BadFileName) << name;
    EXPECT_EQ(r.Line, 4);
    EXPECT_EQ(r.Message, AboutFile(t, "に不正なファイル名が含まれています\r\n4行"));
    EXPECT_EQ(r.StoppedAt, name);
    EXPECT_FALSE(fs::exists(t.Path("p")));
  }
  EXPECT_TRUE(Names(t.Path("outside")).empty());
}

TEST(ExchangeImport, AnExistingProjectIsNeverWrittenInto) {
  TempDir t;
  fs::create_directories(t.Path("p"));
  t.Write("p/MainTree.dat", "mine");
  TImportResult r = Import(t, kHeader + "FileName:MainTree.dat\r\ntheirs\r\n\f\r\n");
  EXPECT_EQ(r.Result, TImportResult::TargetNotEmpty);
  EXPECT_NE(r.Message.find(t.Path("p")), std::string::npos);
  EXPECT_EQ(t.Read("p/MainTree.dat"), "mine");

  // An empty directory is fine, a link to one is not.
  fs::create_directories(t.Path("empty"));
  fs::create_directory_symlink(t.Path("empty"), t.Path("link"));
  t.Write("in.txt", kHeader + "FileName:a.txt\r\n\f\r\n");
  r = ImportExchangeFile(t.Path("in.txt"), t.Dir(), "link");
  EXPECT_EQ(r.Result, TImportResult::CannotCreateDir);
  EXPECT_EQ(r.Message, J("プロジェクト\"link\"が作成できませんでした"));
  EXPECT_TRUE(Names(t.Path("empty")).empty());
  r = ImportExchangeFile(t.Path("in.txt"), t.Dir(), "empty");
  EXPECT_TRUE(r.ok());
  EXPECT_EQ(Names(t.Path("empty")), std::set<std::string>{"a.txt"});
  // A file in the way of the directory; missing parents are made.
  t.Write("file", "x");
  r = ImportExchangeFile(t.Path("in.txt"), t.Dir(), "file");
  EXPECT_EQ(r.Message, J("プロジェクト\"file\"が作成できませんでした"));
  r = ImportExchangeFileInto(t.Path("in.txt"), t.Dir() + "new/deeper/q");
  EXPECT_TRUE(r.ok()) << r.Message;
  EXPECT_TRUE(fs::exists(t.Path("new/deeper/q/a.txt")));
}

TEST(ExchangeImport, AFileThatCannotBeWrittenStopsTheImportNamingIt) {
  TempDir t;
  const std::string longName(300, 'n');
  TImportResult r = Import(t, kHeader + "FileName:a.txt\r\n1\r\n\f\r\nFileName:" + longName +
                                  "\r\n2\r\n\f\r\nFileName:c.txt\r\n3\r\n\f\r\n");
  EXPECT_EQ(r.Result, TImportResult::CannotWrite);
  EXPECT_EQ(r.Message, J("ファイル\"") + t.Dir() + "p/" + longName + J("\"が作成できません"));
  EXPECT_EQ(r.StoppedAt, longName);
  EXPECT_EQ(r.Failure.code, ENAMETOOLONG);
  EXPECT_FALSE(fs::exists(t.Path("p")));
  fs::create_directories(t.Path("mine")); // the user's empty folder stays, empty again
  EXPECT_EQ(ImportExchangeFile(t.Path("in.txt"), t.Dir(), "mine").Result,
            TImportResult::CannotWrite);
  EXPECT_TRUE(Names(t.Path("mine")).empty());
}

TEST(ExchangeImport, LongLinesAndBigFilesStreamThrough) {
  TempDir t;
  // A line longer than the reader's piece (1 MB), and a CR LF whose CR ends
  // a piece.
  const std::string prefix = kHeader + "FileName:big.txt\r\n";
  const std::string line1(3 * 1024 * 1024 + 7, 'x');
  const size_t crAt = 5 * (size_t(1) << 20) - 1;
  const std::string line2(crAt - prefix.size() - line1.size() - 2, 'y');
  const std::string content = prefix + line1 + "\r\n" + line2 + "\r\n\f\r\n";
  ASSERT_EQ(content[crAt], '\r');
  TImportResult r = Import(t, content);
  ASSERT_TRUE(r.ok()) << r.Message;
  EXPECT_TRUE(t.Read("p/big.txt") == line1 + "\r\n" + line2 + "\r\n");
}

// A project of 1,000 items with Japanese text and marks: its exchange file,
// imported into a new directory, gives back the tree file and every item
// file line for line, and the same tree.
TEST(ExchangeImport, RoundTripOfAThousandItems) {
  TempDir t;
  const std::string src = t.Dir() + "src/";
  fs::create_directories(src);
  TProject project;
  ASSERT_TRUE(Ok(project.CreateFirstTree(src, J("往復の企画"), J("著者"))));
  std::mt19937 rng(7);
  const std::string words[] = {J("アイデア"),   J("検討"), J("次の手"), "note",
                               J("表示\\確認"), "",        "<a&b>",     J("ﾊﾝｶｸ")};
  std::vector<TProjectNode *> nodes{project.Root()};
  fsys::BatchWrites batch; // no flush per file
  for (int i = 0; i < 1000; ++i) {
    TProjectNode *parent = nodes[rng() % nodes.size()];
    TProjectNode *n = project.Tree().AddChild(parent, "x");
    n->Data()->ID = project.NextItemID();
    TNodeFiles &f = n->Data()->Files;
    f.FilePath = src + "2026120712" + std::to_string(100000 + i) + ".txt";
    f.Title = words[rng() % 8] + std::to_string(i);
    f.ToDo = rng() % 5 == 0;
    f.Completion = rng() % 7 == 0;
    int lines = static_cast<int>(rng() % 6);
    for (int l = 0; l < lines; ++l)
      f.Body.push_back(words[rng() % 8] + " " + words[rng() % 8]);
    project.Tree().SetText(n, f.Title);
    ASSERT_TRUE(Ok(f.Save()));
    nodes.push_back(n);
  }
  ASSERT_TRUE(Ok(project.Save()));

  TRegIniFile settings(t.Path("settings.ini"));
  TExportText engine(settings);
  ASSERT_TRUE(Ok(RunExport(engine, project, nullptr, TExportMode::Exchange, t.Path("ex.txt"))));
  TImportResult r = ImportExchangeFile(t.Path("ex.txt"), t.Dir(), "copy");
  ASSERT_TRUE(r.ok()) << r.Message;
  EXPECT_EQ(r.FilesWritten, 1003); // the tree file, the two first items, 1,000 more

  std::set<std::string> expected{"MainTree.dat"};
  for (const std::string &name : project.CollectItemFiles())
    if (name != "MainTree.dat.ord")
      expected.insert(name);
  EXPECT_EQ(Names(t.Path("copy")), expected);
  for (const std::string &name : expected)
    EXPECT_EQ(t.Read("copy/" + name), t.Read("src/" + name)) << name;

  TProject original, copy;
  ASSERT_TRUE(original.Load(src).RootLoaded);
  ASSERT_TRUE(copy.Load(t.Dir() + "copy/").RootLoaded);
  EXPECT_EQ(outline::Print(copy.Tree()), outline::Print(original.Tree()));
  EXPECT_EQ(copy.Tree().NodeCount(), 1002u);
}

// A text line that begins with a form feed (a page break pasted in) would end
// its block when read back: the export refuses, names item and line, and
// writes nothing; an old exchange file would have overwritten another item.
TEST(ExchangeImport, TheExportRefusesLinesThatWouldNotReadBack) {
  TempDir t;
  TProject project;
  ASSERT_TRUE(Ok(project.CreateFirstTree(t.Dir(), "Title", "me")));
  TProjectNode *item = project.Root()->GetFirstChild();
  item->Data()->Files.Title = "Paged";
  item->Data()->Files.Body = {"one", "\fFileName:other.txt", "two", "\f"};
  ASSERT_TRUE(Ok(item->Data()->Files.Save()));
  ASSERT_TRUE(Ok(project.Save()));
  t.Write("out.txt", "previous");

  TRegIniFile settings(t.Path("settings.ini"));
  TExportText engine(settings);
  EXPECT_EQ(RunExport(engine, project, nullptr, TExportMode::Exchange, t.Path("out.txt")).code,
            EILSEQ);
  EXPECT_EQ(t.Read("out.txt"), "previous");
  const std::string name = item->Data()->Files.FilePath.substr(t.Dir().size());
  EXPECT_EQ(engine.FormFeedMessage(),
            J("次の行が改ページ(フォームフィード)で始まるため、まとめたファイルから元どおりに"
              "読み戻せません。行の先頭の改ページを取り除いてから出力して下さい\r\n「Paged」(") +
                name + J(") 本文の2行目\r\n「Paged」(") + name + J(") 本文の4行目"));
  item->Data()->Files.Body = {"one", " \fFileName:other.txt"};
  ASSERT_TRUE(Ok(item->Data()->Files.Save()));
  EXPECT_TRUE(Ok(RunExport(engine, project, nullptr, TExportMode::Exchange, t.Path("out.txt"))));
  EXPECT_TRUE(ImportExchangeFile(t.Path("out.txt"), t.Dir(), "back").ok());
}
