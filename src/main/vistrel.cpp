// Vistrel: the main window on the current working folder.
#include <QApplication>
#include <QDir>
#include <QStyleFactory>

#include "app/form1.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  // One look on every desktop.
  QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
  QApplication::setPalette(QApplication::style()->standardPalette());
  vistrel::app::Form1 window(QDir::currentPath());
  window.show();
  return QApplication::exec();
}
