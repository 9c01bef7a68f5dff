#include "border/twips_per_pixel.h"

#include <QGuiApplication>
#include <QScreen>
#include <algorithm>

#include "common/numbers.h"

namespace vistrel::border {
using common::roundHalfEven;

namespace {
int16_t twipsFor(double dotsPerInch) {
  if (!(dotsPerInch > 0)) {
    return 15;
  }
  // A pixel thinner than a twip still has to advance coordinates, or every ring lands on one line.
  return static_cast<int16_t>(std::clamp(roundHalfEven(1440.0 / dotsPerInch), 1.0, 1440.0));
}
}  // namespace

TwipsPerPixel screenTwipsPerPixel() {
  if (QGuiApplication::instance() == nullptr) {
    return {};
  }
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) {
    return {};
  }
  return {twipsFor(screen->logicalDotsPerInchX()), twipsFor(screen->logicalDotsPerInchY())};
}

}  // namespace vistrel::border
