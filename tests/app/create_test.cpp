// Create from the window, end to end: a generated folder, the Create button, then the files on
// disk, the first page handed to the shell and the one message about what was skipped.
#include <gmock/gmock.h>

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QImageReader>
#include <QLineEdit>
#include <QSpinBox>
#include <QTimer>
#include <csignal>

#include <sys/stat.h>

#include "app/create_message.h"
#include "app/quit_on_signals.h"
#include "support/form1_test_support.h"
#include "support/read_only_folder.h"
#include "support/soon.h"

namespace vistrel::app::testing {
using common::ProgressDisplay;
using ::testing::AllOf;
using ::testing::ContainsRegex;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

class CreateFromWindow : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    vistrel::testing::writeJpeg(temp.path() / "beach.jpg", 400, 300);
    vistrel::testing::writeJpeg(temp.path() / "Cliff.JPG", 300, 400);
    vistrel::testing::writeJpeg(temp.path() / "dune.jpg", 64, 64);
    vistrel::testing::writeGif(temp.path() / "anim.gif", 32, 16);
    vistrel::testing::writeGif(temp.path() / "Eel.GIF", 20, 40);
  }

  Form1& openAndCount() {
    Form1& w = open(temp.path());
    click(ui->cmdFrames[1]);
    typeInto(ui->txtTable[0], "2");
    typeInto(ui->txtTable[1], "2");
    EXPECT_EQ(ui->lblNumPages->Caption(), "2");
    return w;
  }

  static QSize sizeOf(const std::filesystem::path& file) { return QImageReader(qs(file)).size(); }
};

TEST_F(CreateFromWindow, WritesThumbnailsAndPagesThenOpensTheFirstPage) {
  openAndCount();
  click(ui->cmdCreate);
  EXPECT_TRUE(messages.isEmpty()) << messages.join("\n").toStdString();
  const std::filesystem::path& f = temp.path();
  EXPECT_EQ(sizeOf(f / "th_beach.jpg"), QSize(150, 113));
  EXPECT_EQ(sizeOf(f / "th_Eel.jpg"), QSize(75, 150));
  const std::string first = temp.read("Thumb001.html");
  const std::string second = temp.read("Thumb002.html");
  EXPECT_FALSE(std::filesystem::exists(f / "Thumb003.html"));
  // The list's order: anim, beach, Cliff, dune on the first page, Eel on the second.
  EXPECT_THAT(first, ContainsRegex("th_anim.jpg.*th_beach.jpg.*th_Cliff.jpg.*th_dune.jpg"));
  EXPECT_THAT(first, Not(HasSubstr("Eel")));
  EXPECT_THAT(second, AllOf(HasSubstr("SRC=\"th_Eel.jpg\""), HasSubstr("HREF=\"Eel.GIF\"")));
  EXPECT_EQ(shell.opened, QStringList({qs(f / "Thumb001.html")}));
  // The run is over: notice and bar hidden, the last fit kept.
  EXPECT_FALSE(ui->notice->isVisible());
  EXPECT_FALSE(ui->picProgress->isVisible());
  EXPECT_TRUE(ui->notice->Caption().startsWith("Writing HMTL Document(s)...     ("));
  EXPECT_EQ(ui->X, 75);
  EXPECT_EQ(ui->Y, 150);
}

// Raises `signal` when the notice is painted with `text`, as if it came while the user saw it.
class SignalOnNotice : public QObject {
 public:
  SignalOnNotice(toolkit::Label* notice, QString text, int signal)
      : notice_(notice), text_(std::move(text)), signal_(signal) {}
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint && notice_->Caption().contains(text_) && signal_ != 0) {
      std::raise(std::exchange(signal_, 0));
    }
    return false;
  }

 private:
  toolkit::Label* notice_;
  QString text_;
  int signal_;
};

