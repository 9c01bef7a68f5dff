// vistrel-batch run as the built program, the way scripts run it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QImageReader>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStyle>
#include <QStyleFactory>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "app/form1.h"
#include "app/form1_test_support.h"
#include "cli/batch_options.h"
#include "common/twips.h"
#include "common/version.h"
#include "imaging/gif_writer.h"
#include "run/create_run.h"
#include "run/folder_lock.h"
#include "support/temp_folder.h"

namespace vistrel::cli {
using common::kVersion;
using gallery::pageName;
using gallery::TableSettings;
using run::FolderLock;

namespace {

namespace fs = std::filesystem;
using testing::snapshot;
using testing::TempFolder;

const std::string kBinary = VISTREL_BINARY_DIR;

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

Outcome runProgram(const std::string& program, const std::vector<std::string>& args,
                   const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
  QProcess process;
  process.setProcessEnvironment(env);
  QStringList list;
  for (const auto& a : args) {
    list << QString::fromStdString(a);
  }
  process.start(QString::fromStdString(kBinary + "/" + program), list);
  EXPECT_TRUE(process.waitForFinished(120000)) << program;
  Outcome outcome;
  outcome.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  outcome.out = process.readAllStandardOutput().toStdString();
  outcome.err = process.readAllStandardError().toStdString();
  return outcome;
}

Outcome batch(const std::vector<std::string>& args) {
  return runProgram("vistrel-batch", args);
}

// The twelve sample pictures (JPEGs and GIFs of varied sizes and proportions).
void makeSamples(const fs::path& folder) {
  const Outcome made = runProgram("make-samples", {folder.string()});
  ASSERT_EQ(made.status, 0) << made.err;
}

std::string readFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    result.push_back(line);
  }
  return result;
}

// A copy of the pictures with their modification times, which every thumbnail records.
void copyWithTimes(const fs::path& from, const fs::path& to) {
  fs::copy(from, to);
  for (const auto& entry : fs::directory_iterator(from)) {
    fs::last_write_time(to / entry.path().filename(), entry.last_write_time());
  }
}

const QRegularExpression kSummary(
    "^vistrel-batch: (\\d+) thumbnails? made, \\d+ kept, (\\d+) pages? written, \\d+ files? "
    "removed, \\d+\\.\\d\\d seconds, \\d+\\.\\d pictures per second$");

// The thumbnails made and pages written that the summary line reports.
std::pair<int, int> summaryCounts(const std::string& line) {
  const auto match = kSummary.match(QString::fromStdString(line));
  EXPECT_TRUE(match.hasMatch()) << line;
  return {match.captured(1).toInt(), match.captured(2).toInt()};
}

// The window's Create over `folder`: the window opened on it at 96 DPI, its Properties panel
// set as given, "Open in Browser" off, the Create button clicked. Returns the messages the
// window showed.
QStringList windowCreate(const fs::path& folder, int maxWidth, int maxHeight, int quality,
                         const std::string& prefix, TableSettings table) {
  common::pinTwipsPerPixel(15);
  app::RecordingShell shell;
  app::Form1 window(folder, &shell);
  const app::testing::Form1Access ui(window);
  QStringList messages;
  window.setMessageBox(
      [&](const QString&, const QString& text, const QString&) { messages << text; });
  ui.cmdFrames[1]->click();
  ui.scrThumbnail[0]->setValue(maxWidth);
  ui.scrThumbnail[1]->setValue(maxHeight);
  ui.cmbQuality->setCurrentText(QString::number(quality));
  ui.txtPrefix->setText(QString::fromStdString(prefix));
  const int values[] = {table.Rows, table.Columns, table.BorderSize, table.CellPadding,
                        table.CellSpacing};
  for (int i = 0; i < 5; ++i) {
    ui.scrTable[i]->setValue(values[i]);
  }
  ui.chkHTML->setChecked(false);
  ui.cmdCreate->click();
  common::pinTwipsPerPixel(0);
  EXPECT_TRUE(shell.opened.isEmpty());
  return messages;
}

class BatchProgram : public ::testing::Test {
 protected:
  void SetUp() override { makeSamples(temp.path() / "pics"); }
  fs::path pics() const { return temp.path() / "pics"; }
  TempFolder temp;
};

