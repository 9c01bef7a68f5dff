#include "app/shell.h"

#include <QDesktopServices>
#include <QUrl>

#include "run/openable_name.h"

namespace vistrel::app {

bool Shell::ShellDef(const QString& fileOrAddress) {
  const QUrl url = fileOrAddress.contains(QStringLiteral("://"))
                       ? QUrl(fileOrAddress)
                       : QUrl::fromLocalFile(fileOrAddress);
  return QDesktopServices::openUrl(url);
}

bool Shell::openDocument(const std::filesystem::path& file) {
  return ShellDef(run::openableName(file));
}

}  // namespace vistrel::app
