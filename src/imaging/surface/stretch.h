#pragma once
// Scales a whole decoded picture to an exact size: the thumbnail's "the whole picture fills the
// X x Y bitmap" step. A separable filter whose support widens with the reduction, so shrinking
// weighs every source pixel (no aliasing) and enlarging interpolates smoothly.

#include <cstdint>

#include "imaging/picture.h"

namespace vistrel::imaging {

// The kernel of the stretch. Lanczos-3 is what thumbnails use: measured by bench/quality.sh on
// the wallpaper photos (PSNR of luma at quality 65 against a Lanczos-3 downscale of the full
// decode), from the same 1/2 to 1/8 decodes it gave 36.39 dB against Catmull-Rom's 36.08, and
// Lanczos-2 trailed it by 0.3 dB too; a sharpened Lanczos-3 (support narrowed 5 to 15%) or a
// Lanczos-4 did no better (36.40 to 36.13, 36.37). The others stay for that comparison.
enum class StretchFilter { Lanczos3, Lanczos2, CatmullRom };

// `blockMeans`: the source is a 1/8 DCT-scaled decode, each pixel the mean of an 8 x 8 block;
// the stretch then undoes that averaging, for the detail a full decode would have given.
//
// Scales all of `source` (top-down BGR, any size >= 1 x 1) to exactly destWidth x destHeight
// pixels (both >= 1) into `dest`, a caller-owned buffer of at least destStride * destHeight
// bytes, destStride >= 3 * destWidth. Rows are written top-down, or bottom-up (the first row in
// memory is the picture's bottom row, as in a cDIBSection) when `destBottomUp`. Bytes between
// 3 * destWidth and destStride are left as they are. Throws std::invalid_argument for an empty
// source, sizes < 1 or a stride that is too small. Thread-safe: the filters and scratch buffers
// it reuses between calls are per thread. The same arguments give the same bytes on any thread.
void stretchInto(const Picture& source, uint8_t* dest, int destWidth, int destHeight,
                 int destStride, bool destBottomUp, StretchFilter filter = StretchFilter::Lanczos3,
                 bool blockMeans = false);

// The same into a new top-down picture of width x height with stride 3 * width.
Picture stretch(const Picture& source, int width, int height,
                StretchFilter filter = StretchFilter::Lanczos3, bool blockMeans = false);

}  // namespace vistrel::imaging
