#include "imaging/gif_writer.h"

#include <gtest/gtest.h>

#include <QImage>
#include <filesystem>

#include "support/temp_folder.h"

namespace vistrel::imaging {
namespace {

// Bands of 6 greens and reds over blue halves: every pixel lands on a palette level.
Picture makePicture(int w, int h) {
  Picture p{w, h, 3 * w, std::vector<uint8_t>(static_cast<size_t>(3 * w) * h)};
  for (size_t i = 0; i < p.bgr.size(); i += 3) {
    const int x = static_cast<int>(i / 3 % w), y = static_cast<int>(i / 3 / w);
    p.bgr[i] = x < w / 2 ? 0 : 255;
    p.bgr[i + 1] = static_cast<uint8_t>((x + y) % 7 * 255 / 6);
    p.bgr[i + 2] = static_cast<uint8_t>(y % 6 * 51);
  }
  return p;
}

TEST(GifWriter, QtReadsBackEveryPixelAndTheTransparentColour) {
  vistrel::testing::TempFolder dir;
  for (const auto& [w, h] : {std::pair{1, 1}, std::pair{7, 3}, std::pair{640, 480}}) {
    const Picture p = makePicture(w, h);
    const auto file = (dir.path() / "t.gif").string();
    ASSERT_TRUE(writeGifFile(p, file));
    const QImage back = QImage(QString::fromStdString(file)).convertToFormat(QImage::Format_RGB888);
    ASSERT_EQ(back.size(), QSize(w, h));
    int wrong = 0;
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        const uint8_t* s = p.row(y) + 3 * x;
        const uchar* d = back.constScanLine(y) + 3 * x;
        wrong += d[0] != s[2] || d[1] != s[1] || d[2] != s[0];
      }
    }
    EXPECT_EQ(wrong, 0) << w << "x" << h;
  }
  Picture p = makePicture(4, 4);
  p.bgr[0] = 1;
  p.bgr[1] = 2;
  p.bgr[2] = 3;
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
}  // namespace vistrel::imaging
