#include "samples/sample_set.h"

#include <QColor>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <algorithm>
#include <iterator>

#include "samples/gif_writer.h"

namespace vistrel::samples {

using imaging::Picture;

namespace {

struct Sample {
  const char* name;
  int width;
  int height;
  QColor sky;
  QColor land;
};

// A landscape: sky gradient, a sun, two ranges of hills and a caption.
QImage draw(const Sample& s, int seed) {
  QImage image(s.width, s.height, QImage::Format_RGB32);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient sky(0, 0, 0, s.height);
  sky.setColorAt(0, s.sky.darker(140));
  sky.setColorAt(0.6, s.sky.lighter(130));
  p.fillRect(image.rect(), sky);
  const double sunX = s.width * (0.2 + 0.6 * ((seed * 37) % 100) / 100.0);
  QRadialGradient sun(sunX, s.height * 0.3, s.height * 0.12);
  sun.setColorAt(0, QColor(255, 250, 220));
  sun.setColorAt(1, QColor(255, 200, 120, 0));
  p.setPen(Qt::NoPen);
  p.setBrush(sun);
  p.drawEllipse(QPointF(sunX, s.height * 0.3), s.height * 0.12, s.height * 0.12);
  for (int range = 0; range < 2; ++range) {
    QPainterPath hills;
    const double base = s.height * (0.55 + 0.15 * range);
    hills.moveTo(0, s.height);
    hills.lineTo(0, base);
    for (int i = 1; i <= 8; ++i) {
      const double x = s.width * i / 8.0;
      const double y = base - s.height * 0.08 * (((seed + i * (range + 3)) % 5) / 4.0);
      hills.quadTo(x - s.width / 16.0, y - s.height * 0.06, x, y);
    }
    hills.lineTo(s.width, s.height);
    hills.closeSubpath();
    p.setBrush(range == 0 ? s.land.lighter(120) : s.land);
    p.drawPath(hills);
  }
  p.setPen(Qt::white);
  QFont font = p.font();
  font.setPixelSize(std::max(10, std::min(s.width, s.height) / 12));
  p.setFont(font);
  p.drawText(image.rect().adjusted(8, 8, -8, -8), Qt::AlignBottom | Qt::AlignLeft,
             QString::fromUtf8(s.name).section('.', 0, 0));
  return image;
}

Picture toPicture(const QImage& image) {
  const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
  Picture picture;
  picture.width = rgb.width();
  picture.height = rgb.height();
  picture.stride = 3 * rgb.width();
  picture.bgr.resize(static_cast<size_t>(picture.stride) * picture.height);
  for (int y = 0; y < rgb.height(); ++y) {
    const uchar* src = rgb.constScanLine(y);
    uint8_t* dst = picture.row(y);
    for (int x = 0; x < rgb.width(); ++x) {
      dst[3 * x] = src[3 * x + 2];
      dst[3 * x + 1] = src[3 * x + 1];
      dst[3 * x + 2] = src[3 * x];
    }
  }
  return picture;
}

// What a folder of photos brings: wide, tall, square and tiny pictures, a name with an accent and
// one with brackets, an upper-case extension, and GIFs.
const Sample kSamples[] = {
    {"Harbour at dusk.jpg", 1600, 1067, QColor(230, 120, 80), QColor(40, 60, 90)},
    {"Meadow.jpg", 1200, 800, QColor(120, 180, 240), QColor(70, 140, 60)},
    {"Tall pine.jpg", 900, 1350, QColor(150, 200, 250), QColor(30, 90, 50)},
    {"Square garden.jpg", 800, 800, QColor(170, 210, 240), QColor(90, 160, 80)},
    {"Panorama ridge.JPG", 2400, 600, QColor(90, 140, 220), QColor(100, 90, 80)},
    {"Lighthouse.jpg", 400, 1400, QColor(200, 220, 250), QColor(60, 70, 90)},
    {"Tiny pond.jpg", 120, 80, QColor(140, 190, 230), QColor(60, 120, 100)},
    {"Caf\xc3\xa9 terrace.jpg", 1024, 768, QColor(250, 180, 110), QColor(120, 70, 50)},
    {"Dunes (2).jpg", 1500, 1000, QColor(240, 200, 150), QColor(200, 150, 90)},
    {"Glacier.gif", 640, 480, QColor(180, 220, 255), QColor(220, 230, 240)},
    {"Orchard.gif", 300, 300, QColor(160, 210, 250), QColor(90, 150, 40)},
    {"Waterfall.gif", 200, 500, QColor(120, 170, 220), QColor(50, 100, 70)},
};

}  // namespace

int writeSamples(const QDir& folder, QString& failed) {
  int seed = 1;
  for (const Sample& s : kSamples) {
    const QString path = folder.filePath(QString::fromUtf8(s.name));
    const QImage image = draw(s, seed++);
    const bool ok = path.endsWith(".gif", Qt::CaseInsensitive)
                        ? writeGifFile(toPicture(image), path.toStdString())
                        : image.save(path, "JPEG", 88);
    if (!ok) {
      failed = path;
      return -1;
    }
  }
  return static_cast<int>(std::size(kSamples));
}

}  // namespace vistrel::samples
