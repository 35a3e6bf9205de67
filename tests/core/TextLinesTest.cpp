#include "store/TextLines.h"

#include <gtest/gtest.h>

using V = std::vector<std::string>;

TEST(TextLines, NoLinesAndOneEmptyLineDiffer) {
  TTextLines none, one{""};
  EXPECT_TRUE(none.empty());
  EXPECT_EQ(one.size(), 1u);
  EXPECT_NE(none, one);
  EXPECT_EQ(one, V{""});
  EXPECT_EQ(none.ToVector(), V{});
  one.pop_back();
  EXPECT_EQ(one, none);
}

TEST(TextLines, ListOperationsKeepTheLines) {
  TTextLines t{"a", "", "b\x95\x5c", ""};
  EXPECT_EQ(t.size(), 4u);
  EXPECT_EQ(t.Joined(), "a\n\nb\x95\x5c\n");
  EXPECT_EQ(t[2], "b\x95\x5c");
  EXPECT_EQ(t.back(), "");
  t.pop_back();
  EXPECT_EQ(t, (V{"a", "", "b\x95\x5c"}));
  t.push_back("c");
  EXPECT_EQ(t.ToVector(), (V{"a", "", "b\x95\x5c", "c"}));
  std::string walked;
  for (std::string_view l : t)
    walked += "[" + std::string(l) + "]";
  EXPECT_EQ(walked, "[a][][b\x95\x5c][c]");
  TTextLines copy(t.ToVector());
  EXPECT_EQ(copy, t);
  t.clear();
  EXPECT_TRUE(t.empty());
  EXPECT_EQ(t.begin(), t.end());
}

TEST(TextLines, EditorTextSplitsAtEveryNewline) {
  EXPECT_TRUE(TTextLines::FromEditorText("").empty());
  EXPECT_EQ(TTextLines::FromEditorText("x"), V{"x"});
  EXPECT_EQ(TTextLines::FromEditorText("x\n"), (V{"x", ""}));
  EXPECT_EQ(TTextLines::FromEditorText("\n\n"), (V{"", "", ""}));
  EXPECT_EQ(TTextLines::FromEditorText(std::string("a\0b\nc", 5)),
            (V{std::string("a\0b", 3), "c"}));
}
