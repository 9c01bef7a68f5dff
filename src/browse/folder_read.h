#pragma once
// Reading a folder for the Directory panel: its subfolders for the folder list and its pictures
// for the file list, in the order the lists show them. Paths and names are UTF-8.

#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "imaging/picture.h"
#include "imaging/record/thumb_record.h"

namespace vistrel::browse {

// True when `name` matches "*.jpg;*.gif" with letter case ignored ("Photo.JPG", "anim.Gif";
// not "scan.jpeg"); with every type, also "*.heic;*.heif;*.avif;*.webp;*.png".
bool isPictureName(std::string_view name,
                   imaging::PictureTypes types = imaging::PictureTypes::JpegGif);

// Hidden entries (a leading dot) are never listed.
bool isHiddenName(std::string_view name);

// Ascending name order with letter case ignored; names equal but for case keep a fixed order.
bool lessIgnoringCase(const std::string& a, const std::string& b);

struct FolderContents {
  bool ok = false;
  std::string reason;                   // why the folder could not be read, when !ok
  std::vector<std::string> subfolders;  // names, not hidden, sorted ignoring case
  // Names of pictures, not hidden, sorted ignoring case. Thumbnails of ours are not pictures.
  std::vector<std::string> pictures;
  // Entries named like pictures that cannot be read as files (a FIFO, a device, a link to
  // nothing), each with why, sorted ignoring case. They are not listed, but a Create names them.
  std::vector<std::pair<std::string, std::string>> notPictures;
  bool marked = false;  // glanceAtFolder: an entry of the name it was given is there
};

// Reads `folder` once, listing the pictures of `types`. A folder that does not exist or cannot be
// listed gives ok == false and a reason a person understands; nothing is thrown.
// With `marks`, what was read of each file is kept there for a run that follows at once.
FolderContents readFolder(const std::filesystem::path& folder,
                          imaging::PictureTypes types = imaging::PictureTypes::JpegGif,
                          imaging::FolderMarks* marks = nullptr);

// As readFolder for a tree read ahead of its run, which lists each folder again: reads only as
// many files as it takes to tell whether one is a picture. `pictures` then holds the names not
// named like a file of ours for another under `prefix` (so its size counts them), or none.
// `marked` tells whether an entry is named `marker`.
FolderContents glanceAtFolder(const std::filesystem::path& folder, imaging::PictureTypes types,
                              std::string_view prefix, std::string_view marker = {});

// The absolute, normalised form of `folder` without a trailing separator (the root keeps its).
std::filesystem::path normalFolder(const std::filesystem::path& folder);

// The folders from the root down to `folder` itself, each an absolute path: "/home/ann" gives
// "/", "/home", "/home/ann".
std::vector<std::filesystem::path> folderChain(const std::filesystem::path& folder);

}  // namespace vistrel::browse
