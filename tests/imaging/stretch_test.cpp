// The thumbnail stretch: exact size, row order, a real reduction filter, and the quality of
// shrink-on-load against a full-size decode.
#include "imaging/surface/stretch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

#include "imaging/picture.h"
#include "support/picture_maker.h"
#include "support/temp_folder.h"

namespace vistrel::imaging {
namespace {

using testing::Bgr;
using testing::painted;
using testing::photoLike;

// Fine detail the thumbnail can still show (a wave of 5 thumbnail pixels) keeps its contrast
// through a 3:1 reduction; the default kernel keeps more of it than Catmull-Rom, which it replaced.
TEST(Stretch, ReductionKeepsFineDetail) {
  constexpr double pi = 3.14159265358979323846;
  const Picture wave = painted(300, 4, [&](int x, int) {
    const int v = static_cast<int>(std::lround(128 + 100 * std::sin(2 * pi * x / 15.0)));
    return Bgr{v, v, v};
  });
  auto contrast = [&](StretchFilter filter) {
    const Picture out = stretch(wave, 100, 4, filter);
    int lo = 255, hi = 0;
    for (int x = 20; x < 80; ++x) {  // away from the edges
      lo = std::min<int>(lo, out.row(2)[3 * x]);
      hi = std::max<int>(hi, out.row(2)[3 * x]);
    }
    return (hi - lo) / 200.0;
  };
  const double lanczos = contrast(StretchFilter::Lanczos3);
  const double catmullRom = contrast(StretchFilter::CatmullRom);
  EXPECT_GT(lanczos, 0.8);
  EXPECT_LT(lanczos, 1.01);  // no overshoot beyond the source's own contrast
  EXPECT_GT(lanczos, catmullRom + 0.03);
}

TEST(Stretch, EachAxisAndChannelStaysInItsPlace) {
  // Blue follows x only, green y only, red is flat: a transposed pass, a swapped channel or a
  // misplaced weight shows as a row or column that is not like the others.
  const std::pair<int, int> sources[] = {{320, 240}, {61, 40}, {7, 300}};
  const std::pair<int, int> sizes[] = {{150, 112}, {150, 84}, {150, 100}, {17, 5}, {1, 9}};
  for (const auto& [sw, sh] : sources) {
    const Picture ramps = painted(sw, sh, [&](int x, int y) {
      return Bgr{20 + x * 200 / sw, 20 + y * 200 / sh, 77};
    });
    for (const auto& [w, h] : sizes) {
      const Picture out = stretch(ramps, w, h);
      for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
          const uint8_t* p = out.row(y) + 3 * x;
          const auto where = ::testing::Message() << sw << "x" << sh << " to " << w << "x" << h
                                                  << " at " << x << "," << y;
          ASSERT_EQ(p[0], out.row(0)[3 * x]) << where;
          ASSERT_EQ(p[1], out.row(y)[1]) << where;
          ASSERT_EQ(p[2], 77) << where;
          if (x > 0) {
            ASSERT_GE(p[0], p[-3]) << where;
          }
          if (y > 0) {
            ASSERT_GE(p[1], out.row(y - 1)[3 * x + 1]) << where;
          }
        }
      }
      // The middle of the thumbnail shows the middle of the picture.
      EXPECT_NEAR(out.row(h / 2)[3 * (w / 2)], 20 + 100, 200 / std::min(w, sw) + 3);
    }
  }
}

TEST(Stretch, SameBytesOnEveryThreadWhateverCameBefore) {
  // Each thread keeps filters and scratch of earlier calls; none of that may leak into a result.
  const Picture photo = photoLike(97, 61, 5);
  // Many widths under one height, then back: what one call made must not undo another's.
  const std::pair<int, int> sizes[] = {{150, 94}, {40, 94}, {41, 94}, {42, 94}, {43, 94},
                                       {40, 25},  {97, 61}, {200, 3}, {3, 200}, {150, 94},
                                       {13, 61},  {40, 25}, {43, 94}};
  std::vector<Picture> expected;
  for (const auto& [w, h] : sizes) {
    expected.push_back(stretch(photo, w, h));
  }
  std::atomic<int> mismatches = 0;
  {
    std::vector<std::jthread> threads;  // joined at the end of the block
    for (int t = 0; t < 2; ++t) {
      threads.emplace_back([&, t] {
        for (int round = 0; round < 3; ++round) {
          for (size_t i = 0; i < std::size(sizes); ++i) {
            const size_t k = t == 0 ? i : std::size(sizes) - 1 - i;
            mismatches += stretch(photo, sizes[k].first, sizes[k].second).bgr != expected[k].bgr;
          }
        }
      });
    }
  }
  EXPECT_EQ(mismatches, 0);
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
    const testing::JpegOptions options{.quality = 85, .progressive = c.progressive};
    const auto file = folder.write(
        "photo.jpg", testing::libjpegEncode(
                         photoLike(c.width, c.height, static_cast<unsigned>(c.width)), options));
    const LoadResult full = load(file);
    const LoadResult shrunk = load(file, c.thumbWidth, c.thumbHeight);
    ASSERT_TRUE(full.ok && shrunk.ok);
    ASSERT_LE(shrunk.picture.width, full.picture.width / 2) << c.width;
    const double quality = testing::psnr(stretch(full.picture, c.thumbWidth, c.thumbHeight),
                                         stretch(shrunk.picture, c.thumbWidth, c.thumbHeight));
    EXPECT_GE(quality, 38.0) << c.width << "x" << c.height << " shrunk to " << shrunk.picture.width;
  }
}

// Edges, which photos are mostly made of: undoing a 1/8 decode's block averaging brings the
// thumbnail closer to the full decode's. (Fine grain, as in photoLike, gains nothing.)
TEST(Stretch, BlockMeansOfAnEighthDecodeAreUndone) {
  vistrel::testing::TempFolder folder;
  const std::pair<int, int> sizes[] = {{2560, 1600}, {1600, 2400}};
  for (const auto& [width, height] : sizes) {
    // Tiles of 101 pixels, out of step with the 8-pixel blocks, in colours that vary.
    const Picture tiles = painted(width, height, [](int x, int y) {
      const int t = x / 101 * 7 + y / 101 * 13;
      return Bgr{t * 53 % 256, t * 97 % 256, t * 31 % 256};
    });
    const auto file = folder.write("tiles.jpg", testing::libjpegEncode(tiles, {.quality = 90}));
    const int w = std::min(150, 150 * width / height), h = std::min(150, 150 * height / width);
    const LoadResult full = load(file);
    const LoadResult shrunk = load(file, w, h);
    ASSERT_TRUE(full.ok && shrunk.ok);
    ASSERT_EQ(shrunk.picture.width, (width + 7) / 8);
    const Picture reference = stretch(full.picture, w, h);
    const double plain = testing::psnr(reference, stretch(shrunk.picture, w, h));
    const double undone = testing::psnr(
        reference, stretch(shrunk.picture, w, h, StretchFilter::Lanczos3, /*blockMeans=*/true));
    EXPECT_GT(undone, plain + 1.0) << width << "x" << height;
  }
}

}  // namespace
}  // namespace vistrel::imaging
