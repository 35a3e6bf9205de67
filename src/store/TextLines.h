#pragma once
// An item's text as a list of lines, held as one buffer (the lines joined by
// '\n') instead of one string per line: a project keeps every item's text in
// memory, and a million small heap strings cost more than the text itself.
// Lines never hold '\n' or '\r' (the line ends that separate them).
#include <cstddef>
#include <initializer_list>
#include <iosfwd>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

class TTextLines {
public:
  TTextLines() = default;
  TTextLines(std::initializer_list<std::string_view> lines);
  TTextLines(const std::vector<std::string> &lines); // NOLINT: a list of lines is one
  TTextLines &operator=(std::initializer_list<std::string_view> lines);

  // `joined` holds `count` lines separated by '\n' (count 0: empty joined).
  static TTextLines FromJoined(std::string joined, size_t count);
  // Text whose lines end at '\n' only, as a plain text editor gives it: an
  // empty text has no lines, and a final '\n' starts a last, empty line.
  static TTextLines FromEditorText(std::string text);

  size_t size() const { return count_; }
  bool empty() const { return count_ == 0; }
  void clear();
  void push_back(std::string_view line);
  void pop_back();
  std::string_view back() const;
  std::string_view operator[](size_t index) const; // walks the lines: O(index)
  // The lines joined by '\n'.
  const std::string &Joined() const { return text_; }
  std::vector<std::string> ToVector() const;

  class const_iterator {
  public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = std::string_view;
    using difference_type = std::ptrdiff_t;
    using pointer = const std::string_view *;
    using reference = std::string_view;

    std::string_view operator*() const;
    const_iterator &operator++();
    const_iterator operator++(int) {
      const_iterator old = *this;
      ++*this;
      return old;
    }
    bool operator==(const const_iterator &o) const { return left_ == o.left_; }
    bool operator!=(const const_iterator &o) const { return left_ != o.left_; }

  private:
    friend class TTextLines;
    const std::string *text_ = nullptr;
    size_t pos_ = 0;
    size_t left_ = 0; // lines not yet passed
  };
  const_iterator begin() const;
  const_iterator end() const;

  bool operator==(const TTextLines &o) const { return count_ == o.count_ && text_ == o.text_; }
  bool operator!=(const TTextLines &o) const { return !(*this == o); }
  friend bool operator==(const TTextLines &a, const std::vector<std::string> &b);
  friend bool operator==(const std::vector<std::string> &b, const TTextLines &a) { return a == b; }

private:
  std::string text_;
  size_t count_ = 0;
};

std::ostream &operator<<(std::ostream &out, const TTextLines &lines);
