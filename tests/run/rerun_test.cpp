// Create pressed again on a folder that already holds a gallery.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include <cstdio>
#include <map>

#include "browse/folder_read.h"
#include "imaging/thumb_record.h"
#include "run/create_run.h"
#include "support/temp_folder.h"
#include "thumbs/sample_pictures.h"

namespace vistrel {
using gallery::TableSettings;
using run::CreateSettings;
using run::runCreate;

using run::CreateReport;
using thumbs::ProblemKind;
namespace {

namespace fs = std::filesystem;
using testing::snapshot;
using testing::TempFolder;

int64_t mtimeNs(const fs::path& file) {
  struct stat st {};
  ::stat(file.c_str(), &st);
  return static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

// Moves a file's modification time, as an edit would.
void touch(const fs::path& file, int seconds) {
  struct stat st {};
  ::stat(file.c_str(), &st);
  const struct utimbuf times { st.st_atime, st.st_mtime + seconds };
  ::utime(file.c_str(), &times);
}

// A Create as either front end runs it: the pictures are what the folder lists.
CreateReport create(const fs::path& folder, const std::string& prefix = "th_", int rows = 1,
                    int columns = 2) {
  CreateSettings s;
  s.thumbnails.folder = folder;
  s.thumbnails.pictureNames = browse::readFolder(folder).pictures;
  s.thumbnails.ImageCount = static_cast<int>(s.thumbnails.pictureNames.size());
  s.thumbnails.prefix = prefix;
  s.thumbnails.workers = 2;
  s.table = TableSettings{rows, columns, 2, 2, 2};
  s.openFirstPage = false;
  testing::RecordingDisplay display;
  return runCreate(s, display, nullptr);
}

void writePictures(const fs::path& folder, int count) {
  for (int i = 0; i < count; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "p%d.jpg", i);
    testing::writeJpeg(folder / name, 60 + i, 40);
  }
}

TEST(Rerun, SecondRunKeepsEverythingAndMatchesAFirstRun) {
  TempFolder folder;
  writePictures(folder.path(), 5);
  testing::writeGif(folder.path() / "g.gif", 30, 50);
  const auto first = create(folder.path());
  EXPECT_EQ(first.thumbnailsMade, 6);
  const auto before = snapshot(folder.path());
  const auto thumbTime = mtimeNs(folder.path() / "th_p0.jpg");
  const auto pageTime = mtimeNs(folder.path() / "Thumb001.html");

  const auto second = create(folder.path());
  EXPECT_TRUE(second.problems.empty());
  EXPECT_EQ(second.thumbnailsMade, 0);
  EXPECT_EQ(second.thumbnailsKept, 6);
  EXPECT_EQ(second.pagesChanged, 0);
  EXPECT_EQ(second.filesRemoved, 0);
  EXPECT_EQ(second.thumbs, first.thumbs);
  EXPECT_EQ(snapshot(folder.path()), before);
  EXPECT_EQ(mtimeNs(folder.path() / "th_p0.jpg"), thumbTime);
  EXPECT_EQ(mtimeNs(folder.path() / "Thumb001.html"), pageTime);
  EXPECT_EQ(browse::readFolder(folder.path()).pictures.size(), 6u);

  // Change a picture, drop one, shrink to one page: the result is what a first run over the
  // same pictures gives, byte for byte.
  testing::writeJpeg(folder.path() / "p1.jpg", 90, 20);
  touch(folder.path() / "p1.jpg", 5);
  fs::remove(folder.path() / "p4.jpg");
  const auto third = create(folder.path(), "th_", 3, 3);
  EXPECT_EQ(third.thumbnailsMade, 1);
  EXPECT_EQ(third.thumbnailsKept, 4);
  EXPECT_EQ(third.filesRemoved, 1 + 2);  // th_p4.jpg, Thumb002.html and Thumb003.html
  EXPECT_FALSE(fs::exists(folder.path() / "th_p4.jpg"));
  EXPECT_FALSE(fs::exists(folder.path() / "Thumb002.html"));

  TempFolder fresh;
  for (const auto& name : browse::readFolder(folder.path()).pictures) {
    fs::copy_file(folder.path() / name, fresh.path() / name);
    fs::last_write_time(fresh.path() / name, fs::last_write_time(folder.path() / name));
  }
  create(fresh.path(), "th_", 3, 3);
  EXPECT_EQ(snapshot(folder.path()), snapshot(fresh.path()));
}

TEST(Rerun, NewPrefixRemovesTheOldThumbnailsWhichNeverBecomePictures) {
  TempFolder folder;
  writePictures(folder.path(), 3);
  create(folder.path(), "th_");
  // A user's file that merely looks like a thumbnail stays.
  folder.write("th_notes.jpg", "mine");
  const auto report = create(folder.path(), "small-");
  EXPECT_EQ(report.thumbnailsMade, 3);
  EXPECT_EQ(report.filesRemoved, 3);
  EXPECT_EQ(report.thumbs.size(), 3u);
  EXPECT_FALSE(fs::exists(folder.path() / "th_p0.jpg"));
  EXPECT_EQ(folder.read("th_notes.jpg"), "mine");
  const auto again = create(folder.path(), "small-");
  EXPECT_EQ(again.thumbnailsKept, 3);
  for (const auto& entry : fs::directory_iterator(folder.path())) {
    EXPECT_EQ(entry.path().filename().string().find("small-small-"), std::string::npos);
  }
}

TEST(Rerun, FilesTheProgramDidNotWriteAreNeverReplaced) {
  TempFolder folder;
  testing::writeJpeg(folder.path() / "beach.jpg", 80, 60);
  testing::writeJpeg(folder.path() / "th_beach.jpg", 70, 50);  // the user's own photo
  folder.write("Thumb002.html", "<html>my own page</html>");
  const auto userPhoto = folder.read("th_beach.jpg");

  const auto report = create(folder.path(), "th_", 1, 1);
  // Both are pictures; beach.jpg's thumbnail name is taken, th_beach.jpg gets th_th_beach.jpg.
  ASSERT_EQ(report.thumbs.size(), 1u);
  EXPECT_EQ(report.thumbs[0].FileName, "th_beach.jpg");
  ASSERT_GE(report.problems.size(), 1u);
  EXPECT_EQ(report.problems[0].file, "beach.jpg");
  EXPECT_NE(report.problems[0].reason.find("th_beach.jpg"), std::string::npos);
  EXPECT_NE(report.problems[0].reason.find("choose another prefix"), std::string::npos);
  EXPECT_EQ(folder.read("th_beach.jpg"), userPhoto);

  EXPECT_EQ(folder.read("Thumb002.html"), "<html>my own page</html>");  // not a leftover of ours

  // A second picture needs a second page, but Thumb002.html is not ours: no page changes.
  testing::writeJpeg(folder.path() / "sea.jpg", 50, 50);
  const auto pagesBefore = folder.read("Thumb001.html");
  const auto blocked = create(folder.path(), "th_", 1, 1);
  EXPECT_FALSE(blocked.pagesInPlace);
  EXPECT_EQ(blocked.problems.back().kind, ProblemKind::PageNotWritten);
  EXPECT_EQ(blocked.problems.back().file, "Thumb002.html");
  EXPECT_EQ(folder.read("Thumb002.html"), "<html>my own page</html>");
  EXPECT_EQ(folder.read("Thumb001.html"), pagesBefore);
}

TEST(Rerun, DamagedThumbnailsAreMadeAgain) {
  TempFolder folder;
  writePictures(folder.path(), 2);
  create(folder.path());
  const auto good0 = folder.read("th_p0.jpg");
  const auto good1 = folder.read("th_p1.jpg");
  // One cut short, one with a byte of its record altered.
  folder.write("th_p0.jpg", good0.substr(0, good0.size() / 2));
  std::string altered = good1;
  const size_t at = altered.find(std::string("VistrelThumb\0", 13));
  ASSERT_NE(at, std::string::npos);
  altered[at + 13 + 15] ^= 1;
  folder.write("th_p1.jpg", altered);

  const auto report = create(folder.path());
  EXPECT_TRUE(report.problems.empty());
  EXPECT_EQ(report.thumbnailsMade, 2);
  EXPECT_EQ(folder.read("th_p0.jpg"), good0);
  EXPECT_EQ(folder.read("th_p1.jpg"), good1);
}

TEST(Rerun, GifAndJpegOfOneNameShareNoThumbnail) {
  TempFolder folder;
  testing::writeGif(folder.path() / "x.gif", 30, 50);
  testing::writeJpeg(folder.path() / "x.jpg", 80, 60);
  for (int run = 0; run < 2; ++run) {
    const auto report = create(folder.path());
    ASSERT_EQ(report.thumbs.size(), 1u);
    EXPECT_EQ(report.thumbs[0].FileName, "x.gif");
    ASSERT_EQ(report.problems.size(), 1u);
    EXPECT_EQ(report.problems[0].file, "x.jpg");
    EXPECT_EQ(report.thumbnailsMade, run == 0 ? 1 : 0);
    const auto mark = imaging::readThumbMark(folder.path() / "th_x.jpg", true);
    EXPECT_EQ(mark.mark, imaging::ThumbMark::Ours);
    EXPECT_EQ(mark.record.sourceName, "x.gif");
  }
}

TEST(Rerun, ReplacedThumbnailKeepsItsPermissions) {
  TempFolder folder;
  writePictures(folder.path(), 1);
  create(folder.path());
  ::chmod((folder.path() / "th_p0.jpg").c_str(), 0604);
  create(folder.path(), "th_", 1, 2);  // kept: untouched
  touch(folder.path() / "p0.jpg", 3);
  EXPECT_EQ(create(folder.path()).thumbnailsMade, 1);
  struct stat st {};
  ::stat((folder.path() / "th_p0.jpg").c_str(), &st);
  EXPECT_EQ(st.st_mode & 0777, 0604u);
}

}  // namespace
}  // namespace vistrel
