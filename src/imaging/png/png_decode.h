#pragma once
// PNG decoding through libspng: the whole picture, its colour chunks (iCCP, sRGB, gAMA, cHRM) and
// the EXIF orientation of an eXIf chunk.

#include <cstddef>
#include <cstdint>
#include <string>

#include "imaging/picture.h"

namespace vistrel::imaging {

// Whether data[0, size) starts with the PNG signature.
bool isPng(const uint8_t* data, size_t size);

// Format and natural size (EXIF orientation applied) from the chunks before the picture data.
// Truncated means the data ends before them: read more.
ProbeResult probePng(const uint8_t* data, size_t size, const std::string& file);

// The memory decodePng needs at the most: the decoded rows and the picture, twice.
int64_t pngDecodeMemory(const PictureInfo& info);

// The PNG in data[0, size) upright, in sRGB, see-through pixels laid on white; with a least size
// (natural orientation), shrunk to block means as a JPEG decode is (chooseShrink). Thread-safe.
LoadResult decodePng(const uint8_t* data, size_t size, const std::string& file, int leastWidth = 0,
                     int leastHeight = 0);

}  // namespace vistrel::imaging
