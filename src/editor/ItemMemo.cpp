#include "editor/ItemMemo.h"

#include "ui/MessageBox.h"
#include "ui/Text.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>

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
