#include "app/shell.h"

#include <QDesktopServices>
#include <QUrl>

namespace vistrel::app {

void DesktopShell::ShellDef(const QString& fileOrAddress) {
  const QUrl url = fileOrAddress.contains(QStringLiteral("://"))
                       ? QUrl(fileOrAddress)
                       : QUrl::fromLocalFile(fileOrAddress);
  QDesktopServices::openUrl(url);
}

}  // namespace vistrel::app
