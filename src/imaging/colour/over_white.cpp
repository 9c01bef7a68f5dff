#include "imaging/colour/over_white.h"

namespace vistrel::imaging {

Picture pictureOverWhite(const uint8_t* rows, int width, int height, size_t stride, bool alpha) {
  Picture p;
  p.width = width;
  p.height = height;
  p.stride = 3 * width;
  p.bgr.resize(static_cast<size_t>(p.stride) * height);
  for (int y = 0; y < height; ++y) {
    const uint8_t* in = rows + static_cast<size_t>(y) * stride;
    uint8_t* out = p.row(y);
    if (!alpha) {
      for (int x = 0; x < width; ++x, in += 3, out += 3) {
        out[0] = in[2];
        out[1] = in[1];
        out[2] = in[0];
      }
      continue;
    }
    for (int x = 0; x < width; ++x, in += 4, out += 3) {
      const int a = in[3], white = 255 * (255 - a);
      out[0] = static_cast<uint8_t>((in[2] * a + white + 127) / 255);
      out[1] = static_cast<uint8_t>((in[1] * a + white + 127) / 255);
      out[2] = static_cast<uint8_t>((in[0] * a + white + 127) / 255);
    }
  }
  return p;
}

}  // namespace vistrel::imaging
