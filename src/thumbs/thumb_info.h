#pragma once
// The per-picture record the thumbnail batch leaves for the page writer, and the rule that names
// a picture's thumbnail file.

#include <cstdint>
#include <string>
#include <string_view>

namespace vistrel {

struct ThumbInfo {
  int16_t Width = 0;     // thumbnail width in pixels
  int16_t Height = 0;    // thumbnail height in pixels
  std::string FileName;  // the picture's file name (UTF-8), without folder
  std::string FileSize;  // the picture file's length as FormatFileSize writes it

  bool operator==(const ThumbInfo&) const = default;
};

// The thumbnail's file name (no folder): the prefix, then the picture's name without its last
// three characters, then "jpg". "th_" + "Photo.GIF" gives "th_Photo.jpg". Names are UTF-8; the
// last three characters are characters, not bytes.
std::string thumbnailName(std::string_view prefix, std::string_view pictureName);

}  // namespace vistrel
