#include "editor/ItemMemo.h"

#include "store/Codec.h"
#include "ui/TextGuard.h"

#include <QKeyEvent>
#include <QMimeData>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextLayout>

#include <utility>
#include <vector>

namespace {

// Marks a display block that continues the line of the block before it. A
// block format property: Qt keeps it through undo and redo, and a merge of two
// blocks keeps the first one's.
constexpr int kContinuesProperty = QTextFormat::UserProperty + 0x4f56;

// End of the line starting at `from` and the length of its break (0 at the
// end of the text), with the breaks QTextCursor::insertText makes blocks of.
std::pair<qsizetype, qsizetype> LineEnd(QStringView text, qsizetype from) {
  for (qsizetype i = from; i < text.size(); ++i) {
    switch (text[i].unicode()) {
    case u'\r':
      return {i, i + 1 < text.size() && text[i + 1] == u'\n' ? 2 : 1};
    case u'\n':
    case QChar::ParagraphSeparator:
    case 0xfdd0: // the frame marks Qt also breaks at
    case 0xfdd1:
      return {i, 1};
    default:
      break;
    }
  }
  return {text.size(), 0};
}

// Offsets in `line` where its display blocks after the first start: after a
// space near the bound when there is one, so that the early row end falls
// between words; never inside a surrogate pair nor between a character and
// its variant marker.
std::vector<qsizetype> DisplayCuts(QStringView line) {
  std::vector<qsizetype> cuts;
  if (line.size() <= TItemMemo::kSplitLine)
    return cuts;
  for (qsizetype at = 0; line.size() - at > TItemMemo::kDisplayBlock;) {
    qsizetype cut = at + TItemMemo::kDisplayBlock;
    qsizetype space = cut;
    while (space > cut - TItemMemo::kDisplayBlock / 8 && line[space - 1] != u' ' &&
           line[space - 1] != u'\u3000')
      --space;
    if (space > cut - TItemMemo::kDisplayBlock / 8)
      cut = space;
    else
      while (cut > at + 1 &&
             (line[cut].isLowSurrogate() || cp932::IsVariantMarker(line[cut].unicode())))
        --cut;
    cuts.push_back(cut);
    at = cut;
  }
  return cuts;
}

bool HasLineOver(QStringView text, qsizetype length) {
  for (qsizetype from = 0; from < text.size();) {
    auto [end, sep] = LineEnd(text, from);
    if (end - from > length)
      return true;
    from = end + std::max<qsizetype>(sep, 1);
  }
  return false;
}

} // namespace

TItemMemo::TItemMemo(QWidget *parent) : QPlainTextEdit(parent) {
  // Qt lays out a block and then drops its glyphs; every caret move, paint
  // and cursor rectangle then shapes the whole block again. For a long line
  // (one line of megabytes) that costs seconds a key, so long blocks keep
  // their glyphs. Short ones are cheap to shape and are left as Qt has them.
  connect(document(), &QTextDocument::contentsChange, this, [this](int position, int, int added) {
    QTextDocument *doc = document();
    QTextBlock b = doc->findBlock(position);
    const int end = position + added;
    for (; b.isValid() && b.position() <= end; b = b.next())
      if (b.length() > kLongBlock && b.layout())
        b.layout()->setCacheEnabled(true);
  });
}

void TItemMemo::changeEvent(QEvent *event) {
  // Kerning and ligatures are of no use in a plain text memo, and shaping is
  // most of the cost of laying out a long line. Scripts that need shaping to
  // be legible are still shaped.
  if (event->type() == QEvent::FontChange && !(font().styleStrategy() & QFont::PreferNoShaping)) {
    QFont f = font();
    f.setStyleStrategy(QFont::StyleStrategy(f.styleStrategy() | QFont::PreferNoShaping));
    setFont(f); // comes back here with the flag set; the document follows then, once
    return;
  }
  QPlainTextEdit::changeEvent(event);
}

void TItemMemo::SetWordWrap(bool wrap) {
  wordWrap_ = wrap;
  FollowWrap();
}

bool TItemMemo::ContinuesLine(const QTextBlock &b) {
  return b.isValid() && b.blockFormat().boolProperty(kContinuesProperty);
}

