#pragma once
// How many twips (1/1440 inch) one screen pixel measures.

#include <cstdint>

namespace vistrel::border {

struct TwipsPerPixel {
  int16_t x = 15;
  int16_t y = 15;
};

// 1440 divided by the primary screen's logical dots per inch, rounded half-even, at least 1;
// 15 by 15 (96 dots per inch) when there is no screen to ask.
TwipsPerPixel screenTwipsPerPixel();

}  // namespace vistrel::border
