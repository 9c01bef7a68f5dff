#pragma once
// The fit rule that sizes a scaled picture from its natural size (its longer side decides), and
// the conversions between screen pixels and twips (1440 to the inch).

#include <cstdint>

namespace vistrel::browse {

// The inner drawing area of the box a picture is fitted into, in the box's own scale unit.
struct FitBox {
  float scaleWidth = 0;
  float scaleHeight = 0;
};

// The natural size of the picture element, in the unit of the element's container.
struct FitElement {
  float width = 0;
  float height = 0;
};

// A fitted size in pixels (the window's X and Y).
struct FitSize {
  int16_t X = 0;
  int16_t Y = 0;
  bool operator==(const FitSize&) const = default;
};

// The fit rule. Only the element's own proportions choose the branch: when it is strictly
// wider than tall, X = largestWidth and Y = height * (box width / width); otherwise
// Y = largestHeight and X = width * (box height / height). The ratio is rounded to single
// precision before the product, which is rounded half-even; this is what decides near halves.
// Pictures smaller than the box are enlarged. The result may be 0 on the short side for
// extreme proportions. Throws std::domain_error when the deciding natural side is not
// positive, and OverflowError when a side does not fit 16 bits.
FitSize GetXY(const FitBox& box, const FitElement& element, int16_t largestWidth,
              int16_t largestHeight);

// The thumbnail batch's fit of a picture of `pixelWidth` x `pixelHeight` pixels into
// largestWidth x largestHeight pixels. The element is measured in twips, as the batch's
// hidden picture element is (pixels times the screen's twips per pixel), and the box in pixels;
// so the ratio carries the single-precision rounding of pixels per twip (400 x 300 into
// 150 x 150 at 15 twips per pixel gives 150 x 113). Unlike GetXY, the short side is at least 1
// pixel, so that a picture of extreme proportions still gets a thumbnail.
FitSize fitThumbnail(int pixelWidth, int pixelHeight, int16_t largestWidth, int16_t largestHeight,
                     float twipsPerPixelX, float twipsPerPixelY);

// Where the preview element goes: fitted size in the box's units (whole numbers) and its
// top-left corner in the box, centred in single precision and never clamped (a picture larger
// than the box starts above or left of it and is cut equally on both sides).
struct PreviewPlacement {
  FitSize size;
  float left = 0;
  float top = 0;
};

// The preview's fit: the rule of GetXY with the box's own sides, rounded half-even, as the
// targets; then the element is centred in the box. The window hides the element before and
// shows it after. Throws as GetXY does.
PreviewPlacement fitPreview(const FitBox& box, const FitElement& element);

// Pixels to twips: pxls times the twips per pixel, rounded half-even. Throws OverflowError
// outside the 32-bit range.
int32_t PixelsToTwips_width(double pxls, float twipsPerPixelX);
int32_t PixelsToTwips_height(double pxls, float twipsPerPixelY);

// Twips to pixels: pxls rounded half-even, divided by the twips per pixel rounded half-even,
// truncated toward zero. Throws std::domain_error when the twips per pixel rounds to 0.
int32_t TwipsToPixels_width(double pxls, float twipsPerPixelX);
int32_t TwipsToPixels_height(int32_t pxls, float twipsPerPixelY);

}  // namespace vistrel::browse
