// Captions, titles and the date order through whole runs.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "browse/folder_read.h"
#include "run/create_run.h"
#include "run/gallery_words.h"
#include "run/problem_text.h"
#include "support/picture_maker.h"
#include "support/recording_progress.h"
#include "support/sample_pictures.h"
#include "support/temp_folder.h"

namespace vistrel::run {
namespace {

namespace fs = std::filesystem;
using browse::PictureOrder;
using gallery::PageStyle;
using ::testing::HasSubstr;
using ::testing::Not;
using vistrel::testing::TempFolder;

std::string u16be(unsigned v) {
  return {static_cast<char>(v >> 8), static_cast<char>(v & 0xFF)};
}
std::string u32le(uint32_t v) {
  return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
          static_cast<char>(v >> 24)};
}

// An APP1 segment whose EXIF holds only DateTimeOriginal ("YYYY:MM:DD HH:MM:SS").
std::string takenSegment(const std::string& when) {
  std::string tiff = "II" + std::string("\x2A\0", 2) + u32le(8);
  // IFD0 at 8: the Exif IFD's place (26); the Exif IFD: DateTimeOriginal, its text at 44.
  tiff += std::string("\x01\0\x69\x87\x04\0", 6) + u32le(1) + u32le(26) + u32le(0);
  tiff += std::string("\x01\0\x03\x90\x02\0", 6) + u32le(20) + u32le(44) + u32le(0);
  tiff += when + std::string(1, '\0');
  const std::string payload = std::string("Exif\0\0", 6) + tiff;
  return "\xFF\xE1" + u16be(static_cast<unsigned>(payload.size() + 2)) + payload;
}

void setYear(const fs::path& file, int year) {
  using namespace std::chrono;
  const sys_seconds when = sys_days{std::chrono::year{year} / 6 / 1};
  fs::last_write_time(file, fs::file_time_type::clock::from_sys(when));
}

CreateReport create(const fs::path& folder, PageStyle style, const std::string& title = "Pictures",
                    PictureOrder order = PictureOrder::Name) {
  CreateSettings s;
  s.thumbnails.folder = folder;
  s.thumbnails.pictureNames = browse::readFolder(folder).pictures;
  s.thumbnails.ImageCount = static_cast<int>(s.thumbnails.pictureNames.size());
  s.thumbnails.workers = 1;
  s.table = {1, 1, 2, 2, 2};
  s.style = style;
  s.title = title;
  s.order = order;
  s.openFirstPage = false;
  vistrel::testing::RecordingDisplay display;
  return runCreate(s, display, nullptr);
}

std::map<std::string, std::string> files(const fs::path& folder) {
  std::map<std::string, std::string> all;
  for (const auto& entry : fs::directory_iterator(folder)) {
    all[entry.path().filename().string()] = vistrel::testing::readBytes(entry.path());
  }
  return all;
}

std::vector<std::string> changed(const std::map<std::string, std::string>& before,
                                 const std::map<std::string, std::string>& after) {
  std::vector<std::string> names;
  for (const auto& [name, bytes] : after) {
    if (!before.contains(name) || before.at(name) != bytes) {
      names.push_back(name);
    }
  }
  return names;
}

TEST(PictureWords, ACaptionChangeRewritesOnlyThePagesThatShowIt) {
  TempFolder folder;
  for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) {
    vistrel::testing::writeJpeg(folder.path() / name, 40, 30);
  }
  folder.write("captions.txt", "b.jpg\tHarbour <script>alert(1)</script>\n");
  ASSERT_TRUE(create(folder.path(), PageStyle::Modern).problems.empty());
  const std::string escaped = "Harbour &lt;script&gt;alert(1)&lt;/script&gt;";
  EXPECT_THAT(folder.read("b.jpg.html"), HasSubstr("<h1>" + escaped + "</h1>"));
  EXPECT_THAT(folder.read("Thumb002.html"), HasSubstr("alt=\"" + escaped + "\""));
  EXPECT_THAT(folder.read("b.jpg.html") + folder.read("Thumb002.html"),
              Not(HasSubstr("<script>alert")));
  const auto before = files(folder.path());

  folder.write("captions.txt", "b.jpg\tHarbour at dusk\n");
  const CreateReport recaptioned = create(folder.path(), PageStyle::Modern);
  EXPECT_EQ(recaptioned.pagesChanged, 2);
  EXPECT_EQ(recaptioned.thumbnailsMade, 0);
  EXPECT_EQ(changed(before, files(folder.path())),
            (std::vector<std::string>{"Thumb002.html", "b.jpg.html", "captions.txt"}));

