#pragma once
// Colour profiles for test pictures (lcms2), and the APP2 segments that carry them in a JPEG.

#include <lcms2.h>

#include <string>
#include <vector>

namespace vistrel::testing {

inline std::string saved(cmsHPROFILE profile) {
  cmsUInt32Number size = 0;
  cmsSaveProfileToMem(profile, nullptr, &size);
  std::string bytes(size, '\0');
  cmsSaveProfileToMem(profile, bytes.data(), &size);
  cmsCloseProfile(profile);
  return bytes;
}

// Display P3: sRGB's white point and tone curve, wider primaries.
inline std::string displayP3() {
  const cmsCIExyY white{0.3127, 0.3290, 1.0};
  const cmsCIExyYTRIPLE primaries{{0.680, 0.320, 1.0}, {0.265, 0.690, 1.0}, {0.150, 0.060, 1.0}};
  const double srgb[] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
  cmsToneCurve* curve = cmsBuildParametricToneCurve(nullptr, 4, srgb);
  cmsToneCurve* curves[3] = {curve, curve, curve};
  const std::string bytes = saved(cmsCreateRGBProfile(&white, &primaries, curves));
  cmsFreeToneCurve(curve);
  return bytes;
}

// APP2 segments carrying `profile` in `pieces` parts, listed in `order` (1-based sequence
// numbers; a number may be left out or repeated to damage the set).
inline std::string iccSegments(const std::string& profile, int pieces = 1,
                               const std::vector<int>& order = {1}) {
  const size_t part = (profile.size() + pieces - 1) / pieces;
  std::string out;
  for (int sequence : order) {
    const std::string piece = profile.substr((sequence - 1) * part, part);
    const size_t length = 2 + 12 + 2 + piece.size();
    out += "\xFF\xE2";
    out += static_cast<char>(length >> 8);
    out += static_cast<char>(length & 0xFF);
    out += std::string("ICC_PROFILE\0", 12);
    out += static_cast<char>(sequence);
    out += static_cast<char>(pieces);
    out += piece;
  }
  return out;
}

}  // namespace vistrel::testing
