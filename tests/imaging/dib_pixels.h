#pragma once
// Byte access to a cDIBSection's pixels for tests, by memory row (0 = bottom row of the picture).

#include <cstdint>

#include "imaging/dib_section.h"

namespace vistrel::imaging::testing {

inline uint8_t* dibPixel(const cDIBSection& dib, int x, int memoryRow) {
  return dib.DIBSectionBitsPtr() + static_cast<size_t>(memoryRow) * dib.BytesPerScanLine() +
         3 * static_cast<size_t>(x);
}

// Sets pixel (x, memoryRow) to blue, green, red.
inline void setDibPixel(const cDIBSection& dib, int x, int memoryRow, uint8_t b, uint8_t g,
                        uint8_t r) {
  uint8_t* p = dibPixel(dib, x, memoryRow);
  p[0] = b;
  p[1] = g;
  p[2] = r;
}

}  // namespace vistrel::imaging::testing
