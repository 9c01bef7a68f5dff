// The loader: formats, colours, sizes, shrink-on-load, damaged input and the size limits.
#include "imaging/picture.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QPalette>
#include <tuple>

#include "imaging/gif_decode.h"
#include "imaging/jpeg_decode.h"
#include "imaging/picture_maker.h"
#include "support/temp_folder.h"

namespace vistrel::imaging {
namespace {

using testing::blankPicture;
using testing::JpegOptions;
using testing::photoLike;
using testing::TempFolder;

struct Bgr {
  int b, g, r;
};

// The mean colour of a square of 5 x 5 pixels centred on (x, y).
Bgr meanAround(const Picture& p, int x, int y) {
  int sums[3] = {0, 0, 0};
  for (int dy = -2; dy <= 2; ++dy) {
    for (int dx = -2; dx <= 2; ++dx) {
      const uint8_t* px = p.row(y + dy) + 3 * (x + dx);
      for (int c = 0; c < 3; ++c) {
        sums[c] += px[c];
      }
    }
  }
  return {sums[0] / 25, sums[1] / 25, sums[2] / 25};
}

void expectNear(Bgr actual, Bgr expected, int tolerance, const std::string& what) {
  EXPECT_NEAR(actual.b, expected.b, tolerance) << what << " (blue)";
  EXPECT_NEAR(actual.g, expected.g, tolerance) << what << " (green)";
  EXPECT_NEAR(actual.r, expected.r, tolerance) << what << " (red)";
}

Picture filled(int width, int height, Bgr colour) {
  Picture p = blankPicture(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      testing::setPixel(p, x, y, colour.b, colour.g, colour.r);
    }
  }
  return p;
}

constexpr Bgr kRed{0, 0, 255}, kGreen{0, 255, 0}, kBlue{255, 0, 0}, kWhite{255, 255, 255};

TEST(PictureLoad, JpegVariantsGiveTheirSizeAndColours) {
  JpegOptions greyOptions;
  greyOptions.grey = true;
  greyOptions.progressive = true;
  JpegOptions luma42;  // TurboJPEG cannot name a luma sampling of 4 x 2
  luma42.lumaH = 4;
  luma42.lumaV = 2;
  luma42.quality = 95;
  const Bgr colour{40, 160, 220}, grey{90, 90, 90}, light{170, 170, 170};
  const std::string sampled = testing::libjpegEncode(filled(100, 60, colour), luma42);
  struct Case {
    const char* what;
    std::string bytes;
    int least, width, height, loadedWidth;
    Bgr colour;
  };
  const Case cases[] = {
      {"4:4:4", testing::tjEncode(filled(64, 40, colour), 95, TJSAMP_444), 0, 64, 40, 64, colour},
      {"grey", testing::tjEncode(filled(40, 30, grey), 95, TJSAMP_GRAY), 0, 40, 30, 40, grey},
      {"progressive grey", testing::libjpegEncode(filled(40, 30, light), greyOptions), 0, 40, 30,
       40, light},
      {"luma 4 x 2", sampled, 0, 100, 60, 100, colour},
      {"luma 4 x 2 shrunk", sampled, 10, 100, 60, 50, colour},  // 1/2 keeps both sides >= 20
  };
  TempFolder folder;
  for (const Case& c : cases) {
    const auto file = folder.write("v.jpg", c.bytes);
    const ProbeResult probed = probe(file);
    ASSERT_TRUE(probed.ok) << c.what << ": " << probed.error.reason;
    EXPECT_EQ(probed.info.format, PictureFormat::Jpeg);
    EXPECT_EQ(probed.info.width, c.width) << c.what;
    EXPECT_EQ(probed.info.height, c.height) << c.what;
    const LoadResult loaded = load(file, c.least, c.least);
    ASSERT_TRUE(loaded.ok) << c.what << ": " << loaded.error.reason;
    EXPECT_TRUE(loaded.warning.empty()) << c.what;
    EXPECT_EQ(loaded.picture.width, c.loadedWidth) << c.what;
    EXPECT_EQ(loaded.picture.stride, 3 * c.loadedWidth) << c.what;
    expectNear(meanAround(loaded.picture, loaded.picture.width / 2, loaded.picture.height / 2),
               c.colour, 3, c.what);
  }
}

// An upright picture with red, green, blue and white quarters (left to right, top to bottom)
// stored as each orientation stores it: the quarter colours of the stored picture per tag.
TEST(PictureLoad, ExifOrientationsTurnPixelsAndSize) {
  struct Case {
    int orientation;
    Bgr topLeft, topRight, bottomLeft, bottomRight;  // as stored
  };
  const Case cases[] = {
      {1, kRed, kGreen, kBlue, kWhite}, {2, kGreen, kRed, kWhite, kBlue},
      {3, kWhite, kBlue, kGreen, kRed}, {4, kBlue, kWhite, kRed, kGreen},
      {5, kRed, kBlue, kGreen, kWhite}, {6, kGreen, kWhite, kRed, kBlue},
      {7, kWhite, kGreen, kBlue, kRed}, {8, kBlue, kRed, kWhite, kGreen},
  };
  TempFolder folder;
  for (const Case& c : cases) {
    for (bool bigEndian : {true, false}) {
      const bool quarterTurn = c.orientation >= 5;
      const int w = quarterTurn ? 32 : 48, h = quarterTurn ? 48 : 32;
      Picture stored = blankPicture(w, h);
      for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
          const Bgr q = y < h / 2 ? (x < w / 2 ? c.topLeft : c.topRight)
                                  : (x < w / 2 ? c.bottomLeft : c.bottomRight);
          testing::setPixel(stored, x, y, q.b, q.g, q.r);
        }
      }
      const std::string jpeg = testing::withSegment(testing::tjEncode(stored, 95, TJSAMP_444),
                                                    testing::exifSegment(c.orientation, bigEndian));
      const auto file = folder.write("o.jpg", jpeg);
      const std::string what =
          "orientation " + std::to_string(c.orientation) + (bigEndian ? " MM" : " II");
      const ProbeResult probed = probe(file);
      const LoadResult loaded = load(file);
      ASSERT_TRUE(probed.ok && loaded.ok) << what;
      EXPECT_EQ(std::tuple(probed.info.width, probed.info.height, loaded.info.width,
                           loaded.info.height, loaded.picture.width, loaded.picture.height),
                std::tuple(48, 32, 48, 32, 48, 32))
          << what;
      expectNear(meanAround(loaded.picture, 12, 8), kRed, 12, what + " top left");
      expectNear(meanAround(loaded.picture, 36, 8), kGreen, 12, what + " top right");
      expectNear(meanAround(loaded.picture, 12, 24), kBlue, 12, what + " bottom left");
      expectNear(meanAround(loaded.picture, 36, 24), kWhite, 12, what + " bottom right");
    }
  }
}

