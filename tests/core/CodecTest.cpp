#include "store/Codec.h"

#include <gtest/gtest.h>
#include <iconv.h>

using namespace cp932;

namespace {
const std::string kHyou = "\x95\x5c";                    // 表: trail byte is '\'
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

namespace {

// The system converter's own reading of one double-byte code, empty when the
// code is not valid CP932.
std::string SystemDecode(unsigned code) {
  iconv_t cd = iconv_open("UTF-8", "CP932");
  char in[2] = {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
  char out[16];
  char *src = in, *dst = out;
  size_t srcLeft = 2, dstLeft = sizeof out;
  bool ok = iconv(cd, &src, &srcLeft, &dst, &dstLeft) != static_cast<size_t>(-1) && srcLeft == 0;
  iconv_close(cd);
  return ok ? std::string(out, sizeof out - dstLeft) : std::string();
}

std::string Code(unsigned code) {
  return {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
}

bool HasRawBytes(const std::string &utf8) {
  // U+F700..U+F7FF is EF 9C 80 .. EF 9F BF in UTF-8.
  for (size_t i = 0; i + 1 < utf8.size(); ++i)
    if (static_cast<unsigned char>(utf8[i]) == 0xEF &&
        (static_cast<unsigned char>(utf8[i + 1]) & 0xFC) == 0x9C)
      return true;
  return false;
}

} // namespace

TEST(Codec, EveryDuplicateCodeShowsItsCharacterAndKeepsItsBytes) {
  // NEC row 13, the NEC-selected IBM rows and the IBM rows: every valid code
  // shows as the character the system converter reads, followed by nothing or
  // by the marker of its row, and comes back as the same code. The character
  // after it is not touched.
  struct Range {
    unsigned from, to;
    std::string marker;
  };
  const Range ranges[] = {
      {0x8740, 0x879C, "\uFE00"}, {0xED40, 0xEEFC, "\uFE01"}, {0xFA40, 0xFC4B, "\uFE02"}};
  int codes = 0, marked = 0;
  for (const Range &r : ranges) {
    for (unsigned code = r.from; code <= r.to; ++code) {
      std::string expected = SystemDecode(code);
      if (expected.empty())
        continue;
      ++codes;
      SCOPED_TRACE(testing::Message() << std::hex << code);
      std::string shown = ToUtf8(Code(code) + "A");
      ASSERT_FALSE(HasRawBytes(shown));
      if (shown != expected + "A") {
        ASSERT_EQ(shown, expected + r.marker + "A");
        ++marked;
        // Typed fresh, the character gets a code that reads as the same character.
        Encoded fresh = FromUtf8(expected);
        ASSERT_TRUE(fresh.ok());
        EXPECT_NE(fresh.bytes, Code(code));
        EXPECT_EQ(SystemDecode(static_cast<unsigned char>(fresh.bytes[0]) << 8 |
                               static_cast<unsigned char>(fresh.bytes[1])),
                  expected);
      }
      Encoded back = FromUtf8(shown);
      ASSERT_TRUE(back.ok());
      EXPECT_EQ(back.bytes, Code(code) + "A");
    }
  }
  EXPECT_EQ(codes, 83 + 374 + 388);
  EXPECT_GE(marked, 374 + 9); // every NEC-selected IBM code, the NEC row 13 maths symbols

  // The cases users meet, and a whole text of them in one go.
  EXPECT_EQ(ToUtf8("\x87\x90"), "≒\uFE00");
  EXPECT_EQ(ToUtf8("\x81\xE0"), "≒");
  EXPECT_EQ(ToUtf8("\xED\x40"), "纊\uFE01");
  EXPECT_EQ(ToUtf8("\x81\xCA\xEE\xF9\xFA\x54"), "￢￢\uFE01￢\uFE02");
  EXPECT_EQ(ToUtf8("\x81\xE6\x87\x9A\xFA\x5B"), "∵∵\uFE00∵\uFE02");
  std::string mixed = kNihongo + "\x87\x90\xED\x40" + kHyou + "\xFA\x4A\x87\x54\xEE\xFC" + kNihongo;
  EXPECT_EQ(FromUtf8(ToUtf8(mixed)).bytes, mixed);
}

TEST(Codec, MarkersOfDuplicateCodesOnlyCountAfterTheirCharacter) {
  EXPECT_EQ(FromUtf8("≒").bytes, "\x81\xE0");
  EXPECT_EQ(FromUtf8("≒\uFE00").bytes, "\x87\x90");
  EXPECT_EQ(FromUtf8("￢\uFE01").bytes, "\xEE\xF9");
  EXPECT_EQ(FromUtf8("￢\uFE02").bytes, "\xFA\x54");
  EXPECT_TRUE(MarksVariant(U'≒', kVariantNecRow13));
  EXPECT_FALSE(MarksVariant(U'≒', kVariantIbm));
  EXPECT_FALSE(MarksVariant(U'a', kVariantNecRow13));
  // A marker with no character of its row before it is a character CP932
  // cannot hold, like any other variation selector.
  for (const char *text : {"\uFE00", "a\uFE00", "≒\uFE02", "日\uFE01", "\x87\x90\uFE00"}) {
    SCOPED_TRACE(text);
    Encoded e = FromUtf8(text);
    EXPECT_FALSE(e.ok());
  }
  Encoded twice = FromUtf8("≒\uFE00\uFE00x");
  EXPECT_EQ(twice.bytes, "\x87\x90?x");
  ASSERT_EQ(twice.unmappable.size(), 1u);
  EXPECT_EQ(twice.unmappable[0], kVariantNecRow13);
  EXPECT_FALSE(FromUtf8("\uFE0F").ok()); // other selectors are refused as before
}

TEST(Codec, InvalidBytesStayRawBytes) {
  EXPECT_EQ(ToUtf8("\x80"), "\uF780");
  EXPECT_EQ(ToUtf8("\xA0\xFD"), "\uF7A0\uF7FD");
  EXPECT_EQ(ToUtf8("\x87\xFC"), "\uF787\uF7FC"); // past the end of NEC row 13
  EXPECT_EQ(FromUtf8("\uF787\uF7FC").bytes, "\x87\xFC");
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
  EXPECT_EQ(LowerAscii("\x83\x41"
                       "B"),
            "\x83\x41"
            "b");
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
