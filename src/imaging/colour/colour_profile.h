#pragma once
// Embedded colour profiles: decoded pixels are brought into sRGB, the colours browsers assume for
// an untagged thumbnail.

#include <cstdint>
#include <string_view>

#include "imaging/picture.h"

namespace vistrel::imaging {

// Converts `picture` (top-down BGR) from the colours the ICC profile `profile` describes to sRGB,
// in place. `grey` says the picture is a grey one expanded to three equal bytes, which a grey
// profile describes. Returns true when pixels were converted; false, with the picture unchanged,
// when the profile is empty, describes sRGB already (within one step of every channel), is
// damaged or does not describe pixels of this kind. Thread-safe; transforms are made once per
// distinct profile and shared by every thread.
bool convertToSrgb(Picture& picture, bool grey, std::string_view profile);

// Converts the CMYK pixels `cmyk` (out.width x out.height, 4 bytes a pixel, rows packed) that a
// CMYK profile describes into the top-down BGR `out` (sized by the caller). `inverted` says the
// inks are stored inverted, as Adobe's files do (255 = no ink). False, with `out` untouched, when
// the profile is not a usable CMYK profile. Thread-safe.
bool cmykToSrgb(const uint8_t* cmyk, bool inverted, std::string_view profile, Picture& out);

}  // namespace vistrel::imaging
