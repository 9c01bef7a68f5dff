#include "imaging/colour/rgb_profile.h"

#include <lcms2.h>

#include <array>
#include <cmath>
#include <cstring>
#include <memory>

namespace vistrel::imaging {

namespace {

struct CurveFree {
  void operator()(cmsToneCurve* c) const { cmsFreeToneCurve(c); }
};
using Curve = std::unique_ptr<cmsToneCurve, CurveFree>;

struct ProfileFree {
  void operator()(void* p) const { cmsCloseProfile(p); }
};

bool usable(double x, double y) {
  return std::isfinite(x) && std::isfinite(y) && x > 0 && y > 0 && x < 1 && y < 1 && x + y <= 1;
}

Curve curveOf(const RgbSpace& s) {
  switch (s.curve) {
    case ToneCurve::Srgb: {
      const cmsFloat64Number p[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
      return Curve(cmsBuildParametricToneCurve(nullptr, 4, p));
    }
    case ToneCurve::Bt709: {
      const cmsFloat64Number p[5] = {1 / 0.45, 1 / 1.099, 0.099 / 1.099, 1 / 4.5, 0.081};
      return Curve(cmsBuildParametricToneCurve(nullptr, 4, p));
    }
    case ToneCurve::Power:
      return Curve(cmsBuildGamma(nullptr, s.exponent));
    case ToneCurve::Linear:
      return Curve(cmsBuildGamma(nullptr, 1.0));
  }
  return nullptr;
}

}  // namespace

std::string rgbProfile(const RgbSpace& s) {
  if (!usable(s.whiteX, s.whiteY) || !usable(s.redX, s.redY) || !usable(s.greenX, s.greenY) ||
      !usable(s.blueX, s.blueY) ||
      (s.curve == ToneCurve::Power && !(s.exponent >= 0.1 && s.exponent <= 10))) {
    return {};
  }
  const Curve curve = curveOf(s);
  if (!curve) {
    return {};
  }
  const cmsCIExyY white{s.whiteX, s.whiteY, 1};
  const cmsCIExyYTRIPLE primaries{
      {s.redX, s.redY, 1}, {s.greenX, s.greenY, 1}, {s.blueX, s.blueY, 1}};
  cmsToneCurve* curves[3] = {curve.get(), curve.get(), curve.get()};
  const std::unique_ptr<void, ProfileFree> profile(cmsCreateRGBProfile(&white, &primaries, curves));
  cmsUInt32Number length = 0;
  if (!profile || !cmsSaveProfileToMem(profile.get(), nullptr, &length) || length < 128) {
    return {};
  }
  std::string bytes(length, '\0');
  if (!cmsSaveProfileToMem(profile.get(), bytes.data(), &length)) {
    return {};
  }
  // The header's date is the moment it was made; without it the same space gives the same
  // bytes, and the conversion cache keyed by them finds it again.
  std::memset(bytes.data() + 24, 0, 12);
  return bytes;
}

}  // namespace vistrel::imaging
