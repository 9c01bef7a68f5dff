// Pictures carrying colour profiles come out in sRGB; profiles that cannot be used change nothing.
#include <gtest/gtest.h>
#include <lcms2.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "imaging/picture.h"
#include "support/colour_profiles.h"
#include "support/picture_maker.h"
#include "support/temp_folder.h"

namespace vistrel::imaging {
namespace {

using vistrel::testing::Bgr;
using vistrel::testing::Colours;
using vistrel::testing::displayP3;
using vistrel::testing::iccSegments;
using vistrel::testing::saved;

// A grey profile with a linear response: grey level v means v / 255 of the light.
std::string linearGrey() {
  cmsToneCurve* linear = cmsBuildGamma(nullptr, 1.0);
  const std::string bytes = saved(cmsCreateGrayProfile(cmsD50_xyY(), linear));
  cmsFreeToneCurve(linear);
  return bytes;
}

// A CMYK input profile whose inks mean what the untagged decode takes them to mean
// (red = (1 - c)(1 - k), ...), so the expected colours are the plain ones.
std::string plainCmyk() {
  cmsHPROFILE srgb = cmsCreate_sRGBProfile();
  cmsHPROFILE lab = cmsCreateLab4Profile(nullptr);
  cmsHTRANSFORM toLab =
      cmsCreateTransform(srgb, TYPE_RGB_16, lab, TYPE_Lab_16, INTENT_RELATIVE_COLORIMETRIC, 0);
  cmsHPROFILE profile = cmsCreateProfilePlaceholder(nullptr);
  cmsSetProfileVersion(profile, 4.3);
  cmsSetDeviceClass(profile, cmsSigInputClass);
  cmsSetColorSpace(profile, cmsSigCmykData);
  cmsSetPCS(profile, cmsSigLabData);
  cmsPipeline* pipeline = cmsPipelineAlloc(nullptr, 4, 3);
  cmsStage* grid = cmsStageAllocCLut16bit(nullptr, 9, 4, 3, nullptr);
  cmsStageSampleCLut16bit(
      grid,
      [](const cmsUInt16Number in[], cmsUInt16Number out[], void* transform) -> cmsInt32Number {
        cmsUInt16Number rgb[3];
        for (int i = 0; i < 3; ++i) {
          rgb[i] = static_cast<cmsUInt16Number>((65535.0 - in[i]) * (65535.0 - in[3]) / 65535.0);
        }
        cmsDoTransform(static_cast<cmsHTRANSFORM>(transform), rgb, out, 1);
        return 1;
      },
      toLab, 0);
  cmsPipelineInsertStage(pipeline, cmsAT_BEGIN, grid);
  cmsWriteTag(profile, cmsSigAToB0Tag, pipeline);
  cmsWriteTag(profile, cmsSigMediaWhitePointTag, cmsD50_XYZ());
  cmsPipelineFree(pipeline);
  cmsDeleteTransform(toLab);
  cmsCloseProfile(lab);
  cmsCloseProfile(srgb);
  return saved(profile);
}

double toLinear(double v) {
  return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}
int toSrgb(double linear) {
  linear = std::clamp(linear, 0.0, 1.0);
  const double v = linear <= 0.0031308 ? 12.92 * linear : 1.055 * std::pow(linear, 1 / 2.4) - 0.055;
  return static_cast<int>(std::lround(255 * v));
}

// Display P3 to sRGB by the published linear-light matrix, independent of the library.
Bgr p3ToSrgb(Bgr c) {
  const double m[3][3] = {
      {1.2249, -0.2247, 0.0}, {-0.0420, 1.0419, 0.0}, {-0.0197, -0.0786, 1.0979}};
  const double lin[3] = {toLinear(c.r / 255.0), toLinear(c.g / 255.0), toLinear(c.b / 255.0)};
  auto out = [&](int i) { return toSrgb(m[i][0] * lin[0] + m[i][1] * lin[1] + m[i][2] * lin[2]); };
  return {out(2), out(1), out(0)};
}

// A row of 16 x 16 patches, one per colour, as a fine 4:4:4 JPEG (or a grey one).
std::string patchesJpeg(const Colours& colours, bool grey = false) {
  const Picture p = vistrel::testing::painted(16 * static_cast<int>(colours.size()), 16,
                                              [&](int x, int) { return colours[x / 16]; });
  return grey ? vistrel::testing::libjpegEncode(p, {.quality = 100, .grey = true})
              : vistrel::testing::tjEncode(p, 100, TJSAMP_444);
}

// Each kind of picture with each kind of profile: whole, split and damaged.
TEST(ColourProfile, PicturesComeOutInSrgb) {
  const Colours colours = {
      {100, 120, 180}, {70, 160, 90}, {200, 90, 60}, {128, 128, 128}, {190, 225, 235}};
  const Colours greys = {{0, 0, 0}, {64, 64, 64}, {128, 128, 128}, {255, 255, 255}};
  const std::vector<std::array<int, 4>> inks = {{0, 0, 0, 0},   {0, 255, 255, 0},
                                                {255, 0, 0, 0}, {0, 0, 0, 255},
                                                {0, 128, 0, 0}, {64, 32, 200, 40}};
  const Colours inked = {{255, 255, 255}, {0, 0, 255},     {255, 255, 0},
                         {0, 0, 0},       {255, 127, 255}, {46, 188, 161}};
  Colours wide, brighter;
  for (const Bgr& c : colours) {
    wide.push_back(p3ToSrgb(c));
  }
  // A linear grey profile: level v is v / 255 of the light, which sRGB encodes brighter.
  for (const Bgr& g : greys) {
    const int v = toSrgb(g.g / 255.0);
    brighter.push_back({v, v, v});
  }
  const std::string colour = patchesJpeg(colours), grey = patchesJpeg(greys, true);
  const std::string adobe = vistrel::testing::cmykPatchesJpeg(inks, true, false, 100);
  const std::string plain = vistrel::testing::cmykPatchesJpeg(inks, false, false, 100);
  const std::string ycck = vistrel::testing::cmykPatchesJpeg(inks, true, true, 100);
  const std::string p3 = displayP3(), cmyk = iccSegments(plainCmyk());
  std::string scrambled = p3;
  for (size_t i = 128; i < scrambled.size(); i += 7) {
    scrambled[i] = static_cast<char>(scrambled[i] ^ 0x5A);
  }
  const struct {
    const char* what;
    const std::string& jpeg;
    std::string segments;
    const Colours& expected;
    int tolerance;
  } cases[] = {
      // Within 2 steps of the matrix arithmetic (the file's own rounding is in the 4:4:4 JPEG).
      {"P3", colour, iccSegments(p3), wide, 2},
      {"P3 in three pieces", colour, iccSegments(p3, 3, {1, 2, 3}), wide, 2},
      {"P3 in pieces out of order", colour, iccSegments(p3, 3, {3, 1, 2}), wide, 2},
      // Profiles that change nothing or cannot be used leave the pixels.
      {"untagged", colour, "", colours, 2},
      {"sRGB", colour, iccSegments(saved(cmsCreate_sRGBProfile())), colours, 2},
      {"truncated profile", colour, iccSegments(p3.substr(0, p3.size() / 2)), colours, 2},
      {"scrambled profile", colour, iccSegments(scrambled), colours, 2},
      {"not a profile", colour, iccSegments(std::string(500, 'x')), colours, 2},
      {"a piece missing", colour, iccSegments(p3, 3, {1, 3}), colours, 2},
      {"a piece twice", colour, iccSegments(p3, 2, {1, 1}), colours, 2},
      {"a grey profile on a colour picture", colour, iccSegments(linearGrey()), colours, 2},
      {"a CMYK profile on a colour picture", colour, cmyk, colours, 2},
      {"untagged grey", grey, "", greys, 1},
      {"linear grey profile", grey, iccSegments(linearGrey()), brighter, 2},
      {"P3 on grey (its greys are sRGB greys)", grey, iccSegments(p3), greys, 2},
      // The profile's grid is coarse (9 points an ink): a few steps off the exact products.
      {"Adobe CMYK", adobe, "", inked, 3},
      {"plain CMYK", plain, "", inked, 3},
      {"Adobe YCCK", ycck, "", inked, 3},  // YCCK is only recognised under the Adobe marker
      {"Adobe CMYK with its profile", adobe, cmyk, inked, 5},
      {"plain CMYK with its profile", plain, cmyk, inked, 5},
      // An RGB profile cannot describe inks: the plain conversion.
      {"Adobe CMYK with an RGB profile", adobe, iccSegments(p3), inked, 3},
      {"plain CMYK with an RGB profile", plain, iccSegments(p3), inked, 3},
  };
  vistrel::testing::TempFolder folder;
  for (const auto& c : cases) {
    const auto file = folder.write("t.jpg", vistrel::testing::withSegment(c.jpeg, c.segments));
    const LoadResult loaded = load(file);
    ASSERT_TRUE(loaded.ok) << c.what << ": " << loaded.error.reason;
    EXPECT_EQ(loaded.warning, "") << c.what;
    EXPECT_PRED3(vistrel::testing::near,
                 vistrel::testing::patches(loaded.picture, static_cast<int>(c.expected.size())),
                 c.expected, c.tolerance)
        << c.what;
  }
}

}  // namespace
}  // namespace vistrel::imaging
