#include "ui/StepProgress.h"

#include <QCoreApplication>

#include <algorithm>
#include <climits>

namespace ui {

StepProgress::StepProgress(QWidget *parent, const QString &caption, const QString &what)
    : what_(what), parent_(parent), caption_(caption) {
  started_.start();
}

StepProgress::~StepProgress() { delete dialog_; }

void StepProgress::Report(size_t done, size_t total) {
  // A repaint costs: at most twenty a second, none in the first second.
  if (started_.elapsed() < 1000 || (shown_.isValid() && shown_.elapsed() < 50))
    return;
  shown_.restart();
  if (!dialog_) {
    // Application modal: while the step runs on, nothing else is asked of
    // the program, only its windows are painted.
    dialog_ = new QProgressDialog(what_, QString(), 0, 0, parent_);
    dialog_->setWindowTitle(caption_);
    dialog_->setWindowModality(Qt::ApplicationModal);
    dialog_->setMinimumDuration(0);
    dialog_->setAutoReset(false);
    dialog_->setAutoClose(false);
  }
  const int max = static_cast<int>(std::min<size_t>(total, INT_MAX));
  const int value = static_cast<int>(std::min<size_t>(done, INT_MAX));
  dialog_->setLabelText(total ? QStringLiteral("%1\n%2 / %3 件").arg(what_).arg(value).arg(max)
                              : QStringLiteral("%1\n%2 件").arg(what_).arg(value));
  dialog_->setMaximum(max);
  dialog_->setValue(total ? value : 0);
  if (!dialog_->isVisible())
    dialog_->show();
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

} // namespace ui
