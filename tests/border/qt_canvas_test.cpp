#include "border/qt_canvas.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <set>
#include <stdexcept>
#include <utility>
#include <vector>

#include "border/border3d.h"
#include "border/recording_canvas.h"

namespace vistrel::border {
namespace {

using testing::FixedClient;
using Pixel = std::pair<int, int>;
using PixelSet = std::set<Pixel>;

constexpr TwipsPerPixel k15{15, 15};
const QRgb kWhite = qRgb(255, 255, 255);

QImage blankImage(int width, int height, QRgb fill = kWhite) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(fill);
  return image;
}

PixelSet changedPixels(const QImage& image, QRgb background) {
  PixelSet changed;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (image.pixel(x, y) != background) {
        changed.insert({x, y});
      }
    }
  }
  return changed;
}

// Draws one line or outline in black on a white 16 x 16 image in the given scale mode.
PixelSet drawn(double x1, double y1, double x2, double y2, LineForm form,
               int16_t scaleMode = kScalePixels, QSize size = {16, 16}) {
  QImage image = blankImage(size.width(), size.height());
  {
    QPainter painter(&image);
    QtBorderCanvas canvas(painter, scaleMode, k15);
    canvas.Line(x1, y1, x2, y2, 0x000000u, form);
  }
  return changedPixels(image, kWhite);
}

PixelSet row(int y, int fromX, int toX) {
  PixelSet pixels;
  for (int x = fromX; x <= toX; ++x) {
    pixels.insert({x, y});
  }
  return pixels;
}

PixelSet column(int x, int fromY, int toY) {
  PixelSet pixels;
  for (int y = fromY; y <= toY; ++y) {
    pixels.insert({x, y});
  }
  return pixels;
}

PixelSet unite(std::initializer_list<PixelSet> sets) {
  PixelSet all;
  for (const PixelSet& s : sets) {
    all.insert(s.begin(), s.end());
  }
  return all;
}

TEST(QtBorderCanvas, LinesLeaveOutTheirEndPointExactly) {
  struct Case {
    int x1, y1, x2, y2;
    PixelSet expected;
  };
  const Case cases[] = {
      {2, 3, 6, 3, row(3, 2, 5)},
      {6, 3, 2, 3, row(3, 3, 6)},
      {4, 1, 4, 5, column(4, 1, 4)},
      {4, 5, 4, 1, column(4, 2, 5)},
      {1, 1, 4, 4, {{1, 1}, {2, 2}, {3, 3}}},
      {4, 1, 1, 4, {{4, 1}, {3, 2}, {2, 3}}},
      {5, 5, 5, 5, {}},
      {3, 7, 4, 7, {{3, 7}}},
      {-3, 2, 2, 2, row(2, 0, 1)},  // clipped by the image, not shifted
  };
  for (const Case& c : cases) {
    EXPECT_EQ(drawn(c.x1, c.y1, c.x2, c.y2, LineForm::kLine), c.expected)
        << "(" << c.x1 << ", " << c.y1 << ")-(" << c.x2 << ", " << c.y2 << ")";
  }
}

TEST(QtBorderCanvas, SlopedLinesTakeOnePixelPerStepUpToTheEndPoint) {
  const std::pair<int, int> ends[] = {{13, 4}, {4, 13}, {-9, 5}, {6, -11}, {-12, -12}, {1, 7}};
  const int x0 = 15;
  const int y0 = 15;
  for (const auto& [dx, dy] : ends) {
    const PixelSet pixels =
        drawn(x0, y0, x0 + dx, y0 + dy, LineForm::kLine, kScalePixels, {32, 32});
    const bool xMajor = std::abs(dx) >= std::abs(dy);
    const int steps = xMajor ? std::abs(dx) : std::abs(dy);
    ASSERT_EQ(static_cast<int>(pixels.size()), steps) << dx << ", " << dy;
    EXPECT_TRUE(pixels.count({x0, y0})) << dx << ", " << dy;
    EXPECT_FALSE(pixels.count({x0 + dx, y0 + dy})) << dx << ", " << dy;
    std::set<int> majors;
    for (const auto& [x, y] : pixels) {
      const double t = xMajor ? double(x - x0) / dx : double(y - y0) / dy;
      const double ideal = xMajor ? y0 + t * dy : x0 + t * dx;
      EXPECT_LE(std::abs((xMajor ? y : x) - ideal), 0.5) << dx << ", " << dy;
      majors.insert(xMajor ? x : y);
    }
    EXPECT_EQ(static_cast<int>(majors.size()), steps) << "one pixel per step " << dx << ", " << dy;
  }
}

