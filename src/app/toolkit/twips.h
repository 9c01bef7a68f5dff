#pragma once
// Controls are placed in twips (1440 to the inch); the screen converts them to pixels.

#include <QRect>

namespace vistrel::toolkit {

// Twips in one screen pixel: 1440 divided by the primary screen's logical dots per inch (15 at
// 96 DPI), or the pinned value.
double twipsPerPixel();

// Pins twipsPerPixel() to `value` (> 0), so that layouts and fits do not depend on the screen;
// 0 unpins. For tests and offscreen rendering.
void pinTwipsPerPixel(double value);

// A length in twips as whole pixels, rounded to the nearest.
int pixels(double twips);

// A rectangle given in twips as (left, top, width, height), in pixels.
QRect twipsRect(double left, double top, double width, double height);

}  // namespace vistrel::toolkit
