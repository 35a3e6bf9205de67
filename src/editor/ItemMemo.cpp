#include "editor/ItemMemo.h"

#include "store/Codec.h"
#include "ui/TextGuard.h"

#include <QKeyEvent>
#include <QMimeData>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>

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

void TItemMemo::ShowPlainText(const QString &text) {
  longLine_ = false;
  for (qsizetype from = 0; from < text.size();) {
    qsizetype end = text.indexOf(QLatin1Char('\n'), from);
    if (end < 0)
      end = text.size();
    if (end - from > kUnwrappedLineCap) {
      longLine_ = true;
      break;
    }
    from = end + 1;
  }
  // Before the text goes in, so that it is laid out once; the old text goes
  // first, or the switch would lay it out again.
  if (lineWrapMode() != (wordWrap_ || longLine_ ? WidgetWidth : NoWrap))
    clear();
  FollowWrap();
  setPlainText(text);
}

void TItemMemo::FollowWrap() {
  const LineWrapMode mode = wordWrap_ || longLine_ ? WidgetWidth : NoWrap;
  if (lineWrapMode() != mode)
    setLineWrapMode(mode);
}

void TItemMemo::keyPressEvent(QKeyEvent *event) {
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
  if (dropped.empty()) {
    QPlainTextEdit::insertFromMimeData(source);
  } else {
    ui::TellDropped(this, dropped);
    QMimeData storable;
    storable.setText(kept);
    QPlainTextEdit::insertFromMimeData(&storable);
  }
  emit caretMoved();
}
