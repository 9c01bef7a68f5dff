// The Create run: on a new folder, again on a gallery (also in the other page style), and on
// folders that fight back (special files, pictures swapped during the run, a full disk, two runs).
#include "run/create_run.h"

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <future>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <thread>
#include <tuple>

#include "browse/file_size.h"
#include "browse/folder_read.h"
#include "imaging/record/thumb_record.h"
#include "run/folder_lock.h"
#include "support/read_only_folder.h"
#include "support/sample_pictures.h"
#include "support/temp_folder.h"

namespace vistrel {
using gallery::PageStyle;
using run::CreateReport;
using run::CreateSettings;
using run::FolderLock;
using run::Refusal;
using run::RefusalKind;
using run::runCreate;
using thumbs::ProblemKind;

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::numbered;
using testing::problemFiles;
using testing::readBytes;
using testing::RecordingDisplay;
using testing::snapshot;
using testing::TempFolder;
using testing::writeGif;
using testing::writeJpeg;

class RecordingShell : public run::Shell {
 public:
  bool openDocument(const fs::path& file) override {
    opened.push_back(file);
    return answer;
  }
  std::vector<fs::path> opened;
  bool answer = true;
};

struct Options {
  int rows = 1, columns = 2;
  PageStyle style = PageStyle::Classic;
  gallery::Originals originals = gallery::Originals::Link;
  std::string prefix = "th_";
  int workers = 2;
  bool open = false;               // "Open in Browser"
  std::string title = "Pictures";  // not the temporary folder's name, so runs compare
  browse::PictureOrder order = browse::PictureOrder::Name;
};

CreateSettings settingsFor(const fs::path& folder, std::vector<std::string> names,
                           const Options& o = {}) {
  CreateSettings s;
  s.thumbnails.folder = folder;
  s.thumbnails.pictureNames = std::move(names);
  s.thumbnails.ImageCount = static_cast<int>(s.thumbnails.pictureNames.size());
  s.thumbnails.prefix = o.prefix;
  s.thumbnails.workers = o.workers;
  s.table = gallery::TableSettings{o.rows, o.columns, 2, 2, 2};
  s.style = o.style;
  s.originals = o.originals;
  s.openFirstPage = o.open;
  s.title = o.title;
  s.order = o.order;
  return s;
}

CreateReport create(const CreateSettings& s) {
  RecordingDisplay display;
  return runCreate(s, display, nullptr);
}

// A Create as either front end runs it: the pictures are what the folder lists.
CreateReport create(const fs::path& folder, const Options& o = {}) {
  return create(settingsFor(folder, browse::readFolder(folder).pictures, o));
}

// The counts, and the files removed by name.
std::string counts(const CreateReport& r) {
  auto removed = r.filesRemoved;
  std::sort(removed.begin(), removed.end());
  std::string text = "made " + std::to_string(r.thumbnailsMade) + ", kept " +
                     std::to_string(r.thumbnailsKept) + ", pages changed " +
                     std::to_string(r.pagesChanged) + ", removed";
  for (const auto& name : removed) {
    text += " " + name;
  }
  return text;
}

// The folder a first run over copies of `folder`'s pictures (with their times) leaves.
std::map<std::string, std::string> firstRun(const fs::path& folder, const Options& o) {
  TempFolder fresh;
  for (const auto& name : browse::readFolder(folder).pictures) {
    fs::copy_file(folder / name, fresh.path() / name);
    fs::last_write_time(fresh.path() / name, fs::last_write_time(folder / name));
  }
  create(fresh.path(), o);
  return snapshot(fresh.path());
}

std::vector<std::string> threePictures(const fs::path& folder) {
  writeJpeg(folder / "a.jpg", 80, 60);
  testing::writeBytes(folder / "b.jpg", "not a picture");
  writeGif(folder / "c.gif", 40, 60);
  return {"a.jpg", "b.jpg", "c.gif"};
}

TEST(CreateRun, RunsTheStepsInOrderAndLeavesBrokenPicturesOutOfThePages) {
  TempFolder folder;
  RecordingDisplay display(5200);
  RecordingShell shell;
  const auto report = runCreate(
      settingsFor(folder.path(), threePictures(folder.path()), {.columns = 1, .open = true}),
      display, &shell);

  std::string events;
  for (const auto& event : display.events) {
    events += event + "|";
  }
  // Two pictures have thumbnails: the pages fill by 5200 \ 2 per cell.
  EXPECT_EQ(events,
            "fill 0|show notice|refresh Working...|show track|"
            "status Processing images...     (1 of 3)|fill 1733|"
            "status Processing images...     (2 of 3)|fill 3466|"
            "status Processing images...     (3 of 3)|fill 5199|fill 0|"
            "status Writing HMTL Document(s)...     (1 of 2)|fill 2600|"
            "status Writing HMTL Document(s)...     (2 of 2)|fill 5200|hide notice|hide track|");
  EXPECT_FALSE(report.refused);
  ASSERT_EQ(problemFiles(report.problems), "b.jpg ");
  EXPECT_EQ(report.problems[0].kind, ProblemKind::PictureUnreadable);
  EXPECT_EQ(report.pageCount, 2);
  ASSERT_EQ(report.thumbs.size(), 2u);
  EXPECT_EQ(report.thumbs[1].FileName, "c.gif");
  EXPECT_EQ(report.last, (browse::FitSize{100, 150}));
  const auto page1 = folder.read("Thumb001.html");
  const auto page2 = folder.read("Thumb002.html");
  EXPECT_NE(page1.find("th_a.jpg"), std::string::npos);
  EXPECT_NE(page2.find("th_c.jpg"), std::string::npos);
  EXPECT_EQ((page1 + page2).find("b.jpg"), std::string::npos);
  EXPECT_FALSE(fs::exists(folder.path() / "Thumb003.html"));
  EXPECT_EQ(shell.opened, std::vector<fs::path>{folder.path() / "Thumb001.html"});
  EXPECT_TRUE(report.firstPageOpened);
}

TEST(CreateRun, RefusesAPrefixWithAFolderSeparatorOrAFolderItCannotWriteBeforeWritingAnything) {
  TempFolder folder;
  const auto names = threePictures(folder.path());
  fs::create_directory(folder.path() / "sub");
  const auto before = snapshot(folder.path());
  const Refusal unwritable{RefusalKind::FolderNotWritable, folder.path().string(),
                           std::make_error_code(std::errc::permission_denied)};
  for (const auto& [prefix, readOnly] : {std::pair{"sub/", false}, std::pair{"..\\", false},
                                         std::pair{"a|b", false}, std::pair{"th_", true}}) {
    RecordingDisplay display;
    RecordingShell shell;
    const auto settings = settingsFor(folder.path(), names, {.prefix = prefix, .open = true});
    std::optional<testing::ReadOnlyFolder> unwritableFolder;
    if (readOnly) {
      unwritableFolder.emplace(folder.path());
    }
    const auto report = runCreate(settings, display, &shell);
    unwritableFolder.reset();
    const Refusal badPrefix{RefusalKind::BadPrefix, "", {}, prefix};
    EXPECT_EQ(report.refused, readOnly ? unwritable : badPrefix) << prefix;
    EXPECT_TRUE(report.problems.empty());
    EXPECT_TRUE(display.events.empty());
    EXPECT_TRUE(shell.opened.empty());
  }
  EXPECT_EQ(snapshot(folder.path()), before);
  EXPECT_EQ(run::createSettingsRefusal(settingsFor(folder.path() / "gone", names)),
            (Refusal{RefusalKind::FolderNotWritable, (folder.path() / "gone").string(),
                     std::make_error_code(std::errc::no_such_file_or_directory)}));
}

TEST(CreateRun, APageThatCannotBeWrittenIsReportedAndTheDisplayIsHidden) {
  TempFolder folder;
  RecordingDisplay display;
  RecordingShell shell;
  fs::create_directory(folder.path() / "Thumb001.html");
  const auto report = runCreate(
      settingsFor(folder.path(), threePictures(folder.path()), {.open = true}), display, &shell);
  EXPECT_EQ(problemFiles(report.problems), "b.jpg Thumb001.html ");
  EXPECT_FALSE(display.noticeVisible || display.trackVisible);
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
  EXPECT_THROW(runCreate(settingsFor(folder.path(), threePictures(folder.path()), {.open = true}),
                         display, &shell),
               std::runtime_error);
  EXPECT_FALSE(display.noticeVisible || display.trackVisible);
  EXPECT_TRUE(shell.opened.empty());
  for (const auto& entry : fs::directory_iterator(folder.path())) {
    EXPECT_EQ(entry.path().filename().string().find(".vistrel"), std::string::npos);
  }
}

TEST(Rerun, SecondRunKeepsEverythingAndAChangedFolderMatchesAFirstRun) {
  TempFolder folder;
  const auto& dir = folder.path();
  for (int i = 0; i < 5; ++i) {
    writeJpeg(dir / numbered("p", i), 60 + i, 40);
  }
  // A GIF and a JPEG of one name: the first listed keeps the thumbnail's name, in every run.
  writeGif(dir / "g.gif", 30, 50);
  writeJpeg(dir / "g.jpg", 80, 60);
  const auto first = create(dir);
  EXPECT_EQ(first.thumbnailsMade, 6);
  EXPECT_EQ(problemFiles(first.problems), "g.jpg ");
  const auto before = snapshot(dir);
  // Nothing is written again: the times stay.
  const auto times = [&] {
    return std::pair{fs::last_write_time(dir / "th_p0.jpg"),
                     fs::last_write_time(dir / "Thumb001.html")};
  };
  const auto timesBefore = times();

  const auto second = create(dir);
  EXPECT_EQ(second.problems, first.problems);
  EXPECT_EQ(counts(second), "made 0, kept 6, pages changed 0, removed");
  EXPECT_EQ(second.thumbs, first.thumbs);
  EXPECT_EQ(snapshot(dir), before);
  EXPECT_TRUE(times() == timesBefore);
  EXPECT_EQ(browse::readFolder(dir).pictures.size(), 7u);
  EXPECT_EQ(imaging::readThumbMark(dir / "th_g.jpg", true).record.sourceName, "g.gif");

  // Change a picture (its time moves, as an edit's would), drop one, shrink to one page.
  writeJpeg(dir / "p1.jpg", 90, 20);
  fs::last_write_time(dir / "p1.jpg", fs::last_write_time(dir / "p0.jpg") + 5s);
  fs::remove(dir / "p4.jpg");
  const auto third = create(dir, {.rows = 3, .columns = 3});
  // th_p4.jpg, Thumb002.html and Thumb003.html go.
  EXPECT_EQ(counts(third),
            "made 1, kept 4, pages changed 1, removed Thumb002.html Thumb003.html th_p4.jpg");
  EXPECT_EQ(snapshot(dir), firstRun(dir, {.rows = 3, .columns = 3}));
}

TEST(Rerun, NewPrefixRemovesTheOldThumbnailsWhichNeverBecomePictures) {
  TempFolder folder;
  for (const char* name : {"p0.jpg", "p1.jpg", "p2.jpg"}) {
    writeJpeg(folder.path() / name, 60, 40);
  }
  create(folder.path());
  folder.write("th_notes.jpg", "mine");  // merely looks like a thumbnail
  const auto report = create(folder.path(), {.prefix = "small-"});
  EXPECT_EQ(counts(report),
            "made 3, kept 0, pages changed 2, removed th_p0.jpg th_p1.jpg th_p2.jpg");
  EXPECT_FALSE(fs::exists(folder.path() / "th_p0.jpg"));
  EXPECT_EQ(folder.read("th_notes.jpg"), "mine");
  EXPECT_EQ(create(folder.path(), {.prefix = "small-"}).thumbnailsKept, 3);
  for (const auto& entry : fs::directory_iterator(folder.path())) {
    EXPECT_EQ(entry.path().filename().string().find("small-small-"), std::string::npos);
  }
}

TEST(Rerun, FilesTheProgramDidNotWriteAreNeverReplaced) {
  TempFolder folder;
  writeJpeg(folder.path() / "beach.jpg", 80, 60);
  writeJpeg(folder.path() / "th_beach.jpg", 70, 50);  // the user's own photo
  folder.write("Thumb002.html", "<html>my own page</html>");
  const auto userPhoto = folder.read("th_beach.jpg");

  const auto report = create(folder.path(), {.columns = 1});
  // Both are pictures; beach.jpg's thumbnail name is taken, th_beach.jpg gets th_th_beach.jpg.
  ASSERT_EQ(report.thumbs.size(), 1u);
  EXPECT_EQ(report.thumbs[0].FileName, "th_beach.jpg");
  ASSERT_EQ(problemFiles(report.problems), "beach.jpg ");
  EXPECT_EQ(report.problems[0].cause, thumbs::Cause::TakenByOther);
  EXPECT_EQ(report.problems[0].other, "th_beach.jpg");
  EXPECT_EQ(folder.read("th_beach.jpg"), userPhoto);

  // A second picture needs a second page, but Thumb002.html is not ours: no page changes.
  writeJpeg(folder.path() / "sea.jpg", 50, 50);
  const auto before = snapshot(folder.path());
  const auto blocked = create(folder.path(), {.columns = 1});
  EXPECT_FALSE(blocked.pagesInPlace);
  EXPECT_EQ(blocked.problems.back().kind, ProblemKind::PageNotWritten);
  EXPECT_EQ(blocked.problems.back().file, "Thumb002.html");
  EXPECT_EQ(folder.read("Thumb002.html"), "<html>my own page</html>");
  EXPECT_EQ(folder.read("Thumb001.html"), before.at("Thumb001.html"));
}

TEST(Rerun, ACutThumbnailIsMadeAgainKeepingItsPermissions) {
  TempFolder folder;
  writeJpeg(folder.path() / "p0.jpg", 60, 40);
  create(folder.path());
  fs::permissions(folder.path() / "th_p0.jpg", fs::perms(0604));
  const auto good = snapshot(folder.path());
  folder.write("th_p0.jpg", good.at("th_p0.jpg").substr(0, good.at("th_p0.jpg").size() / 2));

  const auto report = create(folder.path());
  EXPECT_TRUE(report.problems.empty());
  EXPECT_EQ(report.thumbnailsMade, 1);
  EXPECT_EQ(snapshot(folder.path()), good);
  EXPECT_EQ(fs::status(folder.path() / "th_p0.jpg").permissions(), fs::perms(0604));
  // So is one whose picture has a new time but the same bytes.
  const fs::path picture = folder.path() / "p0.jpg";
  fs::last_write_time(picture, fs::last_write_time(picture) + 3s);
  EXPECT_EQ(create(folder.path()).thumbnailsMade, 1);
  EXPECT_EQ(fs::status(folder.path() / "th_p0.jpg").permissions(), fs::perms(0604));
}

// A file is ours only with a whole record at a name a run writes for the record's picture:
// copies of thumbnails and files that merely carry our signature are the user's pictures, never
// removed or replaced.
TEST(Rerun, OnlyAWholeRecordAtItsOwnNameMakesAFileOurs) {
  TempFolder folder;
  const fs::path& dir = folder.path();
  writeJpeg(dir / "a.jpg", 60, 40);
  writeJpeg(dir / "b.jpg", 61, 40);
  create(dir);
  const std::string thumb = folder.read("th_a.jpg");
  const size_t at = thumb.find(std::string("VistrelThumb\0", 13));
  ASSERT_NE(at, std::string::npos);
  std::string altered = thumb;
  altered[at + 13 + 15] ^= 1;
  // Our signature alone in front of a photo of the user's.
  std::string signatureOnly = thumb.substr(0, at + 13) + std::string(40, 'x');
  signatureOnly[at - 1] = static_cast<char>(13 + 40 + 2);
  signatureOnly[at - 2] = 0;
  signatureOnly += thumb.substr(thumb.find("\xFF\xDB"));
  folder.write("a-small.jpg", thumb);  // a copy under a name of the user's
  folder.write("holiday.jpg", signatureOnly);
  folder.write("th_b.jpg", altered);  // at a thumbnail's name, but its record is broken
  const auto user = snapshot(dir);

  const auto report = create(dir);
  EXPECT_EQ(problemFiles(report.problems), "b.jpg ");
  EXPECT_EQ(report.problems[0].kind, ProblemKind::NameTaken);
  EXPECT_TRUE(report.filesRemoved.empty());
  for (const char* name : {"a-small.jpg", "holiday.jpg", "th_b.jpg"}) {
    EXPECT_EQ(folder.read(name), user.at(name)) << name;
  }
  EXPECT_EQ(browse::readFolder(dir).pictures,
            (std::vector<std::string>{"a-small.jpg", "a.jpg", "b.jpg", "holiday.jpg", "th_b.jpg"}));
  EXPECT_TRUE(fs::exists(dir / "th_a-small.jpg"));
  EXPECT_TRUE(fs::exists(dir / "th_holiday.jpg"));
}

// Create again in the same or the other page style: the double-density thumbnails and the style
// sheet follow the rules of every file the program writes.
class StyleSwitch : public ::testing::Test {
 protected:
  void SetUp() override {
    writeJpeg(dir / "a.jpg", 400, 300);
    writeJpeg(dir / "b.jpg", 90, 120);
    writeGif(dir / "c.gif", 30, 50);
  }
  std::vector<std::string> namesWith(std::string_view part) const {
    std::vector<std::string> names;
    for (const auto& [name, bytes] : snapshot(dir)) {
      if (name.find(part) != std::string::npos) {
        names.push_back(name);
      }
    }
    return names;
  }
  TempFolder folder;
  const fs::path& dir = folder.path();
  const Options modern{.style = PageStyle::Modern};
};

TEST_F(StyleSwitch, AModernRerunKeepsBothCopiesAndEachStyleRemovesTheOthersExtraFiles) {
  const Options modern1x1{.columns = 1, .style = PageStyle::Modern};
  const auto first = create(dir, modern1x1);
  ASSERT_TRUE(first.problems.empty()) << problemFiles(first.problems);
  EXPECT_EQ(namesWith("@2x"),
            (std::vector<std::string>{"th_a@2x.jpg", "th_b@2x.jpg", "th_c@2x.jpg"}));
  // The pictures' sizes reach the captions.
  EXPECT_NE(folder.read("Thumb001.html").find("400&#215;300"), std::string::npos);
  const auto before = snapshot(dir);
  const auto time2x = fs::last_write_time(dir / "th_a@2x.jpg");

  const auto second = create(dir, modern1x1);
  EXPECT_TRUE(second.problems.empty()) << problemFiles(second.problems);
  EXPECT_EQ(counts(second), "made 0, kept 3, pages changed 0, removed");
  EXPECT_EQ(snapshot(dir), before);
  EXPECT_EQ(fs::last_write_time(dir / "th_a@2x.jpg"), time2x);

  // A 2x copy cut short is made again, alone.
  fs::resize_file(dir / "th_b@2x.jpg", before.at("th_b@2x.jpg").size() / 2);
  const auto third = create(dir, modern1x1);
  EXPECT_TRUE(third.problems.empty()) << problemFiles(third.problems);
  EXPECT_EQ(counts(third), "made 1, kept 2, pages changed 0, removed");
  EXPECT_EQ(snapshot(dir), before);

  // Classic, fewer pages: the modern pages are recognised as ours and replaced or removed.
  const auto classic = create(dir);
  EXPECT_TRUE(classic.problems.empty()) << problemFiles(classic.problems);
  // The 2x copies, the display copies, the picture pages, vistrel.css, vistrel.js and
  // Thumb003.html go.
  EXPECT_EQ(counts(classic),
            "made 0, kept 3, pages changed 2, removed Thumb003.html a.jpg.html b.jpg.html "
            "c.gif.html th_a@2x.jpg th_a@view.jpg th_b@2x.jpg th_b@view.jpg th_c@2x.jpg "
            "th_c@view.jpg vistrel.css vistrel.js");
  EXPECT_TRUE(namesWith("@2x").empty());
  EXPECT_FALSE(fs::exists(dir / "vistrel.css"));
  // The kept 1x thumbnails are those a classic run makes: the 2x copy changes nothing in them.
  EXPECT_EQ(snapshot(dir), firstRun(dir, {}));

  const auto back = create(dir, modern);
  EXPECT_TRUE(back.problems.empty()) << problemFiles(back.problems);
  EXPECT_EQ(snapshot(dir), firstRun(dir, modern));
}

TEST_F(StyleSwitch, WithoutOriginalsNoPageLinksOne) {
  const auto run = create(dir, {.style = PageStyle::Modern, .originals = gallery::Originals::None});
  EXPECT_TRUE(run.problems.empty()) << problemFiles(run.problems);
  for (const auto& [name, text] : snapshot(dir)) {
    for (const char* original : {"a.jpg", "b.jpg", "c.gif"}) {
      EXPECT_EQ(text.find("href=\"" + std::string(original) + "\""), std::string::npos) << name;
    }
  }
  EXPECT_NE(folder.read("a.jpg.html").find("<img src=\"th_a@view.jpg\""), std::string::npos);
}

TEST_F(StyleSwitch, FilesTheProgramDidNotWriteAreLeftAlone) {
  // A photo of the user's that holds a 2x name (so it is a picture of the gallery), a folder
  // that holds another, and a style sheet of their own.
  writeJpeg(dir / "th_a@2x.jpg", 20, 20);
  const std::string photo = readBytes(dir / "th_a@2x.jpg");
  fs::create_directory(dir / "th_b@2x.jpg");
  folder.write("vistrel.css", "body{color:red}");

  const auto classic = create(dir);
  EXPECT_TRUE(classic.problems.empty()) << problemFiles(classic.problems);
  EXPECT_EQ(folder.read("vistrel.css"), "body{color:red}");

  const auto refused = create(dir, modern);
  ASSERT_EQ(problemFiles(refused.problems), "b.jpg vistrel.css ") << problemFiles(refused.problems);
  EXPECT_EQ(refused.problems[0].other, "th_b@2x.jpg");
  EXPECT_EQ(refused.problems[1].kind, ProblemKind::PageNotWritten);
  EXPECT_EQ(folder.read("vistrel.css"), "body{color:red}");
  EXPECT_EQ(folder.read("Thumb001.html").rfind("<html>\r\n", 0), 0u);  // the classic page stays

  fs::remove(dir / "vistrel.css");
  const auto again = create(dir, modern);
  ASSERT_EQ(problemFiles(again.problems), "b.jpg ") << problemFiles(again.problems);
  // The photo is a picture of the gallery, so a.jpg goes without a 2x copy rather than take it.
  EXPECT_EQ(readBytes(dir / "th_a@2x.jpg"), photo);
  EXPECT_NE(folder.read("Thumb001.html").find("<img src=\"th_a.jpg\" width="), std::string::npos);
  EXPECT_TRUE(fs::is_directory(dir / "th_b@2x.jpg"));
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

void makeFifo(const fs::path& file) {
  ASSERT_EQ(::mkfifo(file.c_str(), 0644), 0);
}

TEST(HostileFolder, SpecialFilesAreSkippedWithAReasonAndNeverBlock) {
  TempFolder folder;
  const auto& dir = folder.path();
  writeJpeg(dir / "a.jpg", 80, 60);
  writeJpeg(dir / "swapped.jpg", 80, 60);
  makeFifo(dir / "fifo.jpg");
  fs::create_directory(dir / "folder.jpg");

  // The folder lists only the two regular pictures; a list taken earlier still names the rest,
  // and swapped.jpg becomes a FIFO after the run has looked at it.
  EXPECT_EQ(browse::readFolder(dir).pictures, (std::vector<std::string>{"a.jpg", "swapped.jpg"}));
  auto s = settingsFor(dir, {"a.jpg", "fifo.jpg", "folder.jpg", "swapped.jpg"});
  s.thumbnails.afterPlanning = [&] {
    fs::remove(dir / "swapped.jpg");
    makeFifo(dir / "swapped.jpg");
  };
  const auto report = withinSeconds(30, [&] { return create(s); });
  ASSERT_EQ(report.thumbs.size(), 1u);
  EXPECT_EQ(problemFiles(report.problems), "fifo.jpg folder.jpg swapped.jpg ");
  for (const auto& problem : report.problems) {
    EXPECT_EQ(problem.kind, ProblemKind::PictureUnreadable);
  }
  // The loader tells of the swapped one in its own words.
  EXPECT_EQ(report.problems[0].cause, thumbs::Cause::NotRegularFile);
  EXPECT_EQ(report.problems[1].cause, thumbs::Cause::NotRegularFile);
}

TEST(HostileFolder, APictureSwappedDuringTheRunIsDescribedByTheFileThatWasRead) {
  TempFolder folder;
  writeJpeg(folder.path() / "a.jpg", 80, 60);
  auto s = settingsFor(folder.path(), {"a.jpg"});
  s.thumbnails.afterPlanning = [&] {
    writeJpeg(folder.path() / "next.jpg", 300, 30);
    fs::rename(folder.path() / "next.jpg", folder.path() / "a.jpg");
  };
  const auto report = create(s);
  ASSERT_EQ(report.thumbs.size(), 1u);
  const auto size = fs::file_size(folder.path() / "a.jpg");
  EXPECT_EQ(report.thumbs[0].FileSize, browse::FormatFileSize(static_cast<long long>(size)));
  EXPECT_EQ(report.thumbs[0].Height, 15);  // the wide picture's thumbnail
  EXPECT_EQ(imaging::readThumbMark(folder.path() / "th_a.jpg", true).record.sourceSize, size);
  // So the next run finds it up to date.
  EXPECT_EQ(create(settingsFor(folder.path(), {"a.jpg"})).thumbnailsKept, 1);
}

TEST(HostileFolder, OneMemoryBudgetHoldsForAllWorkers) {
  TempFolder folder;
  std::vector<std::string> names;
  for (int i = 0; i < 6; ++i) {
    names.push_back(numbered("big", i, ".gif"));
    writeGif(folder.path() / names.back(), 400, 400);  // 1.76 MB to decode
  }
  names.push_back("huge.gif");
  writeGif(folder.path() / "huge.gif", 1000, 1000);  // 11 MB to decode
  auto s = settingsFor(folder.path(), names, {.workers = 4});
  const int64_t budget = 3 << 20;  // room for one of the big ones at a time
  s.thumbnails.memoryBudget = budget;
  RecordingDisplay display;
  const auto batch = thumbs::MakeThumbnails(s.thumbnails, display);
  EXPECT_EQ(batch.thumbs.size(), 6u);
  EXPECT_GT(batch.memoryPeak, int64_t{400 * 400 * 11});
  EXPECT_LE(batch.memoryPeak, budget);
  ASSERT_EQ(batch.problems.size(), 1u);
  EXPECT_EQ(batch.problems[0].file, "huge.gif");
  // Memory the run cannot grant says nothing of the picture.
  EXPECT_EQ(batch.problems[0].kind, ProblemKind::ThumbnailNotWritten);
}

TEST(FullDisk, TheOldGalleryStaysWholeWhenTheDiskFillsDuringThumbnailsOrPages) {
  // A small file system of its own, where filling the disk hurts nobody.
  TempFolder temp;
  const fs::path& dir = temp.path();
  if (::mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=4m") != 0) {
    GTEST_SKIP() << "cannot mount a tmpfs here";
  }
  const std::shared_ptr<void> unmount(nullptr, [&](void*) { ::umount(dir.c_str()); });
  std::vector<std::string> names;
  for (int i = 0; i < 11; ++i) {
    names.push_back(numbered("p", i));
    writeJpeg(dir / names.back(), 120 + i, 90);
  }
  ASSERT_TRUE(create(settingsFor(dir, names, {.rows = 2})).problems.empty());
  const auto before = snapshot(dir);
  // At another quality every thumbnail is made again; at the same, they are kept and the disk
  // has room for a page or two of the eleven a 1 x 1 table needs.
  for (const auto& [spare, quality, kind] : {std::tuple{0, 90, ProblemKind::ThumbnailNotWritten},
                                             std::tuple{8192, 65, ProblemKind::PageNotWritten}}) {
    const fs::path filler = dir / ".filler";
    {
      std::ofstream out(filler, std::ios::binary);
      const std::string block(4096, 'x');
      while (out.write(block.data(), block.size())) {
      }
    }
    fs::resize_file(filler, fs::file_size(filler) - spare);
    auto s = settingsFor(dir, names, {.columns = 1});
    s.thumbnails.quality = quality;
    const auto report = create(s);
    EXPECT_FALSE(report.pagesInPlace);
    const auto problem = std::find_if(report.problems.begin(), report.problems.end(),
                                      [&](const auto& p) { return p.kind == kind; });
    ASSERT_NE(problem, report.problems.end()) << problemFiles(report.problems);
    EXPECT_EQ(problem->error, std::errc::no_space_on_device);
    fs::remove(filler);
    EXPECT_EQ(snapshot(dir), before);
  }
}

TEST(TwoRuns, TheSecondWaitsThenRefusesAndTheGalleryStaysWhole) {
  TempFolder folder;
  writeJpeg(folder.path() / "a.jpg", 80, 60);
  std::optional<FolderLock> other(std::in_place);
  std::error_code error;
  ASSERT_EQ(other->take(folder.path(), 0ms, {}, error), FolderLock::Outcome::Taken);

  auto s = settingsFor(folder.path(), {"a.jpg"});
  s.lockWait = 300ms;
  RecordingDisplay display;
  const auto refused = runCreate(s, display, nullptr);
  EXPECT_EQ(refused.refused, (run::Refusal{RefusalKind::FolderBusy, folder.path().string()}));
  EXPECT_EQ(display.events.front(), "status Waiting for another Create in this folder to end...");
  EXPECT_FALSE(display.noticeVisible);
  EXPECT_FALSE(fs::exists(folder.path() / "Thumb001.html"));

  // Ctrl-C while waiting ends the wait.
  common::StopRequest stop;
  stop.request(SIGINT);
  s.thumbnails.stop = &stop;
  s.lockWait = 60s;
  EXPECT_TRUE(create(s).stopped);
  s.thumbnails.stop = nullptr;

  // A lock file whose holder has gone (a crashed run) does not block.
  other.reset();
  folder.write(FolderLock::olderFileName(), "");
  const auto report = create(s);
  EXPECT_FALSE(report.refused);
  EXPECT_TRUE(report.pagesInPlace);
  EXPECT_FALSE(fs::exists(folder.path() / FolderLock::olderFileName()));
}

TEST(KilledRun, ItsTemporariesAreRemovedByTheNextRunAndNothingElse) {
  TempFolder folder;
  writeJpeg(folder.path() / "a.jpg", 80, 60);
  const pid_t dead = fork();
  if (dead == 0) {
    _exit(0);
  }
  ASSERT_GT(dead, 0);
  ASSERT_EQ(waitpid(dead, nullptr, 0), dead);
  const std::string gone = std::to_string(dead);
  const std::string live = std::to_string(getppid());
  const std::map<std::string, bool> removed = {
      {".vistrel-thumb-" + gone + "-3.tmp", true},
      {".vistrel-thumb-" + gone + "-3-2x.tmp", true},
      {"..vistrel-thumb-" + gone + "-3.tmp." + gone + ".0.tmp", true},
      {".Thumb001.html." + gone + ".1.tmp", true},
      {".vistrel.css." + gone + ".12.tmp", true},
      {".vistrel.js." + gone + ".13.tmp", true},
      {".b.jpg.html." + gone + ".14.tmp", true},
      {".b.png.html." + gone + ".15.tmp", false},
      {".vistrel-thumb-" + live + "-3.tmp", false},
      {".Thumb001.html." + live + ".1.tmp", false},
      {".vistrel-thumb-0" + gone + "-3.tmp", false},
      {".vistrel-thumb-" + gone + "-3.tmp.bak", false},
      {".Thumb01.html." + gone + ".1.tmp", false},
      {".notes.txt." + gone + ".1.tmp", false},
      {"..vistrel-thumb-" + live + "-3.tmp." + gone + ".0.tmp", false},
  };
  std::vector<std::string> expected;
  for (const auto& [name, stale] : removed) {
    folder.write(name, "x");
    if (stale) {
      expected.push_back(name);
    }
  }
  auto report = create(settingsFor(folder.path(), {"a.jpg"}));
  std::sort(report.temporariesRemoved.begin(), report.temporariesRemoved.end());
  EXPECT_EQ(report.temporariesRemoved, expected);
  for (const auto& [name, stale] : removed) {
    EXPECT_NE(fs::exists(folder.path() / name), stale) << name;
  }
}

}  // namespace
}  // namespace vistrel
