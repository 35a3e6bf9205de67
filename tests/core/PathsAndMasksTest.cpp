#include "store/LibUnit.h"
#include "store/MatchesLiblary.h"

#include <gtest/gtest.h>

TEST(Paths, SeparatorIsAddedAndRemovedOnce) {
  EXPECT_EQ(AddPathSeparator("/work"), "/work/");
  EXPECT_EQ(AddPathSeparator("/work/"), "/work/");
  EXPECT_EQ(AddPathSeparator(""), "");
  EXPECT_EQ(RemovePathSeparator("/work/"), "/work");
  EXPECT_EQ(RemovePathSeparator("/work"), "/work");
  EXPECT_EQ(RemovePathSeparator("/work//"), "/work/");
  EXPECT_EQ(RemovePathSeparator(""), "");
}

TEST(Paths, TrailBytesAreNotSeparators) {
  // 表 (0x95 0x5C) ends in the byte of '\'; its neighbour ソ ends in '\' too.
  const std::string dir = "/data/\x95\x5c";
  EXPECT_EQ(AddPathSeparator(dir), dir + "/");
  EXPECT_EQ(RemovePathSeparator(dir), dir);
  EXPECT_EQ(ExtractFileName(dir + "/\x83\x5c.txt"), "\x83\x5c.txt");
  EXPECT_EQ(ExtractFilePath(dir + "/a.txt"), dir + "/");
  EXPECT_EQ(ExtractFilePath("a.txt"), "");
}

TEST(Masks, StarAndDotStar) {
  EXPECT_TRUE(MatchesMasks("anything", "*"));
  EXPECT_TRUE(MatchesMasks("", "*"));
  EXPECT_TRUE(MatchesMasks("a.b", "*.*"));
  EXPECT_FALSE(MatchesMasks("README", "*.*"));
}

TEST(Masks, NoBacktracking) {
  EXPECT_TRUE(MatchesMasks("a.txt", "*.txt"));
  EXPECT_TRUE(MatchesMasks("A.TXT", "*.txt"));
  EXPECT_TRUE(MatchesMasks("a.txt", "*.TXT"));
  EXPECT_FALSE(MatchesMasks("a.txt.txt", "*.txt"));
}

TEST(Masks, QuestionMarks) {
  EXPECT_TRUE(MatchesMasks("a", "a?"));
  EXPECT_TRUE(MatchesMasks("ab", "a?"));
  EXPECT_FALSE(MatchesMasks("abc", "a?"));
  EXPECT_FALSE(MatchesMasks("x", "?x"));
  EXPECT_TRUE(MatchesMasks("ax", "?x"));
}

TEST(Masks, StarFollowedByAnotherWildcardNeverMatches) {
  for (const char *mask : {"**", "*?", "*?.txt"})
    for (const char *name : {"", "a", "a.txt", "ab.txt"})
      EXPECT_FALSE(MatchesMasks(name, mask)) << mask << " vs " << name;
}

TEST(Masks, ListsOfMasks) {
  EXPECT_TRUE(MatchesMasks("x.doc", "*.txt;*.doc"));
  EXPECT_TRUE(MatchesMasks("x.doc", ";;*.doc;;"));
  EXPECT_FALSE(MatchesMasks("x.txt", ";;*.doc;;"));
  EXPECT_FALSE(MatchesMasks("x.doc", ""));
  EXPECT_FALSE(MatchesMasks("x.doc", ";;;"));
}

TEST(Masks, DoubleByteNamesAreMatchedByteWise) {
  const std::string hyou = "\x95\x5c"; // 表
  // '?' takes half a character.
  EXPECT_TRUE(MatchesMasks(hyou, "??"));
  EXPECT_FALSE(MatchesMasks(hyou, "?"));
  // A literal run can start at a trail byte.
  EXPECT_TRUE(MatchesMasks(hyou + ".txt", "*\\.txt"));
  // Trail bytes that look like capitals are not lowered ('A' in ア).
  EXPECT_FALSE(MatchesMasks("\x83\x41", "\x83\x61"));
}
