#pragma once
// Binds the memo engine to the editor's QPlainTextEdit. The engine counts in
// CP932 bytes with CR LF between lines; the widget counts UTF-16 units with one
// separator between blocks. A block is a line, or a display block of a long
// line (TItemMemo::ContinuesLine), whose separator stands for no byte. A table
// of each block's byte length, kept up to date block by block as the document
// changes, maps one to the other without encoding the whole text on every
// call.
#include "engine/MemoJump.h"

#include <QObject>
#include <QPlainTextEdit>
#include <QPointer>
#include <QString>
#include <QTextBlock>
#include <QTextDocument>

#include <string>
#include <vector>

class TPlainTextMemo : public QObject, public TJumpMemo {
  Q_OBJECT
public:
  explicit TPlainTextMemo(QPlainTextEdit *edit, QObject *parent = nullptr);

  QPlainTextEdit *Edit() const { return edit_; }

  std::string Text() const override;
  int TextLength() const override;
  int LineCount() const override;
  std::string LineText(int line) const override;
  int LineLength(int line) const override;
  int LineIndex(int line) const override;
  int LineFromPosition(int position) const override;
  void GetSelection(int &start, int &end) const override;
  void SetSelection(int anchor, int caret) override;
  int ClientHeight() const override;
  void Undo() override;
  bool CanUndo() const override;

  // Byte position of a widget (document) position, and the widget position
  // where a byte position's character starts.
  int BytePosition(int documentPosition) const;
  int DocumentPosition(int bytePosition) const;

  // Bytes a character takes in CP932: 2 for a double-byte character, 1 for
  // ASCII, half-width katakana and the U+F700 raw bytes, and 1 for a character
  // CP932 cannot hold (it would be stored as '?'). A duplicate-code marker
  // counts 1 here, alone; after its character (see store/Codec.h) the line
  // counts give it 0.
  static int ByteWidth(char16_t c);
  // Bytes of a whole line; a surrogate pair counts as one '?'.
  static int ByteLength(const QString &line);

  // Pixel height of one text line in `edit`, for TMemoJump::LineHeight.
  static int FontLineHeight(const QPlainTextEdit *edit);

private:
  QTextDocument *Document() const; // follows a document swapped into the widget
  void OnContentsChange(int position, int removed, int added);
  void Refresh() const;
  // Offsets inside block `b`. A long block keeps its text and a mark every
  // kMarkStep units, so that a caret read-out does not copy and walk
  // megabytes.
  int LineByteOffset(const QTextBlock &b, int units) const;
  int LineUtf16Offset(const QTextBlock &b, int bytes) const;
  const QString &LongLine(const QTextBlock &b) const;
  // The character a display block's first one follows in its line (0 when
  // none): a variant marker there belongs to it.
  char16_t Before(const QTextBlock &b) const;
  // Position just past the last character of `line`.
  int LineEnd(int line) const;

  QPointer<QPlainTextEdit> edit_;
  mutable QPointer<QTextDocument> doc_;
  mutable QMetaObject::Connection changeConnection_;

  // Byte length of every block, whether it continues the line before it, the
  // first position of every block; the first block and first position of
  // every line. Starts are right for blocks [0, startsValid_] and the lines
  // starting there. Blocks [dirtyFrom_, dirtyTo_] are to be counted again.
  mutable std::vector<int> blockBytes_;
  mutable std::vector<char> blockJoins_;
  mutable std::vector<int> blockStart_;
  mutable std::vector<int> lineBlock_;
  mutable std::vector<int> lineStart_;
  mutable int startsValid_ = -1;
  mutable int dirtyFrom_ = 0, dirtyTo_ = -1;
  mutable bool allDirty_ = true;
  mutable std::string text_; // Text(), kept until the next change
  mutable bool textValid_ = false;

  static constexpr int kLongLine = 8192; // UTF-16 units
  static constexpr int kMarkStep = 1024;
  struct LineMark {
    int units, bytes;
  };
  mutable int longLine_ = -1; // block number of longText_, until the next change
  mutable QString longText_;
  mutable std::vector<LineMark> longMarks_;
};
