// Start-up, panels, counts, enabling, Exit and the About link on the real window.
#include <QSet>
#include "app/form1_test_support.h"

#include "app/window_icon.h"
#include "common/maker.h"
#include "common/version.h"

namespace vistrel::app::testing {
using common::kVersion;

namespace {

using StartUp = WindowTest;
using Panels = WindowTest;

bool boldAndUnderlined(const QPushButton* b) {
  return b->font().bold() && b->font().underline();
}

TEST_F(StartUp, InAFolderWithoutPicturesOnlyDirectoryIsUsable) {
  temp.write("notes.txt", "x");
  [[maybe_unused]] Form1& w = open(temp.path());
  EXPECT_EQ(w.shownPanel(), 0);
  EXPECT_TRUE(ui->Frame1[0]->isVisible());
  EXPECT_FALSE(ui->Frame1[1]->isVisible());
  EXPECT_FALSE(ui->Frame1[2]->isVisible());
  EXPECT_TRUE(boldAndUnderlined(ui->cmdFrames[0]));
  EXPECT_FALSE(ui->cmdFrames[1]->font().bold() || ui->cmdFrames[1]->font().underline());
  EXPECT_TRUE(ui->cmdFrames[0]->isEnabled());
  EXPECT_FALSE(ui->cmdFrames[1]->isEnabled());
  EXPECT_FALSE(ui->cmdFrames[2]->isEnabled());
  EXPECT_FALSE(ui->cmdCreate->isEnabled());
  EXPECT_EQ(ui->lblTotalImages->Caption(), "");
  EXPECT_EQ(w.LastPath, "");
  EXPECT_EQ(w.ImageCount, 0);
  EXPECT_EQ(ui->cmbQuality->currentText(), "65");
  EXPECT_EQ(ui->lblNumImages->Caption(), "1");
  EXPECT_EQ(ui->lblNumPages->Caption(), "1");
  EXPECT_EQ(ui->Dir1->Path(), qs(temp.path()));
  EXPECT_EQ(ui->File1->Path(), qs(temp.path()));
  EXPECT_FALSE(ui->notice->isVisible());
  EXPECT_FALSE(ui->picProgress->isVisible());
}

TEST_F(StartUp, WithPicturesCountsThemAndEnablesTheCommands) {
  makePictures(temp.path(), 3);
  [[maybe_unused]] Form1& w = open(temp.path());
  EXPECT_EQ(ui->lblTotalImages->Caption(), "3");
  EXPECT_TRUE(ui->cmdFrames[1]->isEnabled());
  EXPECT_TRUE(ui->cmdFrames[2]->isEnabled());
  EXPECT_TRUE(ui->cmdCreate->isEnabled());
  EXPECT_EQ(ui->File1->ListIndex(), -1);
}

TEST_F(StartUp, DesignStateOfTheWindow) {
  [[maybe_unused]] Form1& w = open(temp.path());
  EXPECT_EQ(w.size(), QSize(456, 399));
  EXPECT_EQ(w.minimumSize(), w.maximumSize());
  EXPECT_TRUE(w.windowTitle().startsWith(QStringLiteral("Vistrel v%1     ").arg(kVersion)));
  EXPECT_TRUE(w.windowTitle().contains(common::kMakerName));
  const QImage icon = windowIcon().toImage();
  EXPECT_EQ(icon.size(), QSize(32, 32));
  QSet<QRgb> colours;
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) {
      colours.insert(icon.pixel(x, y));
    }
  }
  EXPECT_GE(colours.size(), 6);  // a picture, not a filled square
  EXPECT_LE(colours.size(), 17);
  // Twips over 15: edges rounded to whole pixels.
  EXPECT_EQ(ui->cmdFrames[1]->geometry(), QRect(96, 16, 89, 23));
  EXPECT_EQ(ui->Frame1[0]->geometry(), QRect(16, 48, 425, 305));
  EXPECT_EQ(ui->File1->geometry(), QRect(216, 16, 209, 136));
  EXPECT_EQ(ui->picContainer->geometry(), QRect(0, 160, 209, 145));
  EXPECT_EQ(ui->picProgress->geometry(), QRect(8, 384, 347, 8));
  EXPECT_EQ(ui->cmdExit->geometry(), QRect(368, 368, 81, 25));
  EXPECT_EQ(ui->scrTable[0]->geometry(), QRect(118, 138, 17, 17));
  EXPECT_EQ(ui->cmdFrames[0]->text(), "&Directory");
  EXPECT_EQ(ui->cmdFrames[1]->text(), "&Properties");
  EXPECT_EQ(ui->cmdFrames[2]->text(), "&About");
  EXPECT_EQ(ui->cmdCreate->text(), "&Create");
  EXPECT_EQ(ui->cmdExit->text(), "&Exit");
  EXPECT_EQ(ui->notice->Caption(), "Working...");
  EXPECT_TRUE(ui->notice->font().bold());
  EXPECT_DOUBLE_EQ(ui->title->font().pointSizeF(), 24.0);
  EXPECT_TRUE(ui->lblLink->font().underline());
  EXPECT_EQ(ui->lblLink->Caption(), common::kMakerWebPage);
  EXPECT_TRUE(ui->chkPreview->isChecked());
  EXPECT_TRUE(ui->chkHTML->isChecked());
  EXPECT_EQ(ui->txtPrefix->text(), "th_");
  QStringList quality;
  for (int i = 0; i < ui->cmbQuality->count(); ++i) {
    quality << ui->cmbQuality->itemText(i);
  }
  EXPECT_EQ(quality, QStringList({"60", "65", "70", "75", "80", "85", "90", "95", "100"}));
  const int initial[5] = {1, 1, 2, 2, 2};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(ui->scrTable[i]->value(), initial[i]);
    EXPECT_EQ(ui->txtTable[i]->text(), QString::number(initial[i]));
  }
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(ui->scrThumbnail[i]->minimum(), 1);
    EXPECT_EQ(ui->scrThumbnail[i]->maximum(), 1500);
    EXPECT_EQ(ui->txtThumbnail[i]->text(), "150");
  }
}