// CMYK as Photoshop writes it (Adobe marker, inks inverted: 255 is no ink) and plain CMYK,
// both as CMYK and as YCCK.
TEST(PictureLoad, CmykAndYcckJpegs) {
  const std::vector<std::array<int, 4>> inks = {
      {255, 0, 0, 0}, {0, 255, 255, 0}, {0, 0, 0, 255}, {0, 0, 0, 0}, {0, 128, 0, 0}};
  const Bgr expected[] = {{255, 255, 0}, {0, 0, 255}, {0, 0, 0}, {255, 255, 255}, {255, 127, 255}};
  TempFolder folder;
  // YCCK needs the Adobe marker to be recognised at all.
  const std::pair<bool, bool> variants[] = {{true, false}, {true, true}, {false, false}};
  for (const auto& [adobe, ycck] : variants) {
    const auto file = folder.write("cmyk.jpg", testing::cmykPatchesJpeg(inks, adobe, ycck, 98));
    const LoadResult loaded = load(file);
    const std::string what = std::string(adobe ? "Adobe " : "plain ") + (ycck ? "YCCK" : "CMYK");
    ASSERT_TRUE(loaded.ok) << what << ": " << loaded.error.reason;
    for (size_t i = 0; i < inks.size(); ++i) {
      expectNear(meanAround(loaded.picture, 16 * static_cast<int>(i) + 8, 8), expected[i], 4,
                 what + " ink " + std::to_string(i));
    }
  }
}

TEST(PictureLoad, ShrinkFactorChoice) {
  struct Case {
    int width, height, leastWidth, leastHeight, num, den;
  };
  const Case cases[] = {
      {2400, 2400, 150, 150, 1, 8},  // exactly twice at 1/8
      {2393, 2393, 150, 150, 1, 8},  // 299.1 rounds up to 300
      {2392, 2392, 150, 150, 1, 4},  // 299 would be too small
      {1920, 1080, 150, 150, 1, 2},  // the short side decides; 3/8 is not used
      {400, 250, 150, 94, 1, 1},     // nor 3/4: full size
      {1920, 1080, 150, 84, 1, 4},   // a fitted thumbnail's size
      {299, 299, 150, 150, 1, 1},    // already below twice the size: never enlarged
      {300, 300, 150, 150, 1, 1},   {5000, 5000, 0, 0, 1, 1},  // no least size: full size
      {5000, 5000, 150, 0, 1, 1},   {65535, 16, 100, 1, 1, 8},
  };
  for (const Case& c : cases) {
    const ShrinkFactor f = chooseShrink(c.width, c.height, c.leastWidth, c.leastHeight);
    EXPECT_EQ(f.num * c.den, c.num * f.den)
        << c.width << "x" << c.height << " for " << c.leastWidth << "x" << c.leastHeight << ": got "
        << f.num << "/" << f.den;
  }
}

