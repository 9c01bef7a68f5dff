#pragma once
// A decoded HEIF picture's YCbCr planes shrunk to block means before they become RGB: a thumbnail
// needs a sixteenth of the pixels or fewer, and converting only those is most of libheif's own
// conversion saved.

#include <libheif/heif.h>

#include "imaging/picture.h"

namespace vistrel::imaging {

// `image` (YCbCr 4:2:0, 4:2:2 or 4:4:4, or monochrome; 8 to 12 bits) shrunk by `shrink` (2, 4 or
// 8) to block means and converted to BGR by the matrix and range `nclx` names (BT.601 full range
// when null, as libheif takes it). False, with `out` untouched, for any other kind of planes or
// matrix.
bool shrunkFromYcbcr(const heif_image* image, const heif_color_profile_nclx* nclx, int shrink,
                     Picture& out);

}  // namespace vistrel::imaging
