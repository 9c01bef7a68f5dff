// vistrel-batch run as the built program, the way scripts run it.
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStyle>
#include <QStyleFactory>
#include <QThread>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <thread>
#include <tuple>

#include "app/form1.h"
#include "cli/batch_command.h"
#include "cli/desktop_shell.h"
#include "common/twips.h"
#include "common/version.h"
#include "run/create_run.h"
#include "run/folder_lock.h"
#include "samples/gif_writer.h"
#include "support/form1_test_support.h"
#include "support/format_files.h"
#include "support/sample_pictures.h"
#include "support/temp_folder.h"

namespace vistrel::cli {
using common::kVersion;
using gallery::pageName;
using gallery::TableSettings;
using run::FolderLock;

namespace {

namespace fs = std::filesystem;
using testing::readBytes;
using testing::snapshot;
using testing::TempFolder;

const std::string kBinary = VISTREL_BINARY_DIR;

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

// A built program run with `args`; `setup` may change its environment, folder or user.
Outcome run(const std::string& program, const std::vector<std::string>& args,
            const std::function<void(QProcess&)>& setup = {}) {
  QProcess process;
  if (setup) {
    setup(process);
  }
  QStringList list;
  for (const auto& a : args) {
    list << QString::fromStdString(a);
  }
  process.start(QString::fromStdString(kBinary + "/" + program), list);
  EXPECT_TRUE(process.waitForFinished(120000)) << program;
  return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
          process.readAllStandardOutput().toStdString(),
          process.readAllStandardError().toStdString()};
}

Outcome batch(const std::vector<std::string>& args,
              const std::function<void(QProcess&)>& setup = {}) {
  return run("vistrel-batch", args, setup);
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    result.push_back(line);
  }
  return result;
}

// In a child about to run the program: root reads and writes every folder, so the program runs
// as nobody, another user.
void becomeNobody() {
  if (setgid(65534) != 0 || setuid(65534) != 0) {
    _exit(99);
  }
}

// A copy of the pictures with their modification times, which every thumbnail records.
void copyWithTimes(const fs::path& from, const fs::path& to) {
  fs::copy(from, to);
  for (const auto& entry : fs::directory_iterator(from)) {
    fs::last_write_time(to / entry.path().filename(), entry.last_write_time());
  }
}

// The thumbnails made and pages written that the summary line reports.
std::pair<int, int> summaryCounts(const std::string& line) {
  static const QRegularExpression summary(
      "^vistrel-batch: (\\d+) thumbnails? made, \\d+ kept, (\\d+) pages? written, \\d+ files? "
      "removed, \\d+\\.\\d\\d seconds( \\(after waiting \\d+\\.\\d\\d seconds for another "
      "Create\\))?, (\\d+\\.\\d pictures per second|nothing to make)$");
  const auto match = summary.match(QString::fromStdString(line));
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
  void SetUp() override {
    const Outcome made = run("make-samples", {pics().string()});
    ASSERT_EQ(made.status, 0) << made.err;
  }
  fs::path pics() const { return temp.path() / "pics"; }
  TempFolder temp;
};

