#include "app/shell.h"

#include <QDesktopServices>
#include <QUrl>

namespace vistrel::app {

bool Shell::openDocument(const std::filesystem::path& file) {
  return ShellDef(QString::fromStdString(file.string()));
}

bool DesktopShell::ShellDef(const QString& fileOrAddress) {
  const QUrl url = fileOrAddress.contains(QStringLiteral("://"))
                       ? QUrl(fileOrAddress)
                       : QUrl::fromLocalFile(fileOrAddress);
  return QDesktopServices::openUrl(url);
}

}  // namespace vistrel::app
