#include "engine/MemoJump.h"

#include "store/Codec.h"
#include "store/FileSystem.h"
#include "store/LibUnit.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdlib>

// ---------------------------------------------------------------------------
// Selection primitives

int TMemoJump::GetSelStart() const {
  if (!memo_)
    return 0;
  int start = 0, end = 0;
  memo_->GetSelection(start, end);
  return start;
}

int TMemoJump::GetSelLength() const {
  if (!memo_)
    return 0;
  int start = 0, end = 0;
  memo_->GetSelection(start, end);
  return end - start;
}

void TMemoJump::SetCaret(int position) {
  if (memo_)
    memo_->SetSelection(position, position);
}

void TMemoJump::SelectFromCaret(int count) {
  if (!memo_)
    return;
  int start = GetSelStart();
  memo_->SetSelection(start, start + count);
}

int TMemoJump::CaretLine() const { return memo_ ? memo_->LineFromPosition(GetSelStart()) : 0; }

int TMemoJump::CaretColumn() const {
  if (!memo_)
    return 1;
  int start = GetSelStart();
  return start - memo_->LineIndex(memo_->LineFromPosition(start)) + 1;
}

void TMemoJump::MoveToLine(int line) {
  if (!memo_)
    return;
  // A remembered line may be stale (the item changed outside); the nearest
  // line is a better place than no move at all.
  line = std::clamp(line, 0, std::max(0, memo_->LineCount() - 1));
  SetCaret(memo_->LineIndex(line));
}

void TMemoJump::MoveToColumn(int column) {
  if (!memo_)
    return;
  int line = CaretLine();
  // Past the line's end the caret stays at that end instead of running on into
  // the following lines.
  column = std::clamp(column, 1, memo_->LineLength(line) + 1);
  SetCaret(memo_->LineIndex(line) + column - 1);
}

void TMemoJump::Undo() {
  if (memo_)
    memo_->Undo();
}

bool TMemoJump::CanUndo() const { return memo_ && memo_->CanUndo(); }

// ---------------------------------------------------------------------------
// Placement

void TMemoJump::JumpTo(int line, int column) {
  PrepareJumpScroll(line);
  MoveToLine(line);
  MoveToColumn(column);
  // Selecting one character and collapsing again scrolls the caret into view.
  SelectFromCaret(1);
  SelectFromCaret(0);
}

void TMemoJump::PrepareJumpScroll(int line) {
  if (!memo_)
    return;
  if ((JumpedLinePos == jpmTop || JumpedLinePos == jpmCenter) && LineHeight != 0) {
    long long height = std::llabs(static_cast<long long>(LineHeight));
    long long visible = memo_->ClientHeight() / height;
    long long target = line + visible / static_cast<int>(JumpedLinePos);
    // Going below first makes the view scroll down far enough that coming back
    // up to `line` leaves it at the top or in the middle.
    if (target > memo_->LineCount())
      MoveToLine(memo_->LineCount() - 1);
    else
      MoveToLine(static_cast<int>(target - 1));
  }
  SelectFromCaret(1);
  SelectFromCaret(0);
}

// ---------------------------------------------------------------------------
// Search

size_t TMemoJump::CharLength(std::string_view text, size_t i) {
  if (i + 1 < text.size() && cp932::IsLeadByte(static_cast<unsigned char>(text[i]))) {
    unsigned char t = static_cast<unsigned char>(text[i + 1]);
    // A lead byte before a line break (or anything else that cannot be a
    // trail byte) stands alone, so that it never swallows the break.
    if (t >= 0x40 && t <= 0xFC && t != 0x7F)
      return 2;
  }
  return 1;
}

size_t TMemoJump::FindFrom(std::string_view text, std::string_view key, size_t walk, size_t from,
                           size_t limit) {
  limit = std::min(limit, text.size());
  if (key.empty() || key.size() > limit)
    return std::string_view::npos;
  size_t at = walk; // always a character start
  for (size_t c = from;; ++c) {
    c = text.find(key, c);
    if (c == std::string_view::npos || c + key.size() > limit)
      return std::string_view::npos;
    while (at < c)
      at += CharLength(text, at);
    if (at != c)
      continue; // starts on a trail byte
    size_t end = at;
    while (end < c + key.size())
      end += CharLength(text, end);
    if (end == c + key.size())
      return c;
  }
}

