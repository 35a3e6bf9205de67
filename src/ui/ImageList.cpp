#include "ui/ImageList.h"

#include <QBitmap>
#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QSet>

namespace images {
namespace {

const QColor kInk(40, 40, 40);
const QColor kPaper(255, 255, 255);
const QColor kBlue(30, 90, 200);
const QColor kGreen(30, 140, 60);
const QColor kRed(200, 40, 40);
const QColor kAmber(230, 150, 20);

// A page with a folded corner, inside the 16x16 design grid.
void DrawPage(QPainter &p, QRectF r, const QColor &fill = kPaper) {
  QPainterPath path;
  const qreal fold = r.width() * 0.3;
  path.moveTo(r.left(), r.top());
  path.lineTo(r.right() - fold, r.top());
  path.lineTo(r.right(), r.top() + fold);
  path.lineTo(r.right(), r.bottom());
  path.lineTo(r.left(), r.bottom());
  path.closeSubpath();
  p.setPen(QPen(kInk, 1));
  p.setBrush(fill);
  p.drawPath(path);
  p.drawLine(QPointF(r.right() - fold, r.top()), QPointF(r.right() - fold, r.top() + fold));
  p.drawLine(QPointF(r.right() - fold, r.top() + fold), QPointF(r.right(), r.top() + fold));
}

void DrawArrow(QPainter &p, QPointF from, QPointF to, const QColor &c) {
  p.setPen(QPen(c, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.drawLine(from, to);
  QLineF line(to, from);
  QLineF a = line, b = line;
  a.setLength(4);
  b.setLength(4);
  a.setAngle(line.angle() + 40);
  b.setAngle(line.angle() - 40);
  p.drawLine(a);
  p.drawLine(b);
}

void DrawPlus(QPainter &p, QPointF c, const QColor &col) {
  p.setPen(QPen(col, 2));
  p.drawLine(c + QPointF(-3, 0), c + QPointF(3, 0));
  p.drawLine(c + QPointF(0, -3), c + QPointF(0, 3));
}

void DrawCheck(QPainter &p, const QColor &c) {
  p.setPen(QPen(c, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.drawPolyline(QPolygonF({QPointF(4, 9), QPointF(7, 12), QPointF(13, 4)}));
}

void Draw(QPainter &p, int index) {
  switch (index) {
  case MoveDown:
    DrawArrow(p, {8, 2}, {8, 14}, kBlue);
    break;
  case MoveUp:
    DrawArrow(p, {8, 14}, {8, 2}, kBlue);
    break;
  case Sink: // one level deeper: to the right and down
    p.setPen(QPen(kInk, 1));
    p.drawLine(QPointF(3, 2), QPointF(3, 8));
    DrawArrow(p, {3, 8}, {14, 8}, kBlue);
    break;
  case Lift: // one level up: to the left
    p.setPen(QPen(kInk, 1));
    p.drawLine(QPointF(13, 2), QPointF(13, 8));
    DrawArrow(p, {13, 8}, {2, 8}, kBlue);
    break;
  case NewItem:
    DrawPage(p, QRectF(2.5, 1.5, 9, 12));
    DrawPlus(p, {12, 12}, kGreen);
    break;
  case NewSubItem:
    p.setPen(QPen(kInk, 1));
    p.drawLine(QPointF(2, 2), QPointF(2, 9));
    p.drawLine(QPointF(2, 9), QPointF(5, 9));
    DrawPage(p, QRectF(5.5, 3.5, 7, 10));
    DrawPlus(p, {12.5, 12.5}, kGreen);
    break;
  case Rename:
    p.setPen(QPen(kInk, 1));
    p.setBrush(kPaper);
    p.drawRect(QRectF(1.5, 5.5, 13, 6));
    p.setPen(QPen(kBlue, 1.5));
    p.drawLine(QPointF(10, 3), QPointF(10, 14));
    p.drawLine(QPointF(8, 3), QPointF(12, 3));
    p.drawLine(QPointF(8, 14), QPointF(12, 14));
    break;
  case Delete:
    p.setPen(QPen(kRed, 2.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(4, 4), QPointF(12, 12));
    p.drawLine(QPointF(12, 4), QPointF(4, 12));
    break;
  case ToDoOff:
  case ToDoOn:
    DrawPage(p, QRectF(2.5, 1.5, 11, 13), index == ToDoOn ? QColor(255, 244, 200) : kPaper);
    p.setPen(
        QPen(index == ToDoOn ? kAmber : QColor(160, 160, 160), 2.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(8, 4), QPointF(8, 9));
    p.drawPoint(QPointF(8, 12));
    break;
  case CompletionOff:
  case CompletionOn:
    DrawPage(p, QRectF(2.5, 1.5, 11, 13), index == CompletionOn ? QColor(220, 245, 225) : kPaper);
    DrawCheck(p, index == CompletionOn ? kGreen : QColor(160, 160, 160));
    break;
  case Page:
    DrawPage(p, QRectF(2.5, 1.5, 11, 13));
    p.setPen(QPen(QColor(150, 150, 150), 1));
    for (int y : {6, 8, 10, 12})
      p.drawLine(QPointF(4.5, y + 0.5), QPointF(11.5, y + 0.5));
    break;
  case Save:
    p.setPen(QPen(kInk, 1));
    p.setBrush(kBlue);
    p.drawRect(QRectF(1.5, 1.5, 13, 13));
    p.setBrush(kPaper);
    p.drawRect(QRectF(4.5, 1.5, 7, 5));
    p.drawRect(QRectF(3.5, 9.5, 9, 5));
    break;
  case Undo: {
    p.setPen(QPen(kBlue, 2, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(3, 4, 10, 9), 90 * 16, -240 * 16);
    DrawArrow(p, {6, 4.5}, {2.5, 4.5}, kBlue);
    break;
  }
  default:
    break;
  }
}

} // namespace

QIcon Icon(int index) {
  static const QSet<int> known = {MoveDown,      MoveUp,       Sink,   Lift,    NewItem,
                                  NewSubItem,    Rename,       Delete, ToDoOff, ToDoOn,
                                  CompletionOff, CompletionOn, Page,   Save,    Undo};
  if (!known.contains(index))
    return QIcon();
  static QHash<int, QIcon> cache;
  auto it = cache.find(index);
  if (it != cache.end())
    return *it;
  QIcon icon;
  for (int size : {16, 32}) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 16.0, size / 16.0);
    Draw(p, index);
    p.end();
    icon.addPixmap(pm);
  }
  cache.insert(index, icon);
  return icon;
}

QCursor DragAddCursor() {
  QPixmap pm(32, 32);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing, false);
  // Arrow, tip at (0,0).
  QPolygon arrow({QPoint(0, 0), QPoint(0, 15), QPoint(4, 11), QPoint(7, 17), QPoint(9, 16),
                  QPoint(6, 10), QPoint(11, 10)});
  p.setPen(Qt::black);
  p.setBrush(Qt::white);
  p.drawPolygon(arrow);
  // Small page.
  p.drawRect(12, 14, 8, 10);
  p.drawLine(14, 17, 18, 17);
  p.drawLine(14, 19, 18, 19);
  p.drawLine(14, 21, 18, 21);
  // Boxed plus.
  p.drawRect(21, 21, 9, 9);
  p.drawLine(23, 25, 28, 25);
  p.drawLine(25, 23, 25, 28);
  p.end();
  return QCursor(pm, 0, 0);
}

} // namespace images
