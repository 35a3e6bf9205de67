#include "store/NodeFiles.h"
#include "TempDir.h"
#include "store/FileSystem.h"
#include "support/ScopedHooks.h"

#include <gtest/gtest.h>

#include <random>

namespace {

TDateTime At(int y, int mo, int d, int h, int mi, int s) {
  TDateTime t;
  t.year = y, t.month = mo, t.day = d, t.hour = h, t.minute = mi, t.second = s;
  return t;
}

const std::string kHeader = "Title:Idea\r\n"
                            "Update:2000/11/08 09:05:03\r\n"
                            "FirstEdition:1999/01/02 23:59:59\r\n"
                            "Edition:7\r\n"
                            "ToDo:true\r\n"
                            "Completion:false\r\n"
                            "Author:rovo\r\n"
                            "Line:3\r\n"
                            "Column:12\r\n";

TNodeFiles Sample(const std::string &path) {
  TNodeFiles f;
  f.FilePath = path;
  f.Title = "Idea";
  f.Update = At(2000, 11, 8, 9, 5, 3);
  f.FirstEdition = At(1999, 1, 2, 23, 59, 59);
  f.Edition = 7;
  f.ToDo = true;
  f.Author = "rovo";
  f.Line = 3;
  f.Column = 12;
  return f;
}

// Collects the malformed-value warnings of one test.
struct Warnings {
  TStringList messages;
};

} // namespace

TEST(NodeFiles, ConstructionValues) {
  const TNodeFiles f = [] {
    support::ScopedClock clock(At(2026, 1, 2, 3, 4, 5));
    return TNodeFiles();
  }();
  EXPECT_EQ(f.Title, "(Untheme)");
  EXPECT_EQ(f.Author, "rovo");
  EXPECT_EQ(f.Update, At(2026, 1, 2, 3, 4, 5));
  EXPECT_EQ(f.FirstEdition, f.Update);
  EXPECT_EQ(f.Line, 0);
  EXPECT_EQ(f.Column, 1);
  EXPECT_EQ(f.Edition, 0);
}

TEST(NodeFiles, WritesTheExactLayout) {
  TempDir t;
  TNodeFiles f = Sample(t.Dir() + "i.txt");
  f.AttachFiles = {"pic.png"};
  f.Body = {"first", "second"};
  ASSERT_TRUE(Ok(f.Save()));
  std::string bytes = t.Read("i.txt");
  EXPECT_EQ(bytes, kHeader + "AttachFile:pic.png\r\n\r\nfirst\r\nsecond\r\n\r\n");
  // Fourteen lines: nine header lines, one attachment, separator, two text
  // lines, closing line.
  size_t lines = 0;
  for (size_t p = 0; (p = bytes.find("\r\n", p)) != std::string::npos; p += 2)
    ++lines;
  EXPECT_EQ(lines, 14u);

  f.AttachFiles.clear();
  f.Body.clear();
  ASSERT_TRUE(Ok(f.Save()));
  EXPECT_EQ(t.Read("i.txt"), kHeader + "\r\n\r\n");
}

TEST(NodeFiles, RoundTripKeepsEveryField) {
  TempDir t;
  TNodeFiles f = Sample(t.Dir() + "i.txt");
  f.Title = "a:b:c \x95\x5c";            // colons and a trail byte of '\'
  f.Author = "\x83\x5c\x83\x74\x83\x67"; // ソフト
  f.Completion = true;
  f.Line = -5;
  f.AttachFiles = {"a.txt", "/home/u/\x95\x5c.doc", "a.txt"};
  f.Body = {"", "text \x95\x5c", "", "tab\there", "", ""}; // empty lines at both ends
  ASSERT_TRUE(Ok(f.Save()));
  TNodeFiles g;
  g.FilePath = f.FilePath;
  ASSERT_TRUE(Ok(g.Open(true)));
  EXPECT_EQ(g.Title, f.Title);
  EXPECT_EQ(g.Update, f.Update);
  EXPECT_EQ(g.FirstEdition, f.FirstEdition);
  EXPECT_EQ(g.Edition, f.Edition);
  EXPECT_EQ(g.ToDo, f.ToDo);
  EXPECT_EQ(g.Completion, f.Completion);
  EXPECT_EQ(g.Author, f.Author);
  EXPECT_EQ(g.Line, f.Line);
  EXPECT_EQ(g.Column, f.Column);
  EXPECT_EQ(g.AttachFiles, f.AttachFiles);
  EXPECT_EQ(g.Body, f.Body);
  EXPECT_EQ(g.Serialize(), f.Serialize());
}

