// Folders that fight back: special files, pictures swapped during the run, large pictures on
// many workers, a full disk, and two runs at once.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QImage>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <future>
#include <map>
#include <optional>
#include <thread>

#include "browse/file_size.h"
#include "browse/folder_read.h"
#include "imaging/thumb_record.h"
#include "run/create_run.h"
#include "run/folder_lock.h"
#include "support/temp_folder.h"
#include "thumbs/sample_pictures.h"

namespace vistrel {
using browse::FormatFileSize;
using gallery::TableSettings;
using run::CreateReport;
using run::CreateSettings;
using run::FolderLock;
using run::kFolderBusy;
using run::runCreate;
using thumbs::MakeThumbnails;
using thumbs::ProblemKind;

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::snapshot;
using testing::TempFolder;

CreateSettings settingsFor(const fs::path& folder, std::vector<std::string> names,
                           int workers = 2) {
  CreateSettings s;
  s.thumbnails.folder = folder;
  s.thumbnails.pictureNames = std::move(names);
  s.thumbnails.ImageCount = static_cast<int>(s.thumbnails.pictureNames.size());
  s.thumbnails.workers = workers;
  s.table = TableSettings{2, 2, 2, 2, 2};
  s.openFirstPage = false;
  return s;
}

CreateReport create(const CreateSettings& s) {
  testing::RecordingDisplay display;
  return runCreate(s, display, nullptr);
}

// Runs `run` on a thread of its own and fails the test (instead of hanging it) when it has not
// ended in time.
template <typename Run>
auto withinSeconds(int seconds, Run run) {
  std::packaged_task<decltype(run())()> task(run);
  auto result = task.get_future();
  std::thread(std::move(task)).detach();
  if (result.wait_for(std::chrono::seconds(seconds)) != std::future_status::ready) {
    ADD_FAILURE() << "the run hung";
    std::abort();
  }
  return result.get();
}

// "big3.gif" (a helper, since "big" + std::to_string(i) trips a false GCC 12 warning).
std::string numbered(const char* stem, int i, const char* extension) {
  char name[64];
  std::snprintf(name, sizeof name, "%s%d%s", stem, i, extension);
  return name;
}

void makeFifo(const fs::path& file) {
  ASSERT_EQ(::mkfifo(file.c_str(), 0644), 0);
}

TEST(HostileFolder, SpecialFilesAreSkippedWithAReasonAndNeverBlock) {
  TempFolder folder;
  const auto& dir = folder.path();
  testing::writeJpeg(dir / "a.jpg", 80, 60);
  testing::writeJpeg(dir / "swapped.jpg", 80, 60);
  makeFifo(dir / "fifo.jpg");
  fs::create_directory(dir / "folder.jpg");
  const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string socketPath = (dir / "sock.jpg").string();
  ASSERT_LT(socketPath.size(), sizeof address.sun_path);
  std::copy(socketPath.begin(), socketPath.end(), address.sun_path);
  ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

  // The folder lists only the two regular pictures; a list taken earlier still names the rest,
  // and swapped.jpg becomes a FIFO after the run has looked at it.
  EXPECT_EQ(browse::readFolder(dir).pictures, (std::vector<std::string>{"a.jpg", "swapped.jpg"}));
  auto s = settingsFor(dir, {"a.jpg", "fifo.jpg", "folder.jpg", "sock.jpg", "swapped.jpg"});
  s.thumbnails.afterPlanning = [&] {
    fs::remove(dir / "swapped.jpg");
    makeFifo(dir / "swapped.jpg");
  };
  const auto report = withinSeconds(30, [&] { return create(s); });
  ::close(sock);
  ASSERT_EQ(report.thumbs.size(), 1u);
  std::map<std::string, std::string> reasons;
  for (const auto& problem : report.problems) {
    reasons[problem.file] = problem.reason;
  }
  for (const char* name : {"fifo.jpg", "folder.jpg", "sock.jpg", "swapped.jpg"}) {
    EXPECT_NE(reasons[name].find("not a regular file"), std::string::npos)
        << name << ": " << reasons[name];
  }
}

TEST(HostileFolder, APictureSwappedDuringTheRunIsDescribedByTheFileThatWasRead) {
  TempFolder folder;
  testing::writeJpeg(folder.path() / "a.jpg", 80, 60);
  auto s = settingsFor(folder.path(), {"a.jpg"});
  s.thumbnails.afterPlanning = [&] {
    testing::writeJpeg(folder.path() / "next.jpg", 300, 30);
    fs::rename(folder.path() / "next.jpg", folder.path() / "a.jpg");
  };
  const auto report = create(s);
  ASSERT_EQ(report.thumbs.size(), 1u);
  const auto size = fs::file_size(folder.path() / "a.jpg");
  EXPECT_EQ(report.thumbs[0].FileSize, FormatFileSize(static_cast<long long>(size)));
  EXPECT_EQ(report.thumbs[0].Height, 15);  // the wide picture's thumbnail
  const auto mark = imaging::readThumbMark(folder.path() / "th_a.jpg", true);
  EXPECT_EQ(mark.record.sourceSize, size);
  // So the next run finds it up to date.
  EXPECT_EQ(create(settingsFor(folder.path(), {"a.jpg"})).thumbnailsKept, 1);
}

TEST(HostileFolder, OneMemoryBudgetHoldsForAllWorkers) {
  TempFolder folder;
  std::vector<std::string> names;
  for (int i = 0; i < 6; ++i) {
    names.push_back(numbered("big", i, ".gif"));
    testing::writeGif(folder.path() / names.back(), 400, 400);  // 1.76 MB to decode
  }
  names.push_back("huge.gif");
  testing::writeGif(folder.path() / "huge.gif", 1000, 1000);  // 11 MB to decode
  auto s = settingsFor(folder.path(), names, 4);
  const int64_t budget = 3 << 20;  // room for one of the big ones at a time
  s.thumbnails.memoryBudget = budget;
  s.thumbnails.ImageCount = static_cast<int>(names.size());
  testing::RecordingDisplay display;
  const auto batch = MakeThumbnails(s.thumbnails, display);
  EXPECT_EQ(batch.thumbs.size(), 6u);
  EXPECT_GT(batch.memoryPeak, int64_t{400 * 400 * 11});
  EXPECT_LE(batch.memoryPeak, budget);
  ASSERT_EQ(batch.problems.size(), 1u);
  EXPECT_EQ(batch.problems[0].file, "huge.gif");
  EXPECT_NE(batch.problems[0].reason.find("more than the 3 MB a run may use"), std::string::npos)
      << batch.problems[0].reason;
}

// A small file system of its own, where filling the disk hurts nobody; skipped where mounting
// is not allowed.
class FullDisk : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::mount("tmpfs", temp.path().c_str(), "tmpfs", 0, "size=4m") != 0) {
      GTEST_SKIP() << "cannot mount a tmpfs here";
    }
    mounted = true;
  }
  void TearDown() override {
    if (mounted) {
      ::umount(temp.path().c_str());
    }
  }
  // Fills the file system, then frees about `spare` bytes.
  void fill(off_t spare) {
    const fs::path filler = dir() / ".filler";
    {
      std::ofstream out(filler, std::ios::binary);
      const std::string block(4096, 'x');
      while (out.write(block.data(), block.size())) {
      }
    }
    ASSERT_EQ(::truncate(filler.c_str(), std::max<off_t>(0, fs::file_size(filler) - spare)), 0);
  }
  std::vector<std::string> gallery() {
    std::vector<std::string> names;
    for (int i = 0; i < 11; ++i) {
      names.push_back(numbered("p", i, ".jpg"));
      testing::writeJpeg(dir() / names.back(), 120 + i, 90);
    }
    return names;
  }
  const fs::path& dir() const { return temp.path(); }
  TempFolder temp;
  bool mounted = false;
};

