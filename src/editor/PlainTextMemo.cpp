#include "editor/PlainTextMemo.h"

#include "editor/ItemMemo.h"
#include "store/Codec.h"

#include <QFontMetrics>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

namespace {

std::string EncodeLine(const QString &line) {
  return cp932::FromUtf8(line.toUtf8().toStdString()).bytes;
}

// Bytes of the UTF-16 unit p[i] that is not part of a surrogate pair: a
// duplicate-code marker after its character takes none (the pair is one code).
// `before` is the character in front of p[0].
int WidthAt(const char16_t *p, int i, char16_t before = 0) {
  const char16_t previous = i > 0 ? p[i - 1] : before;
  if (previous && cp932::IsVariantMarker(p[i]) && cp932::MarksVariant(previous, p[i]))
    return 0;
  return TPlainTextMemo::ByteWidth(p[i]);
}

// A point in a line where a character starts: its UTF-16 offset and the
// bytes before it.
struct Mark {
  int units = 0, bytes = 0;
};

bool PairAt(const char16_t *p, int i, int n) {
  return QChar::isHighSurrogate(p[i]) && i + 1 < n && QChar::isLowSurrogate(p[i + 1]);
}

// UTF-16 offset in `line` of the character that holds byte offset `bytes`,
// walking from `from`.
int Utf16Offset(const QString &line, int bytes, Mark from = {}, char16_t before = 0) {
  const char16_t *p = reinterpret_cast<const char16_t *>(line.utf16());
  const int n = static_cast<int>(line.size());
  int i = from.units, at = from.bytes;
  while (i < n) {
    bool pair = PairAt(p, i, n);
    int width = pair ? 1 : WidthAt(p, i, before);
    if (at + width > bytes)
      break;
    at += width;
    i += pair ? 2 : 1;
  }
  return i;
}

// Byte offset of UTF-16 offset `units` in `line` (inside a surrogate pair: the
// pair's start), walking from `from`.
int ByteOffset(const QString &line, int units, Mark from = {}, char16_t before = 0) {
  const char16_t *p = reinterpret_cast<const char16_t *>(line.utf16());
  const int size = static_cast<int>(line.size());
  const int n = std::min(size, units);
  int at = from.bytes;
  for (int i = from.units; i < n; ++i) {
    if (PairAt(p, i, size)) {
      if (i + 1 < n)
        ++at;
      ++i;
      continue;
    }
    at += WidthAt(p, i, before);
  }
  return at;
}

} // namespace

TPlainTextMemo::TPlainTextMemo(QPlainTextEdit *edit, QObject *parent)
    : QObject(parent), edit_(edit) {
  Document();
}

// ---------------------------------------------------------------------------
// Byte widths

int TPlainTextMemo::ByteWidth(char16_t c) {
  if (c < 0x80)
    return 1;
  if (QChar::isSurrogate(c))
    return 1; // a lone half of a pair is stored as '?'
  // Filled on first use, one character at a time, through the codec itself so
  // that the count always agrees with what the item file receives. The UI
  // thread is the only user.
  static std::array<uint8_t, 0x10000> widths{};
  uint8_t &w = widths[c];
  if (w == 0) {
    QString one(QChar(static_cast<char16_t>(c)));
    w = static_cast<uint8_t>(std::max<size_t>(1, EncodeLine(one).size()));
  }
  return w;
}

int TPlainTextMemo::ByteLength(const QString &line) {
  return ByteOffset(line, static_cast<int>(line.size()));
}

int TPlainTextMemo::FontLineHeight(const QPlainTextEdit *edit) {
  if (!edit)
    return 0;
  // Laid out rather than read from the font's metrics: Japanese text often
  // comes from a fallback font whose lines are taller.
  QTextLayout layout(QStringLiteral("Aあ"), edit->document()->defaultFont());
  layout.beginLayout();
  QTextLine line = layout.createLine();
  layout.endLayout();
  return std::max(QFontMetrics(edit->document()->defaultFont()).height(),
                  static_cast<int>(std::ceil(line.height())));
}

// ---------------------------------------------------------------------------
// The line table

