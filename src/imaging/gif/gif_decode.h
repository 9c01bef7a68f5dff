#pragma once
// GIF decoding through Qt's reader: the first image, transparent pixels laid on the background
// colour the caller gives.

#include <cstddef>
#include <cstdint>
#include <string>

#include "imaging/picture.h"

namespace vistrel::imaging {

// Format and natural size of the GIF in data[0, size), from its headers only.
ProbeResult probeGif(const uint8_t* data, size_t size, const std::string& file);

// Offset just past the first image's data in the GIF data[0, size), all the decoder reads of it;
// 0 when the data ends before it does.
size_t gifFirstImageEnd(const uint8_t* data, size_t size);

// The memory decodeGif needs at the most for a picture of this size: the reader's image and its
// backing store (4 bytes a pixel each) and the picture (3 bytes a pixel).
int64_t gifDecodeMemory(const PictureInfo& info);

// The first image of the GIF in data[0, size), its see-through pixels laid on `background`
// (0xRRGGBB). Thread-safe.
LoadResult decodeGif(const uint8_t* data, size_t size, const std::string& file,
                     uint32_t background);

}  // namespace vistrel::imaging
