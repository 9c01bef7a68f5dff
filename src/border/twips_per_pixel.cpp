#include "border/twips_per_pixel.h"

#include <algorithm>

#include "common/numbers.h"
#include "common/twips.h"

namespace vistrel::border {
using common::roundHalfEven;
using common::twipsPerPixel;

TwipsPerPixel screenTwipsPerPixel() {
  // A pixel thinner than a twip still has to advance coordinates, or every ring lands on one line.
  const auto whole = static_cast<int16_t>(std::clamp(roundHalfEven(twipsPerPixel()), 1.0, 1440.0));
  return {whole, whole};
}

}  // namespace vistrel::border
