#include "store/IniFile.h"

#include "store/Codec.h"
#include "store/FileSystem.h"
#include "store/NodeFiles.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <limits>

namespace {

// Sections with more keys than this get a hash index; smaller ones are
// scanned, which is faster and lighter for the few keys of an item section.
constexpr size_t kIndexThreshold = 12;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front()))
    s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back()))
    s.remove_suffix(1);
  return s;
}

bool IsQuote(char c) { return c == '"' || c == '\''; }

bool EnclosedInQuotes(std::string_view v) {
  return v.size() >= 2 && IsQuote(v.front()) && v.front() == v.back();
}

bool IsTrailByte(unsigned char b) { return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC); }

// Byte index of the first `c` that is a character of its own (not the trail
// byte of a double-byte character), or npos.
size_t FindChar(std::string_view s, char c) {
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == c)
      return i;
    if (cp932::IsLeadByte(static_cast<unsigned char>(s[i])) && i + 1 < s.size() &&
        IsTrailByte(static_cast<unsigned char>(s[i + 1])))
      ++i;
  }
  return std::string_view::npos;
}

char LowerByte(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; }

// A name or value as it may stand on one line.
std::string OneLine(std::string_view s) {
  std::string r(s);
  for (char &c : r)
    if (c == '\r' || c == '\n')
      c = ' ';
  return r;
}

// Values that would not read back as they are get a pair of quotes.
void AppendValue(std::string &out, std::string_view v) {
  bool quote = (!v.empty() && (IsBlank(v.front()) || IsBlank(v.back()))) || EnclosedInQuotes(v);
  if (quote)
    out += '"';
  out += v;
  if (quote)
    out += '"';
}

// Next line of `bytes` from `pos`; a line ends at CR LF, lone CR or lone LF.
bool NextLine(std::string_view bytes, size_t &pos, std::string_view &line) {
  if (pos >= bytes.size())
    return false;
  size_t end = pos;
  const char *p = bytes.data();
  while (end < bytes.size() && p[end] != '\r' && p[end] != '\n')
    ++end;
  line = bytes.substr(pos, end - pos);
  if (end < bytes.size())
    end += (p[end] == '\r' && end + 1 < bytes.size() && p[end + 1] == '\n') ? 2 : 1;
  pos = end;
  return true;
}

} // namespace

bool TIniFile::SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size())
    return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (cp932::IsLeadByte(static_cast<unsigned char>(a[i])) && i + 1 < a.size()) {
      if (a[i] != b[i] || a[i + 1] != b[i + 1])
        return false;
      ++i;
    } else if (LowerByte(a[i]) != LowerByte(b[i])) {
      return false;
    }
  }
  return true;
}

size_t TIniFile::NameHash::operator()(std::string_view name) const {
  uint64_t h = 14695981039346656037ull; // FNV-1a over the lower-cased bytes
  for (size_t i = 0; i < name.size(); ++i) {
    bool lead = cp932::IsLeadByte(static_cast<unsigned char>(name[i])) && i + 1 < name.size();
    h = (h ^ static_cast<unsigned char>(LowerByte(name[i]))) * 1099511628211ull;
    if (lead)
      h = (h ^ static_cast<unsigned char>(name[++i])) * 1099511628211ull;
  }
  return static_cast<size_t>(h);
}

size_t TIniFile::Section::FindKey(std::string_view key) const {
  if (index) {
    auto it = index->find(cp932::LowerAscii(key));
    return it == index->end() ? std::string::npos : it->second;
  }
  for (size_t i = 0; i < lines.size(); ++i)
    if (!lines[i].key.empty() && SameName(lines[i].key, key))
      return i;
  return std::string::npos;
}

void TIniFile::Section::Added(size_t line) {
  ++keyCount;
  if (index)
    index->emplace(cp932::LowerAscii(lines[line].key), line); // the first of duplicates stays
  else if (keyCount > kIndexThreshold)
    RebuildIndex();
}

void TIniFile::Section::RebuildIndex() {
  index.reset();
  keyCount = 0;
  for (const Line &l : lines)
    if (!l.key.empty())
      ++keyCount;
  if (keyCount <= kIndexThreshold)
    return;
  index = std::make_unique<std::unordered_map<std::string, size_t>>();
  index->reserve(keyCount);
  for (size_t i = 0; i < lines.size(); ++i)
    if (!lines[i].key.empty())
      index->emplace(cp932::LowerAscii(lines[i].key), i);
}

TIniFile::TIniFile(std::string_view fileName) {
  if (!Load(fileName))
    fileName_ = std::string(fileName);
}

