#include <algorithm>

#include "imaging/jpeg/exif.h"
#include "imaging/jpeg/jpeg_stream.h"
#include "imaging/meta/picture_meta.h"

namespace vistrel::imaging {

namespace {

constexpr uint8_t kSos = 0xDA;
constexpr uint8_t kEoi = 0xD9;
constexpr uint8_t kApp1 = 0xE1;
constexpr uint8_t kApp13 = 0xED;
constexpr std::string_view kExifId{"Exif\0\0", 6};
constexpr std::string_view kXmpId{"http://ns.adobe.com/xap/1.0/\0", 29};
constexpr std::string_view kPhotoshopId{"Photoshop 3.0\0", 14};

// The payload after `id` when the segment starts with it; the first such segment is kept.
void keepAfter(std::string_view segment, std::string_view id, std::string_view& slot) {
  if (slot.data() == nullptr && segment.starts_with(id)) {
    slot = segment.substr(id.size());
  }
}

// Whether the walk stopped at `pos` because the data ends inside a segment's marker, length or
// payload, rather than at bytes that are no segment.
bool endsInside(const uint8_t* data, size_t size, size_t pos) {
  if (pos + 4 > size) {
    return true;
  }
  const size_t length = size_t{data[pos + 2]} << 8 | data[pos + 3];
  return data[pos] == 0xFF && length >= 2 && pos + 2 + length > size;
}

}  // namespace

bool findMetaSegments(const uint8_t* data, size_t size, MetaSegments& found) {
  found = {};
  if (size < 2 || data[0] != 0xFF || data[1] != 0xD8) {
    return true;
  }
  for (size_t pos = 2;;) {
    uint8_t marker = 0;
    size_t length = 0;
    if (!nextJpegSegment(data, size, pos, marker, length)) {
      return !endsInside(data, size, pos);
    }
    if (marker == kSos || marker == kEoi) {
      return true;
    }
    const std::string_view segment(reinterpret_cast<const char*>(data) + pos + 4, length - 2);
    if (marker == kApp1) {
      keepAfter(segment, kExifId, found.exif);
      keepAfter(segment, kXmpId, found.xmp);
    } else if (marker == kApp13) {
      keepAfter(segment, kPhotoshopId, found.photoshop);
    }
    pos += 2 + length;
  }
}

namespace {

PictureMeta readSegments(const MetaSegments& found) {
  return {readXmp(found.xmp), readIptc(found.photoshop), readExifFields(found.exif)};
}

}  // namespace

PictureMeta readJpegMeta(const uint8_t* data, size_t size) {
  MetaSegments found;
  findMetaSegments(data, size, found);
  return readSegments(found);
}

MetaRead readPictureMetaAt(int folderFd, const char* name) {
  const common::RegularFile file(folderFd, name);
  return readPictureMeta(file, {});
}

MetaRead readPictureMeta(const common::RegularFile& file, std::string head) {
  MetaRead result;
  result.fileTimeNs = file.mtimeNs();
  for (size_t want = kMetaHeadBytes;; want = std::min(2 * want, kMetaMostBytes)) {
    result.error = file.append(head, want - head.size());
    if (result.error) {
      return result;
    }
    const auto* bytes = reinterpret_cast<const uint8_t*>(head.data());
    MetaSegments found;
    if (findMetaSegments(bytes, head.size(), found) || head.size() < want ||
        want == kMetaMostBytes) {
      result.meta = readSegments(found);
      result.hasLocation = jpegHasLocation(bytes, head.size());
      return result;
    }
  }
}

}  // namespace vistrel::imaging
