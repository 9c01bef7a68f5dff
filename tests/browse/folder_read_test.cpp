#include "browse/folder_read.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include <sys/stat.h>

#include "support/temp_folder.h"

namespace vistrel::browse {
namespace {

using Names = std::vector<std::string>;

TEST(ReadFolder, ListsPicturesAndSubfoldersSortedIgnoringCaseWithoutHiddenOnes) {
  testing::TempFolder folder;
  for (const char* name : {"b.gif", "A.jpg", "c.JPG", "Photo.JPG", "anim.Gif", "scan.jpeg",
                           "logo.png", ".x.jpg", "notes.txt", "jpg", "x.jpg.txt"}) {
    folder.write(name, "x");
  }
  for (const char* sub : {"zeta", "Alpha", ".hidden", "beta", "dir.jpg"}) {
    std::filesystem::create_directory(folder.path() / sub);
  }
  const FolderContents c = readFolder(folder.path());
  ASSERT_TRUE(c.ok) << c.reason;
  EXPECT_EQ(c.pictures, (Names{"A.jpg", "anim.Gif", "b.gif", "c.JPG", "Photo.JPG"}));
  EXPECT_EQ(c.subfolders, (Names{"Alpha", "beta", "dir.jpg", "zeta"}));
}

TEST(ReadFolder, EveryTypeAddsTheOtherFormatsInTheSameOrder) {
  testing::TempFolder folder;
  for (const char* name : {"b.gif", "A.jpg", "IMG_1.HEIC", "IMG_1.JPG", "shot.png", "c.Webp",
                           "d.avif", "e.heif", "f.heics", "scan.jpeg", ".x.png", "tiff.tif"}) {
    folder.write(name, "x");
  }
  ASSERT_EQ(::mkfifo((folder.path() / "pipe.webp").c_str(), 0644), 0);
  const FolderContents classic = readFolder(folder.path());
  const FolderContents all = readFolder(folder.path(), imaging::PictureTypes::All);
  EXPECT_EQ(classic.pictures, (Names{"A.jpg", "b.gif", "IMG_1.JPG"}));
  EXPECT_TRUE(classic.notPictures.empty());
  EXPECT_EQ(all.pictures, (Names{"A.jpg", "b.gif", "c.Webp", "d.avif", "e.heif", "IMG_1.HEIC",
                                 "IMG_1.JPG", "shot.png"}));
  ASSERT_EQ(all.notPictures.size(), 1u);
  EXPECT_EQ(all.notPictures[0].first, "pipe.webp");
}

TEST(ReadFolder, FollowsLinksAndNamesWhatCannotBeReadAsAPicture) {
  testing::TempFolder folder;
  const auto& dir = folder.path();
  folder.write("real.jpg", "x");
  std::filesystem::create_symlink(dir / "real.jpg", dir / "link.jpg");
  std::filesystem::create_symlink(dir / "gone.jpg", dir / "broken.jpg");
  std::filesystem::create_symlink(dir / "loop.gif", dir / "loop.gif");
  std::filesystem::create_symlink("/dev/zero", dir / "zero.jpg");
  std::filesystem::create_symlink(dir / "gone", dir / "broken.txt");
  ASSERT_EQ(::mkfifo((dir / "Fifo.jpg").c_str(), 0644), 0);
  ASSERT_EQ(::mkfifo((dir / ".hidden.jpg").c_str(), 0644), 0);
  const FolderContents c = readFolder(dir);
  ASSERT_TRUE(c.ok);
  EXPECT_EQ(c.pictures, (Names{"link.jpg", "real.jpg"}));
  EXPECT_EQ(c.notPictures,
            (std::vector<std::pair<std::string, std::string>>{
                {"broken.jpg", "a link to nothing"},
                {"Fifo.jpg", "not a regular file (a FIFO)"},
                {"loop.gif", "a link that cannot be followed (Too many levels of symbolic links)"},
                {"zero.jpg", "not a regular file (a link to a device)"}}));
}

TEST(ReadFolder, AFolderThatCannotBeReadSaysWhy) {
  testing::TempFolder folder;
  const FolderContents missing = readFolder(folder.path() / "missing");
  EXPECT_FALSE(missing.ok);
  EXPECT_FALSE(missing.reason.empty());
  const FolderContents file = readFolder(folder.write("plain.jpg", "x"));
  EXPECT_FALSE(file.ok);
  EXPECT_TRUE(file.pictures.empty());
}

TEST(FolderChain, RunsFromTheRootDown) {
  using P = std::filesystem::path;
  EXPECT_EQ(folderChain("/home/ann"), (std::vector<P>{"/", "/home", "/home/ann"}));
  EXPECT_EQ(folderChain("/home/ann/"), (std::vector<P>{"/", "/home", "/home/ann"}));
  EXPECT_EQ(folderChain("/home/./x/../ann"), (std::vector<P>{"/", "/home", "/home/ann"}));
  EXPECT_EQ(folderChain("/"), (std::vector<P>{"/"}));
  EXPECT_EQ(normalFolder("/home/ann/"), P("/home/ann"));
  EXPECT_EQ(normalFolder("/"), P("/"));
}

TEST(LessIgnoringCase, OrdersByLettersThenKeepsCaseVariantsApart) {
  EXPECT_TRUE(lessIgnoringCase("A.jpg", "b.gif"));
  EXPECT_TRUE(lessIgnoringCase("b.gif", "C.jpg"));
  EXPECT_FALSE(lessIgnoringCase("b.gif", "B.gif") && lessIgnoringCase("B.gif", "b.gif"));
  EXPECT_NE(lessIgnoringCase("b.gif", "B.gif"), lessIgnoringCase("B.gif", "b.gif"));
}

TEST(ReadFolder, ListsInTheOrderOfLessIgnoringCase) {
  testing::TempFolder folder;
  // Sharp s, umlaut, the three sigmas, a letter beyond 16 bits, a ligature, a byte that is not
  // UTF-8, the replacement character, digits.
  const std::vector<std::string> names = {
      "\u00DFb.jpg", "SS.jpg",      "ss.jpg",         "\u00C4pfel.jpg", "apfel.jpg", "\u03A3x.jpg",
      "\u03C3x.jpg", "\u03C2x.jpg", "\U0001D49C.jpg", "\uFB01.jpg",     "Z.gif",     "z.GIF",
      "caf\xE9.jpg", "\uFFFD.jpg",  "10.jpg",         "9.jpg"};
  for (const auto& name : names) {
    folder.write(name, "x");
  }
  std::vector<std::string> expected = names;
  std::sort(expected.begin(), expected.end(), lessIgnoringCase);
  EXPECT_EQ(readFolder(folder.path()).pictures, expected);
}

}  // namespace
}  // namespace vistrel::browse
