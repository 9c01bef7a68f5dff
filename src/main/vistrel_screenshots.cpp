// Renders the main window offscreen, one PNG per panel, for the README:
//   vistrel-screenshots PICTURE_FOLDER OUTPUT_FOLDER
// The Directory panel shows the folder's first picture previewed.
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QPushButton>
#include <QStyleFactory>
#include <cstdio>
#include <cstdlib>

#include "app/form1.h"
#include "app/toolkit/lists.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: vistrel-screenshots PICTURE_FOLDER OUTPUT_FOLDER\n");
    return 2;
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
  QApplication::setPalette(QApplication::style()->standardPalette());
  const QString pictures = QString::fromLocal8Bit(argv[1]);
  const QDir out(QString::fromLocal8Bit(argv[2]));
  QDir().mkpath(out.path());

  vistrel::app::Form1 window(pictures);
  window.show();
  QApplication::processEvents();
  window.selectPicture(0);
  QApplication::processEvents();
  const char* names[] = {"directory", "properties", "about"};
  for (int panel = 0; panel < 3; ++panel) {
    window.cmdFrames_Click(panel);
    QApplication::processEvents();
    const QString file = out.filePath(QStringLiteral("panel-%1.png").arg(names[panel]));
    if (!window.grab().save(file)) {
      std::fprintf(stderr, "vistrel-screenshots: cannot write %s\n", qPrintable(file));
      return 1;
    }
    std::printf("%s\n", qPrintable(file));
  }
  return 0;
}
