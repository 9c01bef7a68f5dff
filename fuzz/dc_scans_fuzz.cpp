// The progressive stream rewriting that keeps only what a 1/8 decode reads: it must never read
// outside its input, and when the rewritten and the original stream both decode cleanly at 1/8,
// their pixels must be the same.
#include <turbojpeg.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "imaging/jpeg_stream.h"
#include "imaging/libjpeg_decode.h"

using namespace vistrel::imaging;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> kept;
  if (!keepDcScans(data, size, kept)) {
    return 0;
  }
  JpegHeader header;
  std::string reason;
  if (readJpegHeader(data, size, header, reason) != JpegHeaderStatus::Ok ||
      int64_t{header.width} * header.height > (1 << 24)) {
    return 0;
  }
  const int width = (header.width + 7) / 8, height = (header.height + 7) / 8;
  std::vector<uint8_t> ours(static_cast<size_t>(width) * height * 4);
  std::string error, warning;
  const bool cmyk = header.components.size() == 4;
  if (!decodeWithLibjpeg(kept.data(), kept.size(), 1, 8, false, cmyk, ours.data(), width, height,
                         static_cast<size_t>(width) * (cmyk ? 4 : 3), error, warning) ||
      !warning.empty()) {
    return 0;
  }
  tjhandle tj = tjInitDecompress();
  std::vector<uint8_t> reference(ours.size());
  const bool clean = tjDecompress2(tj, data, size, reference.data(), width, 0, height,
                                   cmyk ? TJPF_CMYK : TJPF_BGR, TJFLAG_LIMITSCANS) == 0;
  tjDestroy(tj);
  if (clean && reference != ours) {
    __builtin_trap();
  }
  return 0;
}
