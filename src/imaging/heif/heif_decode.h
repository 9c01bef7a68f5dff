#pragma once
// HEIF decoding through libheif: HEIC and AVIF pictures, a grid of tiles as one picture, the
// rotation and mirroring the file asks for, its ICC profile or nclx colour description.

#include <cstddef>
#include <cstdint>
#include <string>

#include "imaging/picture.h"

namespace vistrel::imaging {

// Whether data[0, size) starts as a HEIF file (HEIC, HEIF, AVIF) does.
bool isHeif(const uint8_t* data, size_t size);

// Whether a HEIF file's brand says AV1 (AVIF) rather than HEVC.
bool isAvif(const uint8_t* data, size_t size);

// Format and natural size (the file's transformations applied). Truncated means the data ends
// before the boxes that describe the picture: read more.
ProbeResult probeHeif(const uint8_t* data, size_t size, const std::string& file);

// The memory decodeHeif needs at the most for these bytes (whatever the least size: libheif
// decodes the whole picture); 0 when the headers cannot be read.
int64_t heifDecodeMemory(const uint8_t* data, size_t size);

// The primary picture of the HEIF in data[0, size), upright, in sRGB, see-through pixels laid on
// white; with a least size, shrunk to block means as a JPEG decode is (chooseShrink). The file's
// own thumbnail item is not used. Thread-safe.
LoadResult decodeHeif(const uint8_t* data, size_t size, const std::string& file, int leastWidth,
                      int leastHeight);

}  // namespace vistrel::imaging