size_t TMemoJump::FindKey(std::string_view text, std::string_view key, size_t from, size_t limit) {
  // A line starts a character (LF is never a trail byte), so the walk can
  // begin at the start of from's line instead of the top of the text.
  size_t walk = from == 0 ? std::string_view::npos : text.rfind('\n', from - 1);
  return FindFrom(text, key, walk == std::string_view::npos ? 0 : walk + 1, from, limit);
}

void TMemoJump::SelectHit(int position, int length) {
  SetCaret(position);
  JumpTo(CaretLine(), CaretColumn());
  SelectFromCaret(length);
}

bool TMemoJump::SearchText(const std::string &key, bool forward) {
  if (!memo_ || key.empty())
    return false;
  std::string text = memo_->Text();
  std::string k = key;
  if (!MatchCase) {
    // Lower-casing keeps every length, so positions stay valid.
    text = cp932::LowerAscii(text);
    k = cp932::LowerAscii(k);
  }
  int start = 0, end = 0;
  memo_->GetSelection(start, end);
  start = std::clamp(start, 0, static_cast<int>(text.size()));
  end = std::clamp(end, start, static_cast<int>(text.size()));

  size_t hit = std::string_view::npos;
  if (forward) {
    hit = FindKey(text, k, static_cast<size_t>(end), text.size());
  } else {
    // The last of the hits found one after another from the left, each search
    // going on after the end of the previous hit.
    size_t from = 0;
    for (size_t p; (p = FindFrom(text, k, from, from, static_cast<size_t>(start))) !=
                   std::string_view::npos;) {
      hit = p;
      from = p + k.size();
    }
  }
  if (hit == std::string_view::npos)
    return false;
  SelectHit(static_cast<int>(hit), static_cast<int>(k.size()));
  return true;
}

std::string TMemoJump::GetKeyWord() const {
  if (!KeyWord.empty())
    return KeyWord;
  if (!memo_)
    return {};
  std::string line = memo_->LineText(CaretLine());
  size_t from = static_cast<size_t>(CaretColumn() - 1);
  if (from >= line.size())
    return {};
  // Space and tab lie below the trail-byte range, so a byte test is safe.
  std::string word = line.substr(from);
  word = word.substr(0, word.find(' '));
  return word.substr(0, word.find('\t'));
}

// ---------------------------------------------------------------------------
// Tag references

namespace {

// A signed decimal integer and nothing else (leading blanks allowed); false
// when the text is not one or does not fit.
bool ReadNumber(std::string_view s, int &out) {
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string_view::npos)
    return false;
  s.remove_prefix(b);
  if (!s.empty() && s[0] == '+') {
    s.remove_prefix(1);
    if (s.empty() || s[0] == '-')
      return false;
  }
  int v = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  // INT_MIN is refused so that the 1-based to 0-based step cannot overflow.
  if (ec != std::errc() || end != s.data() + s.size() || v == INT_MIN)
    return false;
  out = v;
  return true;
}

// The text before the first `stop` character, or all of it.
std::string_view Before(std::string_view s, char stop) { return s.substr(0, s.find(stop)); }

void TrimLeadingSpaces(std::string &s) { s.erase(0, s.find_first_not_of(' ')); }

bool IsTagSeparator(char c) { return c == ' ' || c == '(' || c == '-' || c == '/' || c == '"'; }

// The longest file name the file systems in use take (NAME_MAX).
constexpr size_t kMaxFileNameBytes = 255;

} // namespace

std::string TMemoJump::TagFilePath(const std::string &name) const {
  return ExtractFilePath(name).empty() ? BaseDirectory + name : name;
}

