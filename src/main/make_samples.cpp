// Makes the folder of sample pictures that `make run` opens. Usage: make-samples FOLDER
#include <QDir>
#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>

#include "samples/sample_set.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make-samples FOLDER\n");
    return 2;
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QGuiApplication app(argc, argv);
  const QDir folder(QString::fromLocal8Bit(argv[1]));
  if (!QDir().mkpath(folder.path())) {
    std::fprintf(stderr, "make-samples: cannot make the folder %s\n", argv[1]);
    return 1;
  }
  QString failed;
  const int written = vistrel::samples::writeSamples(folder, failed);
  if (written < 0) {
    std::fprintf(stderr, "make-samples: cannot write %s\n", qPrintable(failed));
    return 1;
  }
  std::printf("make-samples: %d pictures in %s\n", written, qPrintable(folder.absolutePath()));
  return 0;
}