fsys::Status TIniFile::Load(std::string_view fileName) {
  Clear();
  fileName_ = std::string(fileName);
  loadFailure_ = {};
  std::string bytes;
  if (fsys::Status s = fsys::ReadFile(fileName, bytes); !s) {
    if (s.code != ENOENT)
      loadFailure_ = s;
    return s;
  }
  Parse(bytes);
  return {};
}

void TIniFile::Clear() {
  preamble_.clear();
  sections_.clear();
  sectionIndex_.clear();
}

void TIniFile::Parse(std::string_view bytes) {
  Clear();
  // Every mark: a file marked twice over must not read differently once it
  // has been written back (a second mark would hide the line it starts).
  while (bytes.substr(0, 3) == "\xEF\xBB\xBF")
    bytes.remove_prefix(3);
  // Room for every section up front, and each section's lines gathered
  // first and stored at their final size: a tree file of 50,000 items is
  // read in one go, with no rehash and no growth of its many small lists.
  size_t headers = 1;
  for (const char *p = bytes.data(), *end = p + bytes.size();
       (p = static_cast<const char *>(std::memchr(p, '[', static_cast<size_t>(end - p)))); ++p)
    ++headers;
  sectionIndex_.reserve(headers);
  std::vector<Section::Line> lines;
  Section *current = nullptr;
  auto close = [&] {
    if (!current)
      return;
    current->lines.reserve(lines.size());
    std::move(lines.begin(), lines.end(), std::back_inserter(current->lines));
    lines.clear();
    current->RebuildIndex();
  };
  size_t pos = 0;
  std::string_view raw;
  while (NextLine(bytes, pos, raw)) {
    std::string_view s = Trim(raw);
    if (!s.empty() && s.front() == '[') {
      std::string_view name = s.substr(1);
      size_t closing = FindChar(name, ']');
      if (closing != std::string_view::npos)
        name = name.substr(0, closing);
      close();
      current = &AddSection(Trim(name));
      continue;
    }
    size_t eq = (s.empty() || s.front() == ';') ? std::string_view::npos : FindChar(s, '=');
    std::string_view key =
        eq == std::string_view::npos ? std::string_view() : Trim(s.substr(0, eq));
    if (!current) {
      preamble_.emplace_back(raw);
      continue;
    }
    if (key.empty()) {
      lines.push_back(Section::Line{{}, std::string(raw)});
      continue;
    }
    std::string_view value = Trim(s.substr(eq + 1));
    if (EnclosedInQuotes(value))
      value = value.substr(1, value.size() - 2);
    lines.push_back(Section::Line{std::string(key), std::string(value)});
  }
  close();
}

std::string TIniFile::Serialize() const {
  size_t total = 0;
  for (const auto &l : preamble_)
    total += l.size() + 2;
  for (const Section &s : sections_) {
    total += s.name.size() + 4;
    for (const auto &l : s.lines)
      total += l.key.size() + l.value.size() + 5;
  }
  std::string out;
  out.reserve(total);
  for (const auto &l : preamble_) {
    out += l;
    out += "\r\n";
  }
  for (const Section &s : sections_) {
    out += '[';
    out += s.name;
    out += "]\r\n";
    for (const auto &l : s.lines) {
      if (l.key.empty()) {
        out += l.value;
      } else {
        out += l.key;
        out += '=';
        AppendValue(out, l.value);
      }
      out += "\r\n";
    }
  }
  return out;
}

fsys::Status TIniFile::UpdateFile() const {
  // The document lacks what the file holds: writing it would drop that.
  if (!loadFailure_)
    return loadFailure_;
  return SaveToFile(fileName_);
}

fsys::Status TIniFile::SaveToFile(std::string_view path) const {
  return fsys::WriteFile(path, Serialize());
}

TIniFile::Section *TIniFile::FindSection(std::string_view section) const {
  auto it = sectionIndex_.find(section);
  return it == sectionIndex_.end() ? nullptr : it->second;
}

TIniFile::Section &TIniFile::AddSection(std::string_view name) {
  Section &s = sections_.emplace_back();
  s.name = std::string(name);
  s.ordinal = sections_.size() - 1;
  sectionIndex_.emplace(s.name, &s);
  return s;
}

void TIniFile::RebuildSectionIndex() {
  sectionIndex_.clear();
  size_t ordinal = 0;
  for (Section &s : sections_) {
    s.ordinal = ordinal++;
    sectionIndex_.emplace(s.name, &s);
  }
}

