// vistrel-batch: the window's Create run over a folder, from the command line. See --help.
#include <unistd.h>

#include <QCoreApplication>
#include <QProcess>
#include <QString>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/batch_command.h"

namespace {

// The desktop's default program, as xdg-open chooses it. Started detached: the gallery is
// finished, and the browser outlives this program.
class DesktopShell : public vistrel::run::Shell {
 public:
  bool openDocument(const std::filesystem::path& file) override {
    return QProcess::startDetached(QStringLiteral("xdg-open"),
                                   {QString::fromStdString(file.string())});
  }
};

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  // Image plugins and the worker pool want an application object; no window system is needed.
  QCoreApplication app(argc, argv);
  DesktopShell shell;
  return vistrel::cli::runBatchCommand(args, stdout, stderr, isatty(STDERR_FILENO) == 1, shell);
}
