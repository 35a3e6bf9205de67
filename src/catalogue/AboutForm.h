#pragma once
// The About window: the program's icon, title and version, and a text that
// scrolls up while the window is shown.
#include <QDialog>
#include <QIcon>

class QLabel;
class QTimer;

class TAboutForm : public QDialog {
  Q_OBJECT
public:
  // "1.12.14": the version shown here and in the catalogue's caption.
  static QString VersionText();

  explicit TAboutForm(QWidget *parent = nullptr);

  void SetIcon(const QIcon &icon);
  QString ScrollText() const;
  // One step of the scroll (the timer's tick); public for tests.
  void ScrollTimerTimer();
  int ScrollOffset() const { return offset_; }
  bool Scrolling() const;

protected:
  void showEvent(QShowEvent *event) override;
  void hideEvent(QHideEvent *event) override;

private:
  QLabel *icon_ = nullptr;
  QWidget *viewport_ = nullptr;
  QLabel *scroll_ = nullptr;
  QTimer *timer_ = nullptr;
  int offset_ = 0;
};
