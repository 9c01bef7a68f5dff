#include "browse/album_tree.h"

#include <algorithm>
#include <optional>
#include <set>
#include <system_error>

#include <sys/stat.h>

#include "browse/folder_read.h"

namespace vistrel::browse {

namespace fs = std::filesystem;

namespace {

using FolderId = std::pair<dev_t, ino_t>;

struct Walk {
  fs::path top;                               // canonical
  std::vector<FolderId> chain;                // the folders from the top down to the one being read
  std::set<FolderId> seen;                    // every folder read
  bool stopAtPicture = false;                 // only whether there is any picture matters
  const std::string* glancePrefix = nullptr;  // each folder glanced at, not listed whole
  std::string marker;                         // keeps a folder without pictures (glancing)
  imaging::PictureTypes types = imaging::PictureTypes::JpegGif;  // which pictures count
  AlbumTree tree;
};

bool inside(const fs::path& folder, const fs::path& top) {
  auto f = folder.begin();
  for (auto t = top.begin(); t != top.end(); ++t, ++f) {
    if (t->empty()) {
      continue;  // the root's trailing separator
    }
    if (f == folder.end() || *f != *t) {
      return false;
    }
  }
  return true;
}

// Why a link to a folder is not followed, or nothing.
std::optional<TreeProblemKind> linkRefusal(const Walk& walk, const fs::path& link,
                                           const FolderId& id) {
  std::error_code error;
  const fs::path target = fs::canonical(link, error);
  if (error || !inside(target, walk.top)) {
    return TreeProblemKind::LinkOutside;
  }
  if (std::find(walk.chain.begin(), walk.chain.end(), id) != walk.chain.end()) {
    return TreeProblemKind::LinkLoop;
  }
  return std::nullopt;
}

// Reads `folder` and what is below it; its album's index, or -1 when nothing below holds a
// picture (then nothing of it stays in the tree).
int readAlbum(Walk& walk, const fs::path& folder, std::vector<std::string> trail, int parent) {
  auto& problems = walk.tree.problems;
  FolderContents contents =
      walk.glancePrefix != nullptr
          ? glanceAtFolder(folder, walk.types, *walk.glancePrefix, walk.marker)
          : readFolder(folder, walk.types);
  if (!contents.ok) {
    problems.push_back({folder.string(), TreeProblemKind::Unreadable, contents.reason});
    return -1;
  }
  const int index = static_cast<int>(walk.tree.albums.size());
  walk.tree.albums.push_back({folder, std::move(trail), parent});
  {
    Album& album = walk.tree.albums.back();
    album.picturesBelow = static_cast<int>(contents.pictures.size());
    if (walk.glancePrefix == nullptr) {
      album.pictures = std::move(contents.pictures);
      album.notPictures = std::move(contents.notPictures);
    }
  }
  for (const auto& name : contents.subfolders) {
    if (walk.stopAtPicture && walk.tree.albums[index].picturesBelow > 0) {
      break;
    }
    const fs::path sub = folder / name;
    struct stat st {};
    struct stat lst {};
    if (::stat(sub.c_str(), &st) != 0 || ::lstat(sub.c_str(), &lst) != 0) {
      continue;  // gone since the listing
    }
    const FolderId id{st.st_dev, st.st_ino};
    if (S_ISLNK(lst.st_mode)) {
      if (const auto refused = linkRefusal(walk, sub, id)) {
        problems.push_back({sub.string(), *refused});
        continue;
      }
    }
    if (walk.seen.contains(id)) {
      problems.push_back({sub.string(), TreeProblemKind::AlreadyShown});
      continue;
    }
    if (walk.chain.size() >= static_cast<size_t>(kMostAlbumLevels)) {
      problems.push_back({sub.string(), TreeProblemKind::TooDeep});
      continue;
    }
    walk.seen.insert(id);
    walk.chain.push_back(id);
    std::vector<std::string> subTrail = walk.tree.albums[index].trail;
    subTrail.push_back(name);
    const int child = readAlbum(walk, sub, std::move(subTrail), index);
    walk.chain.pop_back();
    if (child >= 0) {
      Album& album = walk.tree.albums[index];
      album.children.push_back(child);
      album.picturesBelow += walk.tree.albums[child].picturesBelow;
    }
  }
  Album& album = walk.tree.albums[index];
  if (album.picturesBelow == 0 && (contents.marked || !album.children.empty())) {
    album.retired = true;
    return index;
  }
  if (album.picturesBelow == 0) {
    // Every album read below it held nothing either, so this one is the last in the list.
    walk.tree.albums.pop_back();
    return -1;
  }
  return index;
}

AlbumTree walkFrom(Walk& walk, const fs::path& top) {
  const fs::path folder = normalFolder(top);
  std::error_code error;
  walk.top = fs::canonical(folder, error);
  struct stat st {};
  if (error || ::stat(folder.c_str(), &st) != 0) {
    const FolderContents contents = readFolder(folder);
    walk.tree.problems.push_back({folder.string(), TreeProblemKind::Unreadable,
                                  contents.ok ? error.message() : contents.reason});
    return std::move(walk.tree);
  }
  const FolderId id{st.st_dev, st.st_ino};
  walk.seen.insert(id);
  walk.chain.push_back(id);
  const std::string name = folder.has_filename() ? folder.filename().string() : folder.string();
  readAlbum(walk, folder, {name}, -1);
  return std::move(walk.tree);
}

}  // namespace

bool treeHoldsPictures(const fs::path& top, imaging::PictureTypes types) {
  Walk walk;
  walk.stopAtPicture = true;
  walk.types = types;
  return walkFrom(walk, top).pictureCount() > 0;
}

AlbumTree readAlbumTree(const fs::path& top, imaging::PictureTypes types) {
  Walk walk;
  walk.types = types;
  return walkFrom(walk, top);
}

AlbumTree glanceAtAlbumTree(const fs::path& top, imaging::PictureTypes types,
                            const std::string& prefix, const std::string& marker) {
  Walk walk;
  walk.types = types;
  walk.glancePrefix = &prefix;
  walk.marker = marker;
  return walkFrom(walk, top);
}

}  // namespace vistrel::browse