bool TMemoJump::ParseTagJump(const std::string &tag, std::string &fileName, int &line, int &colomn,
                             std::string &keyWord) const {
  fileName.clear();
  bool found = false;
  // No path holds a NUL: what follows one names nothing, and every longer
  // prefix would be looked up as the same cut-short path.
  std::string r = tag.substr(0, tag.find('\0'));
  r.erase(0, r.find_first_not_of(" \t"));
  if (r.empty())
    return false;

  // Every test below is on single bytes: the separators, digits, ':' and ','
  // all lie below the range of trail bytes.
  auto fail = [&] {
    line = 0;
    colomn = 1;
    if (!found)
      fileName.clear();
    return found;
  };

  if (fsys::FileExists(r)) {
    fileName = r;
    line = 0;
    colomn = 1;
    return true;
  }
  if (r[0] == '"') {
    r.erase(0, 1);
    size_t close = r.find('"');
    fileName = r.substr(0, close);
    r.erase(0, close == std::string::npos ? r.size() : close + 1);
    TrimLeadingSpaces(r);
    if (r.empty() && fsys::FileExists(TagFilePath(fileName))) {
      fileName = TagFilePath(fileName);
      line = 0;
      colomn = 1;
      return true;
    }
  } else {
    // A separator may as well belong to the name ("my-notes.txt", and every
    // '/' of a path here): the first one whose prefix names an existing file
    // wins, else the first one.
    // Looked up only while a file could be there: its folder exists and its
    // name fits a file system's name limit. A line of a thousand separators
    // costs a few look-ups, not one per separator.
    size_t cut = std::string::npos;
    size_t nameStart = 0; // where the last part of the prefix starts
    for (size_t i = 0; i + 1 < r.size(); ++i) {
      if (!IsTagSeparator(r[i]))
        continue;
      if (cut == std::string::npos)
        cut = i;
      if (i - nameStart > kMaxFileNameBytes)
        break;
      if (fsys::FileExists(TagFilePath(r.substr(0, i)))) {
        cut = i;
        break;
      }
      if (r[i] == '/') {
        if (!fsys::DirectoryExists(r.substr(0, i + 1)))
          break; // nor can any longer prefix name a file
        nameStart = i + 1;
      }
    }
    if (cut != std::string::npos) {
      fileName = r.substr(0, cut);
      r.erase(0, cut);
      TrimLeadingSpaces(r);
    }
  }

  fileName = TagFilePath(fileName);
  if (!fsys::FileExists(fileName) || r.empty()) {
    fileName.clear();
    return false;
  }

  int n = 0;
  if (r[0] == '(') {
    size_t close = r.find(')');
    if (close == std::string::npos || !ReadNumber(std::string_view(r).substr(1, close - 1), n))
      return fail();
    line = n - 1;
    colomn = 1;
    found = true;
  } else if (r[0] == '-' || r[0] == '/') {
    std::string_view rest = std::string_view(r).substr(1);
    rest = rest.find(':') != std::string_view::npos ? Before(rest, ':') : Before(rest, ' ');
    if (!ReadNumber(rest, n))
      return fail();
    line = n - 1;
    colomn = 1;
    found = true;
  } else if (r[0] == '"') {
    keyWord = std::string(Before(std::string_view(r).substr(1), '"'));
    found = true;
  } else if (size_t comma = r.find(','); comma != std::string::npos) {
    int c = 0;
    if (!ReadNumber(std::string_view(r).substr(0, comma), n))
      return fail();
    std::string_view rest = std::string_view(r).substr(comma + 1);
    rest = rest.find(':') != std::string_view::npos ? Before(rest, ':') : Before(rest, ' ');
    if (!ReadNumber(rest, c))
      return fail();
    line = n - 1;
    colomn = c;
    found = true;
  } else if (r.find(':') != std::string::npos || r.find(' ') != std::string::npos) {
    found = true; // set before the number is read: a bad number still counts
    if (!ReadNumber(Before(r, r.find(':') != std::string::npos ? ':' : ' '), n))
      return fail();
    line = n - 1;
  } else {
    if (!ReadNumber(r, n))
      return fail();
    line = n - 1;
    found = true;
  }
  return found;
}
