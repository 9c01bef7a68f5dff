#pragma once
// Decoding through libjpeg's own interface, for what TurboJPEG does not offer: a decode without
// block smoothing (the DC scans of a progressive file) and colour samplings TurboJPEG cannot
// classify (luma sampled 4 x 2, for instance).

#include <cstddef>
#include <cstdint>
#include <string>

namespace vistrel::imaging {

// Decodes the JPEG stream data[0, size) scaled by num/den (a scale the decoder offers) into
// `out`: `height` rows of `width` pixels, `pitch` bytes apart, BGR (3 bytes a pixel) or, when
// `cmyk`, the stream's CMYK bytes (4 a pixel). width and height must be the scaled size the
// decoder gives (rounded up); `out` holds at least pitch * height bytes. Without
// `blockSmoothing` a progressive stream missing AC scans keeps its DC values as sent (smoothing
// would invent AC coefficients from the neighbours and move DC values). False with `error` set
// when the decoder fails; `warning` is set when it decoded with a complaint. Thread-safe.
bool decodeWithLibjpeg(const uint8_t* data, size_t size, int num, int den, bool blockSmoothing,
                       bool cmyk, uint8_t* out, int width, int height, size_t pitch,
                       std::string& error, std::string& warning);

}  // namespace vistrel::imaging
