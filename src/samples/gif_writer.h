#pragma once
// Writes GIF files (Qt reads GIF but cannot write it), through giflib. Used to make sample
// pictures and test inputs; the programs only read GIFs and do not link this.

#include <cstdint>
#include <string>

#include "imaging/picture.h"

namespace vistrel::samples {

struct GifOptions {
  // Pixels of exactly this colour (B, G, R) become the transparent colour when set.
  bool transparent = false;
  uint8_t transparentB = 0, transparentG = 0, transparentR = 0;
};

// Encodes `picture` as a single-image GIF89a with a 6 x 7 x 6 colour cube palette (no dithering),
// through giflib. Empty when giflib fails.
std::string encodeGif(const imaging::Picture& picture, const GifOptions& options = {});

// Writes encodeGif's bytes to `file` under a temporary name and renames it into place.
bool writeGifFile(const imaging::Picture& picture, const std::string& file,
                  const GifOptions& options = {});

}  // namespace vistrel::samples
