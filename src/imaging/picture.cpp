// Interim loader over Qt's image readers; the TurboJPEG loader with shrink-on-load replaces it.
#include "imaging/picture.h"

#include <QImage>
#include <QImageReader>
#include <QString>

namespace vistrel::imaging {

namespace {
QString qPath(const std::filesystem::path& file) {
  return QString::fromStdString(file.string());
}

bool formatOf(QImageReader& reader, PictureFormat& format) {
  const QByteArray f = reader.format().toLower();
  if (f == "jpeg" || f == "jpg") {
    format = PictureFormat::Jpeg;
    return true;
  }
  if (f == "gif") {
    format = PictureFormat::Gif;
    return true;
  }
  return false;
}
}  // namespace

ProbeResult probe(const std::filesystem::path& file) {
  ProbeResult r;
  QImageReader reader(qPath(file));
  reader.setAutoTransform(true);
  if (!formatOf(reader, r.info.format)) {
    r.error = {file.string(), "not a JPEG or GIF file"};
    return r;
  }
  const QSize size = reader.size();
  if (!size.isValid()) {
    r.error = {file.string(), reader.errorString().toStdString()};
    return r;
  }
  r.info.width = size.width();
  r.info.height = size.height();
  r.ok = true;
  return r;
}

LoadResult load(const std::filesystem::path& file, int, int) {
  LoadResult r;
  QImageReader reader(qPath(file));
  reader.setAutoTransform(true);
  if (!formatOf(reader, r.info.format)) {
    r.error = {file.string(), "not a JPEG or GIF file"};
    return r;
  }
  QImage image = reader.read();
  if (image.isNull()) {
    r.error = {file.string(), reader.errorString().toStdString()};
    return r;
  }
  image = image.convertToFormat(QImage::Format_RGB888);
  r.info.width = image.width();
  r.info.height = image.height();
  Picture& p = r.picture;
  p.width = image.width();
  p.height = image.height();
  p.stride = p.width * 3;
  p.bgr.resize(static_cast<size_t>(p.stride) * p.height);
  for (int y = 0; y < p.height; ++y) {
    const uchar* src = image.constScanLine(y);
    uint8_t* dst = p.row(y);
    for (int x = 0; x < p.width; ++x) {
      dst[3 * x] = src[3 * x + 2];
      dst[3 * x + 1] = src[3 * x + 1];
      dst[3 * x + 2] = src[3 * x];
    }
  }
  r.ok = true;
  return r;
}

}  // namespace vistrel::imaging
