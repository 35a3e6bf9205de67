#include "store/Codec.h"

#include <gtest/gtest.h>

using namespace cp932;

namespace {
const std::string kHyou = "\x95\x5c";       // 表: trail byte is '\'
const std::string kNihongo = "\x93\xfa\x96\x7b\x8c\xea"; // 日本語
} // namespace

TEST(Codec, DecodesAndEncodesJapanese) {
  EXPECT_EQ(ToUtf8(kNihongo), "日本語");
  EXPECT_EQ(ToUtf8(kHyou + "\\"), "表\\");
  Encoded e = FromUtf8("日本語ｱｲｳ~");
  EXPECT_TRUE(e.ok());
  EXPECT_EQ(e.bytes, kNihongo + "\xb1\xb2\xb3~");
}

TEST(Codec, EveryByteSequenceSurvivesARoundTrip) {
  // All single bytes, every lead/trail pair, and broken tails.
  std::string all;
  for (int b = 0; b < 256; ++b)
    all += static_cast<char>(b);
  for (int lead = 0x81; lead <= 0xFC; ++lead) {
    if (lead > 0x9F && lead < 0xE0)
      continue;
    for (int trail = 0x00; trail <= 0xFF; trail += 1)
      all += std::string{static_cast<char>(lead), static_cast<char>(trail)};
  }
  all += "\x81"; // a lead byte at the very end
  std::string utf8 = ToUtf8(all);
  Encoded back = FromUtf8(utf8);
  EXPECT_TRUE(back.ok());
  EXPECT_EQ(back.bytes, all);
}

TEST(Codec, DuplicateCodesKeepTheirBytes) {
  // NEC row 13 and NEC-selected IBM rows encode back to other codes in a plain
  // conversion; they must still come back as they were.
  for (std::string s : {std::string("\x87\x90"), std::string("\xed\x40"), std::string("\xee\xf9")}) {
    EXPECT_EQ(FromUtf8(ToUtf8(s)).bytes, s);
  }
}

TEST(Codec, ReportsWhatCp932CannotHold) {
  Encoded e = FromUtf8("a😀b丂c"); // emoji; 丂 is outside CP932
  EXPECT_FALSE(e.ok());
  ASSERT_EQ(e.unmappable.size(), 2u);
  EXPECT_EQ(e.unmappable[0], U'😀');
  EXPECT_EQ(e.unmappable[1], U'丂');
  EXPECT_EQ(e.bytes, "a?b?c");
  Encoded bad = FromUtf8("x\xff");
  EXPECT_FALSE(bad.ok());
  EXPECT_EQ(bad.unmappable[0], U'\xFFFD');
}

TEST(Codec, LowerAsciiLeavesDoubleByteCharactersAlone) {
  // 0x82 0x60 is Ａ (full width): its trail byte is not a letter, but 0x83 0x41
  // (ア) has the trail byte 'A', which must stay.
  EXPECT_EQ(LowerAscii("ABC.Txt"), "abc.txt");
  EXPECT_EQ(LowerAscii("\x83\x41" "B"), "\x83\x41" "b");
  EXPECT_EQ(LowerAscii("\x82\x60"), "\x82\x60");
}

TEST(Codec, LastCharacterIsFoundPerCharacter) {
  EXPECT_TRUE(LastCharIs("abc\\", '\\'));
  EXPECT_FALSE(LastCharIs("dir" + kHyou, '\\'));
  EXPECT_TRUE(LastCharIs("dir" + kHyou + "\\", '\\'));
  EXPECT_FALSE(LastCharIs("", '\\'));
  EXPECT_EQ(LastCharStart("a" + kHyou), 1u);
  EXPECT_EQ(LastCharStart("\x81"), 0u); // a lone lead byte is a character of its own
}
