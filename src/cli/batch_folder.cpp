#include "cli/batch_folder.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

#include "browse/album_tree.h"
#include "browse/folder_read.h"
#include "cli/batch_options.h"

namespace vistrel::cli {

BatchFolder readBatchFolder(const std::string& folder, imaging::PictureTypes types, bool albums) {
  BatchFolder result;
  result.folder = folder;
  const std::string named = "vistrel-batch: FOLDER " + inQuotes(folder);
  std::error_code ec;
  const auto status = std::filesystem::status(result.folder, ec);
  if (folder.empty() || status.type() == std::filesystem::file_type::not_found) {
    result.error = named + " does not exist: give a folder that holds JPEG or GIF pictures";
    return result;
  }
  if (ec) {
    result.error = named + " cannot be read (" + ec.message() + ")";
    return result;
  }
  if (!std::filesystem::is_directory(status)) {
    result.error = named + " is not a folder: give a folder that holds JPEG or GIF pictures";
    return result;
  }
  // The window's own reading of a folder, so both front ends list the same pictures in the
  // same order.
  const browse::FolderContents list = browse::readFolder(result.folder, types);
  if (!list.ok) {
    result.error = named + " cannot be read (" + list.reason + ")";
    return result;
  }
  // An albums run needs pictures somewhere in the tree, not in the top folder itself.
  if (list.pictures.empty() && (!albums || !browse::treeHoldsPictures(result.folder, types))) {
    result.error = named + " holds no pictures: give a folder with " +
                   (types == imaging::PictureTypes::All
                        ? "*.jpg, *.gif, *.heic, *.heif, *.avif, *.webp or *.png files"
                        : "*.jpg or *.gif files");
    return result;
  }
  if (::access(result.folder.c_str(), W_OK | X_OK) != 0) {
    result.error = named + " cannot be written (" + std::strerror(errno) + ")";
    return result;
  }
  result.pictures = list.pictures;
  result.notPictures = list.notPictures;
  result.ok = true;
  return result;
}

}  // namespace vistrel::cli