TEST(PictureLoad, ShrinkOnLoadKeepsNaturalSizeAndSizesByTheShownOrientation) {
  TempFolder folder;
  const auto file = folder.write("wide.jpg", testing::tjEncode(photoLike(1600, 400, 3)));
  const LoadResult shrunk = load(file, 100, 25);
  ASSERT_TRUE(shrunk.ok);
  EXPECT_EQ(shrunk.info.width, 1600);
  EXPECT_EQ(shrunk.info.height, 400);
  EXPECT_EQ(shrunk.picture.width, 200);  // 1/8
  EXPECT_EQ(shrunk.picture.height, 50);

  // Stored 1600 x 400, shown 400 x 1600: the least size is in the shown orientation, and
  // loadFitted is asked with the shown size.
  const auto turned = folder.write(
      "turned.jpg",
      testing::withSegment(testing::tjEncode(photoLike(1600, 400, 3)), testing::exifSegment(6)));
  PictureInfo seen;
  const LoadResult fitted = loadFitted(turned, [&](const PictureInfo& info) {
    seen = info;
    return std::pair<int, int>(50, 200);
  });
  ASSERT_TRUE(fitted.ok);
  EXPECT_EQ(seen.width, 400);
  EXPECT_EQ(seen.height, 1600);
  const LoadResult upright = load(turned, 50, 200);
  ASSERT_TRUE(upright.ok);
  EXPECT_EQ(upright.info.width, 400);
  EXPECT_EQ(upright.info.height, 1600);
  EXPECT_EQ(upright.picture.width, 100);  // 1/4 keeps 100 x 400
  EXPECT_EQ(upright.picture.height, 400);
  EXPECT_EQ(fitted.picture.bgr, upright.picture.bgr);

  // A file whose size cannot be read never reaches the sizing function.
  bool asked = false;
  const auto broken =
      folder.write("head.jpg", testing::tjEncode(photoLike(320, 240, 5)).substr(0, 40));
  const LoadResult refused = loadFitted(broken, [&](const PictureInfo&) {
    asked = true;
    return std::pair<int, int>(0, 0);
  });
  EXPECT_FALSE(refused.ok);
  EXPECT_FALSE(asked);
  EXPECT_EQ(refused.error.reason, "file is truncated");
}

TEST(PictureLoad, DamagedFilesGiveReasons) {
  TempFolder folder;
  const std::string jpeg = testing::tjEncode(photoLike(320, 240, 5));
  struct Case {
    std::string name, bytes, reason;
  };
  const Case cases[] = {
      {"garbage.jpg", "this is not a picture at all, only words", "not a JPEG or GIF file"},
      {"png.jpg", "\x89PNG\r\n\x1a\n0000", "not a JPEG or GIF file"},
      {"empty.jpg", "", "the file is empty"},
      {"headonly.jpg", jpeg.substr(0, 40), "file is truncated"},
      {"soi.jpg", "\xFF\xD8", "file is truncated"},
      {"gifhead.gif", "GIF89a\x10\x00", "file is truncated"},
      {"lossless.jpg",
       std::string("\xFF\xD8\xFF\xC3\x00\x0B\x08\x00\x10\x00\x10\x01\x01\x11\x00", 15),
       "unsupported JPEG variant: lossless"},
      {"twelve.jpg",
       std::string("\xFF\xD8\xFF\xC1\x00\x0B\x0C\x00\x10\x00\x10\x01\x01\x11\x00", 15),
       "unsupported JPEG variant: 12 bits per sample"},
  };
  for (const Case& c : cases) {
    const auto file = folder.write(c.name, c.bytes);
    const LoadResult loaded = load(file);
    EXPECT_FALSE(loaded.ok) << c.name;
    EXPECT_EQ(loaded.error.file, file.string()) << c.name;
    EXPECT_EQ(loaded.error.reason, c.reason) << c.name;
    const ProbeResult probed = probe(file);
    EXPECT_FALSE(probed.ok) << c.name;
    EXPECT_EQ(probed.error.reason, c.reason) << c.name;
  }
  const LoadResult missing = load(folder.path() / "absent.jpg");
  EXPECT_FALSE(missing.ok);
  EXPECT_NE(missing.error.reason.find("cannot be read"), std::string::npos);
}

