// HEIF (HEIC, AVIF) loading from arbitrary bytes: our header and size checks, then libheif's
// decode, the nclx and ICC colours. The first byte picks the least size, so thumbnail items are
// reached too.
#include <cstddef>
#include <cstdint>

#include "imaging/heif/heif_decode.h"

using namespace vistrel::imaging;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) {
    return 0;
  }
  const int least = data[0] & 0x3F;  // 0: full size
  data += 1;
  size -= 1;
  const ProbeResult probed = probeHeif(data, size, "fuzz");
  // Large claims only spend the fuzzer's time on memset.
  if (probed.ok && int64_t{probed.info.width} * probed.info.height > (1 << 22)) {
    return 0;
  }
  const LoadResult r = decodeHeif(data, size, "fuzz", least, least);
  if (r.ok && (r.picture.empty() ||
               r.picture.bgr.size() < static_cast<size_t>(r.picture.stride) * r.picture.height)) {
    __builtin_trap();  // a success must carry its pixels
  }
  return 0;
}
