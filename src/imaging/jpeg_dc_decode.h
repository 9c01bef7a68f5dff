#pragma once
// Decoding a progressive JPEG's DC scans (as keepDcScans leaves them) at 1/8 scale.

#include <cstddef>
#include <cstdint>
#include <string>

namespace vistrel::imaging {

// Decodes the JPEG stream data[0, size) at 1/8 scale into `out`: `height` rows of `width`
// pixels, `pitch` bytes apart, BGR (3 bytes a pixel) or, when `cmyk`, the stream's CMYK bytes
// (4 a pixel). width and height must be the stream's size at 1/8, rounded up; `out` holds at
// least pitch * height bytes. Block smoothing is off: it would invent AC coefficients from
// neighbouring DC values (and move the DC values) for a stream without AC scans, while the
// 1/8 scale reads only the DC values the full stream holds. False with `error` set when the
// decoder fails; `warning` is set when it decoded with a complaint. Thread-safe.
bool decodeDcScansAtEighth(const uint8_t* data, size_t size, bool cmyk, uint8_t* out, int width,
                           int height, size_t pitch, std::string& error, std::string& warning);

}  // namespace vistrel::imaging
