#include "thumbs/thumb_info.h"

#include "common/utf8.h"

namespace vistrel::thumbs {
using common::tailBytes;

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
