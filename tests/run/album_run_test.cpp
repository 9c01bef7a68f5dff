// A Create over a folder tree: each album its gallery, the tree's re-runs, and trees that fight
// back.
#include "run/album_run.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <mutex>

#include <chrono>
#include <set>

#include "run/folder_lock.h"
#include "support/read_only_folder.h"
#include "support/recording_progress.h"
#include "support/sample_pictures.h"
#include "support/temp_folder.h"

namespace vistrel::run {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;
using testing::TempFolder;
using testing::writeJpeg;

CreateSettings treeSettings(const fs::path& top) {
  CreateSettings s;
  s.thumbnails.folder = top;
  s.thumbnails.prefix = "th_";
  s.thumbnails.workers = 2;
  s.table = gallery::TableSettings{1, 2, 2, 2, 2};
  s.style = gallery::PageStyle::Modern;
  s.albums = true;
  s.openFirstPage = false;
  s.lockWait = 200ms;
  return s;
}

CreateReport create(const CreateSettings& s) {
  testing::RecordingDisplay display;
  return runCreate(s, display, nullptr);
}

std::string read(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void pictures(const fs::path& folder, std::initializer_list<const char*> names) {
  fs::create_directories(folder);
  for (const char* name : names) {
    writeJpeg(folder / name, 40, 30);
  }
}

// Pictures/ a.jpg, 2024/{Crete: 3, Wedding: 1}, 2025/Spring: 1, Empty/.
fs::path threeLevels(const TempFolder& folder) {
  const fs::path top = folder.path() / "Pictures";
  pictures(top, {"a.jpg"});
  pictures(top / "2024" / "Summer in Crete", {"c1.jpg", "c2.jpg", "c3.jpg"});
  pictures(top / "2024" / "Wedding", {"w.jpg"});
  pictures(top / "2025" / "Spring", {"s.jpg"});
  fs::create_directories(top / "Empty" / "Deeper");
  return top;
}

bool runWrote(const fs::directory_entry& entry) {
  const std::string name = entry.path().filename().string();
  return entry.is_regular_file() && (name.starts_with("th_") || !name.ends_with(".jpg"));
}

// Every file a run wrote below `top` set to an old time, so a later run's writes stand out.
void ageAll(const fs::path& top) {
  const auto old = fs::file_time_type::clock::now() - 24h;
  for (const auto& entry : fs::recursive_directory_iterator(top)) {
    if (runWrote(entry)) {
      fs::last_write_time(entry.path(), old);
    }
  }
}

std::set<std::string> changedSince(const fs::path& top, std::chrono::hours ago) {
  const auto since = fs::file_time_type::clock::now() - ago;
  std::set<std::string> changed;
  for (const auto& entry : fs::recursive_directory_iterator(top)) {
    if (runWrote(entry) && fs::last_write_time(entry.path()) > since) {
      changed.insert(entry.path().lexically_relative(top).string());
    }
  }
  return changed;
}

TEST(AlbumRun, EveryFolderWithPicturesBelowGetsItsGalleryAndCards) {
  TempFolder folder;
  const fs::path top = threeLevels(folder);
  const CreateReport report = create(treeSettings(top));
  EXPECT_TRUE(report.problems.empty());
  EXPECT_EQ(report.thumbnailsMade, 6);
  EXPECT_TRUE(report.pagesInPlace);
  for (const char* album : {"", "2024", "2024/Summer in Crete", "2024/Wedding", "2025/Spring"}) {
    EXPECT_TRUE(fs::exists(top / album / "Thumb001.html")) << album;
  }
  EXPECT_FALSE(fs::exists(top / "Empty" / "Thumb001.html"));
  EXPECT_TRUE(fs::is_empty(top / "Empty" / "Deeper"));
  const std::string first = read(top / "Thumb001.html");
  EXPECT_THAT(first, HasSubstr("<a href=\"2024/Thumb001.html\"><img src=\"2024/Summer in "
                               "Crete/th_c1.jpg\""));
  EXPECT_THAT(first, HasSubstr(">2024</a><small>4 pictures</small>"));
  EXPECT_THAT(first, HasSubstr(">2025</a><small>1 picture</small>"));
  EXPECT_THAT(first, Not(HasSubstr("Empty")));
  // 2024 holds sub-albums alone: its cards and no empty list.
  EXPECT_THAT(read(top / "2024" / "Thumb001.html"), Not(HasSubstr("<ul>")));
  EXPECT_THAT(read(top / "2024" / "Summer in Crete" / "c3.jpg.html"),
              HasSubstr("<a href=\"../Thumb001.html\">2024</a>"));
  // Previous and next stay inside the album.
  EXPECT_THAT(read(top / "2024" / "Wedding" / "w.jpg.html"), Not(HasSubstr("rel=\"prev\"")));
}

TEST(AlbumRun, AnUnchangedTreeWritesNothingAndAPictureAddedDeepOnlyItsAlbumAndCardsAbove) {
  TempFolder folder;
  const fs::path top = threeLevels(folder);
  create(treeSettings(top));
  ageAll(top);
  EXPECT_EQ(create(treeSettings(top)).pagesChanged, 0);
  EXPECT_TRUE(changedSince(top, 1h).empty());

  writeJpeg(top / "2024" / "Wedding" / "v.jpg", 40, 30);
  create(treeSettings(top));
  const std::string w = "2024/Wedding/";
  EXPECT_EQ(changedSince(top, 1h),
            (std::set<std::string>{"2024/Thumb001.html", "Thumb001.html", w + "Thumb001.html",
                                   w + "v.jpg.html", w + "w.jpg.html", w + "th_v.jpg",
                                   w + "th_v@2x.jpg", w + "th_v@view.jpg"}));
}

TEST(AlbumRun, ARenamedOrDeletedSubAlbumsCardGoes) {
  TempFolder folder;
  const fs::path top = threeLevels(folder);
  create(treeSettings(top));
  fs::rename(top / "2024" / "Wedding", top / "2024" / "Party");
  fs::remove_all(top / "2025");
  const CreateReport report = create(treeSettings(top));
  EXPECT_TRUE(report.problems.empty());
  const std::string year = read(top / "2024" / "Thumb001.html");
  EXPECT_THAT(year, HasSubstr(">Party</a>"));
  EXPECT_THAT(year, Not(HasSubstr("Wedding")));
  EXPECT_THAT(read(top / "Thumb001.html"), Not(HasSubstr("2025")));
  EXPECT_THAT(read(top / "2024" / "Party" / "w.jpg.html"), HasSubstr(">Party</a></nav>"));
}

TEST(AlbumRun, AFolderWhosePicturesAreAllGoneHasWhatWasMadeThereTakenAway) {
  TempFolder folder;
  const fs::path top = threeLevels(folder);
  create(treeSettings(top));
  const fs::path wedding = top / "2024" / "Wedding";
  fs::remove(wedding / "w.jpg");
  testing::writeBytes(wedding / "notes.txt", "mine");
  const CreateReport report = create(treeSettings(top));
  EXPECT_TRUE(report.problems.empty());
  std::set<std::string> left;
  for (const auto& entry : fs::directory_iterator(wedding)) {
    left.insert(entry.path().filename().string());
  }
  EXPECT_EQ(left, std::set<std::string>{"notes.txt"});
  EXPECT_THAT(read(top / "2024" / "Thumb001.html"), Not(HasSubstr("Wedding")));
}

// Each album's heads come from its listing's one read of each picture.
TEST(AlbumRun, APictureDeepInTheTreeThatTellsWhereItWasTakenIsCounted) {
  TempFolder folder;
  const fs::path top = threeLevels(folder);
  testing::writeJpegWithLocation(top / "2024" / "Wedding" / "gps.jpg", 40, 30);
  CreateSettings s = treeSettings(top);
  s.originals = gallery::Originals::Link;
  EXPECT_EQ(create(s).linkedWithLocation, 1);
}

TEST(AlbumRun, ALoopAnUnreadableAndAnUnwritableFolderAreSkippedWithTheirReasons) {
  TempFolder folder;
  const fs::path top = threeLevels(folder);
  fs::create_directory_symlink("..", top / "2025" / "Spring" / "up");
  // The run acts as an unprivileged user below, who owns the tree.
  ::chmod(folder.path().c_str(), 0755);
  for (const auto& entry : fs::recursive_directory_iterator(top)) {
    ASSERT_EQ(::lchown(entry.path().c_str(), 65534, 65534), 0);
  }
  ASSERT_EQ(::lchown(top.c_str(), 65534, 65534), 0);
  ::chmod((top / "2024" / "Wedding").c_str(), 0);
  CreateReport report;
  {
    testing::ReadOnlyFolder readOnly(top / "2025" / "Spring");
    report = create(treeSettings(top));
  }
  ::chmod((top / "2024" / "Wedding").c_str(), 0755);
  std::vector<std::string> skipped;
  for (const auto& problem : report.problems) {
    EXPECT_EQ(problem.kind, thumbs::ProblemKind::AlbumSkipped);
    skipped.push_back(problem.file + " " + problem.detail);
  }
  EXPECT_THAT(skipped, ElementsAre(HasSubstr("2024/Wedding/ the folder cannot be read: Permission"),
                                   "2025/Spring/up/ a link back to a folder it is in, so it was "
                                   "not followed",
                                   HasSubstr("2025/Spring/ The folder " + top.string() +
                                             "/2025/Spring cannot be written")));
  EXPECT_TRUE(fs::exists(top / "2024" / "Summer in Crete" / "Thumb001.html"));
  EXPECT_THAT(read(top / "Thumb001.html"), Not(HasSubstr("2025")));
}

TEST(AlbumRun, ACreateOnASubfolderWhileTheTreeRunsWaitsThenIsRefused) {
  TempFolder folder;
  const fs::path top = threeLevels(folder);
  CreateSettings s = treeSettings(top);
  std::optional<Refusal> inner;
  // Albums run side by side: their batches call this on several threads.
  std::mutex once;
  s.thumbnails.afterPlanning = [&] {
    const std::lock_guard<std::mutex> hold(once);
    if (!inner) {
      CreateSettings one = treeSettings(top / "2024" / "Wedding");
      one.albums = false;
      one.thumbnails.pictureNames = {"w.jpg"};
      one.thumbnails.ImageCount = 1;
      inner = create(one).refused.value_or(Refusal{RefusalKind::BadPrefix});
    }
  };
  EXPECT_TRUE(create(s).problems.empty());
  EXPECT_EQ(inner, (Refusal{RefusalKind::FolderBusy, (top / "2024" / "Wedding").string()}));

  FolderLock other;
  std::error_code error;
  ASSERT_EQ(other.take(top / "2025" / "Spring", 0ms, {}, error), FolderLock::Outcome::Taken);
  const CreateReport report = create(treeSettings(top));
  ASSERT_EQ(report.problems.size(), 1u);
  EXPECT_EQ(report.problems[0].file + report.problems[0].detail,
            "2025/Spring/another Create is running in this folder");
}

}  // namespace
}  // namespace vistrel::run
