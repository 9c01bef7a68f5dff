// The two ways a 1/8 decode reads less than the whole stream: the progressive stream rewriting
// that keeps only the DC scans, and the own decoder of DC values. Neither may read outside its
// input. When the rewritten and the original stream both decode cleanly at 1/8, their pixels must
// be the same; whatever the own decoder accepts, libjpeg given the same DC scans must decode
// without complaint, to the same pixels.
#include <turbojpeg.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "imaging/jpeg/eighth_decode.h"
#include "imaging/jpeg/jpeg_stream.h"
#include "imaging/jpeg/libjpeg_decode.h"

using namespace vistrel::imaging;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  JpegHeader header;
  std::string reason;
  if (readJpegHeader(data, size, header, reason) != JpegHeaderStatus::Ok ||
      int64_t{header.width} * header.height > (1 << 24)) {
    return 0;
  }
  // The loader refuses these before either way is tried; they would only spend the fuzzer's time.
  if (!scanWorkRefusal(data, size, header).empty()) {
    return 0;
  }
  const int width = (header.width + 7) / 8, height = (header.height + 7) / 8;
  const bool cmyk = header.components.size() == 4;
  const size_t pitch = static_cast<size_t>(width) * (cmyk ? 4 : 3);
  std::vector<uint8_t> own(pitch * height);
  const bool ownDecoded = !cmyk && decodeEighth(data, size, header, own.data(), pitch);

  tjhandle tj = tjInitDecompress();
  std::vector<uint8_t> reference(own.size());
  const bool clean = tjDecompress2(tj, data, size, reference.data(), width, 0, height,
                                   cmyk ? TJPF_CMYK : TJPF_BGR, TJFLAG_LIMITSCANS) == 0;
  tjDestroy(tj);
  if (ownDecoded && ((clean && reference != own) || (!clean && header.frameMarker != 0xC2))) {
    __builtin_trap();
  }

  std::vector<uint8_t> kept;
  std::vector<uint8_t> dcOnly(own.size());
  std::string error, warning;
  const bool dcClean = keepDcScans(data, size, kept) &&
                       decodeWithLibjpeg(kept.data(), kept.size(), 1, 8, false, cmyk, dcOnly.data(),
                                         width, height, pitch, error, warning) &&
                       warning.empty();
  if (ownDecoded && !dcClean) {
    __builtin_trap();  // the own decoder took what libjpeg reads with a complaint
  }
  if (!dcClean) {
    return 0;
  }
  if ((clean && reference != dcOnly) || (ownDecoded && own != dcOnly)) {
    __builtin_trap();
  }
  return 0;
}
