#pragma once
// A decoder for the common JPEGs at 1/8 scale that reads only what that scale needs.
// At 1/8 each 8 x 8 block becomes one pixel, its DC coefficient; the AC coefficients must still
// be walked, since their codes fill the stream, but need not be valued or stored. That walk is
// most of the work, and a table that skips a coefficient's code and value bits in one step does
// it in about half the time of the general decoder, which values every coefficient.

#include <cstddef>
#include <cstdint>

namespace vistrel::imaging {

struct JpegHeader;

// Decodes data[0, size), whose headers are `header`, at 1/8 into `out`: BGR rows of
// ceil(width / 8) pixels, `pitch` bytes apart, the pixels libjpeg gives at that scale without
// block smoothing. Handles 8-bit Huffman-coded grey and YCbCr: baseline in one interleaved scan,
// sampled 4:4:4 or 4:2:0; progressive sampled 4:4:4, whose AC scans it steps over unread; with
// or without restart markers. False for anything else, and for any stream that is damaged or
// cut short (the rows may then be half written): decode it with the general decoder, which
// reports the fault.
bool decodeEighth(const uint8_t* data, size_t size, const JpegHeader& header, uint8_t* out,
                  size_t pitch);

}  // namespace vistrel::imaging
