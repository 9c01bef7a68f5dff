// The modern gallery's display copies: sized by the view size and the picture, upright, in sRGB,
// without the picture's metadata, and kept, remade or left out like thumbnails.
#include <gtest/gtest.h>

#include <QImage>
#include <QString>

#include "support/colour_profiles.h"
#include "support/sample_pictures.h"
#include "support/temp_folder.h"
#include "thumbs/make_thumbnails.h"

namespace vistrel::thumbs {
namespace {

namespace fs = std::filesystem;
using testing::readBytes;
using testing::RecordingDisplay;
using testing::TempFolder;
using testing::writeJpeg;

BatchSettings modernSettings(const fs::path& folder, std::vector<std::string> names,
                             int viewSize = 1280) {
  BatchSettings s;
  s.folder = folder;
  s.pictureNames = std::move(names);
  s.ImageCount = static_cast<int>(s.pictureNames.size());
  s.workers = 1;
  s.modern = true;
  s.viewSize = viewSize;
  return s;
}

QImage decode(const fs::path& file) {
  return QImage(QString::fromStdString(file.string()));
}

// The application and comment segments of a JPEG file, where metadata lives, as "E0 EB" (hex).
std::string markers(const std::string& jpeg) {
  std::string out;
  for (size_t pos = 2; pos + 4 <= jpeg.size() && static_cast<uint8_t>(jpeg[pos]) == 0xFF;) {
    const int marker = static_cast<uint8_t>(jpeg[pos + 1]);
    if ((marker >= 0xE0 && marker <= 0xEF) || marker == 0xFE) {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%02X ", marker);
      out += hex;
    }
    if (marker == 0xDA) {
      break;
    }
    pos += 2 + (static_cast<uint8_t>(jpeg[pos + 2]) << 8 | static_cast<uint8_t>(jpeg[pos + 3]));
  }
  return out;
}

// "WxH" of a copy's record, or "-" when the picture has none of it.
std::string sized(const std::string& file, int width, int height) {
  return file.empty() ? "-" : std::to_string(width) + "x" + std::to_string(height);
}

TEST(DisplayCopies, FitTheViewSizeNeverEnlargedUprightAndWithoutMetadata) {
  struct Case {
    int width, height, orientation, viewSize;
    const char* view;
    const char* view2x;
  };
  const Case cases[] = {
      {3000, 2000, 1, 1280, "1280x853", "2560x1707"},
      {2000, 3000, 1, 1280, "853x1280", "1707x2560"},
      {1600, 1000, 1, 1280, "1280x800", "1600x1000"},  // the dense copy is the picture's size
      {800, 600, 1, 1280, "800x600", "-"},             // both would be the picture: one copy
      {2000, 1000, 6, 1280, "1280x640", "2000x1000"},  // stored turned, with EXIF
      {3000, 2000, 1, 320, "320x213", "640x427"},
  };
  for (const auto& c : cases) {
    TempFolder folder;
    writeJpeg(folder.path() / "p.jpg", c.width, c.height, c.orientation);
    RecordingDisplay display;
    const auto result =
        MakeThumbnails(modernSettings(folder.path(), {"p.jpg"}, c.viewSize), display);
    ASSERT_EQ(result.thumbs.size(), 1u);
    const ThumbInfo& info = result.thumbs[0];
    const std::string label = std::to_string(c.width) + "x" + std::to_string(c.height);
    EXPECT_EQ(sized(info.ViewFile, info.ViewWidth, info.ViewHeight), c.view) << label;
    EXPECT_EQ(sized(info.View2xFile, info.View2xWidth, info.View2xHeight), c.view2x) << label;
    EXPECT_EQ(info.FileBytes, fs::file_size(folder.path() / "p.jpg"));
    for (const auto& file : {info.ViewFile, info.View2xFile}) {
      if (file.empty()) {
        continue;
      }
      const QImage image = decode(folder.path() / file);
      EXPECT_TRUE(testing::looksUpright(image)) << file;
      // JFIF's header and our record (EB); no EXIF, profile or comment.
      EXPECT_EQ(markers(readBytes(folder.path() / file)), "E0 EB ") << file;
    }
    EXPECT_FALSE(fs::exists(folder.path() / "th_p@view2x.jpg") && info.View2xFile.empty());
  }
}

TEST(DisplayCopies, AWideGamutPictureComesOutInSrgbLikeItsThumbnail) {
  TempFolder folder;
  const auto p3Red = testing::painted(400, 300, [](int, int) { return testing::Bgr{0, 0, 255}; });
  testing::writeBytes(folder.path() / "p3.jpg",
                      testing::withSegment(testing::tjEncode(p3Red, 95, TJSAMP_444),
                                           testing::iccSegments(testing::displayP3())));
  RecordingDisplay display;
  const auto result = MakeThumbnails(modernSettings(folder.path(), {"p3.jpg"}), display);
  ASSERT_EQ(result.thumbs.size(), 1u);
  const QColor copy = decode(folder.path() / result.thumbs[0].ViewFile).pixelColor(200, 150);
  const QColor thumb = decode(folder.path() / result.thumbs[0].ThumbFile).pixelColor(75, 56);
  // P3's red lies outside sRGB: it comes out as sRGB's own red, without the profile.
  EXPECT_NEAR(copy.red(), thumb.red(), 3);
  EXPECT_NEAR(copy.green(), thumb.green(), 3);
  EXPECT_LE(copy.green(), 10);
  EXPECT_EQ(markers(readBytes(folder.path() / result.thumbs[0].ViewFile)), "E0 EB ");
}

TEST(DisplayCopies, AViewSizeChangeRemakesOnlyTheCopies) {
  TempFolder folder;
  writeJpeg(folder.path() / "big.jpg", 1600, 1000);
  RecordingDisplay display;
  MakeThumbnails(modernSettings(folder.path(), {"big.jpg"}), display);
  const auto thumbnail = readBytes(folder.path() / "th_big.jpg");
  const auto thumbnailTime = fs::last_write_time(folder.path() / "th_big.jpg");
  const auto viewTime = fs::last_write_time(folder.path() / "th_big@view.jpg");

  // Unchanged: nothing is written.
  auto again = MakeThumbnails(modernSettings(folder.path(), {"big.jpg"}), display);
  EXPECT_EQ(again.kept, 1);
  EXPECT_EQ(fs::last_write_time(folder.path() / "th_big@view.jpg"), viewTime);

  // The picture now fits the view: one copy at its size, and the dense one is obsolete.
  auto wider = MakeThumbnails(modernSettings(folder.path(), {"big.jpg"}, 2048), display);
  ASSERT_EQ(wider.thumbs.size(), 1u);
  EXPECT_EQ(sized(wider.thumbs[0].ViewFile, wider.thumbs[0].ViewWidth, wider.thumbs[0].ViewHeight),
            "1600x1000");
  EXPECT_TRUE(wider.thumbs[0].View2xFile.empty());
  EXPECT_EQ(wider.obsolete, std::vector<std::string>{"th_big@view2x.jpg"});
  EXPECT_EQ(readBytes(folder.path() / "th_big.jpg"), thumbnail);
  EXPECT_EQ(fs::last_write_time(folder.path() / "th_big.jpg"), thumbnailTime);
  std::vector<std::string> removed;
  std::vector<RunProblem> problems;
  removeLeftoverThumbnails(modernSettings(folder.path(), {"big.jpg"}, 2048), wider, removed,
                           problems);
  EXPECT_EQ(removed, std::vector<std::string>{"th_big@view2x.jpg"});

  // Kept again at that size, with no dense copy asked for.
  again = MakeThumbnails(modernSettings(folder.path(), {"big.jpg"}, 2048), display);
  EXPECT_EQ(again.kept, 1);
  EXPECT_TRUE(again.obsolete.empty());
}

TEST(DisplayCopies, AUsersFileAtACopysNameStaysAndThePictureIsShownWithoutThatCopy) {
  TempFolder folder;
  writeJpeg(folder.path() / "a.jpg", 3000, 2000);
  testing::writeBytes(folder.path() / "th_a@view.jpg", "my own notes");
  RecordingDisplay display;
  const auto result = MakeThumbnails(modernSettings(folder.path(), {"a.jpg"}), display);
  EXPECT_EQ(readBytes(folder.path() / "th_a@view.jpg"), "my own notes");
  ASSERT_EQ(result.thumbs.size(), 1u);
  EXPECT_TRUE(result.thumbs[0].ViewFile.empty());
  EXPECT_EQ(result.thumbs[0].View2xFile, "th_a@view2x.jpg");
  ASSERT_EQ(result.problems.size(), 1u);
  EXPECT_EQ(result.problems[0].kind, ProblemKind::CopyNotMade);
  EXPECT_EQ(result.problems[0].rendition, RenditionKind::View);
  EXPECT_EQ(result.problems[0].other, "th_a@view.jpg");
  EXPECT_TRUE(result.problems[0].isWarning());
}

}  // namespace
}  // namespace vistrel::thumbs
