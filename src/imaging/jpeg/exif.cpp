#include "imaging/jpeg/exif.h"

#include <algorithm>
#include <cstring>
#include <optional>
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
constexpr uint16_t kGpsIfdTag = 0x8825;
constexpr uint16_t kGpsLatitudeTag = 0x0002;
constexpr uint16_t kGpsLongitudeTag = 0x0004;
constexpr uint16_t kTypeShort = 3;
constexpr uint16_t kTypeLong = 4;
constexpr uint16_t kTypeRational = 5;
constexpr uint16_t kTypeSignedRational = 10;
constexpr uint16_t kTypeIfd = 13;
constexpr size_t kNoEntry = static_cast<size_t>(-1);

// The block's byte order and its IFD0's offset; nothing when the TIFF header is not one.
std::optional<TiffReader> tiffHeader(const uint8_t* data, size_t size, size_t& ifd0) {
  if (data == nullptr || size < 8 || data[0] != data[1] || (data[0] != 'I' && data[0] != 'M')) {
    return std::nullopt;
  }
  const TiffReader tiff(data, size, data[0] == 'M');
  if (tiff.u16(2) != 42) {
    return std::nullopt;
  }
  ifd0 = tiff.u32(4);
  return tiff;
}

// The offset of the entry `tag` in the IFD at `ifd`, or kNoEntry when it is not there before the
// entries leave the block.
size_t findEntry(const TiffReader& tiff, size_t ifd, uint16_t tag) {
  if (!tiff.has(ifd, 2)) {
    return kNoEntry;
  }
  const unsigned count = tiff.u16(ifd);
  for (unsigned i = 0; i < count; ++i) {
    const size_t entry = ifd + 2 + 12 * static_cast<size_t>(i);
    if (!tiff.has(entry, 12)) {
      return kNoEntry;
    }
    if (tiff.u16(entry) == tag) {
      return entry;
    }
  }
  return kNoEntry;
}

// A latitude or longitude entry whose rational values are all there.
bool holdsCoordinate(const TiffReader& tiff, size_t entry) {
  if (entry == kNoEntry) {
    return false;
  }
  const uint16_t type = tiff.u16(entry + 2);
  const size_t count = tiff.u32(entry + 4);
  return (type == kTypeRational || type == kTypeSignedRational) && count >= 1 &&
         tiff.has(tiff.u32(entry + 8), 8 * count);
}

bool isJpegStandalone(uint8_t marker) {
  return marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7);
}

}  // namespace

int exifOrientation(const uint8_t* data, size_t size) {
  size_t ifd0 = 0;
  const auto tiff = tiffHeader(data, size, ifd0);
  const size_t entry = tiff ? findEntry(*tiff, ifd0, kOrientationTag) : kNoEntry;
  if (entry == kNoEntry || tiff->u16(entry + 2) != kTypeShort || tiff->u32(entry + 4) < 1) {
    return 1;
  }
  const int value = tiff->u16(entry + 8);
  return value >= 1 && value <= 8 ? value : 1;
}

bool exifHasLocation(const uint8_t* data, size_t size) {
  size_t ifd0 = 0;
  const auto tiff = tiffHeader(data, size, ifd0);
  const size_t pointer = tiff ? findEntry(*tiff, ifd0, kGpsIfdTag) : kNoEntry;
  if (pointer == kNoEntry) {
    return false;
  }
  const uint16_t type = tiff->u16(pointer + 2);
  if ((type != kTypeLong && type != kTypeIfd) || tiff->u32(pointer + 4) != 1) {
    return false;
  }
  const size_t gps = tiff->u32(pointer + 8);
  return holdsCoordinate(*tiff, findEntry(*tiff, gps, kGpsLatitudeTag)) ||
         holdsCoordinate(*tiff, findEntry(*tiff, gps, kGpsLongitudeTag));
}

bool jpegHasLocation(const uint8_t* data, size_t size) {
  if (data == nullptr || size < 2 || data[0] != 0xFF || data[1] != 0xD8) {
    return false;
  }
  // Every step moves past a fill byte or a whole segment, so the walk ends within `size` steps.
  for (size_t pos = 2; pos + 4 <= size;) {
    const uint8_t marker = data[pos + 1];
    if (data[pos] != 0xFF || marker == 0xDA || marker == 0xD9) {
      return false;  // damaged, or the scans begin: no EXIF comes after them
    }
    if (marker == 0xFF || isJpegStandalone(marker)) {
      pos += marker == 0xFF ? 1 : 2;
      continue;
    }
    const size_t length = static_cast<size_t>(data[pos + 2]) << 8 | data[pos + 3];
    if (length < 2) {
      return false;
    }
    const uint8_t* segment = data + pos + 4;
    const size_t held = std::min(length - 2, size - pos - 4);
    if (marker == 0xE1 && held >= 6 && std::memcmp(segment, "Exif\0\0", 6) == 0 &&
        exifHasLocation(segment + 6, held - 6)) {
      return true;
    }
    pos += 2 + length;
  }
  return false;
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
