// vistrel-batch: the window's Create run over a folder, from the command line. See --help.
#include <unistd.h>

#include <QCoreApplication>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/batch_command.h"
#include "cli/desktop_shell.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  // Image plugins and the worker pool want an application object; no window system is needed.
  QCoreApplication app(argc, argv);
  vistrel::cli::DesktopShell shell;
  return vistrel::cli::runBatchCommand(args, stdout, stderr, isatty(STDERR_FILENO) == 1, shell);
}
