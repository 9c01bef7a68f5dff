#pragma once
// Scales a whole decoded picture to an exact size: the thumbnail's "the whole picture fills the
// X x Y bitmap" step. A separable Catmull-Rom filter whose support widens with the reduction,
// so shrinking averages every source pixel (no aliasing) and enlarging interpolates smoothly.

#include <cstdint>

#include "imaging/picture.h"

namespace vistrel::imaging {

// Scales all of `source` (top-down BGR, any size >= 1 x 1) to exactly destWidth x destHeight
// pixels (both >= 1) into `dest`, a caller-owned buffer of at least destStride * destHeight
// bytes, destStride >= 3 * destWidth. Rows are written top-down, or bottom-up (the first row in
// memory is the picture's bottom row, as in a cDIBSection) when `destBottomUp`. Bytes between
// 3 * destWidth and destStride are left as they are. Throws std::invalid_argument for an empty
// source, sizes < 1 or a stride that is too small. Thread-safe: the filters and scratch buffers
// it reuses between calls are per thread. The same arguments give the same bytes on any thread.
void stretchInto(const Picture& source, uint8_t* dest, int destWidth, int destHeight,
                 int destStride, bool destBottomUp);

// The same into a new top-down picture of width x height with stride 3 * width.
Picture stretch(const Picture& source, int width, int height);

}  // namespace vistrel::imaging
