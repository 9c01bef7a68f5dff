#include "imaging/gif/gif_decode.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>
#include <algorithm>
#include <cstring>

#include "imaging/picture_limits.h"

namespace vistrel::imaging {

namespace {

inline unsigned le16(const uint8_t* p) {
  return unsigned{p[1]} << 8 | p[0];
}

bool isGif(const uint8_t* data, size_t size) {
  return size >= 6 && (std::memcmp(data, "GIF87a", 6) == 0 || std::memcmp(data, "GIF89a", 6) == 0);
}

// The logical screen and the first image's extent, read from the headers. False when the data
// ends before the first image descriptor.
struct GifSizes {
  int screenWidth = 0;
  int screenHeight = 0;
  int imageRight = 0;  // left + width of the first image
  int imageBottom = 0;
};

bool readGifSizes(const uint8_t* data, size_t size, GifSizes& sizes) {
  if (size < 13) {
    return false;
  }
  sizes.screenWidth = static_cast<int>(le16(data + 6));
  sizes.screenHeight = static_cast<int>(le16(data + 8));
  size_t pos = 13;
  if (data[10] & 0x80) {
    pos += 3u << ((data[10] & 7) + 1);
  }
  while (pos < size) {
    const uint8_t block = data[pos];
    if (block == 0x2C) {  // image descriptor
      if (pos + 10 > size) {
        return false;
      }
      sizes.imageRight = static_cast<int>(le16(data + pos + 1) + le16(data + pos + 5));
      sizes.imageBottom = static_cast<int>(le16(data + pos + 3) + le16(data + pos + 7));
      return true;
    }
    if (block != 0x21 || pos + 2 > size) {  // only extensions may come before it
      return false;
    }
    pos += 2;
    while (pos < size && data[pos] != 0) {  // sub-blocks
      pos += 1 + data[pos];
    }
    ++pos;
  }
  return false;
}

// Offset just past the sub-blocks that start at `pos` and their terminator; 0 when the data ends
// inside them.
size_t afterSubBlocks(const uint8_t* data, size_t size, size_t pos) {
  while (pos < size && data[pos] != 0) {
    pos += 1 + size_t{data[pos]};
  }
  return pos < size ? pos + 1 : 0;
}

}  // namespace

ProbeResult probeGif(const uint8_t* data, size_t size, const std::string& file) {
  ProbeResult r;
  r.info.format = PictureFormat::Gif;
  if (!isGif(data, size)) {
    r.error = {file, "not a JPEG or GIF file", LoadErrorKind::NotPicture};
    return r;
  }
  GifSizes sizes;
  const bool complete = readGifSizes(data, size, sizes);
  if (std::string refusal =
          sizeRefusal(std::max(sizes.screenWidth, 1), std::max(sizes.screenHeight, 1), 0);
      !refusal.empty()) {
    r.error = {file, refusal, LoadErrorKind::TooLarge};
    return r;
  }
  if (!complete) {
    r.error = {file, "file is truncated", LoadErrorKind::Truncated};
    return r;
  }
  // The reader draws the first image on the logical screen, clipped to it; a screen side of 0
  // takes the image's extent instead.
  r.info.width = sizes.screenWidth > 0 ? sizes.screenWidth : sizes.imageRight;
  r.info.height = sizes.screenHeight > 0 ? sizes.screenHeight : sizes.imageBottom;
  if (std::string refusal = sizeRefusal(r.info.width, r.info.height, gifDecodeMemory(r.info));
      !refusal.empty()) {
    r.error = {file, refusal, LoadErrorKind::TooLarge};
    return r;
  }
  r.ok = true;
  return r;
}

size_t gifFirstImageEnd(const uint8_t* data, size_t size) {
  if (!isGif(data, size) || size < 13) {
    return 0;
  }
  size_t pos = 13;
  if (data[10] & 0x80) {
    pos += 3u << ((data[10] & 7) + 1);
  }
  while (pos < size) {
    if (data[pos] == 0x2C) {
      if (pos + 10 > size) {
        return 0;
      }
      const uint8_t flags = data[pos + 9];
      pos += 10;
      if (flags & 0x80) {
        pos += 3u << ((flags & 7) + 1);
      }
      return afterSubBlocks(data, size, pos + 1);  // after the LZW code size
    }
    if (data[pos] != 0x21) {
      return 0;
    }
    pos = afterSubBlocks(data, size, pos + 2);
    if (pos == 0) {
      return 0;
    }
  }
  return 0;
}

int64_t gifDecodeMemory(const PictureInfo& info) {
  return int64_t{info.width} * info.height * (4 + 4 + 3);
}

LoadResult decodeGif(const uint8_t* data, size_t size, const std::string& file,
                     uint32_t background) {
  LoadResult r;
  const ProbeResult probed = probeGif(data, size, file);
  r.info = probed.info;
  if (!probed.ok) {
    r.error = probed.error;
    return r;
  }
  // The pixels are read in place; Qt only reads from the array.
  QByteArray bytes =
      QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, "gif");
  reader.setAllocationLimit(static_cast<int>(kMaxDecodeBytes >> 20));
  QImage image = reader.read();
  if (image.isNull()) {
    r.error = {file,
               reader.error() == QImageReader::InvalidDataError
                   ? "damaged GIF data"
                   : "damaged GIF data (" + reader.errorString().toStdString() + ")",
               LoadErrorKind::Damaged};
    return r;
  }
  image = image.convertToFormat(QImage::Format_ARGB32);
  const int bgB = background & 0xFF, bgG = (background >> 8) & 0xFF,
            bgR = (background >> 16) & 0xFF;
  Picture& p = r.picture;
  p.width = image.width();
  p.height = image.height();
  p.stride = 3 * p.width;
  p.bgr.resize(static_cast<size_t>(p.stride) * p.height);
  for (int y = 0; y < p.height; ++y) {
    const auto* in = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    uint8_t* out = p.row(y);
    for (int x = 0; x < p.width; ++x) {
      const QRgb c = in[x];
      const int a = qAlpha(c);
      out[3 * x] = static_cast<uint8_t>((qBlue(c) * a + bgB * (255 - a) + 127) / 255);
      out[3 * x + 1] = static_cast<uint8_t>((qGreen(c) * a + bgG * (255 - a) + 127) / 255);
      out[3 * x + 2] = static_cast<uint8_t>((qRed(c) * a + bgR * (255 - a) + 127) / 255);
    }
  }
  r.info.width = p.width;
  r.info.height = p.height;
  r.ok = true;
  return r;
}

}  // namespace vistrel::imaging