TEST(NodeFiles, EmptyTitleAndAuthorSurviveARoundTrip) {
  TempDir t;
  TNodeFiles f = Sample(t.Dir() + "i.txt");
  f.Title.clear();
  f.Author.clear();
  f.Body = {"text"};
  ASSERT_TRUE(Ok(f.Save()));
  TNodeFiles g;
  g.FilePath = f.FilePath;
  ASSERT_TRUE(Ok(g.Open(true)));
  EXPECT_EQ(g.Title, "");
  EXPECT_EQ(g.Author, "");
  EXPECT_EQ(g.Line, 3);
  EXPECT_EQ(g.Column, 12);
  EXPECT_EQ(g.Body, TStringList{"text"});
}

TEST(NodeFiles, LineBreaksInHeaderValuesCannotBreakTheHeader) {
  TempDir t;
  TNodeFiles f = Sample(t.Dir() + "i.txt");
  f.Title = "two\r\nlines";
  f.AttachFiles = {"a\nLine:99"};
  f.Body = {"text"};
  ASSERT_TRUE(Ok(f.Save()));
  TNodeFiles g;
  g.FilePath = f.FilePath;
  ASSERT_TRUE(Ok(g.Open(true)));
  EXPECT_EQ(g.Title, "two  lines");
  EXPECT_EQ(g.AttachFiles, TStringList{"a Line:99"});
  EXPECT_EQ(g.Line, 3);
  EXPECT_EQ(g.Body, TStringList{"text"});
}

TEST(NodeFiles, BlankAttachmentEntriesCannotCutTheHeaderWhenSaved) {
  // "AttachFile:" alone ends a header: a blank entry read from a file, or an
  // empty name in memory, written as it was, turned the rest of the header
  // into text lines on the next open.
  TempDir t;
  t.Write("i.txt", "Title:A\r\nAttachFile: \r\nAttachFile:pic.png\r\nLine:4\r\n\r\ntext\r\n\r\n");
  TNodeFiles f;
  f.FilePath = t.Path("i.txt");
  ASSERT_TRUE(Ok(f.Open(true)));
  EXPECT_EQ(f.AttachFiles, TStringList{"pic.png"});
  f.AttachFiles.insert(f.AttachFiles.begin(), "");
  ASSERT_TRUE(Ok(f.Save()));
  TNodeFiles g;
  g.FilePath = f.FilePath;
  ASSERT_TRUE(Ok(g.Open(true)));
  EXPECT_EQ(g.AttachFiles, TStringList{"pic.png"});
  EXPECT_EQ(g.Line, 4);
  EXPECT_EQ(g.Body, TStringList{"text"});
}

TEST(NodeFiles, LoneCrAndLfBecomeLinesAndAreWrittenWithCrLf) {
  TempDir t;
  t.Write("i.txt", kHeader + "\r\na\rb\nc\r\n\r\n");
  TNodeFiles f;
  f.FilePath = t.Dir() + "i.txt";
  ASSERT_TRUE(Ok(f.Open(true)));
  EXPECT_EQ(f.Body, (TStringList{"a", "b", "c"}));
  ASSERT_TRUE(Ok(f.Save()));
  EXPECT_EQ(t.Read("i.txt"), kHeader + "\r\na\r\nb\r\nc\r\n\r\n");

  // Line ends of every kind at the very end, and no closing line at all.
  const std::pair<std::string, TStringList> cases[] = {
      {"a\r", {"a"}},         {"a\n\r", {"a"}},
      {"a\r\r", {"a"}},       {"a\r\n\r", {"a"}},
      {"a\rb", {"a", "b"}},   {"\r\n\r\nx", {"", "", "x"}},
      {"a\n\n\n", {"a", ""}}, {"", {}},
  };
  for (const auto &[body, lines] : cases) {
    SCOPED_TRACE(::testing::PrintToString(body));
    t.Write("i.txt", kHeader + "\r\n" + body);
    ASSERT_TRUE(Ok(f.Open(true)));
    EXPECT_EQ(f.Body, lines) << body;
  }
}

// The body is split in blocks of bytes between line ends; line ends at every
// offset within and across blocks must split as the plain line reader
// splits them.
TEST(NodeFiles, BodySplitMatchesTheLineReaderAtEveryOffset) {
  std::mt19937 rng(7);
  const char ends[] = {'\r', '\n'}, others[] = {'a', '\x82', '\0', ' ', '\x0d' + 1, '\x0a' - 1};
  for (int round = 0; round < 6000; ++round) {
    std::string text(rng() % 80, 'a');
    const unsigned sparse = 1 + rng() % 40; // one line end in `sparse` bytes, on average
    for (char &c : text)
      c = rng() % sparse == 0 ? ends[rng() % 2] : others[rng() % 6];
    TNodeFiles f;
    f.BodyOffset = 0;
    f.ParseBody(text);
    TStringList want = TNodeFiles::SplitLines(text);
    if (!want.empty() && want.back().empty())
      want.pop_back(); // the closing line Save writes
    ASSERT_EQ(f.Body, want) << testing::PrintToString(text);
  }
}

