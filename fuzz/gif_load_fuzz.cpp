// GIF loading from arbitrary bytes: our header checks, then Qt's reader and the compositing.
#include <cstddef>
#include <cstdint>

#include "imaging/gif_decode.h"

using namespace vistrel::imaging;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const ProbeResult probed = probeGif(data, size, "fuzz");
  if (probed.ok && int64_t{probed.info.width} * probed.info.height > (1 << 22)) {
    return 0;  // allowed, but only memset for the fuzzer
  }
  const LoadResult r = decodeGif(data, size, "fuzz");
  if (r.ok && r.picture.bgr.size() != static_cast<size_t>(r.picture.stride) * r.picture.height) {
    __builtin_trap();
  }
  return 0;
}
