#pragma once
// WebP decoding through libwebp: a still picture, shrunk while it decodes when only a smaller one
// is needed, or an animation's first frame; its ICC profile and EXIF orientation.

#include <cstddef>
#include <cstdint>
#include <string>

#include "imaging/picture.h"

namespace vistrel::imaging {

// Whether data[0, size) starts as a WebP file does (a RIFF file of the WEBP form).
bool isWebp(const uint8_t* data, size_t size);

// Format and natural size (EXIF orientation applied). The EXIF chunk comes after the picture
// data, so a file that says it has one is read to it; Truncated means: read more.
ProbeResult probeWebp(const uint8_t* data, size_t size, const std::string& file);

// The memory decodeWebp needs at the most for these bytes and least size; 0 when the headers
// cannot be read.
int64_t webpDecodeMemory(const uint8_t* data, size_t size, int leastWidth, int leastHeight);

// The WebP in data[0, size) upright, in sRGB, see-through pixels laid on white; a still picture is
// shrunk while it decodes to no less than twice the least size (natural orientation), an
// animation gives its first frame at full size. Thread-safe.
LoadResult decodeWebp(const uint8_t* data, size_t size, const std::string& file, int leastWidth,
                      int leastHeight);

}  // namespace vistrel::imaging
