#include "store/Codec.h"

#include <algorithm>
#include <cerrno>
#include <iconv.h>
#include <map>
#include <memory>
#include <stdexcept>
#include <unordered_map>
#include <utility>

namespace cp932 {
namespace {

// One iconv handle per direction and thread; glibc's handles are stateful.
class Iconv {
public:
  Iconv(const char *to, const char *from) : cd_(iconv_open(to, from)) {
    if (cd_ == reinterpret_cast<iconv_t>(-1))
      throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
  }
  ~Iconv() { iconv_close(cd_); }
  Iconv(const Iconv &) = delete;
  Iconv &operator=(const Iconv &) = delete;

  // Converts a whole buffer. Returns false at the first invalid or
  // unconvertible sequence, with `consumed` telling how far it got.
  bool Convert(std::string_view in, std::string &out, size_t &consumed) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char *src = const_cast<char *>(in.data());
    size_t srcLeft = in.size();
    out.resize(in.size() * 3 + 16);
    char *dst = out.data();
    size_t dstLeft = out.size();
    bool ok = true;
    while (srcLeft > 0) {
      size_t r = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
      if (r != static_cast<size_t>(-1))
        break;
      if (errno == E2BIG) {
        size_t used = out.size() - dstLeft;
        out.resize(out.size() * 2);
        dst = out.data() + used;
        dstLeft = out.size() - used;
        continue;
      }
      ok = false;
      break;
    }
    out.resize(out.size() - dstLeft);
    consumed = in.size() - srcLeft;
    return ok;
  }

private:
  iconv_t cd_;
};

Iconv &Decoder() {
  thread_local Iconv d("UTF-8", "CP932");
  return d;
}
Iconv &Encoder() {
  thread_local Iconv e("CP932", "UTF-8");
  return e;
}

void AppendUtf8(std::string &out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Decodes one UTF-8 sequence at s[i]; returns its length, 0 when invalid.
size_t NextUtf8(std::string_view s, size_t i, char32_t &c) {
  unsigned char b = static_cast<unsigned char>(s[i]);
  size_t len;
  if (b < 0x80) {
    c = b;
    return 1;
  } else if ((b & 0xE0) == 0xC0) {
    c = b & 0x1F;
    len = 2;
  } else if ((b & 0xF0) == 0xE0) {
    c = b & 0x0F;
    len = 3;
  } else if ((b & 0xF8) == 0xF0) {
    c = b & 0x07;
    len = 4;
  } else {
    return 0;
  }
  if (i + len > s.size())
    return 0;
  for (size_t k = 1; k < len; ++k) {
    unsigned char t = static_cast<unsigned char>(s[i + k]);
    if ((t & 0xC0) != 0x80)
      return 0;
    c = (c << 6) | (t & 0x3F);
  }
  static const char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
  if (c < kMin[len] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
    return 0;
  return len;
}

// The duplicate codes of the system's converter: every valid double-byte code
// whose character encodes to another code, with the marker of its row.
struct Variants {
  std::unordered_map<unsigned, char32_t> markerOf;          // code -> marker
  std::map<std::pair<char32_t, char32_t>, unsigned> codeOf; // <char, marker> -> code
};

char32_t MarkerOfRow(unsigned lead) {
  if (lead == 0x87)
    return kVariantNecRow13;
  if (lead == 0xED || lead == 0xEE)
    return kVariantNecIbm;
  if (lead >= 0xFA && lead <= 0xFC)
    return kVariantIbm;
  return 0;
}

const Variants &DuplicateCodes() {
  static const Variants v = [] {
    Variants r;
    for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
      char32_t marker = MarkerOfRow(lead);
      if (!marker)
        continue; // no duplicates outside these rows; their codes stay raw bytes if any
      for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
        const char ch[2] = {static_cast<char>(lead), static_cast<char>(trail)};
        std::string utf8, back;
        size_t used = 0, used2 = 0;
        if (!Decoder().Convert(std::string_view(ch, 2), utf8, used) || used != 2)
          continue;
        if (Encoder().Convert(utf8, back, used2) && back == std::string_view(ch, 2))
          continue;
        char32_t c = 0;
        if (NextUtf8(utf8, 0, c) != utf8.size())
          continue; // not one character: leave it as raw bytes
        if (r.codeOf.emplace(std::make_pair(c, marker), lead << 8 | trail).second)
          r.markerOf.emplace(lead << 8 | trail, marker);
      }
    }
    return r;
  }();
  return v;
}

// Decodes one CP932 character (1 or 2 bytes) the slow, careful way.
void DecodeOne(std::string_view bytes, size_t &i, std::string &out) {
  unsigned char b = static_cast<unsigned char>(bytes[i]);
  size_t len = (IsLeadByte(b) && i + 1 < bytes.size()) ? 2 : 1;
  std::string_view ch = bytes.substr(i, len);
  std::string utf8, back;
  size_t used = 0;
  bool good = Decoder().Convert(ch, utf8, used) && used == len;
  if (good) {
    // A character that encodes back to other bytes (a duplicate code) would
    // change the file when stored again: mark which of its codes it was.
    size_t used2 = 0;
    if (!(Encoder().Convert(utf8, back, used2) && back == ch)) {
      good = false;
      if (len == 2) {
        const Variants &v = DuplicateCodes();
        auto it = v.markerOf.find(static_cast<unsigned>(b) << 8 |
                                  static_cast<unsigned char>(bytes[i + 1]));
        if (it != v.markerOf.end()) {
          out += utf8;
          AppendUtf8(out, it->second);
          i += 2;
          return;
        }
      }
    }
  }
  if (good) {
    out += utf8;
    i += len;
  } else {
    AppendUtf8(out, kRawByteBase + b);
    i += 1;
    if (len == 2) {
      // The second byte may be a character of its own (e.g. 0x81 followed by
      // 'A'); only take both as raw bytes when it cannot start one.
      unsigned char t = static_cast<unsigned char>(bytes[i]);
      if (t >= 0x80 && !IsLeadByte(t) && !(t >= 0xA1 && t <= 0xDF)) {
        AppendUtf8(out, kRawByteBase + t);
        i += 1;
      }
    }
  }
}

// What DecodeOne makes of a character, kept per code: the converter is
// called once per code and thread, not once per character of a text (a text
// of megabytes has few distinct codes). CP932 has no state, so a character
// decodes alone as it does within a run.
struct Decoded {
  unsigned char known = 0, used = 0, size = 0;
  char utf8[13];
};

const Decoded &DecodedAt(std::string_view bytes, size_t i) {
  thread_local std::unique_ptr<Decoded[]> table;
  if (!table)
    table = std::make_unique<Decoded[]>(0x10000 + 0x100);
  const unsigned char b = static_cast<unsigned char>(bytes[i]);
  const bool pair = IsLeadByte(b) && i + 1 < bytes.size();
  Decoded &d = table[pair ? static_cast<unsigned>(b) << 8 | static_cast<unsigned char>(bytes[i + 1])
                          : 0x10000 + b];
  if (!d.known) {
    const std::string_view ch = bytes.substr(i, pair ? 2 : 1);
    std::string out;
    size_t at = 0;
    DecodeOne(ch, at, out);
    d.used = static_cast<unsigned char>(at);
    d.size = static_cast<unsigned char>(std::min(out.size(), sizeof d.utf8));
    out.copy(d.utf8, d.size);
    d.known = 1;
  }
  return d;
}

} // namespace

