// The Directory panel on the real window: the three lists, the count and enabling on folder
// changes, and the preview with its attribute line.
#include "support/form1_test_support.h"
#include "support/format_files.h"
#include "support/soon.h"

namespace vistrel::app::testing {
namespace {

using Preview = WindowTest;

class DirectoryPanel : public WindowTest {
 protected:
  QTreeWidgetItem* folderItem(const QString& name) {
    return ui->Dir1->findItems(name, Qt::MatchExactly | Qt::MatchRecursive).value(0);
  }
  QPoint folderRow(const QString& name) {
    return ui->Dir1->visualItemRect(folderItem(name)).center();
  }
  // A click to highlight the row, then a double-click to open it.
  void doubleClickFolder(const QString& name) {
    QTest::mouseClick(ui->Dir1->viewport(), Qt::LeftButton, {}, folderRow(name));
    QTest::qWait(20);
    QTest::mouseDClick(ui->Dir1->viewport(), Qt::LeftButton, {}, folderRow(name));
  }
  // The folder, picture count and Create button the panel shows.
  QString shown() const {
    return ui->Dir1->Path() + " " + ui->lblTotalImages->Caption() +
           (ui->cmdCreate->isEnabled() ? " Create" : "");
  }
};

QStringList names(const toolkit::FileList* list) {
  QStringList out;
  for (int i = 0; i < list->ListCount(); ++i) {
    out << list->List(i);
  }
  return out;
}

TEST_F(DirectoryPanel, FolderListShowsThePathDownThenSubfoldersAndOpensOnDoubleClickOrEnter) {
  std::filesystem::create_directories(temp.path() / "beta");
  std::filesystem::create_directories(temp.path() / ".hidden");
  makePictures(temp.path() / "Alpha", 2);
  open(temp.path());
  QStringList expected;
  for (const auto& folder : browse::folderChain(temp.path())) {
    expected << qs(folder);
  }
  const QString base = qs(temp.path());
  expected << base + "/Alpha" << base + "/beta";
  EXPECT_EQ(ui->Dir1->entries(), expected);

  // A single click only moves the highlight.
  QTest::mouseClick(ui->Dir1->viewport(), Qt::LeftButton, {}, folderRow("Alpha"));
  QTest::qWait(20);
  EXPECT_EQ(ui->Dir1->Path(), base);
  doubleClickFolder("Alpha");
  EXPECT_SOON_EQ(ui->Dir1->Path(), base + "/Alpha");
  EXPECT_EQ(ui->File1->Path() + " " + shown(), base + "/Alpha " + base + "/Alpha 2 Create");

  // Enter on the highlighted parent goes back up.
  ui->Dir1->setFocus();
  ui->Dir1->setCurrentItem(folderItem(qs(temp.path().filename())));
  QTest::keyClick(ui->Dir1, Qt::Key_Return);
  EXPECT_SOON_EQ(ui->Dir1->Path(), base);
  EXPECT_EQ(shown(), base + " 0");
  EXPECT_FALSE(ui->cmdFrames[1]->isEnabled());
  EXPECT_FALSE(ui->cmdFrames[2]->isEnabled());
}

// Names from old memory cards and Windows copies are Latin-1, not UTF-8: what the lists show is
// text, but every file operation uses the names' own bytes.
TEST_F(DirectoryPanel, NamesThatAreNotUtf8AreListedOpenedPreviewedAndCreated) {
  const std::filesystem::path folder = temp.path() / "d\xE9j\xE0";
  vistrel::testing::writeJpeg(folder.parent_path() / "x.jpg", 8, 8);  // the folder's parent
  std::filesystem::create_directories(folder);
  vistrel::testing::writeJpeg(folder / "caf\xE9.jpg", 64, 48);
  vistrel::testing::writeJpeg(folder / "caf\xC3\xA9s.jpg", 40, 30);  // UTF-8 "cafés"
  open(temp.path());

  doubleClickFolder(QStringLiteral("d\u00E9j\u00E0"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return ui->Dir1->folder() == folder; }));
  EXPECT_EQ(ui->File1->folder(), folder);
  // Byte order: the UTF-8 name's 0xC3 comes before 0xE9.
  EXPECT_EQ(names(ui->File1), QStringList({"caf\u00E9s.jpg", "caf\u00E9.jpg"}));
  EXPECT_EQ(ui->File1->nameBytes(0), "caf\xC3\xA9s.jpg");
  EXPECT_EQ(ui->File1->nameBytes(1), "caf\xE9.jpg");

