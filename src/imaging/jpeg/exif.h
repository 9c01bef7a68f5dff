#pragma once
// The EXIF orientation tag and turning a picture upright by it, and whether a picture's EXIF
// records where it was taken.

#include <cstddef>
#include <cstdint>

#include "imaging/picture.h"

namespace vistrel::imaging {

// The orientation (1-8, as the tag defines them) stored in the IFD0 of an EXIF block: `data`
// points just after the "Exif\0\0" identifier of the APP1 segment (at the TIFF header) and
// `size` is the bytes available. 1 (upright) when the block has no valid tag or is damaged;
// never reads outside [data, data + size).
int exifOrientation(const uint8_t* data, size_t size);

// Whether an EXIF block (`data` at its TIFF header, as above) records a GPS position: IFD0 points
// to a GPS IFD (tag 0x8825) holding a latitude or longitude whose values lie in the block. False
// when it does not or the block is damaged; never reads outside [data, data + size).
bool exifHasLocation(const uint8_t* data, size_t size);

// Whether the JPEG stream whose first `size` bytes are `data` records a GPS position in an EXIF
// (APP1) segment before its first scan. Only the head need be given: a segment the data ends
// inside is read as far as it goes. False for anything that is no JPEG.
bool jpegHasLocation(const uint8_t* data, size_t size);

// Whether an orientation stores the picture turned by a quarter (width and height swap).
inline bool swapsAxes(int orientation) {
  return orientation >= 5 && orientation <= 8;
}

// The picture as it is meant to be seen: `stored` transformed by `orientation` (1-8; anything
// else leaves it as it is). The result is tightly packed (stride 3 * width).
Picture applyOrientation(Picture stored, int orientation);

}  // namespace vistrel::imaging
