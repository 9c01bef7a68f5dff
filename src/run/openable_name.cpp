#include "run/openable_name.h"

#include <QByteArray>

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

}  // namespace vistrel::run
