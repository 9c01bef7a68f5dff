#include "browse/preview.h"

#include <gtest/gtest.h>

#include "support/sample_pictures.h"
#include "support/temp_folder.h"

namespace vistrel::browse {
namespace {

TEST(LoadPreview, GivesTheNaturalSizeAndFileLengthDecodingLargePicturesSmaller) {
  testing::TempFolder folder;
  testing::writeJpeg(folder.path() / "wide.jpg", 64, 48);
  testing::writeGif(folder.path() / "small.gif", 32, 32);
  testing::writeJpeg(folder.path() / "large.jpg", 2000, 1600);
  const struct {
    const char* name;
    int width, height, leastWidth, leastHeight, decodedWidth;
  } cases[] = {{"wide.jpg", 64, 48, 0, 0, 64},
               {"small.gif", 32, 32, 0, 0, 32},
               {"large.jpg", 2000, 1600, 209, 145, 500}};  // 1/4 keeps twice the least size
  for (const auto& c : cases) {
    const PreviewPicture p = loadPreview(folder.path(), c.name, c.leastWidth, c.leastHeight);
    ASSERT_TRUE(p.ok) << c.name << ": " << p.error.reason;
    EXPECT_EQ(p.width, c.width) << c.name;
    EXPECT_EQ(p.height, c.height) << c.name;
    EXPECT_EQ(p.picture.width, c.decodedWidth) << c.name;
    EXPECT_EQ(p.fileSize, std::filesystem::file_size(folder.path() / c.name)) << c.name;
  }
}

}  // namespace
}  // namespace vistrel::browse