TEST_F(CreateFromWindow, ASignalDuringCreateStopsTheRunQuietlyThenEndsTheProgram) {
  openAndCount();
  click(ui->chkHTML);
  click(ui->cmdCreate);
  const auto before = vistrel::testing::snapshot(temp.path());
  typeInto(ui->txtThumbnail[0], "60");
  QuitOnSignals quit;
  window->setStopRequest(&quit.stop());
  SignalOnNotice signalOnNotice(ui->notice, "Writing HMTL Document(s)...     (2 of 2)", SIGTERM);
  ui->notice->installEventFilter(&signalOnNotice);
  click(ui->cmdCreate);
  EXPECT_TRUE(messages.isEmpty()) << messages.join("\n").toStdString();
  EXPECT_FALSE(ui->notice->isVisible());
  const auto after = vistrel::testing::snapshot(temp.path());
  EXPECT_EQ(after.size(), before.size());
  EXPECT_EQ(after.at("Thumb001.html"), before.at("Thumb001.html"));
  EXPECT_EQ(after.at("Thumb002.html"), before.at("Thumb002.html"));
  QEventLoop loop;
  QObject::connect(&quit, &QuitOnSignals::quitRequested, &loop, &QEventLoop::exit);
  QTimer::singleShot(10000, &loop, [&] { loop.exit(-1); });
  EXPECT_EQ(loop.exec(), 128 + SIGTERM);
}

TEST_F(CreateFromWindow, SettingsOfThePanelReachTheRun) {
  openAndCount();
  typeInto(ui->txtThumbnail[0], "60");
  typeInto(ui->txtPrefix, "small-");
  ui->cmbQuality->setCurrentText("100");
  click(ui->chkHTML);
  ASSERT_FALSE(ui->chkHTML->isChecked());
  click(ui->cmdCreate);
  EXPECT_TRUE(messages.isEmpty());
  // Landscape pictures meet the largest width of 60; portraits keep the height of 150.
  EXPECT_EQ(sizeOf(temp.path() / "small-beach.jpg"), QSize(60, 45));
  EXPECT_EQ(sizeOf(temp.path() / "small-Cliff.jpg"), QSize(113, 150));
  EXPECT_FALSE(std::filesystem::exists(temp.path() / "th_beach.jpg"));
  EXPECT_TRUE(std::filesystem::exists(temp.path() / "Thumb002.html"));
  EXPECT_TRUE(shell.opened.isEmpty());
  // Back to the first prefix: the old thumbnails go, and the details name each one.
  typeInto(ui->txtPrefix, "th_");
  click(ui->cmdCreate);
  ASSERT_EQ(messages.size(), 1);
  EXPECT_TRUE(details[0].split('\n').contains("small-beach.jpg")) << details[0].toStdString();
}

TEST_F(CreateFromWindow, SeeThroughGifPixelsTakeTheWindowsBackground) {
  const vistrel::testing::GifFrame clear{0, 0, 8, 8, std::vector<uint8_t>(64, 0), 0};
  temp.write("clear.gif", vistrel::testing::gifFile(8, 8, {0x000000, 0xFFFFFF}, {clear}));
  Form1& w = openAndCount();
  QPalette dark = w.palette();
  dark.setColor(QPalette::Base, QColor(10, 20, 30));
  w.setPalette(dark);
  click(ui->cmdCreate);
  const QColor got = QImage(qs(temp.path() / "th_clear.jpg")).pixelColor(4, 4);
  EXPECT_LE(std::abs(got.red() - 10) + std::abs(got.green() - 20) + std::abs(got.blue() - 30), 6)
      << got.name().toStdString();
}

TEST_F(CreateFromWindow, ManyFailuresListTenThenCountTheRestAndTheBoxFitsTheScreen) {
  for (int i = 1; i <= 25; ++i) {
    temp.write("bad" + std::to_string(100 + i) + ".jpg", "no picture in here");
  }
  Form1& w = open(temp.path());
  click(ui->cmdFrames[1]);
  click(ui->cmdCreate);
  ASSERT_EQ(messages.size(), 1);
  const QStringList lines = messages[0].split('\n');
  ASSERT_EQ(lines.size(), 2 + 10 + 1) << messages[0].toStdString();
  EXPECT_EQ(lines[0], "Not everything could be created:");
  EXPECT_TRUE(lines[2].startsWith("bad101.jpg: "));
  EXPECT_TRUE(lines[11].startsWith("bad110.jpg: "));
  EXPECT_EQ(lines[12], "and 15 more");
  const QStringList all = details[0].split('\n');
  ASSERT_EQ(all.size(), 25);
  EXPECT_TRUE(all[24].startsWith("bad125.jpg: "));

  const auto box = Form1::makeMessageBox(&w, "Vistrel", messages[0], details[0]);
  box->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(box.get()));
  const QRect screen = box->screen()->availableGeometry();
  EXPECT_LE(box->frameGeometry().height(), screen.height());
  QAbstractButton* ok = box->button(QMessageBox::Ok);
  ASSERT_NE(ok, nullptr);
  EXPECT_TRUE(screen.contains(QRect(ok->mapToGlobal(QPoint(0, 0)), ok->size())));
  EXPECT_EQ(box->detailedText(), details[0]);
}

