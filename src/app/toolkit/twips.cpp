#include "app/toolkit/twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>

namespace vistrel::toolkit {

namespace {
double pinned = 0;
}

double twipsPerPixel() {
  if (pinned > 0) {
    return pinned;
  }
  const QScreen* screen = QGuiApplication::primaryScreen();
  const double dpi = screen != nullptr ? screen->logicalDotsPerInchY() : 96.0;
  return dpi > 0 ? 1440.0 / dpi : 15.0;
}

void pinTwipsPerPixel(double value) {
  pinned = value > 0 ? value : 0;
}

int pixels(double twips) {
  return static_cast<int>(std::lround(twips / twipsPerPixel()));
}

QRect twipsRect(double left, double top, double width, double height) {
  const int x = pixels(left);
  const int y = pixels(top);
  // Edges are rounded, not sizes, so neighbours that touch in twips touch in pixels.
  return QRect(x, y, pixels(left + width) - x, pixels(top + height) - y);
}

}  // namespace vistrel::toolkit
