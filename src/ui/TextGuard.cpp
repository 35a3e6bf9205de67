#include "ui/TextGuard.h"

#include "store/Codec.h"
#include "ui/Text.h"

#include <QApplication>
#include <QColorDialog>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFontDialog>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QPointer>
#include <QStatusBar>
#include <QTextEdit>
#include <QTimer>
#include <QToolTip>
#include <QValidator>

#include <algorithm>

namespace ui {

namespace {

constexpr const char *kUnguarded = "orvaneUnguarded";
constexpr int kNoticeMs = 6000;

// A commit of a whole pre-edit that arrives at another widget this soon after
// the focus left the composing one is the input method's second copy.
constexpr qint64 kEchoMs = 1500;

bool Guarded(QObject *o) {
  if (!o->isWidgetType())
    return false;
  auto *w = static_cast<QWidget *>(o);
  if (!qobject_cast<QLineEdit *>(w) && !qobject_cast<QPlainTextEdit *>(w) &&
      !qobject_cast<QTextEdit *>(w))
    return false;
  for (QWidget *p = w; p; p = p->parentWidget())
    if (p->property(kUnguarded).toBool() || qobject_cast<QFileDialog *>(p) ||
        qobject_cast<QFontDialog *>(p) || qobject_cast<QColorDialog *>(p))
      return false;
  return true;
}

// QLineEdit asks its validator after every change, however it came (keys,
// input method, paste, drop, undo): the one place to drop what cannot be kept.
class StorableValidator : public QValidator {
public:
  explicit StorableValidator(QLineEdit *edit) : QValidator(edit), edit_(edit) {}
  State validate(QString &input, int &pos) const override {
    std::vector<char32_t> dropped;
    QString kept = KeepStorable(input, &dropped);
    if (!dropped.empty()) {
      pos = static_cast<int>(KeepStorable(input.left(pos)).size());
      input = kept;
      TellDropped(edit_, dropped);
    }
    return Acceptable;
  }

private:
  QLineEdit *edit_;
};

class TextGuard : public QObject {
public:
  using QObject::QObject;

protected:
  bool eventFilter(QObject *o, QEvent *e) override {
    switch (e->type()) {
    case QEvent::Polish:
      if (auto *edit = qobject_cast<QLineEdit *>(o); edit && !edit->validator() && Guarded(o))
        edit->setValidator(new StorableValidator(edit));
      break;
    case QEvent::InputMethod:
      if (Guarded(o))
        InputMethod(static_cast<QWidget *>(o), static_cast<QInputMethodEvent *>(e));
      break;
    case QEvent::KeyPress:
      if (Guarded(o))
        return KeyPress(static_cast<QWidget *>(o), static_cast<QKeyEvent *>(e));
      break;
    case QEvent::FocusOut:
      if (o == lastCommit_.widget && lastCommit_.wholePreedit && lastCommit_.at.elapsed() < 100) {
        echo_ = lastCommit_; // committed by this very focus change
        echo_.from = o;
      }
      break;
    default:
      break;
    }
    return false;
  }

private:
  struct Commit {
    QPointer<QWidget> widget;
    QString text;
    bool wholePreedit = false;
    QElapsedTimer at;
    const QObject *from = nullptr; // never dereferenced
  };

  void InputMethod(QWidget *w, QInputMethodEvent *ime) {
    const QString commit = ime->commitString();
    // The widget that was composing may be gone by now (a label editor is):
    // only its address is compared.
    if (!commit.isEmpty() && echo_.from && echo_.from != w && commit == echo_.text &&
        echo_.at.elapsed() < kEchoMs && preedit_.widget != w) {
      ime->setCommitString(QString()); // the pre-edit landed where it was typed already
      echo_ = {};
    } else if (!commit.isEmpty()) {
      std::vector<char32_t> dropped;
      QString kept = KeepStorable(commit, &dropped);
      if (!dropped.empty()) {
        ime->setCommitString(kept, ime->replacementStart(), ime->replacementLength());
        TellDropped(w, dropped);
      }
      lastCommit_.widget = w;
      lastCommit_.text = commit;
      lastCommit_.wholePreedit = preedit_.widget == w && preedit_.text == commit;
      lastCommit_.at.start();
    }
    preedit_.widget = w;
    preedit_.text = ime->preeditString();
    if (preedit_.text.isEmpty())
      preedit_.widget = nullptr;
  }

  bool KeyPress(QWidget *w, QKeyEvent *key) {
    if (key->text().isEmpty())
      return false;
    std::vector<char32_t> dropped;
    QString kept = KeepStorable(key->text(), &dropped);
    if (dropped.empty())
      return false;
    TellDropped(w, dropped);
    if (!kept.isEmpty()) {
      QKeyEvent rest(key->type(), key->key(), key->modifiers(), key->nativeScanCode(),
                     key->nativeVirtualKey(), key->nativeModifiers(), kept, key->isAutoRepeat(),
                     key->count());
      QCoreApplication::sendEvent(w, &rest);
    }
    return true;
  }

  Commit preedit_; // the widget composing now and its pre-edit (no time)
  Commit lastCommit_;
  Commit echo_;
};

QPointer<TextGuard> installed;

} // namespace

QString KeepStorable(const QString &text, std::vector<char32_t> *dropped) {
  std::string bytes;
  std::vector<char32_t> bad;
  if (dropped)
    dropped->clear();
  if (FromQString(text, bytes, &bad))
    return text;
  const QList<uint> chars = text.toUcs4();
  QList<uint> kept;
  kept.reserve(chars.size());
  for (uint c : chars) {
    const bool unmappable = std::find(bad.begin(), bad.end(), c) != bad.end();
    // A marker is unmappable only where it marks no code of the character before.
    const bool keep = !unmappable || (cp932::IsVariantMarker(c) && !kept.isEmpty() &&
                                      cp932::MarksVariant(kept.back(), c));
    if (keep) {
      kept.push_back(c);
    } else if (dropped && std::find(dropped->begin(), dropped->end(), c) == dropped->end()) {
      dropped->push_back(c);
    }
  }
  return QString::fromUcs4(reinterpret_cast<const char32_t *>(kept.constData()), kept.size());
}

void TellDropped(QWidget *where, const std::vector<char32_t> &dropped) {
  if (dropped.empty())
    return;
  QString text = UnmappableExplanation(dropped);
  text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
  qWarning("%s", qUtf8Printable(text));
  QApplication::beep();
  QTimer::singleShot(0, qApp, [w = QPointer<QWidget>(where), text] {
    if (!w)
      return;
    auto *main = qobject_cast<QMainWindow *>(w->window());
    if (QStatusBar *bar = main ? main->findChild<QStatusBar *>() : nullptr) {
      bar->showMessage(text, kNoticeMs);
      return;
    }
    const QRect caret = w->inputMethodQuery(Qt::ImCursorRectangle).toRect();
    QToolTip::showText(w->mapToGlobal(caret.bottomLeft()), text, w, QRect(), kNoticeMs);
  });
}

void InstallTextGuard() {
  if (installed || !qApp)
    return;
  installed = new TextGuard(qApp);
  qApp->installEventFilter(installed);
}

void LeaveUnguarded(QWidget *field) {
  field->setProperty(kUnguarded, true);
  if (auto *edit = qobject_cast<QLineEdit *>(field);
      edit && dynamic_cast<const StorableValidator *>(edit->validator()))
    edit->setValidator(nullptr);
}

} // namespace ui
