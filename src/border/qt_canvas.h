#pragma once
// A border canvas over a QPainter, so borders can be painted on a widget (inside its paint
// event) or on a QImage.

#include <QColor>
#include <QPalette>
#include <cstdint>

#include "border/border_canvas.h"
#include "border/twips_per_pixel.h"

class QPainter;

namespace vistrel::border {

class QtBorderCanvas : public BorderCanvas {
 public:
  // Draws through `painter`, which the caller owns and keeps active while the canvas is used; one
  // unit of the painter's coordinates is one pixel. The canvas starts in `scaleMode`; twips are
  // converted to pixels with `twipsPerPixel` (values below 1 are taken as 1).
  explicit QtBorderCanvas(QPainter& painter, int16_t scaleMode = kScaleTwips,
                          TwipsPerPixel twipsPerPixel = screenTwipsPerPixel());

  int16_t ScaleMode() const override { return scaleMode_; }
  // Twips (1), points (2), pixels (3), characters of 120 by 240 twips (4), inches (5),
  // millimetres (6) and centimetres (7); anything else throws std::invalid_argument and keeps the
  // mode it had.
  void setScaleMode(int16_t mode) override;

  // Coordinates are converted to whole pixels (half-even) and then drawn exactly: a line covers
  // the pixels from its first point up to, not including, its last (diagonals by Bresenham's
  // rule); an outline covers the rectangle's edge pixels with both corners. Colours resolve
  // through the application's palette at the time of drawing. Coordinates beyond a million
  // pixels are clamped; non-finite ones draw nothing.
  void Line(double x1, double y1, double x2, double y2, Colour colour, LineForm form) override;

 private:
  double twipsPerUnitX() const;
  double twipsPerUnitY() const;

  QPainter& painter_;
  int16_t scaleMode_;
  TwipsPerPixel twipsPerPixel_;
};

// The colour a toolkit colour value stands for. System colours (&H80000000 plus an index) come
// from `palette`'s active group: 15 the button face, 16 its shadow, 20 the 3D highlight, 21 the
// dark shadow, 22 the light edge, 5 the window, 8 the window text, 13 the selection and so on;
// unknown indexes give black. Other values are &H00BBGGRR; the top byte is ignored.
QColor toQColor(Colour colour, const QPalette& palette);

}  // namespace vistrel::border