TEST_F(Panels, ButtonsShowTheirPanelAndMnemonicsWork) {
  makePictures(temp.path(), 1);
  [[maybe_unused]] Form1& w = open(temp.path());
  click(ui->cmdFrames[2]);
  EXPECT_EQ(w.shownPanel(), 2);
  EXPECT_TRUE(ui->Frame1[2]->isVisible());
  EXPECT_FALSE(ui->Frame1[0]->isVisible());
  EXPECT_TRUE(boldAndUnderlined(ui->cmdFrames[2]));
  EXPECT_FALSE(ui->cmdFrames[0]->font().bold());
  // A mnemonic presses its button visibly, so the click comes a moment later.
  QTest::keyClick(&w, Qt::Key_P, Qt::AltModifier);
  QTRY_COMPARE(w.shownPanel(), 1);
  EXPECT_TRUE(ui->Frame1[1]->isVisible());
  // Pressing the shown panel's button again changes nothing.
  click(ui->cmdFrames[1]);
  EXPECT_EQ(w.shownPanel(), 1);
  EXPECT_TRUE(boldAndUnderlined(ui->cmdFrames[1]));
  EXPECT_EQ(w.ImageCount, 1);
  QTest::keyClick(&w, Qt::Key_D, Qt::AltModifier);
  QTRY_COMPARE(w.shownPanel(), 0);
}

