#include "store/TextLines.h"

#include <algorithm>
#include <ostream>

TTextLines::TTextLines(std::initializer_list<std::string_view> lines) {
  for (std::string_view l : lines)
    push_back(l);
}

TTextLines::TTextLines(const std::vector<std::string> &lines) {
  size_t total = 0;
  for (const auto &l : lines)
    total += l.size() + 1;
  text_.reserve(total);
  for (const auto &l : lines)
    push_back(l);
}

TTextLines &TTextLines::operator=(std::initializer_list<std::string_view> lines) {
  clear();
  for (std::string_view l : lines)
    push_back(l);
  return *this;
}

TTextLines TTextLines::FromJoined(std::string joined, size_t count) {
  TTextLines t;
  t.text_ = std::move(joined);
  t.count_ = count;
  if (count == 0)
    t.text_.clear();
  return t;
}

TTextLines TTextLines::FromEditorText(std::string text) {
  size_t count =
      text.empty() ? 0 : 1 + static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
  return FromJoined(std::move(text), count);
}

void TTextLines::clear() {
  text_.clear();
  count_ = 0;
}

void TTextLines::push_back(std::string_view line) {
  if (count_ > 0)
    text_ += '\n';
  text_ += line;
  ++count_;
}

void TTextLines::pop_back() {
  if (count_ == 0)
    return;
  size_t nl = text_.rfind('\n');
  text_.erase(nl == std::string::npos ? 0 : nl);
  --count_;
}

std::string_view TTextLines::back() const {
  if (count_ == 0)
    return {};
  size_t nl = text_.rfind('\n');
  return std::string_view(text_).substr(nl == std::string::npos ? 0 : nl + 1);
}

std::string_view TTextLines::operator[](size_t index) const {
  const_iterator it = begin();
  for (size_t i = 0; i < index && it != end(); ++i)
    ++it;
  return it == end() ? std::string_view() : *it;
}

std::vector<std::string> TTextLines::ToVector() const {
  std::vector<std::string> out;
  out.reserve(count_);
  for (std::string_view l : *this)
    out.emplace_back(l);
  return out;
}

TTextLines::const_iterator TTextLines::begin() const {
  const_iterator it;
  it.text_ = &text_;
  it.left_ = count_;
  return it;
}

TTextLines::const_iterator TTextLines::end() const {
  const_iterator it;
  it.text_ = &text_;
  it.pos_ = text_.size();
  return it;
}

std::string_view TTextLines::const_iterator::operator*() const {
  size_t nl = text_->find('\n', pos_);
  if (nl == std::string::npos)
    nl = text_->size();
  return std::string_view(*text_).substr(pos_, nl - pos_);
}

TTextLines::const_iterator &TTextLines::const_iterator::operator++() {
  size_t nl = text_->find('\n', pos_);
  pos_ = nl == std::string::npos ? text_->size() : nl + 1;
  --left_;
  return *this;
}

bool operator==(const TTextLines &a, const std::vector<std::string> &b) {
  if (a.size() != b.size())
    return false;
  size_t i = 0;
  for (std::string_view l : a)
    if (l != b[i++])
      return false;
  return true;
}

std::ostream &operator<<(std::ostream &out, const TTextLines &lines) {
  out << "{";
  bool first = true;
  for (std::string_view l : lines) {
    out << (first ? "\"" : ", \"") << l << "\"";
    first = false;
  }
  return out << "}";
}
