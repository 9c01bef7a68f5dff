#pragma once
// A decoder for progressive JPEGs at 1/8 scale that reads only what that scale needs: at 1/8
// each 8 x 8 block becomes one pixel, its DC coefficient, and the DC coefficients travel in
// scans of their own, a small part of the file. libjpeg, even when given only those scans, keeps
// a buffer of every coefficient of the picture (tens of megabytes to clear for a large photo);
// this keeps one value a block.

#include <cstddef>
#include <cstdint>

namespace vistrel::imaging {

struct JpegHeader;

// Decodes data[0, size), whose headers are `header`, at 1/8 into `out`: BGR rows of
// ceil(width / 8) pixels, `pitch` bytes apart, the pixels libjpeg gives at that scale without
// block smoothing. Handles 8-bit Huffman-coded progressive grey, and YCbCr sampled 4:4:4, with or
// without restart markers; the AC scans are stepped over unread. False for anything else, and
// for a stream whose DC scans are damaged or cut short (the rows may then be half written):
// decode it with libjpeg then, which reports the fault.
bool decodeEighth(const uint8_t* data, size_t size, const JpegHeader& header, uint8_t* out,
                  size_t pitch);

}  // namespace vistrel::imaging
