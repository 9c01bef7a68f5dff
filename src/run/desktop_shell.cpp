#include "run/desktop_shell.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QProcess>
#include <QUrl>

namespace vistrel::run {

bool DesktopShell::open(const QString& fileOrAddress) {
  if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) {
    return QProcess::startDetached(QStringLiteral("xdg-open"), {fileOrAddress});
  }
  const QUrl url = fileOrAddress.contains(QStringLiteral("://"))
                       ? QUrl(fileOrAddress)
                       : QUrl::fromLocalFile(fileOrAddress);
  return QDesktopServices::openUrl(url);
}

bool DesktopShell::openDocument(const std::filesystem::path& file) {
  return open(QString::fromStdString(file.string()));
}

}  // namespace vistrel::run
