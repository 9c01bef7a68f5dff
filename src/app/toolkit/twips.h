#pragma once
// Controls are placed in twips (1440 to the inch); the screen converts them to pixels at
// common::twipsPerPixel().

#include <QRect>

namespace vistrel::toolkit {

// A length in twips as whole pixels, rounded to the nearest.
int pixels(double twips);

// A rectangle given in twips as (left, top, width, height), in pixels.
QRect twipsRect(double left, double top, double width, double height);

}  // namespace vistrel::toolkit