TEST_F(CreateFromWindow, ADamagedPictureIsAWarningAndAFifoNamedLikeAPictureIsLeftOut) {
  const std::string beach = temp.read("beach.jpg");
  temp.write("cut.jpg", beach.substr(0, beach.size() / 2));
  const QString cut =
      "cut.jpg: file is truncated: the end of the picture is missing; the gallery shows it as far "
      "as it could be read";
  openAndCount();
  click(ui->cmdCreate);
  ASSERT_EQ(messages.size(), 1);
  EXPECT_EQ(messages[0], "The gallery was created, with warnings:\n\n" + cut);
  EXPECT_THAT(temp.read("Thumb001.html"), HasSubstr("th_cut.jpg"));

  // Cut elsewhere, so that its thumbnail is made again.
  temp.write("cut.jpg", beach.substr(0, beach.size() / 3));
  ASSERT_EQ(::mkfifo((temp.path() / "fifo.jpg").c_str(), 0644), 0);
  openAndCount();
  EXPECT_EQ(ui->File1->ListCount(), 6);
  click(ui->cmdCreate);
  ASSERT_EQ(messages.size(), 2);
  EXPECT_EQ(messages[1],
            "Not everything could be created:\n\nfifo.jpg: not a regular file (a FIFO)\n" + cut);
}

TEST_F(CreateFromWindow, AFolderGoneOrReadOnlyIsOneMessageBeforeAnythingStarts) {
  for (const bool gone : {true, false}) {
    makePictures(temp.path(), 2);  // again, after the first round removed them
    open(temp.path());
    click(ui->cmdFrames[1]);
    if (gone) {
      std::filesystem::remove_all(temp.path());
      click(ui->cmdCreate);
      std::filesystem::create_directories(temp.path());  // for the scratch folder's clean-up
    } else {
      vistrel::testing::ReadOnlyFolder readOnly(temp.path());
      click(ui->cmdCreate);
    }
    // One message naming the folder and why, not one line per picture.
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0], "Nothing was created:\n\nThe folder " + qs(temp.path()) +
                               " cannot be written: " +
                               (gone ? "No such file or directory" : "Permission denied"));
    EXPECT_FALSE(std::filesystem::exists(temp.path() / "Thumb001.html"));
    EXPECT_TRUE(shell.opened.isEmpty());
    EXPECT_FALSE(ui->notice->isVisible() || ui->picProgress->isVisible());
    messages.clear();
  }
}

TEST(CreateMessageText, RemovedLeftoversAndTemporariesAreToldAndNamedInTheDetails) {
  run::CreateReport report;
  report.filesRemoved = {"th_old.jpg"};
  report.temporariesRemoved = {".Thumb001.html.4242.1.tmp"};
  const CreateMessage message = createMessage(report, "/pics");
  EXPECT_EQ(message.text,
            "1 file of an earlier gallery (thumbnails of pictures no longer in the folder, or "
            "pages past the last) was removed.\nTemporary files of an interrupted run were "
            "removed: .Thumb001.html.4242.1.tmp");
  EXPECT_EQ(message.details, "Removed:\nth_old.jpg");
}

TEST_F(CreateFromWindow, APageNoProgramOpenedIsToldWithItsPath) {
  shell.answer = false;
  openAndCount();
  click(ui->cmdCreate);
  ASSERT_EQ(messages.size(), 1);
  EXPECT_EQ(messages[0], "The gallery was created, but no program opened Thumb001.html\n\n" +
                             qs(temp.path() / "Thumb001.html"));
  // With a skipped picture as well, both are told; the other pictures still make the gallery.
  const auto second = temp.path() / "second";
  makePictures(second, 2);
  vistrel::testing::writeBytes(second / "broken.jpg", "no picture in here");
  open(second);
  click(ui->cmdFrames[1]);
  click(ui->cmdCreate);
  ASSERT_EQ(messages.size(), 2);
  EXPECT_TRUE(messages[1].startsWith("Not everything could be created:\n\nbroken.jpg: "))
      << messages[1].toStdString();
  EXPECT_TRUE(messages[1].contains("\n\nThe gallery was created, but no program opened"));
  EXPECT_FALSE(std::filesystem::exists(second / "th_broken.jpg"));
  EXPECT_TRUE(std::filesystem::exists(second / "th_pic2.jpg"));
  EXPECT_EQ(shell.opened.size(), 2);
}

