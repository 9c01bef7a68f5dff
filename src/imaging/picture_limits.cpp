#include "imaging/picture_limits.h"

namespace vistrel::imaging {

std::string sizeRefusal(int64_t width, int64_t height, int64_t decodeBytes) {
  if (width < 1 || height < 1) {
    return "the picture has no pixels (" + std::to_string(width) + " x " + std::to_string(height) +
           ")";
  }
  if (width * height > kMaxPicturePixels) {
    return "the picture is too large: " + std::to_string(width) + " x " + std::to_string(height) +
           " pixels (at most 256 megapixels are loaded)";
  }
  if (decodeBytes > kMaxDecodeBytes) {
    return "the picture is too large: decoding it would need " + std::to_string(decodeBytes >> 20) +
           " MB of memory (at most 1024 MB)";
  }
  return {};
}

}  // namespace vistrel::imaging
