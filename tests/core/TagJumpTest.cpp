#include "TempDir.h"
#include "engine/MemoJump.h"

#include <gtest/gtest.h>
#include <ostream>

namespace {

struct Parsed {
  bool ok = false;
  std::string file;
  int line = -7; // what the caller passed in, to see what is left alone
  int col = -7;
  std::string key = "untouched";
};

class TagJump : public ::testing::Test {
protected:
  void SetUp() override {
    for (const char *name : {"a.txt", "my file.txt", "my-notes.txt"})
      dir.Write(name, "x");
    jump.BaseDirectory = dir.Dir();
  }
  Parsed Parse(const std::string &tag) {
    Parsed p;
    p.ok = jump.ParseTagJump(tag, p.file, p.line, p.col, p.key);
    return p;
  }
  TempDir dir;
  TMemoJump jump;
};

} // namespace

// A tag with a position in one of its written forms, and the 0-based line
// and the column it gives (-7: left alone).
struct PositionForm {
  const char *tag;
  int line, col;
  friend std::ostream &operator<<(std::ostream &os, const PositionForm &f) {
    return os << '"' << f.tag << '"';
  }
};

class TagJumpPositions : public TagJump, public testing::WithParamInterface<PositionForm> {};

TEST_P(TagJumpPositions, GiveTheFileAndThePosition) {
  const PositionForm &c = GetParam();
  Parsed p = Parse(c.tag);
  EXPECT_TRUE(p.ok);
  EXPECT_EQ(p.file, dir.Dir() + "a.txt");
  EXPECT_EQ(p.line, c.line);
  EXPECT_EQ(p.col, c.col);
  EXPECT_EQ(p.key, "untouched");
}

INSTANTIATE_TEST_SUITE_P(
    Forms, TagJumpPositions,
    testing::Values(PositionForm{"a.txt(12)", 11, 1}, PositionForm{"a.txt 12,5", 11, 5},
                    PositionForm{"a.txt  12,5: note", 11, 5},
                    PositionForm{"a.txt 12,5 note", 11, 5}, PositionForm{"a.txt-7", 6, 1},
                    PositionForm{"a.txt/7", 6, 1}, PositionForm{"a.txt -7: text", 6, 1},
                    PositionForm{"a.txt/7 text", 6, 1}, PositionForm{"a.txt 3:", 2, -7},
                    PositionForm{"a.txt 3: text", 2, -7}, PositionForm{"a.txt 3 text", 2, -7},
                    PositionForm{"a.txt 3", 2, -7}, PositionForm{"  \ta.txt(+4)", 3, 1},
                    PositionForm{"a.txt(1)", 0, 1}));

TEST_F(TagJump, KeyWordInQuotesLeavesThePositionAlone) {
  Parsed p = Parse("a.txt \"some key\" rest");
  EXPECT_TRUE(p.ok);
  EXPECT_EQ(p.key, "some key");
  EXPECT_EQ(p.line, -7);
  EXPECT_EQ(p.col, -7);
  p = Parse("a.txt \"open to the end");
  EXPECT_TRUE(p.ok);
  EXPECT_EQ(p.key, "open to the end");
}

TEST_F(TagJump, WholePathsAndQuotedNames) {
  Parsed p = Parse(dir.Path("a.txt"));
  EXPECT_TRUE(p.ok);
  EXPECT_EQ(p.file, dir.Path("a.txt"));
  EXPECT_EQ(p.line, 0);
  EXPECT_EQ(p.col, 1);

  p = Parse("\"my file.txt\"");
  EXPECT_TRUE(p.ok);
  EXPECT_EQ(p.file, dir.Dir() + "my file.txt");
  EXPECT_EQ(p.line, 0);

  p = Parse("\"" + dir.Path("my file.txt") + "\"  (8)");
  EXPECT_TRUE(p.ok);
  EXPECT_EQ(p.file, dir.Path("my file.txt"));
  EXPECT_EQ(p.line, 7);
}

