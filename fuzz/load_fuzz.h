#pragma once
// What the picture loaders' fuzz targets share: leave out the large claims that would only spend
// the fuzzer's time on memset, and hold a successful decode to carrying its pixels.
#include <cstddef>
#include <cstdint>
#include <string>

#include "imaging/picture.h"

namespace vistrel::fuzz {

using ProbeFn = imaging::ProbeResult (*)(const uint8_t*, size_t, const std::string&);
using DecodeFn = imaging::LoadResult (*)(const uint8_t*, size_t, const std::string&, int, int);

inline bool tooLargeToFuzz(const imaging::ProbeResult& probed) {
  return probed.ok && int64_t{probed.info.width} * probed.info.height > (1 << 22);
}

// Whether a large claim is left out only when it would decode at full size: a decoder that
// shrinks while it decodes reaches a small least size cheaply.
enum class LargeClaims { Skip, SkipAtFullSize };

// The first byte picks the least size (0: full size), so shrunk decodes are reached too.
inline int fuzzLoad(const uint8_t* data, size_t size, ProbeFn probe, DecodeFn decode,
                    LargeClaims large = LargeClaims::Skip) {
  if (size < 1) {
    return 0;
  }
  const int least = data[0] & 0x3F;
  data += 1;
  size -= 1;
  // Probed whatever the least size: the probe's own checks are fuzzed too.
  const imaging::ProbeResult probed = probe(data, size, "fuzz");
  if ((large == LargeClaims::Skip || least == 0) && tooLargeToFuzz(probed)) {
    return 0;
  }
  const imaging::LoadResult r = decode(data, size, "fuzz", least, least);
  if (r.ok && (r.picture.empty() ||
               r.picture.bgr.size() < static_cast<size_t>(r.picture.stride) * r.picture.height)) {
    __builtin_trap();  // a success must carry its pixels
  }
  return 0;
}

}  // namespace vistrel::fuzz
