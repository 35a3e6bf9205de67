#include "engine/MemoJump.h"
#include "support/TextMemo.h"

#include <gtest/gtest.h>

namespace {

// CP932 texts. The trail bytes of these characters look like ASCII:
const std::string kA = "\x83\x41";             // ア: trail 'A'
const std::string kI = "\x83\x43";             // イ: trail 'C'
const std::string kSo = "\x83\x5c";            // ソ: trail '\'
const std::string kHyou = "\x95\x5c";          // 表: trail '\'
const std::string kNihon = "\x93\xfa\x96\x7b"; // 日本
const std::string kZenkakuSpace = "\x81\x40";  // full-width space

std::string Lines(int count) {
  std::string s;
  for (int i = 0; i < count; ++i)
    s += (i ? "\r\n" : "") + std::string("line ") + std::to_string(i);
  return s;
}

struct Bound {
  explicit Bound(std::string text, int rows = 20) : memo(std::move(text), rows, 15) {
    jump.SetObjectifyMemo(&memo);
  }
  int SelStart() const { return jump.GetSelStart(); }
  int SelLength() const { return jump.GetSelLength(); }
  TTextMemo memo;
  TMemoJump jump;
};

} // namespace

TEST(MemoJumpCaret, LinesAndColumnsCountBytesAndCrLf) {
  Bound b(kNihon + "x\r\nab" + kA + "c\r\n\r\nz");
  b.jump.SetCaret(5);
  EXPECT_EQ(b.jump.CaretLine(), 0);
  EXPECT_EQ(b.jump.CaretColumn(), 6); // after two double-byte characters and x
  b.jump.SetCaret(7);                 // CR LF counts two
  EXPECT_EQ(b.jump.CaretLine(), 1);
  EXPECT_EQ(b.jump.CaretColumn(), 1);
  b.jump.SetCaret(11);
  EXPECT_EQ(b.jump.CaretColumn(), 5);
  b.jump.MoveToLine(3);
  EXPECT_EQ(b.SelStart(), 16);
  b.jump.MoveToLine(1);
  b.jump.MoveToColumn(3);
  EXPECT_EQ(b.SelStart(), 9);
  EXPECT_EQ(b.jump.CaretLine(), 1);
  EXPECT_EQ(b.jump.CaretColumn(), 3);
}

TEST(MemoJumpCaret, OutOfRangeLinesAndColumnsStayInTheText) {
  Bound b("abc\r\nde\r\nf");
  b.jump.MoveToLine(99); // a stale remembered line
  EXPECT_EQ(b.jump.CaretLine(), 2);
  b.jump.MoveToLine(-4);
  EXPECT_EQ(b.SelStart(), 0);
  // A column past the end of its line stays on that line.
  b.jump.MoveToLine(1);
  b.jump.MoveToColumn(40);
  EXPECT_EQ(b.jump.CaretLine(), 1);
  EXPECT_EQ(b.jump.CaretColumn(), 3);
  b.jump.MoveToColumn(0);
  EXPECT_EQ(b.jump.CaretColumn(), 1);
  b.jump.JumpTo(7, 7);
  EXPECT_EQ(b.SelStart(), 10); // end of the last line
  b.jump.SetCaret(1000);
  EXPECT_EQ(b.SelStart(), 10);
  b.jump.SetCaret(-3);
  EXPECT_EQ(b.SelStart(), 0);
}

TEST(MemoJumpCaret, SelectionsAndCaretsNeverSplitACharacter) {
  Bound b(kNihon + "\r\nx");
  b.jump.SetCaret(1); // inside 日
  EXPECT_EQ(b.SelStart(), 0);
  b.jump.SetCaret(5); // between CR and LF
  EXPECT_EQ(b.SelStart(), 4);
  b.jump.SetCaret(2);
  b.jump.SelectFromCaret(1); // half of 本 is no selection
  EXPECT_EQ(b.SelLength(), 0);
  b.jump.SelectFromCaret(2);
  EXPECT_EQ(b.SelLength(), 2);
}

