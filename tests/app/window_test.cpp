// The frame on the real window: start-up, the panel buttons and their access keys, when the
// picture count is taken, Exit and the About link.
#include <QSet>

#include "app/window_icon.h"
#include "common/defaults.h"
#include "common/maker.h"
#include "common/version.h"
#include "support/form1_test_support.h"
#include "support/soon.h"

namespace vistrel::app::testing {
namespace {

using StartUp = WindowTest;
using Panels = WindowTest;

bool marked(const QPushButton* b) {
  return b->font().bold() && b->font().underline();
}

TEST_F(StartUp, PropertiesAboutAndCreateNeedAFolderWithPictures) {
  for (const int pictures : {0, 3}) {
    SCOPED_TRACE(pictures);
    const auto folder = temp.path() / std::to_string(pictures);
    std::filesystem::create_directories(folder);
    makePictures(folder, pictures);
    Form1& w = open(folder);
    EXPECT_EQ(w.shownPanel(), 0);
    EXPECT_TRUE(ui->Frame1[0]->isVisible() && !ui->Frame1[1]->isVisible());
    EXPECT_TRUE(marked(ui->cmdFrames[0]) && !marked(ui->cmdFrames[1]));
    for (QWidget* control :
         std::initializer_list<QWidget*>{ui->cmdFrames[1], ui->cmdFrames[2], ui->cmdCreate}) {
      EXPECT_EQ(control->isEnabled(), pictures > 0);
    }
    EXPECT_EQ(ui->lblTotalImages->Caption(), pictures > 0 ? "3" : "");
    EXPECT_EQ(ui->ImageCount, 0);
    EXPECT_EQ(ui->File1->ListIndex(), -1);
    EXPECT_FALSE(ui->notice->isVisible() || ui->picProgress->isVisible());
  }
}

TEST_F(StartUp, TitleLinkIconAndTwipsRoundedToWholePixels) {
  Form1& w = open(temp.path());
  EXPECT_EQ(w.windowTitle(), QStringLiteral("Vistrel v%1     \u00A9 %2 %3")
                                 .arg(common::kVersion, common::kReleaseYear, common::kMakerName));
  EXPECT_EQ(ui->lblLink->Caption(), common::kMakerWebPage);
  // The one start-up value that the Create tests cannot see in their files.
  EXPECT_EQ(ui->cmbQuality->currentText(), QString::number(common::kQualityInitial));
  EXPECT_EQ(w.size(), QSize(456, 399));
  EXPECT_EQ(w.minimumSize(), w.maximumSize());
  // Edges are rounded, so 1440 + 1335 twips ends at pixel 185.
  EXPECT_EQ(ui->cmdFrames[1]->geometry(), QRect(96, 16, 89, 23));
  QSet<QRgb> colours;
  const QImage icon = windowIcon().toImage();
  for (int y = 0; y < icon.height(); ++y) {
    for (int x = 0; x < icon.width(); ++x) {
      colours.insert(icon.pixel(x, y));
    }
  }
  EXPECT_EQ(icon.size(), QSize(32, 32));
  EXPECT_GE(colours.size(), 6);  // a picture, not a filled square
}

TEST_F(Panels, AccessKeysShowPanelsAndTheCountIsTakenOncePerFolder) {
  makePictures(temp.path() / "a", 3);
  makePictures(temp.path() / "b", 7);
  makePictures(temp.path() / "A", 2);  // another folder where letter case counts
  Form1& w = open(temp.path() / "a");
  click(ui->cmdFrames[2]);
  EXPECT_EQ(w.shownPanel(), 2);
  EXPECT_TRUE(ui->Frame1[2]->isVisible() && marked(ui->cmdFrames[2]));
  // An access key presses its button visibly, so the click comes a moment later.
  QTest::keyClick(&w, Qt::Key_P, Qt::AltModifier);
  EXPECT_SOON_EQ(w.shownPanel(), 1);
  EXPECT_EQ(ui->ImageCount, 3);
  EXPECT_EQ(ui->LastPath, qs(temp.path() / "a"));
  EXPECT_EQ(ui->lblNumImages->Caption(), "3");
  typeInto(ui->txtTable[0], "2");
  typeInto(ui->txtTable[1], "2");
  EXPECT_EQ(ui->lblNumPages->Caption(), "1");

  // The same folder, read again with a picture more, blanks around the remembered name: the
  // count stays the one taken.
  vistrel::testing::writeJpeg(temp.path() / "a" / "pic9.jpg", 20, 20);
  QTest::keyClick(&w, Qt::Key_D, Qt::AltModifier);
  EXPECT_SOON_EQ(w.shownPanel(), 0);
  ASSERT_TRUE(w.openFolder(qs(temp.path() / "b")));
  ASSERT_TRUE(w.openFolder(qs(temp.path() / "a")));
  EXPECT_EQ(ui->lblTotalImages->Caption(), "4");
  ui->LastPath = "  " + ui->LastPath + " ";
  click(ui->cmdFrames[1]);
  EXPECT_EQ(ui->ImageCount, 3);

  const struct {
    const char* folder;
    int count;
    const char* pages;
  } changes[] = {{"b", 7, "2"}, {"A", 2, "1"}};
  for (const auto& c : changes) {
    click(ui->cmdFrames[0]);
    ASSERT_TRUE(w.openFolder(qs(temp.path() / c.folder)));
    click(ui->cmdFrames[1]);
    EXPECT_EQ(ui->ImageCount, c.count) << c.folder;
    EXPECT_EQ(ui->lblNumImages->Caption(), QString::number(c.count));
    EXPECT_EQ(ui->lblNumPages->Caption(), c.pages);
  }
}

TEST_F(Panels, TheLinkOpensTheMakersPageAndExitCloses) {
  makePictures(temp.path(), 1);
  Form1& w = open(temp.path());
  click(ui->cmdFrames[2]);
  QTest::mouseClick(ui->lblLink, Qt::RightButton);
  EXPECT_EQ(shell.opened, QStringList({common::kMakerWebPage}));
  click(ui->cmdExit);
  EXPECT_FALSE(w.isVisible());
}

}  // namespace
}  // namespace vistrel::app::testing
