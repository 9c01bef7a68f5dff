// The metadata readers from arbitrary bytes: a whole JPEG head, or (by the first byte) the XMP,
// IPTC, EXIF or captions-file reader alone, so each is reached without a JPEG around it. Whatever
// they read, the caption and the facts must be clean text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/utf8.h"
#include "imaging/meta/caption.h"
#include "imaging/meta/facts.h"
#include "imaging/meta/picture_meta.h"

using namespace vistrel::imaging;

namespace {

void checkClean(std::string_view text, size_t mostBytes) {
  if (!vistrel::common::isUtf8(text) || text.size() > mostBytes + 3) {
    __builtin_trap();
  }
  for (const char c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
      __builtin_trap();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const int mode = size == 0 ? 0 : data[0] % 5;
  const std::string_view rest(reinterpret_cast<const char*>(data) + (mode == 0 ? 0 : 1),
                              size - (mode == 0 ? 0 : 1));
  PictureMeta meta;
  const std::string* written = nullptr;
  CaptionsFile captions;
  switch (mode) {
    case 0:
      meta = readJpegMeta(data, size);
      break;
    case 1:
      meta.xmp = readXmp(rest);
      break;
    case 2:
      meta.iptc = readIptc(rest);
      break;
    case 3:
      meta.exif = readExifFields(rest);
      break;
    default:
      captions = CaptionsFile(rest);
      written = captions.find("p.jpg");
      break;
  }
  checkClean(resolveCaption(written, meta, "p.jpg").text, kCaptionMostBytes);
  for (const std::string& part : pictureFacts(meta.exif, 1).parts()) {
    checkClean(part, 100);
  }
  return 0;
}
