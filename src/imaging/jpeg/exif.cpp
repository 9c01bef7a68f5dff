#include "imaging/jpeg/exif.h"

#include <cstring>
#include <utility>

namespace vistrel::imaging {

namespace {

class TiffReader {
 public:
  TiffReader(const uint8_t* data, size_t size, bool bigEndian)
      : data_(data), size_(size), bigEndian_(bigEndian) {}
  bool has(size_t offset, size_t bytes) const { return offset <= size_ && bytes <= size_ - offset; }
  uint16_t u16(size_t offset) const {
    const uint8_t* p = data_ + offset;
    return bigEndian_ ? static_cast<uint16_t>(p[0] << 8 | p[1])
                      : static_cast<uint16_t>(p[1] << 8 | p[0]);
  }
  uint32_t u32(size_t offset) const {
    const uint8_t* p = data_ + offset;
    return bigEndian_ ? (uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3])
                      : (uint32_t{p[3]} << 24 | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0]);
  }

 private:
  const uint8_t* data_;
  size_t size_;
  bool bigEndian_;
};

constexpr uint16_t kOrientationTag = 0x0112;
constexpr uint16_t kTypeShort = 3;

}  // namespace

int exifOrientation(const uint8_t* data, size_t size) {
  if (data == nullptr || size < 8) {
    return 1;
  }
  bool bigEndian;
  if (data[0] == 'I' && data[1] == 'I') {
    bigEndian = false;
  } else if (data[0] == 'M' && data[1] == 'M') {
    bigEndian = true;
  } else {
    return 1;
  }
  const TiffReader tiff(data, size, bigEndian);
  if (tiff.u16(2) != 42) {
    return 1;
  }
  const size_t ifd = tiff.u32(4);
  if (!tiff.has(ifd, 2)) {
    return 1;
  }
  const unsigned count = tiff.u16(ifd);
  for (unsigned i = 0; i < count; ++i) {
    const size_t entry = ifd + 2 + 12 * static_cast<size_t>(i);
    if (!tiff.has(entry, 12)) {
      return 1;
    }
    if (tiff.u16(entry) != kOrientationTag) {
      continue;
    }
    if (tiff.u16(entry + 2) != kTypeShort || tiff.u32(entry + 4) < 1) {
      return 1;
    }
    const int value = tiff.u16(entry + 8);
    return value >= 1 && value <= 8 ? value : 1;
  }
  return 1;
}

Picture applyOrientation(Picture stored, int orientation) {
  if (orientation < 2 || orientation > 8 || stored.empty()) {
    return stored;
  }
  const int w = stored.width;
  const int h = stored.height;
  Picture out;
  out.width = swapsAxes(orientation) ? h : w;
  out.height = swapsAxes(orientation) ? w : h;
  out.stride = 3 * out.width;
  out.bgr.resize(static_cast<size_t>(out.stride) * out.height);
  // Where the stored pixel (x, y) lands in the upright picture.
  auto place = [&](int x, int y) -> std::pair<int, int> {
    switch (orientation) {
      case 2:  // mirrored left-right
        return {w - 1 - x, y};
      case 3:  // turned half round
        return {w - 1 - x, h - 1 - y};
      case 4:  // mirrored top-bottom
        return {x, h - 1 - y};
      case 5:  // mirrored along the main diagonal
        return {y, x};
      case 6:  // stored a quarter turn anticlockwise: turn it clockwise
        return {h - 1 - y, x};
      case 7:  // mirrored along the other diagonal
        return {h - 1 - y, w - 1 - x};
      default:  // 8: stored a quarter turn clockwise: turn it anticlockwise
        return {y, w - 1 - x};
    }
  };
  for (int y = 0; y < h; ++y) {
    const uint8_t* in = stored.row(y);
    for (int x = 0; x < w; ++x) {
      const auto [ox, oy] = place(x, y);
      std::memcpy(out.row(oy) + 3 * static_cast<size_t>(ox), in + 3 * static_cast<size_t>(x), 3);
    }
  }
  return out;
}

}  // namespace vistrel::imaging
