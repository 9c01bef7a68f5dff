#include "imaging/jpeg/jpeg_writer.h"

#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "imaging/record/thumb_record.h"
#include "support/picture_maker.h"
#include "support/temp_folder.h"

namespace vistrel::imaging {
namespace {

using testing::dibPixel;
using vistrel::testing::TempFolder;
namespace fs = std::filesystem;

struct Decoded {
  bool ok = false;
  int subsampling = -1;
  Picture picture;
};

Decoded decode(const std::string& bytes) {
  Decoded d;
  Picture& p = d.picture;
  tjhandle h = tjInitDecompress();
  auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  int colourspace = 0;
  if (tjDecompressHeader3(h, data, bytes.size(), &p.width, &p.height, &d.subsampling,
                          &colourspace) == 0) {
    p = testing::blankPicture(p.width, p.height);
    d.ok = tjDecompress2(h, data, bytes.size(), p.bgr.data(), p.width, p.stride, p.height, TJPF_BGR,
                         0) == 0;
  }
  tjDestroy(h);
  return d;
}

// A smooth picture (4:2:0 chroma cannot keep sharp colour edges) whose green grows from the top
// row down, so that a picture turned upside down shows.
Picture testPixels(int width, int height) {
  return testing::painted(width, height, [](int x, int y) {
    return testing::Bgr{100 + std::min((x + y) * 3, 150), 30 + std::min(y * 8, 200),
                        40 + std::min(x * 6, 200)};
  });
}

// Its bitmap, with padding bytes set to 0xFF to catch an encoder that reads them as pixels.
cDIBSection testPicture(int width, int height) {
  cDIBSection dib;
  dib.CreateFromPicture(testPixels(width, height));
  for (int r = 0; r < dib.Height(); ++r) {
    std::fill(dibPixel(dib, dib.Width(), r), dibPixel(dib, 0, r + 1), 0xFF);
  }
  return dib;
}

// The segments before the first scan, as (marker, payload) pairs in file order.
std::vector<std::pair<int, std::string>> segments(const std::string& jpeg) {
  std::vector<std::pair<int, std::string>> out;
  size_t pos = 2;
  while (pos + 4 <= jpeg.size() && static_cast<uint8_t>(jpeg[pos]) == 0xFF) {
    const int marker = static_cast<uint8_t>(jpeg[pos + 1]);
    const size_t length = static_cast<size_t>(static_cast<uint8_t>(jpeg[pos + 2])) << 8 |
                          static_cast<uint8_t>(jpeg[pos + 3]);
    out.emplace_back(marker, jpeg.substr(pos + 4, length - 2));
    if (marker == 0xDA) {
      break;
    }
    pos += 2 + length;
  }
  return out;
}

// Baseline JFIF at the DIB's own size, upright, padding ignored (odd widths leave 1 to 3 padding
// bytes a row), with the record, if any, in an APP11 segment right after the JFIF header.
TEST(WriteJpegFile, WritesTheDibUprightWithItsRecord) {
  TempFolder folder;
  std::string binary(kMaxJpegRecordBytes, '\0');
  for (size_t i = 0; i < binary.size(); ++i) {
    binary[i] = static_cast<char>((i * 7919) >> 3);  // every byte value, 0xFF and 0x00 included
  }
  const struct {
    int width, height;
    std::string record;
  } cases[] = {{150, 113, ""}, {100, 75, ""},
               {1, 1, ""},     {7, 5, "v1 photo.jpg 1234"},
               {2, 9, binary}, {33, 17, std::string("\xFF\xD9\x00\xFF", 4)}};
  for (const auto& c : cases) {
    cDIBSection dib = testPicture(c.width, c.height);
    ASSERT_TRUE(WriteJpegFile(dib, (folder.path() / "t.jpg").string(), 95, c.record));
    const std::string bytes = folder.read("t.jpg");
    const auto found = segments(bytes);
    ASSERT_GE(found.size(), 2u);
    EXPECT_EQ(std::tuple(found[0].first, found[0].second.substr(0, 5)),
              std::tuple(0xE0, std::string("JFIF\0", 5)));
    if (!c.record.empty()) {
      EXPECT_EQ(found[1], std::pair(0xEB, c.record));
    }
    auto count = [&](int marker) {
      return std::count_if(found.begin(), found.end(), [&](auto& f) { return f.first == marker; });
    };
    // APP11, baseline and progressive frames.
    EXPECT_EQ(std::tuple(count(0xEB), count(0xC0), count(0xC2)),
              std::tuple(c.record.empty() ? 0 : 1, 1, 0));
    const Decoded d = decode(bytes);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.subsampling, TJSAMP_420);
    EXPECT_GT(testing::psnr(d.picture, testPixels(c.width, c.height)), 36) << c.width;
  }
  // A record one byte too long writes nothing.
  cDIBSection dib = testPicture(8, 8);
  EXPECT_FALSE(WriteJpegFile(dib, (folder.path() / "long.jpg").string(), 65, binary + "x"));
  EXPECT_FALSE(fs::exists(folder.path() / "long.jpg"));
}

TEST(WriteJpegFile, FailsWithoutTouchingWhatIsThere) {
  TempFolder folder;
  const fs::path existing = folder.write("old.jpg", "old content");
  fs::create_directory(folder.path() / "taken.jpg");

  cDIBSection picture = testPicture(8, 8);
  cDIBSection tooWide;  // the encoder refuses sides over 65500 pixels
  ASSERT_TRUE(tooWide.Create(65501, 1));
  cDIBSection neverCreated;
  cDIBSection failedCreate;
  EXPECT_FALSE(failedCreate.Create(0, 0));

  // The system's error number where the system refused (-1: not checked), else 0.
  const struct {
    const char* what;
    cDIBSection* dib;
    std::string path;
    int quality;
    int osError;
  } cases[] = {
      {"DIB never created", &neverCreated, existing.string(), 65, 0},
      {"DIB whose Create failed", &failedCreate, existing.string(), 65, 0},
      {"empty path", &picture, "", 65, 0},
      {"path naming a folder", &picture, (folder.path() / "").string(), 65, -1},
      {"folder that does not exist", &picture, (folder.path() / "missing" / "a.jpg").string(), 65,
       ENOENT},
      {"a directory where the file must go", &picture, (folder.path() / "taken.jpg").string(), 65,
       -1},
      {"a place nobody can write", &picture, "/proc/vistrel-test.jpg", 65, -1},
      {"quality the encoder refuses (0)", &picture, existing.string(), 0, 0},
      {"quality the encoder refuses (101)", &picture, existing.string(), 101, 0},
      {"a picture the encoder refuses", &tooWide, existing.string(), 65, 0},
  };
  for (const auto& c : cases) {
    int error = 12345;
    EXPECT_FALSE(WriteJpegFile(*c.dib, c.path, c.quality, {}, &error)) << c.what;
    EXPECT_TRUE(c.osError >= 0 ? error == c.osError : error > 0) << c.what << ": " << error;
  }
  // The thread's encoder is whole again after a failure.
  TempFolder other;
  int error = -1;
  EXPECT_TRUE(WriteJpegFile(picture, (other.path() / "after.jpg").string(), 65, {}, &error));
  const fs::path taken = folder.path() / "taken.jpg";
  EXPECT_EQ(std::tuple(error, decode(other.read("after.jpg")).ok, folder.read("old.jpg"),
                       fs::is_directory(taken) && fs::is_empty(taken)),
            std::tuple(0, true, "old content", true));
  // No temporary file is left behind.
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder.path())) {
    names.insert(entry.path().filename().string());
  }
  EXPECT_EQ(names, (std::set<std::string>{"old.jpg", "taken.jpg"}));
}

