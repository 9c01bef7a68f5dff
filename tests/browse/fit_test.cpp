#include "browse/fit.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "common/numbers.h"

namespace vistrel {
using browse::FitBox;
using browse::FitElement;
using browse::fitPreview;
using browse::FitSize;
using browse::fitThumbnail;
using browse::GetXY;
using browse::PixelsToTwips_height;
using browse::PixelsToTwips_width;
using browse::TwipsToPixels_height;
using browse::TwipsToPixels_width;
using common::OverflowError;

namespace {

struct FitCase {
  const char* what;
  FitBox box;
  FitElement element;
  int16_t largestWidth;
  int16_t largestHeight;
  FitSize expected;
};

TEST(GetXY, FitsByTheLongerSideWithSinglePrecisionRatio) {
  const FitCase cases[] = {
      {"landscape, exact half rounds to even", {150, 150}, {400, 300}, 150, 150, {150, 112}},
      {"half rounds up to even", {150, 150}, {400, 100}, 150, 150, {150, 38}},
      {"portrait", {150, 150}, {300, 400}, 150, 150, {112, 150}},
      {"square takes the height branch", {200, 100}, {200, 200}, 200, 100, {100, 100}},
      {"box proportions are not consulted", {200, 100}, {300, 299}, 200, 100, {200, 199}},
      {"small picture is enlarged", {150, 150}, {50, 40}, 150, 150, {150, 120}},
      {"single-precision ratio rounds a near half up", {150, 150}, {28, 21}, 150, 150, {150, 113}},
      {"single-precision ratio rounds a near half down", {150, 150}, {36, 9}, 150, 150, {150, 37}},
      {"twips: 400 x 300 pixels at 15", {150, 150}, {6000, 4500}, 150, 150, {150, 113}},
      {"extreme proportions may give 0", {150, 150}, {10000, 1}, 150, 150, {150, 0}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(GetXY(c.box, c.element, c.largestWidth, c.largestHeight), c.expected) << c.what;
  }
}

TEST(GetXY, RefusesAZeroDecidingSide) {
  EXPECT_THROW(GetXY({150, 150}, {0, 0}, 150, 150), std::domain_error);
  EXPECT_THROW(GetXY({150, 150}, {-5, -3}, 150, 150), std::domain_error);
}

TEST(FitThumbnail, MeasuresThePictureInTwips) {
  const struct {
    int w, h;
    int16_t lw, lh;
    float tpp;
    FitSize expected;
  } cases[] = {
      {400, 300, 150, 150, 15, {150, 113}},  // exact arithmetic would give 112
      {3000, 2000, 150, 150, 15, {150, 100}},
      {60, 40, 150, 150, 15, {150, 100}},
      {300, 400, 150, 150, 15, {113, 150}},
      {100, 100, 150, 80, 15, {80, 80}},
      {30000, 2, 150, 150, 15, {150, 1}},  // short side kept at 1 pixel
      {2, 30000, 150, 150, 15, {1, 150}},
      {400, 300, 150, 150, 12, {150, 112}},  // 120 dpi: 150 / 4800 is exact in binary
  };
  for (const auto& c : cases) {
    EXPECT_EQ(fitThumbnail(c.w, c.h, c.lw, c.lh, c.tpp, c.tpp), c.expected)
        << c.w << "x" << c.h << " at " << c.tpp;
  }
}

// The fit and the centring are checked on the window (the preview's twips geometry).
TEST(FitPreview, BoxSidesAreRoundedHalfEvenToBecomeTheTargetSide) {
  EXPECT_EQ(fitPreview({100.5f, 50.5f}, {10, 20}).size, (FitSize{25, 50}));
}

TEST(Conversions, AtFifteenTwipsPerPixelAndFailingAsErrors) {
  EXPECT_EQ(PixelsToTwips_width(150, 15), 2250);
  EXPECT_EQ(PixelsToTwips_height(1500, 15), 22500);
  EXPECT_EQ(PixelsToTwips_width(0.5, 15), 8);    // 7.5 rounds to 8
  EXPECT_EQ(PixelsToTwips_height(1.5, 15), 22);  // 22.5 rounds to 22
  EXPECT_EQ(TwipsToPixels_height(2249, 15), 149);
  EXPECT_EQ(TwipsToPixels_height(-2249, 15), -149);
  EXPECT_EQ(TwipsToPixels_width(22.5, 15), 1);       // 22.5 -> 22, 22 \ 15 -> 1
  EXPECT_EQ(TwipsToPixels_width(2250, 14.5f), 160);  // 14.5 rounds to 14
  // Failures are errors, not wrong numbers.
  EXPECT_THROW(TwipsToPixels_width(100, 0.4f), std::domain_error);
  EXPECT_THROW(TwipsToPixels_height(100, 0.5f), std::domain_error);
  EXPECT_THROW(TwipsToPixels_height(INT32_MIN, -1), OverflowError);
  EXPECT_THROW(PixelsToTwips_width(3e9, 15), OverflowError);
}

}  // namespace
}  // namespace vistrel
