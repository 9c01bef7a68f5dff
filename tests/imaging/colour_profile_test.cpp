// Pictures carrying colour profiles come out in sRGB; profiles that cannot be used change nothing.
#include <gtest/gtest.h>
#include <lcms2.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "imaging/picture.h"
#include "imaging/picture_maker.h"
#include "support/temp_folder.h"

namespace vistrel::imaging {
namespace {

using vistrel::testing::TempFolder;
using Rgb = std::array<int, 3>;

std::string saved(cmsHPROFILE profile) {
  cmsUInt32Number size = 0;
  cmsSaveProfileToMem(profile, nullptr, &size);
  std::string bytes(size, '\0');
  cmsSaveProfileToMem(profile, bytes.data(), &size);
  cmsCloseProfile(profile);
  return bytes;
}

cmsToneCurve* srgbCurve() {
  const double params[] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
  return cmsBuildParametricToneCurve(nullptr, 4, params);
}

// Display P3: sRGB's white point and tone curve, wider primaries.
std::string displayP3() {
  const cmsCIExyY white{0.3127, 0.3290, 1.0};
  const cmsCIExyYTRIPLE primaries{{0.680, 0.320, 1.0}, {0.265, 0.690, 1.0}, {0.150, 0.060, 1.0}};
  cmsToneCurve* curve = srgbCurve();
  cmsToneCurve* curves[3] = {curve, curve, curve};
  const std::string bytes = saved(cmsCreateRGBProfile(&white, &primaries, curves));
  cmsFreeToneCurve(curve);
  return bytes;
}

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

// APP2 segments carrying `profile` in `pieces` parts, listed in `order` (1-based sequence
// numbers; a number may be left out or repeated to damage the set).
std::string iccSegments(const std::string& profile, int pieces, const std::vector<int>& order) {
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

double toLinear(double v) {
  return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}
int toSrgb(double linear) {
  linear = std::clamp(linear, 0.0, 1.0);
  const double v = linear <= 0.0031308 ? 12.92 * linear : 1.055 * std::pow(linear, 1 / 2.4) - 0.055;
  return static_cast<int>(std::lround(255 * v));
}

// Display P3 to sRGB by the published linear-light matrix, independent of the library.
Rgb p3ToSrgb(Rgb c) {
  const double m[3][3] = {
      {1.2249, -0.2247, 0.0}, {-0.0420, 1.0419, 0.0}, {-0.0197, -0.0786, 1.0979}};
  double lin[3];
  for (int i = 0; i < 3; ++i) {
    lin[i] = toLinear(c[i] / 255.0);
  }
  Rgb out;
  for (int i = 0; i < 3; ++i) {
    out[i] = toSrgb(m[i][0] * lin[0] + m[i][1] * lin[1] + m[i][2] * lin[2]);
  }
  return out;
}

// A row of 16 x 16 patches, one per colour, written as a fine 4:4:4 JPEG.
std::string patchesJpeg(const std::vector<Rgb>& colours, bool grey = false) {
  const int w = 16 * static_cast<int>(colours.size());
  Picture p = vistrel::testing::blankPicture(w, 16);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < w; ++x) {
      const Rgb& c = colours[x / 16];
      vistrel::testing::setPixel(p, x, y, static_cast<uint8_t>(c[2]), static_cast<uint8_t>(c[1]),
                                 static_cast<uint8_t>(c[0]));
    }
  }
  if (grey) {
    vistrel::testing::JpegOptions options;
    options.grey = true;
    options.quality = 100;
    return vistrel::testing::libjpegEncode(p, options);
  }
  return vistrel::testing::tjEncode(p, 100, TJSAMP_444);
}

Rgb centreOf(const Picture& p, int patch) {
  const uint8_t* px = p.row(8) + 3 * (16 * patch + 8);
  return {px[2], px[1], px[0]};
}

void expectPatches(const LoadResult& loaded, const std::vector<Rgb>& expected, int tolerance,
                   const std::string& what) {
  ASSERT_TRUE(loaded.ok) << what << ": " << loaded.error.reason;
  for (size_t i = 0; i < expected.size(); ++i) {
    const Rgb actual = centreOf(loaded.picture, static_cast<int>(i));
    for (int c = 0; c < 3; ++c) {
      EXPECT_NEAR(actual[c], expected[i][c], tolerance) << what << ", patch " << i << ", channel "
                                                        << "RGB"[c];
    }
  }
}

const std::vector<Rgb> kColours = {
    {180, 120, 100}, {90, 160, 70}, {60, 90, 200}, {128, 128, 128}, {235, 225, 190}};

TEST(ColourProfile, WideGamutPictureComesOutInSrgb) {
  TempFolder folder;
  const std::string jpeg = patchesJpeg(kColours);
  const std::string p3 = displayP3();
  std::vector<Rgb> expected;
  for (const Rgb& c : kColours) {
    expected.push_back(p3ToSrgb(c));
  }
  // Whole, split in three pieces, and split with the pieces out of order.
  const std::vector<std::pair<int, std::vector<int>>> layouts = {
      {1, {1}}, {3, {1, 2, 3}}, {3, {3, 1, 2}}};
  for (const auto& [pieces, order] : layouts) {
    const auto file =
        folder.write("p3.jpg", vistrel::testing::withSegment(jpeg, iccSegments(p3, pieces, order)));
    // Within 2 steps of the matrix arithmetic (the file's own rounding is in the 4:4:4 JPEG).
    expectPatches(load(file), expected, 2, std::to_string(pieces) + " pieces");
  }
}

TEST(ColourProfile, ProfilesThatChangeNothingOrCannotBeUsedLeaveThePixels) {
  TempFolder folder;
  const std::string jpeg = patchesJpeg(kColours);
  const std::string p3 = displayP3();
  std::string scrambled = p3;
  for (size_t i = 128; i < scrambled.size(); i += 7) {
    scrambled[i] = static_cast<char>(scrambled[i] ^ 0x5A);
  }
  const struct {
    const char* what;
    std::string segments;
  } cases[] = {
      {"untagged", ""},
      {"sRGB", iccSegments(saved(cmsCreate_sRGBProfile()), 1, {1})},
      {"truncated profile", iccSegments(p3.substr(0, p3.size() / 2), 1, {1})},
      {"scrambled profile", iccSegments(scrambled, 1, {1})},
      {"not a profile", iccSegments(std::string(500, 'x'), 1, {1})},
      {"a piece missing", iccSegments(p3, 3, {1, 3})},
      {"a piece twice", iccSegments(p3, 2, {1, 1})},
      {"a grey profile on a colour picture", iccSegments(linearGrey(), 1, {1})},
      {"a CMYK profile on a colour picture", iccSegments(plainCmyk(), 1, {1})},
  };
  for (const auto& c : cases) {
    const auto file = folder.write("t.jpg", vistrel::testing::withSegment(jpeg, c.segments));
    const LoadResult loaded = load(file);
    EXPECT_TRUE(loaded.warning.empty()) << c.what;
    expectPatches(loaded, kColours, 2, c.what);
  }
}

TEST(ColourProfile, GreyPictures) {
  TempFolder folder;
  const std::vector<Rgb> greys = {{0, 0, 0}, {64, 64, 64}, {128, 128, 128}, {255, 255, 255}};
  const std::string jpeg = patchesJpeg(greys, true);
  // A linear grey profile: level v is v / 255 of the light, which sRGB encodes brighter.
  std::vector<Rgb> brighter;
  for (const Rgb& g : greys) {
    const int v = toSrgb(g[0] / 255.0);
    brighter.push_back({v, v, v});
  }
  expectPatches(load(folder.write("g.jpg", jpeg)), greys, 1, "untagged grey");
  expectPatches(load(folder.write("g.jpg", vistrel::testing::withSegment(
                                               jpeg, iccSegments(linearGrey(), 1, {1})))),
                brighter, 2, "linear grey profile");
  expectPatches(load(folder.write("g.jpg", vistrel::testing::withSegment(
                                               jpeg, iccSegments(displayP3(), 1, {1})))),
                greys, 2, "P3 profile (its greys are sRGB greys)");
}

TEST(ColourProfile, CmykPictureWithItsProfile) {
  TempFolder folder;
  const std::vector<std::array<int, 4>> inks = {{0, 0, 0, 0},   {0, 255, 255, 0},
                                                {255, 0, 0, 0}, {0, 0, 0, 255},
                                                {0, 128, 0, 0}, {64, 32, 200, 40}};
  const std::vector<Rgb> expected = {{255, 255, 255}, {255, 0, 0},     {0, 255, 255},
                                     {0, 0, 0},       {255, 127, 255}, {161, 188, 46}};
  const std::string profile = plainCmyk();
  for (const bool adobe : {true, false}) {
    const std::string jpeg = vistrel::testing::cmykPatchesJpeg(inks, adobe, false, 100);
    const std::string what = adobe ? "Adobe CMYK" : "plain CMYK";
    // The profile's grid is coarse (9 points an ink): a few steps off the exact products.
    expectPatches(load(folder.write(
                      "c.jpg", vistrel::testing::withSegment(jpeg, iccSegments(profile, 1, {1})))),
                  expected, 5, what + " with its profile");
    // An RGB profile cannot describe inks: the plain conversion.
    expectPatches(load(folder.write("c.jpg", vistrel::testing::withSegment(
                                                 jpeg, iccSegments(displayP3(), 1, {1})))),
                  expected, 3, what + " with an RGB profile");
  }
}

}  // namespace
}  // namespace vistrel::imaging
