#include "imaging/surface/dib_section.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <cstdint>
#include <cstring>
#include <set>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "common/numbers.h"
#include "imaging/surface/device_context.h"
#include "support/picture_maker.h"

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

using Rows = std::vector<std::vector<uint8_t>>;

// A DIB whose memory rows (0 = the bottom row) hold the given blues; green and red are 10 and 20.
cDIBSection blueRows(const Rows& rows) {
  return testing::paintedDib(static_cast<int>(rows[0].size()), static_cast<int>(rows.size()),
                             [&](int x, int y) {
                               return testing::Bgr{rows[rows.size() - 1 - y][x], 10, 20};
                             });
}

// Every byte of the bitmap, padding included.
std::vector<uint8_t> bytes(const cDIBSection& dib) {
  return {dib.DIBSectionBitsPtr(), dib.DIBSectionBitsPtr() + dib.Height() * dib.BytesPerScanLine()};
}

TEST(Resample, InterpolatesEachPassAndRoundsHalvesToEven) {
  const struct {
    const char* what;
    Rows source;  // blue by memory row
    int height, width;
    Rows expected;
  } cases[] = {
      {"the same size is a copy", {{1, 2, 3}, {4, 5, 6}}, 2, 3, {{1, 2, 3}, {4, 5, 6}}},
      // 0.25 * 255 = 63.75 -> 64; 127.5 -> 128; 191.25 -> 191.
      {"across", {{0, 255}, {0, 255}}, 1, 4, {{0, 64, 128, 191}}},
      {"a quarter at a time",
       {{0, 200}, {100, 100}},
       4,
       4,
       {{0, 50, 100, 150}, {25, 62, 100, 138}, {50, 75, 100, 125}, {75, 88, 100, 112}}},
      // Halfway up the vertical pass gives 0.5 -> 0 and 2.5 -> 2 before the horizontal one;
      // rounding only at the end would give 0, 1, 2, 2 on that row.
      {"rounds after each pass", {{0, 2}, {1, 3}}, 2, 4, {{0, 0, 1, 2}, {0, 0, 1, 2}}},
      // xScale = (3 - 1) / 2 = 1: the second column samples source column 1, not 2.
      {"scale divides by the destination size",
       {{0, 100, 200}, {0, 100, 200}},
       2,
       2,
       {{0, 100}, {0, 100}}},
      {"a one-pixel source at its own size", {{5}, {6}, {7}}, 3, 1, {{5}, {6}, {7}}},
  };
  for (const auto& c : cases) {
    const cDIBSection source = blueRows(c.source);
    const auto result = source.Resample(c.height, c.width);  // height comes first
    ASSERT_TRUE(result) << c.what;
    ASSERT_NE(result->DIBSectionBitsPtr(), source.DIBSectionBitsPtr());
    ASSERT_EQ(std::tuple(result->Width(), result->Height()), std::tuple(c.width, c.height));
    EXPECT_EQ(bytes(*result), bytes(blueRows(c.expected))) << c.what;
  }
}

TEST(Resample, RefusesWhatItCannotInterpolate) {
  const cDIBSection oneWide = blueRows({{5}, {6}, {7}});
  EXPECT_THROW(oneWide.Resample(3, 4), std::out_of_range);  // no neighbour to interpolate with
  EXPECT_THROW(oneWide.Resample(6, 1), std::out_of_range);
  EXPECT_THROW(blueRows({{5, 6, 7}}).Resample(2, 3), std::out_of_range);
  const cDIBSection source = blueRows({{1, 2}, {3, 4}});
  EXPECT_EQ(source.Resample(0, 5), nullptr);
  EXPECT_EQ(source.Resample(5, -1), nullptr);
  EXPECT_EQ(cDIBSection().Resample(4, 4), nullptr);
}

// Padding bytes of a 1-pixel-wide DIB (one a row) set to 0xAB, to see they are left alone.
void markPadding(const cDIBSection& dib) {
  for (int r = 0; r < dib.Height(); ++r) {
    dibPixel(dib, 0, r)[3] = 0xAB;
  }
}

TEST(RandomiseBits, ColoursGoColumnByColumnGreenThenRed) {
  cDIBSection dib;
  ASSERT_TRUE(dib.Create(1, 3));
  markPadding(dib);
  // Numbers i / 10: green and red of memory row r are r * 0.2 and r * 0.2 + 0.1 of 255.
  dib.RandomiseBits(false, [i = 0]() mutable { return (i++) / 10.0; });
  EXPECT_EQ(bytes(dib), (std::vector<uint8_t>{0, 0, 26, 0xAB, 0, 51, 76, 0xAB, 0, 102, 128, 0xAB}));
  // Two columns: the whole first column is drawn before the second.
  cDIBSection wide;
  ASSERT_TRUE(wide.Create(2, 2));
  wide.RandomiseBits(false, [i = 0]() mutable { return (i++) / 8.0; });
  EXPECT_EQ(dibPixel(wide, 0, 1)[1], 64);   // third number: 2/8 * 255 = 63.75
  EXPECT_EQ(dibPixel(wide, 1, 0)[1], 128);  // fifth number: 127.5 -> 128 (halves to even)
}

TEST(RandomiseBits, TheTimeSeededGeneratorFillsTheWholePicture) {
  for (bool gray : {false, true}) {
    cDIBSection dib;
    ASSERT_TRUE(dib.Create(1, 64));
    markPadding(dib);
    dib.RandomiseBits(gray);
    std::set<int> greens;
    for (int r = 0; r < 64; ++r) {
      const uint8_t* p = dibPixel(dib, 0, r);
      EXPECT_TRUE(p[3] == 0xAB && (gray ? p[0] == p[1] && p[1] == p[2] : p[0] == 0)) << r;
      greens.insert(p[1]);
    }
    EXPECT_GT(greens.size(), 32u) << "gray " << gray;  // 64 draws from 256 values
  }
  cDIBSection empty;
  empty.RandomiseBits();  // nothing to fill, nothing touched
  EXPECT_EQ(empty.DIBSectionBitsPtr(), nullptr);
}

}  // namespace
}  // namespace vistrel::imaging
