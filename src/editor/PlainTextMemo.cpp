#include "editor/PlainTextMemo.h"

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
int WidthAt(const char16_t *p, int i) {
  if (i > 0 && cp932::IsVariantMarker(p[i]) && cp932::MarksVariant(p[i - 1], p[i]))
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
int Utf16Offset(const QString &line, int bytes, Mark from = {}) {
  const char16_t *p = reinterpret_cast<const char16_t *>(line.utf16());
  const int n = static_cast<int>(line.size());
  int i = from.units, at = from.bytes;
  while (i < n) {
    bool pair = PairAt(p, i, n);
    int width = pair ? 1 : WidthAt(p, i);
    if (at + width > bytes)
      break;
    at += width;
    i += pair ? 2 : 1;
  }
  return i;
}

// Byte offset of UTF-16 offset `units` in `line` (inside a surrogate pair: the
// pair's start), walking from `from`.
int ByteOffset(const QString &line, int units, Mark from = {}) {
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
    at += WidthAt(p, i);
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
  // The lines from the one holding `position` to the one holding the end of
  // the added text replace the old lines of that stretch; the lines before and
  // after it are as they were, only renumbered by the change of count.
  const int oldCount = static_cast<int>(lineBytes_.size());
  const int delta = doc_->blockCount() - oldCount;
  const int last = std::max(0, doc_->characterCount() - 1);
  const int b0 = doc_->findBlock(std::clamp(position, 0, last)).blockNumber();
  const int b1 = doc_->findBlock(std::clamp(position + added, 0, last)).blockNumber();
  const int oldLast = b1 - delta;
  if (b0 < 0 || b1 < b0 || oldLast < b0 || oldLast >= oldCount) {
    allDirty_ = true;
    return;
  }
  lineBytes_.erase(lineBytes_.begin() + b0, lineBytes_.begin() + oldLast + 1);
  lineBytes_.insert(lineBytes_.begin() + b0, b1 - b0 + 1, 0);
  if (dirtyFrom_ > dirtyTo_) {
    dirtyFrom_ = b0;
    dirtyTo_ = b1;
  } else {
    dirtyTo_ = dirtyTo_ > oldLast ? dirtyTo_ + delta : std::max(dirtyTo_, b1);
    dirtyFrom_ = std::min(dirtyFrom_, b0);
  }
  startsValid_ = std::min(startsValid_, b0);
}

void TPlainTextMemo::Refresh() const {
  QTextDocument *doc = Document();
  if (!doc) {
    lineBytes_.assign(1, 0);
    lineStart_.assign(1, 0);
    startsValid_ = 0;
    allDirty_ = true;
    return;
  }
  const int count = doc->blockCount();
  if (allDirty_ || static_cast<int>(lineBytes_.size()) != count) {
    lineBytes_.assign(count, 0);
    dirtyFrom_ = 0;
    dirtyTo_ = count - 1;
    startsValid_ = -1;
    allDirty_ = false;
  }
  if (dirtyFrom_ <= dirtyTo_) {
    QTextBlock b = doc->findBlockByNumber(dirtyFrom_);
    for (int i = dirtyFrom_; i <= dirtyTo_ && b.isValid(); ++i, b = b.next())
      lineBytes_[i] = ByteLength(b.text());
    dirtyFrom_ = 0;
    dirtyTo_ = -1;
  }
  if (startsValid_ < count - 1 || static_cast<int>(lineStart_.size()) != count) {
    lineStart_.resize(count);
    int from = std::max(0, startsValid_);
    lineStart_[0] = 0;
    for (int i = from + 1; i < count; ++i)
      lineStart_[i] = lineStart_[i - 1] + lineBytes_[i - 1] + 2;
    startsValid_ = count - 1;
  }
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
  for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
    if (b != doc->begin())
      text_ += "\r\n";
    text_ += EncodeLine(b.text());
  }
  textValid_ = true;
  return text_;
}

int TPlainTextMemo::TextLength() const {
  Refresh();
  return lineStart_.back() + lineBytes_.back();
}

int TPlainTextMemo::LineCount() const {
  Refresh();
  return static_cast<int>(lineBytes_.size());
}

std::string TPlainTextMemo::LineText(int line) const {
  QTextDocument *doc = Document();
  if (!doc || line < 0 || line >= doc->blockCount())
    return {};
  if (textValid_) {
    Refresh();
    return text_.substr(static_cast<size_t>(lineStart_[line]),
                        static_cast<size_t>(lineBytes_[line]));
  }
  return EncodeLine(doc->findBlockByNumber(line).text());
}

int TPlainTextMemo::LineLength(int line) const {
  Refresh();
  return line >= 0 && line < static_cast<int>(lineBytes_.size()) ? lineBytes_[line] : 0;
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
    const char16_t *p = reinterpret_cast<const char16_t *>(longText_.utf16());
    const int n = static_cast<int>(longText_.size());
    int at = 0;
    for (int i = 0; i < n;) {
      if (i >= static_cast<int>(longMarks_.size()) * kMarkStep)
        longMarks_.push_back({i, at});
      bool pair = PairAt(p, i, n);
      at += pair ? 1 : WidthAt(p, i);
      i += pair ? 2 : 1;
    }
  }
  return longText_;
}

int TPlainTextMemo::LineByteOffset(const QTextBlock &b, int units) const {
  if (b.length() <= kLongLine)
    return ByteOffset(b.text(), units);
  const QString &text = LongLine(b);
  // The last mark at or before `units`; a pair is never split by a mark.
  auto it = std::upper_bound(longMarks_.begin(), longMarks_.end(), units,
                             [](int u, const LineMark &m) { return u < m.units; });
  if (it == longMarks_.begin())
    return ByteOffset(text, units);
  --it;
  return ByteOffset(text, units, {it->units, it->bytes});
}

int TPlainTextMemo::LineUtf16Offset(const QTextBlock &b, int bytes) const {
  if (b.length() <= kLongLine)
    return Utf16Offset(b.text(), bytes);
  const QString &text = LongLine(b);
  auto it = std::upper_bound(longMarks_.begin(), longMarks_.end(), bytes,
                             [](int at, const LineMark &m) { return at < m.bytes; });
  if (it == longMarks_.begin())
    return Utf16Offset(text, bytes);
  --it;
  return Utf16Offset(text, bytes, {it->units, it->bytes});
}

int TPlainTextMemo::BytePosition(int documentPosition) const {
  QTextDocument *doc = Document();
  if (!doc)
    return 0;
  Refresh();
  documentPosition = std::clamp(documentPosition, 0, doc->characterCount() - 1);
  QTextBlock b = doc->findBlock(documentPosition);
  int line = b.blockNumber();
  return lineStart_[line] + LineByteOffset(b, documentPosition - b.position());
}

int TPlainTextMemo::DocumentPosition(int bytePosition) const {
  QTextDocument *doc = Document();
  if (!doc)
    return 0;
  Refresh();
  bytePosition = std::clamp(bytePosition, 0, TextLength());
  int line = LineFromPosition(bytePosition);
  QTextBlock b = doc->findBlockByNumber(line);
  // Between the CR and the LF, or anywhere past a line's text: its end.
  int offset = std::min(bytePosition - lineStart_[line], lineBytes_[line]);
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
