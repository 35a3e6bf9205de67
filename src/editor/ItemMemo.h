#pragma once
// The item memo: a plain text editor that drops, with a notice that leaves
// the focus where it is, text the item files cannot hold (CP932), so that what
// the screen shows is what the disk holds. Keys and input-method commits are
// filtered by the application's text guard (ui/TextGuard.h); pastes and drops
// here.
#include <QPlainTextEdit>
#include <QTextBlock>

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

  // A line longer than this is held as display blocks of at most
  // kDisplayBlock units, each after the first marked as continuing the line:
  // Qt lays a block out as a whole at every change to it, which for a line of
  // megabytes costs seconds a key. The text stays one line; only the screen
  // shows an early row end where a display block ends.
  static constexpr int kSplitLine = 2 * kUnwrappedLineCap;
  static constexpr int kDisplayBlock = 4000;

  // The user's word wrap switch; the memo follows it but for the cap above.
  void SetWordWrap(bool wrap);
  bool WordWrap() const { return wordWrap_; }
  // Replaces the text, wrapping first when a line exceeds the cap.
  void ShowPlainText(const QString &text);
  // The text with the user's line breaks as '\n' and none where a display
  // block continues a line; otherwise as toPlainText() gives it.
  QString PlainText() const;
  // Replaces the selection of `cursor` with `text` as one undo step, as
  // QTextCursor::insertText does, long lines split for display.
  void InsertPlainText(QTextCursor &cursor, const QString &text);
  // True when `b` is a display block continuing the line of the block before.
  static bool ContinuesLine(const QTextBlock &b);

signals:
  // Clicks and keys move the caret; the window shows where it stands.
  void caretMoved();

protected:
  void changeEvent(QEvent *event) override;
  void keyPressEvent(QKeyEvent *event) override;
  void keyReleaseEvent(QKeyEvent *event) override;
  void mouseReleaseEvent(QMouseEvent *event) override;
  void insertFromMimeData(const QMimeData *source) override;
  QMimeData *createMimeDataFromSelection() const override;

private:
  void FollowWrap();
  // Moves the caret over display block ends in front of it (or behind it):
  // they are no characters of the text, a key must not stop at them.
  void StepOverContinuations(bool forward, bool select);
  bool wordWrap_ = false;
  bool longLine_ = false;
  bool mayContinue_ = false; // the document may hold continuing display blocks
};
