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
#include "app/toolkit/twips.h"
#include "browse/folder_read.h"
#include "support/temp_folder.h"
#include "thumbs/sample_pictures.h"

namespace vistrel::app::testing {

inline QString qs(const std::filesystem::path& p) {
  return QString::fromStdString(p.string());
}

class WindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { QApplication::setStyle(QStyleFactory::create("Fusion")); }
  void SetUp() override { toolkit::pinTwipsPerPixel(15); }
  void TearDown() override {
    window.reset();
    toolkit::pinTwipsPerPixel(0);
  }

  // Opens the window on `folder`, shown and active so that focus events arrive.
  Form1& open(const std::filesystem::path& folder) {
    window = std::make_unique<Form1>(qs(folder), &shell);
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
    toolkit::FileList* list = window->File1;
    const QRect r = list->visualItemRect(list->item(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
  }

  // Gives `box` the focus as tabbing does, types `text` over its selection and tabs away.
  static void typeInto(QLineEdit* box, const QString& text) {
    box->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(box->hasFocus());
    QTest::keyClicks(box, text);
    QTest::keyClick(box, Qt::Key_Tab);
    QTRY_VERIFY(!box->hasFocus());
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
    click(w.cmdFrames[1]);
    return w;
  }

  vistrel::testing::TempFolder temp;
  RecordingShell shell;
  QStringList messages;
  QStringList details;  // each message's details text
  std::unique_ptr<Form1> window;
};

}  // namespace vistrel::app::testing
