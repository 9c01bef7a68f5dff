#include "imaging/meta/meta_text.h"
#include "imaging/meta/picture_meta.h"

namespace vistrel::imaging {

namespace {

constexpr uint16_t kIptcResource = 0x0404;
constexpr std::string_view kUtf8Escape{"\x1B%G", 3};

uint32_t be(std::string_view bytes, size_t at, int count) {
  uint32_t value = 0;
  for (int i = 0; i < count; ++i) {
    value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  }
  return value;
}

// The IPTC-NAA record among Photoshop's image resources: each is "8BIM", an id, a Pascal name
// padded to an even length, a 32-bit size and the data padded to an even length.
std::string_view iptcResource(std::string_view res) {
  size_t pos = 0;
  while (pos + 7 <= res.size() && res.compare(pos, 4, "8BIM") == 0) {
    const uint32_t id = be(res, pos + 4, 2);
    const size_t nameLength = static_cast<unsigned char>(res[pos + 6]);
    const size_t sizeAt = pos + 6 + ((nameLength + 2) & ~size_t{1});
    if (sizeAt + 4 > res.size()) {
      break;
    }
    const size_t size = be(res, sizeAt, 4);
    const size_t dataAt = sizeAt + 4;
    if (size > res.size() - dataAt) {
      break;
    }
    if (id == kIptcResource) {
      return res.substr(dataAt, size);
    }
    pos = dataAt + size + (size & 1);
  }
  return {};
}

}  // namespace

IptcText readIptc(std::string_view photoshopResources) {
  const std::string_view record = iptcResource(photoshopResources);
  bool utf8 = false;
  std::string_view objectName, caption;
  // Datasets: 0x1C, record, number, a 16-bit size, the data. A size with its top bit set is the
  // extended form, which no text dataset needs: the walk stops there.
  for (size_t pos = 0; pos + 5 <= record.size() && record[pos] == 0x1C;) {
    const uint32_t size = be(record, pos + 3, 2);
    if ((size & 0x8000) != 0 || size > record.size() - pos - 5) {
      break;
    }
    const int kind = static_cast<int>(be(record, pos + 1, 2));
    const std::string_view data = record.substr(pos + 5, size);
    if (kind == (1 << 8 | 90)) {
      utf8 = data.starts_with(kUtf8Escape);
    } else if (kind == (2 << 8 | 5) && objectName.empty()) {
      objectName = data;
    } else if (kind == (2 << 8 | 120) && caption.empty()) {
      caption = data;
    }
    pos += 5 + size;
  }
  // The character set is declared once for the record, wherever it stands.
  const auto decode = [&](std::string_view text) {
    return utf8 ? std::string(text) : latin1ToUtf8(text);
  };
  return {decode(objectName), decode(caption)};
}

}  // namespace vistrel::imaging