TEST(MemoJumpCaret, EmptyTextAndUnboundEngineAreHarmless) {
  Bound b("");
  EXPECT_EQ(b.jump.CaretLine(), 0);
  EXPECT_EQ(b.jump.CaretColumn(), 1);
  b.jump.JumpTo(5, 9);
  EXPECT_EQ(b.SelStart(), 0);
  EXPECT_FALSE(b.jump.SearchText("a", true));
  EXPECT_FALSE(b.jump.SearchText("a", false));
  EXPECT_EQ(b.jump.GetKeyWord(), "");

  TMemoJump loose;
  loose.JumpedLinePos = jpmCenter;
  loose.LineHeight = 15;
  loose.JumpTo(3, 3);
  loose.Undo();
  EXPECT_FALSE(loose.CanUndo());
  EXPECT_FALSE(loose.SearchText("x", true));
  EXPECT_EQ(loose.GetKeyWord(), "");
  EXPECT_EQ(loose.CaretColumn(), 1);
  loose.SetObjectifyMemo(&b.memo);
  loose.SetObjectifyMemo(nullptr);
  EXPECT_EQ(loose.ObjectifyMemo(), nullptr);
}

TEST(MemoJumpSearch, ForwardWalksThroughHitsAndStopsAtTheEnd) {
  Bound b("xab\r\nab ab");
  ASSERT_TRUE(b.jump.SearchText("ab", true));
  EXPECT_EQ(b.SelStart(), 1);
  EXPECT_EQ(b.SelLength(), 2);
  ASSERT_TRUE(b.jump.SearchText("ab", true));
  EXPECT_EQ(b.SelStart(), 5);
  ASSERT_TRUE(b.jump.SearchText("ab", true));
  EXPECT_EQ(b.SelStart(), 8);
  EXPECT_FALSE(b.jump.SearchText("ab", true));
  EXPECT_EQ(b.SelStart(), 8); // selection untouched
  EXPECT_EQ(b.SelLength(), 2);

  b.jump.SetCaret(10); // very end
  EXPECT_FALSE(b.jump.SearchText("b", true));
  EXPECT_EQ(b.SelStart(), 10);
}

TEST(MemoJumpSearch, ForwardSkipsHitsStartingInsideTheSelection) {
  Bound b("aaaa");
  ASSERT_TRUE(b.jump.SearchText("aa", true));
  EXPECT_EQ(b.SelStart(), 0);
  ASSERT_TRUE(b.jump.SearchText("aa", true));
  EXPECT_EQ(b.SelStart(), 2); // not 1
  EXPECT_FALSE(b.jump.SearchText("aa", true));
}

TEST(MemoJumpSearch, BackwardFindsTheLastWholeHitBeforeTheSelection) {
  Bound b("abab");
  b.jump.SetCaret(4);
  ASSERT_TRUE(b.jump.SearchText("ab", false));
  EXPECT_EQ(b.SelStart(), 2);
  EXPECT_EQ(b.SelLength(), 2);
  ASSERT_TRUE(b.jump.SearchText("ab", false));
  EXPECT_EQ(b.SelStart(), 0);
  EXPECT_FALSE(b.jump.SearchText("ab", false));
  EXPECT_EQ(b.SelStart(), 0);
  EXPECT_EQ(b.SelLength(), 2);

  // A hit that reaches into the selection does not count.
  Bound c("abcabc");
  c.memo.SetSelection(4, 6);
  ASSERT_TRUE(c.jump.SearchText("abc", false));
  EXPECT_EQ(c.SelStart(), 0);

  // Hits are taken one after another from the left: in aaa the one at 1
  // overlaps the one at 0 and is never seen.
  Bound d("aaa");
  d.jump.SetCaret(3);
  ASSERT_TRUE(d.jump.SearchText("aa", false));
  EXPECT_EQ(d.SelStart(), 0);
  Bound e("aaaa");
  e.jump.SetCaret(4);
  ASSERT_TRUE(e.jump.SearchText("aa", false));
  EXPECT_EQ(e.SelStart(), 2);
}

TEST(MemoJumpSearch, EmptyKeyIsNeverFound) {
  Bound b("abc");
  b.jump.SetCaret(1);
  EXPECT_FALSE(b.jump.SearchText("", true));
  EXPECT_FALSE(b.jump.SearchText("", false));
  EXPECT_EQ(b.SelStart(), 1);
}