QTextDocument *TPlainTextMemo::Document() const {
  QTextDocument *doc = edit_ ? edit_->document() : nullptr;
  if (doc != doc_) {
    QObject::disconnect(changeConnection_);
    doc_ = doc;
    if (doc)
      changeConnection_ =
          connect(doc, &QTextDocument::contentsChange, const_cast<TPlainTextMemo *>(this),
                  &TPlainTextMemo::OnContentsChange);
    allDirty_ = true;
    textValid_ = false;
    longLine_ = -1;
  }
  return doc;
}

void TPlainTextMemo::OnContentsChange(int position, int /*removed*/, int added) {
  textValid_ = false;
  longLine_ = -1;
  if (allDirty_ || !doc_)
    return;
  // The blocks from the one holding `position` to the one holding the end of
  // the added text replace the old blocks of that stretch; the blocks before
  // and after it are as they were, only renumbered by the change of count.
  const int oldCount = static_cast<int>(blockBytes_.size());
  const int count = doc_->blockCount();
  const int delta = count - oldCount;
  const int last = std::max(0, doc_->characterCount() - 1);
  const int b0 = doc_->findBlock(std::clamp(position, 0, last)).blockNumber();
  const int b1 = doc_->findBlock(std::clamp(position + added, 0, last)).blockNumber();
  const int oldLast = b1 - delta;
  if (b0 < 0 || b1 < b0 || oldLast < b0 || oldLast >= oldCount) {
    allDirty_ = true;
    return;
  }
  blockBytes_.erase(blockBytes_.begin() + b0, blockBytes_.begin() + oldLast + 1);
  blockBytes_.insert(blockBytes_.begin() + b0, b1 - b0 + 1, 0);
  blockJoins_.erase(blockJoins_.begin() + b0, blockJoins_.begin() + oldLast + 1);
  blockJoins_.insert(blockJoins_.begin() + b0, b1 - b0 + 1, 0);
  // The block after the stretch too: a variant marker at its start may have
  // got or lost its character at the end of the stretch.
  const int to = std::min(b1 + 1, count - 1);
  if (dirtyFrom_ > dirtyTo_) {
    dirtyFrom_ = b0;
    dirtyTo_ = to;
  } else {
    dirtyTo_ = dirtyTo_ > oldLast ? dirtyTo_ + delta : std::max(dirtyTo_, to);
    dirtyFrom_ = std::min(dirtyFrom_, b0);
  }
  // A block's start follows from the blocks before it and its own mark.
  startsValid_ = std::min(startsValid_, b0 - 1);
}

char16_t TPlainTextMemo::Before(const QTextBlock &b) const {
  if (b.position() < 2 || !TItemMemo::ContinuesLine(b) || b.previous().length() < 2)
    return 0;
  return b.document()->characterAt(b.position() - 2).unicode();
}

void TPlainTextMemo::Refresh() const {
  QTextDocument *doc = Document();
  if (!doc) {
    blockBytes_.assign(1, 0);
    blockJoins_.assign(1, 0);
    blockStart_.assign(1, 0);
    lineBlock_.assign(1, 0);
    lineStart_.assign(1, 0);
    startsValid_ = 0;
    allDirty_ = true;
    return;
  }
  const int count = doc->blockCount();
  if (allDirty_ || static_cast<int>(blockBytes_.size()) != count) {
    blockBytes_.assign(count, 0);
    blockJoins_.assign(count, 0);
    dirtyFrom_ = 0;
    dirtyTo_ = count - 1;
    startsValid_ = -1;
    allDirty_ = false;
  }
  if (dirtyFrom_ <= dirtyTo_) {
    QTextBlock b = doc->findBlockByNumber(dirtyFrom_);
    for (int i = dirtyFrom_; i <= dirtyTo_ && b.isValid(); ++i, b = b.next()) {
      blockJoins_[i] = i > 0 && TItemMemo::ContinuesLine(b);
      const QString text = b.text();
      blockBytes_[i] =
          ByteOffset(text, static_cast<int>(text.size()), {}, blockJoins_[i] ? Before(b) : 0);
    }
    dirtyFrom_ = 0;
    dirtyTo_ = -1;
  }
  if (startsValid_ < count - 1 || static_cast<int>(blockStart_.size()) != count) {
    blockStart_.resize(count);
    const int from = std::max(0, startsValid_);
    blockStart_[0] = 0;
    for (int i = from + 1; i < count; ++i)
      blockStart_[i] = blockStart_[i - 1] + blockBytes_[i - 1] + (blockJoins_[i] ? 0 : 2);
    // The lines starting at or before `from` stand; the rest are found again.
    const size_t keep = static_cast<size_t>(
        std::upper_bound(lineBlock_.begin(), lineBlock_.end(), from) - lineBlock_.begin());
    lineBlock_.resize(std::max<size_t>(keep, 1), 0);
    for (int i = from + 1; i < count; ++i)
      if (!blockJoins_[i])
        lineBlock_.push_back(i);
    const size_t known = std::min(keep, lineStart_.size());
    lineStart_.resize(lineBlock_.size());
    for (size_t l = known; l < lineBlock_.size(); ++l)
      lineStart_[l] = blockStart_[lineBlock_[l]];
    startsValid_ = count - 1;
  }
}

