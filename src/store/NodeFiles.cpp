#include "store/NodeFiles.h"

#include "store/Codec.h"
#include "store/FileSystem.h"
#include "store/LibUnit.h"

#include <bit>
#include <cerrno>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <cstring>
#include <limits>

namespace {

void Warn(TStringList *warnings, std::string_view path, std::string_view key,
          std::string_view value) {
  if (warnings)
    warnings->push_back(MalformedHeaderMessage(path, key, value));
}

// Reads one line starting at `pos`; a line ends at CR LF, lone CR or lone LF.
// Returns false at the end of the input (then `line` is empty).
bool NextLine(std::string_view bytes, size_t &pos, std::string_view &line) {
  if (pos >= bytes.size()) {
    line = {};
    return false;
  }
  size_t end = pos;
  while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n')
    ++end;
  line = bytes.substr(pos, end - pos);
  if (end < bytes.size()) {
    if (bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n')
      end += 2;
    else
      end += 1;
  }
  pos = end;
  return true;
}

bool ParseInt32(std::string_view text, int32_t &out) {
  int64_t v;
  if (!ParseInt64(text, v) || v < std::numeric_limits<int32_t>::min() ||
      v > std::numeric_limits<int32_t>::max())
    return false;
  out = static_cast<int32_t>(v);
  return true;
}

bool IsTrue(std::string_view v) { return cp932::LowerAscii(v) == "true"; }

} // namespace

std::string MalformedHeaderMessage(std::string_view filePath, std::string_view key,
                                   std::string_view value) {
  static const std::string kFile = cp932::FromUtf8("ファイル").bytes;
  static const std::string kHeader = cp932::FromUtf8("のヘッダ").bytes;
  static const std::string kWrong = cp932::FromUtf8("の形式が間違っています").bytes;
  std::string m = kFile;
  m += '"';
  m += filePath;
  m += '"';
  m += kHeader;
  m += '"';
  m += key;
  m += '"';
  m += kWrong;
  m += "\r\n";
  m += value;
  return m;
}

bool ParseInt64(std::string_view s, int64_t &out) {
  size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-'))
    negative = s[i++] == '-';
  if (i >= s.size())
    return false;
  uint64_t v = 0;
  for (; i < s.size(); ++i) {
    if (s[i] < '0' || s[i] > '9')
      return false;
    v = v * 10 + static_cast<uint64_t>(s[i] - '0');
    if (v > static_cast<uint64_t>(std::numeric_limits<int64_t>::max()))
      return false;
  }
  out = negative ? -static_cast<int64_t>(v) : static_cast<int64_t>(v);
  return true;
}

TNodeFiles::TNodeFiles() : Title("(Untheme)"), Author("rovo") {
  Update = clock_::Now();
  FirstEdition = Update;
}

void TNodeFiles::Assign(const TNodeFiles &o) {
  Title = o.Title;
  Update = o.Update;
  FirstEdition = o.FirstEdition;
  Edition = o.Edition;
  ToDo = o.ToDo;
  Completion = o.Completion;
  Author = o.Author;
  BodyOffset = o.BodyOffset;
  Line = o.Line;
  Column = o.Column;
  AttachFiles = o.AttachFiles;
  Body = o.Body;
}

namespace {
fsys::Status ReadItemFile(const std::string &path, std::string &bytes,
                          fsys::Stamp *seen = nullptr) {
  if (path.empty())
    return fsys::Status{"open", path, ENOENT};
  return fsys::ReadFile(path, bytes, seen);
}
} // namespace

fsys::Status TNodeFiles::Open(bool loadBody, TStringList *warnings) {
  std::string bytes;
  if (fsys::Status s = ReadItemFile(FilePath, bytes, &Disk); !s)
    return s;
  ParseHeader(bytes, warnings);
  if (loadBody)
    ParseBody(bytes);
  else
    Body.clear();
  return {};
}

fsys::Status TNodeFiles::ReadHeader(TStringList *warnings) {
  std::string bytes;
  if (fsys::Status s = ReadItemFile(FilePath, bytes); !s)
    return s;
  ParseHeader(bytes, warnings);
  return {};
}

fsys::Status TNodeFiles::LoadBody() {
  Body.clear();
  std::string bytes;
  if (fsys::Status s = ReadItemFile(FilePath, bytes); !s)
    return s;
  ParseBody(bytes);
  return {};
}

void TNodeFiles::ParseHeader(std::string_view bytes, TStringList *warnings) {
  Line = 0;
  Column = 1;
  AttachFiles.clear();
  // Editors elsewhere may put a UTF-8 byte-order mark before the first line;
  // the header is read after it (and Save writes none).
  size_t pos = bytes.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
  std::string_view s;
  for (;;) {
    NextLine(bytes, pos, s);
    size_t colon = s.find(':');
    std::string_view rawKey =
        colon == std::string_view::npos ? std::string_view() : s.substr(0, colon);
    std::string_view v = colon == std::string_view::npos ? std::string_view() : s.substr(colon + 1);
    std::string k;
    k.reserve(rawKey.size());
    for (char c : rawKey)
      if (c != ' ')
        k += c;
    k = cp932::LowerAscii(k);
    // An empty title or author is written as "Title:" alone; read it back as
    // the empty text it was instead of ending the header there.
    bool emptyText = v.empty() && (k == "title" || k == "author");
    if ((rawKey.empty() || v.empty()) && !emptyText)
      break;
    size_t lead = v.find_first_not_of(' ');
    v = lead == std::string_view::npos ? std::string_view() : v.substr(lead);

    if (k == "title") {
      Title = std::string(v);
    } else if (k == "author") {
      Author = std::string(v);
    } else if (k == "update" || k == "firstedition") {
      TDateTime d;
      if (TDateTime::Parse(v, d))
        (k == "update" ? Update : FirstEdition) = d;
      else
        Warn(warnings, FilePath, k, v);
    } else if (k == "edition") {
      std::string digits;
      for (char c : v)
        if (c != '-')
          digits += c;
      int64_t n;
      if (ParseInt64(digits, n) && n >= std::numeric_limits<int32_t>::min() &&
          n <= std::numeric_limits<int32_t>::max())
        Edition = static_cast<uint16_t>(n & 0xFFFF);
      else
        Warn(warnings, FilePath, k, v);
    } else if (k == "todo") {
      ToDo = IsTrue(v);
    } else if (k == "completion") {
      Completion = IsTrue(v);
    } else if (k == "line" || k == "column") {
      if (!ParseInt32(v, k == "line" ? Line : Column))
        Warn(warnings, FilePath, k, v);
    } else if (k == "attachfile") {
      if (!v.empty()) // blank: no file, and written back it would end the header
        AttachFiles.emplace_back(v);
    }
  }
  BodyOffset = static_cast<int64_t>(pos);
}

namespace {

// The bytes of `w` that are a CR or an LF, each marked by its top bit; the
// least significant mark is always right (more significant ones may be
// false).
uint64_t LineEnds(uint64_t w) {
  constexpr uint64_t ones = 0x0101010101010101ull, highs = 0x8080808080808080ull;
  uint64_t cr = w ^ (ones * '\r'), lf = w ^ (ones * '\n');
  return (((cr - ones) & ~cr) | ((lf - ones) & ~lf)) & highs;
}

// Bytes in memory order before the first CR or LF of `w`, whose LineEnds()
// are `marks` (not 0).
size_t BytesBefore(uint64_t w, uint64_t marks) {
  if constexpr (std::endian::native == std::endian::little) {
    return static_cast<size_t>(std::countr_zero(marks)) / 8;
  } else { // the exact mark is the last byte in memory: look byte by byte
    char bytes[8];
    std::memcpy(bytes, &w, 8);
    size_t i = 0;
    while (bytes[i] != '\r' && bytes[i] != '\n')
      ++i;
    return i;
  }
}

// Copies the bytes from `p` up to the next CR or LF (or `end`) to `out`,
// which never runs ahead of `p` (so a whole block fits wherever it goes);
// their count. Item lines are short (a few dozen bytes): blocks of 16 or 8
// bytes between line ends cost far less than a search per line.
size_t CopyRun(const char *p, const char *const end, char *out) {
  const char *const from = p;
#if defined(__SSE2__)
  const __m128i crs = _mm_set1_epi8('\r'), lfs = _mm_set1_epi8('\n');
  for (; end - p >= 16; p += 16, out += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(out), v);
    const auto marks = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, crs), _mm_cmpeq_epi8(v, lfs))));
    if (marks)
      return static_cast<size_t>(p - from) + static_cast<size_t>(std::countr_zero(marks));
  }
