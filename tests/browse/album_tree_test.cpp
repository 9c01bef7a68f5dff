#include "browse/album_tree.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "imaging/record/thumb_record.h"
#include "support/temp_folder.h"

namespace vistrel::browse {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

// Entries "a/b/" (a folder), "a/x.jpg" (a file), "a/l -> target" (a link, target as written).
void makeTree(const fs::path& top, const Lines& entries) {
  for (const auto& entry : entries) {
    const auto arrow = entry.find(" -> ");
    if (arrow != std::string::npos) {
      fs::create_directories((top / entry.substr(0, arrow)).parent_path());
      fs::create_directory_symlink(entry.substr(arrow + 4), top / entry.substr(0, arrow));
    } else if (entry.ends_with('/')) {
      fs::create_directories(top / entry);
    } else {
      fs::create_directories((top / entry).parent_path());
      std::ofstream(top / entry) << "x";
    }
  }
}

// Each album as "path from the top: own pictures / pictures below", each problem as "path: kind".
Lines described(const AlbumTree& tree, const fs::path& top) {
  Lines out;
  for (const auto& album : tree.albums) {
    std::string trail;
    for (size_t i = 1; i < album.trail.size(); ++i) {
      trail += "/" + album.trail[i];
    }
    out.push_back(trail + ": " + std::to_string(album.pictures.size()) + "/" +
                  std::to_string(album.picturesBelow));
  }
  for (const auto& problem : tree.problems) {
    out.push_back(fs::path(problem.folder).lexically_relative(top).string() + ": " +
                  std::to_string(static_cast<int>(problem.kind)));
  }
  return out;
}

struct TreeCase {
  const char* name;
  Lines entries;
  Lines expected;  // kinds: 0 unreadable, 1 loop, 2 outside, 3 shown already, 4 too deep
};

class ReadAlbumTree : public ::testing::TestWithParam<TreeCase> {};

TEST_P(ReadAlbumTree, FindsTheAlbumsInNameOrder) {
  testing::TempFolder folder;
  const fs::path top = folder.path() / "Pictures";
  fs::create_directory(top);
  makeTree(top, GetParam().entries);
  EXPECT_EQ(described(readAlbumTree(top), top), GetParam().expected);
  EXPECT_EQ(treeHoldsPictures(top), !GetParam().expected.empty());
  // A run's glance finds the same albums and counts, holding no names.
  Lines glanced = GetParam().expected;
  for (auto& line : glanced) {
    const auto own = line.find(": ");
    const auto slash = own == std::string::npos ? own : line.find('/', own);
    if (slash != std::string::npos) {
      line = line.substr(0, own + 2) + "0" + line.substr(slash);
    }
  }
  EXPECT_EQ(described(glanceAtAlbumTree(top, imaging::PictureTypes::JpegGif, "th_"), top), glanced);
}

// A file of ours: the smallest JPEG that carries a record of `picture`'s rendition `kind`.
void writeOurs(const fs::path& file, const std::string& picture, int kind) {
  imaging::ThumbRecord record;
  record.sourceName = picture;
  record.kind = kind;
  const std::string payload = imaging::encodeThumbRecord(record);
  const size_t length = payload.size() + 2;
  std::ofstream(file, std::ios::binary)
      << "\xFF\xD8\xFF\xEB" << static_cast<char>(length >> 8) << static_cast<char>(length & 0xFF)
      << payload << "\xFF\xD9";
}

TEST(GlanceAtAlbumTree, FilesOfOursAreNoPicturesAndAUsersCopyIsOne) {
  testing::TempFolder folder;
  const fs::path top = folder.path() / "Pictures";
  makeTree(top, {"kept/x.jpg", "gone/Thumb001.html", "never/notes.txt", "copy/th_z.jpg"});
  writeOurs(top / "kept" / "th_x.jpg", "x.jpg", imaging::kThumbnailFile);
  writeOurs(top / "kept" / "th_x@2x.jpg", "x.jpg", imaging::kThumbnail2xFile);
  writeOurs(top / "gone" / "th_y.jpg", "y.jpg", imaging::kThumbnailFile);
  // A folder without pictures that holds the marker stays, retired: its gallery is left over.
  const Lines expected{": 0/2", "/copy: 0/1", "/gone: 0/0", "/kept: 0/1"};
  const AlbumTree tree =
      glanceAtAlbumTree(top, imaging::PictureTypes::JpegGif, "th_", "Thumb001.html");
  EXPECT_EQ(described(tree, top), expected);
  EXPECT_TRUE(tree.albums[2].retired);
}

INSTANTIATE_TEST_SUITE_P(
    Trees, ReadAlbumTree,
    ::testing::Values(
        TreeCase{"ThreeLevels",
                 {"top.jpg", "2024/Wedding/w.jpg", "2024/summer in Crete/a.jpg",
                  "2024/summer in Crete/b.gif", "2025/Spring/x.jpg", "2025/notes.txt", "Empty/"},
                 {": 1/5", "/2024: 0/3", "/2024/summer in Crete: 2/2", "/2024/Wedding: 1/1",
                  "/2025: 0/1", "/2025/Spring: 1/1"}},
        TreeCase{"NoPictureAnywhere", {"a/b/", "a/c.txt"}, {}},
        TreeCase{"HiddenFoldersLeftOut",
                 {".cache/x.jpg", "a/.thumbs/y.jpg", "a/z.jpg"},
                 {": 0/1", "/a: 1/1"}},
        TreeCase{"LinkInsideFollowed",
                 {"real/x.jpg", "alink -> real/../real2", "real2/y.jpg"},
                 {": 0/2", "/alink: 1/1", "/real: 1/1", "real2: 3"}},
        TreeCase{"LinkLoopReported",
                 {"a/x.jpg", "a/back -> ..", "a/self -> ."},
                 {": 0/1", "/a: 1/1", "a/back: 1", "a/self: 1"}},
        TreeCase{
            "LinkOutsideLeftOut", {"a/x.jpg", "a/out -> /usr"}, {": 0/1", "/a: 1/1", "a/out: 2"}},
        TreeCase{"OddNames",
                 {"a #1 %20/x.jpg", "\xff\xfe name/y.jpg", "b?c&d<e>/z.jpg"},
                 {": 0/3", "/a #1 %20: 1/1", "/b?c&d<e>: 1/1", "/\xff\xfe name: 1/1"}}),
    [](const auto& each) { return std::string(each.param.name); });

TEST(ReadAlbumTreeDepth, SixtyFourLevelsAreAlbumsAndDeeperOnesEnd) {
  testing::TempFolder folder;
  fs::path at = folder.path();
  for (int level = 0; level <= kMostAlbumLevels + 1; ++level) {
    at /= "d";
    fs::create_directory(at);
    if (level == 64) {
      std::ofstream(at / "deep.jpg") << "x";
    }
  }
  std::ofstream(at / "deepest.jpg") << "x";
  const AlbumTree tree = readAlbumTree(folder.path());
  ASSERT_EQ(tree.albums.size(), 66u);
  EXPECT_EQ(tree.albums.back().trail.size(), 66u);
  EXPECT_EQ(tree.pictureCount(), 1);
  ASSERT_EQ(tree.problems.size(), 1u);
  EXPECT_EQ(tree.problems[0].kind, TreeProblemKind::TooDeep);
}

TEST(ReadAlbumTreeUnreadable, AFolderThatCannotBeListedIsSkippedWithItsReason) {
  testing::TempFolder folder;
  makeTree(folder.path(), {"a/x.jpg", "b/y.jpg", "c/z.jpg"});
  ::chmod(folder.path().c_str(), 0755);
  ::chmod((folder.path() / "b").c_str(), 0);
  const bool root = ::geteuid() == 0;
  ASSERT_TRUE(!root || ::seteuid(65534) == 0);
  const AlbumTree tree = readAlbumTree(folder.path());
  ASSERT_TRUE(!root || ::seteuid(0) == 0);
  ::chmod((folder.path() / "b").c_str(), 0755);
  EXPECT_EQ(tree.pictureCount(), 2);
  EXPECT_EQ(tree.problems,
            (std::vector<TreeProblem>{{(folder.path() / "b").string(), TreeProblemKind::Unreadable,
                                       "Permission denied"}}));
}

}  // namespace
}  // namespace vistrel::browse