int TPlainTextMemo::LineEnd(int line) const {
  const int next = line + 1 < static_cast<int>(lineBlock_.size())
                       ? lineBlock_[line + 1]
                       : static_cast<int>(blockBytes_.size());
  return blockStart_[next - 1] + blockBytes_[next - 1];
}

// ---------------------------------------------------------------------------
// TJumpMemo

std::string TPlainTextMemo::Text() const {
  QTextDocument *doc = Document();
  if (textValid_ || !doc)
    return doc ? text_ : std::string();
  Refresh();
  text_.clear();
  text_.reserve(static_cast<size_t>(TextLength()));
  // A line of display blocks is encoded whole, as the item file receives it.
  QString line;
  int i = 0;
  for (QTextBlock b = doc->begin(); b.isValid(); b = b.next(), ++i) {
    const bool continued = i + 1 < static_cast<int>(blockJoins_.size()) && blockJoins_[i + 1];
    if (i > 0 && !blockJoins_[i])
      text_ += "\r\n";
    if (line.isEmpty() && !continued) {
      text_ += EncodeLine(b.text());
      continue;
    }
    line += b.text();
    if (!continued) {
      text_ += EncodeLine(line);
      line.clear();
    }
  }
  textValid_ = true;
  return text_;
}

int TPlainTextMemo::TextLength() const {
  Refresh();
  return blockStart_.back() + blockBytes_.back();
}

int TPlainTextMemo::LineCount() const {
  Refresh();
  return static_cast<int>(lineBlock_.size());
}

std::string TPlainTextMemo::LineText(int line) const {
  QTextDocument *doc = Document();
  if (!doc)
    return {};
  Refresh();
  if (line < 0 || line >= static_cast<int>(lineBlock_.size()))
    return {};
  if (textValid_)
    return text_.substr(static_cast<size_t>(lineStart_[line]),
                        static_cast<size_t>(LineEnd(line) - lineStart_[line]));
  QTextBlock b = doc->findBlockByNumber(lineBlock_[line]);
  QString text = b.text();
  for (b = b.next(); b.isValid() && TItemMemo::ContinuesLine(b); b = b.next())
    text += b.text();
  return EncodeLine(text);
}

int TPlainTextMemo::LineLength(int line) const {
  Refresh();
  return line >= 0 && line < static_cast<int>(lineBlock_.size()) ? LineEnd(line) - lineStart_[line]
                                                                 : 0;
}

int TPlainTextMemo::LineIndex(int line) const {
  Refresh();
  return line >= 0 && line < static_cast<int>(lineStart_.size()) ? lineStart_[line] : -1;
}

int TPlainTextMemo::LineFromPosition(int position) const {
  Refresh();
  auto it = std::upper_bound(lineStart_.begin(), lineStart_.end(), position);
  return std::max(0, static_cast<int>(it - lineStart_.begin()) - 1);
}

