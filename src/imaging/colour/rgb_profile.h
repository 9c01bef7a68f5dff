#pragma once
// Colours described by numbers rather than an ICC profile (HEIF's nclx, PNG's gAMA and cHRM):
// the profile they amount to, so they reach sRGB by the same path as an embedded profile.

#include <string>

namespace vistrel::imaging {

// How a stored value becomes light.
enum class ToneCurve {
  Srgb,    // the sRGB curve
  Bt709,   // the video curve of BT.709, BT.601 and BT.2020
  Power,   // light = value ^ exponent
  Linear,  // light = value
};

// An RGB colour space by its chromaticities (CIE x, y) and tone curve. The defaults are sRGB's.
struct RgbSpace {
  double whiteX = 0.3127, whiteY = 0.3290;
  double redX = 0.64, redY = 0.33;
  double greenX = 0.30, greenY = 0.60;
  double blueX = 0.15, blueY = 0.06;
  ToneCurve curve = ToneCurve::Srgb;
  double exponent = 2.2;  // for ToneCurve::Power
};

// The ICC profile of `space`, for convertToSrgb; the same bytes for the same space, so its
// conversion is made once. "" when the numbers describe no usable space (a chromaticity out of
// range, an exponent outside 0.1 to 10).
std::string rgbProfile(const RgbSpace& space);

}  // namespace vistrel::imaging