void TItemMemo::ShowPlainText(const QString &text) {
  longLine_ = false;
  // Where display blocks go: an offset in `text` and the number of the block
  // that starts there.
  std::vector<std::pair<qsizetype, int>> cuts;
  int block = 0;
  for (qsizetype from = 0; from < text.size(); ++block) {
    auto [end, sep] = LineEnd(text, from);
    if (end - from > kUnwrappedLineCap)
      longLine_ = true;
    for (qsizetype cut : DisplayCuts(QStringView(text).mid(from, end - from)))
      cuts.emplace_back(from + cut, ++block);
    if (sep == 0)
      break;
    from = end + sep;
  }
  mayContinue_ = !cuts.empty();
  // Before the text goes in, so that it is laid out once; the old text goes
  // first, or the switch would lay it out again.
  if (lineWrapMode() != (wordWrap_ || longLine_ ? WidgetWidth : NoWrap))
    clear();
  FollowWrap();
  if (cuts.empty()) {
    setPlainText(text);
    return;
  }
  QString shown;
  shown.reserve(text.size() + static_cast<qsizetype>(cuts.size()));
  qsizetype at = 0;
  for (const auto &cut : cuts) {
    shown.append(QStringView(text).mid(at, cut.first - at));
    shown.append(QLatin1Char('\n'));
    at = cut.first;
  }
  shown.append(QStringView(text).mid(at));
  setPlainText(shown);
  // The marks are part of showing the text: no undo step, not a change.
  QTextDocument *doc = document();
  doc->setUndoRedoEnabled(false);
  QTextCursor c(doc);
  c.beginEditBlock();
  QTextBlockFormat continues;
  continues.setProperty(kContinuesProperty, true);
  QTextBlock b = doc->begin();
  int number = 0;
  for (const auto &cut : cuts) {
    for (; number < cut.second && b.isValid(); ++number)
      b = b.next();
    c.setPosition(b.position());
    c.setBlockFormat(continues);
  }
  c.endEditBlock();
  doc->setUndoRedoEnabled(true);
  doc->setModified(false);
}

QString TItemMemo::PlainText() const {
  if (!mayContinue_)
    return toPlainText();
  const QTextDocument *doc = document();
  QString text;
  text.reserve(doc->characterCount());
  for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
    if (b != doc->begin() && !ContinuesLine(b))
      text += QLatin1Char('\n');
    text += b.text();
  }
  // As toPlainText() has them.
  for (QChar &c : text) {
    switch (c.unicode()) {
    case 0xfdd0:
    case 0xfdd1:
    case QChar::LineSeparator:
      c = QLatin1Char('\n');
      break;
    case QChar::Nbsp:
      c = QLatin1Char(' ');
      break;
    default:
      break;
    }
  }
  return text;
}

void TItemMemo::InsertPlainText(QTextCursor &cursor, const QString &text) {
  cursor.beginEditBlock();
  cursor.removeSelectedText();
  for (qsizetype from = 0;;) {
    auto [end, sep] = LineEnd(text, from);
    const QStringView line = QStringView(text).mid(from, end - from);
    if (line.size() > kUnwrappedLineCap)
      longLine_ = true;
    qsizetype at = 0;
    for (qsizetype cut : DisplayCuts(line)) {
      cursor.insertText(line.mid(at, cut - at).toString());
      QTextBlockFormat continues = cursor.blockFormat();
      continues.setProperty(kContinuesProperty, true);
      cursor.insertBlock(continues);
      mayContinue_ = true;
      at = cut;
    }
    cursor.insertText(line.mid(at).toString());
    if (sep == 0)
      break;
    // The block made here starts a line of its own, wherever it splits.
    QTextBlockFormat starts = cursor.blockFormat();
    starts.clearProperty(kContinuesProperty);
    cursor.insertBlock(starts);
    from = end + sep;
  }
  cursor.endEditBlock();
  FollowWrap();
}

void TItemMemo::StepOverContinuations(bool forward, bool select) {
  QTextCursor c = textCursor();
  const QTextCursor::MoveMode mode = select ? QTextCursor::KeepAnchor : QTextCursor::MoveAnchor;
  bool moved = false;
  if (forward) {
    for (; c.atBlockEnd() && ContinuesLine(c.block().next()); moved = true)
      c.setPosition(c.position() + 1, mode);
  } else {
    for (; c.atBlockStart() && ContinuesLine(c.block()); moved = true)
      c.setPosition(c.position() - 1, mode);
  }
  if (moved)
    setTextCursor(c);
}

void TItemMemo::FollowWrap() {
  const LineWrapMode mode = wordWrap_ || longLine_ ? WidgetWidth : NoWrap;
  if (lineWrapMode() != mode)
    setLineWrapMode(mode);
}

