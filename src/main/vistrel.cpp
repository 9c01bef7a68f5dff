// Vistrel: the main window, on FOLDER when one is given, else on the current working folder.
#include <QApplication>
#include <QStyleFactory>
#include <cstdio>
#include <filesystem>

#include "app/form1.h"
#include "app/quit_on_signals.h"
#include "app/start_command.h"

using vistrel::app::StartCommand;

int main(int argc, char** argv) {
  // --help and --version answer before the toolkit starts, so they work without a display.
  QStringList raw;
  for (int i = 1; i < argc; ++i) {
    raw.push_back(QString::fromLocal8Bit(argv[i]));
  }
  const StartCommand early = vistrel::app::readStartCommand(raw);
  if (early.action == StartCommand::Action::Help) {
    std::fputs(vistrel::app::startUsageText().toLocal8Bit().constData(), stdout);
    return 0;
  }
  if (early.action == StartCommand::Action::Version) {
    std::fputs(vistrel::app::startVersionText().toLocal8Bit().constData(), stdout);
    return 0;
  }

  QApplication app(argc, argv);
  // The menu entry's name, so that the desktop shows its icon for the window.
  QGuiApplication::setDesktopFileName(QStringLiteral("example.ormandel.Vistrel"));
  // The toolkit has taken its own options (-platform, -style, ...) out of the arguments.
  const StartCommand command = vistrel::app::readStartCommand(QCoreApplication::arguments().mid(1));
  if (command.action == StartCommand::Action::BadInput) {
    std::fprintf(stderr, "%s\n", command.error.toLocal8Bit().constData());
    return 2;
  }
  // One look on every desktop.
  QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
  QApplication::setPalette(QApplication::style()->standardPalette());
  // The toolkit took its own options out of argv too; what is left keeps the folder's bytes.
  std::error_code ec;
  const vistrel::app::StartFolder start = vistrel::app::chooseStartFolder(
      vistrel::app::folderArgument(argc, argv), std::filesystem::current_path(ec));
  vistrel::app::QuitOnSignals quitOnSignals;
  QObject::connect(&quitOnSignals, &vistrel::app::QuitOnSignals::quitRequested, &app,
                   [](int status) { QCoreApplication::exit(status); });
  vistrel::app::Form1 window(start.folder);
  window.setStopRequest(&quitOnSignals.stop());
  vistrel::app::showStartWindow(window, start);
  return QApplication::exec();
}
