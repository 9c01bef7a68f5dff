#include "thumbs/make_thumbnails.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QString>
#include <algorithm>
#include <map>
#include <stdexcept>

#include "browse/file_size.h"
#include "support/temp_folder.h"
#include "thumbs/sample_pictures.h"

namespace vistrel {
using browse::FitSize;
using browse::FormatFileSize;
using thumbs::BatchSettings;
using thumbs::MakeThumbnails;

namespace {

namespace fs = std::filesystem;
using testing::RecordingDisplay;
using testing::TempFolder;

QImage decode(const fs::path& file) {
  return QImage(QString::fromStdString(file.string()));
}

BatchSettings settingsFor(const fs::path& folder, std::vector<std::string> names, int workers = 1) {
  BatchSettings s;
  s.folder = folder;
  s.pictureNames = std::move(names);
  s.ImageCount = static_cast<int>(s.pictureNames.size());
  s.workers = workers;
  return s;
}

std::string numbered(int i) {
  std::string name = "p";  // built in steps: "p" + std::to_string(i) trips a GCC 12 warning
  name += std::to_string(i);
  name += ".jpg";
  return name;
}

const std::string kOddName = "a b & \"q\" \xC3\xA9t\xC3\xA9.jpg";  // blanks, &, ", é

// A folder with one of each kind of picture the batch meets, in the list's order.
std::vector<std::string> writeMixedFolder(const fs::path& folder) {
  testing::writeJpeg(folder / kOddName, 120, 90);
  testing::writeBytes(folder / "corrupt.jpg", "\xFF\xD8\xFF\xE0 this is not a picture");
  testing::writeJpeg(folder / "landscape.jpg", 400, 300);
  testing::writeJpeg(folder / "portrait.JPG", 300, 400);
  testing::writeJpeg(folder / "rotated.jpg", 160, 80, /*orientation=*/6);
  testing::writeJpeg(folder / "small.jpg", 60, 40);
  testing::writeGif(folder / "square.gif", 200, 200);
  testing::writeGif(folder / "x.gif", 100, 200);
  testing::writeJpeg(folder / "x.jpg", 300, 100);
  return {kOddName,    "corrupt.jpg", "landscape.jpg", "portrait.JPG", "rotated.jpg",
          "small.jpg", "square.gif",  "x.gif",         "x.jpg"};
}

TEST(MakeThumbnails, MakesUprightThumbnailsOfEveryKindAndReportsTheRest) {
  TempFolder folder;
  const auto names = writeMixedFolder(folder.path());
  RecordingDisplay display;
  const auto result = MakeThumbnails(settingsFor(folder.path(), names, 2), display);

  struct Expected {
    std::string picture, thumbnail;
    int16_t width, height;
  };
  const Expected expected[] = {
      {kOddName, "th_a b & \"q\" \xC3\xA9t\xC3\xA9.jpg", 150, 113},
      {"landscape.jpg", "th_landscape.jpg", 150, 113},  // 400 x 300 measured in twips
      {"portrait.JPG", "th_portrait.jpg", 113, 150},
      {"rotated.jpg", "th_rotated.jpg", 150, 75},  // shown 160 x 80 after its EXIF turn
      {"small.jpg", "th_small.jpg", 150, 100},     // enlarged
      {"square.gif", "th_square.jpg", 150, 150},
      {"x.gif", "th_x.jpg", 75, 150},
  };
  ASSERT_EQ(result.thumbs.size(), std::size(expected));
  for (size_t i = 0; i < std::size(expected); ++i) {
    const auto& e = expected[i];
    const auto& info = result.thumbs[i];
    EXPECT_EQ(info.FileName, e.picture);
    EXPECT_EQ(info.Width, e.width) << e.picture;
    EXPECT_EQ(info.Height, e.height) << e.picture;
    EXPECT_EQ(info.FileSize,
              FormatFileSize(static_cast<long long>(fs::file_size(folder.path() / e.picture))));
    const QImage thumb = decode(folder.path() / e.thumbnail);
    ASSERT_FALSE(thumb.isNull()) << e.thumbnail;
    EXPECT_EQ(thumb.width(), e.width) << e.thumbnail;
    EXPECT_EQ(thumb.height(), e.height) << e.thumbnail;
    EXPECT_TRUE(testing::looksUpright(thumb)) << e.thumbnail;
    EXPECT_EQ(testing::readBytes(folder.path() / e.thumbnail).substr(0, 3), "\xFF\xD8\xFF");
  }
  // x.jpg's thumbnail would be x.gif's, th_x.jpg: the first in the list keeps the name.
  ASSERT_EQ(result.problems.size(), 2u);
  EXPECT_EQ(result.problems[0].file, "corrupt.jpg");
  EXPECT_EQ(result.problems[0].kind, thumbs::ProblemKind::PictureUnreadable);
  EXPECT_FALSE(result.problems[0].reason.empty());
  EXPECT_EQ(result.problems[1].file, "x.jpg");
  EXPECT_EQ(result.problems[1].kind, thumbs::ProblemKind::NameTaken);
  EXPECT_NE(result.problems[1].reason.find("x.gif"), std::string::npos);
  EXPECT_FALSE(fs::exists(folder.path() / "th_corrupt.jpg"));
  EXPECT_EQ(result.last, (FitSize{75, 150}));
  for (const auto& entry : fs::directory_iterator(folder.path())) {
    EXPECT_EQ(entry.path().filename().string().find(".vistrel"), std::string::npos)
        << "temporary file left: " << entry.path();
  }
}

TEST(MakeThumbnails, OneWorkerAndManyGiveTheSameBytes) {
  // th_a.jpg, a photo of the user's, is listed too: it keeps a.jpg from its thumbnail's name and
  // gets th_th_a.jpg of its own, however the work is spread.
  TempFolder one;
  TempFolder many;
  std::vector<std::string> names;
  for (const auto* folder : {&one, &many}) {
    names = writeMixedFolder(folder->path());
    testing::writeJpeg(folder->path() / "a.jpg", 640, 480);
    testing::writeJpeg(folder->path() / "th_a.jpg", 33, 77);  // an old thumbnail
    for (int i = 0; i < 12; ++i) {
      testing::writeJpeg(folder->path() / numbered(i), 90 + 13 * i, 200 - 7 * i);
    }
  }
  // Thumbnails record their picture's time: the two folders' pictures must have the same.
  for (const auto& entry : fs::directory_iterator(one.path())) {
    fs::last_write_time(many.path() / entry.path().filename(), entry.last_write_time());
  }
  // Side by side, so that a worker would read th_a.jpg while a.jpg is being worked on.
  std::vector<std::string> list = {"a.jpg", "th_a.jpg"};
  list.insert(list.end(), names.begin(), names.end());
  names = std::move(list);
  for (int i = 0; i < 12; ++i) {
    names.push_back(numbered(i));
  }
  RecordingDisplay oneDisplay;
  RecordingDisplay manyDisplay;
  const auto oneResult = MakeThumbnails(settingsFor(one.path(), names, 1), oneDisplay);
  const auto manyResult = MakeThumbnails(settingsFor(many.path(), names, 4), manyDisplay);

  EXPECT_EQ(testing::snapshot(one.path()), testing::snapshot(many.path()));
  EXPECT_EQ(oneResult.thumbs, manyResult.thumbs);
  EXPECT_EQ(oneResult.problems, manyResult.problems);
  EXPECT_EQ(oneDisplay.events, manyDisplay.events);
  EXPECT_EQ(decode(many.path() / "th_th_a.jpg").size(), QSize(64, 150));
  EXPECT_EQ(oneResult.problems.at(0).file, "a.jpg");
}

TEST(MakeThumbnails, NeverReplacesAFileWithoutItsMark) {
  TempFolder folder;
  testing::writeJpeg(folder.path() / "a.jpg", 80, 60);
  testing::writeGif(folder.path() / "b.gif", 60, 80);
  testing::writeGif(folder.path() / "x.gif", 60, 80);
  testing::writeJpeg(folder.path() / "x.jpg", 80, 60);
  testing::writeBytes(folder.path() / "th_a.jpg", "old thumbnail");
  const auto pictureBytes = testing::snapshot(folder.path());

  RecordingDisplay display;
  auto withPrefix = settingsFor(folder.path(), {"a.jpg", "b.gif"}, 2);
  auto result = MakeThumbnails(withPrefix, display);
  ASSERT_EQ(result.problems.size(), 1u);
  EXPECT_NE(result.problems[0].reason.find("th_a.jpg"), std::string::npos);
  EXPECT_EQ(testing::readBytes(folder.path() / "th_a.jpg"), "old thumbnail");
  EXPECT_EQ(decode(folder.path() / "th_b.jpg").height(), 150);

  // With no prefix the thumbnails would be named like the pictures: a.jpg itself, and x.jpg
  // for x.gif. Those pictures are left as they are and reported; b.gif gets b.jpg.
  for (int workers : {1, 3}) {
    auto noPrefix = settingsFor(folder.path(), {"a.jpg", "b.gif", "x.gif", "x.jpg"}, workers);
    noPrefix.prefix = "";
    fs::remove(folder.path() / "b.jpg");
    result = MakeThumbnails(noPrefix, display);
    ASSERT_EQ(result.thumbs.size(), 1u);
    EXPECT_EQ(result.thumbs[0].FileName, "b.gif");
    EXPECT_EQ(decode(folder.path() / "b.jpg").height(), 150);
    ASSERT_EQ(result.problems.size(), 3u);
    EXPECT_EQ(result.problems[0].file, "a.jpg");
    EXPECT_EQ(result.problems[1].file, "x.gif");
    EXPECT_NE(result.problems[1].reason.find("x.jpg"), std::string::npos);
    EXPECT_EQ(result.problems[2].file, "x.jpg");
    for (const auto* picture : {"a.jpg", "x.gif", "x.jpg", "b.gif"}) {
      EXPECT_EQ(testing::readBytes(folder.path() / picture), pictureBytes.at(picture)) << picture;
    }
  }
}

TEST(MakeThumbnails, AThumbnailThatCannotBeWrittenIsReportedAndTheRunGoesOn) {
  TempFolder folder;
  testing::writeJpeg(folder.path() / "a.jpg", 80, 60);
  testing::writeJpeg(folder.path() / "b.jpg", 3000, 2);  // extreme: short side kept at 1
  testing::writeJpeg(folder.path() / "c.jpg", 80, 60);
  fs::create_directory(folder.path() / "th_a.jpg");
  RecordingDisplay display;
  const auto result =
      MakeThumbnails(settingsFor(folder.path(), {"a.jpg", "b.jpg", "c.jpg"}, 2), display);
  ASSERT_EQ(result.problems.size(), 1u);
  EXPECT_EQ(result.problems[0].file, "a.jpg");
  EXPECT_NE(result.problems[0].reason.find("th_a.jpg"), std::string::npos);
  ASSERT_EQ(result.thumbs.size(), 2u);
  EXPECT_EQ(result.thumbs[0].Height, 1);
  const QImage thin = decode(folder.path() / "th_b.jpg");
  EXPECT_EQ(thin.size(), QSize(150, 1));
  EXPECT_EQ(decode(folder.path() / "th_c.jpg").width(), 150);
}

TEST(MakeThumbnails, RefusesAPrefixThatLeavesTheFolder) {
  TempFolder folder;
  testing::writeJpeg(folder.path() / "a.jpg", 80, 60);
  fs::create_directory(folder.path() / "sub");
  auto settings = settingsFor(folder.path(), {"a.jpg"});
  settings.prefix = "sub/";
  RecordingDisplay display;
  EXPECT_THROW(MakeThumbnails(settings, display), std::invalid_argument);
  EXPECT_TRUE(fs::is_empty(folder.path() / "sub"));
  EXPECT_TRUE(display.events.empty());
}

TEST(MakeThumbnails, ProcessesOnlyTheCountedPictures) {
  TempFolder folder;
  testing::writeJpeg(folder.path() / "a.jpg", 80, 60);
  testing::writeJpeg(folder.path() / "b.jpg", 80, 60);
  auto settings = settingsFor(folder.path(), {"a.jpg", "b.jpg"});
  settings.ImageCount = 1;
  RecordingDisplay display;
  const auto result = MakeThumbnails(settings, display);
  EXPECT_EQ(result.thumbs.size(), 1u);
  EXPECT_FALSE(fs::exists(folder.path() / "th_b.jpg"));
  EXPECT_EQ(display.events.front(), "status Processing images...     (1 of 1)");
}

// A gallery may hold more pictures than a 16-bit count reaches: every one is worked on and
// counted. (The pictures are missing, which keeps the run short; each is reported.)
TEST(MakeThumbnails, CountsBeyond32767Pictures) {
  TempFolder folder;
  std::vector<std::string> names;
  for (int i = 0; i < 32770; ++i) {
    names.push_back(numbered(i));
  }
  RecordingDisplay display;
  const auto result = MakeThumbnails(settingsFor(folder.path(), names, 2), display);
  EXPECT_EQ(result.problems.size(), 32770u);
  EXPECT_EQ(result.problems.back().file, "p32769.jpg");
  EXPECT_NE(std::find(display.events.begin(), display.events.end(),
                      "status Processing images...     (32770 of 32770)"),
            display.events.end());
}

}  // namespace
}  // namespace vistrel
