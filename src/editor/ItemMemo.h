#pragma once
// The item memo: a plain text editor that refuses, with a visible
// explanation, text the item files cannot hold (CP932), so that what the
// screen shows is what the disk holds.
#include <QPlainTextEdit>

#include <functional>

class TItemMemo : public QPlainTextEdit {
  Q_OBJECT
public:
  explicit TItemMemo(QWidget *parent = nullptr);

  // Shows why input was refused; the default asks through the message box.
  std::function<void(const QString &explanation)> OnRefused;
  // True when `text` may be typed or pasted; otherwise tells the user.
  bool Accepts(const QString &text);

signals:
  // Clicks and keys move the caret; the window shows where it stands.
  void caretMoved();

protected:
  void keyPressEvent(QKeyEvent *event) override;
  void keyReleaseEvent(QKeyEvent *event) override;
  void mouseReleaseEvent(QMouseEvent *event) override;
  void inputMethodEvent(QInputMethodEvent *event) override;
  void insertFromMimeData(const QMimeData *source) override;
};
