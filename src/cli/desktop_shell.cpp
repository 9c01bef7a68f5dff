#include "cli/desktop_shell.h"

#include <QProcess>

#include "run/openable_name.h"

namespace vistrel::cli {

bool DesktopShell::openDocument(const std::filesystem::path& file) {
  return QProcess::startDetached(QStringLiteral("xdg-open"), {run::openableName(file)});
}

}  // namespace vistrel::cli
