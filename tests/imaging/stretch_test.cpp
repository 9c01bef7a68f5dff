// The thumbnail stretch: exact size, row order, a real reduction filter, and the quality of
// shrink-on-load against a full-size decode.
#include "imaging/stretch.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "imaging/picture.h"
#include "imaging/picture_maker.h"
#include "support/temp_folder.h"

namespace vistrel::imaging {
namespace {

using testing::blankPicture;
using testing::photoLike;
using testing::setPixel;

TEST(Stretch, FlatPictureStaysFlatAtEverySize) {
  Picture flat = blankPicture(37, 23);
  for (int y = 0; y < 23; ++y) {
    for (int x = 0; x < 37; ++x) {
      setPixel(flat, x, y, 10, 128, 250);
    }
  }
  const std::pair<int, int> sizes[] = {{1, 1}, {5, 3}, {36, 23}, {37, 23}, {38, 24}, {150, 93}};
  for (const auto& [w, h] : sizes) {
    const Picture out = stretch(flat, w, h);
    ASSERT_EQ(out.width, w);
    ASSERT_EQ(out.height, h);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        const uint8_t* p = out.row(y) + 3 * x;
        ASSERT_EQ(p[0], 10) << w << "x" << h << " at " << x << "," << y;
        ASSERT_EQ(p[1], 128);
        ASSERT_EQ(p[2], 250);
      }
    }
  }
}

TEST(Stretch, ReductionAveragesInsteadOfPickingPixels) {
  // One-pixel stripes: a nearest-pixel scaler gives black or white, a filter grey.
  Picture stripes = blankPicture(64, 64);
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) {
      const uint8_t v = (x + y) % 2 ? 255 : 0;
      setPixel(stripes, x, y, v, v, v);
    }
  }
  for (const int size : {32, 21, 8, 3}) {
    const Picture out = stretch(stripes, size, size);
    for (int y = 0; y < size; ++y) {
      for (int x = 0; x < size; ++x) {
        ASSERT_NEAR(out.row(y)[3 * x], 128, 6) << size << " at " << x << "," << y;
      }
    }
  }
}

TEST(Stretch, EnlargementInterpolatesMonotonically) {
  Picture ramp = blankPicture(4, 1);
  for (int x = 0; x < 4; ++x) {
    setPixel(ramp, x, 0, static_cast<uint8_t>(x * 80), 0, 0);
  }
  const Picture out = stretch(ramp, 40, 3);
  for (int x = 1; x < 40; ++x) {
    EXPECT_GE(out.row(1)[3 * x], out.row(1)[3 * (x - 1)]) << x;
  }
  EXPECT_LE(out.row(1)[0], 10);
  EXPECT_GE(out.row(1)[3 * 39], 230);
  // Every row of a one-row source is the same.
  EXPECT_TRUE(std::equal(out.row(0), out.row(0) + 120, out.row(2)));
}

TEST(Stretch, BottomUpRowsAndPaddingForABitmap) {
  Picture twoBands = blankPicture(10, 10);
  for (int y = 0; y < 10; ++y) {
    for (int x = 0; x < 10; ++x) {
      const uint8_t v = y < 5 ? 255 : 0;  // white on top, black below
      setPixel(twoBands, x, y, v, v, v);
    }
  }
  const int width = 5, height = 4, stride = 16;  // 15 bytes of pixels, padded to 16
  std::vector<uint8_t> bits(stride * height, 0xAB);
  stretchInto(twoBands, bits.data(), width, height, stride, true);
  EXPECT_LE(bits[0], 5);             // first row in memory: the bottom
  EXPECT_GE(bits[3 * stride], 250);  // last row in memory: the top
  for (int y = 0; y < height; ++y) {
    EXPECT_EQ(bits[y * stride + 15], 0xAB) << "padding of row " << y;
  }
  std::vector<uint8_t> topDown(stride * height, 0);
  stretchInto(twoBands, topDown.data(), width, height, stride, false);
  EXPECT_GE(topDown[0], 250);
}

TEST(Stretch, RefusesImpossibleArguments) {
  const Picture p = photoLike(8, 8, 1);
  std::vector<uint8_t> bits(64 * 3);
  EXPECT_THROW(stretchInto(Picture{}, bits.data(), 4, 4, 12, false), std::invalid_argument);
  EXPECT_THROW(stretchInto(p, bits.data(), 0, 4, 12, false), std::invalid_argument);
  EXPECT_THROW(stretchInto(p, bits.data(), 4, 4, 11, false), std::invalid_argument);
  EXPECT_THROW(stretchInto(p, nullptr, 4, 4, 12, false), std::invalid_argument);
  EXPECT_THROW(stretch(p, 4, -1), std::invalid_argument);
}

// A thumbnail made from the picture shrunk while decoding must look like the one made from the
// full-size picture with the same filter.
TEST(Stretch, ShrinkOnLoadThumbnailMatchesFullDecode) {
  vistrel::testing::TempFolder folder;
  struct Case {
    int width, height, thumbWidth, thumbHeight;
    bool progressive;
  };
  const Case cases[] = {
      {1920, 1080, 150, 84, false}, {2400, 1600, 150, 100, true}, {1200, 1600, 113, 150, false},
      {1600, 1200, 150, 113, true}, {800, 600, 150, 113, false},
  };
  for (const Case& c : cases) {
    testing::JpegOptions options;
    options.progressive = c.progressive;
    options.quality = 85;
    const auto file = folder.write(
        "photo.jpg", testing::libjpegEncode(
                         photoLike(c.width, c.height, static_cast<unsigned>(c.width)), options));
    const LoadResult full = load(file);
    const LoadResult shrunk = load(file, c.thumbWidth, c.thumbHeight);
    ASSERT_TRUE(full.ok && shrunk.ok);
    ASSERT_LE(shrunk.picture.width, full.picture.width / 2) << c.width;
    const double quality = testing::psnr(stretch(full.picture, c.thumbWidth, c.thumbHeight),
                                         stretch(shrunk.picture, c.thumbWidth, c.thumbHeight));
    RecordProperty("psnr" + std::to_string(c.width), std::to_string(quality));
    EXPECT_GE(quality, 38.0) << c.width << "x" << c.height << " shrunk to " << shrunk.picture.width;
  }
}

}  // namespace
}  // namespace vistrel::imaging
