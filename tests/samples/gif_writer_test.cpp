#include "samples/gif_writer.h"

#include <gtest/gtest.h>

#include <QImage>
#include <filesystem>

#include "support/picture_maker.h"
#include "support/temp_folder.h"

namespace vistrel::samples {
namespace {

using imaging::Picture;

// Bands of 6 greens and reds over blue halves: every pixel lands on a palette level.
Picture makePicture(int w, int h) {
  return testing::painted(w, h, [&](int x, int y) {
    return testing::Bgr{x < w / 2 ? 0 : 255, (x + y) % 7 * 255 / 6, y % 6 * 51};
  });
}

TEST(GifWriter, QtReadsBackEveryPixelAndTheTransparentColour) {
  vistrel::testing::TempFolder dir;
  for (const auto& [w, h] : {std::pair{1, 1}, std::pair{7, 3}, std::pair{640, 480}}) {
    const Picture p = makePicture(w, h);
    const auto file = (dir.path() / "t.gif").string();
    ASSERT_TRUE(writeGifFile(p, file));
    const QImage sent(p.bgr.data(), w, h, p.stride, QImage::Format_BGR888);
    EXPECT_EQ(QImage(QString::fromStdString(file)).convertToFormat(QImage::Format_RGB888),
              sent.convertToFormat(QImage::Format_RGB888))
        << w << "x" << h;
  }
  Picture p = makePicture(4, 4);
  testing::setPixel(p, 0, 0, 1, 2, 3);
  const std::string gif = encodeGif(p, {true, 1, 2, 3});
  const QImage back = QImage::fromData(reinterpret_cast<const uchar*>(gif.data()),
                                       static_cast<int>(gif.size()), "GIF");
  ASSERT_FALSE(back.isNull());
  EXPECT_EQ(qAlpha(back.pixel(0, 0)), 0);
  EXPECT_EQ(qAlpha(back.pixel(1, 0)), 255);
  EXPECT_FALSE(writeGifFile(p, "/nonexistent-folder/x.gif"));
  // A folder in the way: written under the temporary name, which is then removed.
  EXPECT_FALSE(writeGifFile(p, dir.path().string()));
  EXPECT_FALSE(std::filesystem::exists(dir.path().string() + ".part"));
}

}  // namespace
}  // namespace vistrel::samples
