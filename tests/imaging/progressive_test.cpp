// JPEGs shrunk to 1/8 are decoded from what that scale reads alone (DC scans of progressive
// files; DC values of baseline ones): the pixels must be exactly those of decoding everything.
#include <gtest/gtest.h>

#include "imaging/eighth_decode.h"
#include "imaging/jpeg_decode.h"
#include "imaging/jpeg_stream.h"
#include "imaging/picture.h"
#include "imaging/picture_maker.h"
#include "support/temp_folder.h"

namespace vistrel::imaging {
namespace {

using testing::JpegOptions;

// Every scan decoded at 1/8 by the decoder with its default settings.
std::vector<uint8_t> fullDecodeAtEighth(const std::string& jpeg, int& width, int& height) {
  jpeg_decompress_struct cinfo;
  jpeg_error_mgr jerr;
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(jpeg.data()), jpeg.size());
  jpeg_read_header(&cinfo, TRUE);
  cinfo.scale_num = 1;
  cinfo.scale_denom = 8;
  cinfo.out_color_space = JCS_EXT_BGR;
  jpeg_start_decompress(&cinfo);
  width = static_cast<int>(cinfo.output_width);
  height = static_cast<int>(cinfo.output_height);
  std::vector<uint8_t> out(static_cast<size_t>(width) * height * 3);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = out.data() + static_cast<size_t>(cinfo.output_scanline) * width * 3;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  EXPECT_EQ(jerr.num_warnings, 0);
  jpeg_destroy_decompress(&cinfo);
  return out;
}

TEST(EighthDecode, SamePixelsAsAFullDecodeAtOneEighth) {
  struct Case {
    const char* name;
    bool progressive;
    int width, height, restartInterval, lumaH, lumaV;
    bool grey;
    bool ownDecoder;  // decodeEighth takes it; the others go to libjpeg
  };
  // Progressive 4:2:0 chroma is scaled by the inverse DCT and keeps its AC scans.
  // A baseline stream's DC values are spread through all of it: libjpeg reads those.
  const Case cases[] = {
      {"progressive 4:2:0", true, 803, 611, 0, 2, 2, false, false},
      {"progressive 4:2:0 with restarts", true, 803, 611, 7, 2, 2, false, false},
      {"progressive 4:4:4", true, 640, 480, 0, 1, 1, false, true},
      {"progressive 4:4:4 with restarts every MCU", true, 640, 488, 1, 1, 1, false, true},
      {"progressive 4:2:2 with restarts", true, 650, 470, 5, 2, 1, false, false},
      {"progressive 4:4:0", true, 650, 470, 0, 1, 2, false, false},
      {"progressive 4:1:1", true, 700, 300, 0, 4, 1, false, false},
      {"progressive luma 4 x 2", true, 700, 300, 2, 4, 2, false, false},
      {"progressive grey with restarts", true, 517, 389, 3, 1, 1, true, true},
      {"baseline 4:4:4", false, 640, 488, 1, 1, 1, false, false},
  };
  vistrel::testing::TempFolder folder;
  for (const Case& c : cases) {
    JpegOptions options;
    options.progressive = c.progressive;
    options.restartInterval = c.restartInterval;
    options.lumaH = c.lumaH;
    options.lumaV = c.lumaV;
    options.grey = c.grey;
    options.quality = 92;
    const std::string jpeg =
        testing::libjpegEncode(testing::photoLike(c.width, c.height, c.width), options);
    const auto* bytes = reinterpret_cast<const uint8_t*>(jpeg.data());
    JpegHeader header;
    std::string reason;
    ASSERT_EQ(readJpegHeader(bytes, jpeg.size(), header, reason), JpegHeaderStatus::Ok);
    std::vector<uint8_t> own(static_cast<size_t>(shrunkSize(c.width, {1, 8})) * 3 *
                             static_cast<size_t>(shrunkSize(c.height, {1, 8})));
    EXPECT_EQ(decodeEighth(bytes, jpeg.size(), header, own.data(),
                           static_cast<size_t>(shrunkSize(c.width, {1, 8})) * 3),
              c.ownDecoder)
        << c.name;

    std::vector<uint8_t> dcOnly;
    if (c.progressive) {
      ASSERT_TRUE(keepDcScans(bytes, jpeg.size(), dcOnly)) << c.name;
      EXPECT_LT(dcOnly.size(), jpeg.size() / 2) << c.name << ": the AC scans were not left out";
    }

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
    if (c.ownDecoder) {
      EXPECT_EQ(own, expected) << c.name << ": the own decoder differs";
    }
  }
}

// A stream the own decoder cannot finish cleanly goes to libjpeg, which reports what is wrong.
TEST(EighthDecode, DeclinesDamagedStreams) {
  const auto photo = testing::photoLike(160, 96, 5);
  JpegOptions options;
  options.progressive = true;
  options.lumaH = options.lumaV = 1;
  const std::string progressive = testing::libjpegEncode(photo, options);
  options.restartInterval = 2;
  const std::string restarts = testing::libjpegEncode(photo, options);
  std::string renumbered = restarts;  // the second restart marker says it is the third
  const size_t rst = renumbered.find("\xFF\xD1");
  ASSERT_NE(rst, std::string::npos);
  renumbered[rst + 1] = '\xD2';
  std::vector<uint8_t> out(20 * 12 * 3);
  for (const std::string& s : {progressive.substr(0, progressive.size() - 2),
                               progressive.substr(0, progressive.size() / 3),
                               progressive.substr(0, progressive.size() / 8),
                               restarts.substr(0, restarts.size() - 2), renumbered}) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(s.data());
    JpegHeader header;
    std::string reason;
    ASSERT_EQ(readJpegHeader(bytes, s.size(), header, reason), JpegHeaderStatus::Ok);
    EXPECT_FALSE(decodeEighth(bytes, s.size(), header, out.data(), 20 * 3)) << s.size();
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
