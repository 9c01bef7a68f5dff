#pragma once
// A folder tree read as albums: every folder with pictures in it or anywhere below it, each with
// its pictures and sub-albums in the order the lists show names. Reading only: nothing is
// written, and whatever the tree holds (links in circles, folders that cannot be read, names of
// any bytes, deep nesting) ends in a problem told, never a hang.

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "imaging/picture.h"

namespace vistrel::browse {

struct Album {
  std::filesystem::path folder;    // where its pictures are and its gallery goes
  std::vector<std::string> trail;  // folder names from the top album down to this one's own
  int parent = -1;                 // index in AlbumTree::albums; -1 for the top
  std::vector<int> children{};     // sub-albums, by name
  std::vector<std::string> pictures{};
  // Entries named like pictures that are no files to read, each with why (FolderContents).
  std::vector<std::pair<std::string, std::string>> notPictures{};
  int picturesBelow = 0;  // its own pictures and those of every album below it
  // glanceAtAlbumTree: no picture at or below it, but it holds its marker or such an album
  // below: what an earlier run made there is left over.
  bool retired = false;
};

enum class TreeProblemKind {
  Unreadable,    // the folder could not be listed (reason: the system's words)
  LinkLoop,      // a link leads back to a folder it sits in
  LinkOutside,   // a link leads out of the tree
  AlreadyShown,  // a link leads to a folder the tree already shows (reason: that folder)
  TooDeep,       // more than kMostAlbumLevels folders down
};

struct TreeProblem {
  std::string folder;  // the folder left out, in its native bytes
  TreeProblemKind kind = TreeProblemKind::Unreadable;
  std::string reason{};
  bool operator==(const TreeProblem&) const = default;
};

struct AlbumTree {
  // Parents before their children, sub-albums by name: the top album first when the tree holds
  // any picture, none at all when it holds none.
  std::vector<Album> albums;
  std::vector<TreeProblem> problems;  // folders left out, in the order met
  int pictureCount() const { return albums.empty() ? 0 : albums.front().picturesBelow; }
};

// Deeper folders are left out (TooDeep) so that a tree of any shape ends.
inline constexpr int kMostAlbumLevels = 128;

// Reads the tree under `top`. Hidden folders are left out, as in the lists. A link to a folder is
// followed when it leads to a folder inside the tree that is not one of the link's own parents
// and not shown already; each folder is shown once.
AlbumTree readAlbumTree(const std::filesystem::path& top,
                        imaging::PictureTypes types = imaging::PictureTypes::JpegGif);

// The same albums for a run, which lists each album's folder again as it comes to it: no album
// holds its pictures' names, and picturesBelow counts what glanceAtFolder takes for pictures.
// A tree of 100,000 pictures is then read in a fraction of the time and memory. A folder without
// pictures below it that holds an entry named `marker` (a gallery's first page) stays as a
// retired album, so its run can take away what is left there.
AlbumTree glanceAtAlbumTree(const std::filesystem::path& top, imaging::PictureTypes types,
                            const std::string& prefix, const std::string& marker = {});

// Whether readAlbumTree(top) would find any picture, reading only as far as the first one.
bool treeHoldsPictures(const std::filesystem::path& top,
                       imaging::PictureTypes types = imaging::PictureTypes::JpegGif);

}  // namespace vistrel::browse
