#include <gtest/gtest.h>

#include <set>
#include <stdexcept>
#include <tuple>
#include <vector>

#include "imaging/dib_section.h"
#include "imaging/picture_maker.h"

namespace vistrel::imaging {
namespace {

using testing::dibPixel;
using Rows = std::vector<std::vector<uint8_t>>;

// A DIB whose memory rows (0 = the bottom row) hold the given blues; green and red are 10 and 20.
cDIBSection blueRows(const Rows& rows) {
  return testing::paintedDib(static_cast<int>(rows[0].size()), static_cast<int>(rows.size()),
                             [&](int x, int y) {
                               return testing::Bgr{rows[rows.size() - 1 - y][x], 10, 20};
                             });
}

// Every byte of the bitmap, padding included.
std::vector<uint8_t> bytes(const cDIBSection& dib) {
  return {dib.DIBSectionBitsPtr(), dib.DIBSectionBitsPtr() + dib.Height() * dib.BytesPerScanLine()};
}

TEST(Resample, InterpolatesEachPassAndRoundsHalvesToEven) {
  const struct {
    const char* what;
    Rows source;  // blue by memory row
    int height, width;
    Rows expected;
  } cases[] = {
      {"the same size is a copy", {{1, 2, 3}, {4, 5, 6}}, 2, 3, {{1, 2, 3}, {4, 5, 6}}},
      // 0.25 * 255 = 63.75 -> 64; 127.5 -> 128; 191.25 -> 191.
      {"across", {{0, 255}, {0, 255}}, 1, 4, {{0, 64, 128, 191}}},
      {"a quarter at a time",
       {{0, 200}, {100, 100}},
       4,
       4,
       {{0, 50, 100, 150}, {25, 62, 100, 138}, {50, 75, 100, 125}, {75, 88, 100, 112}}},
      // Halfway up the vertical pass gives 0.5 -> 0 and 2.5 -> 2 before the horizontal one;
      // rounding only at the end would give 0, 1, 2, 2 on that row.
      {"rounds after each pass", {{0, 2}, {1, 3}}, 2, 4, {{0, 0, 1, 2}, {0, 0, 1, 2}}},
      // xScale = (3 - 1) / 2 = 1: the second column samples source column 1, not 2.
      {"scale divides by the destination size",
       {{0, 100, 200}, {0, 100, 200}},
       2,
       2,
       {{0, 100}, {0, 100}}},
      {"a one-pixel source at its own size", {{5}, {6}, {7}}, 3, 1, {{5}, {6}, {7}}},
  };
  for (const auto& c : cases) {
    const cDIBSection source = blueRows(c.source);
    const auto result = source.Resample(c.height, c.width);  // height comes first
    ASSERT_TRUE(result) << c.what;
    ASSERT_NE(result->DIBSectionBitsPtr(), source.DIBSectionBitsPtr());
    ASSERT_EQ(std::tuple(result->Width(), result->Height()), std::tuple(c.width, c.height));
    EXPECT_EQ(bytes(*result), bytes(blueRows(c.expected))) << c.what;
  }
}

TEST(Resample, RefusesWhatItCannotInterpolate) {
  const cDIBSection oneWide = blueRows({{5}, {6}, {7}});
  EXPECT_THROW(oneWide.Resample(3, 4), std::out_of_range);  // no neighbour to interpolate with
  EXPECT_THROW(oneWide.Resample(6, 1), std::out_of_range);
  EXPECT_THROW(blueRows({{5, 6, 7}}).Resample(2, 3), std::out_of_range);
  const cDIBSection source = blueRows({{1, 2}, {3, 4}});
  EXPECT_EQ(source.Resample(0, 5), nullptr);
  EXPECT_EQ(source.Resample(5, -1), nullptr);
  EXPECT_EQ(cDIBSection().Resample(4, 4), nullptr);
}

// Padding bytes of a 1-pixel-wide DIB (one a row) set to 0xAB, to see they are left alone.
void markPadding(const cDIBSection& dib) {
  for (int r = 0; r < dib.Height(); ++r) {
    dibPixel(dib, 0, r)[3] = 0xAB;
  }
}

TEST(RandomiseBits, ColoursGoColumnByColumnGreenThenRed) {
  cDIBSection dib;
  ASSERT_TRUE(dib.Create(1, 3));
  markPadding(dib);
  // Numbers i / 10: green and red of memory row r are r * 0.2 and r * 0.2 + 0.1 of 255.
  dib.RandomiseBits(false, [i = 0]() mutable { return (i++) / 10.0; });
  EXPECT_EQ(bytes(dib), (std::vector<uint8_t>{0, 0, 26, 0xAB, 0, 51, 76, 0xAB, 0, 102, 128, 0xAB}));
  // Two columns: the whole first column is drawn before the second.
  cDIBSection wide;
  ASSERT_TRUE(wide.Create(2, 2));
  wide.RandomiseBits(false, [i = 0]() mutable { return (i++) / 8.0; });
  EXPECT_EQ(dibPixel(wide, 0, 1)[1], 64);   // third number: 2/8 * 255 = 63.75
  EXPECT_EQ(dibPixel(wide, 1, 0)[1], 128);  // fifth number: 127.5 -> 128 (halves to even)
}

TEST(RandomiseBits, TheTimeSeededGeneratorFillsTheWholePicture) {
  for (bool gray : {false, true}) {
    cDIBSection dib;
    ASSERT_TRUE(dib.Create(1, 64));
    markPadding(dib);
    dib.RandomiseBits(gray);
    std::set<int> greens;
    for (int r = 0; r < 64; ++r) {
      const uint8_t* p = dibPixel(dib, 0, r);
      EXPECT_TRUE(p[3] == 0xAB && (gray ? p[0] == p[1] && p[1] == p[2] : p[0] == 0)) << r;
      greens.insert(p[1]);
    }
    EXPECT_GT(greens.size(), 32u) << "gray " << gray;  // 64 draws from 256 values
  }
  cDIBSection empty;
  empty.RandomiseBits();  // nothing to fill, nothing touched
  EXPECT_EQ(empty.DIBSectionBitsPtr(), nullptr);
}

}  // namespace
}  // namespace vistrel::imaging
