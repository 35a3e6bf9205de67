#pragma once
// The progress of a long step (an export, a load): the wait cursor at once,
// and a dialog with the count done once the step has taken a second. Hand it
// to the step as its progress report.
#include "ui/BusyCursor.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
#include <QString>

class QLabel;
class QProgressBar;

#include <cstddef>

namespace ui {

class StepProgress {
public:
  // `what` names the step above the count (Japanese, as the user reads it).
  StepProgress(QWidget *parent, const QString &caption, const QString &what);
  ~StepProgress();
  StepProgress(const StepProgress &) = delete;
  StepProgress &operator=(const StepProgress &) = delete;
  // `total` 0: not known (the count alone is shown).
  void Report(size_t done, size_t total);

private:
  BusyCursor busy_;
  QString what_;
  QPointer<QDialog> dialog_; // made once the step has taken a second
  QLabel *label_ = nullptr;
  QProgressBar *bar_ = nullptr;
  QWidget *parent_;
  QString caption_;
  QElapsedTimer started_, shown_;
};

} // namespace ui
