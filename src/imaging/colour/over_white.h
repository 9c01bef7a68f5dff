#pragma once
// Decoded RGB or RGBA rows into a picture, see-through pixels laid on white: the renditions are
// JPEG, which has no transparency, and white is what a page shows behind a picture.

#include <cstddef>
#include <cstdint>

#include "imaging/picture.h"

namespace vistrel::imaging {

// The `width` x `height` pixels at `rows`, `stride` bytes apart, one byte a channel in the order
// R, G, B (then A when `alpha`; not premultiplied), as a top-down BGR picture. With `shrink` > 1
// each picture pixel is the mean of a block of `shrink` x `shrink` (cut at the right and bottom
// edges), as a JPEG's DCT shrink gives: a picture only a thumbnail needs is stretched from far
// fewer pixels.
Picture pictureOverWhite(const uint8_t* rows, int width, int height, size_t stride, bool alpha,
                         int shrink = 1);

}  // namespace vistrel::imaging