TEST_F(FullDisk, DuringThumbnailsTheOldGalleryStaysWhole) {
  const auto names = gallery();
  ASSERT_TRUE(create(settingsFor(dir(), names)).problems.empty());
  const auto before = snapshot(dir());
  fill(0);
  auto s = settingsFor(dir(), names);
  s.thumbnails.quality = 90;  // every thumbnail must be made again
  s.table = TableSettings{1, 1, 2, 2, 2};
  const auto report = create(s);
  ASSERT_FALSE(report.problems.empty());
  EXPECT_EQ(report.problems[0].kind, ProblemKind::ThumbnailNotWritten);
  EXPECT_EQ(report.problems[0].error, std::errc::no_space_on_device);
  EXPECT_NE(report.problems[0].reason.find("No space left on device"), std::string::npos)
      << report.problems[0].reason;
  EXPECT_FALSE(report.pagesInPlace);
  fs::remove(dir() / ".filler");
  EXPECT_EQ(snapshot(dir()), before);
}

TEST_F(FullDisk, DuringPagesTheOldGalleryStaysWhole) {
  const auto names = gallery();
  ASSERT_TRUE(create(settingsFor(dir(), names)).problems.empty());
  const auto before = snapshot(dir());
  fill(8192);  // room for a page or two of the eleven a 1 x 1 table needs
  auto s = settingsFor(dir(), names);
  s.table = TableSettings{1, 1, 2, 2, 2};
  const auto report = create(s);
  EXPECT_EQ(report.thumbnailsKept, 11);
  ASSERT_FALSE(report.problems.empty());
  EXPECT_EQ(report.problems.back().kind, ProblemKind::PageNotWritten);
  EXPECT_NE(report.problems.back().reason.find("No space left on device"), std::string::npos)
      << report.problems.back().reason;
  fs::remove(dir() / ".filler");
  EXPECT_EQ(snapshot(dir()), before);
}

TEST(TwoRuns, TheSecondWaitsThenRefusesAndTheGalleryStaysWhole) {
  TempFolder folder;
  testing::writeJpeg(folder.path() / "a.jpg", 80, 60);
  std::optional<FolderLock> other(std::in_place);
  std::string reason;
  ASSERT_EQ(other->take(folder.path(), 0ms, {}, reason), FolderLock::Outcome::Taken);

  auto s = settingsFor(folder.path(), {"a.jpg"});
  s.lockWait = 300ms;
  testing::RecordingDisplay display;
  const auto refused = runCreate(s, display, nullptr);
  ASSERT_TRUE(refused.refused);
  EXPECT_EQ(*refused.refused, kFolderBusy);
  EXPECT_EQ(display.events.front(), "status Waiting for another Create in this folder to end...");
  EXPECT_FALSE(display.noticeVisible);
  EXPECT_FALSE(fs::exists(folder.path() / "Thumb001.html"));

  // A lock file whose holder has gone (a crashed run) does not block.
  other.reset();
  folder.write(FolderLock::fileName(), "");
  const auto report = create(s);
  EXPECT_FALSE(report.refused);
  EXPECT_TRUE(report.pagesInPlace);
  EXPECT_FALSE(fs::exists(folder.path() / FolderLock::fileName()));
}

}  // namespace
}  // namespace vistrel
