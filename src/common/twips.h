#pragma once
// How many twips (1/1440 inch) one screen pixel measures, as the window reads it from its screen
// (its layout and preview, the thumbnails' fit, the border painter). vistrel-batch, which has no
// screen, fits thumbnails at kTwipsPerPixelAt96Dpi.

namespace vistrel::common {

// A 96 DPI screen's: what vistrel-batch fits at, so its thumbnails come out as the window's do
// there.
inline constexpr double kTwipsPerPixelAt96Dpi = 15.0;

// 1440 divided by the primary screen's logical dots per inch (15 at 96 DPI), or the pinned
// value; kTwipsPerPixelAt96Dpi where there is no screen to ask.
double twipsPerPixel();

// Pins twipsPerPixel() to `value` (> 0), so that layouts and fits do not depend on the screen;
// 0 unpins. For tests and offscreen rendering.
void pinTwipsPerPixel(double value);

}  // namespace vistrel::common
