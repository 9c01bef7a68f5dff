#include "thumbs/make_thumbnails.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QString>
#include <algorithm>
#include <stdexcept>

#include "browse/file_size.h"
#include "support/sample_pictures.h"
#include "support/temp_folder.h"
#include "thumbs/thumb_info.h"

namespace vistrel {
using browse::FitSize;
using browse::FormatFileSize;
using thumbs::BatchSettings;
using thumbs::MakeThumbnails;

namespace {

namespace fs = std::filesystem;
using testing::numbered;
using testing::problemFiles;
using testing::readBytes;
using testing::RecordingDisplay;
using testing::TempFolder;
using testing::writeGif;
using testing::writeJpeg;

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

const std::string kOddName = "a b & \"q\" \xC3\xA9t\xC3\xA9.jpg";  // blanks, &, ", é

// A folder with one of each kind of picture the batch meets, in the list's order.
std::vector<std::string> writeMixedFolder(const fs::path& folder) {
  writeJpeg(folder / kOddName, 120, 90);
  testing::writeBytes(folder / "corrupt.jpg", "\xFF\xD8\xFF\xE0 this is not a picture");
  writeJpeg(folder / "landscape.jpg", 400, 300);
  writeJpeg(folder / "portrait.JPG", 300, 400);
  writeJpeg(folder / "rotated.jpg", 160, 80, /*orientation=*/6);
  writeJpeg(folder / "small.jpg", 60, 40);
  writeGif(folder / "square.gif", 200, 200);
  writeGif(folder / "x.gif", 100, 200);
  writeJpeg(folder / "x.jpg", 300, 100);
  return {kOddName,    "corrupt.jpg", "landscape.jpg", "portrait.JPG", "rotated.jpg",
          "small.jpg", "square.gif",  "x.gif",         "x.jpg"};
}

TEST(MakeThumbnails, MakesUprightThumbnailsOfEveryKindAndReportsTheRest) {
  TempFolder folder;
  const auto names = writeMixedFolder(folder.path());
  RecordingDisplay display;
  const auto result = MakeThumbnails(settingsFor(folder.path(), names, 2), display);

  // Each picture's fit, then its thumbnail file's size, JPEG or not, upright or not.
  std::string made;
  for (const auto& info : result.thumbs) {
    const fs::path thumbnail = folder.path() / thumbs::thumbnailName("th_", info.FileName);
    const QImage image = decode(thumbnail);
    made += info.FileName + " " + std::to_string(info.Width) + "x" + std::to_string(info.Height) +
            " " + std::to_string(image.width()) + "x" + std::to_string(image.height()) +
            (readBytes(thumbnail).rfind("\xFF\xD8\xFF", 0) == 0 ? " JPEG" : " other") +
            (testing::looksUpright(image) ? "\n" : " turned\n");
    EXPECT_EQ(info.FileSize,
              FormatFileSize(static_cast<long long>(fs::file_size(folder.path() / info.FileName))));
  }
  // Measured in twips; rotated.jpg is shown 160 x 80 after its EXIF turn; small.jpg is enlarged.
  EXPECT_EQ(made, kOddName +
                      " 150x113 150x113 JPEG\n"
                      "landscape.jpg 150x113 150x113 JPEG\n"
                      "portrait.JPG 113x150 113x150 JPEG\n"
                      "rotated.jpg 150x75 150x75 JPEG\n"
                      "small.jpg 150x100 150x100 JPEG\n"
                      "square.gif 150x150 150x150 JPEG\n"
                      "x.gif 75x150 75x150 JPEG\n");
  // x.jpg's thumbnail would be x.gif's, th_x.jpg: the first in the list keeps the name.
  ASSERT_EQ(problemFiles(result.problems), "corrupt.jpg x.jpg ");
  EXPECT_EQ(result.problems[0].kind, thumbs::ProblemKind::PictureUnreadable);
  EXPECT_EQ(result.problems[0].cause, thumbs::Cause::Described);
  EXPECT_FALSE(result.problems[0].detail.empty());
  EXPECT_EQ(result.problems[1].kind, thumbs::ProblemKind::NameTaken);
  EXPECT_EQ(result.problems[1].owner, "x.gif");
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
  // Side by side, so that a worker would read th_a.jpg while a.jpg is being worked on.
  std::vector<std::string> names = {"a.jpg", "th_a.jpg"};
  for (const auto& name : writeMixedFolder(one.path())) {
    names.push_back(name);
  }
  writeJpeg(one.path() / "a.jpg", 640, 480);
  writeJpeg(one.path() / "th_a.jpg", 33, 77);  // an old thumbnail
  for (int i = 0; i < 12; ++i) {
    names.push_back(numbered("p", i));
    writeJpeg(one.path() / names.back(), 90 + 13 * i, 200 - 7 * i);
  }
  // Thumbnails record their picture's time: the two folders' pictures must have the same.
  for (const auto& entry : fs::directory_iterator(one.path())) {
    fs::copy_file(entry.path(), many.path() / entry.path().filename());
    fs::last_write_time(many.path() / entry.path().filename(), entry.last_write_time());
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

TEST(MakeThumbnails, WithNoPrefixNoPictureIsReplacedByAThumbnail) {
  TempFolder folder;
  writeJpeg(folder.path() / "a.jpg", 80, 60);
  writeGif(folder.path() / "b.gif", 60, 80);
  writeGif(folder.path() / "x.gif", 60, 80);
  writeJpeg(folder.path() / "x.jpg", 80, 60);
  const auto pictureBytes = testing::snapshot(folder.path());
  RecordingDisplay display;
  // With no prefix the thumbnails would be named like the pictures: a.jpg itself, and x.jpg
  // for x.gif. Those pictures are left as they are and reported; b.gif gets b.jpg.
  for (int workers : {1, 3}) {
    auto noPrefix = settingsFor(folder.path(), {"a.jpg", "b.gif", "x.gif", "x.jpg"}, workers);
    noPrefix.prefix = "";
    fs::remove(folder.path() / "b.jpg");  // from the run before
    const auto result = MakeThumbnails(noPrefix, display);
    ASSERT_EQ(result.thumbs.size(), 1u);
    EXPECT_EQ(result.thumbs[0].FileName, "b.gif");
    EXPECT_EQ(decode(folder.path() / "b.jpg").height(), 150);
    ASSERT_EQ(problemFiles(result.problems), "a.jpg x.gif x.jpg ");
    EXPECT_EQ(result.problems[1].other, "x.jpg");
    for (const auto* picture : {"a.jpg", "x.gif", "x.jpg", "b.gif"}) {
      EXPECT_EQ(readBytes(folder.path() / picture), pictureBytes.at(picture)) << picture;
    }
  }
}

TEST(MakeThumbnails, AThumbnailNameOverTheFolderLimitIsToldAsTooLong) {
  TempFolder folder;
  const std::string fits = std::string(248, 'a') + ".jpg";  // "th_" + 252 bytes: 255
  const std::string over = std::string(251, 'b') + ".jpg";
  writeJpeg(folder.path() / fits, 40, 30);
  writeJpeg(folder.path() / over, 40, 30);
  for (const bool modern : {false, true}) {
    auto settings = settingsFor(folder.path(), {fits, over});
    settings.modern = modern;
    RecordingDisplay display;
    std::string problems;
    for (const auto& problem : MakeThumbnails(settings, display).problems) {
      EXPECT_EQ(problem.cause, thumbs::Cause::NameTooLong);
      problems += problem.file +
                  (problem.rendition == thumbs::RenditionKind::Thumbnail2x ? " 2x " : " ") +
                  std::to_string(problem.other.size()) + " " + std::to_string(problem.limit) + "\n";
    }
    EXPECT_EQ(problems, (modern ? fits + " 2x 258 255\n" : "") + over + " 258 255\n");
  }
}

TEST(MakeThumbnails, RefusesAPrefixThatLeavesTheFolder) {
  TempFolder folder;
  writeJpeg(folder.path() / "a.jpg", 80, 60);
  fs::create_directory(folder.path() / "sub");
  auto settings = settingsFor(folder.path(), {"a.jpg"});
  settings.prefix = "sub/";
  RecordingDisplay display;
  EXPECT_THROW(MakeThumbnails(settings, display), std::invalid_argument);
  EXPECT_TRUE(fs::is_empty(folder.path() / "sub"));
  EXPECT_TRUE(display.events.empty());
}

// A gallery may hold more pictures than a 16-bit count reaches: every one counted is worked on
// (the pictures are missing, which keeps the run short; each is reported), none past the count.
TEST(MakeThumbnails, CountsBeyond32767Pictures) {
  TempFolder folder;
  std::vector<std::string> names;
  for (int i = 0; i < 32772; ++i) {
    names.push_back(numbered("p", i));
  }
  RecordingDisplay display;
  auto settings = settingsFor(folder.path(), names, 2);
  settings.ImageCount = 32770;
  const auto result = MakeThumbnails(settings, display);
  EXPECT_EQ(result.problems.size(), 32770u);
  EXPECT_EQ(result.problems.back().file, "p32769.jpg");
  EXPECT_NE(std::find(display.events.begin(), display.events.end(),
                      "status Processing images...     (32770 of 32770)"),
            display.events.end());
}

}  // namespace
}  // namespace vistrel
