#pragma once
// The EXIF orientation tag and turning a picture upright by it.

#include <cstddef>
#include <cstdint>

#include "imaging/picture.h"

namespace vistrel::imaging {

// The orientation (1-8, as the tag defines them) stored in the IFD0 of an EXIF block: `data`
// points just after the "Exif\0\0" identifier of the APP1 segment (at the TIFF header) and
// `size` is the bytes available. 1 (upright) when the block has no valid tag or is damaged;
// never reads outside [data, data + size).
int exifOrientation(const uint8_t* data, size_t size);

// Whether an orientation stores the picture turned by a quarter (width and height swap).
inline bool swapsAxes(int orientation) {
  return orientation >= 5 && orientation <= 8;
}

// The picture as it is meant to be seen: `stored` transformed by `orientation` (1-8; anything
// else leaves it as it is). The result is tightly packed (stride 3 * width).
Picture applyOrientation(Picture stored, int orientation);

}  // namespace vistrel::imaging