#endif
  for (; end - p >= 8; p += 8, out += 8) {
    uint64_t w;
    std::memcpy(&w, p, 8);
    std::memcpy(out, &w, 8);
    if (const uint64_t marks = LineEnds(w))
      return static_cast<size_t>(p - from) + BytesBefore(w, marks);
  }
  for (; p < end && *p != '\r' && *p != '\n'; ++p)
    *out++ = *p;
  return static_cast<size_t>(p - from);
}

} // namespace

void TNodeFiles::ParseBody(std::string_view bytes) {
  size_t from = BodyOffset > 0 ? static_cast<size_t>(BodyOffset) : 0;
  if (from > bytes.size())
    from = bytes.size();
  std::string_view text = bytes.substr(from);
  // Every line end (CR LF, lone CR, lone LF) becomes the one '\n' between
  // lines; a final line end does not start a further line.
  std::string joined(text.size(), '\0');
  const char *p = text.data(), *const end = p + text.size();
  char *out = joined.data();
  size_t ends = 0;
  while (p < end) {
    const size_t run = CopyRun(p, end, out);
    p += run;
    out += run;
    if (p == end)
      break;
    const char c = *p++; // a CR or an LF
    *out++ = '\n';
    ++ends;
    if (c == '\r' && p < end && *p == '\n')
      ++p;
  }
  const bool closed = !text.empty() && (text.back() == '\r' || text.back() == '\n');
  joined.resize(static_cast<size_t>(out - joined.data()) - (closed ? 1 : 0));
  Body = TTextLines::FromJoined(std::move(joined), ends + (!text.empty() && !closed ? 1 : 0));
  // Save always closes the file with an empty line; drop it, but never a line
  // of text (a file edited elsewhere may lack the closing line).
  if (!Body.empty() && Body.back().empty())
    Body.pop_back();
}

