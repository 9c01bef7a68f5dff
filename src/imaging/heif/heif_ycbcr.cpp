#include "imaging/heif/heif_ycbcr.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace vistrel::imaging {

namespace {

// One plane and how its samples are read.
struct Plane {
  const uint8_t* rows = nullptr;
  int stride = 0;
  int width = 0, height = 0;
  bool wide = false;  // two bytes a sample (more than 8 bits), in the machine's order
  int sample(int x, int y) const {
    const uint8_t* row = rows + static_cast<size_t>(y) * stride;
    return wide ? reinterpret_cast<const uint16_t*>(row)[x] : row[x];
  }
};

// The mean of the plane's samples under output pixel (ox, oy), whose block is `block` samples on
// a side in this plane.
double blockMean(const Plane& p, int ox, int oy, int blockX, int blockY) {
  const int x0 = ox * blockX, y0 = oy * blockY;
  const int x1 = std::min(p.width, x0 + blockX), y1 = std::min(p.height, y0 + blockY);
  if (x0 >= x1 || y0 >= y1) {
    return -1;
  }
  long sum = 0;
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) {
      sum += p.sample(x, y);
    }
  }
  return static_cast<double>(sum) / ((x1 - x0) * (y1 - y0));
}

// Kr and Kb of the matrices in use; false for the others (identity, YCgCo, chromaticity-derived).
bool coefficients(heif_matrix_coefficients m, double& kr, double& kb) {
  switch (m) {
    case heif_matrix_coefficients_ITU_R_BT_709_5:
      kr = 0.2126, kb = 0.0722;
      return true;
    case heif_matrix_coefficients_unspecified:
    case heif_matrix_coefficients_ITU_R_BT_470_6_System_B_G:
    case heif_matrix_coefficients_ITU_R_BT_601_6:
      kr = 0.299, kb = 0.114;
      return true;
    case heif_matrix_coefficients_SMPTE_240M:
      kr = 0.212, kb = 0.087;
      return true;
    case heif_matrix_coefficients_ITU_R_BT_2020_2_non_constant_luminance:
      kr = 0.2627, kb = 0.0593;
      return true;
    default:
      return false;
  }
}

bool planeOf(const heif_image* image, heif_channel channel, Plane& p) {
  p.rows = heif_image_get_plane_readonly(image, channel, &p.stride);
  p.width = heif_image_get_width(image, channel);
  p.height = heif_image_get_height(image, channel);
  p.wide = heif_image_get_bits_per_pixel(image, channel) > 8;
  return p.rows != nullptr && p.width > 0 && p.height > 0;
}

uint8_t clamped(double v) {
  return static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L));
}

}  // namespace

bool shrunkFromYcbcr(const heif_image* image, const heif_color_profile_nclx* nclx, int shrink,
                     Picture& out) {
  const heif_colorspace space = heif_image_get_colorspace(image);
  const heif_chroma chroma = heif_image_get_chroma_format(image);
  const bool grey = space == heif_colorspace_monochrome;
  double kr = 0.299, kb = 0.114;
  if ((space != heif_colorspace_YCbCr && !grey) ||
      (!grey && chroma != heif_chroma_420 && chroma != heif_chroma_422 &&
       chroma != heif_chroma_444) ||
      (nclx != nullptr && !grey && !coefficients(nclx->matrix_coefficients, kr, kb))) {
    return false;
  }
  const int bits = heif_image_get_bits_per_pixel_range(image, heif_channel_Y);
  Plane y, cb, cr;
  if (bits < 8 || bits > 12 || !planeOf(image, heif_channel_Y, y) ||
      (!grey && (!planeOf(image, heif_channel_Cb, cb) || !planeOf(image, heif_channel_Cr, cr)))) {
    return false;
  }
  const bool full = nclx == nullptr || nclx->full_range_flag != 0;
  const double unit = 1 << (bits - 8), top = (1 << bits) - 1;
  const double yOffset = full ? 0 : 16 * unit, yScale = full ? 255 / top : 255 / (219 * unit);
  const double cScale = full ? 255 / top : 255 / (224 * unit), cMid = 128 * unit;
  const int subX = chroma == heif_chroma_444 ? 1 : 2, subY = chroma == heif_chroma_420 ? 2 : 1;
  Picture p;
  p.width = (y.width + shrink - 1) / shrink;
  p.height = (y.height + shrink - 1) / shrink;
  p.stride = 3 * p.width;
  p.bgr.resize(static_cast<size_t>(p.stride) * p.height);
  for (int oy = 0; oy < p.height; ++oy) {
    uint8_t* row = p.row(oy);
    for (int ox = 0; ox < p.width; ++ox) {
      const double luma = (blockMean(y, ox, oy, shrink, shrink) - yOffset) * yScale;
      double u = 0, v = 0;
      if (!grey) {
        const int bx = std::max(1, shrink / subX), by = std::max(1, shrink / subY);
        const double mu = blockMean(cb, ox, oy, bx, by), mv = blockMean(cr, ox, oy, bx, by);
        u = mu < 0 ? 0 : (mu - cMid) * cScale;
        v = mv < 0 ? 0 : (mv - cMid) * cScale;
      }
      const double r = luma + 2 * (1 - kr) * v;
      const double b = luma + 2 * (1 - kb) * u;
      const double g = (luma - kr * r - kb * b) / (1 - kr - kb);
      row[3 * ox] = clamped(b);
      row[3 * ox + 1] = clamped(g);
      row[3 * ox + 2] = clamped(r);
    }
  }
  out = std::move(p);
  return true;
}

}  // namespace vistrel::imaging
