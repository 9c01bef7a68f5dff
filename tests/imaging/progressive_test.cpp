// Progressive JPEGs shrunk to 1/8 are decoded from their DC scans alone: the pixels must be
// exactly those of decoding every scan at 1/8.
#include <gtest/gtest.h>

#include "imaging/jpeg_decode.h"
#include "imaging/jpeg_stream.h"
#include "imaging/picture.h"
#include "imaging/picture_maker.h"
#include "support/temp_folder.h"

namespace vistrel::imaging {
namespace {

using testing::JpegOptions;

// Every scan decoded at 1/8, straight through TurboJPEG.
std::vector<uint8_t> fullDecodeAtEighth(const std::string& jpeg, int& width, int& height) {
  tjhandle tj = tjInitDecompress();
  const auto* data = reinterpret_cast<const unsigned char*>(jpeg.data());
  int w = 0, h = 0, sub = 0, cs = 0;
  EXPECT_EQ(tjDecompressHeader3(tj, data, jpeg.size(), &w, &h, &sub, &cs), 0);
  width = (w + 7) / 8;
  height = (h + 7) / 8;
  std::vector<uint8_t> out(static_cast<size_t>(width) * height * 3);
  EXPECT_EQ(tjDecompress2(tj, data, jpeg.size(), out.data(), width, width * 3, height, TJPF_BGR, 0),
            0)
      << tjGetErrorStr2(tj);
  tjDestroy(tj);
  return out;
}

TEST(ProgressiveDcScans, SamePixelsAsAFullDecodeAtOneEighth) {
  struct Case {
    const char* name;
    int width, height, restartInterval;
    bool fullChroma, grey;
  };
  const Case cases[] = {
      {"4:2:0", 803, 611, 0, false, false},
      {"4:2:0 with restarts", 803, 611, 7, false, false},
      {"4:4:4", 640, 480, 0, true, false},
      {"4:4:4 with restarts every MCU", 640, 488, 1, true, false},
      {"grey with restarts", 517, 389, 3, false, true},
  };
  vistrel::testing::TempFolder folder;
  for (const Case& c : cases) {
    JpegOptions options;
    options.progressive = true;
    options.restartInterval = c.restartInterval;
    options.fullChroma = c.fullChroma;
    options.grey = c.grey;
    options.quality = 92;
    const std::string jpeg =
        testing::libjpegEncode(testing::photoLike(c.width, c.height, c.width), options);

    std::vector<uint8_t> dcOnly;
    ASSERT_TRUE(keepDcScans(reinterpret_cast<const uint8_t*>(jpeg.data()), jpeg.size(), dcOnly))
        << c.name;
    EXPECT_LT(dcOnly.size(), jpeg.size() / 2) << c.name << ": the AC scans were not left out";

    int width = 0, height = 0;
    const std::vector<uint8_t> expected = fullDecodeAtEighth(jpeg, width, height);
    const auto file = folder.write("p.jpg", jpeg);
    ASSERT_EQ(chooseShrink(c.width, c.height, width / 2, height / 2).den, 8) << c.name;
    const LoadResult loaded = load(file, width / 2, height / 2);
    ASSERT_TRUE(loaded.ok) << c.name << ": " << loaded.error.reason;
    EXPECT_TRUE(loaded.warning.empty()) << c.name << ": " << loaded.warning;
    ASSERT_EQ(loaded.picture.width, width) << c.name;
    ASSERT_EQ(loaded.picture.height, height) << c.name;
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
  JpegOptions options;
  options.progressive = true;
  const std::string progressive = testing::libjpegEncode(photo, options);
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
