// EXIF orientation, the GPS position check and JPEG segment reading from arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "imaging/jpeg/exif.h"
#include "imaging/jpeg/jpeg_stream.h"

using namespace vistrel::imaging;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const int o = exifOrientation(data, size);
  if (o < 1 || o > 8) {
    __builtin_trap();
  }
  // Each must stay inside the bytes, which ASan watches; the answer itself may be either.
  static_cast<void>(exifHasLocation(data, size));
  static_cast<void>(jpegHasLocation(data, size));
  JpegHeader header;
  std::string reason;
  if (readJpegHeader(data, size, header, reason) == JpegHeaderStatus::Ok &&
      (header.firstScan >= size || header.orientation < 1 || header.orientation > 8)) {
    __builtin_trap();
  }
  return 0;
}
