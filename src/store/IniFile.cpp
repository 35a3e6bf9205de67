#include "store/IniFile.h"

#include "store/Codec.h"
#include "store/FileSystem.h"
#include "store/NodeFiles.h"

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

// Byte index of the first `c` that is a character of its own (not the trail
// byte of a double-byte character), or npos.
size_t FindChar(std::string_view s, char c) {
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == c)
      return i;
    if (cp932::IsLeadByte(static_cast<unsigned char>(s[i])))
      ++i;
  }
  return std::string_view::npos;
}

// A name or value as it may stand on one line.
std::string OneLine(std::string_view s) {
  std::string r(s);
  for (char &c : r)
    if (c == '\r' || c == '\n')
      c = ' ';
  return r;
}

std::string StoredValue(std::string_view value) {
  std::string v = OneLine(value);
  bool padded = !v.empty() && (IsBlank(v.front()) || IsBlank(v.back()));
  if (padded || EnclosedInQuotes(v))
    return '"' + v + '"';
  return v;
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

size_t TIniFile::Section::FindKey(const std::string &lower) const {
  if (!index.empty()) {
    auto it = index.find(lower);
    return it == index.end() ? std::string::npos : it->second;
  }
  for (size_t i = 0; i < lines.size(); ++i)
    if (!lines[i].key.empty() && lines[i].lower == lower)
      return i;
  return std::string::npos;
}

void TIniFile::Section::AddToIndex(const std::string &lower, size_t line) {
  ++keyCount;
  if (!index.empty())
    index.emplace(lower, line); // the first of duplicate keys stays
  else if (keyCount > kIndexThreshold)
    RebuildIndex();
}

void TIniFile::Section::RebuildIndex() {
  index.clear();
  keyCount = 0;
  for (size_t i = 0; i < lines.size(); ++i)
    if (!lines[i].key.empty())
      ++keyCount;
  if (keyCount <= kIndexThreshold)
    return;
  index.reserve(keyCount);
  for (size_t i = 0; i < lines.size(); ++i)
    if (!lines[i].key.empty())
      index.emplace(lines[i].lower, i);
}

TIniFile::TIniFile(std::string_view fileName) {
  if (!Load(fileName))
    fileName_ = std::string(fileName);
}

bool TIniFile::Load(std::string_view fileName) {
  Clear();
  fileName_ = std::string(fileName);
  std::string bytes;
  if (!fsys::ReadFile(fileName, bytes))
    return false;
  Parse(bytes);
  return true;
}

void TIniFile::Clear() {
  preamble_.clear();
  sections_.clear();
  sectionIndex_.clear();
}

void TIniFile::Parse(std::string_view bytes) {
  Clear();
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
    bytes.remove_prefix(3);
  Section *current = nullptr;
  size_t pos = 0;
  std::string_view raw;
  while (NextLine(bytes, pos, raw)) {
    std::string_view s = Trim(raw);
    if (!s.empty() && s.front() == '[') {
      std::string_view name = s.substr(1);
      size_t close = FindChar(name, ']');
      if (close != std::string_view::npos)
        name = name.substr(0, close);
      current = &AddSection(Trim(name));
      continue;
    }
    size_t eq = (s.empty() || s.front() == ';') ? std::string_view::npos : FindChar(s, '=');
    std::string_view key = eq == std::string_view::npos ? std::string_view() : Trim(s.substr(0, eq));
    if (!current) {
      preamble_.emplace_back(raw);
      continue;
    }
    if (key.empty()) {
      current->lines.push_back(Line{{}, {}, std::string(raw)});
      continue;
    }
    std::string_view value = Trim(s.substr(eq + 1));
    if (EnclosedInQuotes(value))
      value = value.substr(1, value.size() - 2);
    std::string lower = cp932::LowerAscii(key);
    current->lines.push_back(Line{std::string(key), lower, std::string(value)});
    current->AddToIndex(lower, current->lines.size() - 1);
  }
}

std::string TIniFile::Serialize() const {
  size_t total = 0;
  for (const auto &l : preamble_)
    total += l.size() + 2;
  for (const auto &s : sections_) {
    total += s->name.size() + 4;
    for (const Line &l : s->lines)
      total += l.key.size() + l.value.size() + 5;
  }
  std::string out;
  out.reserve(total);
  for (const auto &l : preamble_) {
    out += l;
    out += "\r\n";
  }
  for (const auto &s : sections_) {
    out += '[';
    out += s->name;
    out += "]\r\n";
    for (const Line &l : s->lines) {
      if (l.key.empty()) {
        out += l.value;
      } else {
        out += l.key;
        out += '=';
        out += StoredValue(l.value);
      }
      out += "\r\n";
    }
  }
  return out;
}

bool TIniFile::UpdateFile() const { return SaveToFile(fileName_); }

bool TIniFile::SaveToFile(std::string_view path) const {
  return fsys::WriteFile(path, Serialize());
}

TIniFile::Section *TIniFile::FindSection(std::string_view section) const {
  auto it = sectionIndex_.find(cp932::LowerAscii(section));
  return it == sectionIndex_.end() ? nullptr : sections_[it->second].get();
}

TIniFile::Section &TIniFile::AddSection(std::string_view name) {
  sections_.push_back(std::make_unique<Section>());
  sections_.back()->name = std::string(name);
  sectionIndex_.emplace(cp932::LowerAscii(name), sections_.size() - 1);
  return *sections_.back();
}

void TIniFile::RebuildSectionIndex() {
  sectionIndex_.clear();
  for (size_t i = 0; i < sections_.size(); ++i)
    sectionIndex_.emplace(cp932::LowerAscii(sections_[i]->name), i);
}

bool TIniFile::SectionExists(std::string_view section) const {
  return FindSection(section) != nullptr;
}

bool TIniFile::ValueExists(std::string_view section, std::string_view key) const {
  return Find(section, key) != nullptr;
}

const std::string *TIniFile::Find(std::string_view section, std::string_view key) const {
  const Section *s = FindSection(section);
  if (!s)
    return nullptr;
  size_t i = s->FindKey(cp932::LowerAscii(key));
  return i == std::string::npos ? nullptr : &s->lines[i].value;
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key,
                                 std::string_view def) const {
  const std::string *v = Find(section, key);
  return v ? *v : std::string(def);
}

int32_t TIniFile::ReadInteger(std::string_view section, std::string_view key,
                              int32_t def) const {
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

void TIniFile::WriteString(std::string_view section, std::string_view key,
                           std::string_view value) {
  std::string name = OneLine(section);
  Section *s = FindSection(name);
  if (!s)
    s = &AddSection(name);
  std::string k = OneLine(key);
  std::string lower = cp932::LowerAscii(k);
  size_t found = s->FindKey(lower);
  if (found != std::string::npos) {
    s->lines[found].value = OneLine(value);
    return;
  }
  // After the last line with content, so that blank lines that part this
  // section from the next one stay where they are.
  size_t at = s->lines.size();
  while (at > 0 && s->lines[at - 1].key.empty() && Trim(s->lines[at - 1].value).empty())
    --at;
  s->lines.insert(s->lines.begin() + static_cast<std::ptrdiff_t>(at), Line{k, lower, OneLine(value)});
  if (at + 1 == s->lines.size())
    s->AddToIndex(lower, at);
  else
    s->RebuildIndex();
}

void TIniFile::WriteInteger(std::string_view section, std::string_view key, int32_t value) {
  WriteString(section, key, std::to_string(value));
}

void TIniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

std::vector<std::string> TIniFile::ReadSections() const {
  std::vector<std::string> names;
  for (size_t i = 0; i < sections_.size(); ++i)
    if (FindSection(sections_[i]->name) == sections_[i].get())
      names.push_back(sections_[i]->name);
  return names;
}

std::vector<std::string> TIniFile::ReadSection(std::string_view section) const {
  std::vector<std::string> keys;
  if (const Section *s = FindSection(section))
    for (size_t i = 0; i < s->lines.size(); ++i)
      if (!s->lines[i].key.empty() && s->FindKey(s->lines[i].lower) == i)
        keys.push_back(s->lines[i].key);
  return keys;
}

void TIniFile::EraseSection(std::string_view section) {
  std::string lower = cp932::LowerAscii(section);
  std::erase_if(sections_, [&](const auto &s) { return cp932::LowerAscii(s->name) == lower; });
  RebuildSectionIndex();
}

void TIniFile::DeleteKey(std::string_view section, std::string_view key) {
  Section *s = FindSection(section);
  if (!s)
    return;
  std::string lower = cp932::LowerAscii(key);
  std::erase_if(s->lines, [&](const Line &l) { return !l.key.empty() && l.lower == lower; });
  s->RebuildIndex();
}
