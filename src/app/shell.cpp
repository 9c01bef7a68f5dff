#include "app/shell.h"

#include "run/desktop_shell.h"

namespace vistrel::app {

bool Shell::ShellDef(const QString& fileOrAddress) {
  return run::DesktopShell::open(fileOrAddress);
}

bool Shell::openDocument(const std::filesystem::path& file) {
  return ShellDef(run::openableName(file));
}

}  // namespace vistrel::app
