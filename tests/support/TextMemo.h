#pragma once
// A memo made of a plain CP932 text, with a view of a fixed number of rows that
// scrolls the caret into view the way a text control does. It records every
// line the caret was put on, so tests can follow the engine's moves.
#include "engine/MemoJump.h"

#include <algorithm>
#include <string>
#include <vector>

class TTextMemo : public TJumpMemo {
public:
  explicit TTextMemo(std::string text = {}, int rows = 20, int rowHeight = 15)
      : rows_(rows), rowHeight_(rowHeight) {
    SetText(std::move(text));
  }

  // Replaces the text; the caret goes to the start, the view to the top.
  void SetText(std::string text) {
    text_ = std::move(text);
    starts_ = {0};
    for (size_t i = 0; i + 1 < text_.size(); ++i)
      if (text_[i] == '\r' && text_[i + 1] == '\n')
        starts_.push_back(static_cast<int>(i + 2));
    anchor_ = caret_ = 0;
    top_ = 0;
  }
  std::string Text() const override { return text_; }
  int TextLength() const override { return static_cast<int>(text_.size()); }
  int LineCount() const override { return static_cast<int>(starts_.size()); }
  std::string LineText(int line) const override {
    if (line < 0 || line >= LineCount())
      return {};
    return text_.substr(starts_[line], LineLength(line));
  }
  int LineLength(int line) const override {
    if (line < 0 || line >= LineCount())
      return 0;
    int end = line + 1 < LineCount() ? starts_[line + 1] - 2 : TextLength();
    return end - starts_[line];
  }
  int LineIndex(int line) const override {
    return line >= 0 && line < LineCount() ? starts_[line] : -1;
  }
  int LineFromPosition(int position) const override {
    auto it = std::upper_bound(starts_.begin(), starts_.end(), position);
    return std::max(0, static_cast<int>(it - starts_.begin()) - 1);
  }

  void GetSelection(int &start, int &end) const override {
    start = std::min(anchor_, caret_);
    end = std::max(anchor_, caret_);
  }
  void SetSelection(int anchor, int caret) override {
    anchor_ = Snap(anchor);
    caret_ = Snap(caret);
    int line = LineFromPosition(caret_);
    caretLines.push_back(line);
    if (line < top_)
      top_ = line;
    else if (line >= top_ + rows_)
      top_ = line - rows_ + 1;
  }

  int ClientHeight() const override { return rows_ * rowHeight_; }

  void Undo() override {}
  bool CanUndo() const override { return false; }

  int TopLine() const { return top_; }
  int Caret() const { return caret_; }
  std::vector<int> caretLines; // every line the caret was put on, in order

private:
  int Snap(int position) const {
    position = std::clamp(position, 0, TextLength());
    int line = LineFromPosition(position);
    int offset = std::min(position - starts_[line], LineLength(line));
    std::string_view text(text_);
    size_t at = starts_[line];
    while (at + TMemoJump::CharLength(text, at) <= static_cast<size_t>(starts_[line] + offset) &&
           at < static_cast<size_t>(starts_[line] + offset))
      at += TMemoJump::CharLength(text, at);
    return static_cast<int>(at);
  }

  std::string text_;
  std::vector<int> starts_;
  int anchor_ = 0, caret_ = 0, top_ = 0;
  int rows_, rowHeight_;
};