TEST(PictureLoad, JpegEndingEarlyDecodesWithWarning) {
  TempFolder folder;
  for (const bool progressive : {false, true}) {
    JpegOptions options;
    options.progressive = progressive;
    const std::string jpeg = testing::libjpegEncode(photoLike(320, 240, 6), options);
    const auto file = folder.write("cut.jpg", jpeg.substr(0, jpeg.size() * 2 / 3));
    const LoadResult loaded = load(file);
    ASSERT_TRUE(loaded.ok) << loaded.error.reason;
    EXPECT_EQ(loaded.picture.width, 320);
    EXPECT_EQ(loaded.warning, "file is truncated: the end of the picture is missing");
    // Shrunk (the progressive one through its DC scans) it still decodes and warns.
    const LoadResult small = load(file, 20, 15);
    ASSERT_TRUE(small.ok) << small.error.reason;
    EXPECT_EQ(small.picture.width, 40);
    EXPECT_FALSE(small.warning.empty());
  }
}

TEST(PictureLoad, DamagedJpegDataDecodesWithWarning) {
  TempFolder folder;
  std::string jpeg = testing::tjEncode(photoLike(320, 240, 9));
  // A stray marker inside the picture data: the decoder resynchronises and complains.
  jpeg.replace(jpeg.size() / 2, 2, "\xFF\xD5");
  const LoadResult loaded = load(folder.write("stray.jpg", jpeg));
  ASSERT_TRUE(loaded.ok) << loaded.error.reason;
  EXPECT_EQ(loaded.picture.width, 320);
  EXPECT_EQ(loaded.warning.rfind("damaged JPEG data (", 0), 0u) << loaded.warning;
}

// A JPEG frame header claiming `width` x `height` pixels followed by nothing useful.
std::string claimedJpeg(int width, int height, bool progressive) {
  std::string s("\xFF\xD8\xFF", 3);
  s += progressive ? '\xC2' : '\xC0';
  s += std::string("\x00\x11\x08", 3);
  s += static_cast<char>(height >> 8);
  s += static_cast<char>(height & 0xFF);
  s += static_cast<char>(width >> 8);
  s += static_cast<char>(width & 0xFF);
  s += std::string("\x03\x01\x11\x00\x02\x11\x00\x03\x11\x00", 10);
  s += std::string("\xFF\xDA\x00\x0C\x03\x01\x00\x02\x00\x03\x00\x00\x3F\x00", 14);
  return s + std::string(64, '\0') + "\xFF\xD9";
}

TEST(PictureLoad, HugeClaimsAreRefusedBeforeDecoding) {
  TempFolder folder;
  struct Case {
    std::string name, bytes, reasonStart;
  };
  const std::string tooLarge = "the picture is too large: ";
  const Case cases[] = {
      // The largest a JPEG or GIF header can hold; 100000 does not fit its 16-bit fields.
      {"max.jpg", claimedJpeg(65535, 65535, false), tooLarge + "65535 x 65535 pixels"},
      {"max.gif", testing::gifFile(65535, 65535, {0}, {}), tooLarge + "65535 x 65535 pixels"},
      {"over.jpg", claimedJpeg(20000, 15000, false), tooLarge + "20000 x 15000 pixels"},
      // Within the pixel limit, but its coefficients alone need 1.5 GB.
      {"coefficients.jpg", claimedJpeg(16000, 16000, true), tooLarge + "decoding it would need"},
  };
  for (const Case& c : cases) {
    const auto file = folder.write(c.name, c.bytes);
    const LoadResult loaded = load(file, 150, 150);
    EXPECT_FALSE(loaded.ok) << c.name;
    EXPECT_EQ(loaded.error.reason.rfind(c.reasonStart, 0), 0u)
        << c.name << ": " << loaded.error.reason;
  }
  // The header alone is fine to describe: probing reports the size.
  const ProbeResult probed = probe(folder.write("p.jpg", claimedJpeg(16000, 16000, true)));
  ASSERT_TRUE(probed.ok);
  EXPECT_EQ(probed.info.width, 16000);
}

