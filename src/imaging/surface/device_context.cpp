#include "imaging/surface/device_context.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <vector>

namespace vistrel::imaging {

namespace {

std::atomic<uint32_t> lastDcHandle{0};

uint32_t newHandle(std::atomic<uint32_t>& last) {
  uint32_t h = 0;
  while (h == 0) {  // 0 means "none"; skip it when the counter wraps
    h = ++last;
  }
  return h;
}

enum class Combine { Copy, Or, And, Xor, Not, Zero, Ones };

bool combineFor(uint32_t rop, Combine& combine) {
  static constexpr struct {
    uint32_t rop;
    Combine combine;
  } known[] = {{SRCCOPY, Combine::Copy},  {SRCPAINT, Combine::Or},    {SRCAND, Combine::And},
               {SRCINVERT, Combine::Xor}, {NOTSRCCOPY, Combine::Not}, {BLACKNESS, Combine::Zero},
               {WHITENESS, Combine::Ones}};
  for (const auto& k : known) {
    if (k.rop == rop) {
      combine = k.combine;
      return true;
    }
  }
  return false;
}

void combineRow(Combine combine, uint8_t* dest, const uint8_t* src, size_t bytes) {
  switch (combine) {
    case Combine::Copy:
      std::memmove(dest, src, bytes);
      break;
    case Combine::Or:
      for (size_t i = 0; i < bytes; ++i)
        dest[i] |= src[i];
      break;
    case Combine::And:
      for (size_t i = 0; i < bytes; ++i)
        dest[i] &= src[i];
      break;
    case Combine::Xor:
      for (size_t i = 0; i < bytes; ++i)
        dest[i] ^= src[i];
      break;
    case Combine::Not:
      for (size_t i = 0; i < bytes; ++i)
        dest[i] = static_cast<uint8_t>(~src[i]);
      break;
    case Combine::Zero:
      std::memset(dest, 0, bytes);
      break;
    case Combine::Ones:
      std::memset(dest, 0xFF, bytes);
      break;
  }
}

}  // namespace

uint8_t* BitmapBits::row(int32_t y) const {
  const int32_t memoryRow = bottomUp ? height - 1 - y : y;
  return bits + static_cast<ptrdiff_t>(memoryRow) * stride;
}

DeviceContext::DeviceContext() : handle_(newHandle(lastDcHandle)) {}

BitmapBits DeviceContext::SelectObject(const BitmapBits& bitmap) {
  BitmapBits previous = selected_;
  selected_ = bitmap;
  return previous;
}

bool BitBlt(DeviceContext& dest, int32_t destLeft, int32_t destTop, int32_t width, int32_t height,
            const DeviceContext* src, int32_t srcLeft, int32_t srcTop, uint32_t rop) {
  Combine combine;
  if (!combineFor(rop, combine) || width < 0 || height < 0) {
    return false;
  }
  const bool needsSource = combine != Combine::Zero && combine != Combine::Ones;
  const BitmapBits& d = dest.Selected();
  if (d.empty() || (needsSource && (src == nullptr || src->Selected().empty()))) {
    return false;
  }

  // Clip in 64 bits so that positions near the int32 limits cannot wrap.
  int64_t dx = destLeft, dy = destTop, sx = srcLeft, sy = srcTop;
  int64_t w = width, h = height;
  auto clip = [&](int64_t& pos, int64_t& other, int64_t& size, int64_t limit) {
    if (pos < 0) {
      other -= pos;
      size += pos;
      pos = 0;
    }
    size = std::min(size, limit - pos);
  };
  clip(dx, sx, w, d.width);
  clip(dy, sy, h, d.height);
  if (needsSource) {
    const BitmapBits& s = src->Selected();
    clip(sx, dx, w, s.width);
    clip(sy, dy, h, s.height);
  }
  if (w <= 0 || h <= 0) {
    return true;  // nothing of the rectangle lies on both surfaces
  }

  const size_t rowBytes = static_cast<size_t>(w) * 3;
  if (!needsSource) {
    for (int64_t y = 0; y < h; ++y) {
      combineRow(combine, d.row(static_cast<int32_t>(dy + y)) + dx * 3, nullptr, rowBytes);
    }
    return true;
  }

  const BitmapBits& s = src->Selected();
  // When both rectangles share memory, a row written early could be read later: go through a
  // copy of the source rectangle then.
  const uint8_t* sEnd = s.bits + static_cast<ptrdiff_t>(s.stride) * s.height;
  const uint8_t* dEnd = d.bits + static_cast<ptrdiff_t>(d.stride) * d.height;
  const bool shared = s.bits < dEnd && d.bits < sEnd;
  std::vector<uint8_t> copy;
  if (shared) {
    copy.resize(rowBytes * static_cast<size_t>(h));
    for (int64_t y = 0; y < h; ++y) {
      std::memcpy(copy.data() + rowBytes * y, s.row(static_cast<int32_t>(sy + y)) + sx * 3,
                  rowBytes);
    }
  }
  for (int64_t y = 0; y < h; ++y) {
    const uint8_t* from =
        shared ? copy.data() + rowBytes * y : s.row(static_cast<int32_t>(sy + y)) + sx * 3;
    combineRow(combine, d.row(static_cast<int32_t>(dy + y)) + dx * 3, from, rowBytes);
  }
  return true;
}

}  // namespace vistrel::imaging
