// The loader: formats, colours, sizes, orientation, shrink-on-load, damaged input and the size
// limits.
#include "imaging/picture.h"

#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <tuple>

#include "imaging/jpeg/eighth_decode.h"
#include "imaging/jpeg/exif.h"
#include "imaging/jpeg/jpeg_decode.h"
#include "imaging/jpeg/jpeg_stream.h"
#include "imaging/jpeg/libjpeg_decode.h"
#include "support/picture_maker.h"
#include "support/temp_folder.h"

namespace vistrel::imaging {
namespace {

using testing::Bgr;
using testing::Colours;
using testing::meanAround;
using testing::near;
using testing::photoLike;
using testing::TempFolder;

Picture filled(int width, int height, Bgr colour) {
  return testing::painted(width, height, [&](int, int) { return colour; });
}

constexpr Bgr kRed{0, 0, 255}, kGreen{0, 255, 0}, kBlue{255, 0, 0}, kWhite{255, 255, 255};

// A luma sampling of 4 x 2, which TurboJPEG cannot name, at full size and shrunk to 1/2 (which
// keeps both sides >= 20). Untagged 4:4:4, grey and CMYK colours are checked with the profiles.
TEST(PictureLoad, UnusualSamplingGivesItsSizeAndColours) {
  const Bgr colour{40, 160, 220};
  TempFolder folder;
  const auto file = folder.write(
      "v.jpg",
      testing::libjpegEncode(filled(100, 60, colour), {.quality = 95, .lumaH = 4, .lumaV = 2}));
  const ProbeResult probed = probe(file);
  EXPECT_EQ(std::tuple(probed.ok, probed.info.format, probed.info.width, probed.info.height),
            std::tuple(true, PictureFormat::Jpeg, 100, 60));
  for (const auto& [least, width] : {std::pair{0, 100}, std::pair{10, 50}}) {
    const LoadResult loaded = load(file, least, least);
    ASSERT_TRUE(loaded.ok) << loaded.error.reason;
    EXPECT_EQ(std::tuple(loaded.warning, loaded.picture.width, loaded.picture.stride),
              std::tuple("", width, 3 * width));
    EXPECT_PRED3(near, Colours{meanAround(loaded.picture, 8, 8)}, Colours{colour}, 3);
  }
}

// An upright picture with red, green, blue and white quarters (left to right, top to bottom)
// stored as each orientation stores it: the quarter colours of the stored picture per tag.
TEST(PictureLoad, ExifOrientationsTurnPixelsAndSize) {
  const struct {
    int orientation;
    Bgr topLeft, topRight, bottomLeft, bottomRight;  // as stored
  } cases[] = {
      {1, kRed, kGreen, kBlue, kWhite}, {2, kGreen, kRed, kWhite, kBlue},
      {3, kWhite, kBlue, kGreen, kRed}, {4, kBlue, kWhite, kRed, kGreen},
      {5, kRed, kBlue, kGreen, kWhite}, {6, kGreen, kWhite, kRed, kBlue},
      {7, kWhite, kGreen, kBlue, kRed}, {8, kBlue, kRed, kWhite, kGreen},
  };
  TempFolder folder;
  for (const auto& c : cases) {
    const int w = c.orientation >= 5 ? 32 : 48, h = 80 - w;
    const Picture stored = testing::painted(w, h, [&](int x, int y) {
      return y < h / 2 ? (x < w / 2 ? c.topLeft : c.topRight)
                       : (x < w / 2 ? c.bottomLeft : c.bottomRight);
    });
    for (bool bigEndian : {true, false}) {
      const auto file = folder.write(
          "o.jpg", testing::withSegment(testing::tjEncode(stored, 95, TJSAMP_444),
                                        testing::exifSegment(c.orientation, bigEndian)));
      const ProbeResult probed = probe(file);
      const LoadResult loaded = load(file);
      const std::string what = std::to_string(c.orientation) + (bigEndian ? " MM" : " II");
      ASSERT_TRUE(probed.ok && loaded.ok) << what;
      EXPECT_EQ(std::tuple(probed.info.width, probed.info.height, loaded.info.width,
                           loaded.info.height, loaded.picture.width, loaded.picture.height),
                std::tuple(48, 32, 48, 32, 48, 32))
          << what;
      const Picture& p = loaded.picture;
      EXPECT_PRED3(near,
                   (Colours{meanAround(p, 12, 8), meanAround(p, 36, 8), meanAround(p, 12, 24),
                            meanAround(p, 36, 24)}),
                   (Colours{kRed, kGreen, kBlue, kWhite}), 12)
          << what;
    }
  }
}

// Reading the orientation tag from damaged EXIF blocks.
TEST(Exif, DamagedBlocksMeanUpright) {
  const std::string good = testing::exifSegment(6).substr(4 + 6);  // after "Exif\0\0"
  auto orientationOf = [](const std::string& tiff) {
    return exifOrientation(reinterpret_cast<const uint8_t*>(tiff.data()), tiff.size());
  };
  const struct {
    size_t at;
    char value;
    int orientation;
  } damage[] = {
      {0, 'X', 1},  // byte order
      {3, 41, 1},   // magic number
      {7, 100, 1},  // IFD offset past the end
      {9, 50, 6},   // entry count runs past the end; the tag is first, so still found
      {13, 4, 1},   // LONG instead of SHORT
      {19, 9, 1},   // orientation out of range
  };
  for (const auto& d : damage) {
    std::string tiff = good;
    tiff[d.at] = d.value;
    EXPECT_EQ(orientationOf(tiff), d.orientation) << "byte " << d.at;
  }
  for (size_t cut = 0; cut < good.size(); ++cut) {
    const int o = orientationOf(good.substr(0, cut));
    EXPECT_TRUE(o == 1 || o == 6) << cut;
  }
  EXPECT_EQ(exifOrientation(nullptr, 0), 1);
}

// Whether a JPEG's head records a GPS position; damage anywhere means no.
TEST(Exif, GpsPositionIsFoundOnlyWhereItIsWhole) {
  const std::string plain = testing::tjEncode(filled(16, 16, kWhite), 90, TJSAMP_444);
  const std::string gps = testing::gpsExifSegment(true);
  const std::string jfif("\xFF\xE0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00", 18);
  auto damaged = [&](size_t at, char value) {
    std::string segment = gps;
    segment[at] = value;
    return testing::withSegment(plain, segment);
  };
  const struct {
    const char* what;
    std::string jpeg;
    bool located;
  } cases[] = {
      {"a latitude", testing::withSegment(plain, gps), true},
      {"after a JFIF segment", testing::withSegment(plain, jfif + gps), true},
      {"a GPS IFD without a position", testing::withSegment(plain, testing::gpsExifSegment(false)),
       false},
      {"no GPS IFD", testing::withSegment(plain, testing::exifSegment(6)), false},
      {"no EXIF", plain, false},
      {"the GPS IFD past the end", damaged(40, 0x7F), false},
      {"the GPS pointer not a LONG", damaged(35, 2), false},
      {"the latitude's values past the end", damaged(82, 0x7F), false},
      {"the segment's length impossible", damaged(3, 1), false},
      {"not a JPEG", gps, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(jpegHasLocation(reinterpret_cast<const uint8_t*>(c.jpeg.data()), c.jpeg.size()),
              c.located)
        << c.what;
  }
  // A head cut anywhere is read only as far as it goes; from the latitude's last value on, the
  // position is whole.
  const std::string whole = testing::withSegment(plain, gps);
  for (size_t cut = 0; cut < gps.size() + 8; ++cut) {
    const std::string head = whole.substr(0, cut);
    EXPECT_EQ(jpegHasLocation(reinterpret_cast<const uint8_t*>(head.data()), head.size()),
              cut >= 2 + gps.size())
        << cut;
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
  const std::string jpeg = testing::tjEncode(photoLike(1600, 400, 3));
  const LoadResult shrunk = load(folder.write("wide.jpg", jpeg), 100, 25);
  ASSERT_TRUE(shrunk.ok);
  EXPECT_EQ(std::tuple(shrunk.info.width, shrunk.info.height, shrunk.picture.width,
                       shrunk.picture.height),
            std::tuple(1600, 400, 200, 50));  // 1/8

  // Stored 1600 x 400, shown 400 x 1600: the least size is in the shown orientation, and
  // loadFitted is asked with the shown size.
  const auto turned =
      folder.write("turned.jpg", testing::withSegment(jpeg, testing::exifSegment(6)));
  PictureInfo seen;
  const LoadResult fitted = loadFitted(turned, [&](const PictureInfo& info) {
    seen = info;
    return std::pair<int, int>(50, 200);
  });
  const LoadResult upright = load(turned, 50, 200);
  ASSERT_TRUE(fitted.ok && upright.ok);
  EXPECT_EQ(std::tuple(seen.width, seen.height, upright.info.width, upright.info.height,
                       upright.picture.width, upright.picture.height),
            std::tuple(400, 1600, 400, 1600, 100, 400));  // 1/4 keeps 100 x 400
  EXPECT_EQ(fitted.picture.bgr, upright.picture.bgr);

  // A file whose size cannot be read never reaches the sizing function.
  const LoadResult refused = loadFitted(folder.write("head.jpg", jpeg.substr(0, 40)),
                                        [&](const PictureInfo&) -> std::pair<int, int> {
                                          ADD_FAILURE() << "asked for a size";
                                          return {0, 0};
                                        });
  EXPECT_EQ(std::tuple(refused.ok, refused.error.reason), std::tuple(false, "file is truncated"));
}

// The memory for a file's bytes is asked for before they are read, and a JPEG far larger than its
// pixels can need is refused unread.
TEST(PictureLoad, FittedLoadReadsOnlyWhatItWasGranted) {
  TempFolder folder;
  const std::string jpeg = testing::tjEncode(photoLike(64, 64, 4));
  const auto fit = [](const PictureInfo&) { return std::pair<int, int>(16, 16); };
  const auto cut = folder.write("cut.jpg", jpeg);
  const LoadResult changed = loadFitted(cut, fit, [&](int64_t) {
    std::filesystem::resize_file(cut, jpeg.size() / 2);
    return std::nullopt;
  });
  EXPECT_EQ(changed.error.kind, LoadErrorKind::Changed) << changed.error.reason;

  const auto padded = folder.write("padded.jpg", jpeg);
  std::filesystem::resize_file(padded, int64_t{65} << 20);
  int64_t most = 0;
  const LoadResult refused = loadFitted(padded, fit, [&](int64_t bytes) {
    most = std::max(most, bytes);
    return std::nullopt;
  });
  EXPECT_EQ(std::tuple(refused.error.kind, refused.error.reason),
            std::tuple(LoadErrorKind::TooLarge,
                       "the file is far larger than a JPEG of 64 x 64 pixels can be (65 MB; at "
                       "most 64 MB are read)"));
  EXPECT_LE(most, 64 << 10);

  // Of a GIF only the first image is read, however many frames and bytes follow it.
  std::vector<testing::GifFrame> frames(2, {0, 0, 30, 30, std::vector<uint8_t>(900, 1)});
  frames[1].indexes.assign(900, 0);
  const auto gif = folder.write("long.gif", testing::gifFile(30, 30, {0, 0xFFFFFF}, frames));
  const LoadResult whole = load(gif);
  std::filesystem::resize_file(gif, int64_t{65} << 20);
  most = 0;
  const LoadResult first = loadFitted(gif, fit, [&](int64_t bytes) {
    most = std::max(most, bytes);
    return std::nullopt;
  });
  ASSERT_TRUE(first.ok && whole.ok) << first.error.reason;
  EXPECT_EQ(first.picture.bgr, whole.picture.bgr);
  EXPECT_LE(most, 64 << 10);
}

TEST(PictureLoad, DamagedFilesGiveReasons) {
  TempFolder folder;
  const std::string jpeg = testing::tjEncode(photoLike(320, 240, 5));
  const std::string gif =
      testing::gifFile(30, 30, {0, 0xFFFFFF}, {{0, 0, 30, 30, std::vector<uint8_t>(900, 1)}});
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
      {"noimage.gif", gif.substr(0, 13 + 384), "file is truncated"},
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
    const ProbeResult probed = probe(file);
    EXPECT_EQ(std::tuple(loaded.ok, loaded.error.file, loaded.error.reason, probed.ok,
                         probed.error.reason),
              std::tuple(false, file.string(), c.reason, false, c.reason));
  }
  const LoadResult missing = load(folder.path() / "absent.jpg");
  EXPECT_FALSE(missing.ok);
  EXPECT_NE(missing.error.reason.find("cannot be read"), std::string::npos);
  // Cut inside the GIF's image data: a partial image or a reason, never a crash.
  const LoadResult cut = load(folder.write("cut.gif", gif.substr(0, 13 + 384 + 8 + 10 + 20)));
  EXPECT_TRUE(cut.ok ? cut.picture.width == 30 : !cut.error.reason.empty());
}

// Decoded, with a warning, at full size and shrunk (a progressive one through its DC scans).
TEST(PictureLoad, DamagedOrCutJpegDataDecodesWithWarning) {
  std::string stray = testing::tjEncode(photoLike(320, 240, 9));
  stray.replace(stray.size() / 2, 2, "\xFF\xD5");  // the decoder resynchronises and complains
  std::vector<std::pair<std::string, std::string>> cases = {{stray, "damaged JPEG data ("}};
  for (const bool progressive : {false, true}) {
    const std::string jpeg =
        testing::libjpegEncode(photoLike(320, 240, 6), {.progressive = progressive});
    cases.emplace_back(jpeg.substr(0, jpeg.size() * 2 / 3),
                       "file is truncated: the end of the picture is missing");
  }
  TempFolder folder;
  for (const auto& [bytes, warning] : cases) {
    const auto file = folder.write("d.jpg", bytes);
    for (const int least : {0, 20}) {
      const LoadResult loaded = load(file, least, least * 3 / 4);
      ASSERT_TRUE(loaded.ok) << loaded.error.reason;
      EXPECT_EQ(loaded.picture.width, least ? 40 : 320);
      EXPECT_EQ(loaded.warning.rfind(warning, 0), 0u) << loaded.warning;
    }
  }
}

// A JPEG frame header claiming `width` x `height` pixels followed by nothing useful.
std::string claimedJpeg(int width, int height, bool progressive) {
  std::string s("\xFF\xD8\xFF", 3);
  s += progressive ? '\xC2' : '\xC0';
  s += std::string("\x00\x11\x08", 3);
  for (const int side : {height, width}) {
    s += static_cast<char>(side >> 8);
    s += static_cast<char>(side & 0xFF);
  }
  s += std::string("\x03\x01\x11\x00\x02\x11\x00\x03\x11\x00", 10);
  s += std::string("\xFF\xDA\x00\x0C\x03\x01\x00\x02\x00\x03\x00\x00\x3F\x00", 14);
  return s + std::string(64, '\0') + "\xFF\xD9";
}

TEST(PictureLoad, HugeClaimsAreRefusedBeforeDecoding) {
  TempFolder folder;
  const std::string tooLarge = "the picture is too large: ";
  const std::pair<std::string, std::string> cases[] = {
      // The largest a JPEG or GIF header can hold; 100000 does not fit its 16-bit fields.
      {claimedJpeg(65535, 65535, false), tooLarge + "65535 x 65535 pixels"},
      {testing::gifFile(65535, 65535, {0}, {}), tooLarge + "65535 x 65535 pixels"},
      {claimedJpeg(20000, 15000, false), tooLarge + "20000 x 15000 pixels"},
      // Within the pixel limit, but its coefficients alone need 1.5 GB.
      {claimedJpeg(16000, 16000, true), tooLarge + "decoding it would need"},
  };
  for (const auto& [bytes, reasonStart] : cases) {
    const LoadResult loaded = load(folder.write("huge", bytes), 150, 150);
    EXPECT_FALSE(loaded.ok);
    EXPECT_EQ(loaded.error.reason.rfind(reasonStart, 0), 0u) << loaded.error.reason;
  }
  // The header alone is fine to describe: probing reports the size.
  const ProbeResult probed = probe(folder.write("p.jpg", claimedJpeg(16000, 16000, true)));
  EXPECT_EQ(std::tuple(probed.ok, probed.info.width), std::tuple(true, 16000));
}

// `jpeg` with its frame header claiming side x side pixels and `emptyScans` scans of no data
// before its end, each of the first component, DC or AC.
std::string withEmptyScans(std::string jpeg, int side, int emptyScans, bool dc) {
  const size_t sof =
      jpeg.find(jpeg.find("\xFF\xC2") != std::string::npos ? "\xFF\xC2" : "\xFF\xC0");
  for (const size_t at : {sof + 5, sof + 7}) {
    jpeg[at] = static_cast<char>(side >> 8);
    jpeg[at + 1] = static_cast<char>(side & 0xFF);
  }
  jpeg.resize(jpeg.size() - 2);
  const std::string scan = std::string("\xFF\xDA\x00\x08\x01", 5) + jpeg[sof + 10] +
                           (dc ? std::string(4, '\0') : std::string("\x00\x01\x3F\x00", 4));
  for (int i = 0; i < emptyScans; ++i) {
    jpeg += scan;
  }
  return jpeg + "\xFF\xD9";
}

// Scans cost the decoder every block they cover however little data they hold: what is far
// beyond the data is refused, what encoders write at their densest is not.
TEST(PictureLoad, ScansBeyondTheirDataAreRefused) {
  const std::string small =
      testing::libjpegEncode(photoLike(64, 64, 2), {.progressive = true, .grey = true});
  const std::string refused = "damaged JPEG data: ";
  const std::tuple<const char*, std::string, std::string> cases[] = {
      {"empty DC scans", withEmptyScans(small, 16000, 494, true), refused},
      {"empty AC scans", withEmptyScans(small, 16000, 494, false), refused},
      {"baseline", withEmptyScans(testing::tjEncode(photoLike(64, 64, 2)), 16000, 0, true),
       refused},
      {"flat grey",
       testing::libjpegEncode(filled(4096, 4096, kWhite), {.progressive = true, .grey = true}), ""},
      {"flat colour", testing::libjpegEncode(filled(4096, 4096, kRed), {.progressive = true}), ""},
  };
  TempFolder folder;
  for (const auto& [name, bytes, reasonStart] : cases) {
    const LoadResult loaded = load(folder.write("s.jpg", bytes), 150, 150);
    EXPECT_EQ(loaded.ok, reasonStart.empty()) << name << ": " << loaded.error.reason;
    EXPECT_EQ(loaded.error.reason.rfind(reasonStart, 0), 0u) << name << ": " << loaded.error.reason;
    EXPECT_EQ(loaded.error.kind, loaded.ok ? LoadErrorKind::None : LoadErrorKind::Damaged) << name;
  }
}

TEST(PictureLoad, GifFirstImageAndTransparency) {
  TempFolder folder;
  // Red, green, then transparent; a blue second image that must not show.
  testing::GifFrame first{0, 0, 20, 10, std::vector<uint8_t>(200, 0), 3};
  for (size_t i = 0; i < 200; ++i) {
    first.indexes[i] = i % 20 < 10 ? 0 : i % 20 < 15 ? 1 : 3;
  }
  const testing::GifFrame second{0, 0, 20, 10, std::vector<uint8_t>(200, 2), -1};
  const auto file = folder.write(
      "anim.gif",
      testing::gifFile(20, 10, {0xFF0000, 0x00FF00, 0x0000FF, 0x123456}, {first, second}));
  // Transparent pixels take the background the caller gives.
  const LoadResult loaded = load(file, 5, 5, 0x0A141E);
  const ProbeResult probed = probe(file);
  ASSERT_TRUE(probed.ok && loaded.ok) << probed.error.reason << loaded.error.reason;
  EXPECT_EQ(std::tuple(probed.info.format, probed.info.width, probed.info.height,
                       loaded.picture.width, loaded.picture.height),
            std::tuple(PictureFormat::Gif, 20, 10, 20, 10));
  const Picture& p = loaded.picture;
  EXPECT_PRED3(near, (Colours{meanAround(p, 2, 5), meanAround(p, 12, 5), meanAround(p, 17, 5)}),
               (Colours{kRed, kGreen, {30, 20, 10}}), 0);
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

// Progressive JPEGs shrunk to 1/8 are decoded from their DC scans alone, by the own decoder or
// by libjpeg given only those scans: the pixels must be exactly those of decoding every scan.
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
    bool own;  // decodeEighth takes it
  };
  // 4:2:0 chroma is scaled by the inverse DCT and keeps its AC scans; the others do not. The own
  // decoder takes 4:4:4 and grey.
  const Case cases[] = {
      {"4:2:0", 803, 611, 0, 2, 2, false, false},
      {"4:2:0 with restarts", 803, 611, 7, 2, 2, false, false},
      {"4:4:4", 640, 480, 0, 1, 1, false, true},
      {"4:4:4 with restarts every MCU", 640, 488, 1, 1, 1, false, true},
      {"4:2:2 with restarts", 650, 470, 5, 2, 1, false, false},
      {"4:4:0", 650, 470, 0, 1, 2, false, false},
      {"4:1:1", 700, 300, 0, 4, 1, false, false},
      {"luma 4 x 2", 700, 300, 2, 4, 2, false, false},
      {"grey with restarts", 517, 389, 3, 1, 1, true, true},
  };
  vistrel::testing::TempFolder folder;
  for (const Case& c : cases) {
    const testing::JpegOptions options{.quality = 92,
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
    JpegHeader header;
    std::string reason;
    const auto* bytes = reinterpret_cast<const uint8_t*>(jpeg.data());
    ASSERT_EQ(readJpegHeader(bytes, jpeg.size(), header, reason), JpegHeaderStatus::Ok);
    std::vector<uint8_t> own(expected.size());
    EXPECT_EQ(decodeEighth(bytes, jpeg.size(), header, own.data(), 3 * size_t(width)), c.own)
        << c.name;
    EXPECT_TRUE(!c.own || own == expected) << c.name << ": the own decoder differs";
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

// What either way cannot read cleanly goes to a full decode, which reports the fault.
TEST(ProgressiveDcScans, OnlyProgressiveCompleteStreamsAreRewrittenOrDecoded) {
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

  const testing::JpegOptions own{.progressive = true, .lumaH = 1, .lumaV = 1};
  const std::string whole = testing::libjpegEncode(photo, own);
  std::string renumbered = testing::libjpegEncode(
      photo, {.progressive = true, .restartInterval = 2, .lumaH = 1, .lumaV = 1});
  renumbered[renumbered.find("\xFF\xD1") + 1] = '\xD2';  // the second restart claims third
  std::vector<uint8_t> pixels(25 * 15 * 3);
  const std::pair<std::string, bool> streams[] = {
      {whole, true},
      {baseline, false},
      {whole.substr(0, whole.size() - 2), false},
      {whole.substr(0, whole.size() / 3), false},
      {renumbered, false},
  };
  for (const auto& [s, decoded] : streams) {
    JpegHeader header;
    std::string reason;
    const auto* bytes = reinterpret_cast<const uint8_t*>(s.data());
    ASSERT_EQ(readJpegHeader(bytes, s.size(), header, reason), JpegHeaderStatus::Ok);
    EXPECT_EQ(decodeEighth(bytes, s.size(), header, pixels.data(), 25 * 3), decoded) << s.size();
  }
}

// Every one-byte change to a small stream: what the own decoder accepts, libjpeg given the same
// DC scans decodes without complaint to the same pixels.
TEST(ProgressiveDcScans, OwnDecoderAcceptsOnlyWhatLibjpegReadsAlike) {
  const std::string whole = testing::libjpegEncode(
      photoLike(48, 40, 3), {.progressive = true, .restartInterval = 2, .lumaH = 1, .lumaV = 1});
  int accepted = 0;
  for (size_t at = 2; at < whole.size(); ++at) {
    for (const int v : {0x00, 0x01, 0x11, 0xC4, 0xD9, 0xFF, (whole[at] + 1) & 0xFF}) {
      std::string s = whole;
      s[at] = static_cast<char>(v);
      const auto* bytes = reinterpret_cast<const uint8_t*>(s.data());
      JpegHeader h;
      std::string reason, error, warning;
      std::vector<uint8_t> own(size_t{6} * 5 * 3), dcOnly(own.size()), kept;
      if (readJpegHeader(bytes, s.size(), h, reason) != JpegHeaderStatus::Ok || h.width != 48 ||
          h.height != 40 || !decodeEighth(bytes, s.size(), h, own.data(), 6 * 3)) {
        continue;
      }
      ++accepted;
      ASSERT_TRUE(keepDcScans(bytes, s.size(), kept)) << at << " " << v;
      EXPECT_TRUE(decodeWithLibjpeg(kept.data(), kept.size(), 1, 8, false, false, dcOnly.data(), 6,
                                    5, 6 * 3, error, warning) &&
                  warning.empty() && own == dcOnly)
          << at << " " << v << " " << error << warning;
    }
  }
  EXPECT_GT(accepted, 100);
}

}  // namespace
}  // namespace vistrel::imaging
