#pragma once
// A shown, active main window on a generated folder, and the Qt Test moves the window tests use.

#include <gtest/gtest.h>

#include <QApplication>
#include <QStorageInfo>
#include <QStyleFactory>
#include <QTest>
#include <filesystem>
#include <memory>

#include "app/form1.h"
#include "browse/folder_read.h"
#include "common/twips.h"
#include "support/recording_shell.h"
#include "support/sample_pictures.h"
#include "support/soon.h"
#include "support/temp_folder.h"

namespace vistrel::app::testing {

// The test seam: the window's private controls, by their designed names, through the friend
// declarations of Form1 and its panels.
struct Form1Access {
  explicit Form1Access(Form1& form) : w(form) {}

  Form1& w;
  DirectoryPanel& d = *w.directory_;
  PropertiesPanel& p = *w.properties_;
  // The window's state, by its designed names.
  const int& ImageCount = p.ImageCount_;
  QString& LastPath = w.LastPath_;
  const int16_t& X = w.X_;
  const int16_t& Y = w.Y_;
  std::array<QPushButton*, 3>& cmdFrames = w.cmdFrames;
  std::array<QWidget*, 3>& Frame1 = w.Frame1;
  toolkit::Label* notice = w.Label1_12;
  QPushButton* cmdExit = w.cmdExit;
  QFrame* picProgress = w.picProgress;
  QWidget* lblProgress = w.lblProgress;
  toolkit::DriveList* Drive1 = d.Drive1;
  toolkit::DirList* Dir1 = d.Dir1;
  toolkit::FileList* File1 = d.File1;
  PreviewImage* imgPreview = d.imgPreview;
  QCheckBox* chkPreview = d.chkPreview;
  QComboBox* cmbOrder = d.cmbOrder;
  toolkit::Label* lblTotalImages = d.lblTotalImages;
  toolkit::Label* lblImageAttributes = d.lblImageAttributes;
  std::array<toolkit::TextBox*, 2>& txtThumbnail = p.txtThumbnail;
  std::array<toolkit::SpinControl*, 2>& scrThumbnail = p.scrThumbnail;
  QComboBox* cmbQuality = p.cmbQuality;
  toolkit::TextBox* txtPrefix = p.txtPrefix;
  toolkit::Label* lblNumImages = p.lblNumImages;
  toolkit::Label* lblNumPages = p.lblNumPages;
  std::array<toolkit::TextBox*, 5>& txtTable = p.txtTable;
  std::array<toolkit::SpinControl*, 5>& scrTable = p.scrTable;
  QCheckBox* chkHTML = p.chkHTML;
  QPushButton* cmdCreate = p.cmdCreate;
  QComboBox* cmbStyle = p.cmbStyle;
  QToolButton* cmdModern = p.cmdModern;
  // The settings a Create now would run with.
  run::CreateSettings createSettings() const { return w.createSettings(); }
  QComboBox* cmbTypes = p.cmbTypes;
  toolkit::Label* lblLink = w.about_->lblLink;
};

inline QString qs(const std::filesystem::path& p) {
  return QString::fromStdString(p.string());
}

class WindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { QApplication::setStyle(QStyleFactory::create("Fusion")); }
  void SetUp() override { common::pinTwipsPerPixel(15); }
  void TearDown() override {
    ui.reset();
    window.reset();
    common::pinTwipsPerPixel(0);
  }

  // Opens the window on `folder`, shown and active so that focus events arrive.
  Form1& open(const std::filesystem::path& folder) {
    ui.reset();
    window = std::make_unique<Form1>(qs(folder), &shell);
    ui = std::make_unique<Form1Access>(*window);
    window->setMessageBox([this](const QString&, const QString& text, const QString& more) {
      messages.push_back(text);
      details.push_back(more);
    });
    window->show();
    window->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
    return *window;
  }

  static void click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); }

  // Clicks row `row` of the file list, as a user does.
  void clickFile(int row) {
    toolkit::FileList* list = ui->File1;
    const QRect r = list->visualItemRect(list->item(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
  }

  // Gives `box` the focus as tabbing does, types `text` over its selection and tabs away.
  static void typeInto(QLineEdit* box, const QString& text) {
    box->setFocus(Qt::TabFocusReason);
    EXPECT_SOON(box->hasFocus());
    QTest::keyClicks(box, text);
    QTest::keyClick(box, Qt::Key_Tab);
    EXPECT_SOON(!box->hasFocus());
  }

  void makePictures(const std::filesystem::path& folder, int count) {
    std::filesystem::create_directories(folder);
    for (int i = 1; i <= count; ++i) {
      vistrel::testing::writeJpeg(folder / ("pic" + std::to_string(i) + ".jpg"), 40 + i, 30);
    }
  }

  // Opens the window on `pictures` new pictures and shows the Properties panel.
  Form1& openProperties(int pictures) {
    makePictures(temp.path(), pictures);
    Form1& w = open(temp.path());
    click(ui->cmdFrames[1]);
    return w;
  }

  vistrel::testing::TempFolder temp;
  RecordingShell shell;
  QStringList messages;
  QStringList details;  // each message's details text
  std::unique_ptr<Form1> window;
  std::unique_ptr<Form1Access> ui;  // the controls of `window`
};

}  // namespace vistrel::app::testing
