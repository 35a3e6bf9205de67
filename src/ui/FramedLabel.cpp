#include "ui/FramedLabel.h"

namespace ui {

FramedLabel::FramedLabel(const QString &caption, QWidget *parent) : QLabel(parent) {
  setTextFormat(Qt::PlainText);
  setText(caption);
  setFrameStyle(QFrame::Panel | QFrame::Sunken);
  setLineWidth(1);
  setMargin(2);
  setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  // The box spans the width of the field below it.
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

} // namespace ui
