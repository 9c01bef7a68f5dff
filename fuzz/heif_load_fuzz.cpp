// HEIF (HEIC, AVIF) loading from arbitrary bytes: our header and size checks, then libheif's
// decode, the nclx and ICC colours. The first byte picks the least size, so thumbnail items are
// reached too.
#include "imaging/heif/heif_decode.h"
#include "load_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vistrel;
  return fuzz::fuzzLoad(data, size, imaging::probeHeif, imaging::decodeHeif);
}