std::string ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 3 / 2);
  size_t i = 0;
  while (i < bytes.size()) {
    // Fast path: ASCII runs are the same in both encodings. NUL and the
    // private range need no special care here.
    size_t j = i;
    while (j < bytes.size() && static_cast<unsigned char>(bytes[j]) < 0x80)
      ++j;
    out.append(bytes.data() + i, j - i);
    i = j;
    while (i < bytes.size() && static_cast<unsigned char>(bytes[i]) >= 0x80) {
      const Decoded &d = DecodedAt(bytes, i);
      out.append(d.utf8, d.size);
      i += d.used;
    }
  }
  return out;
}

namespace {

// What the converter makes of one character, kept per character as decoding
// keeps it per code.
struct Encoding {
  unsigned char state = 0, size = 0; // state: 0 not asked yet, 1 held, 2 not held
  char bytes[2];
};

// Appends the code of `c` (its UTF-8 is `utf8`); false when CP932 lacks it.
bool EncodeOne(char32_t c, std::string_view utf8, std::string &out) {
  thread_local std::unique_ptr<Encoding[]> table;
  if (c < 0x10000) {
    if (!table)
      table = std::make_unique<Encoding[]>(0x10000);
    Encoding &e = table[c];
    if (e.state == 0) {
      std::string code;
      size_t used = 0;
      const bool held = Encoder().Convert(utf8, code, used) && used == utf8.size();
      if (held && code.size() <= sizeof e.bytes) {
        e.size = static_cast<unsigned char>(code.size());
        code.copy(e.bytes, e.size);
        e.state = 1;
      } else if (held) {
        out += code; // longer than any code: not kept
        return true;
      } else {
        e.state = 2;
      }
    }
    out.append(e.bytes, e.size);
    return e.state == 1;
  }
  std::string code;
  size_t used = 0;
  if (!Encoder().Convert(utf8, code, used) || used != utf8.size())
    return false;
  out += code;
  return true;
}

} // namespace

