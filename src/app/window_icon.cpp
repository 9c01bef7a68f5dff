#include "app/window_icon.h"

#include <QPainter>
#include <QPolygon>
#include <initializer_list>

namespace vistrel::app {

QPixmap windowIcon() {
  // Sixteen-colour palette entries only, so it stays crisp at this size.
  const QColor black(0, 0, 0), white(255, 255, 255), grey(128, 128, 128), navy(0, 0, 128),
      blue(0, 128, 255), green(0, 128, 0), lime(0, 255, 0), yellow(255, 255, 0), olive(128, 128, 0);
  QPixmap icon(32, 32);
  icon.fill(Qt::transparent);
  QPainter p(&icon);
  // The frame.
  p.fillRect(1, 3, 30, 26, olive);
  p.fillRect(3, 5, 26, 22, blue);
  p.setPen(black);
  p.drawRect(1, 3, 29, 25);
  // The sun.
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setPen(Qt::NoPen);
  p.setBrush(yellow);
  p.drawEllipse(QPoint(22, 11), 3, 3);
  // Two hills.
  const auto hill = [&p](std::initializer_list<QPoint> outline, const QColor& colour) {
    p.setBrush(colour);
    p.drawPolygon(QPolygon(QList<QPoint>(outline)));
  };
  hill({{3, 22}, {11, 12}, {18, 20}, {29, 14}, {29, 27}, {3, 27}}, green);
  hill({{3, 27}, {3, 24}, {14, 19}, {29, 25}, {29, 27}}, lime);
  // A light edge inside the frame and the frame's shadow.
  p.setBrush(Qt::NoBrush);
  p.setPen(white);
  p.drawLine(2, 4, 29, 4);
  p.setPen(grey);
  p.drawLine(2, 28, 30, 28);
  p.setPen(navy);
  p.drawRect(3, 5, 25, 21);
  return icon;
}

}  // namespace vistrel::app