TEST(QtBorderCanvas, OutlinesIncludeBothCorners) {
  struct Case {
    int x1, y1, x2, y2;
    PixelSet expected;
  };
  const PixelSet box = unite({row(2, 2, 5), row(4, 2, 5), column(2, 2, 4), column(5, 2, 4)});
  const Case cases[] = {
      {2, 2, 5, 4, box},
      {5, 4, 2, 2, box},
      {5, 2, 2, 4, box},
      {3, 3, 3, 3, {{3, 3}}},
      {2, 6, 5, 6, row(6, 2, 5)},
      {7, 1, 7, 3, column(7, 1, 3)},
      {1, 1, 2, 2, {{1, 1}, {2, 1}, {1, 2}, {2, 2}}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(drawn(c.x1, c.y1, c.x2, c.y2, LineForm::kOutline), c.expected)
        << "(" << c.x1 << ", " << c.y1 << ")-(" << c.x2 << ", " << c.y2 << ")";
  }
}

TEST(QtBorderCanvas, ScaleModesConvertToPixels) {
  struct Case {
    int16_t mode;
    double x1, y1, x2;
    PixelSet expected;
  };
  const Case cases[] = {
      {kScaleTwips, 15, 30, 75, row(2, 1, 4)},
      {kScaleTwips, 22.5, 15, 52.5, row(1, 2, 3)},  // 1.5 and 3.5 pixels round to 2 and 4
      {kScalePixels, 1, 2, 4, row(2, 1, 3)},
      {kScalePoints, 0, 3, 3.75, row(4, 0, 4)},             // 3.75 pt = 5 px
      {kScaleInches, 0, 0.0625, 0.0625, row(6, 0, 5)},      // 1/16 in = 6 px
      {kScaleCharacters, 1, 0.25, 2, row(4, 8, 15)},        // 120 x 240 twips
      {kScaleCentimetres, 0, 0.254, 0.254, row(10, 0, 9)},  // 0.1 in = 9.6 px
      {kScaleMillimetres, 0, 2.54, 2.54, row(10, 0, 9)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(drawn(c.x1, c.y1, c.x2, c.y1, LineForm::kLine, c.mode, {24, 24}), c.expected)
        << "mode " << c.mode;
  }
}

TEST(QtBorderCanvas, RefusesScaleModesItCannotDrawIn) {
  QImage image = blankImage(4, 4);
  QPainter painter(&image);
  QtBorderCanvas canvas(painter, kScalePixels, k15);
  for (int16_t mode : {0, 8, -1}) {
    EXPECT_THROW(canvas.setScaleMode(mode), std::invalid_argument) << mode;
    EXPECT_EQ(canvas.ScaleMode(), kScalePixels);
  }
  EXPECT_THROW(QtBorderCanvas(painter, 0, k15), std::invalid_argument);
}

TEST(QtBorderCanvas, NonFiniteCoordinatesDrawNothing) {
  EXPECT_TRUE(drawn(NAN, 1, 5, 1, LineForm::kLine).empty());
  EXPECT_TRUE(drawn(1, 1, INFINITY, 1, LineForm::kOutline).empty());
  // Huge but finite: clamped, still drawn where the image is.
  EXPECT_EQ(drawn(0, 2, 1e300, 2, LineForm::kLine), row(2, 0, 15));
}

TEST(ToQColor, ReadsRgbValuesAndSystemColoursFromThePalette) {
  QPalette palette;
  palette.setColor(QPalette::Active, QPalette::Button, QColor(1, 2, 3));
  palette.setColor(QPalette::Active, QPalette::Dark, QColor(4, 5, 6));
  palette.setColor(QPalette::Active, QPalette::Light, QColor(7, 8, 9));
  palette.setColor(QPalette::Active, QPalette::Shadow, QColor(10, 11, 12));
  palette.setColor(QPalette::Active, QPalette::Base, QColor(13, 14, 15));
  EXPECT_EQ(toQColor(0x00336699u, palette), QColor(0x99, 0x66, 0x33));
  EXPECT_EQ(toQColor(0x0F336699u, palette), QColor(0x99, 0x66, 0x33));
  EXPECT_EQ(toQColor(0x8000000Fu, palette), QColor(1, 2, 3));
  EXPECT_EQ(toQColor(0x80000010u, palette), QColor(4, 5, 6));
  EXPECT_EQ(toQColor(0x80000014u, palette), QColor(7, 8, 9));
  EXPECT_EQ(toQColor(0x80000015u, palette), QColor(10, 11, 12));
  EXPECT_EQ(toQColor(0x80000005u, palette), QColor(13, 14, 15));
  EXPECT_EQ(toQColor(0x800000FFu, palette), QColor(Qt::black));
}

// Swaps the application palette for one test and puts it back.
class ApplicationPalette {
 public:
  explicit ApplicationPalette(const QPalette& palette) : saved_(QGuiApplication::palette()) {
    QGuiApplication::setPalette(palette);
  }
  ~ApplicationPalette() { QGuiApplication::setPalette(saved_); }

 private:
  QPalette saved_;
};

TEST(QtBorderCanvas, SystemColoursFollowTheApplicationPaletteWhenDrawn) {
  QPalette palette = QGuiApplication::palette();
  palette.setColor(QPalette::Active, QPalette::Dark, QColor(20, 40, 60));
  palette.setColor(QPalette::Active, QPalette::Light, QColor(200, 220, 240));
  const ApplicationPalette swap(palette);

  QImage image = blankImage(40, 30);
  {
    QPainter painter(&image);
    QtBorderCanvas canvas(painter, kScaleTwips, k15);
    FixedClient client(150, 150, 300, 150, &canvas);
    CBorder3D border(k15);
    border.setClient(&client);
    border.setStyle3D(1);  // default colours: system shadow and highlight
    border.Refresh();
  }
  EXPECT_EQ(image.pixel(9, 9), qRgb(20, 40, 60));      // top-left: shadow
  EXPECT_EQ(image.pixel(30, 9), qRgb(200, 220, 240));  // top-right: highlight
}

// ---- Styles 1 to 8 on a real image -------------------------------------------------------------

constexpr int kCellWidth = 150;
constexpr int kCellHeight = 110;
constexpr int kClientLeft = 35;
constexpr int kClientTop = 30;
constexpr int kClientWidth = 80;
constexpr int kClientHeight = 50;
const QRgb kFace = qRgb(212, 208, 200);
const QRgb kClientFill = qRgb(170, 200, 230);
const QRgb kLight = qRgb(255, 255, 255);
const QRgb kDark = qRgb(128, 128, 128);

struct CornerPixel {
  int x, y;
  QRgb colour;
};

// The pixels each style paints, by their distance outside the client (1 = the ring touching it)
// or their depth inside it (0 = its outermost ring of pixels).
bool paintedByStyle(int style, int x, int y) {
  const int l = kClientLeft;
  const int t = kClientTop;
  const int r = kClientLeft + kClientWidth - 1;
  const int b = kClientTop + kClientHeight - 1;
  const int outside = std::max({l - x, x - r, t - y, y - b});
  const int depth = std::min({x - l, r - x, y - t, b - y});
  switch (style) {
    case 1:
    case 2:
      return outside == 1;
    case 3:
    case 6:
      // The groove's two rings are offset by a pixel, which leaves two corners notched.
      if ((x == r + 2 && y == t - 2) || (x == l - 2 && y == b + 2)) {
        return false;
      }
      return outside == 1 || outside == 2;
    case 4:
    case 7:
      return (outside >= 1 && outside <= 3) || (outside >= 6 && outside <= 8);
    default:
      return (depth >= 0 && depth <= 2) || (depth >= 5 && depth <= 7);
  }
}

std::vector<CornerPixel> cornersOf(int style) {
  const int l = kClientLeft;
  const int t = kClientTop;
  const int r = kClientLeft + kClientWidth - 1;
  const int b = kClientTop + kClientHeight - 1;
  const QRgb H = kLight;
  const QRgb S = kDark;
  switch (style) {
    case 1:
      return {{l - 1, t - 1, S}, {r + 1, t - 1, H}, {l - 1, b + 1, H}, {r + 1, b + 1, H}};
    case 2:
      return {{l - 1, t - 1, H}, {r + 1, t - 1, H}, {l - 1, b + 1, H}, {r + 1, b + 1, S}};
    case 3:
    case 6:
      return {{l - 2, t - 2, S}, {r + 1, t - 2, S}, {l - 2, b + 1, S}, {r + 1, b + 1, S},
              {l - 1, t - 1, H}, {r + 2, t - 1, H}, {l - 1, b + 2, H}, {r + 2, b + 2, H}};
    case 4:
    case 7:
      // Raised outer bevel, lowered inner bevel hugging the client.
      return {{l - 8, t - 8, H}, {r + 8, t - 8, S}, {l - 8, b + 8, S}, {r + 8, b + 8, S},
              {l - 3, t - 3, S}, {r + 3, t - 3, H}, {l - 3, b + 3, H}, {r + 3, b + 3, H},
              {l - 1, t - 1, S}, {r + 1, b + 1, H}};
    default:
      // The same bevels inside the client's edge.
      return {{l, t, H},         {r, t, S},         {l, b, S},         {r, b, S},
              {l + 5, t + 5, S}, {r - 5, t + 5, H}, {l + 5, b - 5, H}, {r - 5, b - 5, H}};
  }
}

// Paints `style` around the client of a fresh cell; the canvas is set explicitly except for
// styles 1 to 3 (the client's container) and 5 (the client itself), which Refresh picks.
QImage renderStyle(int16_t style) {
  QImage image = blankImage(kCellWidth, kCellHeight, kFace);
  QPainter painter(&image);
  painter.fillRect(kClientLeft, kClientTop, kClientWidth, kClientHeight, QColor(kClientFill));
  QtBorderCanvas container(painter, kScalePixels, k15);
  QtBorderCanvas inside(painter, kScalePixels, k15);
  FixedClient client(kClientLeft * 15, kClientTop * 15, kClientWidth * 15, kClientHeight * 15,
                     &container);
  client.surface = &inside;
  CBorder3D border(k15);
  border.setClient(&client);
  border.setStyle3D(style);
  border.setHighlight(0x00FFFFFFu);
  border.setShadow(0x00808080u);
  border.setBevelOuter(2);
  border.setBevelInner(1);
  border.setLeft(static_cast<int16_t>(kClientLeft * 15));
  border.setTop(static_cast<int16_t>(kClientTop * 15));
  border.setWidth(static_cast<int16_t>(kClientWidth * 15));
  border.setHeight(static_cast<int16_t>(kClientHeight * 15));
  if (style >= 6 || style == 4) {
    border.setCanvas(&container);
  }
  if (style == 5) {
    painter.translate(kClientLeft, kClientTop);  // the client's own surface starts at its corner
  }
  border.Refresh();
  painter.end();
  EXPECT_EQ(container.ScaleMode(), kScalePixels);
  EXPECT_EQ(inside.ScaleMode(), kScalePixels);
  EXPECT_EQ(border.Canvas(), style == 5 ? static_cast<BorderCanvas*>(&inside) : &container);
  return image;
}

// Set VISTREL_BORDER_PNG=/some/path.png to keep the render of styles 1 to 8 for a look, and
// VISTREL_BORDER_PNG_ZOOM=4 (say) to see every pixel as a block.
void writeOverview(const std::vector<QImage>& cells) {
  const char* path = std::getenv("VISTREL_BORDER_PNG");
  if (path == nullptr || *path == '\0') {
    return;
  }
  QImage overview = blankImage(4 * kCellWidth, 2 * kCellHeight, kFace);
  QPainter painter(&overview);
  for (int i = 0; i < static_cast<int>(cells.size()); ++i) {
    const QPoint origin((i % 4) * kCellWidth, (i / 4) * kCellHeight);
    painter.drawImage(origin, cells[i]);
    painter.setPen(Qt::black);
    painter.drawText(origin + QPoint(6, 14), QString("Style3D = %1").arg(i + 1));
  }
  painter.end();
  const char* zoomText = std::getenv("VISTREL_BORDER_PNG_ZOOM");
  const int zoom = zoomText != nullptr ? std::clamp(std::atoi(zoomText), 1, 16) : 1;
  overview = overview.scaled(overview.size() * zoom, Qt::IgnoreAspectRatio, Qt::FastTransformation);
  EXPECT_TRUE(overview.save(QString::fromLocal8Bit(path), "PNG")) << path;
}

TEST(BorderRender, StylesOneToEightPaintTheirRingsWithTheDocumentedCorners) {
  std::vector<QImage> cells;
  for (int16_t style = 1; style <= 8; ++style) {
    SCOPED_TRACE(::testing::Message() << "style " << style);
    const QImage image = renderStyle(style);
    for (const CornerPixel& corner : cornersOf(style)) {
      EXPECT_EQ(image.pixel(corner.x, corner.y), corner.colour)
          << "pixel (" << corner.x << ", " << corner.y << ")";
    }
    int wrong = 0;
    for (int y = 0; y < kCellHeight; ++y) {
      for (int x = 0; x < kCellWidth; ++x) {
        const QRgb before = (x >= kClientLeft && x < kClientLeft + kClientWidth &&
                             y >= kClientTop && y < kClientTop + kClientHeight)
                                ? kClientFill
                                : kFace;
        const QRgb now = image.pixel(x, y);
        const bool painted = now != before;
        const bool plausible = now == kLight || now == kDark || !painted;
        if ((painted != paintedByStyle(style, x, y) || !plausible) && ++wrong <= 5) {
          ADD_FAILURE() << "pixel (" << x << ", " << y << ") "
                        << (painted ? "painted" : "not painted");
        }
      }
    }
    EXPECT_EQ(wrong, 0);
    cells.push_back(image);
  }
  writeOverview(cells);
}

TEST(BorderRender, StyleZeroWithActOnNoneErasesTheRingToBackground) {
  QImage image = renderStyle(1);
  {
    QPainter painter(&image);
    QtBorderCanvas canvas(painter, kScaleTwips, k15);
    FixedClient client(kClientLeft * 15, kClientTop * 15, kClientWidth * 15, kClientHeight * 15,
                       &canvas);
    CBorder3D border(k15);
    border.setClient(&client);
    border.setActOnNone(true);
    border.setBackground(0x00C8D0D4u);  // kFace as &H00BBGGRR
    border.Refresh();
  }
  EXPECT_TRUE(changedPixels(image, kFace).size() ==
              static_cast<size_t>(kClientWidth * kClientHeight));
}

// ---- On a widget, inside its paint event -------------------------------------------------------

class FramedWidget : public QWidget {
 public:
  FramedWidget() { resize(60, 40); }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(kFace));
    QtBorderCanvas canvas(painter, kScaleTwips, k15);
    FixedClient client(10 * 15, 10 * 15, 40 * 15, 20 * 15, &canvas);
    CBorder3D border(k15);
    border.setClient(&client);
    border.setStyle3D(2);
    border.setHighlight(0x00FFFFFFu);
    border.setShadow(0x00808080u);
    border.Refresh();
  }
};

TEST(BorderRender, PaintsOnAWidgetInItsPaintEvent) {
  FramedWidget widget;
  const QImage image = widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(image.size(), QSize(60, 40));
  EXPECT_EQ(image.pixel(9, 9), kLight);
  EXPECT_EQ(image.pixel(50, 9), kLight);
  EXPECT_EQ(image.pixel(9, 30), kLight);
  EXPECT_EQ(image.pixel(50, 30), kDark);
  EXPECT_EQ(image.pixel(51, 30), kFace);
  EXPECT_EQ(image.pixel(50, 31), kFace);
  EXPECT_EQ(image.pixel(10, 10), kFace);
}

}  // namespace
}  // namespace vistrel::border
