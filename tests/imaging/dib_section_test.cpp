#include "imaging/dib_section.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <cstdint>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "common/numbers.h"
#include "imaging/device_context.h"
#include "imaging/picture_maker.h"

namespace vistrel::imaging {
using common::OverflowError;
namespace {

using testing::Bgr;
using testing::dibPixel;

class RecordingNotifier : public MessageNotifier {
 public:
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  std::vector<std::string> messages;
};

// A top-down surface over a picture of padded rows, filled with one byte value.
struct Canvas {
  Canvas(int width, int height, uint8_t fill)
      : picture{width, height, 3 * width + 1,
                std::vector<uint8_t>((3 * width + 1) * height, fill)} {
    dc.SelectObject(BitmapBits{picture.bgr.data(), width, height, picture.stride, false});
  }
  Bgr at(int x, int y) const {
    const uint8_t* p = picture.row(y) + 3 * x;
    return {p[0], p[1], p[2]};
  }
  Picture picture;
  DeviceContext dc;
};

constexpr Bgr kUntouched{0xEE, 0xEE, 0xEE};

// Every pixel distinct: blue = x, green = row as shown (0 = top), red 7.
Bgr byPosition(int x, int y) {
  return {x, y, 7};
}

TEST(DibSection, RefusedSizesLeaveTheObjectEmptyAndUsable) {
  const struct {
    int width, height;
    bool overflows;  // beyond 32 bits: an error, not a wrapped number
  } cases[] = {{0, 0, false},        {0, 5, false},  {5, 0, false},
               {-1, 5, false},       {5, -3, false}, {715827882, 1, true},  // 3 * w + 3 > 2^31 - 1
               {10000, 100000, true}};                                      // 30000 * 100000 bytes
  for (const auto& c : cases) {
    cDIBSection dib;
    ASSERT_TRUE(dib.Create(4, 4));
    if (c.overflows) {
      EXPECT_THROW(dib.Create(c.width, c.height), OverflowError);
    } else {
      EXPECT_FALSE(dib.Create(c.width, c.height)) << c.width << " x " << c.height;
    }
    // No size is reported for pixels that do not exist.
    EXPECT_EQ(std::tuple(dib.hdc(), dib.hDib(), dib.DIBSectionBitsPtr(), dib.Width(), dib.Height()),
              std::tuple(nullptr, 0u, nullptr, 0, 0));
    EXPECT_TRUE(dib.Create(2, 3));
    EXPECT_NE(dib.DIBSectionBitsPtr(), nullptr);
  }
}

TEST(DibSection, CreateTwiceDescribesOnlyTheNewBitmap) {
  cDIBSection dib = testing::paintedDib(4, 4, byPosition);
  const auto firstDib = dib.hDib();
  const auto firstDc = dib.hdc()->handle();
  ASSERT_TRUE(dib.Create(7, 2));
  EXPECT_NE(dib.hDib(), 0u);
  EXPECT_NE(dib.hDib(), firstDib);
  EXPECT_NE(dib.hdc()->handle(), firstDc);
  EXPECT_EQ(std::tuple(dib.Width(), dib.Height(), dib.BytesPerScanLine()), std::tuple(7, 2, 24));
  EXPECT_EQ(std::vector<uint8_t>(dib.DIBSectionBitsPtr(), dib.DIBSectionBitsPtr() + 48),
            std::vector<uint8_t>(48, 0));
  // The surface draws the new pixels: a blit out of it sees them.
  std::memcpy(dibPixel(dib, 6, 0), "\1\2\3", 3);  // bottom right
  Canvas canvas(7, 2, 0xEE);
  dib.PaintPicture(canvas.dc);
  EXPECT_EQ(canvas.at(6, 1), (Bgr{1, 2, 3}));

  // CreateDIB does not replace pixels still held; without them it makes no surface.
  uint8_t* bits = dib.DIBSectionBitsPtr();
  cDIBSection::Handle handle = 99;
  EXPECT_FALSE(dib.CreateDIB(dib.hdc(), 5, 5, handle));
  EXPECT_EQ(std::tuple(handle, dib.DIBSectionBitsPtr()), std::tuple(0u, bits));
  dib.ClearUp();
  EXPECT_EQ(std::tuple(dib.hdc(), dib.hDib(), dib.DIBSectionBitsPtr(), dib.Width()),
            std::tuple(nullptr, 0u, nullptr, 0));
  EXPECT_TRUE(dib.CreateDIB(nullptr, 5, 2, handle));
  EXPECT_EQ(handle, dib.hDib());
  EXPECT_NE(dib.DIBSectionBitsPtr(), nullptr);
  EXPECT_EQ(dib.hdc(), nullptr);  // no surface until Create
  // Moving keeps the pixels where they are.
  const cDIBSection moved(std::move(dib));
  EXPECT_EQ(std::tuple(moved.hDib(), moved.Width(), dib.hDib(), dib.DIBSectionBitsPtr()),
            std::tuple(handle, 5, 0u, nullptr));  // NOLINT(bugprone-use-after-move)
}

// Negative sizes mean the bitmap's own; a narrower one crops, a taller one draws only what the
// bitmap has.
TEST(DibSection, BlitsCopyWithoutScaling) {
  const struct {
    int left, top, width, height, sourceLeft, sourceTop;
  } cases[] = {{1, 2, -1, -1, 0, 0}, {1, 2, -5, -5, 0, 0}, {0, 0, 2, 6, 1, 1}};
  for (const auto& c : cases) {
    const cDIBSection dib = testing::paintedDib(5, 3, byPosition);
    Canvas canvas(8, 6, 0xEE);
    dib.PaintPicture(canvas.dc, c.left, c.top, c.width, c.height, c.sourceLeft, c.sourceTop);
    const int w = c.width < 0 ? 5 : c.width, h = c.height < 0 ? 3 : c.height;
    for (int y = 0; y < 6; ++y) {
      for (int x = 0; x < 8; ++x) {
        const int sx = x - c.left + c.sourceLeft, sy = y - c.top + c.sourceTop;
        const bool inside =
            x >= c.left && x < c.left + w && y >= c.top && y < c.top + h && sx < 5 && sy < 3;
        EXPECT_EQ(canvas.at(x, y), (inside ? Bgr{sx, sy, 7} : kUntouched))
            << "size " << c.width << " at " << x << "," << y;
      }
    }
    if (c.width < 0) {
      // Back in: the canvas rectangle is the DIB's picture again, top row on top.
      cDIBSection copy;
      ASSERT_TRUE(copy.Create(5, 3));
      copy.LoadPictureBlt(canvas.dc, c.left, c.top, c.width, c.height);
      EXPECT_EQ(std::memcmp(copy.DIBSectionBitsPtr(), dib.DIBSectionBitsPtr(), 16 * 3), 0);
    }
  }
}

TEST(DibSection, PicturesThatDoNotHoldTheirPixelsGiveNoBitmap) {
  const Picture empty, shortBuffer{4, 4, 12, std::vector<uint8_t>(40)},
      narrowStride{4, 2, 10, std::vector<uint8_t>(100)};
  for (const Picture* p : {&empty, &shortBuffer, &narrowStride}) {
    cDIBSection dib;
    ASSERT_TRUE(dib.Create(2, 2));
    dib.CreateFromPicture(*p);
    EXPECT_EQ(std::tuple(dib.DIBSectionBitsPtr(), dib.hDib()), std::tuple(nullptr, 0u));
  }
}

TEST(DibSection, CopyToClipboardOnlyAsABitmap) {
  RecordingNotifier notifier;
  cDIBSection dib(&notifier);
  dib.CreateFromPicture(testing::painted(5, 3, byPosition));
  QGuiApplication::clipboard()->clear();
  EXPECT_FALSE(dib.CopyToClipboard());  // as a DIB it only explains
  EXPECT_TRUE(QGuiApplication::clipboard()->image().isNull());
  ASSERT_TRUE(dib.CopyToClipboard(false));
  EXPECT_EQ(notifier.messages, std::vector<std::string>{"I don't know how to put a DIB on the "
                                                        "clipboard! Copy as bitmap instead!!!"});
  const QImage image = QGuiApplication::clipboard()->image();
  ASSERT_EQ(image.size(), QSize(5, 3));
  EXPECT_EQ(image.pixelColor(4, 0), QColor(7, 0, 4));  // red 7, green = top row 0, blue = x
  EXPECT_EQ(image.pixelColor(0, 2), QColor(7, 2, 0));
  EXPECT_FALSE(cDIBSection(&notifier).CopyToClipboard(false));
}

TEST(DeviceContext, RasterOperationsCombineBytes) {
  const struct {
    uint32_t rop;
    int expected;  // source 0x0F over destination 0x3C
  } cases[] = {{SRCCOPY, 0x0F},    {SRCPAINT, 0x3F},  {SRCAND, 0x0C},    {SRCINVERT, 0x33},
               {NOTSRCCOPY, 0xF0}, {BLACKNESS, 0x00}, {WHITENESS, 0xFF}, {0x12345678, 0x3C}};
  for (const auto& c : cases) {
    Canvas src(2, 2, 0x0F), dest(2, 2, 0x3C);
    EXPECT_EQ(BitBlt(dest.dc, 0, 0, 2, 2, &src.dc, 0, 0, c.rop), c.rop != 0x12345678);
    EXPECT_EQ(dest.at(1, 1), (Bgr{c.expected, c.expected, c.expected})) << std::hex << c.rop;
  }
  Canvas dest(2, 2, 0x3C);
  EXPECT_FALSE(BitBlt(dest.dc, 0, 0, 2, 2, nullptr, 0, 0, SRCCOPY));
}

TEST(DeviceContext, CopiesAreClippedToBothSurfacesAndMayOverlap) {
  Canvas src(3, 3, 0), dest(3, 3, 0xEE);
  for (int i = 0; i < 9; ++i) {
    testing::setPixel(src.picture, i % 3, i / 3, i % 3, i / 3, 1);
  }
  // Starts left of and above the destination, runs past the source's end.
  EXPECT_TRUE(BitBlt(dest.dc, -1, -1, 10, 10, &src.dc, 0, 0, SRCCOPY));
  EXPECT_EQ((std::vector{dest.at(0, 0), dest.at(1, 1), dest.at(2, 2)}),
            (std::vector<Bgr>{{1, 1, 1}, {2, 2, 1}, kUntouched}));
  // Positions at the edge of the 32-bit range copy nothing rather than wrap.
  EXPECT_TRUE(BitBlt(dest.dc, INT32_MAX, 0, INT32_MAX, 3, &src.dc, INT32_MIN, 0, SRCCOPY));
  EXPECT_FALSE(BitBlt(dest.dc, 0, 0, -1, 3, &src.dc, 0, 0, SRCCOPY));

  // Within one surface, the overlapping copy moves the original.
  Canvas canvas(4, 4, 0);
  for (int i = 0; i < 16; ++i) {
    testing::setPixel(canvas.picture, i % 4, i / 4, 10 * (i / 4) + i % 4, 0, 0);
  }
  EXPECT_TRUE(BitBlt(canvas.dc, 1, 1, 3, 3, &canvas.dc, 0, 0, SRCCOPY));
  for (int y = 1; y < 4; ++y) {
    for (int x = 1; x < 4; ++x) {
      EXPECT_EQ(canvas.at(x, y).b, 10 * (y - 1) + (x - 1)) << x << "," << y;
    }
  }
}

}  // namespace
}  // namespace vistrel::imaging
