#include "editor/ItemMemo.h"

#include "store/Codec.h"
#include "ui/MessageBox.h"
#include "ui/Text.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QTextCursor>
#include <QTextDocument>

TItemMemo::TItemMemo(QWidget *parent) : QPlainTextEdit(parent) {}

bool TItemMemo::Accepts(const QString &text) {
  std::string bytes;
  std::vector<char32_t> bad;
  if (ui::FromQString(text, bytes, &bad))
    return true;
  QString why = ui::UnmappableExplanation(bad);
  if (OnRefused)
    OnRefused(why);
  else
    ui::ShowMessageBox(this, why, QString(), ui::MsgIcon::Warning, ui::MsgButtons::Ok);
  return false;
}

void TItemMemo::keyPressEvent(QKeyEvent *event) {
  if (!event->text().isEmpty() && !isReadOnly() && !Accepts(event->text())) {
    event->accept();
    return;
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

void TItemMemo::inputMethodEvent(QInputMethodEvent *event) {
  if (!event->commitString().isEmpty() && !Accepts(event->commitString())) {
    // Drop the composition as well; nothing of it can be kept.
    QInputMethodEvent empty;
    QPlainTextEdit::inputMethodEvent(&empty);
    return;
  }
  QPlainTextEdit::inputMethodEvent(event);
}

void TItemMemo::insertFromMimeData(const QMimeData *source) {
  if (source && source->hasText() && !Accepts(source->text()))
    return;
  QPlainTextEdit::insertFromMimeData(source);
  emit caretMoved();
}
