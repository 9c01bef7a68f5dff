// JPEG loading from arbitrary bytes: headers, limits, shrink-on-load, CMYK, orientation.
// The first byte picks the least size, so full-size and shrunk decodes are both reached.
#include "imaging/jpeg/jpeg_decode.h"
#include "load_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vistrel;
  return fuzz::fuzzLoad(data, size, imaging::probeJpeg, imaging::decodeJpeg,
                        fuzz::LargeClaims::SkipAtFullSize);
}
