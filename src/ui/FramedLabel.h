#pragma once
// A caption drawn in a sunken box, set above the field it names (the import
// and property windows). The caption is plain text: an '&' shows as itself.
#include <QLabel>

namespace ui {

class FramedLabel : public QLabel {
  Q_OBJECT
public:
  explicit FramedLabel(const QString &caption, QWidget *parent = nullptr);
};

} // namespace ui
