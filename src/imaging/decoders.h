#pragma once
// The loader's table of decoders: which one a file's first bytes call for, and each one's probe,
// memory estimate and decode behind one set of calls.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "imaging/picture.h"

namespace vistrel::imaging {

// The format data[0, size) starts as, when it is one of `types`.
std::optional<PictureFormat> formatOf(const uint8_t* data, size_t size, PictureTypes types);

// Why a file of no format in `types` is not read: "not a JPEG or GIF file" for the classic set.
std::string notPictureReason(PictureTypes types);

ProbeResult probeAs(PictureFormat format, const uint8_t* data, size_t size,
                    const std::string& file);

// The memory a decode of `format` needs at the most, from the bytes its probe read.
int64_t decodeMemoryAs(PictureFormat format, const uint8_t* data, size_t size,
                       const PictureInfo& probed, int leastWidth, int leastHeight);

LoadResult decodeAs(PictureFormat format, const uint8_t* data, size_t size, const std::string& file,
                    int leastWidth, int leastHeight, uint32_t gifBackground);

}  // namespace vistrel::imaging