TEST(NodeFiles, HeaderParsing) {
  TempDir t;
  Warnings w;
  t.Write("i.txt", "TITLE: spaced title\r\n"
                   "First Edition:2001/02/03 04:05:06\r\n"
                   "Colour:red\r\n"
                   "Edition:1-2\r\n"
                   "ToDo:TRUE\r\n"
                   "Completion:yes\r\n"
                   "AttachFile:x\r\n"
                   "\r\nbody\r\n\r\n");
  TNodeFiles f;
  f.FilePath = t.Dir() + "i.txt";
  f.AttachFiles = {"stale"};
  ASSERT_TRUE(Ok(f.Open(true, &w.messages)));
  EXPECT_EQ(f.Title, "spaced title");
  EXPECT_EQ(f.FirstEdition, At(2001, 2, 3, 4, 5, 6));
  EXPECT_EQ(f.Edition, 12);
  EXPECT_TRUE(f.ToDo);
  EXPECT_FALSE(f.Completion);
  EXPECT_EQ(f.AttachFiles, TStringList{"x"}); // cleared first, not duplicated
  EXPECT_EQ(f.Body, TStringList{"body"});
  EXPECT_TRUE(w.messages.empty());
  ASSERT_TRUE(Ok(f.Open(true, &w.messages)));
  EXPECT_EQ(f.AttachFiles, TStringList{"x"});

  t.Write("i.txt", "Edition:70000\r\n\r\n");
  ASSERT_TRUE(Ok(f.Open(true, &w.messages)));
  EXPECT_EQ(f.Edition, 4464);
}

TEST(NodeFiles, FileWithoutHeaderLosesOnlyItsFirstLine) {
  TempDir t;
  t.Write("i.txt", "plain first line\r\nsecond\r\n");
  TNodeFiles f;
  f.FilePath = t.Dir() + "i.txt";
  ASSERT_TRUE(Ok(f.Open(true)));
  EXPECT_EQ(f.Title, "(Untheme)");
  EXPECT_EQ(f.BodyOffset, 18);
  // The last line has no closing empty line after it; it is text, kept.
  EXPECT_EQ(f.Body, TStringList{"second"});
}

TEST(NodeFiles, MalformedValuesWarnAndKeepTheField) {
  TempDir t;
  Warnings w;
  t.Write("i.txt", "Title:T\r\nUpdate:  yesterday\r\nLine:x1\r\nColumn:7\r\n\r\n");
  TNodeFiles f;
  f.FilePath = t.Dir() + "i.txt";
  TDateTime before = f.Update;
  ASSERT_TRUE(Ok(f.Open(true, &w.messages)));
  EXPECT_EQ(f.Update, before);
  EXPECT_EQ(f.Line, 0);
  EXPECT_EQ(f.Column, 7);
  ASSERT_EQ(w.messages.size(), 2u);
  // ファイル"<path>"のヘッダ"update"の形式が間違っています CR LF yesterday
  EXPECT_EQ(w.messages[0], "\x83\x74\x83\x40\x83\x43\x83\x8b\"" + f.FilePath +
                               "\"\x82\xcc\x83\x77\x83\x62\x83\x5f\"update\""
                               "\x82\xcc\x8c\x60\x8e\xae\x82\xaa\x8a\xd4\x88\xe1\x82\xc1\x82\xc4"
                               "\x82\xa2\x82\xdc\x82\xb7\r\nyesterday");
  EXPECT_NE(w.messages[1].find("\"line\""), std::string::npos);
}

TEST(NodeFiles, HeaderOnlyLoadAndMissingFile) {
  TempDir t;
  TNodeFiles f = Sample(t.Dir() + "i.txt");
  f.Body = {"x"};
  ASSERT_TRUE(Ok(f.Save()));
  TNodeFiles g;
  g.FilePath = f.FilePath;
  g.Body = {"old"};
  ASSERT_TRUE(Ok(g.Open(false)));
  EXPECT_TRUE(g.Body.empty());
  EXPECT_EQ(g.Title, "Idea");
  TNodeFiles missing;
  missing.FilePath = t.Dir() + "gone.txt";
  missing.Body = {"old"};
  EXPECT_FALSE(missing.Open(true));
  EXPECT_FALSE(missing.LoadBody());
  EXPECT_TRUE(missing.Body.empty());
  EXPECT_EQ(missing.Title, "(Untheme)");
}

