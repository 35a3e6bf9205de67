#include "ui/Placeholder.h"

#include <QLabel>
#include <QVBoxLayout>

QWidget *CreatePlaceholderWindow() {
  auto *w = new QWidget;
  w->setWindowTitle(QStringLiteral("Orvane ver1.12.14"));
  auto *layout = new QVBoxLayout(w);
  auto *label = new QLabel(QStringLiteral("Orvane は作成中です。"), w);
  label->setAlignment(Qt::AlignCenter);
  layout->addWidget(label);
  w->resize(320, 160);
  return w;
}