TEST(MemoJumpSearch, HitsNeverStartOrEndInsideADoubleByteCharacter) {
  // The searched byte only exists as a trail byte: nothing to find.
  Bound b(kA + kHyou + kSo + kI);
  EXPECT_FALSE(b.jump.SearchText("A", true));
  EXPECT_FALSE(b.jump.SearchText("\\", true));
  EXPECT_FALSE(b.jump.SearchText("A\x95", true)); // trail of ア + lead of 表
  b.jump.SetCaret(8);
  EXPECT_FALSE(b.jump.SearchText("\\", false));
  EXPECT_FALSE(b.jump.SearchText("C", false));

  // The same byte as a character of its own is found, before and after.
  Bound c("A" + kA + "A\\" + kSo + "\\");
  ASSERT_TRUE(c.jump.SearchText("A", true));
  EXPECT_EQ(c.SelStart(), 0);
  ASSERT_TRUE(c.jump.SearchText("A", true));
  EXPECT_EQ(c.SelStart(), 3);
  ASSERT_TRUE(c.jump.SearchText("\\", true));
  EXPECT_EQ(c.SelStart(), 4);
  ASSERT_TRUE(c.jump.SearchText("\\", true));
  EXPECT_EQ(c.SelStart(), 7);
  ASSERT_TRUE(c.jump.SearchText("\\", false));
  EXPECT_EQ(c.SelStart(), 4);
  EXPECT_FALSE(c.jump.SearchText(kSo, false)); // ソ lies after the selection
  c.jump.SetCaret(8);
  ASSERT_TRUE(c.jump.SearchText(kSo, false));
  EXPECT_EQ(c.SelStart(), 5);

  // A key that ends on a lead byte would split the character it matches.
  Bound d(kNihon);
  EXPECT_FALSE(d.jump.SearchText("\x93", true));
  ASSERT_TRUE(d.jump.SearchText("\x96\x7b", true));
  EXPECT_EQ(d.SelStart(), 2);
}

TEST(MemoJumpSearch, LeadByteBeforeALineBreakDoesNotSwallowIt) {
  // A broken line ending in a lone lead byte: the break is still a break.
  Bound b("x\x93\r\nfoo");
  ASSERT_TRUE(b.jump.SearchText("\r\nfoo", true));
  EXPECT_EQ(b.SelStart(), 2);
  EXPECT_EQ(b.jump.CaretLine(), 0);
  b.jump.SetCaret(4);
  EXPECT_EQ(b.jump.CaretLine(), 1);
}

TEST(MemoJumpSearch, CaseRules) {
  Bound b("xx abc " + kA + "ABC");
  EXPECT_FALSE(b.jump.SearchText("Abc", true));
  b.jump.MatchCase = false;
  ASSERT_TRUE(b.jump.SearchText("Abc", true));
  EXPECT_EQ(b.SelStart(), 3);
  // Lower-casing leaves trail bytes alone: ア is still ア and its trail 'A'
  // is not an 'a'.
  ASSERT_TRUE(b.jump.SearchText("a", true));
  EXPECT_EQ(b.SelStart(), 9);
  b.jump.SetCaret(0);
  ASSERT_TRUE(b.jump.SearchText(kA + "abc", true));
  EXPECT_EQ(b.SelStart(), 7);
  EXPECT_EQ(b.SelLength(), 5);
  b.jump.SetCaret(12);
  ASSERT_TRUE(b.jump.SearchText("ABC", false));
  EXPECT_EQ(b.SelStart(), 9);
  EXPECT_EQ(b.memo.Text(), "xx abc " + kA + "ABC"); // the memo's text is not touched
}

TEST(MemoJumpSearch, KeysSpanningLineBreaksAndJapaneseKeys) {
  Bound b("one\r\n" + kNihon + "\r\n" + kNihon + "two");
  ASSERT_TRUE(b.jump.SearchText("e\r\n" + kNihon, true));
  EXPECT_EQ(b.SelStart(), 2);
  EXPECT_EQ(b.SelLength(), 7);
  ASSERT_TRUE(b.jump.SearchText(kNihon, true));
  EXPECT_EQ(b.SelStart(), 11);
  EXPECT_EQ(b.jump.CaretLine(), 2);
  EXPECT_EQ(b.jump.CaretColumn(), 1);
  ASSERT_TRUE(b.jump.SearchText(kNihon, false));
  EXPECT_EQ(b.SelStart(), 5);
}

