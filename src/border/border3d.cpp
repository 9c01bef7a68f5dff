#include "border/border3d.h"

#include <algorithm>

#include "border/border_error.h"
#include "common/numbers.h"

namespace vistrel::border {
using common::add16;
using common::mul16;
using common::OverflowError;
using common::sub16;
using common::toInt16;

namespace {
constexpr int16_t kBevelNone = 0;
constexpr int16_t kBevelLowered = 1;
constexpr int16_t kBevelRaised = 2;
}  // namespace

CBorder3D::CBorder3D() : CBorder3D(screenTwipsPerPixel()) {}

CBorder3D::CBorder3D(TwipsPerPixel twipsPerPixel)
    : twipsPerPixelX_(std::max<int16_t>(twipsPerPixel.x, 1)),
      twipsPerPixelY_(std::max<int16_t>(twipsPerPixel.y, 1)) {}

void CBorder3D::setStyle3D(int16_t NewVal) {
  if (NewVal >= 0 && NewVal <= 8) {
    Style3D_ = NewVal;
  }
}

void CBorder3D::setBevelInner(int16_t NewVal) {
  if (NewVal >= kBevelNone && NewVal <= kBevelRaised) {
    BevelInner_ = NewVal;
  }
}

void CBorder3D::setBevelOuter(int16_t NewVal) {
  if (NewVal >= kBevelNone && NewVal <= kBevelRaised) {
    BevelOuter_ = NewVal;
  }
}

void CBorder3D::setBevelWidth(int16_t NewVal) {
  if (NewVal > 0) {
    BevelWidth_ = NewVal;
  }
}

void CBorder3D::setBorderWidth(int16_t NewVal) {
  if (NewVal >= 0) {
    BorderWidth_ = NewVal;
  }
}

bool CBorder3D::readsClient() const {
  return (Style3D_ >= 1 && Style3D_ <= 5) || (Style3D_ == 0 && ActOnNone_);
}

void CBorder3D::Refresh() {
  if (Canvas_ == nullptr) {
    if (Client_ == nullptr) {
      throw BorderError::notSet();
    }
    BorderCanvas* found = nullptr;
    if (Style3D_ < 4) {
      found = Client_->Parent();
    } else if (Style3D_ == 5) {
      found = Client_->asCanvas();
    } else {
      throw BorderError::ambiguous();
    }
    if (found == nullptr) {
      throw BorderError::notSet();
    }
    Canvas_ = found;
  }
  // Checked here rather than when the client is first read, so that nothing is drawn and the
  // canvas is not touched.
  if (Client_ == nullptr && readsClient()) {
    throw BorderError::notSet();
  }

  BorderCanvas& canvas = *Canvas_;
  const int16_t savedScaleMode = canvas.ScaleMode();
  canvas.setScaleMode(kScaleTwips);
  // The canvas belongs to the caller: whatever stops the painting, it gets its ScaleMode back.
  const auto restore = [&] {
    try {
      canvas.setScaleMode(savedScaleMode);
    } catch (...) {
      // The first failure is the one worth reporting.
    }
  };
  try {
    switch (Style3D_) {
      case 0:
        if (ActOnNone_) {
          PaintNone();
        }
        break;
      case 1:
        PaintThinSunken();
        break;
      case 2:
        PaintThinRaised();
        break;
      case 3:
      case 6:
        PaintEtched();
        break;
      case 4:
      case 7:
        PaintBevelsOutside();
        break;
      default:
        PaintBevelsInside();
        break;
    }
  } catch (const OverflowError&) {
    restore();
    throw OverflowError(
        "CBorder3D: the border reaches outside -32,768 to 32,767 twips, the coordinates it can "
        "draw at; it was painted only in part");
  } catch (...) {
    restore();
    throw;
  }
  canvas.setScaleMode(savedScaleMode);
}

CBorder3D::Rect16 CBorder3D::framed() const {
  if (Style3D_ >= 6) {
    return {Left_, Top_, Width_, Height_};
  }
  // Read in this order, each when needed, like the properties of a live control.
  const int16_t left = toInt16(Client_->Left());
  const int16_t top = toInt16(Client_->Top());
  const int16_t width = toInt16(Client_->Width());
  const int16_t height = toInt16(Client_->Height());
  return {left, top, width, height};
}

void CBorder3D::setRingRectangle(int16_t thickness) {
  const Rect16 r = framed();
  x1_ = sub16(r.left, mul16(thickness, twipsPerPixelX_));
  y1_ = sub16(r.top, mul16(thickness, twipsPerPixelY_));
  x2_ = add16(r.left, r.width);
  y2_ = add16(r.top, r.height);
}

void CBorder3D::line(int16_t a, int16_t b, int16_t c, int16_t d, Colour colour) {
  Canvas_->Line(a, b, c, d, colour, LineForm::kLine);
}

void CBorder3D::outline(int16_t a, int16_t b, int16_t c, int16_t d, Colour colour) {
  Canvas_->Line(a, b, c, d, colour, LineForm::kOutline);
}

void CBorder3D::PaintNone() {
  setRingRectangle(1);
  outline(x1_, y1_, x2_, y2_, Background_);
}

void CBorder3D::PaintThinSunken() {
  setRingRectangle(1);
  outline(x1_, y1_, x2_, y2_, Shadow_);
  line(x2_, y1_, x2_, add16(y2_, twipsPerPixelY_), Highlight_);
  line(x1_, y2_, add16(x2_, twipsPerPixelX_), y2_, Highlight_);
}

void CBorder3D::PaintThinRaised() {
  setRingRectangle(1);
  outline(x1_, y1_, x2_, y2_, Shadow_);
  line(x1_, y1_, add16(x2_, twipsPerPixelX_), y1_, Highlight_);
  line(x1_, y1_, x1_, add16(y2_, twipsPerPixelY_), Highlight_);
}

void CBorder3D::PaintEtched() {
  setRingRectangle(2);
  outline(x1_, y1_, x2_, y2_, Shadow_);
  outline(add16(x1_, twipsPerPixelX_), add16(y1_, twipsPerPixelY_), add16(x2_, twipsPerPixelX_),
          add16(y2_, twipsPerPixelY_), Highlight_);
}

void CBorder3D::PaintBevelsOutside() {
  const Rect16 r = framed();
  // Both bevels and the gap between them lie outside the client; one bevel alone hugs it.
  const int16_t n = (BevelInner_ != kBevelNone && BevelOuter_ != kBevelNone)
                        ? add16(mul16(2, BevelWidth_), BorderWidth_)
                        : BevelWidth_;
  x1_ = sub16(r.left, mul16(n, twipsPerPixelX_));
  y1_ = sub16(r.top, mul16(n, twipsPerPixelY_));
  x2_ = add16(sub16(add16(r.left, r.width), twipsPerPixelX_), mul16(n, twipsPerPixelX_));
  y2_ = add16(sub16(add16(r.top, r.height), twipsPerPixelY_), mul16(n, twipsPerPixelY_));
  PaintBevelPair();
}

void CBorder3D::PaintBevelsInside() {
  if (Style3D_ == 5) {
    x1_ = 0;
    y1_ = 0;
    x2_ = sub16(toInt16(Client_->ScaleWidth()), twipsPerPixelX_);
    y2_ = sub16(toInt16(Client_->ScaleHeight()), twipsPerPixelY_);
  } else {
    x1_ = Left_;
    y1_ = Top_;
    x2_ = sub16(add16(Left_, Width_), twipsPerPixelX_);
    y2_ = sub16(add16(Top_, Height_), twipsPerPixelY_);
  }
  PaintBevelPair();
}

void CBorder3D::PaintBevel(int16_t bevel) {
  if (bevel == kBevelRaised) {
    PaintRaisedBevel();
  } else if (bevel == kBevelLowered) {
    PaintLoweredBevel();
  }
}

void CBorder3D::PaintBevelPair() {
  if (BevelOuter_ == kBevelNone) {
    PaintBevel(BevelInner_);
    return;
  }
  PaintBevel(BevelOuter_);
  const int16_t shrinkX =
      add16(mul16(BevelWidth_, twipsPerPixelX_), mul16(BorderWidth_, twipsPerPixelX_));
  const int16_t shrinkY =
      add16(mul16(BevelWidth_, twipsPerPixelY_), mul16(BorderWidth_, twipsPerPixelY_));
  x1_ = add16(x1_, shrinkX);
  y1_ = add16(y1_, shrinkY);
  x2_ = sub16(x2_, shrinkX);
  y2_ = sub16(y2_, shrinkY);
  PaintBevel(BevelInner_);
}

CBorder3D::Ring CBorder3D::ring(int16_t i) const {
  return {add16(x1_, mul16(i, twipsPerPixelX_)), add16(y1_, mul16(i, twipsPerPixelY_)),
          sub16(x2_, mul16(i, twipsPerPixelX_)), sub16(y2_, mul16(i, twipsPerPixelY_))};
}

// Lines leave out their end points, so the top and bottom stop short of column c and the left
// side short of row d, while the right side's extra pixel reaches row d: corners (c, b) and
// (c, d) take the right side's colour, (a, d) the bottom's, (a, b) the top's and left's.
void CBorder3D::PaintRaisedBevel() {
  for (int16_t i = 0; i < BevelWidth_; ++i) {
    const auto [a, b, c, d] = ring(i);
    line(a, b, c, b, Highlight_);
    line(a, b, a, d, Highlight_);
    line(a, d, c, d, Shadow_);
    line(c, b, c, add16(d, twipsPerPixelY_), Shadow_);
  }
}

void CBorder3D::PaintLoweredBevel() {
  for (int16_t i = 0; i < BevelWidth_; ++i) {
    const auto [a, b, c, d] = ring(i);
    line(a, d, c, d, Highlight_);
    line(c, b, c, add16(d, twipsPerPixelY_), Highlight_);
    line(a, b, c, b, Shadow_);
    line(a, b, a, d, Shadow_);
  }
}

}  // namespace vistrel::border
