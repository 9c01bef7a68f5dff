#include "imaging/colour/over_white.h"

#include <algorithm>
#include <vector>

namespace vistrel::imaging {

namespace {

// One input pixel in B, G, R order, laid on white when it has alpha.
inline void addPixel(const uint8_t* in, bool alpha, uint32_t* sum) {
  if (!alpha) {
    sum[0] += in[2];
    sum[1] += in[1];
    sum[2] += in[0];
    return;
  }
  const uint32_t a = in[3], white = 255 * (255 - a);
  sum[0] += (in[2] * a + white + 127) / 255;
  sum[1] += (in[1] * a + white + 127) / 255;
  sum[2] += (in[0] * a + white + 127) / 255;
}

}  // namespace

Picture pictureOverWhite(const uint8_t* rows, int width, int height, size_t stride, bool alpha,
                         int shrink) {
  shrink = shrink < 1 ? 1 : shrink;
  Picture p;
  p.width = (width + shrink - 1) / shrink;
  p.height = (height + shrink - 1) / shrink;
  p.stride = 3 * p.width;
  p.bgr.resize(static_cast<size_t>(p.stride) * p.height);
  const size_t channels = alpha ? 4 : 3;
  std::vector<uint32_t> sums(static_cast<size_t>(p.stride));
  for (int oy = 0; oy < p.height; ++oy) {
    std::fill(sums.begin(), sums.end(), 0);
    const int y0 = oy * shrink, y1 = std::min(height, y0 + shrink);
    for (int y = y0; y < y1; ++y) {
      const uint8_t* in = rows + static_cast<size_t>(y) * stride;
      for (int x = 0; x < width; ++x, in += channels) {
        addPixel(in, alpha, &sums[3 * static_cast<size_t>(x / shrink)]);
      }
    }
    // Blocks at the right and bottom edges may be cut: each is the mean of what it holds.
    uint8_t* out = p.row(oy);
    for (int ox = 0; ox < p.width; ++ox) {
      const uint32_t n =
          static_cast<uint32_t>((std::min(width, (ox + 1) * shrink) - ox * shrink) * (y1 - y0));
      for (int c = 0; c < 3; ++c) {
        out[3 * ox + c] = static_cast<uint8_t>((sums[3 * ox + c] + n / 2) / n);
      }
    }
  }
  return p;
}

}  // namespace vistrel::imaging
