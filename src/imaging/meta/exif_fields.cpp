#include "imaging/meta/meta_text.h"
#include "imaging/meta/picture_meta.h"

namespace vistrel::imaging {

namespace {

// A TIFF block's IFD entries. The orientation reader in jpeg/exif.cpp looks at one tag of IFD0
// only; the fields here need the values stored away from the entry and a second IFD.
class Tiff {
 public:
  explicit Tiff(std::string_view bytes) : bytes_(bytes) {
    valid_ = bytes.size() >= 8 && (bytes.starts_with("II") || bytes.starts_with("MM"));
    bigEndian_ = valid_ && bytes[0] == 'M';
    valid_ = valid_ && u16(2) == 42;
  }
  bool valid() const { return valid_; }
  bool has(size_t at, size_t count) const {
    return at <= bytes_.size() && count <= bytes_.size() - at;
  }
  uint32_t u16(size_t at) const { return read(at, 2); }
  uint32_t u32(size_t at) const { return read(at, 4); }

  // The value of the entry at `entry` as bytes, wherever it is stored; empty when it lies
  // outside the block.
  std::string_view value(size_t entry) const {
    static constexpr size_t kTypeSize[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};
    const uint32_t type = u16(entry + 2);
    const uint64_t size = uint64_t{u32(entry + 4)} * (type < 13 ? kTypeSize[type] : 0);
    const size_t at = size <= 4 ? entry + 8 : u32(entry + 8);
    return has(at, size) ? bytes_.substr(at, size) : std::string_view{};
  }
  Rational rational(size_t entry) const {
    const std::string_view v = value(entry);
    if (u16(entry + 2) != 5 || v.size() < 8) {
      return {};
    }
    const size_t at = static_cast<size_t>(v.data() - bytes_.data());
    return {u32(at), u32(at + 4)};
  }

 private:
  uint32_t read(size_t at, int count) const {
    uint32_t value = 0;
    for (int i = 0; i < count; ++i) {
      const auto byte = static_cast<unsigned char>(bytes_[at + (bigEndian_ ? i : count - 1 - i)]);
      value = value << 8 | byte;
    }
    return value;
  }
  std::string_view bytes_;
  bool valid_ = false;
  bool bigEndian_ = false;
};

constexpr uint16_t kExifIfd = 0x8769;

struct TextTag {
  uint16_t tag;
  std::string ExifFields::*field;
};
constexpr TextTag kTextTags[] = {
    {0x010E, &ExifFields::description},
    {0x010F, &ExifFields::make},
    {0x0110, &ExifFields::model},
    {0x9003, &ExifFields::dateTimeOriginal},
    {0x9011, &ExifFields::offsetTimeOriginal},
    {0xA434, &ExifFields::lens},
};
constexpr TextTag kUtf16Tags[] = {{0x9C9B, &ExifFields::xpTitle}, {0x9C9C, &ExifFields::xpComment}};
struct RationalTag {
  uint16_t tag;
  Rational ExifFields::*field;
};
constexpr RationalTag kRationalTags[] = {{0x829A, &ExifFields::exposureTime},
                                         {0x829D, &ExifFields::fNumber},
                                         {0x920A, &ExifFields::focalLength}};
constexpr uint16_t kIsoTag = 0x8827;

// Stores the entry's value when it is a field the gallery shows. The first of a tag counts: a
// block that repeats one tag thousands of times over one long value is decoded once.
void keepField(const Tiff& tiff, size_t entry, ExifFields& f) {
  const uint32_t tag = tiff.u16(entry);
  for (const auto& t : kTextTags) {
    if (t.tag == tag && (f.*t.field).empty()) {
      f.*t.field = utf8OrLatin1(beforeZero(tiff.value(entry)));
    }
  }
  for (const auto& t : kUtf16Tags) {
    if (t.tag == tag && (f.*t.field).empty()) {
      f.*t.field = utf16leToUtf8(tiff.value(entry));
    }
  }
  for (const auto& t : kRationalTags) {
    if (t.tag == tag) {
      f.*t.field = tiff.rational(entry);
    }
  }
  if (tag == kIsoTag) {
    const uint32_t type = tiff.u16(entry + 2);
    f.iso = type == 3 ? tiff.u16(entry + 8) : type == 4 ? tiff.u32(entry + 8) : 0;
  }
}

// Reads the IFD at `ifd` into `fields`; the offset of the Exif IFD it points to, or 0.
size_t readIfd(const Tiff& tiff, size_t ifd, ExifFields& fields) {
  if (!tiff.has(ifd, 2)) {
    return 0;
  }
  size_t exifIfd = 0;
  const uint32_t count = tiff.u16(ifd);
  for (uint32_t i = 0; i < count && tiff.has(ifd + 2 + 12 * size_t{i}, 12); ++i) {
    const size_t entry = ifd + 2 + 12 * size_t{i};
    if (tiff.u16(entry) == kExifIfd && tiff.u16(entry + 2) == 4) {
      exifIfd = tiff.u32(entry + 8);
    } else {
      keepField(tiff, entry, fields);
    }
  }
  return exifIfd;
}

}  // namespace

ExifFields readExifFields(std::string_view tiffBytes) {
  ExifFields fields;
  const Tiff tiff(tiffBytes);
  if (!tiff.valid()) {
    return fields;
  }
  const size_t ifd0 = tiff.u32(4);
  // Only IFD0 and the Exif IFD it names are read, each once: no chain to loop in, and the GPS
  // IFD is never opened.
  if (const size_t exifIfd = readIfd(tiff, ifd0, fields); exifIfd != 0 && exifIfd != ifd0) {
    readIfd(tiff, exifIfd, fields);
  }
  return fields;
}

}  // namespace vistrel::imaging