const QString &TPlainTextMemo::LongLine(const QTextBlock &b) const {
  if (longLine_ != b.blockNumber()) {
    longLine_ = b.blockNumber();
    longText_ = b.text();
    longMarks_.clear();
    const char16_t before = Before(b);
    const char16_t *p = reinterpret_cast<const char16_t *>(longText_.utf16());
    const int n = static_cast<int>(longText_.size());
    int at = 0;
    for (int i = 0; i < n;) {
      if (i >= static_cast<int>(longMarks_.size()) * kMarkStep)
        longMarks_.push_back({i, at});
      bool pair = PairAt(p, i, n);
      at += pair ? 1 : WidthAt(p, i, before);
      i += pair ? 2 : 1;
    }
  }
  return longText_;
}

int TPlainTextMemo::LineByteOffset(const QTextBlock &b, int units) const {
  if (b.length() <= kLongLine)
    return ByteOffset(b.text(), units, {}, Before(b));
  const QString &text = LongLine(b);
  // The last mark at or before `units`; a pair is never split by a mark.
  auto it = std::upper_bound(longMarks_.begin(), longMarks_.end(), units,
                             [](int u, const LineMark &m) { return u < m.units; });
  if (it == longMarks_.begin())
    return ByteOffset(text, units, {}, Before(b));
  --it;
  return ByteOffset(text, units, {it->units, it->bytes}, Before(b));
}

int TPlainTextMemo::LineUtf16Offset(const QTextBlock &b, int bytes) const {
  if (b.length() <= kLongLine)
    return Utf16Offset(b.text(), bytes, {}, Before(b));
  const QString &text = LongLine(b);
  auto it = std::upper_bound(longMarks_.begin(), longMarks_.end(), bytes,
                             [](int at, const LineMark &m) { return at < m.bytes; });
  if (it == longMarks_.begin())
    return Utf16Offset(text, bytes, {}, Before(b));
  --it;
  return Utf16Offset(text, bytes, {it->units, it->bytes}, Before(b));
}

int TPlainTextMemo::BytePosition(int documentPosition) const {
  QTextDocument *doc = Document();
  if (!doc)
    return 0;
  Refresh();
  documentPosition = std::clamp(documentPosition, 0, doc->characterCount() - 1);
  QTextBlock b = doc->findBlock(documentPosition);
  return blockStart_[b.blockNumber()] + LineByteOffset(b, documentPosition - b.position());
}

int TPlainTextMemo::DocumentPosition(int bytePosition) const {
  QTextDocument *doc = Document();
  if (!doc)
    return 0;
  Refresh();
  bytePosition = std::clamp(bytePosition, 0, TextLength());
  const int line = LineFromPosition(bytePosition);
  // The line's block that holds the position: the last one starting at or
  // before it.
  const auto first = blockStart_.begin() + lineBlock_[line];
  const auto end = line + 1 < static_cast<int>(lineBlock_.size())
                       ? blockStart_.begin() + lineBlock_[line + 1]
                       : blockStart_.end();
  const int number =
      static_cast<int>(std::upper_bound(first, end, bytePosition) - first) - 1 + lineBlock_[line];
  QTextBlock b = doc->findBlockByNumber(number);
  // Between the CR and the LF, or anywhere past a line's text: its end.
  int offset = std::min(bytePosition - blockStart_[number], blockBytes_[number]);
  return b.position() + LineUtf16Offset(b, offset);
}

void TPlainTextMemo::GetSelection(int &start, int &end) const {
  start = end = 0;
  if (!edit_)
    return;
  QTextCursor c = edit_->textCursor();
  int a = BytePosition(c.anchor());
  int p = BytePosition(c.position());
  start = std::min(a, p);
  end = std::max(a, p);
}

void TPlainTextMemo::SetSelection(int anchor, int caret) {
  QTextDocument *doc = Document();
  if (!doc)
    return;
  QTextCursor c(doc);
  c.setPosition(DocumentPosition(anchor));
  c.setPosition(DocumentPosition(caret), QTextCursor::KeepAnchor);
  edit_->setTextCursor(c);
  edit_->ensureCursorVisible();
}

int TPlainTextMemo::ClientHeight() const { return edit_ ? edit_->viewport()->height() : 0; }

void TPlainTextMemo::Undo() {
  if (edit_)
    edit_->undo();
}

bool TPlainTextMemo::CanUndo() const {
  QTextDocument *doc = Document();
  return doc && doc->isUndoAvailable();
}