TEST(WriteJpegFile, WritesUnderAnyNameAndKeepsAReplacedFilesPermissions) {
  TempFolder folder;
  cDIBSection dib = testPicture(9, 9);
  const std::string names[] = {"th_Fot\xC3\xB3 \xC3\xBC.jpg",   // UTF-8
                               std::string(250, 'a') + ".jpg",  // 254 bytes, near the limit
                               std::string(199, 'a') + "\xC3\xA9.jpg"};
  for (const std::string& name : names) {
    EXPECT_TRUE(WriteJpegFile(dib, (folder.path() / name).string(), 65)) << name.size();
    EXPECT_TRUE(decode(folder.read(name)).ok) << name.size();
  }
  const auto perms = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
  const fs::path file = folder.write("th_photo.jpg", "old content");
  fs::permissions(file, perms);
  ASSERT_TRUE(WriteJpegFile(dib, file.string(), 65));
  EXPECT_TRUE(decode(folder.read("th_photo.jpg")).ok);
  EXPECT_EQ(fs::status(file).permissions(), perms);
}

TEST(WriteJpegFile, OptimisedAndStandardTablesGiveTheSamePixels) {
  TempFolder folder;
  const Picture photo = vistrel::testing::photoLike(150, 113, 7);
  cDIBSection dib;
  dib.CreateFromPicture(photo);
  for (int quality : {60, 65, 90}) {
    ASSERT_TRUE(WriteJpegFile(dib, (folder.path() / "o.jpg").string(), quality));
    const std::string optimised = folder.read("o.jpg");
    // The same picture through TurboJPEG, which writes the standard tables (with the accurate
    // DCT, as ours: its default below quality 96 is the fast one).
    const std::string standard =
        vistrel::testing::tjEncode(photo, quality, TJSAMP_420, TJFLAG_ACCURATEDCT);
    const Decoded a = decode(optimised), b = decode(standard);
    ASSERT_TRUE(a.ok && b.ok);
    EXPECT_EQ(a.picture.bgr, b.picture.bgr) << "quality " << quality;
    EXPECT_LT(optimised.size() * 100, standard.size() * 95) << "quality " << quality;
    // Standard tables right after optimised ones for a flat picture, which need few codes.
    cDIBSection flat;
    flat.CreateFromPicture(testing::blankPicture(64, 64));
    ASSERT_TRUE(WriteJpegFile(flat, (folder.path() / "f.jpg").string(), quality));
    ASSERT_TRUE(WriteJpegFile(dib, (folder.path() / "s.jpg").string(), quality, {}, nullptr,
                              JpegTables::Standard));
    const Decoded c = decode(folder.read("s.jpg"));
    ASSERT_TRUE(c.ok);
    EXPECT_EQ(c.picture.bgr, b.picture.bgr) << "quality " << quality;
  }
}

