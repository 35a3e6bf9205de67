#pragma once
// The item memo: a plain text editor that drops, with a notice that leaves
// the focus where it is, text the item files cannot hold (CP932), so that what
// the screen shows is what the disk holds. Keys and input-method commits are
// filtered by the application's text guard (ui/TextGuard.h); pastes and drops
// here.
#include <QPlainTextEdit>

class TItemMemo : public QPlainTextEdit {
  Q_OBJECT
public:
  explicit TItemMemo(QWidget *parent = nullptr);

  // Blocks longer than this (in UTF-16 units) keep their shaped glyphs.
  static constexpr int kLongBlock = 4096;
  // A text with a line longer than this is shown wrapped at the memo's width
  // even when word wrap is off: Qt paints and measures an unwrapped line as a
  // whole, which for a line of megabytes costs seconds at every key.
  static constexpr int kUnwrappedLineCap = 65536;

  // The user's word wrap switch; the memo follows it but for the cap above.
  void SetWordWrap(bool wrap);
  bool WordWrap() const { return wordWrap_; }
  // Replaces the text, wrapping first when a line exceeds the cap.
  void ShowPlainText(const QString &text);

signals:
  // Clicks and keys move the caret; the window shows where it stands.
  void caretMoved();

protected:
  void changeEvent(QEvent *event) override;
  void keyPressEvent(QKeyEvent *event) override;
  void keyReleaseEvent(QKeyEvent *event) override;
  void mouseReleaseEvent(QMouseEvent *event) override;
  void insertFromMimeData(const QMimeData *source) override;

private:
  void FollowWrap();
  bool wordWrap_ = false;
  bool longLine_ = false;
};
