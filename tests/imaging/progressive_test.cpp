// Progressive JPEGs shrunk to 1/8 are decoded from their DC scans alone: the pixels must be
// exactly those of decoding every scan at 1/8.
#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <tuple>

#include "imaging/jpeg_decode.h"
#include "imaging/jpeg_stream.h"
#include "imaging/picture.h"
#include "imaging/picture_maker.h"
#include "support/temp_folder.h"

namespace vistrel::imaging {
namespace {

using testing::JpegOptions;

// Every scan decoded at 1/8 by TurboJPEG with its default settings; empty on any warning.
std::vector<uint8_t> fullDecodeAtEighth(const std::string& jpeg, int width, int height) {
  std::vector<uint8_t> out(static_cast<size_t>(width) * height * 3);
  tjhandle tj = tjInitDecompress();
  if (tjDecompress2(tj, reinterpret_cast<const unsigned char*>(jpeg.data()), jpeg.size(),
                    out.data(), width, 0, height, TJPF_BGR, 0) != 0) {
    out.clear();
  }
  tjDestroy(tj);
  return out;
}

TEST(ProgressiveDcScans, SamePixelsAsAFullDecodeAtOneEighth) {
  struct Case {
    const char* name;
    int width, height, restartInterval, lumaH, lumaV;
    bool grey;
  };
  // 4:2:0 chroma is scaled by the inverse DCT and keeps its AC scans; the others do not.
  const Case cases[] = {
      {"4:2:0", 803, 611, 0, 2, 2, false},
      {"4:2:0 with restarts", 803, 611, 7, 2, 2, false},
      {"4:4:4", 640, 480, 0, 1, 1, false},
      {"4:4:4 with restarts every MCU", 640, 488, 1, 1, 1, false},
      {"4:2:2 with restarts", 650, 470, 5, 2, 1, false},
      {"4:4:0", 650, 470, 0, 1, 2, false},
      {"4:1:1", 700, 300, 0, 4, 1, false},
      {"luma 4 x 2", 700, 300, 2, 4, 2, false},
      {"grey with restarts", 517, 389, 3, 1, 1, true},
  };
  vistrel::testing::TempFolder folder;
  for (const Case& c : cases) {
    const JpegOptions options{.quality = 92,
                              .progressive = true,
                              .restartInterval = c.restartInterval,
                              .lumaH = c.lumaH,
                              .lumaV = c.lumaV,
                              .grey = c.grey};
    const std::string jpeg =
        testing::libjpegEncode(testing::photoLike(c.width, c.height, c.width), options);
    std::vector<uint8_t> dcOnly;
    ASSERT_TRUE(keepDcScans(reinterpret_cast<const uint8_t*>(jpeg.data()), jpeg.size(), dcOnly))
        << c.name;
    EXPECT_LT(dcOnly.size(), jpeg.size() / 2) << c.name << ": the AC scans were not left out";

    const int width = (c.width + 7) / 8, height = (c.height + 7) / 8;
    const std::vector<uint8_t> expected = fullDecodeAtEighth(jpeg, width, height);
    ASSERT_FALSE(expected.empty()) << c.name;
    const auto file = folder.write("p.jpg", jpeg);
    ASSERT_EQ(chooseShrink(c.width, c.height, width / 2, height / 2).den, 8) << c.name;
    const LoadResult loaded = load(file, width / 2, height / 2);
    ASSERT_TRUE(loaded.ok) << c.name << ": " << loaded.error.reason;
    EXPECT_TRUE(loaded.warning.empty()) << c.name << ": " << loaded.warning;
    ASSERT_EQ(std::tuple(loaded.picture.width, loaded.picture.height), std::tuple(width, height));
    int differing = 0, largest = 0;
    for (size_t i = 0; i < expected.size(); ++i) {
      const int d = std::abs(int{loaded.picture.bgr[i]} - int{expected[i]});
      differing += d != 0;
      largest = std::max(largest, d);
    }
    EXPECT_EQ(differing, 0) << c.name << ": bytes differ, by up to " << largest;
  }
}

TEST(ProgressiveDcScans, OnlyProgressiveCompleteStreamsAreRewritten) {
  const auto photo = testing::photoLike(200, 120, 11);
  const std::string baseline = testing::tjEncode(photo);
  const std::string progressive = testing::libjpegEncode(photo, {.progressive = true});
  std::vector<uint8_t> out;
  auto rewrite = [&](const std::string& s) {
    return keepDcScans(reinterpret_cast<const uint8_t*>(s.data()), s.size(), out);
  };
  EXPECT_FALSE(rewrite(baseline));
  EXPECT_TRUE(rewrite(progressive));
  EXPECT_FALSE(rewrite(progressive.substr(0, progressive.size() - 2)));  // no EOI: truncated
  EXPECT_FALSE(rewrite(progressive.substr(0, 300)));
  EXPECT_FALSE(rewrite(""));
}

}  // namespace
}  // namespace vistrel::imaging