TEST(PictureLoad, GifFirstImageAndTransparency) {
  TempFolder folder;
  const std::vector<uint32_t> palette = {0xFF0000, 0x00FF00, 0x0000FF, 0x123456};
  testing::GifFrame first{0, 0, 20, 10, std::vector<uint8_t>(200, 0), 3};
  for (int y = 0; y < 10; ++y) {
    for (int x = 10; x < 20; ++x) {
      first.indexes[y * 20 + x] = x < 15 ? 1 : 3;  // green, then transparent
    }
  }
  testing::GifFrame second{0, 0, 20, 10, std::vector<uint8_t>(200, 2), -1};
  const auto file = folder.write("anim.gif", testing::gifFile(20, 10, palette, {first, second}));
  // Transparent pixels take the window's base colour, as it is when the picture is loaded.
  const QPalette saved = QGuiApplication::palette();
  QPalette dark = saved;
  dark.setColor(QPalette::Base, QColor(10, 20, 30));
  QGuiApplication::setPalette(dark);
  const LoadResult loaded = load(file, 5, 5);
  QGuiApplication::setPalette(saved);
  const ProbeResult probed = probe(file);
  ASSERT_TRUE(probed.ok) << probed.error.reason;
  EXPECT_EQ(probed.info.format, PictureFormat::Gif);
  EXPECT_EQ(probed.info.width, 20);
  EXPECT_EQ(probed.info.height, 10);
  ASSERT_TRUE(loaded.ok) << loaded.error.reason;
  ASSERT_EQ(loaded.picture.width, 20);
  ASSERT_EQ(loaded.picture.height, 10);
  // Red, green, then the transparent colour shown as the base colour.
  const uint8_t* row = loaded.picture.row(5);
  EXPECT_EQ(std::vector<int>(row + 3 * 2, row + 3 * 3), (std::vector<int>{0, 0, 255}));
  EXPECT_EQ(std::vector<int>(row + 3 * 12, row + 3 * 13), (std::vector<int>{0, 255, 0}));
  EXPECT_EQ(std::vector<int>(row + 3 * 17, row + 3 * 18), (std::vector<int>{30, 20, 10}));
}

// The natural size a probe reports is the size the decoded first image has.
TEST(PictureLoad, GifSizeFromScreenAndFirstImage) {
  struct Case {
    int screenWidth, screenHeight, left, top, width, height, expectWidth, expectHeight;
  };
  const Case cases[] = {
      {10, 10, 5, 5, 10, 10, 10, 10},  // an image reaching past the screen is clipped
      {100, 100, 0, 0, 4, 4, 100, 100},
      {0, 0, 3, 2, 7, 5, 10, 7},  // no screen size: the image's extent
      {12, 0, 1, 1, 7, 5, 12, 6},
  };
  TempFolder folder;
  for (const Case& c : cases) {
    const testing::GifFrame frame{c.left, c.top, c.width, c.height,
                                  std::vector<uint8_t>(static_cast<size_t>(c.width * c.height))};
    const auto file = folder.write(
        "s.gif", testing::gifFile(c.screenWidth, c.screenHeight, {0, 0xFFFFFF}, {frame}));
    const ProbeResult probed = probe(file);
    const LoadResult loaded = load(file);
    ASSERT_TRUE(probed.ok && loaded.ok) << c.screenWidth << "x" << c.screenHeight;
    EXPECT_EQ(std::tuple(probed.info.width, probed.info.height, loaded.picture.width,
                         loaded.picture.height),
              std::tuple(c.expectWidth, c.expectHeight, c.expectWidth, c.expectHeight))
        << c.screenWidth << "x" << c.screenHeight;
  }
}

TEST(PictureLoad, DamagedGifIsAnError) {
  TempFolder folder;
  testing::GifFrame frame{0, 0, 30, 30, std::vector<uint8_t>(900, 1), -1};
  const std::string gif = testing::gifFile(30, 30, {0, 0xFFFFFF}, {frame});
  // Cut inside the image data.
  const LoadResult cut = load(folder.write("cut.gif", gif.substr(0, 13 + 384 + 8 + 10 + 20)));
  if (cut.ok) {
    EXPECT_EQ(cut.picture.width, 30);  // a partial image is acceptable, a crash is not
  } else {
    EXPECT_FALSE(cut.error.reason.empty());
  }
  const LoadResult noImage = load(folder.write("noimage.gif", gif.substr(0, 13 + 384)));
  EXPECT_FALSE(noImage.ok);
  EXPECT_EQ(noImage.error.reason, "file is truncated");
}

}  // namespace
}  // namespace vistrel::imaging
