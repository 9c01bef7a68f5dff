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

TEST(Resample, TheSameSizeIsAnExactCopy) {
  cDIBSection source;
  ASSERT_TRUE(source.Create(5, 3));
  source.RandomiseBits(false);
  auto copy = source.Resample(3, 5);
  ASSERT_TRUE(copy);
  ASSERT_NE(copy->DIBSectionBitsPtr(), source.DIBSectionBitsPtr());
  for (int row = 0; row < 3; ++row) {
    EXPECT_EQ(std::memcmp(dibPixel(*copy, 0, row), dibPixel(source, 0, row), 15), 0) << row;
  }
}

TEST(Resample, HeightComesFirst) {
  cDIBSection source;
  ASSERT_TRUE(source.Create(10, 10));
  auto result = source.Resample(100, 50);
  ASSERT_TRUE(result);
  EXPECT_EQ(result->Width(), 50);
  EXPECT_EQ(result->Height(), 100);
}

TEST(Resample, TwoByTwoToFourByOneInterpolatesAcross) {
  const cDIBSection source = blueRows({{0, 255}, {0, 255}});
  auto result = source.Resample(1, 4);
  ASSERT_TRUE(result);
  // 0.25 * 255 = 63.75 -> 64; 127.5 -> 128 (halves to even); 191.25 -> 191.
  EXPECT_EQ(blueRow(*result, 0), (std::vector<uint8_t>{0, 64, 128, 191}));
  EXPECT_EQ(dibPixel(*result, 3, 0)[1], 10);
  EXPECT_EQ(dibPixel(*result, 3, 0)[2], 20);
}

TEST(Resample, TwoByTwoToFourByFourStepsAQuarterAtATime) {
  // Blue runs across (0 left, 200 right), green up (0 bottom, 100 top): every destination
  // pixel shows its fractions fx and fy of 0, 0.25, 0.5, 0.75, all from the first source pixel.
  cDIBSection source;
  ASSERT_TRUE(source.Create(2, 2));
  for (int r = 0; r < 2; ++r) {
    for (int x = 0; x < 2; ++x) {
      setDibPixel(source, x, r, static_cast<uint8_t>(200 * x), static_cast<uint8_t>(100 * r), 9);
    }
  }
  auto result = source.Resample(4, 4);
  ASSERT_TRUE(result);
  for (int r = 0; r < 4; ++r) {
    for (int x = 0; x < 4; ++x) {
      const uint8_t* p = dibPixel(*result, x, r);
      EXPECT_EQ(p[0], 50 * x) << x << "," << r;
      EXPECT_EQ(p[1], 25 * r) << x << "," << r;
      EXPECT_EQ(p[2], 9);
    }
  }
}

TEST(Resample, RoundsAfterEachPass) {
  // Column 0 runs 0 -> 1 upwards and column 1 runs 2 -> 3; halfway up (fy = 0.5) the vertical
  // pass gives 0.5 -> 0 and 2.5 -> 2 (halves to even) before the horizontal one. Rounding only
  // at the end would give 0, 1, 2, 2 on that row.
  const cDIBSection source = blueRows({{0, 2}, {1, 3}});
  auto result = source.Resample(2, 4);
  ASSERT_TRUE(result);
  EXPECT_EQ(blueRow(*result, 0), (std::vector<uint8_t>{0, 0, 1, 2}));  // fy = 0: 0, .5, 1, 1.5
  EXPECT_EQ(blueRow(*result, 1), (std::vector<uint8_t>{0, 0, 1, 2}));  // 0, .5, 1, 1.5 again
}

TEST(Resample, ScaleDividesByTheDestinationSize) {
  // xScale = (3 - 1) / 2 = 1: the second destination column samples source column 1, not 2.
  const cDIBSection source = blueRows({{0, 100, 200}, {0, 100, 200}});
  auto result = source.Resample(2, 2);
  ASSERT_TRUE(result);
  EXPECT_EQ(blueRow(*result, 0), (std::vector<uint8_t>{0, 100}));
  EXPECT_EQ(blueRow(*result, 1), (std::vector<uint8_t>{0, 100}));
}

TEST(Resample, AUniformPictureStaysUniform) {
  cDIBSection source;
  ASSERT_TRUE(source.Create(37, 23));
  for (int r = 0; r < 23; ++r) {
    for (int x = 0; x < 37; ++x) {
      setDibPixel(source, x, r, 77, 128, 201);
    }
  }
  for (const auto& size : {std::pair{5, 3}, std::pair{101, 77}, std::pair{37, 9}}) {
    auto result = source.Resample(size.second, size.first);
    ASSERT_TRUE(result);
    for (int r = 0; r < result->Height(); ++r) {
      for (int x = 0; x < result->Width(); ++x) {
        const uint8_t* p = dibPixel(*result, x, r);
        ASSERT_EQ(p[0], 77);
        ASSERT_EQ(p[1], 128);
        ASSERT_EQ(p[2], 201);
      }
      for (int pad = 3 * result->Width(); pad < result->BytesPerScanLine(); ++pad) {
        ASSERT_EQ(dibPixel(*result, 0, r)[pad], 0) << "padding";
      }
    }
  }
}

TEST(Resample, OnePixelSourcesHaveNoNeighbourToInterpolateWith) {
  const cDIBSection oneWide = blueRows({{5}, {6}, {7}});
  EXPECT_THROW(oneWide.Resample(3, 4), std::out_of_range);
  EXPECT_THROW(oneWide.Resample(6, 1), std::out_of_range);
  const cDIBSection oneHigh = blueRows({{5, 6, 7}});
  EXPECT_THROW(oneHigh.Resample(2, 3), std::out_of_range);
  // The same size is a copy and needs no neighbour.
  auto copy = oneWide.Resample(3, 1);
  ASSERT_TRUE(copy);
  EXPECT_EQ(dibPixel(*copy, 0, 2)[0], 7);
}

TEST(Resample, NothingWhenNoBitmapCanBeMadeOrThereIsNone) {
  const cDIBSection source = blueRows({{1, 2}, {3, 4}});
  EXPECT_EQ(source.Resample(0, 5), nullptr);
  EXPECT_EQ(source.Resample(5, -1), nullptr);
  const cDIBSection empty;
  EXPECT_EQ(empty.Resample(4, 4), nullptr);
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

TEST(RandomiseBits, GreysGoRowByRowAllChannelsEqual) {
  cDIBSection dib;
  ASSERT_TRUE(dib.Create(2, 2));
  dib.RandomiseBits(true, [i = 0]() mutable { return (i++) / 4.0; });
  const uint8_t expected[2][2] = {{0, 64}, {128, 191}};  // 63.75, 127.5, 191.25
  for (int r = 0; r < 2; ++r) {
    for (int x = 0; x < 2; ++x) {
      const uint8_t* p = dibPixel(dib, x, r);
      EXPECT_EQ(p[0], expected[r][x]) << x << "," << r;
      EXPECT_EQ(p[1], p[0]);
      EXPECT_EQ(p[2], p[0]);
    }
  }
  // Numbers outside [0, 1) from a careless generator still give bytes.
  dib.RandomiseBits(true, [i = 0]() mutable { return (i++ % 2) ? 7.0 : -3.0; });
  EXPECT_EQ(dibPixel(dib, 0, 0)[0], 0);
  EXPECT_EQ(dibPixel(dib, 1, 0)[0], 255);
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
