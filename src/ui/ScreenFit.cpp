#include "ui/ScreenFit.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>

namespace ui {

QRect FitOnScreen(const QRect &want) {
  QScreen *best = nullptr;
  long long bestArea = 0;
  for (QScreen *s : QGuiApplication::screens()) {
    const QRect common = s->availableGeometry().intersected(want.normalized());
    const long long area = common.isEmpty() ? 0 : 1LL * common.width() * common.height();
    if (area > bestArea) {
      bestArea = area;
      best = s;
    }
  }
  if (!best)
    best = QGuiApplication::primaryScreen();
  if (!best)
    return want;
  const QRect area = best->availableGeometry();
  const int width = std::clamp(want.width(), std::min(kMinWindowWidth, area.width()), area.width());
  const int height =
      std::clamp(want.height(), std::min(kMinWindowHeight, area.height()), area.height());
  const int left = std::clamp(want.left(), area.left(), area.left() + area.width() - width);
  const int top = std::clamp(want.top(), area.top(), area.top() + area.height() - height);
  return QRect(left, top, width, height);
}

} // namespace ui
