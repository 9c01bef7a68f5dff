#pragma once
// The two things a border is painted with: the surface it is drawn on and the control it frames.
// Both are interfaces so that any surface (a Qt painter, a recorder in tests) and any control
// can take part.

#include <cstdint>

namespace vistrel::border {

// A colour as the window toolkit gives it: &H80000000 plus an index names a system colour
// (&H80000010 the button shadow, &H80000014 the 3D highlight, ...); any other value is &H00BBGGRR.
using Colour = uint32_t;

inline constexpr Colour kSystemColourFlag = 0x80000000u;

// Scale modes: the unit of a surface's coordinates.
inline constexpr int16_t kScaleTwips = 1;
inline constexpr int16_t kScalePoints = 2;
inline constexpr int16_t kScalePixels = 3;
inline constexpr int16_t kScaleCharacters = 4;
inline constexpr int16_t kScaleInches = 5;
inline constexpr int16_t kScaleMillimetres = 6;
inline constexpr int16_t kScaleCentimetres = 7;

enum class LineForm {
  // A straight line from the first point toward the second; the end point itself is not drawn.
  kLine,
  // The outline of the rectangle whose opposite corners are the two points, both corners
  // included, not filled.
  kOutline,
};

// A drawing surface. Coordinates are in the unit its ScaleMode names; it draws with its own pen
// (one pixel wide), of which the border sets nothing but the colour of each line.
class BorderCanvas {
 public:
  virtual ~BorderCanvas() = default;

  virtual int16_t ScaleMode() const = 0;
  // May throw std::invalid_argument for a mode the surface does not support; twips (1) and
  // pixels (3) are always supported.
  virtual void setScaleMode(int16_t mode) = 0;

  virtual void Line(double x1, double y1, double x2, double y2, Colour colour, LineForm form) = 0;
};

// The control a border frames.
class BorderClient {
 public:
  virtual ~BorderClient() = default;

  // Position and size in the container's scale units: twips when the container is the surface
  // being painted, since painting switches that surface to twips.
  virtual double Left() const = 0;
  virtual double Top() const = 0;
  virtual double Width() const = 0;
  virtual double Height() const = 0;

  // The container the control sits on, as a surface; null when it has none. Not owned.
  virtual BorderCanvas* Parent() const = 0;

  // Inner size in the control's own scale units (twips while the control is the surface being
  // painted).
  virtual double ScaleWidth() const = 0;
  virtual double ScaleHeight() const = 0;

  // The control itself as a surface, for borders painted inside it; null (the default) when it
  // cannot be drawn on. Not owned.
  virtual BorderCanvas* asCanvas() { return nullptr; }
};

}  // namespace vistrel::border
