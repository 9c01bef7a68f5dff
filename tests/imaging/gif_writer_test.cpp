#include "imaging/gif_writer.h"

#include <gtest/gtest.h>

#include <QImage>
#include <random>

#include "support/temp_folder.h"

namespace vistrel::imaging {
namespace {

Picture makePicture(int w, int h, uint32_t seed, int distinct) {
  Picture p;
  p.width = w;
  p.height = h;
  p.stride = 3 * w;
  p.bgr.resize(static_cast<size_t>(p.stride) * h);
  std::mt19937 rng(seed);
  // Runs of repeated colours make long LZW strings; random ones fill the table quickly.
  for (size_t i = 0; i < p.bgr.size(); i += 3) {
    const uint8_t v = static_cast<uint8_t>(rng() % distinct * (255 / (distinct - 1)));
    p.bgr[i] = v;
    p.bgr[i + 1] = static_cast<uint8_t>(255 - v);
    p.bgr[i + 2] = static_cast<uint8_t>((i / 3 / 17) % 2 ? 255 : 0);
  }
  return p;
}

TEST(GifWriter, QtReadsBackEveryPixel) {
  const struct {
    int w, h, distinct;
  } cases[] = {{1, 1, 2}, {7, 3, 2}, {300, 200, 2}, {640, 480, 6}, {257, 333, 3}};
  vistrel::testing::TempFolder dir;
  for (const auto& c : cases) {
    const Picture p = makePicture(c.w, c.h, 42, c.distinct);
    const auto file = (dir.path() / "t.gif").string();
    ASSERT_TRUE(writeGifFile(p, file));
    QImage back(QString::fromStdString(file));
    ASSERT_FALSE(back.isNull()) << c.w << "x" << c.h;
    ASSERT_EQ(back.width(), c.w);
    ASSERT_EQ(back.height(), c.h);
    back = back.convertToFormat(QImage::Format_RGB888);
    int wrong = 0;
    for (int y = 0; y < c.h; ++y) {
      for (int x = 0; x < c.w; ++x) {
        const uint8_t* s = p.row(y) + 3 * x;
        const uchar* d = back.constScanLine(y) + 3 * x;
        // Channels are quantised to 6 or 7 levels: within half a step.
        if (std::abs(d[0] - s[2]) > 26 || std::abs(d[1] - s[1]) > 22 ||
            std::abs(d[2] - s[0]) > 26) {
          ++wrong;
        }
      }
    }
    EXPECT_EQ(wrong, 0) << c.w << "x" << c.h;
  }
}

TEST(GifWriter, MarksTheTransparentColour) {
  Picture p = makePicture(4, 4, 1, 2);
  p.bgr[0] = 1;
  p.bgr[1] = 2;
  p.bgr[2] = 3;
  const std::string gif = encodeGif(p, {true, 1, 2, 3});
  QImage back = QImage::fromData(reinterpret_cast<const uchar*>(gif.data()),
                                 static_cast<int>(gif.size()), "GIF");
  ASSERT_FALSE(back.isNull());
  EXPECT_EQ(qAlpha(back.pixel(0, 0)), 0);
  EXPECT_EQ(qAlpha(back.pixel(1, 0)), 255);
}

TEST(GifWriter, FailsOnAFolderThatDoesNotExist) {
  EXPECT_FALSE(writeGifFile(makePicture(2, 2, 1, 2), "/nonexistent-folder/x.gif"));
}

}  // namespace
}  // namespace vistrel::imaging