  clickFile(1);
  EXPECT_FALSE(ui->imgPreview->Picture().isNull());
  EXPECT_TRUE(ui->lblImageAttributes->Caption().endsWith(" 64x48"))
      << ui->lblImageAttributes->Caption().toStdString();

  click(ui->cmdFrames[1]);
  click(ui->cmdCreate);
  EXPECT_TRUE(messages.isEmpty()) << messages.join("\n").toStdString();
  EXPECT_TRUE(std::filesystem::exists(folder / "th_caf\xE9.jpg"));
  const std::string page = vistrel::testing::readBytes(folder / "Thumb002.html");
  EXPECT_NE(page.find("HREF=\"caf%E9.jpg\""), std::string::npos) << page;
}

TEST(DisplayName, ShowsUtf8AsItReadsAndEveryOtherByteAsLatin1) {
  const std::pair<const char*, const char16_t*> cases[] = {
      {"photo.jpg", u"photo.jpg"},            // ASCII
      {"caf\xC3\xA9.jpg", u"caf\u00E9.jpg"},  // UTF-8
      {"caf\xE9.jpg", u"caf\u00E9.jpg"},      // Latin-1
      {"\xE2\x82", u"\u00E2\uFFFD"},          // cut short; 0x82 is a control code
      {"\xC3\xA9\xE9", u"\u00E9\u00E9"},      // both in one name
  };
  for (const auto& [bytes, shown] : cases) {
    EXPECT_EQ(toolkit::displayName(bytes), QString::fromUtf16(shown)) << bytes;
  }
}

TEST_F(DirectoryPanel, AFolderThatCannotBeReadLeavesEverythingOnThePreviousOne) {
  makePictures(temp.path() / "good", 2);
  makePictures(temp.path() / "doomed", 1);
  Form1& w = open(temp.path() / "good");
  clickFile(0);
  const QString line = ui->lblImageAttributes->Caption();
  ASSERT_FALSE(line.isEmpty());
  EXPECT_FALSE(w.openFolder(qs(temp.path() / "missing")));
  // Listed, then gone before it is opened.
  ASSERT_TRUE(w.openFolder(qs(temp.path())));
  std::filesystem::remove_all(temp.path() / "doomed");
  doubleClickFolder("doomed");
  QTest::qWait(50);
  EXPECT_EQ(ui->File1->Path() + " " + shown(), qs(temp.path()) + " " + qs(temp.path()) + " 0");
  EXPECT_TRUE(ui->Dir1->entries().contains(qs(temp.path() / "good")));
}

TEST_F(DirectoryPanel, TheFileListIsReadWhenItsPathIsSetAndNothingIsSelectedAfter) {
  makePictures(temp.path(), 2);
  temp.write("notes.txt", "x");
  open(temp.path());
  EXPECT_EQ(ui->File1->Pattern(), "*.jpg;*.gif");
  EXPECT_EQ(ui->lblTotalImages->Caption(), "2");
  clickFile(1);
  EXPECT_EQ(ui->File1->ListIndex(), 1);
  EXPECT_EQ(ui->File1->FileName(), "pic2.jpg");
  vistrel::testing::writeJpeg(temp.path() / "pic3.jpg", 10, 10);
  EXPECT_EQ(ui->File1->ListCount(), 2);
  ASSERT_TRUE(ui->File1->setPath(qs(temp.path())));
  EXPECT_EQ(ui->File1->ListCount(), 3);
  EXPECT_EQ(ui->File1->ListIndex(), -1);
  EXPECT_EQ(ui->File1->FileName(), "");
  // Reading a folder that is gone keeps the list.
  EXPECT_FALSE(ui->File1->setPath(qs(temp.path() / "gone")));
  EXPECT_EQ(ui->File1->ListCount(), 3);
}

TEST_F(DirectoryPanel, ChangingTheDriveMovesTheFolderListAndBlanksThePreview) {
  makePictures(temp.path() / "start", 1);
  makePictures(temp.path() / "drive" / "deeper", 2);
  makePictures(temp.path() / "drive", 3);
  Form1& w = open(temp.path() / "start");
  // The start folder's mounted volume is the one chosen.
  EXPECT_EQ(ui->Drive1->Drive(), QStorageInfo(qs(temp.path())).rootPath());
  const QString drive = qs(temp.path() / "drive");
  const QString gone = qs(temp.path() / "gone");
  ui->Drive1->setDrives({"/", drive, gone});
  ui->Drive1->showDriveOf(ui->Dir1->Path());
  ASSERT_EQ(ui->Drive1->Drive(), "/");
  clickFile(0);
  ASSERT_FALSE(ui->lblImageAttributes->Caption().isEmpty());

  // Choosing a drive from the keyboard, as a user does: the list is sorted, so "/" comes first.
  ui->Drive1->setFocus();
  QTest::keyClick(ui->Drive1, Qt::Key_Down);
  ASSERT_EQ(ui->Drive1->Drive(), drive);
  EXPECT_EQ(ui->File1->Path() + " " + shown(), drive + " " + drive + " 3 Create");
  EXPECT_TRUE(ui->imgPreview->Picture().isNull());
  EXPECT_EQ(ui->lblImageAttributes->Caption(), "");
  ASSERT_TRUE(w.openFolder(drive + "/deeper"));
  EXPECT_EQ(ui->Drive1->Drive(), drive);

  // A drive that cannot be read: everything stays, the drive list included.
  QTest::keyClick(ui->Drive1, Qt::Key_Down);
  EXPECT_EQ(ui->Drive1->Drive(), drive);
  EXPECT_EQ(shown(), drive + "/deeper 2 Create");

  // Back on the first drive the folder last open there comes back.
  QTest::keyClick(ui->Drive1, Qt::Key_Up);
  EXPECT_EQ(ui->Drive1->Drive(), "/");
  EXPECT_EQ(shown(), qs(temp.path() / "start") + " 1 Create");

  // A drive whose remembered folder is gone opens at its root.
  std::filesystem::remove_all(temp.path() / "drive" / "deeper");
  QTest::keyClick(ui->Drive1, Qt::Key_Down);
  EXPECT_EQ(ui->Drive1->Drive(), drive);
  EXPECT_EQ(shown(), drive + " 3 Create");

  // A volume mounted after start-up is there the next time the list opens; the drive shown
  // stays listed even when it is no longer mounted.
  auto mounted = std::make_shared<QStringList>(QStringList{"/"});
  ui->Drive1->setDriveSource([mounted] { return *mounted; });
  ui->Drive1->refresh();
  const QString later = qs(temp.path() / "later");
  mounted->push_back(later);
  EXPECT_EQ(ui->Drive1->findData(later), -1);
  ui->Drive1->showPopup();
  EXPECT_NE(ui->Drive1->findData(later), -1);
  ui->Drive1->hidePopup();
  EXPECT_EQ(ui->Drive1->Drive(), drive);
}

TEST_F(Preview, FitsTheAreaCentredAndCutEquallyWhenLarger) {
  vistrel::testing::writeJpeg(temp.path() / "a_land.jpg", 640, 480);
  vistrel::testing::writeGif(temp.path() / "b_icon.gif", 32, 32);
  Form1& w = open(temp.path());
  const struct {
    int row;
    QRectF twips;
    QString size;
  } cases[] = {{0, QRectF(0, -88, 3135, 2351), "640x480"},
               {1, QRectF(480, 0, 2175, 2175), "32x32"}};
  for (const auto& c : cases) {
    // The first by a click, the next by the keyboard.
    if (c.row == 0) {
      clickFile(0);
    } else {
      QTest::keyClick(ui->File1, Qt::Key_Down);
    }
    EXPECT_EQ(ui->imgPreview->twipsGeometry(), c.twips) << c.row;
    EXPECT_EQ(ui->X, c.twips.width());
    EXPECT_EQ(ui->Y, c.twips.height());
    EXPECT_TRUE(ui->imgPreview->isVisible());
    EXPECT_TRUE(ui->lblImageAttributes->Caption().endsWith(" bytes " + c.size))
        << ui->lblImageAttributes->Caption().toStdString();
  }
  // The landscape one, cut equally at top and bottom by the 145-pixel-high area.
  w.selectPicture(0);
  EXPECT_EQ(ui->imgPreview->geometry(), QRect(0, -6, 209, 157));
}

TEST_F(Preview, TheCheckBoxAndAFolderChangeBlankIt) {
  makePictures(temp.path() / "a", 2);
  makePictures(temp.path() / "b", 1);
  Form1& w = open(temp.path() / "a");
  auto blank = [&] {
    return ui->imgPreview->Picture().isNull() && ui->lblImageAttributes->Caption().isEmpty();
  };
  click(ui->chkPreview);  // off
  click(ui->chkPreview);  // on, nothing selected yet
  EXPECT_TRUE(blank());
  click(ui->chkPreview);  // off
  clickFile(0);
  EXPECT_TRUE(blank());
  click(ui->chkPreview);  // on: the selected picture comes back
  ASSERT_TRUE(ui->lblImageAttributes->Caption().endsWith("41x30"));
  ASSERT_TRUE(w.openFolder(qs(temp.path() / "b")));
  EXPECT_TRUE(blank());
}

// Choosing "All supported" beside Page Style lists the other formats at once: the list, both
// counts and Create follow, and the preview shows them.
TEST_F(Preview, PictureTypesChangeTheListCountsCreateAndPreview) {
  const auto quarter = vistrel::testing::rgbaPainted(64, 48, [](int, int) {
    return vistrel::testing::RgbaColour{200, 30, 30, 255};
  });
  temp.write("b.heic", vistrel::testing::heifFile(quarter));
  temp.write("c.webp", vistrel::testing::webpFile(quarter));
  temp.write("d.png", vistrel::testing::pngFile(quarter));
  open(temp.path());
  EXPECT_EQ(ui->File1->ListCount(), 0);
  EXPECT_FALSE(ui->cmdCreate->isEnabled());
  vistrel::testing::writeJpeg(temp.path() / "a.jpg", 32, 32);
  ui->cmdFrames[1]->click();
  ui->cmbTypes->setFocus();
  QTest::keyClick(ui->cmbTypes, Qt::Key_Down);
  EXPECT_EQ(ui->cmbTypes->currentText(), "All supported");
  EXPECT_EQ(names(ui->File1), (QStringList{"a.jpg", "b.heic", "c.webp", "d.png"}));
  EXPECT_EQ(ui->lblTotalImages->Caption(), "4");
  EXPECT_EQ(ui->lblNumImages->Caption(), "4");
  EXPECT_TRUE(ui->cmdCreate->isEnabled());
  ui->cmdFrames[0]->click();
  for (int row = 1; row <= 3; ++row) {
    clickFile(row);
    EXPECT_FALSE(ui->imgPreview->Picture().isNull()) << row;
    EXPECT_TRUE(ui->lblImageAttributes->Caption().endsWith(" bytes 64x48"))
        << ui->lblImageAttributes->Caption().toStdString();
  }
  ui->cmbTypes->setCurrentIndex(0);
  EXPECT_EQ(names(ui->File1), QStringList{"a.jpg"});
  EXPECT_EQ(ui->lblNumImages->Caption(), "1");
}

TEST_F(Preview, APictureThatCannotBeShownLeavesItBlankAndSaysWhy) {
  vistrel::testing::writeJpeg(temp.path() / "a_good.jpg", 64, 48);
  temp.write("b_damaged.jpg", "this is no JPEG");
  vistrel::testing::writeJpeg(temp.path() / "c_gone.jpg", 64, 48);
  open(temp.path());
  clickFile(0);
  ASSERT_FALSE(ui->imgPreview->Picture().isNull());
  clickFile(1);
  EXPECT_TRUE(ui->imgPreview->Picture().isNull());
  EXPECT_EQ(ui->lblImageAttributes->Caption().toStdString(),
            "Cannot be shown: not a JPEG or GIF file");
  clickFile(0);
  std::filesystem::remove(temp.path() / "c_gone.jpg");
  clickFile(2);
  EXPECT_TRUE(ui->imgPreview->Picture().isNull());
  EXPECT_TRUE(ui->lblImageAttributes->Caption().startsWith("Cannot be shown: "));
  EXPECT_TRUE(ui->lblImageAttributes->Caption().contains("No such file or directory"))
      << ui->lblImageAttributes->Caption().toStdString();
  EXPECT_TRUE(messages.isEmpty());
}

}  // namespace
}  // namespace vistrel::app::testing