// Every option reaches the output as the window's Properties panel does (the window's defaults
// are compared below, with odd names).
TEST_F(BatchProgram, WritesExactlyWhatTheWindowsCreateWritesAndEachKeepsTheOthersGallery) {
  const fs::path window = temp.path() / "window";
  copyWithTimes(pics(), window);
  std::vector<std::string> args = {
      "--max-width", "80", "--max-height=60", "--quality", "90", "--prefix",  "sm-",
      "--rows",      "2",  "--columns=3",     "--border",  "0",  "--padding", "5",
      "--spacing",   "7",  pics().string()};
  const auto create = [](const fs::path& folder) {
    return windowCreate(folder, 80, 60, 90, "sm-", {2, 3, 0, 5, 7}).join("\n").toStdString();
  };
  const Outcome made = batch(args);
  ASSERT_EQ(made.status, 0) << made.err;
  EXPECT_EQ(made.out, "");
  // Standard error is no terminal here: no progress line, the summary alone.
  ASSERT_EQ(lines(made.err).size(), 1u) << made.err;
  EXPECT_EQ(summaryCounts(made.err), std::make_pair(12, 2));
  ASSERT_EQ(create(window), "");
  const auto batchFiles = snapshot(pics());
  EXPECT_EQ(batchFiles.size(), 12u + 12u + 2u);
  EXPECT_TRUE(batchFiles == snapshot(window));
  // The options did something: the new table numbers, and thumbnails in the new box.
  EXPECT_NE(batchFiles.at("Thumb001.html")
                .find("<TABLE BORDER=\"0\" CELLPADDING=\"5\" CELLSPACING=\"7\">"),
            std::string::npos);
  const QSize size = QImage(QString::fromStdString((pics() / "sm-Meadow.jpg").string())).size();
  EXPECT_TRUE(size.width() <= 80 && size.height() <= 60 &&
              (size.width() == 80 || size.height() == 60))
      << size.width() << "x" << size.height();

  // Again, each front end over the other's gallery: everything is kept, nothing changes.
  args.back() = window.string();
  const Outcome again = batch(args);
  ASSERT_EQ(again.status, 0) << again.err;
  EXPECT_NE(again.err.find(": 0 thumbnails made, 12 kept, 0 pages written, 0 files removed"),
            std::string::npos)
      << again.err;
  EXPECT_EQ(create(pics()), "");
  EXPECT_TRUE(snapshot(pics()) == batchFiles);
  EXPECT_TRUE(snapshot(window) == batchFiles);
}

// A folder of every type: the classic list writes byte for byte what it writes without the new
// files beside, and --types all makes their thumbnails too.
TEST_F(BatchProgram, OtherTypesChangeNothingInTheClassicListAndAllTypesTakesThem) {
  const fs::path classic = temp.path() / "classic";
  copyWithTimes(pics(), classic);
  const auto photo = testing::rgbaPainted(90, 60, [](int x, int y) {
    return testing::RgbaColour{uint8_t(x), uint8_t(y), 99, 255};
  });
  const std::pair<const char*, std::string> others[] = {
      {"phone.HEIC", testing::heifFile(photo)},
      {"web.avif", testing::heifFile(photo, {.avif = true})},
      {"saved.webp", testing::webpFile(photo)},
      {"shot.png", testing::pngFile(photo)},
      {"grid.heif", testing::heicGrid(2, 1, 64, {{9, 9, 200, 255}, {200, 9, 9, 255}}, 0)}};
  for (const auto& [name, bytes] : others) {
    std::ofstream(pics() / name, std::ios::binary) << bytes;
  }
  ASSERT_EQ(batch({classic.string()}).status, 0);
  const Outcome mixed = batch({pics().string()});
  ASSERT_EQ(mixed.status, 0) << mixed.err;
  auto files = snapshot(pics());
  for (const auto& [name, bytes] : others) {
    EXPECT_EQ(files.erase(name), 1u) << name;
  }
  EXPECT_TRUE(files == snapshot(classic));

  const Outcome all = batch({"--types", "all", pics().string()});
  ASSERT_EQ(all.status, 0) << all.err;
  EXPECT_NE(all.err.find(": 5 thumbnails made, 12 kept, "), std::string::npos) << all.err;
  // Fitted to the 150 x 150 box as any picture is.
  for (const char* thumbnail : {"th_phone.jpg", "th_web.jpg", "th_saved.jpg", "th_shot.jpg"}) {
    EXPECT_EQ(QImage(QString::fromStdString((pics() / thumbnail).string())).size(), QSize(150, 100))
        << thumbnail;
  }
  EXPECT_EQ(QImage(QString::fromStdString((pics() / "th_grid.jpg").string())).size(),
            QSize(150, 75));
}