const TIniFile::Section *TIniFile::GetSection(std::string_view section) const {
  return FindSection(section);
}

const std::string *TIniFile::Find(const Section *s, std::string_view key) const {
  if (!s)
    return nullptr;
  size_t i = s->FindKey(key);
  return i == std::string::npos ? nullptr : &s->lines[i].value;
}

bool TIniFile::SectionExists(std::string_view section) const {
  return FindSection(section) != nullptr;
}

bool TIniFile::ValueExists(std::string_view section, std::string_view key) const {
  return Find(section, key) != nullptr;
}

const std::string *TIniFile::Find(std::string_view section, std::string_view key) const {
  return Find(FindSection(section), key);
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key,
                                 std::string_view def) const {
  const std::string *v = Find(section, key);
  return v ? *v : std::string(def);
}

int32_t TIniFile::ReadInteger(std::string_view section, std::string_view key, int32_t def) const {
  return ReadInteger(FindSection(section), key, def);
}

int32_t TIniFile::ReadInteger(const Section *section, std::string_view key, int32_t def) const {
  const std::string *v = Find(section, key);
  int64_t n;
  if (!v || !ParseInt64(*v, n) || n < std::numeric_limits<int32_t>::min() ||
      n > std::numeric_limits<int32_t>::max())
    return def;
  return static_cast<int32_t>(n);
}

bool TIniFile::ReadBool(std::string_view section, std::string_view key, bool def) const {
  return ReadInteger(section, key, def ? 1 : 0) != 0;
}

bool TIniFile::ReadBool(const Section *section, std::string_view key, bool def) const {
  return ReadInteger(section, key, def ? 1 : 0) != 0;
}

TIniFile::Section *TIniFile::OpenSection(std::string_view section) {
  std::string name = OneLine(section);
  Section *s = FindSection(name);
  return s ? s : &AddSection(name);
}

void TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  WriteString(OpenSection(section), key, value);
}

void TIniFile::WriteString(Section *s, std::string_view key, std::string_view value) {
  std::string k = OneLine(key);
  size_t found = s->FindKey(k);
  if (found != std::string::npos) {
    s->lines[found].value = OneLine(value);
    return;
  }
  // After the last line with content, so that blank lines that part this
  // section from the next one stay where they are.
  size_t at = s->lines.size();
  while (at > 0 && s->lines[at - 1].key.empty() && Trim(s->lines[at - 1].value).empty())
    --at;
  s->lines.insert(s->lines.begin() + static_cast<std::ptrdiff_t>(at),
                  Section::Line{std::move(k), OneLine(value)});
  if (at + 1 == s->lines.size())
    s->Added(at);
  else
    s->RebuildIndex();
}

void TIniFile::WriteInteger(std::string_view section, std::string_view key, int32_t value) {
  WriteString(section, key, std::to_string(value));
}

void TIniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

void TIniFile::WriteBool(Section *section, std::string_view key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

void TIniFile::AppendSection(const Section &section) {
  const std::vector<Section::Line> lines = section.lines; // `section` may be one of ours
  Section &s = AddSection(section.name);
  s.lines = lines;
  s.RebuildIndex();
}

void TIniFile::ReleaseKeys(const Section &section) {
  if (section.ordinal >= sections_.size() || &sections_[section.ordinal] != &section)
    return; // not one of ours
  Section &s = sections_[section.ordinal];
  std::vector<Section::Line>().swap(s.lines);
  s.index.reset();
  s.keyCount = 0;
}

std::vector<std::string> TIniFile::ReadSections() const {
  std::vector<std::string> names;
  for (const Section &s : sections_)
    if (FindSection(s.name) == &s)
      names.push_back(s.name);
  return names;
}

std::vector<std::string> TIniFile::ReadSection(std::string_view section) const {
  std::vector<std::string> keys;
  if (const Section *s = FindSection(section))
    for (size_t i = 0; i < s->lines.size(); ++i)
      if (!s->lines[i].key.empty() && s->FindKey(s->lines[i].key) == i)
        keys.push_back(s->lines[i].key);
  return keys;
}

void TIniFile::EraseSection(std::string_view section) {
  std::erase_if(sections_, [&](const Section &s) { return SameName(s.name, section); });
  RebuildSectionIndex();
}

void TIniFile::DeleteKey(std::string_view section, std::string_view key) {
  Section *s = FindSection(section);
  if (!s)
    return;
  std::erase_if(s->lines, [&](const auto &l) { return !l.key.empty() && SameName(l.key, key); });
  s->RebuildIndex();
}
