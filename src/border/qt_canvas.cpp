#include "border/qt_canvas.h"

#include <QGuiApplication>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <stdexcept>
#include <string>

#include "common/numbers.h"

namespace vistrel::border {
using common::roundHalfEven;

namespace {

// Far beyond any surface, small enough that Bresenham's loop stays quick.
constexpr double kPixelLimit = 1 << 20;

std::optional<int> toPixel(double value, double twipsPerUnit, int16_t twipsPerPixel) {
  const double pixels = value * twipsPerUnit / twipsPerPixel;
  if (!std::isfinite(pixels)) {
    return std::nullopt;
  }
  return static_cast<int>(roundHalfEven(std::clamp(pixels, -kPixelLimit, kPixelLimit)));
}

// Draws the pixels from (x0, y0) toward (x1, y1), leaving out (x1, y1), merging the pixels of
// each step along the major axis into one rectangle.
void fillLinePixels(QPainter& painter, const QColor& colour, int x0, int y0, int x1, int y1) {
  if (x0 == x1 && y0 == y1) {
    return;
  }
  if (y0 == y1) {
    const int from = x0 < x1 ? x0 : x1 + 1;
    const int to = x0 < x1 ? x1 - 1 : x0;
    painter.fillRect(QRect(from, y0, to - from + 1, 1), colour);
    return;
  }
  if (x0 == x1) {
    const int from = y0 < y1 ? y0 : y1 + 1;
    const int to = y0 < y1 ? y1 - 1 : y0;
    painter.fillRect(QRect(x0, from, 1, to - from + 1), colour);
    return;
  }
  const int dx = std::abs(x1 - x0);
  const int dy = -std::abs(y1 - y0);
  const int sx = x0 < x1 ? 1 : -1;
  const int sy = y0 < y1 ? 1 : -1;
  const bool xMajor = dx >= -dy;
  long long err = static_cast<long long>(dx) + dy;
  int x = x0;
  int y = y0;
  QRect run(x, y, 1, 1);
  while (true) {
    const long long e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y += sy;
    }
    if (x == x1 && y == y1) {
      break;
    }
    const bool extends = xMajor ? y == run.top() : x == run.left();
    if (extends) {
      run = run.united(QRect(x, y, 1, 1));
    } else {
      painter.fillRect(run, colour);
      run = QRect(x, y, 1, 1);
    }
  }
  painter.fillRect(run, colour);
}

void fillOutlinePixels(QPainter& painter, const QColor& colour, int x0, int y0, int x1, int y1) {
  const int left = std::min(x0, x1);
  const int right = std::max(x0, x1);
  const int top = std::min(y0, y1);
  const int bottom = std::max(y0, y1);
  const int width = right - left + 1;
  painter.fillRect(QRect(left, top, width, 1), colour);
  if (bottom > top) {
    painter.fillRect(QRect(left, bottom, width, 1), colour);
  }
  if (bottom - top > 1) {
    painter.fillRect(QRect(left, top + 1, 1, bottom - top - 1), colour);
    if (right > left) {
      painter.fillRect(QRect(right, top + 1, 1, bottom - top - 1), colour);
    }
  }
}

double twipsPerUnit(int16_t scaleMode, bool horizontal, TwipsPerPixel twipsPerPixel) {
  switch (scaleMode) {
    case kScalePixels:
      return horizontal ? twipsPerPixel.x : twipsPerPixel.y;
    case kScaleTwips:
      return 1;
    case kScalePoints:
      return 20;
    case kScaleCharacters:
      return horizontal ? 120 : 240;
    case kScaleInches:
      return 1440;
    case kScaleMillimetres:
      return 1440 / 25.4;
    case kScaleCentimetres:
      return 1440 / 2.54;
    default:
      return 0;  // setScaleMode lets no other mode in
  }
}

}  // namespace