// Names that are not UTF-8, and transparent GIF pixels, which are laid on the window's
// background: the command line, which has no window, must lay them on the same colour.
TEST_F(BatchProgram, OddNamesAndTransparencyGiveTheSameFilesAsTheWindow) {
  // The helper passes arguments through QString, so only the window's folder name is Latin-1.
  const fs::path batchFolder = temp.path() / "batch";
  const fs::path windowFolder = temp.path() / "window \xE9t\xE9";
  fs::create_directory(batchFolder);
  for (const char* name : {"caf\xE9.jpg", " lead.jpg", "back\\slash.jpg"}) {
    fs::copy_file(pics() / "Dunes (2).jpg", batchFolder / name);
  }
  fs::copy_file(pics() / "Glacier.gif", batchFolder / "x\xFF.gif");
  imaging::Picture picture = testing::blankPicture(64, 48);
  for (int y = 0; y < picture.height; ++y) {
    for (int x = 0; x < picture.width; ++x) {
      picture.row(y)[3 * x + (x < 32 ? 2 : 1)] = 255;  // red left, the transparent green right
    }
  }
  samples::GifOptions options;
  options.transparent = true;
  options.transparentG = 255;
  ASSERT_TRUE(samples::writeGifFile(picture, (batchFolder / "see-through.gif").string(), options));
  copyWithTimes(batchFolder, windowFolder);

  const Outcome made = batch({batchFolder.string()});
  ASSERT_EQ(made.status, 0) << made.err;
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

// A tree of albums, with a name a link must encode: the window (its Total images box counting
// the tree) and vistrel-batch write the same files in every album.
TEST_F(BatchProgram, AlbumsFromTheWindowAndTheCommandLineAreTheSameFiles) {
  // The top album's name is in every breadcrumb: both trees have the same.
  const fs::path batchTree = temp.path() / "batch" / "Pictures";
  const fs::path windowTree = temp.path() / "window" / "Pictures";
  for (const fs::path& tree : {batchTree, windowTree}) {
    for (const char* album : {"2024/Crete #1", "2025"}) {
      fs::create_directories(tree / album);
      for (const char* name : {"Dunes (2).jpg", "Glacier.gif"}) {
        fs::copy_file(pics() / name, tree / album / name);
        fs::last_write_time(tree / album / name, fs::last_write_time(pics() / name));
      }
    }
  }
  const Outcome made = batch({"--style=modern", "--albums", batchTree.string()});
  ASSERT_EQ(made.status, 0) << made.err;
  EXPECT_EQ(summaryCounts(made.err), std::make_pair(4, 10));

  common::pinTwipsPerPixel(15);
  app::RecordingShell shell;
  app::Form1 window(windowTree, &shell);
  const app::testing::Form1Access ui(window);
  QStringList messages;
  window.setMessageBox(
      [&](const QString&, const QString& text, const QString&) { messages << text; });
  ui.cmdFrames[1]->click();
  ui.cmbStyle->setCurrentIndex(1);
  ui.cmdModern->click();
  auto* dialog = window.findChild<QDialog*>();
  ASSERT_NE(dialog, nullptr);
  dialog->findChild<QCheckBox*>("albums")->setChecked(true);
  dialog->accept();
  EXPECT_EQ(ui.lblTotalImages->Caption(), "4");
  ui.chkHTML->setChecked(false);
  ASSERT_TRUE(ui.cmdCreate->isEnabled());
  ui.cmdCreate->click();
  common::pinTwipsPerPixel(0);
  EXPECT_TRUE(messages.isEmpty()) << messages.join("\n").toStdString();
  for (const char* album : {"", "2024", "2024/Crete #1", "2025"}) {
    const auto files = snapshot(batchTree / album);
    EXPECT_TRUE(files.contains("Thumb001.html")) << album;
    EXPECT_TRUE(files == snapshot(windowTree / album)) << album;
  }
}

TEST_F(BatchProgram, OpenHandsTheFirstPageToTheDesktopOnlyWhenAskedAndANoShowIsNoFailure) {
  // A stand-in for xdg-open that records what it was asked to open.
  const fs::path bin = temp.path() / "bin";
  fs::create_directories(bin);
  std::ofstream(bin / "xdg-open") << "#!/bin/sh\nprintf '%s\\n' \"$@\" >> \""
                                  << (temp.path() / "opened").string() << "\"\n";
  fs::permissions(bin / "xdg-open", fs::perms::owner_all);
  // Only `path` on the PATH, started in the folder above the pictures.
  const auto withPath = [](const fs::path& path) {
    return [=](QProcess& process) {
      QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
      env.insert("PATH", QString::fromStdString(path.string()));
      process.setProcessEnvironment(env);
      process.setWorkingDirectory(QString::fromStdString(path.parent_path().string()));
    };
  };
  Outcome made = batch({pics().string()}, withPath(bin));
  ASSERT_EQ(made.status, 0) << made.err;
  EXPECT_FALSE(fs::exists(temp.path() / "opened"));

  // A relative FOLDER still hands over the page's full path.
  made = batch({"--open", "pics"}, withPath(bin));
  ASSERT_EQ(made.status, 0) << made.err;
  // The opener runs detached; give it a moment to write.
  for (int i = 0; i < 100 && readBytes(temp.path() / "opened").empty(); ++i) {
    usleep(50000);
  }
  EXPECT_EQ(readBytes(temp.path() / "opened"), (pics() / "Thumb001.html").string() + "\n");

  // A folder name that is not UTF-8 reaches the opener byte for byte, in a file URL. The shell
  // makes the name, since arguments given here pass through QString.
  const fs::path odd = temp.path() /
                       "bad\xFF"
                       "dir";
  copyWithTimes(pics(), odd);
  fs::remove(temp.path() / "opened");
  QProcess process;
  withPath(bin)(process);
  process.start("/bin/sh", {"-c", "exec \"$0\" --open \"$(printf 'bad\\377dir')\"",
                            QString::fromStdString(kBinary + "/vistrel-batch")});
  ASSERT_TRUE(process.waitForFinished(120000));
  ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
  for (int i = 0; i < 100 && readBytes(temp.path() / "opened").empty(); ++i) {
    usleep(50000);
  }
  const std::string url = readBytes(temp.path() / "opened");
  ASSERT_EQ(url.rfind("file://", 0), 0u) << url;
  EXPECT_EQ(QByteArray::fromPercentEncoding(QByteArray::fromStdString(url.substr(7))).toStdString(),
            (odd / "Thumb001.html").string() + "\n");

  // With no program on the PATH the page is not shown: told, but no failure.
  made = batch({"--open", "pics"}, withPath(temp.path() / "none"));
  EXPECT_EQ(made.status, 0) << made.err;
  const auto errLines = lines(made.err);
  ASSERT_EQ(errLines.size(), 2u) << made.err;
  EXPECT_EQ(errLines[0],
            "vistrel-batch: Thumb001.html: no program could be started to show the page");
  EXPECT_EQ(summaryCounts(errLines[1]), std::make_pair(0, 0));
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
  for (const char* name : {"notes.png", ".hidden.jpg", "scan.jpeg"}) {
    std::ofstream(temp.path() / "empty" / name) << "x";
  }
  std::ofstream(temp.path() / "file.jpg") << "x";
  struct Case {
    std::vector<std::string> args;
    std::string named;  // the option or argument the line must name
    std::string allowed;
  };
  const Case cases[] = {
      {{"--colour", "red", pics().string()}, "--colour", "--max-width"},
      {{"--rows", pics().string()}, "--rows", "1 to 100"},  // the folder was taken as the value
      {{(temp.path() / "missing").string()}, "FOLDER", "does not exist"},
      {{(temp.path() / "file.jpg").string()}, "FOLDER", "is not a folder"},
      {{(temp.path() / "empty").string()}, "FOLDER", "*.jpg or *.gif"},
      {{}, "FOLDER", "usage"},
  };
  const auto before = snapshot(temp.path());
  const auto picsBefore = snapshot(pics());
  for (const auto& c : cases) {
    const Outcome made = batch(c.args);
    const std::string shown = (c.args.empty() ? "" : c.args[0]) + ": " + made.err;
    EXPECT_EQ(made.status, 2) << shown;
    EXPECT_EQ(made.out, "") << shown;
    ASSERT_EQ(lines(made.err).size(), 1u) << shown;
    EXPECT_EQ(made.err.rfind("vistrel-batch: ", 0), 0u) << shown;
    EXPECT_NE(made.err.find(c.named), std::string::npos) << shown;
    EXPECT_NE(made.err.find(c.allowed), std::string::npos) << shown;
  }
  EXPECT_TRUE(snapshot(pics()) == picsBefore);
  EXPECT_TRUE(snapshot(temp.path()) == before);
}

TEST_F(BatchProgram, AFolderThatCannotBeReadIsBadInput) {
  const fs::path locked = temp.path() / "locked";
  fs::create_directory(locked);
  std::ofstream(locked / "a.jpg") << "x";
  fs::permissions(temp.path(), fs::perms::all, fs::perm_options::add);
  fs::permissions(locked, fs::perms::none);
  const Outcome made = batch({locked.string()}, [&](QProcess& process) {
    if (geteuid() != 0) {
      return;
    }
    // In a coverage build the child cannot write root's counts; it writes its own here instead
    // of complaining.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("GCOV_PREFIX", QString::fromStdString((temp.path() / "counts").string()));
    process.setProcessEnvironment(env);
    process.setChildProcessModifier(becomeNobody);
  });
  fs::permissions(locked, fs::perms::owner_all);
  if (made.status == 126 || made.status == 127 || made.status == 99) {
    GTEST_SKIP() << "cannot run the program as another user here: " << made.err;
  }
  EXPECT_EQ(made.status, 2) << made.err;
  EXPECT_EQ(lines(made.err).size(), 1u) << made.err;
  EXPECT_NE(made.err.find("FOLDER"), std::string::npos) << made.err;
  EXPECT_NE(made.err.find("cannot be read (Permission denied)"), std::string::npos) << made.err;
  EXPECT_EQ(snapshot(locked).size(), 1u);
}

TEST_F(BatchProgram, APictureOrPageThatCannotBeWrittenIsReportedWithStatus1) {
  // A corrupt picture is left out of the pages; a folder where a page goes keeps all of them out,
  // since the pages go in place all together or not at all.
  std::ofstream(pics() / "Broken.jpg") << "this is not a picture";
  Outcome made = batch({"--rows", "2", "--columns", "2", pics().string()});
  EXPECT_EQ(made.status, 1) << made.err;
  auto errLines = lines(made.err);
  ASSERT_EQ(errLines.size(), 2u) << made.err;
  EXPECT_EQ(errLines[0].rfind("vistrel-batch: skipped Broken.jpg: ", 0), 0u) << errLines[0];
  EXPECT_GT(errLines[0].size(), std::string("vistrel-batch: skipped Broken.jpg: ").size());
  EXPECT_EQ(summaryCounts(errLines[1]), std::make_pair(12, 3));
  EXPECT_FALSE(fs::exists(pics() / "th_Broken.jpg"));
  std::string pages;
  for (int page = 1; page <= 3; ++page) {
    pages += readBytes(pics() / pageName(page));
  }
  EXPECT_EQ(pages.find("Broken.jpg"), std::string::npos);

  fs::remove(pics() / "Broken.jpg");
  fs::create_directory(pics() / "Thumb004.html");
  const auto gallery = snapshot(pics());
  made = batch({"--rows", "2", "--columns", "1", pics().string()});
  EXPECT_EQ(made.status, 1) << made.err;
  errLines = lines(made.err);
  ASSERT_EQ(errLines.size(), 2u) << made.err;
  EXPECT_EQ(errLines[0].rfind("vistrel-batch: Thumb004.html: ", 0), 0u) << errLines[0];
  EXPECT_EQ(summaryCounts(errLines[1]), std::make_pair(0, 0));
  EXPECT_TRUE(snapshot(pics()) == gallery);
}

TEST_F(BatchProgram, EntriesThatAreNoPicturesAndDamagedPicturesAreEachToldWithStatus1) {
  fs::create_symlink(pics() / "gone.jpg", pics() / "broken.jpg");
  ASSERT_EQ(::mkfifo((pics() / "Fifo.jpg").c_str(), 0644), 0);
  const std::string meadow = readBytes(pics() / "Meadow.jpg");
  std::ofstream(pics() / "Cut.jpg", std::ios::binary) << meadow.substr(0, meadow.size() / 2);
  const Outcome made = batch({pics().string()});
  EXPECT_EQ(made.status, 1) << made.err;
  const auto errLines = lines(made.err);
  ASSERT_EQ(errLines.size(), 4u) << made.err;
  EXPECT_EQ(errLines[0], "vistrel-batch: skipped broken.jpg: a link to nothing");
  EXPECT_EQ(errLines[1], "vistrel-batch: skipped Fifo.jpg: not a regular file (a FIFO)");
  EXPECT_EQ(errLines[2],
            "vistrel-batch: warning Cut.jpg: file is truncated: the end of the picture is "
            "missing; the gallery shows it as far as it could be read");
  // The damaged picture keeps its thumbnail and its place on the pages.
  EXPECT_EQ(summaryCounts(errLines[3]), std::make_pair(13, 13));
  EXPECT_NE(readBytes(pics() / "Thumb002.html").find("th_Cut.jpg"), std::string::npos);
}

// The modern options leave a classic gallery as it was; a modern one that links its originals
// tells how many of them carry a position.
TEST_F(BatchProgram, LinkedOriginalsThatCarryALocationAreCountedOnlyWhenLinked) {
  testing::writeJpegWithLocation(pics() / "Phone.jpg", 64, 48);
  const struct {
    std::vector<std::string> options;
    const char* told;  // the line before the summary, if any
  } cases[] = {
      {{"--style", "classic"}, nullptr},
      {{"--view-size", "640", "--originals", "none"}, nullptr},
      {{"--style", "modern"}, "vistrel-batch: 1 linked original carries a location (GPS)"},
      {{"--style", "modern", "--originals", "none"}, nullptr},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = c.options;
    args.push_back(pics().string());
    const Outcome made = batch(args);
    const auto errLines = lines(made.err);
    const std::string shown = ::testing::PrintToString(c.options);
    ASSERT_EQ(made.status, 0) << shown << made.err;
    ASSERT_EQ(errLines.size(), c.told ? 2u : 1u) << shown << made.err;
    if (c.told) {
      EXPECT_EQ(errLines[0], c.told);
    }
    // Classic again with the modern options: nothing to make, no page changed.
    if (c.options[0] == "--view-size") {
      EXPECT_EQ(summaryCounts(errLines.back()), std::make_pair(0, 0));
    }
  }
}

TEST_F(BatchProgram, ARunWaitsForAnotherThenRefusesWithStatus2OrGoesOnWithTheWaitToldApart) {
  std::optional<FolderLock> other(std::in_place);
  std::error_code error;
  ASSERT_EQ(other->take(pics(), std::chrono::milliseconds(0), {}, error),
            FolderLock::Outcome::Taken);
  const Outcome made = batch({pics().string()});
  EXPECT_EQ(made.status, 2) << made.err;
  EXPECT_EQ(made.err, "vistrel-batch: another Create is running in this folder\n");
  EXPECT_FALSE(fs::exists(pics() / "Thumb001.html"));

  // Let go after a second: the run goes on, and its seconds leave the wait out.
  QProcess process;
  process.start(QString::fromStdString(kBinary + "/vistrel-batch"),
                {QString::fromStdString(pics().string())});
  ASSERT_TRUE(process.waitForStarted());
  QThread::msleep(1000);
  other.reset();
  ASSERT_TRUE(process.waitForFinished(120000));
  const std::string err = process.readAllStandardError().toStdString();
  EXPECT_EQ(process.exitCode(), 0) << err;
  static const QRegularExpression waited(
      " (\\d+\\.\\d\\d) seconds \\(after waiting (\\d+\\.\\d\\d) seconds for another Create\\)");
  const auto match = waited.match(QString::fromStdString(err));
  ASSERT_TRUE(match.hasMatch()) << err;
  EXPECT_GE(match.captured(2).toDouble(), 0.9);
  EXPECT_LT(match.captured(1).toDouble(), match.captured(2).toDouble());
}

// vistrel-batch on `folder` with a terminal for its standard error, as nobody when asked; `seen`
// gets all it showed so far after each read. What it showed, and its wait status.
std::pair<std::string, int> onTerminal(const fs::path& folder, bool asNobody,
                                       const std::function<void(const std::string&)>& seen = {}) {
  const std::string program = kBinary + "/vistrel-batch";
  int master = -1;
  const pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
  if (pid == 0) {
    if (asNobody) {
      becomeNobody();
    }
    execl(program.c_str(), program.c_str(), folder.c_str(), nullptr);
    _exit(127);
  }
  std::string shown;
  char buffer[4096];
  for (ssize_t n; pid > 0 && (n = read(master, buffer, sizeof buffer)) > 0;) {
    shown.append(buffer, static_cast<size_t>(n));
    if (seen) {
      seen(shown);
    }
  }
  close(master);
  int status = -1;
  EXPECT_TRUE(pid > 0 && waitpid(pid, &status, 0) == pid);
  return {shown, status};
}

// A folder shared by two users: a run of one waits for the other's, then goes ahead.
TEST_F(BatchProgram, AnotherUsersRunWaitsForTheFolderThenWritesTheGallery) {
  if (geteuid() != 0) {
    GTEST_SKIP() << "needs root to run the program as another user";
  }
  fs::permissions(temp.path(), fs::perms::all, fs::perm_options::add);
  fs::permissions(pics(), fs::perms::all, fs::perm_options::add);
  std::optional<FolderLock> held(std::in_place);
  std::error_code error;
  ASSERT_EQ(held->take(pics(), std::chrono::milliseconds(0), {}, error),
            FolderLock::Outcome::Taken);
  // And an older build's lock file, left by a run that crashed, made for its user alone.
  std::ofstream(pics() / FolderLock::olderFileName()).close();
  fs::permissions(pics() / FolderLock::olderFileName(),
                  fs::perms::owner_read | fs::perms::owner_write);

  const auto [shown, status] = onTerminal(pics(), true, [&](const std::string& shownSoFar) {
    if (held && shownSoFar.find("Waiting for another Create") != std::string::npos) {
      held.reset();
    }
  });
  ASSERT_TRUE(WIFEXITED(status)) << shown;
  if (WEXITSTATUS(status) == 99) {
    GTEST_SKIP() << "cannot run the program as another user here";
  }
  EXPECT_EQ(WEXITSTATUS(status), 0) << shown;
  EXPECT_FALSE(held) << "the run did not wait: " << shown;
  struct stat page {};
  ASSERT_EQ(::stat((pics() / "Thumb012.html").c_str(), &page), 0) << shown;
  EXPECT_EQ(page.st_uid, 65534u);
}

// Standard error as a terminal where the user presses Ctrl-C (or a SIGTERM comes) once the bar
// shows `when`: the signal is raised from the write that draws it, so it lands mid-run always.
// The run is in this process: its handlers catch the signal, as they do in vistrel-batch. It
// runs on a thread of its own: on the main thread's reused stack, ThreadSanitizer reports the
// pool's locked queue as a race, which it does not on a fresh stack running the same code.
struct SignalAt {
  std::string when;
  int signal;
  std::string shown;
};

ssize_t drawAndSignal(void* cookie, const char* bytes, size_t size) {
  auto* at = static_cast<SignalAt*>(cookie);
  const bool before = at->shown.find(at->when) == std::string::npos;
  at->shown.append(bytes, size);
  if (before && at->shown.find(at->when) != std::string::npos) {
    raise(at->signal);
  }
  return static_cast<ssize_t>(size);
}

TEST_F(BatchProgram, ASignalStopsTheRunLeavingNoTemporaryAndTheOldGalleryWhole) {
  ASSERT_EQ(batch({"--max-width", "100", pics().string()}).status, 0);
  fs::remove(pics() / "Meadow.jpg");  // its thumbnail and the last page become leftovers
  const auto gallery = snapshot(pics());
  // The pictures before the signal are made; the first run's other thumbnails stay.
  for (auto [when, signal, made] : {std::tuple{"3/11  Processing images", SIGTERM, "3"},
                                    std::tuple{"2/11  Writing HMTL", SIGINT, "8"}}) {
    SignalAt at{when, signal, ""};
    std::FILE* terminal = fopencookie(&at, "w", {nullptr, drawAndSignal, nullptr, nullptr});
    DesktopShell shell;
    int status = -1;
    std::thread([&] {
      status = runBatchCommand({pics().string()}, stdout, terminal, true, shell);
    }).join();
    EXPECT_EQ(status, 128 + signal) << when;
    std::fclose(terminal);
    // Thumbnails made before the signal stay; the rest is as it was, the leftovers too.
    const auto after = snapshot(pics());
    ASSERT_EQ(after.size(), gallery.size()) << when;
    for (const auto& [name, bytes] : gallery) {
      ASSERT_EQ(after.count(name), 1u) << name;
      EXPECT_TRUE(name.rfind("th_", 0) == 0 || after.at(name) == bytes) << name;
    }
    EXPECT_EQ(after.at("th_Meadow.jpg"), gallery.at("th_Meadow.jpg"));
    EXPECT_NE(at.shown.find("\r\033[Kvistrel-batch: stopped; no page was changed and nothing "
                            "was removed (" +
                            std::string(made) + " thumbnails were made)\n"),
              std::string::npos)
        << at.shown;
  }
}

// Standard error on a terminal: the progress line is drawn in place, then cleared for the
// summary.
TEST_F(BatchProgram, ShowsAProgressLineOnATerminal) {
  const auto [shown, status] = onTerminal(pics(), false);
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