TStringList TNodeFiles::SplitLines(std::string_view text) {
  // Count first so that the list is allocated once, at its final size.
  size_t count = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\n' || (c == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n')))
      ++count;
  }
  if (!text.empty() && text.back() != '\n' && text.back() != '\r')
    ++count;
  TStringList lines;
  lines.reserve(count);
  size_t pos = 0;
  std::string_view line;
  while (NextLine(text, pos, line))
    lines.emplace_back(line);
  return lines;
}

std::string TNodeFiles::Serialize() const {
  std::string out;
  size_t total = 256 + Title.size() + Author.size();
  for (const auto &a : AttachFiles)
    total += a.size() + 14;
  total += Body.Joined().size() + Body.size() + 2;
  out.reserve(total);
  auto line = [&out](std::string_view key, std::string_view value) {
    out += key;
    // A line break inside a header value would end the header early and
    // turn the rest into text: keep the header one line per key.
    size_t at = out.size();
    out += value;
    for (size_t i = at; i < out.size(); ++i)
      if (out[i] == '\r' || out[i] == '\n')
        out[i] = ' ';
    out += "\r\n";
  };
  line("Title:", Title);
  line("Update:", Update.ToString());
  line("FirstEdition:", FirstEdition.ToString());
  line("Edition:", std::to_string(Edition));
  line("ToDo:", ToDo ? "true" : "false");
  line("Completion:", Completion ? "true" : "false");
  line("Author:", Author);
  line("Line:", std::to_string(Line));
  line("Column:", std::to_string(Column));
  for (const auto &a : AttachFiles)
    if (!a.empty()) // "AttachFile:" alone would end the header here
      line("AttachFile:", a);
  out += "\r\n";
  for (std::string_view l : Body) {
    out += l;
    out += "\r\n";
  }
  out += "\r\n";
  return out;
}

fsys::Status TNodeFiles::Save(Overwrite overwrite) {
  if (FilePath.empty())
    return fsys::Status{"write", FilePath, ENOENT};
  // Item files live in the project folder; a link there is written through
  // only while it stays inside.
  const std::string dir = ExtractFilePath(FilePath);
  fsys::WriteOptions options;
  options.withinDir = dir;
  if (overwrite == Overwrite::IfUnchanged)
    options.expect = &Disk;
  options.seen = &Disk;
  return fsys::WriteFile(FilePath, Serialize(), options);
}
