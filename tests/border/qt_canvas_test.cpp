#include "border/qt_canvas.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <set>
#include <stdexcept>
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

// The pixels of the rectangle (x1, y1)-(x2, y2), both corners included.
PixelSet span(int x1, int y1, int x2, int y2) {
  PixelSet pixels;
  for (int y = y1; y <= y2; ++y) {
    for (int x = x1; x <= x2; ++x) {
      pixels.insert({x, y});
    }
  }
  return pixels;
}

TEST(QtBorderCanvas, LinesLeaveOutTheirEndPointAndOutlinesIncludeBothCorners) {
  struct Case {
    LineForm form;
    int x1, y1, x2, y2;
    PixelSet expected;
  };
  const auto L = LineForm::kLine;
  const auto O = LineForm::kOutline;
  PixelSet box = span(2, 2, 5, 4);
  box.erase({3, 3});
  box.erase({4, 3});
  const Case cases[] = {
      {L, 2, 3, 6, 3, span(2, 3, 5, 3)},
      {L, 6, 3, 2, 3, span(3, 3, 6, 3)},
      {L, 4, 1, 4, 5, span(4, 1, 4, 4)},
      {L, 4, 5, 4, 1, span(4, 2, 4, 5)},
      {L, 1, 1, 4, 4, {{1, 1}, {2, 2}, {3, 3}}},
      {L, 4, 1, 1, 4, {{4, 1}, {3, 2}, {2, 3}}},
      {L, 5, 5, 5, 5, {}},
      {L, -3, 2, 2, 2, span(0, 2, 1, 2)},  // clipped by the image, not shifted
      {O, 2, 2, 5, 4, box},
      {O, 5, 4, 2, 2, box},
      {O, 5, 2, 2, 4, box},
      {O, 3, 3, 3, 3, {{3, 3}}},
      {O, 2, 6, 5, 6, span(2, 6, 5, 6)},
      {O, 7, 1, 7, 3, span(7, 1, 7, 3)},
      {O, 1, 1, 2, 2, span(1, 1, 2, 2)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(drawn(c.x1, c.y1, c.x2, c.y2, c.form), c.expected)
        << (c.form == L ? "line (" : "outline (") << c.x1 << ", " << c.y1 << ")-(" << c.x2 << ", "
        << c.y2 << ")";
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

TEST(QtBorderCanvas, ScaleModesConvertToPixels) {
  const struct {
    int16_t mode;
    double x1, y1, x2;
    PixelSet expected;
  } cases[] = {
      {kScaleTwips, 15, 30, 75, span(1, 2, 4, 2)},
      {kScaleTwips, 22.5, 15, 52.5, span(2, 1, 3, 1)},  // 1.5 and 3.5 pixels round to 2 and 4
      {kScalePixels, 1, 2, 4, span(1, 2, 3, 2)},
      {kScalePoints, 0, 3, 3.75, span(0, 4, 4, 4)},              // 3.75 pt = 5 px
      {kScaleInches, 0, 0.0625, 0.0625, span(0, 6, 5, 6)},       // 1/16 in = 6 px
      {kScaleCharacters, 1, 0.25, 2, span(8, 4, 15, 4)},         // 120 x 240 twips
      {kScaleCentimetres, 0, 0.254, 0.254, span(0, 10, 9, 10)},  // 0.1 in = 9.6 px
      {kScaleMillimetres, 0, 2.54, 2.54, span(0, 10, 9, 10)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(drawn(c.x1, c.y1, c.x2, c.y1, LineForm::kLine, c.mode, {24, 24}), c.expected)
        << "mode " << c.mode;
  }
}

TEST(QtBorderCanvas, RefusesScaleModesAndCoordinatesItCannotDrawWith) {
  QImage image = blankImage(4, 4);
  QPainter painter(&image);
  QtBorderCanvas canvas(painter, kScalePixels, k15);
  for (int16_t mode : {0, 8, -1}) {
    EXPECT_THROW(canvas.setScaleMode(mode), std::invalid_argument) << mode;
    EXPECT_EQ(canvas.ScaleMode(), kScalePixels);
  }
  EXPECT_THROW(QtBorderCanvas(painter, 0, k15), std::invalid_argument);
  painter.end();
  EXPECT_TRUE(drawn(NAN, 1, 5, 1, LineForm::kLine).empty());
  EXPECT_TRUE(drawn(1, 1, INFINITY, 1, LineForm::kOutline).empty());
  // Huge but finite: clamped, still drawn where the image is.
  EXPECT_EQ(drawn(0, 2, 1e300, 2, LineForm::kLine), span(0, 2, 15, 2));
}

TEST(ToQColor, ReadsRgbValuesAndSystemColoursFromThePalette) {
  EXPECT_EQ(toQColor(0x00336699u, QPalette()), QColor(0x99, 0x66, 0x33));
  EXPECT_EQ(toQColor(0x0F336699u, QPalette()), QColor(0x99, 0x66, 0x33));
  EXPECT_EQ(toQColor(0x800000FFu, QPalette()), QColor(Qt::black));
  // Each system colour its own role's colour, different for each.
  const std::pair<Colour, QPalette::ColorRole> systemColours[] = {{0x8000000Fu, QPalette::Button},
                                                                  {0x80000010u, QPalette::Dark},
                                                                  {0x80000014u, QPalette::Light},
                                                                  {0x80000015u, QPalette::Shadow},
                                                                  {0x80000005u, QPalette::Base}};
  QPalette palette;
  for (const auto& [colour, role] : systemColours) {
    palette.setColor(QPalette::Active, role, QColor(role, 2 * role, 3 * role));
  }
  for (const auto& [colour, role] : systemColours) {
    EXPECT_EQ(toQColor(colour, palette), QColor(role, 2 * role, 3 * role)) << std::hex << colour;
  }
}

// Styles 1 to 8 on a real image, around a client at kClient (in pixels) in a cell.
constexpr int kCellWidth = 150;
constexpr int kCellHeight = 110;
const QRect kClient(35, 30, 80, 50);
const QRgb kFace = qRgb(212, 208, 200);

// Paints `style` around the client of a fresh cell; the canvas is set explicitly except for
// styles 1 to 3 (the client's container) and 5 (the client itself), which Refresh picks.
QImage renderStyle(int16_t style) {
  QImage image = blankImage(kCellWidth, kCellHeight, kFace);
  QPainter painter(&image);
  painter.fillRect(kClient, QColor(170, 200, 230));
  QtBorderCanvas container(painter, kScalePixels, k15);
  QtBorderCanvas inside(painter, kScalePixels, k15);
  const QRect t(kClient.topLeft() * 15, kClient.size() * 15);  // in twips
  FixedClient client(t.x(), t.y(), t.width(), t.height(), &container);
  client.surface = &inside;
  CBorder3D border(k15);
  border.setClient(&client);
  border.setStyle3D(style);
  border.setHighlight(0x00FFFFFFu);
  border.setShadow(0x00808080u);
  border.setBevelOuter(2);
  border.setBevelInner(1);
  border.setLeft(static_cast<int16_t>(t.x()));
  border.setTop(static_cast<int16_t>(t.y()));
  border.setWidth(static_cast<int16_t>(t.width()));
  border.setHeight(static_cast<int16_t>(t.height()));
  if (style >= 6 || style == 4) {
    border.setCanvas(&container);
  }
  if (style == 5) {
    painter.translate(kClient.topLeft());  // the client's own surface starts at its corner
  }
  border.Refresh();
  painter.end();
  EXPECT_EQ(container.ScaleMode(), kScalePixels);
  EXPECT_EQ(inside.ScaleMode(), kScalePixels);
  EXPECT_EQ(border.Canvas(), style == 5 ? static_cast<BorderCanvas*>(&inside) : &container);
  return image;
}

// Styles 1 to 8, each in a cell of its own, compared pixel for pixel with the reviewed picture
// tests/border/golden/styles.png. After a deliberate change, VISTREL_UPDATE_GOLDEN=1 rewrites it.
TEST(BorderRender, StylesOneToEightMatchTheGoldenImage) {
  QImage overview = blankImage(4 * kCellWidth, 2 * kCellHeight, kFace);
  {
    QPainter painter(&overview);
    for (int16_t style = 1; style <= 8; ++style) {
      painter.drawImage(((style - 1) % 4) * kCellWidth, ((style - 1) / 4) * kCellHeight,
                        renderStyle(style));
    }
  }
  const QString golden = VISTREL_SOURCE_DIR "/tests/border/golden/styles.png";
  if (qEnvironmentVariableIsSet("VISTREL_UPDATE_GOLDEN")) {
    ASSERT_TRUE(overview.save(golden, "PNG"));
  }
  const QImage expected = QImage(golden).convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(expected.size(), overview.size()) << "missing or resized: " << golden.toStdString();
  EXPECT_EQ(overview, expected);
}
}  // namespace
}  // namespace vistrel::border