TEST(MemoJumpPlacement, CenterGoesBelowFirstThenBack) {
  Bound b(Lines(300));
  b.jump.JumpedLinePos = jpmCenter;
  b.jump.LineHeight = -15; // 300 px / 15 = 20 visible lines
  b.memo.caretLines.clear();
  b.jump.JumpTo(100, 1);
  ASSERT_FALSE(b.memo.caretLines.empty());
  EXPECT_EQ(b.memo.caretLines.front(), 109);
  EXPECT_EQ(b.jump.CaretLine(), 100);
  EXPECT_EQ(b.SelLength(), 0);
  EXPECT_EQ(b.memo.TopLine(), 90); // line 100 is the 11th of 20

  Bound s(Lines(105));
  s.jump.JumpedLinePos = jpmCenter;
  s.jump.LineHeight = -15;
  s.memo.caretLines.clear();
  s.jump.JumpTo(100, 3);
  EXPECT_EQ(s.memo.caretLines.front(), 104);
  EXPECT_EQ(s.jump.CaretLine(), 100);
  EXPECT_EQ(s.jump.CaretColumn(), 3);
}

TEST(MemoJumpPlacement, TopDefaultAndNoLineHeight) {
  Bound t(Lines(300));
  t.jump.JumpedLinePos = jpmTop;
  t.jump.LineHeight = 15;
  t.jump.JumpTo(50, 2);
  EXPECT_EQ(t.memo.TopLine(), 50);
  EXPECT_EQ(t.jump.CaretColumn(), 2);

  for (auto [pos, height] : {std::pair{jpmDefault, 15}, std::pair{jpmCenter, 0}}) {
    Bound d(Lines(300));
    d.jump.JumpedLinePos = pos;
    d.jump.LineHeight = height;
    d.jump.JumpTo(50, 1);
    EXPECT_EQ(d.jump.CaretLine(), 50);
    EXPECT_EQ(d.memo.TopLine(), 31); // just scrolled into view, at the bottom
  }
}

TEST(MemoJumpPlacement, SearchHitIsSelectedWithItsLineCentred) {
  std::string text = Lines(200) + "\r\nneedle here";
  Bound b(text);
  b.jump.JumpedLinePos = jpmCenter;
  b.jump.LineHeight = 15;
  ASSERT_TRUE(b.jump.SearchText("needle", true));
  EXPECT_EQ(b.jump.CaretLine(), 200);
  EXPECT_EQ(b.SelLength(), 6);
  EXPECT_EQ(b.memo.TopLine(), 181); // the last line can go no higher than the bottom
  ASSERT_TRUE(b.jump.SearchText("line 120", false));
  EXPECT_EQ(b.jump.CaretLine(), 120);
  EXPECT_EQ(b.jump.CaretColumn(), 1);
  EXPECT_EQ(b.SelLength(), 8);
}

TEST(MemoJumpKeyWord, WordFromTheCaretToTheNextBlank) {
  Bound b("alpha beta\r\n" + kNihon + "\tx\r\n" + kA + kZenkakuSpace + kI + " y\r\nend");
  b.jump.SetCaret(2); // on the p
  EXPECT_EQ(b.jump.GetKeyWord(), "pha");
  b.jump.SetCaret(5); // on the space
  EXPECT_EQ(b.jump.GetKeyWord(), "");
  b.jump.SetCaret(6);
  EXPECT_EQ(b.jump.GetKeyWord(), "beta"); // up to the line's end, not beyond
  b.jump.SetCaret(10);
  EXPECT_EQ(b.jump.GetKeyWord(), "");
  b.jump.MoveToLine(1);
  EXPECT_EQ(b.jump.GetKeyWord(), kNihon);
  b.jump.MoveToLine(2); // a full-width space is not a delimiter
  EXPECT_EQ(b.jump.GetKeyWord(), kA + kZenkakuSpace + kI);
  b.jump.MoveToLine(3);
  EXPECT_EQ(b.jump.GetKeyWord(), "end");

  b.jump.SetKeyWord("fixed");
  EXPECT_EQ(b.jump.GetKeyWord(), "fixed");
  b.jump.SetKeyWord("");
  EXPECT_EQ(b.jump.GetKeyWord(), "end");
}
