// Create again in the same or the other page style: the double-density thumbnails and the style
// sheet follow the rules of every file the program writes.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <map>

#include "browse/folder_read.h"
#include "run/create_run.h"
#include "support/temp_folder.h"
#include "thumbs/sample_pictures.h"

namespace vistrel {
using gallery::TableSettings;
using run::CreateSettings;
using run::runCreate;

using gallery::PageStyle;
using run::CreateReport;
using thumbs::ProblemKind;
namespace {

namespace fs = std::filesystem;
using testing::snapshot;
using testing::TempFolder;

std::vector<std::string> namesWith(const fs::path& folder, std::string_view part) {
  std::vector<std::string> names;
  for (const auto& [name, bytes] : snapshot(folder)) {
    if (name.find(part) != std::string::npos) {
      names.push_back(name);
    }
  }
  return names;
}

int64_t mtimeNs(const fs::path& file) {
  struct stat st {};
  ::stat(file.c_str(), &st);
  return static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

CreateReport create(const fs::path& folder, PageStyle style, int rows = 1, int columns = 2) {
  CreateSettings s;
  s.thumbnails.folder = folder;
  s.thumbnails.pictureNames = browse::readFolder(folder).pictures;
  s.thumbnails.ImageCount = static_cast<int>(s.thumbnails.pictureNames.size());
  s.thumbnails.workers = 2;
  s.table = TableSettings{rows, columns, 2, 2, 2};
  s.openFirstPage = false;
  s.style = style;
  testing::RecordingDisplay display;
  return runCreate(s, display, nullptr);
}

class StyleSwitch : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::writeJpeg(folder.path() / "a.jpg", 400, 300);
    testing::writeJpeg(folder.path() / "b.jpg", 90, 120);
    testing::writeGif(folder.path() / "c.gif", 30, 50);
  }
  // The folder a first run over the same pictures (same times) leaves.
  std::map<std::string, std::string> firstRun(PageStyle style, int rows, int columns) {
    TempFolder fresh;
    for (const char* name : {"a.jpg", "b.jpg", "c.gif"}) {
      fs::copy_file(folder.path() / name, fresh.path() / name);
      fs::last_write_time(fresh.path() / name, fs::last_write_time(folder.path() / name));
    }
    create(fresh.path(), style, rows, columns);
    return snapshot(fresh.path());
  }
  TempFolder folder;
};

TEST_F(StyleSwitch, ModernRerunKeepsBothCopiesAndChangesNothing) {
  const auto first = create(folder.path(), PageStyle::Modern);
  ASSERT_TRUE(first.problems.empty()) << first.problemText();
  EXPECT_EQ(namesWith(folder.path(), "@2x"),
            (std::vector<std::string>{"th_a@2x.jpg", "th_b@2x.jpg", "th_c@2x.jpg"}));
  // Twice the 1x size, and the pictures' sizes reach the captions.
  EXPECT_EQ(testing::readBytes(folder.path() / "th_a@2x.jpg").empty(), false);
  EXPECT_NE(folder.read("Thumb001.html").find("400&#215;300"), std::string::npos);
  const auto before = snapshot(folder.path());
  const auto time2x = mtimeNs(folder.path() / "th_a@2x.jpg");

  const auto second = create(folder.path(), PageStyle::Modern);
  EXPECT_TRUE(second.problems.empty()) << second.problemText();
  EXPECT_EQ(second.thumbnailsMade, 0);
  EXPECT_EQ(second.thumbnailsKept, 3);
  EXPECT_EQ(second.pagesChanged, 0);
  EXPECT_EQ(second.filesRemoved, 0);
  EXPECT_EQ(snapshot(folder.path()), before);
  EXPECT_EQ(mtimeNs(folder.path() / "th_a@2x.jpg"), time2x);

  // A 2x copy cut short is made again, alone.
  const fs::path copy = folder.path() / "th_b@2x.jpg";
  fs::resize_file(copy, before.at("th_b@2x.jpg").size() / 2);
  const auto third = create(folder.path(), PageStyle::Modern);
  EXPECT_TRUE(third.problems.empty()) << third.problemText();
  EXPECT_EQ(third.thumbnailsMade, 1);
  EXPECT_EQ(third.thumbnailsKept, 2);
  EXPECT_EQ(snapshot(folder.path()), before);
}

TEST_F(StyleSwitch, EachStyleRemovesTheOthersExtraFiles) {
  create(folder.path(), PageStyle::Modern, 1, 1);
  ASSERT_TRUE(fs::exists(folder.path() / "Thumb003.html"));

  // Classic, fewer pages: the modern pages are recognised as ours and replaced or removed.
  const auto classic = create(folder.path(), PageStyle::Classic, 1, 2);
  EXPECT_TRUE(classic.problems.empty()) << classic.problemText();
  EXPECT_EQ(classic.thumbnailsKept, 3);
  EXPECT_EQ(classic.filesRemoved, 3 + 1 + 1);  // the 2x copies, vistrel.css, Thumb003.html
  EXPECT_TRUE(namesWith(folder.path(), "@2x").empty());
  EXPECT_FALSE(fs::exists(folder.path() / "vistrel.css"));
  EXPECT_FALSE(fs::exists(folder.path() / "Thumb003.html"));
  // The kept 1x thumbnails are those a classic run makes: the 2x copy changes nothing in them.
  EXPECT_EQ(snapshot(folder.path()), firstRun(PageStyle::Classic, 1, 2));

  // Back to modern: the same gallery as a first modern run.
  const auto modern = create(folder.path(), PageStyle::Modern, 1, 2);
  EXPECT_TRUE(modern.problems.empty()) << modern.problemText();
  EXPECT_EQ(snapshot(folder.path()), firstRun(PageStyle::Modern, 1, 2));
}

TEST_F(StyleSwitch, FilesTheProgramDidNotWriteAreLeftAlone) {
  // A photo of the user's that holds a 2x name (so it is a picture of the gallery), a folder
  // that holds another, and a style sheet of their own.
  testing::writeJpeg(folder.path() / "th_a@2x.jpg", 20, 20);
  const std::string photo = testing::readBytes(folder.path() / "th_a@2x.jpg");
  fs::create_directory(folder.path() / "th_b@2x.jpg");
  folder.write("vistrel.css", "body{color:red}");

  const auto classic = create(folder.path(), PageStyle::Classic);
  EXPECT_TRUE(classic.problems.empty()) << classic.problemText();
  EXPECT_EQ(folder.read("vistrel.css"), "body{color:red}");

  const auto refused = create(folder.path(), PageStyle::Modern);
  ASSERT_EQ(refused.problems.size(), 2u) << refused.problemText();
  EXPECT_EQ(refused.problems[0].file, "b.jpg");
  EXPECT_NE(refused.problems[0].reason.find("th_b@2x.jpg"), std::string::npos);
  EXPECT_EQ(refused.problems[1].file, "vistrel.css");
  EXPECT_EQ(refused.problems[1].kind, ProblemKind::PageNotWritten);
  EXPECT_EQ(folder.read("vistrel.css"), "body{color:red}");
  EXPECT_EQ(folder.read("Thumb001.html").rfind("<html>\r\n", 0), 0u);  // the classic page stays

  fs::remove(folder.path() / "vistrel.css");
  const auto modern = create(folder.path(), PageStyle::Modern);
  ASSERT_EQ(modern.problems.size(), 1u) << modern.problemText();
  // The photo is a picture of the gallery, so a.jpg goes without a 2x copy rather than take it.
  EXPECT_EQ(testing::readBytes(folder.path() / "th_a@2x.jpg"), photo);
  const std::string page = folder.read("Thumb001.html");
  EXPECT_NE(page.find("<img src=\"th_a.jpg\" width="), std::string::npos) << page;
  EXPECT_TRUE(fs::is_directory(folder.path() / "th_b@2x.jpg"));
}

}  // namespace
}  // namespace vistrel
