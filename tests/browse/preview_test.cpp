#include "browse/preview.h"

#include <gtest/gtest.h>

#include "support/temp_folder.h"
#include "thumbs/sample_pictures.h"

namespace vistrel::browse {
namespace {

TEST(AttributeLine, SizeThenPixelDimensions) {
  EXPECT_EQ(attributeLine(48213, 640, 480), "48,213 bytes 640x480");
  EXPECT_EQ(attributeLine(1078, 32, 32), "1,078 bytes 32x32");
  EXPECT_EQ(attributeLine(0, 1, 1), " bytes 1x1");
}

TEST(LoadPreview, GivesThePictureItsNaturalSizeAndFileLength) {
  testing::TempFolder folder;
  testing::writeJpeg(folder.path() / "wide.jpg", 64, 48);
  testing::writeGif(folder.path() / "small.gif", 32, 32);
  const PreviewPicture jpeg = loadPreview(folder.path(), "wide.jpg");
  ASSERT_TRUE(jpeg.ok) << jpeg.error.reason;
  EXPECT_EQ(jpeg.width, 64);
  EXPECT_EQ(jpeg.height, 48);
  EXPECT_EQ(jpeg.picture.width, 64);
  EXPECT_EQ(jpeg.fileSize, std::filesystem::file_size(folder.path() / "wide.jpg"));
  const PreviewPicture gif = loadPreview(folder.path(), "small.gif");
  ASSERT_TRUE(gif.ok) << gif.error.reason;
  EXPECT_EQ(gif.width, 32);
  EXPECT_EQ(gif.height, 32);
}

TEST(LoadPreview, ALargePictureIsDecodedSmallerButKeepsItsNaturalSize) {
  testing::TempFolder folder;
  testing::writeJpeg(folder.path() / "large.jpg", 2000, 1600);
  const PreviewPicture p = loadPreview(folder.path(), "large.jpg", 209, 145);
  ASSERT_TRUE(p.ok) << p.error.reason;
  EXPECT_EQ(p.width, 2000);
  EXPECT_EQ(p.height, 1600);
  EXPECT_LT(p.picture.width, 2000);
  EXPECT_GE(p.picture.width, 2 * 209);
  EXPECT_GE(p.picture.height, 2 * 145);
}

TEST(LoadPreview, DamagedOrMissingFilesSayWhich) {
  testing::TempFolder folder;
  folder.write("damaged.jpg", "not a picture at all");
  const PreviewPicture damaged = loadPreview(folder.path(), "damaged.jpg");
  EXPECT_FALSE(damaged.ok);
  EXPECT_NE(damaged.error.file.find("damaged.jpg"), std::string::npos);
  EXPECT_FALSE(damaged.error.reason.empty());
  const PreviewPicture missing = loadPreview(folder.path(), "gone.jpg");
  EXPECT_FALSE(missing.ok);
  EXPECT_FALSE(missing.error.reason.empty());
}

}  // namespace
}  // namespace vistrel::browse
