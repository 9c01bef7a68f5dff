#include "run/create_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

#include "support/read_only_folder.h"
#include "support/temp_folder.h"
#include "thumbs/sample_pictures.h"

namespace vistrel {
using gallery::TableSettings;

using browse::FitSize;
using run::CreateReport;
using run::CreateSettings;
using run::createSettingsProblem;
using run::runCreate;

namespace {

namespace fs = std::filesystem;
using testing::RecordingDisplay;
using testing::TempFolder;

class RecordingShell : public run::Shell {
 public:
  bool openDocument(const fs::path& file) override {
    opened.push_back(file);
    return answer;
  }
  std::vector<fs::path> opened;
  bool answer = true;
};

CreateSettings settingsFor(const fs::path& folder, std::vector<std::string> names) {
  CreateSettings s;
  s.thumbnails.folder = folder;
  s.thumbnails.pictureNames = std::move(names);
  s.thumbnails.ImageCount = static_cast<int16_t>(s.thumbnails.pictureNames.size());
  s.thumbnails.workers = 2;
  s.table = TableSettings{1, 1, 2, 2, 2};
  return s;
}

std::vector<std::string> threePictures(const fs::path& folder) {
  testing::writeJpeg(folder / "a.jpg", 80, 60);
  testing::writeBytes(folder / "b.jpg", "not a picture");
  testing::writeGif(folder / "c.gif", 40, 60);
  return {"a.jpg", "b.jpg", "c.gif"};
}

TEST(CreateRun, RunsTheStepsInOrderAndLeavesBrokenPicturesOutOfThePages) {
  TempFolder folder;
  RecordingDisplay display(5200);
  RecordingShell shell;
  const auto report =
      runCreate(settingsFor(folder.path(), threePictures(folder.path())), display, &shell);

  const std::vector<std::string> expected = {
      "fill 0",
      "show notice",
      "refresh Working...",
      "show track",
      "status Processing images...     (1 of 3)",
      "fill 1733",
      "status Processing images...     (2 of 3)",
      "fill 3466",
      "status Processing images...     (3 of 3)",
      "fill 5199",
      "fill 0",
      "status Writing HMTL Document(s)...     (1 of 2)",
      "fill 2600",  // two pictures have thumbnails: 5200 \ 2 per cell
      "status Writing HMTL Document(s)...     (2 of 2)",
      "fill 5200",
      "hide notice",
      "hide track",
  };
  EXPECT_EQ(display.events, expected);
  EXPECT_FALSE(report.refused);
  ASSERT_EQ(report.problems.size(), 1u);
  EXPECT_EQ(report.problems[0].file, "b.jpg");
  EXPECT_EQ(report.problems[0].kind, thumbs::ProblemKind::PictureUnreadable);
  EXPECT_NE(report.problemText().find("b.jpg: "), std::string::npos);
  EXPECT_EQ(report.pageCount, 2);
  ASSERT_EQ(report.thumbs.size(), 2u);
  EXPECT_EQ(report.thumbs[1].FileName, "c.gif");
  EXPECT_EQ(report.last, (FitSize{100, 150}));
  const auto page1 = testing::readBytes(folder.path() / "Thumb001.html");
  const auto page2 = testing::readBytes(folder.path() / "Thumb002.html");
  EXPECT_NE(page1.find("th_a.jpg"), std::string::npos);
  EXPECT_NE(page2.find("th_c.jpg"), std::string::npos);
  EXPECT_EQ((page1 + page2).find("b.jpg"), std::string::npos);
  EXPECT_FALSE(fs::exists(folder.path() / "Thumb003.html"));
  ASSERT_EQ(shell.opened.size(), 1u);
  EXPECT_EQ(shell.opened[0], folder.path() / "Thumb001.html");
  EXPECT_TRUE(report.firstPageOpened);
}

TEST(CreateRun, OpensTheFirstPageOnlyWhenAskedAndSaysSoWhenNoProgramTakesIt) {
  struct Case {
    bool asked, taken;
    size_t problems;
  };
  for (const Case c : {Case{false, true, 0}, Case{true, false, 1}}) {
    TempFolder folder;
    RecordingDisplay display;
    RecordingShell shell;
    shell.answer = c.taken;
    testing::writeJpeg(folder.path() / "a.jpg", 80, 60);
    auto settings = settingsFor(folder.path(), {"a.jpg"});
    settings.openFirstPage = c.asked;
    const auto report = runCreate(settings, display, &shell);
    EXPECT_TRUE(fs::exists(folder.path() / "Thumb001.html"));
    EXPECT_EQ(shell.opened.size(), c.asked ? 1u : 0u);
    EXPECT_FALSE(report.firstPageOpened);
    ASSERT_EQ(report.problems.size(), c.problems);
    if (c.problems > 0) {
      EXPECT_EQ(report.problems[0].file, "Thumb001.html");
      EXPECT_EQ(report.problems[0].kind, thumbs::ProblemKind::PageNotOpened);
      EXPECT_FALSE(report.problems[0].isFailure());
    }
  }
}

TEST(CreateRun, RefusesAPrefixWithAFolderSeparatorBeforeWritingAnything) {
  TempFolder folder;
  testing::writeJpeg(folder.path() / "a.jpg", 80, 60);
  fs::create_directory(folder.path() / "sub");
  for (const char* prefix : {"sub/", "..\\", "a|b"}) {
    RecordingDisplay display;
    RecordingShell shell;
    auto settings = settingsFor(folder.path(), {"a.jpg"});
    settings.thumbnails.prefix = prefix;
    const auto report = runCreate(settings, display, &shell);
    ASSERT_TRUE(report.refused) << prefix;
    EXPECT_EQ(report.problemText(), *report.refused);
    EXPECT_TRUE(display.events.empty());
    EXPECT_TRUE(shell.opened.empty());
  }
  EXPECT_TRUE(fs::is_empty(folder.path() / "sub"));
  EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 2);
}

TEST(CreateRun, RefusesAFolderThatCannotBeWrittenWithOneMessage) {
  TempFolder folder;
  const auto names = threePictures(folder.path());
  RecordingDisplay display;
  RecordingShell shell;
  CreateReport report;
  {
    testing::ReadOnlyFolder readOnly(folder.path());
    report = runCreate(settingsFor(folder.path(), names), display, &shell);
  }
  ASSERT_TRUE(report.refused);
  EXPECT_EQ(*report.refused,
            "The folder " + folder.path().string() + " cannot be written: Permission denied");
  EXPECT_TRUE(report.problems.empty());
  EXPECT_TRUE(display.events.empty());
  EXPECT_FALSE(fs::exists(folder.path() / "Thumb001.html"));

  auto gone = settingsFor(folder.path() / "gone", names);
  EXPECT_EQ(createSettingsProblem(gone), "The folder " + (folder.path() / "gone").string() +
                                             " cannot be written: No such file or directory");
}

TEST(CreateRun, APageThatCannotBeWrittenIsReportedAndTheDisplayIsHidden) {
  TempFolder folder;
  RecordingDisplay display;
  RecordingShell shell;
  fs::create_directory(folder.path() / "Thumb001.html");
  const auto report =
      runCreate(settingsFor(folder.path(), threePictures(folder.path())), display, &shell);
  ASSERT_EQ(report.problems.size(), 2u);
  EXPECT_EQ(report.problems[1].file, "Thumb001.html");
  EXPECT_FALSE(display.noticeVisible);
  EXPECT_FALSE(display.trackVisible);
  EXPECT_TRUE(shell.opened.empty());  // the first page is not there to open
  EXPECT_TRUE(fs::exists(folder.path() / "th_a.jpg"));
}

// A display that fails in the middle of the run, as a broken window might.
class FailingDisplay : public RecordingDisplay {
 public:
  void setStatus(const common::Status& status) override {
    RecordingDisplay::setStatus(status);
    throw std::runtime_error("display gone");
  }
};

TEST(CreateRun, HidesTheNoticeAndTrackWhenTheRunEndsByAnError) {
  TempFolder folder;
  FailingDisplay display;
  RecordingShell shell;
  EXPECT_THROW(runCreate(settingsFor(folder.path(), threePictures(folder.path())), display, &shell),
               std::runtime_error);
  EXPECT_FALSE(display.noticeVisible);
  EXPECT_FALSE(display.trackVisible);
  EXPECT_TRUE(shell.opened.empty());
  for (const auto& entry : fs::directory_iterator(folder.path())) {
    EXPECT_EQ(entry.path().filename().string().find(".vistrel"), std::string::npos);
  }
}

}  // namespace
}  // namespace vistrel
