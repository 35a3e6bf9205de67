#pragma once
// The one place where CP932 (Shift-JIS) bytes meet Unicode. Everything in the
// core is CP932 bytes exactly as the files hold them; only the edges (widgets,
// clipboard, OS file names) convert, and they convert here.
//
// Duplicate codes. CP932 gives some characters two or three codes: the NEC
// row 13 symbols (0x8790 ≒ is also 0x81E0; Ⅰ 0x8754 is also 0xFA4A), and the
// NEC-selected IBM rows 0xED40-0xEEFC, which repeat the IBM rows 0xFA40-0xFC4B.
// Unicode has one code point for each such character, and encoding it gives one
// preferred code. So that a text shown and stored again keeps its bytes, a
// code other than the preferred one decodes to its character followed by a
// variation selector that names the row the code came from:
//   U+FE00 (VS1)  the code in NEC row 13 (lead byte 0x87)
//   U+FE01 (VS2)  the code in the NEC-selected IBM rows (lead 0xED, 0xEE)
//   U+FE02 (VS3)  the code in the IBM rows (lead 0xFA to 0xFC)
// Variation selectors are default-ignorable: Qt draws them with no width, the
// caret never stops between them and their character, and they are legal after
// any character. The encoder turns <character, selector> back into that code;
// the character alone (typed fresh, or the selector removed) gets the preferred
// code. A selector that does not follow a character having a code in its row
// is a character CP932 cannot hold, as it was before. The pairs come from the
// system's converter itself, not from a table of ours.
#include <string>
#include <string_view>
#include <vector>

namespace cp932 {

// Bytes that are not valid CP932 decode to U+F700 + byte so that text shown and
// stored again keeps its bytes.
constexpr char32_t kRawByteBase = 0xF700;

// The markers of duplicate codes (see above).
constexpr char32_t kVariantNecRow13 = 0xFE00;
constexpr char32_t kVariantNecIbm = 0xFE01;
constexpr char32_t kVariantIbm = 0xFE02;
inline bool IsVariantMarker(char32_t c) { return c >= kVariantNecRow13 && c <= kVariantIbm; }
// True when `marker` after `base` names a code of `base`: the pair then encodes
// to that code, and the marker takes no byte of its own.
bool MarksVariant(char32_t base, char32_t marker);

// CP932 -> UTF-8. Never fails, never loses.
std::string ToUtf8(std::string_view bytes);

struct Encoded {
  std::string bytes;                // what could be encoded
  std::vector<char32_t> unmappable; // characters CP932 cannot hold, in order
  bool ok() const { return unmappable.empty(); }
};

// UTF-8 -> CP932. Characters CP932 cannot hold are reported, never dropped
// silently; `bytes` then holds a '?' in their place. Invalid UTF-8 input bytes
// are reported as U+FFFD.
Encoded FromUtf8(std::string_view utf8);

// True when `b` starts a double-byte character.
inline bool IsLeadByte(unsigned char b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// Locale-aware lower-casing of the Japanese code page: ASCII capitals become
// small letters; double-byte characters (including their trail bytes) are left
// as they are.
std::string LowerAscii(std::string_view s);

// Byte index where the last character of `s` starts (npos for an empty text).
// A trail byte is never taken for a character of its own.
size_t LastCharStart(std::string_view s);

// True when the last character of `s` is the single byte `c`.
bool LastCharIs(std::string_view s, char c);

} // namespace cp932
