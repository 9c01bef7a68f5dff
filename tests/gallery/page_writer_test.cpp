#include "gallery/page_writer.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <initializer_list>
#include <set>
#include <string_view>

#include "gallery/recording_progress.h"
#include "support/temp_folder.h"

namespace vistrel {
using gallery::CreateHTML;
using gallery::isOurPage;
using gallery::NavigationTargets;
using gallery::navigationTargets;
using gallery::pageCount;
using gallery::pageName;
using gallery::PageWriteError;
using gallery::removeLeftoverPages;
using gallery::TableSettings;
using thumbs::ThumbInfo;

namespace {

namespace fs = std::filesystem;
using testing::RecordingProgress;
using testing::TempFolder;

std::string crlf(std::initializer_list<std::string_view> lines) {
  std::string text;
  for (auto line : lines) {
    text.append(line);
    text.append("\r\n");
  }
  return text;
}

std::set<std::string> filesIn(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

std::vector<ThumbInfo> tenPictures() {
  return {
      {150, 113, "beach.gif", "48,213 bytes"},   {150, 100, "dunes.jpg", "1,234,567 bytes"},
      {113, 150, "harbour.jpg", "98,304 bytes"}, {150, 150, "IMG_0004.JPG", "2,048 bytes"},
      {150, 84, "pier.jpg", "512 bytes"},        {150, 100, "sunset.jpg", "77,001 bytes"},
      {100, 150, "tide.gif", "1,000 bytes"},     {150, 113, "waves.jpg", "999 bytes"},
      {150, 100, "wharf.jpg", "10,240 bytes"},   {84, 150, "zenith.jpg", "3,000,000 bytes"},
  };
}

// Numbered pictures p1.jpg ... with made-up sizes, for tests about counts rather than text.
std::vector<ThumbInfo> numberedPictures(int count) {
  std::vector<ThumbInfo> thumbs;
  thumbs.reserve(static_cast<size_t>(count));
  for (int i = 1; i <= count; ++i) {
    std::string name = "p";
    name += std::to_string(i);
    name += ".jpg";
    thumbs.push_back({150, 100, name, "1,000 bytes"});
  }
  return thumbs;
}

TEST(PageWriter, TenPicturesInThreeByThreeGiveTwoPagesLineForLine) {
  TempFolder folder;
  RecordingProgress progress;
  const TableSettings table{3, 3, 1, 4, 3};
  const auto thumbs = tenPictures();
  ASSERT_EQ(pageCount(10, 3, 3), 2);
  CreateHTML(folder.path(), thumbs, table, 2, "th_", progress);

  EXPECT_EQ(filesIn(folder.path()), (std::set<std::string>{"Thumb001.html", "Thumb002.html"}));
  EXPECT_EQ(
      folder.read("Thumb001.html"),
      crlf({
          R"(<html>)",
          R"(   <head>)",
          R"(      <title>Thumbnail Document</title>)",
          R"(   </head>)",
          R"(   <body>)",
          R"(<DIV ALIGN="Center">)",
          R"(<TABLE BORDER="1" CELLPADDING="4" CELLSPACING="3">)",
          R"(<TR>)",
          R"(<TD ALIGN="Center" VALIGN="Middle"> <SMALL>)",
          R"(  <A HREF="beach.gif"><IMG SRC="th_beach.jpg" WIDTH="150" HEIGHT="113" ALIGN="Bottom" BORDER="0" HSPACE="0" ALT="beach.gif 48,213 bytes"><BR>beach.gif</A>)",
          R"(</SMALL></TD>)",
          R"(<TD ALIGN="Center" VALIGN="Middle"> <SMALL>)",
          R"(  <A HREF="dunes.jpg"><IMG SRC="th_dunes.jpg" WIDTH="150" HEIGHT="100" ALIGN="Bottom" BORDER="0" HSPACE="0" ALT="dunes.jpg 1,234,567 bytes"><BR>dunes.jpg</A>)",
          R"(</SMALL></TD>)",
          R"(<TD ALIGN="Center" VALIGN="Middle"> <SMALL>)",
          R"(  <A HREF="harbour.jpg"><IMG SRC="th_harbour.jpg" WIDTH="113" HEIGHT="150" ALIGN="Bottom" BORDER="0" HSPACE="0" ALT="harbour.jpg 98,304 bytes"><BR>harbour.jpg</A>)",
          R"(</SMALL></TD>)",
          R"(</TR>)",
          R"(<TR>)",
          R"(<TD ALIGN="Center" VALIGN="Middle"> <SMALL>)",
          R"(  <A HREF="IMG_0004.JPG"><IMG SRC="th_IMG_0004.jpg" WIDTH="150" HEIGHT="150" ALIGN="Bottom" BORDER="0" HSPACE="0" ALT="IMG_0004.JPG 2,048 bytes"><BR>IMG_0004.JPG</A>)",
          R"(</SMALL></TD>)",
          R"(<TD ALIGN="Center" VALIGN="Middle"> <SMALL>)",
          R"(  <A HREF="pier.jpg"><IMG SRC="th_pier.jpg" WIDTH="150" HEIGHT="84" ALIGN="Bottom" BORDER="0" HSPACE="0" ALT="pier.jpg 512 bytes"><BR>pier.jpg</A>)",
          R"(</SMALL></TD>)",
          R"(<TD ALIGN="Center" VALIGN="Middle"> <SMALL>)",
          R"(  <A HREF="sunset.jpg"><IMG SRC="th_sunset.jpg" WIDTH="150" HEIGHT="100" ALIGN="Bottom" BORDER="0" HSPACE="0" ALT="sunset.jpg 77,001 bytes"><BR>sunset.jpg</A>)",
          R"(</SMALL></TD>)",
          R"(</TR>)",
          R"(<TR>)",
          R"(<TD ALIGN="Center" VALIGN="Middle"> <SMALL>)",
          R"(  <A HREF="tide.gif"><IMG SRC="th_tide.jpg" WIDTH="100" HEIGHT="150" ALIGN="Bottom" BORDER="0" HSPACE="0" ALT="tide.gif 1,000 bytes"><BR>tide.gif</A>)",
          R"(</SMALL></TD>)",
          R"(<TD ALIGN="Center" VALIGN="Middle"> <SMALL>)",
          R"(  <A HREF="waves.jpg"><IMG SRC="th_waves.jpg" WIDTH="150" HEIGHT="113" ALIGN="Bottom" BORDER="0" HSPACE="0" ALT="waves.jpg 999 bytes"><BR>waves.jpg</A>)",
          R"(</SMALL></TD>)",
          R"(<TD ALIGN="Center" VALIGN="Middle"> <SMALL>)",
          R"(  <A HREF="wharf.jpg"><IMG SRC="th_wharf.jpg" WIDTH="150" HEIGHT="100" ALIGN="Bottom" BORDER="0" HSPACE="0" ALT="wharf.jpg 10,240 bytes"><BR>wharf.jpg</A>)",
          R"(</SMALL></TD>)",
          R"(</TR>)",
          R"(</TABLE>)",
          R"(</DIV>)",
          R"(<P ALIGN="Center"><SMALL>Home|Previous|<A HREF="Thumb002.html">Next</A><A HREF="Thumb002.html">|Last</A></SMALL></P>)",
          R"(<BR><BR><BR>)",
          R"(<CENTER><SMALL>Thumbnail page created with <A HREF="http://www.ormandel.example/">Ormandel</A> EMail: <A HREF="MAILTO:vistrel@ormandel.example">vistrel@ormandel.example (Ormandel)</A></SMALL></CENTER>)",
          R"(   </body>)",
          R"(</html>)",
      }));
  // Picture 10 alone in the first row; the last two rows are empty.
  EXPECT_EQ(
      folder.read("Thumb002.html"),
      crlf({
          R"(<html>)",
          R"(   <head>)",
          R"(      <title>Thumbnail Document</title>)",
          R"(   </head>)",
          R"(   <body>)",
          R"(<DIV ALIGN="Center">)",
          R"(<TABLE BORDER="1" CELLPADDING="4" CELLSPACING="3">)",
          R"(<TR>)",
          R"(<TD ALIGN="Center" VALIGN="Middle"> <SMALL>)",
          R"(  <A HREF="zenith.jpg"><IMG SRC="th_zenith.jpg" WIDTH="84" HEIGHT="150" ALIGN="Bottom" BORDER="0" HSPACE="0" ALT="zenith.jpg 3,000,000 bytes"><BR>zenith.jpg</A>)",
          R"(</SMALL></TD>)",
          R"(</TR>)",
          R"(<TR>)",
          R"(</TR>)",
          R"(<TR>)",
          R"(</TR>)",
          R"(</TABLE>)",
          R"(</DIV>)",
          R"(<P ALIGN="Center"><SMALL><A HREF="Thumb001.html">Home</A><A HREF="Thumb001.html">|Previous|</A>Next|Last</SMALL></P>)",
          R"(<BR><BR><BR>)",
          R"(<CENTER><SMALL>Thumbnail page created with <A HREF="http://www.ormandel.example/">Ormandel</A> EMail: <A HREF="MAILTO:vistrel@ormandel.example">vistrel@ormandel.example (Ormandel)</A></SMALL></CENTER>)",
          R"(   </body>)",
          R"(</html>)",
      }));
}

TEST(PageWriter, SinglePageHasPlainNavigationAndZeroTableNumbers) {
  TempFolder folder;
  RecordingProgress progress;
  CreateHTML(folder.path(), {{150, 113, "beach.gif", "48,213 bytes"}}, TableSettings{1, 1, 0, 0, 0},
             1, "", progress);
  EXPECT_EQ(
      folder.read("Thumb001.html"),
      crlf({
          R"(<html>)",
          R"(   <head>)",
          R"(      <title>Thumbnail Document</title>)",
          R"(   </head>)",
          R"(   <body>)",
          R"(<DIV ALIGN="Center">)",
          R"(<TABLE BORDER="0" CELLPADDING="0" CELLSPACING="0">)",
          R"(<TR>)",
          R"(<TD ALIGN="Center" VALIGN="Middle"> <SMALL>)",
          R"(  <A HREF="beach.gif"><IMG SRC="beach.jpg" WIDTH="150" HEIGHT="113" ALIGN="Bottom" BORDER="0" HSPACE="0" ALT="beach.gif 48,213 bytes"><BR>beach.gif</A>)",
          R"(</SMALL></TD>)",
          R"(</TR>)",
          R"(</TABLE>)",
          R"(</DIV>)",
          R"(<P ALIGN="Center"><SMALL>Home|Previous|Next|Last</SMALL></P>)",
          R"(<BR><BR><BR>)",
          R"(<CENTER><SMALL>Thumbnail page created with <A HREF="http://www.ormandel.example/">Ormandel</A> EMail: <A HREF="MAILTO:vistrel@ormandel.example">vistrel@ormandel.example (Ormandel)</A></SMALL></CENTER>)",
          R"(   </body>)",
          R"(</html>)",
      }));
  EXPECT_EQ(progress.statuses,
            std::vector<std::string>{"Writing HMTL Document(s)...     (1 of 1)"});
}

TEST(PageWriter, MiddlePageOfThreeLinksBothWays) {
  TempFolder folder;
  RecordingProgress progress;
  CreateHTML(folder.path(), numberedPictures(3), TableSettings{1, 1, 2, 2, 2}, 3, "th_", progress);
  const std::string page = folder.read("Thumb002.html");
  EXPECT_NE(page.find("\r\n"
                      R"(<P ALIGN="Center"><SMALL><A HREF="Thumb001.html">Home</A>)"
                      R"(<A HREF="Thumb001.html">|Previous|</A><A HREF="Thumb003.html">Next</A>)"
                      R"(<A HREF="Thumb003.html">|Last</A></SMALL></P>)"
                      "\r\n"),
            std::string::npos)
      << page;
  EXPECT_NE(page.find(R"(<A HREF="p2.jpg">)"), std::string::npos);
}

TEST(PageWriter, NavigationTargetsAtTheEnds) {
  struct Case {
    int page, pages;
    NavigationTargets expected;
  };
  const Case cases[] = {
      {1, 1, {"", "", "", ""}},
      {1, 2, {"", "", "Thumb002.html", "Thumb002.html"}},
      {2, 2, {"Thumb001.html", "Thumb001.html", "", ""}},
      {2, 3, {"Thumb001.html", "Thumb001.html", "Thumb003.html", "Thumb003.html"}},
      {5, 12, {"Thumb001.html", "Thumb004.html", "Thumb006.html", "Thumb012.html"}},
      {1000, 1000, {"Thumb001.html", "Thumb999.html", "", ""}},
      {999, 1000, {"Thumb001.html", "Thumb998.html", "Thumb1000.html", "Thumb1000.html"}},
  };
  for (const auto& c : cases) {
    const auto t = navigationTargets(c.page, c.pages);
    EXPECT_EQ(t.Home, c.expected.Home) << c.page << " of " << c.pages;
    EXPECT_EQ(t.Previous, c.expected.Previous) << c.page << " of " << c.pages;
    EXPECT_EQ(t.Next, c.expected.Next) << c.page << " of " << c.pages;
    EXPECT_EQ(t.Last, c.expected.Last) << c.page << " of " << c.pages;
  }
}

TEST(PageWriter, PageNamesHaveAtLeastThreeDigits) {
  const std::pair<int, const char*> cases[] = {
      {1, "Thumb001.html"},   {9, "Thumb009.html"},     {10, "Thumb010.html"},
      {12, "Thumb012.html"},  {99, "Thumb099.html"},    {100, "Thumb100.html"},
      {999, "Thumb999.html"}, {1000, "Thumb1000.html"}, {12345, "Thumb12345.html"},
  };
  for (const auto& [page, name] : cases) {
    EXPECT_EQ(pageName(page), name);
  }
}

TEST(PageWriter, TwelvePagesAreWrittenUnderTheirNames) {
  TempFolder folder;
  RecordingProgress progress;
  CreateHTML(folder.path(), numberedPictures(12), TableSettings{1, 1, 2, 2, 2}, 12, "th_",
             progress);
  std::set<std::string> expected;
  for (const char* name : {"Thumb001.html", "Thumb002.html", "Thumb003.html", "Thumb004.html",
                           "Thumb005.html", "Thumb006.html", "Thumb007.html", "Thumb008.html",
                           "Thumb009.html", "Thumb010.html", "Thumb011.html", "Thumb012.html"}) {
    expected.insert(name);
  }
  EXPECT_EQ(filesIn(folder.path()), expected);
  EXPECT_NE(folder.read("Thumb012.html").find(R"(<A HREF="p12.jpg">)"), std::string::npos);
  EXPECT_NE(folder.read("Thumb009.html").find(R"(<A HREF="Thumb010.html">Next</A>)"),
            std::string::npos);
}

TEST(PageWriter, HundredAndThousandPagesEndWithTheirNumbers) {
  TempFolder folder;
  RecordingProgress progress;
  CreateHTML(folder.path(), numberedPictures(100), TableSettings{1, 1, 2, 2, 2}, 100, "th_",
             progress);
  const auto names = filesIn(folder.path());
  EXPECT_EQ(names.size(), 100u);
  EXPECT_TRUE(names.count("Thumb099.html"));
  EXPECT_TRUE(names.count("Thumb100.html"));
  EXPECT_NE(folder.read("Thumb099.html").find(R"(<A HREF="Thumb100.html">|Last</A>)"),
            std::string::npos);
  EXPECT_EQ(progress.statuses.back(), "Writing HMTL Document(s)...     (100 of 100)");
  // A thousand pages: the last names and links leave the three digits behind.
  EXPECT_EQ(navigationTargets(999, 1000).Next, "Thumb1000.html");
  EXPECT_EQ(pageName(1000), "Thumb1000.html");
}

TEST(PageWriter, PageCountIsTheSmallestThatHoldsEveryPicture) {
  struct Case {
    int images, rows, columns, pages;
  };
  const Case cases[] = {
      {0, 3, 3, 0},
      {1, 1, 1, 1},
      {7, 3, 3, 1},
      {9, 3, 3, 1},
      {10, 3, 3, 2},
      {12, 2, 3, 2},
      {13, 2, 3, 3},
      {13, 2, 4, 2},
      {37, 3, 3, 5},
      {40000, 100, 100, 4},
      {100000, 1, 1, 100000},
      {5, 0, 3, 0},
      {2147483647, 100, 100, 214749},
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
  CreateHTML(folder.path(), numberedPictures(37), TableSettings{3, 3, 2, 2, 2}, 5, "th_", progress);
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
  CreateHTML(folder.path(), numberedPictures(count), TableSettings{10, 100, 2, 2, 2}, pages, "th_",
             progress);
  const std::string last = folder.read("Thumb034.html");
  EXPECT_NE(last.find(R"(<A HREF="p33001.jpg">)"), std::string::npos);
  EXPECT_EQ(last.find(R"(<A HREF="p33000.jpg">)"), std::string::npos);
  EXPECT_NE(folder.read("Thumb033.html").find(R"(<A HREF="p33000.jpg">)"), std::string::npos);
  EXPECT_EQ(progress.statuses.back(), "Writing HMTL Document(s)...     (34 of 34)");
}

TEST(PageWriter, RewritesOnlyChangedPagesAndRemovesOnlyItsOwnLeftovers) {
  TempFolder folder;
  RecordingProgress progress;
  EXPECT_EQ(CreateHTML(folder.path(), numberedPictures(4), TableSettings{1, 1, 2, 2, 2}, 4, "th_",
                       progress),
            4);
  folder.write("Thumb005.html", "a page of the user's");
  // Two pages now: both change, since their Next and Last links do.
  EXPECT_EQ(CreateHTML(folder.path(), numberedPictures(2), TableSettings{1, 1, 2, 2, 2}, 2, "th_",
                       progress),
            2);
  EXPECT_TRUE(isOurPage(folder.read("Thumb003.html")));
  std::vector<std::pair<std::string, std::string>> problems;
  EXPECT_EQ(removeLeftoverPages(folder.path(), 2, problems), 2);
  EXPECT_TRUE(problems.empty());
  EXPECT_EQ(filesIn(folder.path()),
            (std::set<std::string>{"Thumb001.html", "Thumb002.html", "Thumb005.html"}));
  EXPECT_EQ(folder.read("Thumb005.html"), "a page of the user's");
  // A page of ours stays when the table would not change it at all.
  EXPECT_EQ(CreateHTML(folder.path(), numberedPictures(2), TableSettings{1, 1, 2, 2, 2}, 2, "th_",
                       progress),
            0);
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
    RecordingProgress progress;
    try {
      CreateHTML(folder.path(), numberedPictures(3), TableSettings{1, 1, 2, 2, 2}, 3, "th_",
                 progress);
      FAIL() << "no error for a page's name taken";
    } catch (const PageWriteError& e) {
      const std::string page = (folder.path() / "Thumb002.html").string();
      EXPECT_EQ(e.file(), page);
      if (folderInTheWay) {
        EXPECT_EQ(e.reason(), std::error_code(EISDIR, std::generic_category()).message());
      } else {
        EXPECT_NE(e.reason().find("not a page of Vistrel's"), std::string::npos);
      }
      EXPECT_NE(std::string(e.what()).find(page), std::string::npos) << e.what();
    }
    // Nothing was put in place and no temporary file is left behind.
    EXPECT_EQ(folder.read("Thumb003.html"), "old three");
    EXPECT_EQ(filesIn(folder.path()), (std::set<std::string>{"Thumb002.html", "Thumb003.html"}));
  }
}

TEST(PageWriteFailure, FailedWriteKeepsTheOldPageWhole) {
  // A file-size limit makes the write itself fail part-way, which permission bits cannot do
  // for root.
  TempFolder folder;
  RecordingProgress progress;
  CreateHTML(folder.path(), numberedPictures(2), TableSettings{1, 2, 2, 2, 2}, 1, "th_", progress);
  const std::string old = folder.read("Thumb001.html");
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto savedSignal = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 100;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  std::string reason;
  std::string file;
  try {
    CreateHTML(folder.path(), numberedPictures(1), TableSettings{1, 1, 2, 2, 2}, 1, "th_",
               progress);
  } catch (const PageWriteError& e) {
    reason = e.reason();
    file = e.file();
  }
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, savedSignal);
  EXPECT_EQ(file, (folder.path() / "Thumb001.html").string());
  EXPECT_EQ(reason, std::error_code(EFBIG, std::generic_category()).message());
  EXPECT_EQ(folder.read("Thumb001.html"), old);
  EXPECT_EQ(filesIn(folder.path()), std::set<std::string>{"Thumb001.html"});
}

TEST(PageWriteFailure, MissingFolderNamesTheFirstPage) {
  TempFolder folder;
  const fs::path missing = folder.path() / "gone";
  RecordingProgress progress;
  try {
    CreateHTML(missing, numberedPictures(1), TableSettings{}, 1, "th_", progress);
    FAIL() << "no error for a missing folder";
  } catch (const PageWriteError& e) {
    EXPECT_EQ(e.file(), (missing / "Thumb001.html").string());
    EXPECT_EQ(e.reason(), std::error_code(ENOENT, std::generic_category()).message());
  }
}

}  // namespace
}  // namespace vistrel
