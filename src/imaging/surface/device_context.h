#pragma once
// A drawing surface in memory: a bitmap is selected into it, and rectangles of 24-bit
// blue-green-red pixels are copied between surfaces with BitBlt. This is how cDIBSection's
// pixels are drawn to and from other pictures without anything knowing the other's row order.

#include <cstdint>

namespace vistrel::imaging {

// Raster operations BitBlt understands, with their classic ternary codes (S = source,
// D = destination, bitwise on each byte).
inline constexpr uint32_t SRCCOPY = 0x00CC0020;     // S
inline constexpr uint32_t SRCPAINT = 0x00EE0086;    // S | D
inline constexpr uint32_t SRCAND = 0x008800C6;      // S & D
inline constexpr uint32_t SRCINVERT = 0x00660046;   // S ^ D
inline constexpr uint32_t NOTSRCCOPY = 0x00330008;  // ~S
inline constexpr uint32_t BLACKNESS = 0x00000042;   // 0
inline constexpr uint32_t WHITENESS = 0x00FF0062;   // 255

// A view of pixels a surface draws on. Not owned: whoever selects it keeps the memory alive
// (and at the same address) while it is selected.
struct BitmapBits {
  uint8_t* bits = nullptr;  // first byte of the first row in memory
  int32_t width = 0;        // pixels
  int32_t height = 0;       // pixels
  int32_t stride = 0;       // bytes from one row in memory to the next, >= 3 * width
  bool bottomUp = false;    // true: the first row in memory is the bottom row of the picture

  bool empty() const { return bits == nullptr || width <= 0 || height <= 0; }
  // Start of picture row `y` (0 = top row as shown), whatever the order in memory.
  uint8_t* row(int32_t y) const;
};

// A memory surface. Starts with nothing selected; a rectangle copy from or to it then does
// nothing. Not copyable: its handle names one surface.
class DeviceContext {
 public:
  DeviceContext();
  DeviceContext(const DeviceContext&) = delete;
  DeviceContext& operator=(const DeviceContext&) = delete;

  // Opaque, non-zero, unique among the surfaces made in this process.
  uint32_t handle() const { return handle_; }

  // Makes `bitmap` this surface's pixels and returns the one it replaces (empty at first), so
  // that the caller can put it back.
  BitmapBits SelectObject(const BitmapBits& bitmap);
  const BitmapBits& Selected() const { return selected_; }

 private:
  uint32_t handle_;
  BitmapBits selected_;
};

// Copies the width x height rectangle at (srcLeft, srcTop) of `src` to (destLeft, destTop) of
// `dest`, combining each byte with the destination's by `rop`. Positions are pixels from the top
// left corner as the picture is shown. No scaling; the parts of the rectangle that fall outside
// either surface are left out. `src` and `dest` may be the same surface, even overlapping.
// Returns false, copying nothing, for an unknown raster operation, a negative size or a surface
// with nothing selected (BLACKNESS and WHITENESS need no source).
bool BitBlt(DeviceContext& dest, int32_t destLeft, int32_t destTop, int32_t width, int32_t height,
            const DeviceContext* src, int32_t srcLeft, int32_t srcTop, uint32_t rop);

}  // namespace vistrel::imaging