QtBorderCanvas::QtBorderCanvas(QPainter& painter, int16_t scaleMode, TwipsPerPixel twipsPerPixel)
    : painter_(painter),
      scaleMode_(kScaleTwips),
      twipsPerPixel_{std::max<int16_t>(twipsPerPixel.x, 1), std::max<int16_t>(twipsPerPixel.y, 1)} {
  setScaleMode(scaleMode);
}

void QtBorderCanvas::setScaleMode(int16_t mode) {
  if (mode < kScaleTwips || mode > kScaleCentimetres) {
    throw std::invalid_argument("QtBorderCanvas: ScaleMode " + std::to_string(mode) +
                                " is not supported; use 1 (twips) to 7 (centimetres)");
  }
  scaleMode_ = mode;
}

double QtBorderCanvas::twipsPerUnitX() const {
  return twipsPerUnit(scaleMode_, true, twipsPerPixel_);
}
double QtBorderCanvas::twipsPerUnitY() const {
  return twipsPerUnit(scaleMode_, false, twipsPerPixel_);
}

void QtBorderCanvas::Line(double x1, double y1, double x2, double y2, Colour colour,
                          LineForm form) {
  const double unitX = twipsPerUnitX();
  const double unitY = twipsPerUnitY();
  const auto px1 = toPixel(x1, unitX, twipsPerPixel_.x);
  const auto py1 = toPixel(y1, unitY, twipsPerPixel_.y);
  const auto px2 = toPixel(x2, unitX, twipsPerPixel_.x);
  const auto py2 = toPixel(y2, unitY, twipsPerPixel_.y);
  if (!px1 || !py1 || !px2 || !py2) {
    return;
  }
  const QColor qcolour = toQColor(colour, QGuiApplication::palette());
  if (form == LineForm::kOutline) {
    fillOutlinePixels(painter_, qcolour, *px1, *py1, *px2, *py2);
  } else {
    fillLinePixels(painter_, qcolour, *px1, *py1, *px2, *py2);
  }
}

QColor toQColor(Colour colour, const QPalette& palette) {
  if ((colour & kSystemColourFlag) == 0) {
    return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                  static_cast<int>((colour >> 16) & 0xFF));
  }
  const auto role = [&](QPalette::ColorRole r) { return palette.color(QPalette::Active, r); };
  switch (colour & 0x00FFFFFFu) {
    case 0:   // scroll bar
    case 10:  // active border
    case 11:  // inactive border
    case 15:  // button face
      return role(QPalette::Button);
    case 1:   // desktop
    case 12:  // application workspace
      return role(QPalette::Mid);
    case 2:   // active caption
    case 13:  // selection
    case 27:  // active caption gradient
    case 29:  // menu selection
      return role(QPalette::Highlight);
    case 3:   // inactive caption
    case 28:  // inactive caption gradient
      return palette.color(QPalette::Inactive, QPalette::Highlight);
    case 4:   // menu
    case 30:  // menu bar
      return role(QPalette::Window);
    case 5:  // window background
      return role(QPalette::Base);
    case 6:  // window frame
    case 7:  // menu text
      return role(QPalette::WindowText);
    case 8:  // window text
      return role(QPalette::Text);
    case 9:   // caption text
    case 14:  // selected text
      return role(QPalette::HighlightedText);
    case 16:  // button shadow
      return role(QPalette::Dark);
    case 17:  // grey (disabled) text
      return palette.color(QPalette::Disabled, QPalette::Text);
    case 18:  // button text
      return role(QPalette::ButtonText);
    case 19:  // inactive caption text
      return palette.color(QPalette::Inactive, QPalette::HighlightedText);
    case 20:  // 3D highlight
      return role(QPalette::Light);
    case 21:  // 3D dark shadow
      return role(QPalette::Shadow);
    case 22:  // 3D light
      return role(QPalette::Midlight);
    case 23:  // tooltip text
      return role(QPalette::ToolTipText);
    case 24:  // tooltip background
      return role(QPalette::ToolTipBase);
    case 26:  // hot-tracked item
      return role(QPalette::Link);
    default:
      return QColor(Qt::black);
  }
}

}  // namespace vistrel::border
