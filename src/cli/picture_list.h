#pragma once
// A folder's picture list as the window's file list shows it.

#include <filesystem>
#include <string>
#include <vector>

namespace vistrel::cli {

struct PictureList {
  bool ok = false;
  std::string reason;                 // why the folder could not be listed, when !ok
  std::vector<std::string> pictures;  // names without folder
};

// The files of `folder` (links count as what they point to) named "*.jpg" or "*.gif", letter
// case ignored, hidden ones (leading dot) left out, in ascending order with letter case
// ignored; names equal but for case keep byte order.
PictureList listPictures(const std::filesystem::path& folder);

}  // namespace vistrel::cli
