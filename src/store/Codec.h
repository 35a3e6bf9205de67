#pragma once
// The one place where CP932 (Shift-JIS) bytes meet Unicode. Everything in the
// core is CP932 bytes exactly as the files hold them; only the edges (widgets,
// clipboard, OS file names) convert, and they convert here.
#include <string>
#include <string_view>
#include <vector>

namespace cp932 {

// Bytes that are not valid CP932, and valid characters that would not encode
// back to the same bytes (duplicate code points of the NEC/IBM rows), decode to
// U+F700 + byte so that text shown and stored again keeps its bytes.
constexpr char32_t kRawByteBase = 0xF700;

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
