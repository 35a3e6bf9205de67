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

QRect OutFromBehind(const QRect &own, const QRect &front, const QRect &area) {
  if (!front.contains(own))
    return own;
  const QRect beside[] = {
      QRect(QPoint(front.right() + 1, own.top()), own.size()),
      QRect(QPoint(front.left() - own.width(), own.top()), own.size()),
      QRect(QPoint(own.left(), front.bottom() + 1), own.size()),
      QRect(QPoint(own.left(), front.top() - own.height()), own.size()),
  };
  for (QRect r : beside) {
    // Along the other axis it may slide to stay on the area.
    r.moveLeft(
        std::clamp(r.left(), area.left(), std::max(area.left(), area.right() - r.width() + 1)));
    r.moveTop(
        std::clamp(r.top(), area.top(), std::max(area.top(), area.bottom() - r.height() + 1)));
    if (area.contains(r) && !r.intersects(front))
      return r;
  }
  QRect r = own;
  const QPoint centre = front.center();
  r.moveLeft(centre.x() < area.center().x() ? area.right() - own.width() + 1 : area.left());
  r.moveTop(centre.y() < area.center().y() ? area.bottom() - own.height() + 1 : area.top());
  return r;
}

} // namespace ui
