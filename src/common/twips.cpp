#include "common/twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <atomic>

namespace vistrel::common {

namespace {
std::atomic<double> pinned{0};
}

double twipsPerPixel() {
  if (const double p = pinned.load(); p > 0) {
    return p;
  }
  const QScreen* screen = QGuiApplication::primaryScreen();
  const double dpi = screen != nullptr ? screen->logicalDotsPerInchY() : 0;
  return dpi > 0 ? 1440.0 / dpi : kTwipsPerPixelAt96Dpi;
}

void pinTwipsPerPixel(double value) {
  pinned.store(value > 0 ? value : 0);
}

}  // namespace vistrel::common