TEST_F(Panels, PropertiesTwiceOnOneFolderTakesTheCountOnce) {
  makePictures(temp.path(), 3);
  [[maybe_unused]] Form1& w = open(temp.path());
  click(ui->cmdFrames[1]);
  EXPECT_EQ(w.ImageCount, 3);
  EXPECT_EQ(w.LastPath, qs(temp.path()));
  EXPECT_EQ(ui->lblNumImages->Caption(), "3");
  EXPECT_EQ(ui->lblNumPages->Caption(), "3");
  // The folder gains a picture and is read again, but it is the folder already counted.
  makePictures(temp.path() / "sub", 1);
  vistrel::testing::writeJpeg(temp.path() / "pic9.jpg", 20, 20);
  click(ui->cmdFrames[0]);
  ASSERT_TRUE(w.openFolder(qs(temp.path() / "sub")));
  ASSERT_TRUE(w.openFolder(qs(temp.path())));
  EXPECT_EQ(ui->lblTotalImages->Caption(), "4");
  click(ui->cmdFrames[1]);
  EXPECT_EQ(w.ImageCount, 3);
  EXPECT_EQ(ui->lblNumImages->Caption(), "3");
  // Blanks around the remembered folder do not make it another one.
  w.LastPath = "  " + qs(temp.path()) + " ";
  click(ui->cmdFrames[0]);
  click(ui->cmdFrames[1]);
  EXPECT_EQ(w.ImageCount, 3);
}

TEST_F(Panels, AFolderChangeBetweenTakesTheNewCount) {
  makePictures(temp.path() / "a", 3);
  makePictures(temp.path() / "b", 5);
  [[maybe_unused]] Form1& w = open(temp.path() / "a");
  click(ui->cmdFrames[1]);
  EXPECT_EQ(ui->lblNumImages->Caption(), "3");
  click(ui->cmdFrames[0]);
  ASSERT_TRUE(w.openFolder(qs(temp.path() / "b")));
  click(ui->cmdFrames[1]);
  EXPECT_EQ(w.ImageCount, 5);
  EXPECT_EQ(w.LastPath, qs(temp.path() / "b"));
  EXPECT_EQ(ui->lblNumImages->Caption(), "5");
  EXPECT_EQ(ui->lblNumPages->Caption(), "5");
}

TEST_F(Panels, SevenPicturesAtTwoByTwoGiveTwoPages) {
  makePictures(temp.path() / "a", 1);
  makePictures(temp.path() / "seven", 7);
  [[maybe_unused]] Form1& w = open(temp.path() / "a");
  click(ui->cmdFrames[1]);
  typeInto(ui->txtTable[0], "2");
  typeInto(ui->txtTable[1], "2");
  EXPECT_EQ(ui->lblNumPages->Caption(), "1");
  click(ui->cmdFrames[0]);
  ASSERT_TRUE(w.openFolder(qs(temp.path() / "seven")));
  click(ui->cmdFrames[1]);
  EXPECT_EQ(ui->lblNumImages->Caption(), "7");
  EXPECT_EQ(ui->lblNumPages->Caption(), "2");
}

TEST_F(Panels, FoldersDifferingOnlyInCaseAreTwoFoldersHere) {
  // On a case-sensitive file system "Pics" and "pics" are different folders, each counted.
  makePictures(temp.path() / "Pics", 2);
  makePictures(temp.path() / "pics", 3);
  [[maybe_unused]] Form1& w = open(temp.path() / "Pics");
  click(ui->cmdFrames[1]);
  EXPECT_EQ(w.ImageCount, 2);
  click(ui->cmdFrames[0]);
  ASSERT_TRUE(w.openFolder(qs(temp.path() / "pics")));
  click(ui->cmdFrames[1]);
  EXPECT_EQ(w.ImageCount, 3);
}

TEST_F(Panels, ExitClosesTheWindowAndTheLinkOpensTheMakersPage) {
  makePictures(temp.path(), 1);
  [[maybe_unused]] Form1& w = open(temp.path());
  click(ui->cmdFrames[2]);
  QTest::mouseClick(ui->lblLink, Qt::RightButton);
  EXPECT_EQ(shell.opened, QStringList({common::kMakerWebPage}));
  click(ui->cmdExit);
  EXPECT_FALSE(w.isVisible());
}

}  // namespace
}  // namespace vistrel::app::testing
