// WebP loading from arbitrary bytes: our header and size checks, then libwebp's decode (still,
// shrunk or an animation's first frame), the chunks. The first byte picks the least size.
#include "imaging/webp/webp_decode.h"
#include "load_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vistrel;
  return fuzz::fuzzLoad(data, size, imaging::probeWebp, imaging::decodeWebp);
}
