#pragma once
// JPEG decoding through TurboJPEG, shrinking in the DCT when only a smaller picture is needed.

#include <cstddef>
#include <cstdint>
#include <string>

#include "imaging/picture.h"

namespace vistrel::imaging {

// A decoder scale num/den (<= 1).
struct ShrinkFactor {
  int num = 1;
  int den = 1;
};

// How many times the least size a shrunk decode keeps on each side (see jpeg_decode.cpp).
constexpr int kShrinkMargin = 2;

// The strongest of the shrinks 1/2, 1/4 and 1/8 that keeps a stored width x height picture at least
// kShrinkMargin times leastWidth x leastHeight on both sides (sizes in the stored orientation);
// 1/1 when no least size is asked (either side <= 0) or the picture is already smaller than that.
ShrinkFactor chooseShrink(int width, int height, int leastWidth, int leastHeight);

// The size a side of `size` pixels decodes to at `factor` (rounded up, as the decoder does).
int shrunkSize(int size, ShrinkFactor factor);

// Format and natural size of the JPEG in data[0, size): the headers only. `file` names it in
// errors. `size` may cover only the file's start; Truncated-type errors then mean "read more".
ProbeResult probeJpeg(const uint8_t* data, size_t size, const std::string& file);

// The memory decodeJpeg needs at the most for these bytes and least size (coefficients of a
// progressive file, the decoder's output and the picture); 0 when the header cannot be read.
int64_t jpegDecodeMemory(const uint8_t* data, size_t size, int leastWidth, int leastHeight);

// Decodes the whole JPEG in data[0, size) upright (EXIF orientation applied), shrunk by
// chooseShrink for the least size given in the natural orientation, in sRGB when it carries a
// usable colour profile. Thread-safe.
LoadResult decodeJpeg(const uint8_t* data, size_t size, const std::string& file, int leastWidth,
                      int leastHeight);

}  // namespace vistrel::imaging
