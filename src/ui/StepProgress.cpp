#include "ui/StepProgress.h"

#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

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
    // the program (a check of the disk waits), only its windows are painted.
    dialog_ = new QDialog(parent_);
    dialog_->setWindowTitle(caption_);
    dialog_->setWindowModality(Qt::ApplicationModal);
    auto *layout = new QVBoxLayout(dialog_);
    label_ = new QLabel(dialog_);
    bar_ = new QProgressBar(dialog_);
    layout->addWidget(label_);
    layout->addWidget(bar_);
    dialog_->show();
  }
  const int max = static_cast<int>(std::min<size_t>(total, INT_MAX));
  const int value = static_cast<int>(std::min<size_t>(done, INT_MAX));
  label_->setText(total ? QStringLiteral("%1\n%2 / %3 件").arg(what_).arg(value).arg(max)
                        : QStringLiteral("%1\n%2 件").arg(what_).arg(value));
  bar_->setRange(0, max);
  bar_->setValue(total ? value : 0);
  // Neither input nor a hand-over from another start is taken meanwhile:
  // they wait until the step is done.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents |
                                  QEventLoop::ExcludeSocketNotifiers);
}

} // namespace ui