Encoded FromUtf8(std::string_view utf8) {
  Encoded r;
  r.bytes.reserve(utf8.size());
  size_t i = 0;
  char32_t last = 0;  // the character just encoded, 0 when none
  size_t lastLen = 0; // the bytes it took
  while (i < utf8.size()) {
    unsigned char b = static_cast<unsigned char>(utf8[i]);
    if (b < 0x80) {
      last = 0;
      r.bytes += static_cast<char>(b);
      ++i;
      continue;
    }
    char32_t c = 0;
    size_t n = NextUtf8(utf8, i, c);
    if (n == 0) {
      last = 0;
      r.unmappable.push_back(0xFFFD);
      r.bytes += '?';
      ++i;
      continue;
    }
    if (c >= kRawByteBase && c <= kRawByteBase + 0xFF) {
      last = 0;
      r.bytes += static_cast<char>(c - kRawByteBase);
    } else if (IsVariantMarker(c)) {
      const Variants &v = DuplicateCodes();
      auto it = last ? v.codeOf.find({last, c}) : v.codeOf.end();
      if (it != v.codeOf.end()) {
        // The pair is one code: it replaces the character's own.
        r.bytes.resize(r.bytes.size() - lastLen);
        r.bytes += static_cast<char>(it->second >> 8);
        r.bytes += static_cast<char>(it->second & 0xFF);
      } else {
        r.unmappable.push_back(c);
        r.bytes += '?';
      }
      last = 0;
    } else {
      const size_t before = r.bytes.size();
      if (EncodeOne(c, utf8.substr(i, n), r.bytes)) {
        last = c;
        lastLen = r.bytes.size() - before;
      } else {
        last = 0;
        r.unmappable.push_back(c);
        r.bytes += '?';
      }
    }
    i += n;
  }
  return r;
}

bool MarksVariant(char32_t base, char32_t marker) {
  return IsVariantMarker(marker) && DuplicateCodes().codeOf.count({base, marker}) != 0;
}

std::string LowerAscii(std::string_view s) {
  std::string out(s);
  for (size_t i = 0; i < out.size(); ++i) {
    unsigned char b = static_cast<unsigned char>(out[i]);
    if (IsLeadByte(b)) {
      ++i; // skip the trail byte: it may look like an ASCII capital
    } else if (b >= 'A' && b <= 'Z') {
      out[i] = static_cast<char>(b + ('a' - 'A'));
    }
  }
  return out;
}

size_t LastCharStart(std::string_view s) {
  if (s.empty())
    return std::string_view::npos;
  size_t i = 0, last = 0;
  while (i < s.size()) {
    last = i;
    i += (IsLeadByte(static_cast<unsigned char>(s[i])) && i + 1 < s.size()) ? 2 : 1;
  }
  return last;
}

bool LastCharIs(std::string_view s, char c) {
  size_t p = LastCharStart(s);
  return p != std::string_view::npos && p == s.size() - 1 && s[p] == c;
}

} // namespace cp932
