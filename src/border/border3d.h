#pragma once
// CBorder3D paints three-dimensional borders (thin sunken or raised frames, an etched groove, or
// bevels several pixels thick with an optional gap between an outer and an inner bevel) around a
// client control or a rectangle, on a canvas. It keeps the settings; Refresh paints once.

#include <cstdint>

#include "border/border_canvas.h"
#include "border/twips_per_pixel.h"

namespace vistrel::border {

class CBorder3D {
 public:
  // Twips per pixel are read from the screen now and kept for the object's life.
  CBorder3D();
  // For tests and off-screen surfaces: the pixel size in twips to use instead of the screen's.
  // Values below 1 are taken as 1.
  explicit CBorder3D(TwipsPerPixel twipsPerPixel);

  // The control to be framed; not owned, must outlive the calls to Refresh that use it.
  void setClient(BorderClient* client) { Client_ = client; }
  BorderClient* Client() const { return Client_; }
  // The surface drawn on; not owned. Refresh may set it (see there).
  void setCanvas(BorderCanvas* canvas) { Canvas_ = canvas; }
  BorderCanvas* Canvas() const { return Canvas_; }

  // 0 none (ActOnNone erases the one-pixel ring), 1 thin sunken, 2 thin raised, 3 etched,
  // 4 bevels outside the client, 5 bevels inside the client; 6, 7, 8 are 3, 4, 5 around the
  // object's own Left, Top, Width, Height. Values outside 0..8 are ignored.
  void setStyle3D(int16_t NewVal);
  int16_t Style3D() const { return Style3D_; }
  // 0 none, 1 lowered, 2 raised; other values are ignored.
  void setBevelInner(int16_t NewVal);
  int16_t BevelInner() const { return BevelInner_; }
  void setBevelOuter(int16_t NewVal);
  int16_t BevelOuter() const { return BevelOuter_; }
  // Thickness of each bevel in pixels; values below 1 are ignored.
  void setBevelWidth(int16_t NewVal);
  int16_t BevelWidth() const { return BevelWidth_; }
  // Gap in pixels between the outer and the inner bevel; negative values are ignored.
  void setBorderWidth(int16_t NewVal);
  int16_t BorderWidth() const { return BorderWidth_; }

  // The rectangle of styles 6, 7 and 8, in twips on the canvas.
  void setLeft(int16_t NewVal) { Left_ = NewVal; }
  int16_t Left() const { return Left_; }
  void setTop(int16_t NewVal) { Top_ = NewVal; }
  int16_t Top() const { return Top_; }
  void setWidth(int16_t NewVal) { Width_ = NewVal; }
  int16_t Width() const { return Width_; }
  void setHeight(int16_t NewVal) { Height_ = NewVal; }
  int16_t Height() const { return Height_; }

  void setHighlight(Colour NewVal) { Highlight_ = NewVal; }
  Colour Highlight() const { return Highlight_; }
  void setShadow(Colour NewVal) { Shadow_ = NewVal; }
  Colour Shadow() const { return Shadow_; }
  void setBackground(Colour NewVal) { Background_ = NewVal; }
  Colour Background() const { return Background_; }
  // Whether style 0 paints the one-pixel ring around the client in Background.
  void setActOnNone(bool NewVal) { ActOnNone_ = NewVal; }
  bool ActOnNone() const { return ActOnNone_; }

  int16_t twipsPerPixelX() const { return twipsPerPixelX_; }
  int16_t twipsPerPixelY() const { return twipsPerPixelY_; }

  // Paints the border once with the current settings, in twips, and leaves the canvas's
  // ScaleMode as it found it. Without a canvas, styles 0 to 3 paint on the client's container
  // and style 5 inside the client; the canvas found stays set.
  // Throws BorderError (nothing drawn, ScaleMode untouched) when there is no canvas and no client,
  // when there is no canvas and the style is 4, 6, 7 or 8, when the container or the client
  // cannot be drawn on, and when a style that frames the client has no client.
  // Throws OverflowError when a coordinate leaves the 16-bit range (-32,768 to 32,767 twips): the
  // lines drawn until then stay, and ScaleMode is restored. Exceptions of the canvas pass through,
  // also with ScaleMode restored.
  void Refresh();

 private:
  void PaintNone();
  void PaintThinSunken();
  void PaintThinRaised();
  void PaintEtched();
  void PaintBevelsOutside();
  void PaintBevelsInside();
  void PaintBevelPair();
  void PaintLoweredBevel();
  void PaintRaisedBevel();

  struct Rect16 {
    int16_t left, top, width, height;
  };
  // The client's position and size, or for styles 6 to 8 the object's own.
  Rect16 framed() const;
  // (L - k px, T - k py) to (L + W, T + H): a ring k pixels thick just outside the client.
  void setRingRectangle(int16_t thickness);
  void PaintBevel(int16_t bevel);
  struct Ring {
    int16_t a, b, c, d;
  };
  // Ring i of a bevel on the working rectangle, i pixels inside it.
  Ring ring(int16_t i) const;
  bool readsClient() const;
  void line(int16_t a, int16_t b, int16_t c, int16_t d, Colour colour);
  void outline(int16_t a, int16_t b, int16_t c, int16_t d, Colour colour);

  int16_t twipsPerPixelX_;
  int16_t twipsPerPixelY_;
  int16_t x1_ = 0;
  int16_t y1_ = 0;
  int16_t x2_ = 0;
  int16_t y2_ = 0;
  BorderClient* Client_ = nullptr;
  BorderCanvas* Canvas_ = nullptr;
  int16_t Style3D_ = 0;
  int16_t BevelInner_ = 0;
  int16_t BevelOuter_ = 2;
  int16_t BevelWidth_ = 3;
  int16_t BorderWidth_ = 2;
  int16_t Left_ = 0;
  int16_t Top_ = 0;
  int16_t Width_ = 0;
  int16_t Height_ = 0;
  Colour Highlight_ = 0x80000014u;
  Colour Shadow_ = 0x80000010u;
  Colour Background_ = 0x8000000Fu;
  bool ActOnNone_ = false;
};

}  // namespace vistrel::border