TEST(NodeFiles, AssignCopiesAllButThePath) {
  TNodeFiles a = Sample("/a.txt");
  a.Body = {"x", "y"};
  a.AttachFiles = {"z"};
  TNodeFiles b;
  b.FilePath = "/b.txt";
  b.Assign(a);
  EXPECT_EQ(b.FilePath, "/b.txt");
  b.FilePath = a.FilePath;
  EXPECT_EQ(b.Serialize(), a.Serialize());
  TTextLines lines;
  b.GetBody(lines);
  EXPECT_EQ(lines, a.Body);
}

TEST(NodeFiles, SaveFailureIsReported) {
  TempDir t;
  TNodeFiles f = Sample(t.Dir() + "missing-dir/i.txt");
  EXPECT_FALSE(f.Save());
  f.FilePath.clear();
  EXPECT_FALSE(f.Save());
}

// Hostile files: nothing may crash, hang or lose bytes.
class HostileItemFile : public testing::TestWithParam<std::string> {};

TEST_P(HostileItemFile, BodyBytesSurviveARoundTrip) {
  TempDir t;
  TNodeFiles f = Sample(t.Dir() + "i.txt");
  f.Body = TNodeFiles::SplitLines(GetParam());
  ASSERT_TRUE(Ok(f.Save()));
  TNodeFiles g;
  g.FilePath = f.FilePath;
  ASSERT_TRUE(Ok(g.Open(true)));
  EXPECT_EQ(g.Body, f.Body);
  ASSERT_TRUE(Ok(g.Save()));
  EXPECT_EQ(t.Read("i.txt"), f.Serialize());
}

INSTANTIATE_TEST_SUITE_P(
    Bodies, HostileItemFile,
    testing::Values(std::string(10 * 1024 * 1024, 'x'),                      // one 10 MB line
                    std::string("before\0after\r\n\0\0", 16),                // NUL bytes
                    std::string("\x80\xa0\xfd\xfe\xff\x81\r\n\x85\x40\xef"), // not CP932
                    std::string("\x95\x5c\r\n\x83\x5c\\\r\n"),               // trail bytes 0x5C
                    std::string("Title:not a header\r\nLine:9\r\n")));       // header-like text

TEST(NodeFiles, HeaderOfOnlySpacesAndGarbage) {
  TempDir t;
  Warnings w;
  for (std::string content :
       {std::string("Title:   \r\nAuthor:    \r\nLine:   \r\n\r\nx\r\n\r\n"),
        std::string("     \r\n\r\n"), std::string(":::\r\n"), std::string("\0\0:\0\r\n", 7),
        std::string(100000, ':'), std::string()}) {
    t.Write("i.txt", content);
    TNodeFiles f;
    f.FilePath = t.Dir() + "i.txt";
    ASSERT_TRUE(Ok(f.Open(true, &w.messages)));
    EXPECT_LE(static_cast<size_t>(f.BodyOffset), content.size());
  }
  TNodeFiles f;
  f.FilePath = t.Dir() + "i.txt";
  t.Write("i.txt", "Title:   \r\nAuthor:    \r\nColumn:5\r\n\r\nx\r\n\r\n");
  ASSERT_TRUE(Ok(f.Open(true, &w.messages)));
  EXPECT_EQ(f.Title, "");
  EXPECT_EQ(f.Author, "");
  EXPECT_EQ(f.Column, 5);
  EXPECT_EQ(f.Body, TStringList{"x"});
}

TEST(DateTime, ParsesWhatTheWriterWritesAndShortForms) {
  TDateTime d;
  ASSERT_TRUE(TDateTime::Parse("2000/11/08 09:05:03", d));
  EXPECT_EQ(d.ToString(), "2000/11/08 09:05:03");
  ASSERT_TRUE(TDateTime::Parse("2000/1/8 9:05", d));
  EXPECT_EQ(d.ToString(), "2000/01/08 09:05:00");
  ASSERT_TRUE(TDateTime::Parse("2000/02/29", d));
  EXPECT_EQ(d.ToFileStamp(), "20000229000000");
  EXPECT_FALSE(TDateTime::Parse("1999/02/29", d));
  EXPECT_FALSE(TDateTime::Parse("2000-11-08", d));
  EXPECT_FALSE(TDateTime::Parse("2000/11/08 25:00", d));
  EXPECT_FALSE(TDateTime::Parse("", d));
  EXPECT_EQ(At(2000, 11, 8, 0, 0, 0).DayOfWeek(), 3); // a Wednesday
}
