// PNG loading from arbitrary bytes: our header and size checks, then the library's decode, the
// colour chunks, orientation and the shrink to block means. The first byte picks the least size.
#include "imaging/png/png_decode.h"
#include "load_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vistrel;
  return fuzz::fuzzLoad(data, size, imaging::probePng, imaging::decodePng);
}
