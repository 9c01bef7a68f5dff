#include "gallery/page_writer.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <set>
#include <tuple>

#include "gallery/golden.h"
#include "support/recording_progress.h"
#include "support/temp_folder.h"

namespace vistrel {
using gallery::CreateHTML;
using gallery::isOurPage;
using gallery::NavigationTargets;
using gallery::navigationTargets;
using gallery::pageCount;
using gallery::PageWriteError;
using gallery::removeLeftoverPages;
using gallery::TableSettings;
using thumbs::ThumbInfo;

namespace {

namespace fs = std::filesystem;
using testing::RecordingProgress;
using testing::TempFolder;

std::set<std::string> filesIn(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

// The records as the batch leaves them: each names its thumbnail.
std::vector<ThumbInfo> named(std::vector<ThumbInfo> thumbs, std::string_view prefix = "th_") {
  for (auto& thumb : thumbs) {
    thumb.ThumbFile = thumbs::thumbnailName(prefix, thumb.FileName);
  }
  return thumbs;
}

std::vector<ThumbInfo> tenPictures() {
  return named({
      {150, 113, "beach.gif", "48,213 bytes"},
      {150, 100, "dunes.jpg", "1,234,567 bytes"},
      {113, 150, "harbour.jpg", "98,304 bytes"},
      {150, 150, "IMG_0004.JPG", "2,048 bytes"},
      {150, 84, "pier.jpg", "512 bytes"},
      {150, 100, "sunset.jpg", "77,001 bytes"},
      {100, 150, "tide.gif", "1,000 bytes"},
      {150, 113, "waves.jpg", "999 bytes"},
      {150, 100, "wharf.jpg", "10,240 bytes"},
      {84, 150, "zenith.jpg", "3,000,000 bytes"},
  });
}

// Numbered pictures p1.jpg ... with made-up sizes, for tests about counts rather than text.
std::vector<ThumbInfo> numberedPictures(int count) {
  std::vector<ThumbInfo> thumbs;
  for (int i = 1; i <= count; ++i) {
    std::string name = "p";  // in steps: GCC 12 -O3 misreads "p" + std::to_string(i) (-Wrestrict)
    name += std::to_string(i) + ".jpg";
    thumbs.push_back({150, 100, name, "1,000 bytes"});
  }
  return named(thumbs);
}

// `count` numbered pictures at `columns` per row, one per page unless `pages` is given.
int writeNumbered(const fs::path& folder, int count, int columns = 1, int pages = 0) {
  RecordingProgress progress;
  return CreateHTML(folder, numberedPictures(count), TableSettings{1, columns, 2, 2, 2},
                    pages ? pages : count, progress);
}

// The error of a write that must fail.
PageWriteError failedWrite(const std::function<void()>& write) {
  try {
    write();
  } catch (const PageWriteError& e) {
    return e;
  }
  ADD_FAILURE() << "no error";
  return PageWriteError("", {});
}

TEST(PageWriter, GoldenPages) {
  TempFolder folder;
  RecordingProgress progress;
  ASSERT_EQ(pageCount(10, 3, 3), 2);
  CreateHTML(folder.path(), tenPictures(), TableSettings{3, 3, 1, 4, 3}, 2, progress);
  EXPECT_EQ(filesIn(folder.path()), (std::set<std::string>{"Thumb001.html", "Thumb002.html"}));
  EXPECT_EQ(folder.read("Thumb001.html"),
            testing::golden({"classic-head.html", "classic-ten-1.html", "classic-foot.html"}));
  // Picture 10 alone in the first row; the last two rows are empty.
  EXPECT_EQ(folder.read("Thumb002.html"),
            testing::golden({"classic-head.html", "classic-ten-2.html", "classic-foot.html"}));

  // One page: plain navigation, zero table numbers, no prefix.
  TempFolder single;
  RecordingProgress one;
  CreateHTML(single.path(), named({{150, 113, "beach.gif", "48,213 bytes"}}, ""),
             TableSettings{1, 1, 0, 0, 0}, 1, one);
  EXPECT_EQ(single.read("Thumb001.html"),
            testing::golden({"classic-head.html", "classic-single.html", "classic-foot.html"}));
  EXPECT_EQ(one.statuses, std::vector<std::string>{"Writing HMTL Document(s)...     (1 of 1)"});
}

TEST(PageWriter, NavigationTargetsInTheMiddleAndPastThreeDigits) {
  const struct {
    int page, pages;
    NavigationTargets expected;
  } cases[] = {
      // One and two pages are in the golden pages.
      {2, 3, {"Thumb001.html", "Thumb001.html", "Thumb003.html", "Thumb003.html"}},
      {5, 12, {"Thumb001.html", "Thumb004.html", "Thumb006.html", "Thumb012.html"}},
      {1000, 1000, {"Thumb001.html", "Thumb999.html", "", ""}},
      {999, 1000, {"Thumb001.html", "Thumb998.html", "Thumb1000.html", "Thumb1000.html"}},
  };
  for (const auto& c : cases) {
    const auto t = navigationTargets(c.page, c.pages);
    const auto& e = c.expected;
    EXPECT_EQ(std::tie(t.Home, t.Previous, t.Next, t.Last),
              std::tie(e.Home, e.Previous, e.Next, e.Last))
        << c.page << " of " << c.pages;
  }
}

TEST(PageWriter, PageCountIsTheSmallestThatHoldsEveryPicture) {
  const struct {
    int images, rows, columns, pages;
  } cases[] = {
      {0, 3, 3, 0},         {1, 1, 1, 1},
      {9, 3, 3, 1},         {10, 3, 3, 2},
      {13, 2, 3, 3},        {13, 2, 4, 2},
      {40000, 100, 100, 4}, {100000, 1, 1, 100000},
      {5, 0, 3, 0},         {2147483647, 100, 100, 214749},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(pageCount(c.images, c.rows, c.columns), c.pages)
        << c.images << " pictures, " << c.rows << " x " << c.columns;
  }
}

TEST(PageWriter, FillGrowsOncePerCellSlotAndNoticeCountsPages) {
  // 37 pictures on a 5200-twip track: a step of 140; 5 pages of 9 slots take the fill to 6300,
  // past the track's end.
  TempFolder folder;
  RecordingProgress progress;
  CreateHTML(folder.path(), numberedPictures(37), TableSettings{3, 3, 2, 2, 2}, 5, progress);
  EXPECT_EQ(progress.fillChanges, 45);
  EXPECT_FLOAT_EQ(progress.fillWidth(), 6300);
  ASSERT_EQ(progress.statuses.size(), 5u);
  for (int p = 1; p <= 5; ++p) {
    EXPECT_EQ(progress.statuses[static_cast<size_t>(p - 1)],
              "Writing HMTL Document(s)...     (" + std::to_string(p) + " of 5)");
    EXPECT_FLOAT_EQ(progress.fillAtStatus[static_cast<size_t>(p - 1)], 140.0f * 9 * (p - 1));
  }
}

TEST(PageWriter, MoreThan32767PicturesArePlaced) {
  TempFolder folder;
  RecordingProgress progress;
  const int count = 33001;
  const int pages = pageCount(count, 10, 100);
  ASSERT_EQ(pages, 34);
  CreateHTML(folder.path(), numberedPictures(count), TableSettings{10, 100, 2, 2, 2}, pages,
             progress);
  const std::string last = folder.read("Thumb034.html");
  EXPECT_NE(last.find(R"(<A HREF="p33001.jpg">)"), std::string::npos);
  EXPECT_EQ(last.find(R"(<A HREF="p33000.jpg">)"), std::string::npos);
  EXPECT_NE(folder.read("Thumb033.html").find(R"(<A HREF="p33000.jpg">)"), std::string::npos);
  EXPECT_EQ(progress.statuses.back(), "Writing HMTL Document(s)...     (34 of 34)");
}

TEST(PageWriter, RewritesOnlyChangedPagesAndRemovesOnlyItsOwnLeftovers) {
  TempFolder folder;
  EXPECT_EQ(writeNumbered(folder.path(), 4), 4);
  folder.write("Thumb005.html", "a page of the user's");
  // Two pages now: both change, since their Next and Last links do.
  EXPECT_EQ(writeNumbered(folder.path(), 2), 2);
  EXPECT_TRUE(isOurPage(folder.read("Thumb003.html")));
  std::vector<thumbs::RunProblem> problems;
  std::vector<std::string> removed;
  removeLeftoverPages(folder.path(), 2, removed, problems);
  std::sort(removed.begin(), removed.end());
  EXPECT_EQ(removed, (std::vector<std::string>{"Thumb003.html", "Thumb004.html"}));
  EXPECT_TRUE(problems.empty());
  EXPECT_EQ(filesIn(folder.path()),
            (std::set<std::string>{"Thumb001.html", "Thumb002.html", "Thumb005.html"}));
  EXPECT_EQ(folder.read("Thumb005.html"), "a page of the user's");
  // A page of ours stays when the table would not change it at all.
  EXPECT_EQ(writeNumbered(folder.path(), 2), 0);
}

TEST(PageWriteFailure, AFileThatIsNotOursOrAFolderStopsThePagesBeforeAnyChanges) {
  for (const bool folderInTheWay : {true, false}) {
    TempFolder folder;
    folder.write("Thumb003.html", "old three");
    if (folderInTheWay) {
      fs::create_directory(folder.path() / "Thumb002.html");
    } else {
      folder.write("Thumb002.html", "<html>the user's</html>");
    }
    const auto e = failedWrite([&] { writeNumbered(folder.path(), 3); });
    const std::string page = (folder.path() / "Thumb002.html").string();
    EXPECT_EQ(e.file(), page);
    EXPECT_EQ(e.notOurs(), !folderInTheWay);
    EXPECT_EQ(e.error() == std::errc::is_a_directory, folderInTheWay);
    EXPECT_NE(std::string(e.what()).find(page), std::string::npos) << e.what();
    // Nothing was put in place and no temporary file is left behind.
    EXPECT_EQ(folder.read("Thumb003.html"), "old three");
    EXPECT_EQ(filesIn(folder.path()), (std::set<std::string>{"Thumb002.html", "Thumb003.html"}));
  }
}

TEST(PageWriteFailure, FailedWriteKeepsTheOldPageWholeAndAMissingFolderNamesTheFirstPage) {
  // A file-size limit makes the write itself fail part-way, which permission bits cannot do
  // for root.
  TempFolder folder;
  writeNumbered(folder.path(), 2, 2, 1);
  const std::string old = folder.read("Thumb001.html");
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto savedSignal = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 100;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const auto full = failedWrite([&] { writeNumbered(folder.path(), 1); });
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, savedSignal);
  const auto gone = failedWrite([&] { writeNumbered(folder.path() / "gone", 1); });
  EXPECT_EQ(full.file(), (folder.path() / "Thumb001.html").string());
  EXPECT_EQ(full.error(), std::errc::file_too_large);
  EXPECT_EQ(gone.file(), (folder.path() / "gone" / "Thumb001.html").string());
  EXPECT_EQ(gone.error(), std::errc::no_such_file_or_directory);
  EXPECT_EQ(folder.read("Thumb001.html"), old);
  EXPECT_EQ(filesIn(folder.path()), std::set<std::string>{"Thumb001.html"});
}

}  // namespace
}  // namespace vistrel
