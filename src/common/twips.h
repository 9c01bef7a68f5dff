#pragma once
// How many twips (1/1440 inch) one screen pixel measures: the one place every module reads it
// (the window's layout and preview, the thumbnails' fit, the border painter, vistrel-batch).

namespace vistrel::common {

// 1440 divided by the primary screen's logical dots per inch (15 at 96 DPI), or the pinned
// value. 15 where there is no screen to ask: vistrel-batch, which has no window, then fits
// thumbnails exactly as the window does on a 96 DPI screen.
double twipsPerPixel();

// Pins twipsPerPixel() to `value` (> 0), so that layouts and fits do not depend on the screen;
// 0 unpins. For tests and offscreen rendering.
void pinTwipsPerPixel(double value);

}  // namespace vistrel::common