// Every field set: a name that is not UTF-8 (kept as bytes), sizes past 32 bits.
const ThumbRecord kRecord{.sourceName = "caf\xE9 \"1\".jpg",
                          .sourceSize = 5'000'000'123ull,
                          .sourceMtimeNs = 1'700'000'000'123'456'789ll,
                          .largestWidth = 1500,
                          .largestHeight = 7,
                          .quality = 65,
                          .twipsPerPixelX = 15,
                          .twipsPerPixelY = 12.5f,
                          .kind = imaging::kThumbnail2xFile,
                          .width = 3000,
                          .height = 14,
                          .pictureWidth = 70000,
                          .pictureHeight = 327};

TEST(ThumbRecord, RoundTripsAndRejectsAnyAlteredOrShortenedPayload) {
  const auto payload = encodeThumbRecord(kRecord);
  ASSERT_EQ(decodeThumbRecord(payload), kRecord);
  for (size_t i = 0; i < payload.size(); ++i) {
    std::string altered = payload;
    altered[i] ^= 0x10;
    EXPECT_FALSE(decodeThumbRecord(altered)) << "byte " << i;
  }
  EXPECT_FALSE(decodeThumbRecord(payload.substr(0, payload.size() - 1)));
  EXPECT_FALSE(decodeThumbRecord(payload + "x"));
}

}  // namespace
}  // namespace vistrel::imaging
