#pragma once
// The FOLDER argument of vistrel-batch: checked before anything is written, and its picture
// list made exactly as the window's file list makes it.

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "imaging/picture.h"

namespace vistrel::cli {

struct BatchFolder {
  bool ok = false;
  std::string error;                  // one line naming FOLDER and the reason, when !ok
  std::filesystem::path folder;       // as given
  std::vector<std::string> pictures;  // names without folder, in the window's list order
  // Names like pictures' that are no files to read, each with why (browse::FolderContents).
  std::vector<std::pair<std::string, std::string>> notPictures;
};

// Reads `folder`: it must exist, be a folder that can be listed and written, and hold at
// least one picture of `types` ("*.jpg" or "*.gif" for the classic list, letter case ignored,
// hidden files left out). With `albums`, pictures anywhere in the tree below will do.
BatchFolder readBatchFolder(const std::string& folder,
                            imaging::PictureTypes types = imaging::PictureTypes::JpegGif,
                            bool albums = false);

}  // namespace vistrel::cli
