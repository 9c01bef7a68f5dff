#pragma once
// Decoded RGB or RGBA rows into a picture, see-through pixels laid on white: the renditions are
// JPEG, which has no transparency, and white is what a page shows behind a picture.

#include <cstddef>
#include <cstdint>

#include "imaging/picture.h"

namespace vistrel::imaging {

// The `width` x `height` pixels at `rows`, `stride` bytes apart, one byte a channel in the order
// R, G, B (then A when `alpha`; not premultiplied), as a top-down BGR picture.
Picture pictureOverWhite(const uint8_t* rows, int width, int height, size_t stride, bool alpha);

}  // namespace vistrel::imaging