void TItemMemo::keyPressEvent(QKeyEvent *event) {
  if (event->matches(QKeySequence::InsertLineSeparator)) {
    // Qt's line separator would be stored as a line break but counted as
    // none by the caret and the find: Shift+Enter breaks the line as Enter.
    QKeyEvent enter(event->type(), Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    keyPressEvent(&enter);
    event->setAccepted(enter.isAccepted());
    return;
  }
  if (mayContinue_) {
    const bool selected = textCursor().hasSelection();
    if (event->matches(QKeySequence::InsertParagraphSeparator) && !isReadOnly()) {
      // Qt gives the new block the format of the one split, which may mark a
      // continuation; a typed line break always starts a line.
      QTextCursor c = textCursor();
      c.beginEditBlock();
      c.removeSelectedText();
      QTextBlockFormat starts = c.blockFormat();
      starts.clearProperty(kContinuesProperty);
      c.insertBlock(starts);
      c.endEditBlock();
      setTextCursor(c);
      ensureCursorVisible();
      event->accept();
      emit caretMoved();
      return;
    }
    const bool back =
        event->matches(QKeySequence::SelectPreviousChar) ||
        (!selected &&
         (event->matches(QKeySequence::MoveToPreviousChar) ||
          (event->key() == Qt::Key_Backspace && event->modifiers() == Qt::NoModifier)));
    const bool ahead = event->matches(QKeySequence::SelectNextChar) ||
                       (!selected && (event->matches(QKeySequence::MoveToNextChar) ||
                                      event->matches(QKeySequence::Delete)));
    if (back || ahead)
      StepOverContinuations(ahead, event->modifiers() & Qt::ShiftModifier);
  }
  if (event->key() == Qt::Key_Backspace && event->modifiers() == Qt::NoModifier && !isReadOnly() &&
      !textCursor().hasSelection()) {
    // Qt removes a variation selector on its own first; a duplicate code's
    // marker is invisible, so that would look like a key doing nothing. Take
    // the character with it.
    QTextCursor c = textCursor();
    const int at = c.position();
    QTextDocument *doc = document();
    if (at >= 2 && cp932::IsVariantMarker(doc->characterAt(at - 1).unicode()) &&
        cp932::MarksVariant(doc->characterAt(at - 2).unicode(),
                            doc->characterAt(at - 1).unicode())) {
      c.setPosition(at - 2, QTextCursor::KeepAnchor);
      c.removeSelectedText();
      setTextCursor(c);
      event->accept();
      emit caretMoved();
      return;
    }
  }
  QPlainTextEdit::keyPressEvent(event);
  emit caretMoved();
}

void TItemMemo::keyReleaseEvent(QKeyEvent *event) {
  QPlainTextEdit::keyReleaseEvent(event);
  emit caretMoved();
}

void TItemMemo::mouseReleaseEvent(QMouseEvent *event) {
  QPlainTextEdit::mouseReleaseEvent(event);
  emit caretMoved();
}

void TItemMemo::insertFromMimeData(const QMimeData *source) {
  std::vector<char32_t> dropped;
  const QString text = source && source->hasText() ? source->text() : QString();
  QString kept = ui::KeepStorable(text, &dropped);
  if (!isReadOnly() && source && source->hasText() &&
      (mayContinue_ || HasLineOver(kept, kSplitLine))) {
    // Qt would put a long line in one block, and a break pasted into a
    // continuing block would continue the line.
    ui::TellDropped(this, dropped);
    QTextCursor c = textCursor();
    InsertPlainText(c, kept);
    setTextCursor(c);
    ensureCursorVisible();
  } else if (dropped.empty()) {
    QPlainTextEdit::insertFromMimeData(source);
  } else {
    ui::TellDropped(this, dropped);
    QMimeData storable;
    storable.setText(kept);
    QPlainTextEdit::insertFromMimeData(&storable);
  }
  emit caretMoved();
}

QMimeData *TItemMemo::createMimeDataFromSelection() const {
  const QTextCursor c = textCursor();
  if (!mayContinue_ || !c.hasSelection())
    return QPlainTextEdit::createMimeDataFromSelection();
  // A copy holds the line as it is: no break where a display block ends.
  const int start = c.selectionStart(), end = c.selectionEnd();
  const QString plain = QTextDocumentFragment(c).toPlainText(); // a character per position
  QString text;
  qsizetype read = 0;
  for (QTextBlock b = document()->findBlock(start).next(); b.isValid() && b.position() <= end;
       b = b.next()) {
    const qsizetype cut = b.position() - 1 - start;
    if (ContinuesLine(b) && cut >= read && cut < plain.size()) {
      text += QStringView(plain).mid(read, cut - read);
      read = cut + 1;
    }
  }
  if (read == 0)
    return QPlainTextEdit::createMimeDataFromSelection();
  text += QStringView(plain).mid(read);
  auto *data = new QMimeData;
  data->setText(text);
  return data;
}