TEST_F(CreateFromWindow, PageStyleChosenWithItsMnemonicMakesModernPages) {
  Form1& w = openAndCount();
  EXPECT_EQ(ui->cmbStyle->currentText(), "Classic");
  QTest::keyClick(&w, Qt::Key_S, Qt::AltModifier);
  EXPECT_SOON(ui->cmbStyle->hasFocus());
  QTest::keyClick(ui->cmbStyle, Qt::Key_Down);
  EXPECT_EQ(ui->cmbStyle->currentText(), "Modern");
  EXPECT_EQ(ui->lblNumPages->Caption(), "2");
  click(ui->cmdCreate);
  EXPECT_TRUE(messages.isEmpty()) << messages.join("\n").toStdString();
  const std::string first = temp.read("Thumb001.html");
  EXPECT_NE(first.find("<meta name=\"generator\" content=\"Vistrel "), std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(temp.path() / "vistrel.css"));
}

// The order is chosen where the pictures are; the list keeps name order, the pages follow it.
TEST_F(CreateFromWindow, NewestFirstChosenBesideTheListOrdersTheClassicPages) {
  Form1& w = open(temp.path());
  const auto now = std::filesystem::file_time_type::clock::now();
  int age = 0;
  for (const char* name : {"Eel.GIF", "dune.jpg", "Cliff.JPG", "beach.jpg", "anim.gif"}) {
    std::filesystem::last_write_time(temp.path() / name, now - std::chrono::hours(++age));
  }
  QTest::keyClick(&w, Qt::Key_O, Qt::AltModifier);
  EXPECT_SOON(ui->cmbOrder->hasFocus());
  QTest::keyClick(ui->cmbOrder, Qt::Key_Down);
  QTest::keyClick(ui->cmbOrder, Qt::Key_Down);
  EXPECT_EQ(ui->cmbOrder->currentText(), "Date taken, newest first");
  click(ui->cmdFrames[1]);
  typeInto(ui->txtTable[0], "2");
  typeInto(ui->txtTable[1], "2");
  click(ui->cmdCreate);
  EXPECT_TRUE(messages.isEmpty()) << messages.join("\n").toStdString();
  EXPECT_THAT(temp.read("Thumb001.html"),
              ContainsRegex("th_Eel.jpg.*th_dune.jpg.*th_Cliff.jpg.*th_beach.jpg"));
  EXPECT_THAT(temp.read("Thumb002.html"), HasSubstr("th_anim.jpg"));
}

// The button beside Page Style serves the modern style only; its dialog's Cancel keeps nothing
// and OK keeps what it holds for Create, but never for a classic run.
TEST_F(CreateFromWindow, ModernOptionsAreSetInTheirDialogAndReachOnlyAModernRun) {
  openAndCount();
  EXPECT_FALSE(ui->cmdModern->isEnabled());
  ui->cmbStyle->setFocus(Qt::TabFocusReason);
  QTest::keyClick(ui->cmbStyle, Qt::Key_Down);
  ASSERT_TRUE(ui->cmdModern->isEnabled());
  for (const auto button : {QDialogButtonBox::Cancel, QDialogButtonBox::Ok}) {
    click(ui->cmdModern);
    QDialog* dialog = nullptr;
    ASSERT_TRUE(QTest::qWaitFor([&] {
      return (dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) != nullptr;
    }));
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
    auto* viewSize = dialog->findChild<QSpinBox*>("viewSize");
    auto* originals = dialog->findChild<QComboBox*>("originals");
    EXPECT_EQ(std::pair(viewSize->value(), originals->currentIndex()), std::pair(1280, 0));
    QTest::keyClick(dialog, Qt::Key_V, Qt::AltModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return viewSize->hasFocus(); }));
    QTest::keyClick(viewSize, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(viewSize, "640");
    QTest::keyClick(dialog, Qt::Key_O, Qt::AltModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return originals->hasFocus(); }));
    QTest::keyClick(originals, Qt::Key_Down);
    auto* title = dialog->findChild<QLineEdit*>("title");
    QTest::keyClick(dialog, Qt::Key_T, Qt::AltModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return title->hasFocus(); }));
    QTest::keyClicks(title, "Crete");
    click(dialog->findChild<QDialogButtonBox*>()->button(button));
    ASSERT_TRUE(QTest::qWaitFor([] { return QApplication::activeModalWidget() == nullptr; }));
    const run::CreateSettings settings = ui->createSettings();
    const bool kept = button == QDialogButtonBox::Ok;
    EXPECT_EQ(settings.thumbnails.viewSize, kept ? 640 : 1280);
    EXPECT_EQ(settings.originals, kept ? gallery::Originals::None : gallery::Originals::Link);
    EXPECT_EQ(settings.title, kept ? "Crete" : "");
  }
  ui->cmbStyle->setFocus(Qt::TabFocusReason);
  QTest::keyClick(ui->cmbStyle, Qt::Key_Up);
  EXPECT_FALSE(ui->cmdModern->isEnabled());
  const run::CreateSettings classic = ui->createSettings();
  EXPECT_EQ(classic.thumbnails.viewSize, common::kViewSizeInitial);
  EXPECT_EQ(classic.originals, gallery::Originals::Link);
  EXPECT_EQ(classic.title, "");
}