  // The title is on every page: all six change, and still no picture is made again.
  const CreateReport retitled = create(folder.path(), PageStyle::Modern, "Crete");
  EXPECT_EQ(retitled.pagesChanged, 6);
  EXPECT_EQ(retitled.thumbnailsMade, 0);
  EXPECT_THAT(folder.read("c.jpg.html"), HasSubstr("<p>Crete: 3 of 3, "));
}

TEST(PictureWords, SortingByDateTakesTheDateTakenElseTheFilesTimeInEitherStyle) {
  TempFolder folder;
  // a and c say when they were taken (their files' years would put them elsewhere); b and d
  // do not, so their files' years count.
  const std::map<std::string, std::pair<std::string, int>> pictures = {
      {"a.jpg", {"2024:07:12 18:34:55", 2031}},
      {"b.jpg", {"", 2020}},
      {"c.jpg", {"2019:01:02 03:04:05", 2032}},
      {"d.gif", {"", 2030}}};
  for (const auto& [name, dates] : pictures) {
    const fs::path file = folder.path() / name;
    if (name.ends_with(".gif")) {
      vistrel::testing::writeGif(file, 20, 20);
    } else {
      vistrel::testing::writeJpeg(file, 20, 20);
    }
    if (!dates.first.empty()) {
      vistrel::testing::writeBytes(file,
                                   vistrel::testing::withSegment(vistrel::testing::readBytes(file),
                                                                 takenSegment(dates.first)));
    }
    setYear(file, dates.second);
  }
  const struct {
    PictureOrder order;
    PageStyle style;
    std::vector<std::string> names;
  } cases[] = {
      {PictureOrder::Name, PageStyle::Classic, {"a.jpg", "b.jpg", "c.jpg", "d.gif"}},
      {PictureOrder::Date, PageStyle::Classic, {"c.jpg", "b.jpg", "a.jpg", "d.gif"}},
      {PictureOrder::DateDescending, PageStyle::Modern, {"d.gif", "a.jpg", "b.jpg", "c.jpg"}},
  };
  for (const auto& c : cases) {
    const CreateReport report = create(folder.path(), c.style, "Pictures", c.order);
    std::vector<std::string> names;
    for (const auto& thumb : report.thumbs) {
      names.push_back(thumb.FileName);
    }
    EXPECT_EQ(names, c.names);
    EXPECT_THAT(folder.read("Thumb001.html"), HasSubstr(c.names[0]));
  }
  // The date taken is the first fact on its picture page.
  EXPECT_THAT(folder.read("a.jpg.html"), HasSubstr("<p class=\"facts\">2024-07-12 18:34:55"));
}

TEST(PictureWords, UnreadableWordsFilesAreWarningsAndThePagesGoWithoutThem) {
  TempFolder folder;
  vistrel::testing::writeJpeg(folder.path() / "a.jpg", 40, 30);
  fs::create_directory(folder.path() / "captions.txt");
  fs::create_directory(folder.path() / kIntroductionFileName);
  const CreateReport report = create(folder.path(), PageStyle::Modern);
  EXPECT_TRUE(report.pagesInPlace);
  ASSERT_EQ(report.problems.size(), 2u) << vistrel::testing::problemFiles(report.problems);
  EXPECT_EQ(report.problems[0].file, "captions.txt");
  EXPECT_EQ(report.problems[1].file, kIntroductionFileName);
  for (const auto& problem : report.problems) {
    EXPECT_TRUE(problem.isWarning());
    EXPECT_EQ(problemReason(problem),
              "it could not be read (Is a directory); the pages were made without it");
  }
}

TEST(PictureWords, TheTitleFallsToTheFolderNameAndTheIntroductionKeepsItsParagraphs) {
  TempFolder temp;
  const fs::path folder = temp.path() / "Summer in Crete";
  fs::create_directory(folder);
  vistrel::testing::writeBytes(folder / kIntroductionFileName,
                               "\xEF\xBB\xBFTwo weeks\r\nin July.\r\n \r\n\r\nThe <b>sea</b>.\n");
  const gallery::GalleryWords words = galleryWords(folder / "", " \t ");
  EXPECT_EQ(words.title, "Summer in Crete");
  EXPECT_EQ(words.introduction,
            (std::vector<std::string>{"Two weeks in July.", "The <b>sea</b>."}));
  EXPECT_EQ(galleryWords(folder, "Crete\x01 ").title, "Crete");
}

}  // namespace
}  // namespace vistrel::run