TEST_F(TagJump, SeparatorsInsideNamesAndPaths) {
  // The temporary directory's own name holds hyphens and every part of the
  // path is led by '/': the name is still found.
  Parsed p = Parse(dir.Path("a.txt") + "(3)");
  EXPECT_TRUE(p.ok);
  EXPECT_EQ(p.file, dir.Path("a.txt"));
  EXPECT_EQ(p.line, 2);
  p = Parse(dir.Path("a.txt") + "/5");
  EXPECT_TRUE(p.ok);
  EXPECT_EQ(p.line, 4);
  p = Parse("my-notes.txt-9");
  EXPECT_TRUE(p.ok);
  EXPECT_EQ(p.file, dir.Dir() + "my-notes.txt");
  EXPECT_EQ(p.line, 8);
  p = Parse("my file.txt 6,2");
  EXPECT_TRUE(p.ok);
  EXPECT_EQ(p.file, dir.Dir() + "my file.txt");
  EXPECT_EQ(p.line, 5);
  EXPECT_EQ(p.col, 2);
}

// A line of many separators: every prefix a file could be is still tried,
// the ones no file can be (in a missing folder, longer than a file name) are
// not.
TEST_F(TagJump, LongRunsOfSeparators) {
  const std::string spaces(300, ' ');
  Parsed p = Parse("a.txt" + std::string(2000, '(') + "3)");
  EXPECT_FALSE(p.ok);
  p = Parse(dir.Path("a.txt") + "/7 " + std::string(5000, '-'));
  EXPECT_TRUE(p.ok);
  EXPECT_EQ(p.line, 6);
  p = Parse(dir.Dir() + "nowhere/" + std::string(5000, '/') + "a.txt 4");
  EXPECT_FALSE(p.ok);
  p = Parse(std::string(300, 'x') + " a.txt 4");
  EXPECT_FALSE(p.ok);
  p = Parse(std::string("/\0\0/", 4) + std::string(3000, '/') + "(3)");
  EXPECT_FALSE(p.ok);
  p = Parse(dir.Path("a.txt") + std::string("\0(3)", 4));
  EXPECT_TRUE(p.ok);
  EXPECT_EQ(p.file, dir.Path("a.txt"));
  dir.Write("my  file  with  gaps.txt", "x");
  p = Parse("my  file  with  gaps.txt 2" + spaces);
  EXPECT_TRUE(p.ok);
  EXPECT_EQ(p.line, 1);
}

TEST_F(TagJump, BadNumbers) {
  // Unreadable numbers give line 0, column 1; the result is what was known
  // before the number was read.
  for (const char *tag :
       {"a.txt(x)", "a.txt(12", "a.txt()", "a.txt-x", "a.txt x,3", "a.txt 3,y", "a.txt x",
        "a.txt(99999999999)", "a.txt(+-3)", "a.txt(-2147483648)", "a.txt(1 2)"}) {
    Parsed p = Parse(tag);
    EXPECT_FALSE(p.ok) << tag;
    EXPECT_EQ(p.file, "") << tag;
    EXPECT_EQ(p.line, 0) << tag;
    EXPECT_EQ(p.col, 1) << tag;
  }
  for (const char *tag : {"a.txt x:", "a.txt x y"}) {
    Parsed p = Parse(tag);
    EXPECT_TRUE(p.ok) << tag;
    EXPECT_EQ(p.file, dir.Dir() + "a.txt") << tag;
    EXPECT_EQ(p.line, 0) << tag;
    EXPECT_EQ(p.col, 1) << tag;
  }
}

TEST_F(TagJump, NothingToFind) {
  for (const char *tag : {"", "   ", " \t ", "b.txt(3)", "a.txt", "a.txt(", "\"b.txt\"",
                          "no separator at all", "\"\"(4)"}) {
    Parsed p;
    p.file = "stale";
    p.ok = jump.ParseTagJump(tag, p.file, p.line, p.col, p.key);
    EXPECT_FALSE(p.ok) << tag;
    EXPECT_EQ(p.file, "") << tag;
    EXPECT_EQ(p.line, -7) << tag; // no number was read
    EXPECT_EQ(p.key, "untouched") << tag;
  }
}
