// GIF loading from arbitrary bytes: our header checks, then Qt's reader and the compositing, and
// the first image alone decoding as the whole file does.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "imaging/gif/gif_decode.h"
#include "load_fuzz.h"

using namespace vistrel::imaging;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (vistrel::fuzz::tooLargeToFuzz(probeGif(data, size, "fuzz"))) {
    return 0;
  }
  const LoadResult r = decodeGif(data, size, "fuzz", kPlainBackground);
  if (r.ok && r.picture.bgr.size() != static_cast<size_t>(r.picture.stride) * r.picture.height) {
    __builtin_trap();
  }
  // The loader reads a GIF only through its first image: that and a trailer must decode alike.
  if (const size_t end = gifFirstImageEnd(data, size); end != 0) {
    std::vector<uint8_t> first(data, data + end);
    first.push_back(0x3B);
    const LoadResult cut = decodeGif(first.data(), first.size(), "fuzz", kPlainBackground);
    if (cut.ok != r.ok || cut.picture.bgr != r.picture.bgr) {
      __builtin_trap();
    }
  }
  return 0;
}
