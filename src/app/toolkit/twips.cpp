#include "app/toolkit/twips.h"

#include <cmath>

#include "common/twips.h"

namespace vistrel::toolkit {
using common::twipsPerPixel;

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
