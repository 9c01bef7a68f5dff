#include "thumbs/thumb_info.h"

namespace vistrel::thumbs {

namespace {
// Byte length of the last `count` UTF-8 characters of `text` (all of it when shorter).
size_t tailBytes(std::string_view text, int count) {
  size_t pos = text.size();
  while (count > 0 && pos > 0) {
    --pos;
    // Continuation bytes (10xxxxxx) belong to the character that starts before them.
    while (pos > 0 && (static_cast<unsigned char>(text[pos]) & 0xC0) == 0x80) {
      --pos;
    }
    --count;
  }
  return text.size() - pos;
}
}  // namespace

std::string thumbnailName(std::string_view prefix, std::string_view pictureName) {
  std::string name(prefix);
  name.append(pictureName.substr(0, pictureName.size() - tailBytes(pictureName, 3)));
  name.append("jpg");
  return name;
}

std::string thumbnail2xName(std::string_view prefix, std::string_view pictureName) {
  std::string name = thumbnailName(prefix, pictureName);
  name.resize(name.size() - 3);
  const bool dot = !name.empty() && name.back() == '.';
  if (dot) {
    name.pop_back();
  }
  name.append(dot ? "@2x.jpg" : "@2xjpg");
  return name;
}

}  // namespace vistrel::thumbs