TEST_F(BatchProgram, WritesExactlyWhatTheWindowsCreateWritesWithDefaults) {
  const fs::path window = temp.path() / "window";
  copyWithTimes(pics(), window);
  const Outcome run = batch({pics().string()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "");
  // Standard error is no terminal here: no progress line, the summary alone.
  ASSERT_EQ(lines(run.err).size(), 1u) << run.err;
  EXPECT_EQ(summaryCounts(run.err), std::make_pair(12, 12));
  const QStringList messages = windowCreate(window, 150, 150, 65, "th_", TableSettings{});
  ASSERT_TRUE(messages.isEmpty()) << messages.join("\n").toStdString();
  const auto batchFiles = snapshot(pics());
  EXPECT_EQ(batchFiles.size(), 12u + 12u + 12u);
  EXPECT_TRUE(batchFiles == snapshot(window));

  // Again, each front end over the other's gallery: everything is kept, nothing changes.
  const Outcome again = batch({window.string()});
  ASSERT_EQ(again.status, 0) << again.err;
  EXPECT_NE(again.err.find(": 0 thumbnails made, 12 kept, 0 pages written, 0 files removed"),
            std::string::npos)
      << again.err;
  EXPECT_TRUE(windowCreate(pics(), 150, 150, 65, "th_", TableSettings{}).isEmpty());
  EXPECT_TRUE(snapshot(pics()) == batchFiles);
  EXPECT_TRUE(snapshot(window) == batchFiles);
}

// Names that are not UTF-8, and transparent GIF pixels, which are laid on the window's
// background: the command line, which has no window, must lay them on the same colour.
TEST_F(BatchProgram, OddNamesAndTransparencyGiveTheSameFilesAsTheWindow) {
  // The helper passes arguments through QString, so only the window's folder name is Latin-1.
  const fs::path batchFolder = temp.path() / "batch";
  const fs::path windowFolder = temp.path() / "window \xE9t\xE9";
  fs::create_directory(batchFolder);
  fs::copy_file(pics() / "Dunes (2).jpg", batchFolder / "caf\xE9.jpg");
  fs::copy_file(pics() / "Dunes (2).jpg", batchFolder / " lead.jpg");
  fs::copy_file(pics() / "Dunes (2).jpg", batchFolder / "back\\slash.jpg");
  fs::copy_file(pics() / "Glacier.gif", batchFolder / "x\xFF.gif");
  imaging::Picture picture;
  picture.width = 64;
  picture.height = 48;
  picture.stride = 3 * picture.width;
  picture.bgr.assign(static_cast<size_t>(picture.stride) * picture.height, 0);
  for (int y = 0; y < picture.height; ++y) {
    for (int x = 0; x < picture.width; ++x) {
      picture.row(y)[3 * x + (x < 32 ? 2 : 1)] = 255;  // red left, the transparent green right
    }
  }
  imaging::GifOptions options;
  options.transparent = true;
  options.transparentG = 255;
  ASSERT_TRUE(imaging::writeGifFile(picture, (batchFolder / "see-through.gif").string(), options));
  // Thumbnails record their picture's time: the two copies must have the same.
  copyWithTimes(batchFolder, windowFolder);

  const Outcome run = batch({batchFolder.string()});
  ASSERT_EQ(run.status, 0) << run.err;
  // The window's look, as the vistrel program sets it up.
  const QPalette before = QApplication::palette();
  QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
  QApplication::setPalette(QApplication::style()->standardPalette());
  const QStringList messages = windowCreate(windowFolder, 150, 150, 65, "th_", TableSettings{});
  QApplication::setPalette(before);
  ASSERT_TRUE(messages.isEmpty()) << messages.join("\n").toStdString();
  const auto batchFiles = snapshot(batchFolder);
  EXPECT_EQ(batchFiles.size(), 5u + 5u + 5u);
  EXPECT_TRUE(batchFiles.count("th_caf\xE9.jpg") == 1 && batchFiles.count("th_x\xFF.jpg") == 1);
  EXPECT_TRUE(batchFiles == snapshot(windowFolder));
}

TEST_F(BatchProgram, EveryOptionReachesTheOutputAsInTheWindow) {
  const fs::path window = temp.path() / "window";
  copyWithTimes(pics(), window);
  const Outcome run = batch({"--max-width", "80", "--max-height=60", "--quality", "90", "--prefix",
                             "sm-", "--rows", "2", "--columns=3", "--border", "0", "--padding", "5",
                             "--spacing", "7", pics().string()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(summaryCounts(lines(run.err).back()), std::make_pair(12, 2));
  const QStringList messages = windowCreate(window, 80, 60, 90, "sm-", {2, 3, 0, 5, 7});
  ASSERT_TRUE(messages.isEmpty()) << messages.join("\n").toStdString();

  const auto batchFiles = snapshot(pics());
  const auto windowFiles = snapshot(window);
  ASSERT_EQ(batchFiles.size(), windowFiles.size());
  for (const auto& [name, bytes] : batchFiles) {
    ASSERT_TRUE(windowFiles.count(name)) << name;
    EXPECT_TRUE(windowFiles.at(name) == bytes) << name << " differs";
  }
  // And the options did something: 6 cells a page, the new table numbers, the new prefix and
  // box, and a quality that is not the default's.
  EXPECT_TRUE(fs::exists(pics() / "Thumb002.html"));
  EXPECT_FALSE(fs::exists(pics() / "Thumb003.html"));
  const std::string page = readFile(pics() / "Thumb001.html");
  EXPECT_NE(page.find("<TABLE BORDER=\"0\" CELLPADDING=\"5\" CELLSPACING=\"7\">"),
            std::string::npos);
  const QSize size =
      QImageReader(QString::fromStdString((pics() / "sm-Meadow.jpg").string())).size();
  EXPECT_TRUE(size.width() <= 80 && size.height() <= 60 &&
              (size.width() == 80 || size.height() == 60))
      << size.width() << "x" << size.height();
  const fs::path atDefault = temp.path() / "default";
  fs::create_directory(atDefault);
  fs::copy(pics() / "Meadow.jpg", atDefault);
  ASSERT_EQ(batch({"--max-width", "80", "--max-height=60", atDefault.string()}).status, 0);
  EXPECT_NE(readFile(atDefault / "th_Meadow.jpg"), readFile(pics() / "sm-Meadow.jpg"));
}

// A stand-in for xdg-open that records what it was asked to open.
QProcessEnvironment withRecordingOpener(const fs::path& folder) {
  const fs::path bin = folder / "bin";
  fs::create_directories(bin);
  const fs::path opener = bin / "xdg-open";
  std::ofstream(opener) << "#!/bin/sh\nprintf '%s\\n' \"$@\" >> \"" << (folder / "opened").string()
                        << "\"\n";
  fs::permissions(opener, fs::perms::owner_all);
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("PATH", QString::fromStdString(bin.string()) + ":" + env.value("PATH"));
  return env;
}

TEST_F(BatchProgram, OpenHandsTheFirstPageToTheDesktopAndOnlyWhenAsked) {
  const QProcessEnvironment env = withRecordingOpener(temp.path());
  Outcome run = runProgram("vistrel-batch", {pics().string()}, env);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_FALSE(fs::exists(temp.path() / "opened"));

  // A relative FOLDER still hands over the page's full path.
  QProcess relative;
  relative.setProcessEnvironment(env);
  relative.setWorkingDirectory(QString::fromStdString(temp.path().string()));
  relative.start(QString::fromStdString(kBinary + "/vistrel-batch"), {"--open", "pics"});
  ASSERT_TRUE(relative.waitForFinished(60000));
  run.status = relative.exitCode();
  run.err = relative.readAllStandardError().toStdString();
  ASSERT_EQ(run.status, 0) << run.err;
  // The opener runs detached; give it a moment to write.
  for (int i = 0; i < 100 && readFile(temp.path() / "opened").empty(); ++i) {
    usleep(50000);
  }
  EXPECT_EQ(readFile(temp.path() / "opened"), (pics() / "Thumb001.html").string() + "\n");
}

TEST_F(BatchProgram, APageNoProgramCouldOpenIsToldButIsNoFailure) {
  const fs::path nothing = temp.path() / "no-programs";
  fs::create_directory(nothing);
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("PATH", QString::fromStdString(nothing.string()));
  const Outcome run = runProgram("vistrel-batch", {"--open", pics().string()}, env);
  EXPECT_EQ(run.status, 0) << run.err;
  const auto errLines = lines(run.err);
  ASSERT_EQ(errLines.size(), 2u) << run.err;
  EXPECT_EQ(errLines[0],
            "vistrel-batch: Thumb001.html: no program could be started to show the page");
  EXPECT_EQ(summaryCounts(errLines[1]), std::make_pair(12, 12));
}

TEST(BatchProgramInfo, HelpAndVersionGoToStandardOutput) {
  const Outcome help = batch({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Usage: vistrel-batch [options] FOLDER\n", 0), 0u) << help.out;
  EXPECT_EQ(help.err, "");
  const Outcome version = batch({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, std::string("vistrel-batch ") + kVersion + "\n");
}

TEST_F(BatchProgram, BadInputIsOneLineWithStatus2AndNothingWritten) {
  fs::create_directory(temp.path() / "empty");
  std::ofstream(temp.path() / "empty" / "notes.png") << "x";
  std::ofstream(temp.path() / "empty" / ".hidden.jpg") << "x";
  std::ofstream(temp.path() / "empty" / "scan.jpeg") << "x";
  std::ofstream(temp.path() / "file.jpg") << "x";
  const std::string p = pics().string();
  struct Case {
    std::vector<std::string> args;
    std::string named;  // the option or argument the line must name
    std::string allowed;
  };
  const Case cases[] = {
      {{"--colour", "red", p}, "--colour", "--max-width"},
      {{"--quality", "67", p}, "--quality", "60, 65, 70, 75, 80, 85, 90, 95, 100"},
      {{"--prefix", "much_too_long_", p}, "--prefix", "1 to 10 characters"},
      {{"--rows", p}, "--rows", "1 to 100"},  // the folder was taken as the value
      {{(temp.path() / "missing").string()}, "FOLDER", "does not exist"},
      {{(temp.path() / "file.jpg").string()}, "FOLDER", "is not a folder"},
      {{(temp.path() / "empty").string()}, "FOLDER", "*.jpg or *.gif"},
      {{}, "FOLDER", "usage"},
  };
  const auto before = snapshot(temp.path());
  const auto picsBefore = snapshot(pics());
  for (const auto& c : cases) {
    const Outcome run = batch(c.args);
    std::string shown;
    for (const auto& a : c.args) {
      shown += "'" + a + "' ";
    }
    EXPECT_EQ(run.status, 2) << shown << run.err;
    EXPECT_EQ(run.out, "") << shown;
    ASSERT_EQ(lines(run.err).size(), 1u) << shown << run.err;
    EXPECT_EQ(run.err.rfind("vistrel-batch: ", 0), 0u) << run.err;
    EXPECT_NE(run.err.find(c.named), std::string::npos) << shown << run.err;
    EXPECT_NE(run.err.find(c.allowed), std::string::npos) << shown << run.err;
    EXPECT_TRUE(snapshot(pics()) == picsBefore) << shown << "changed the picture folder";
  }
  EXPECT_TRUE(snapshot(temp.path()) == before);
}

TEST_F(BatchProgram, AFolderThatCannotBeReadIsBadInput) {
  // Root reads every folder, so the program runs as nobody when the test runs as root.
  const fs::path locked = temp.path() / "locked";
  fs::create_directory(locked);
  std::ofstream(locked / "a.jpg") << "x";
  fs::permissions(temp.path(), fs::perms::all, fs::perm_options::add);
  fs::permissions(locked, fs::perms::none);
  QProcess process;
  if (geteuid() == 0) {
    // In a coverage build the child cannot write root's counts; it writes its own here instead
    // of complaining on standard error.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("GCOV_PREFIX", QString::fromStdString((temp.path() / "counts").string()));
    process.setProcessEnvironment(env);
    process.setChildProcessModifier([] {
      if (setgid(65534) != 0 || setuid(65534) != 0) {
        _exit(99);
      }
    });
  }
  process.start(QString::fromStdString(kBinary + "/vistrel-batch"),
                {QString::fromStdString(locked.string())});
  ASSERT_TRUE(process.waitForFinished(60000));
  const std::string err = process.readAllStandardError().toStdString();
  fs::permissions(locked, fs::perms::owner_all);
  if (process.exitCode() == 126 || process.exitCode() == 127 || process.exitCode() == 99) {
    GTEST_SKIP() << "cannot run the program as another user here: " << err;
  }
  EXPECT_EQ(process.exitCode(), 2) << err;
  EXPECT_EQ(lines(err).size(), 1u) << err;
  EXPECT_NE(err.find("FOLDER"), std::string::npos) << err;
  EXPECT_NE(err.find("cannot be read (Permission denied)"), std::string::npos) << err;
  EXPECT_EQ(snapshot(locked).size(), 1u);
}

TEST_F(BatchProgram, ACorruptPictureIsSkippedAndReportedWithStatus1) {
  std::ofstream(pics() / "Broken.jpg") << "this is not a picture";
  const Outcome run = batch({"--rows", "2", "--columns", "2", pics().string()});
  EXPECT_EQ(run.status, 1) << run.err;
  const auto errLines = lines(run.err);
  ASSERT_EQ(errLines.size(), 2u) << run.err;
  EXPECT_EQ(errLines[0].rfind("vistrel-batch: skipped Broken.jpg: ", 0), 0u) << errLines[0];
  EXPECT_GT(errLines[0].size(), std::string("vistrel-batch: skipped Broken.jpg: ").size());
  EXPECT_EQ(summaryCounts(errLines[1]), std::make_pair(12, 3));
  EXPECT_FALSE(fs::exists(pics() / "th_Broken.jpg"));
  // The gallery shows the twelve good pictures.
  std::string pages;
  for (int page = 1; page <= 3; ++page) {
    pages += readFile(pics() / pageName(page));
  }
  EXPECT_EQ(pages.find("Broken.jpg"), std::string::npos);
}

TEST_F(BatchProgram, ARunWhileAnotherHoldsTheFolderWaitsThenRefusesWithStatus2) {
  FolderLock other;
  std::string reason;
  ASSERT_EQ(other.take(pics(), std::chrono::milliseconds(0), {}, reason),
            FolderLock::Outcome::Taken);
  const Outcome run = batch({pics().string()});
  EXPECT_EQ(run.status, 2) << run.err;
  EXPECT_EQ(run.err, "vistrel-batch: another Create is running in this folder\n");
  EXPECT_FALSE(fs::exists(pics() / "Thumb001.html"));
}

TEST_F(BatchProgram, APageThatCannotBeWrittenIsReportedWithStatus1) {
  fs::create_directory(pics() / "Thumb002.html");  // a folder stands where the page goes
  const Outcome run = batch({"--rows", "2", "--columns", "2", pics().string()});
  EXPECT_EQ(run.status, 1) << run.err;
  const auto errLines = lines(run.err);
  ASSERT_EQ(errLines.size(), 2u) << run.err;
  EXPECT_EQ(errLines[0].rfind("vistrel-batch: Thumb002.html: ", 0), 0u) << errLines[0];
  // The pages go in place all together or not at all.
  EXPECT_EQ(summaryCounts(errLines[1]), std::make_pair(12, 0));
  EXPECT_FALSE(fs::exists(pics() / "Thumb001.html"));
}

// Standard error on a terminal: the progress line is drawn in place, then cleared for the
// summary.
TEST_F(BatchProgram, ShowsAProgressLineOnATerminal) {
  int master = -1;
  int slave = -1;
  ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, slave, STDERR_FILENO);
  posix_spawn_file_actions_addclose(&actions, master);
  const std::string program = kBinary + "/vistrel-batch";
  const std::string folder = pics().string();
  char* const argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(folder.c_str()),
                        nullptr};
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  close(slave);
  std::string shown;
  char buffer[4096];
  for (ssize_t n; (n = read(master, buffer, sizeof buffer)) > 0;) {
    shown.append(buffer, static_cast<size_t>(n));
  }
  close(master);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << shown;
  EXPECT_NE(shown.find("\r[##"), std::string::npos) << shown;
  EXPECT_NE(shown.find("12/12  Processing images..."), std::string::npos) << shown;
  EXPECT_NE(shown.find("12/12  Writing HMTL Document(s)..."), std::string::npos) << shown;
  // The terminal turns "\n" into "\r\n".
  const size_t summary = shown.find("\r\033[Kvistrel-batch: 12 thumbnails made");
  ASSERT_NE(summary, std::string::npos) << shown;
  EXPECT_EQ(shown.find('\n'), shown.size() - 1) << "one line of output after the bar";
}

}  // namespace
}  // namespace vistrel::cli
