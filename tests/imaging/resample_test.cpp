#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <vector>

#include "imaging/dib_pixels.h"
#include "imaging/dib_section.h"

namespace vistrel::imaging {
namespace {

using testing::dibPixel;
using testing::setDibPixel;

// A DIB whose memory rows hold the given blue values (row 0 = bottom row); green and red are
// 10 and 20 everywhere.
cDIBSection blueRows(const std::vector<std::vector<uint8_t>>& rows) {
  cDIBSection dib;
  EXPECT_TRUE(dib.Create(static_cast<int>(rows[0].size()), static_cast<int>(rows.size())));
  for (size_t r = 0; r < rows.size(); ++r) {
    for (size_t x = 0; x < rows[r].size(); ++x) {
      setDibPixel(dib, static_cast<int>(x), static_cast<int>(r), rows[r][x], 10, 20);
    }
  }
  return dib;
}

std::vector<uint8_t> blueRow(const cDIBSection& dib, int memoryRow) {
  std::vector<uint8_t> out;
  for (int x = 0; x < dib.Width(); ++x) {
    out.push_back(dibPixel(dib, x, memoryRow)[0]);
  }
  return out;
}

TEST(Resample, InterpolatesEachPassAndRoundsHalvesToEven) {
  struct Case {
    const char* what;
    std::vector<std::vector<uint8_t>> source;  // blue by memory row
    int height, width;
    std::vector<std::vector<uint8_t>> expected;
  };
  const Case cases[] = {
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
  for (const Case& c : cases) {
    const cDIBSection source = blueRows(c.source);
    auto result = source.Resample(c.height, c.width);  // height comes first
    ASSERT_TRUE(result) << c.what;
    ASSERT_NE(result->DIBSectionBitsPtr(), source.DIBSectionBitsPtr());
    ASSERT_EQ(result->Width(), c.width) << c.what;
    ASSERT_EQ(result->Height(), c.height) << c.what;
    for (int r = 0; r < c.height; ++r) {
      EXPECT_EQ(blueRow(*result, r), c.expected[r]) << c.what << ", row " << r;
      for (int x = 0; x < c.width; ++x) {
        EXPECT_EQ(dibPixel(*result, x, r)[1], 10);
        EXPECT_EQ(dibPixel(*result, x, r)[2], 20);
      }
      for (int pad = 3 * c.width; pad < result->BytesPerScanLine(); ++pad) {
        ASSERT_EQ(dibPixel(*result, 0, r)[pad], 0) << c.what << ": padding";
      }
    }
  }
}

TEST(Resample, RefusesWhatItCannotInterpolate) {
  const cDIBSection oneWide = blueRows({{5}, {6}, {7}});
  EXPECT_THROW(oneWide.Resample(3, 4), std::out_of_range);  // no neighbour to interpolate with
  EXPECT_THROW(oneWide.Resample(6, 1), std::out_of_range);
  const cDIBSection oneHigh = blueRows({{5, 6, 7}});
  EXPECT_THROW(oneHigh.Resample(2, 3), std::out_of_range);
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
  ASSERT_EQ(dib.BytesPerScanLine(), 4);
  markPadding(dib);
  // Numbers i / 10: green and red of memory row r are r * 0.2 and r * 0.2 + 0.1 of 255.
  dib.RandomiseBits(false, [i = 0]() mutable { return (i++) / 10.0; });
  const uint8_t expected[3][4] = {{0, 0, 26, 0xAB}, {0, 51, 76, 0xAB}, {0, 102, 128, 0xAB}};
  for (int r = 0; r < 3; ++r) {
    EXPECT_EQ(std::memcmp(dibPixel(dib, 0, r), expected[r], 4), 0) << "row " << r;
  }

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
    std::vector<int> seen(256, 0);
    for (int r = 0; r < 64; ++r) {
      const uint8_t* p = dibPixel(dib, 0, r);
      EXPECT_EQ(p[3], 0xAB) << "padding";
      if (gray) {
        EXPECT_TRUE(p[0] == p[1] && p[1] == p[2]);
      } else {
        EXPECT_EQ(p[0], 0);
      }
      ++seen[p[1]];
    }
    int distinct = 0;
    for (int n : seen)
      distinct += n > 0;
    EXPECT_GT(distinct, 32) << "gray " << gray;  // 64 draws from 256 values
  }
  cDIBSection empty;
  empty.RandomiseBits();  // nothing to fill, nothing touched
  EXPECT_EQ(empty.DIBSectionBitsPtr(), nullptr);
}

}  // namespace
}  // namespace vistrel::imaging
