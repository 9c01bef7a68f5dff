#include "browse/fit.h"

#include <algorithm>
#include <stdexcept>

#include "common/numbers.h"

namespace vistrel::browse {
using common::toInt16;
using common::toInt32;

namespace {

int32_t wholeTwipsPerPixel(float twipsPerPixel) {
  const auto whole = toInt32(twipsPerPixel);
  if (whole == 0) {
    throw std::domain_error("twips per pixel rounds to 0");
  }
  return whole;
}

}  // namespace

FitSize GetXY(const FitBox& box, const FitElement& element, int16_t largestWidth,
              int16_t largestHeight) {
  const float w = element.width;
  const float h = element.height;
  FitSize size;
  if (w > h) {
    if (!(w > 0)) {
      throw std::domain_error("picture has no width to fit");
    }
    // Single precision on purpose: the rounded ratio decides which way a near-half product goes.
    const float ratio = box.scaleWidth / w;
    size.X = largestWidth;
    size.Y = toInt16(static_cast<double>(h) * static_cast<double>(ratio));
  } else {
    if (!(h > 0)) {
      throw std::domain_error("picture has no height to fit");
    }
    const float ratio = box.scaleHeight / h;
    size.Y = largestHeight;
    size.X = toInt16(static_cast<double>(w) * static_cast<double>(ratio));
  }
  return size;
}

FitSize fitThumbnail(int pixelWidth, int pixelHeight, int16_t largestWidth, int16_t largestHeight,
                     float twipsPerPixelX, float twipsPerPixelY) {
  const FitBox box{static_cast<float>(largestWidth), static_cast<float>(largestHeight)};
  const FitElement element{static_cast<float>(pixelWidth) * twipsPerPixelX,
                           static_cast<float>(pixelHeight) * twipsPerPixelY};
  FitSize size = GetXY(box, element, largestWidth, largestHeight);
  size.X = std::max<int16_t>(size.X, 1);
  size.Y = std::max<int16_t>(size.Y, 1);
  return size;
}

PreviewPlacement fitPreview(const FitBox& box, const FitElement& element) {
  PreviewPlacement placement;
  placement.size = GetXY(box, element, toInt16(box.scaleWidth), toInt16(box.scaleHeight));
  placement.top = box.scaleHeight / 2.0f - static_cast<float>(placement.size.Y) / 2.0f;
  placement.left = box.scaleWidth / 2.0f - static_cast<float>(placement.size.X) / 2.0f;
  return placement;
}

int32_t PixelsToTwips_width(double pxls, float twipsPerPixelX) {
  return toInt32(pxls * static_cast<double>(twipsPerPixelX));
}

int32_t PixelsToTwips_height(double pxls, float twipsPerPixelY) {
  return toInt32(pxls * static_cast<double>(twipsPerPixelY));
}

int32_t TwipsToPixels_width(double pxls, float twipsPerPixelX) {
  return toInt32(static_cast<double>(int64_t{toInt32(pxls)} / wholeTwipsPerPixel(twipsPerPixelX)));
}

int32_t TwipsToPixels_height(int32_t pxls, float twipsPerPixelY) {
  // 64 bits: the lowest 32-bit value divided by -1 does not fit 32 bits.
  return toInt32(static_cast<double>(int64_t{pxls} / wholeTwipsPerPixel(twipsPerPixelY)));
}

}  // namespace vistrel::browse
