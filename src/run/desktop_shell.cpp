#include "run/desktop_shell.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QProcess>
#include <QUrl>

#include "common/utf8.h"

namespace vistrel::run {

QString openableName(const std::filesystem::path& file) {
  const std::string& bytes = file.native();
  if (common::isUtf8(bytes)) {
    return QString::fromStdString(bytes);
  }
  return QStringLiteral("file://") +
         QString::fromLatin1(QByteArray::fromStdString(bytes).toPercentEncoding("/"));
}

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
  return open(openableName(file));
}

}  // namespace vistrel::run
