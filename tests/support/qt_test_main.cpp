// Every test program runs inside a QApplication, so widget, font, clipboard and image code
// behaves as in the program. Tests run headless (QT_QPA_PLATFORM=offscreen is the default here).
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
