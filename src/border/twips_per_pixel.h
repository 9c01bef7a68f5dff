#pragma once
// Twips per pixel as the border painter counts them: whole numbers.

#include <cstdint>

namespace vistrel::border {

struct TwipsPerPixel {
  int16_t x = 15;
  int16_t y = 15;
};

// common::twipsPerPixel() rounded half-even, at least 1, the same both ways.
TwipsPerPixel screenTwipsPerPixel();

}  // namespace vistrel::border