// With albums on, the message sums the whole tree: eleven folders skipped, ten of them listed.
TEST_F(CreateFromWindow, TheClosingMessageOfAnAlbumsRunListsTenOfTheTreesProblems) {
  for (int i = 0; i < 11; ++i) {
    const auto album = temp.path() / ("album" + std::to_string(i));
    makePictures(album, 1);
    std::filesystem::create_directory_symlink("..", album / "up");
  }
  openAndCount();
  ui->cmbStyle->setCurrentIndex(1);
  click(ui->cmdModern);
  QDialog* dialog = nullptr;
  ASSERT_TRUE(QTest::qWaitFor([&] {
    return (dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) != nullptr;
  }));
  dialog->findChild<QCheckBox*>("albums")->setChecked(true);
  dialog->accept();
  EXPECT_EQ(ui->lblTotalImages->Caption(), "16");
  ui->chkHTML->setChecked(false);
  click(ui->cmdCreate);
  ASSERT_EQ(messages.size(), 1);
  const QStringList lines = messages[0].split('\n');
  EXPECT_EQ(lines[0], "Not everything could be created:");
  EXPECT_THAT(lines[2].toStdString(), HasSubstr("album0/up/"));
  EXPECT_EQ(lines[12], "and 1 more");
  EXPECT_TRUE(std::filesystem::exists(temp.path() / "album10" / "Thumb001.html"));
}

TEST_F(CreateFromWindow, TheClosingMessageCountsLinkedOriginalsThatCarryALocation) {
  vistrel::testing::writeJpegWithLocation(temp.path() / "phone1.jpg", 64, 48);
  vistrel::testing::writeJpegWithLocation(temp.path() / "phone2.jpg", 48, 64);
  openAndCount();
  ui->cmbStyle->setFocus(Qt::TabFocusReason);
  QTest::keyClick(ui->cmbStyle, Qt::Key_Down);
  click(ui->cmdCreate);
  ASSERT_EQ(messages.size(), 1);
  EXPECT_EQ(messages[0].split('\n')[0], "2 linked originals carry a location (GPS)");
}

TEST_F(CreateFromWindow, TheWindowsProgressDisplayWorksInTwips) {
  ProgressDisplay& p = open(temp.path()).progress();
  EXPECT_FLOAT_EQ(p.trackWidth(), 5200);
  EXPECT_FLOAT_EQ(p.fillWidth(), 15);
  // Past the track's end the track clips the fill.
  for (const auto& [twips, pixels] : {std::pair(2600.0f, 173), std::pair(9000.0f, 600)}) {
    p.setFillWidth(twips);
    EXPECT_EQ(ui->lblProgress->width(), pixels) << twips;
  }
  p.setNoticeVisible(true);
  p.setStatus({common::Phase::Thumbnails, 1, 5});
  EXPECT_TRUE(ui->notice->isVisible());
  EXPECT_EQ(ui->notice->Caption(), "Processing images...     (1 of 5)");
  p.setTrackVisible(true);
  EXPECT_TRUE(ui->picProgress->isVisible());
  p.setFillWidth(0);
  EXPECT_EQ(ui->lblProgress->width(), 0);
}

}  // namespace
}  // namespace vistrel::app::testing
