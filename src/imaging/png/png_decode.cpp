#include "imaging/png/png_decode.h"

#include <spng.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "imaging/colour/colour_profile.h"
#include "imaging/colour/over_white.h"
#include "imaging/colour/rgb_profile.h"
#include "imaging/jpeg/exif.h"
#include "imaging/jpeg/jpeg_decode.h"
#include "imaging/picture_limits.h"

namespace vistrel::imaging {

namespace {

struct SpngFree {
  void operator()(spng_ctx* ctx) const { spng_ctx_free(ctx); }
};
using Spng = std::unique_ptr<spng_ctx, SpngFree>;

// Metadata a picture may carry, at the most: a profile or EXIF block is far smaller, and text
// chunks beyond it would only fill memory.
constexpr size_t kChunkLimit = size_t{16} << 20;

// The decoded rows (four bytes a pixel at the most), the picture and its upright copy.
constexpr int64_t kBytesPerPixel = 4 + 3 + 3;

Spng openPng(const uint8_t* data, size_t size) {
  Spng ctx(spng_ctx_new(0));
  if (ctx) {
    spng_set_png_buffer(ctx.get(), data, size);
    spng_set_chunk_limits(ctx.get(), kChunkLimit, 4 * kChunkLimit);
  }
  return ctx;
}

bool endedEarly(int status) {
  return status == SPNG_EOF || status == SPNG_IO_EOF || status == SPNG_IO_ERROR;
}

LoadError pngError(const std::string& file, int status) {
  if (endedEarly(status)) {
    return {file, "file is truncated", LoadErrorKind::Truncated};
  }
  return {file, std::string("damaged PNG data (") + spng_strerror(status) + ")",
          LoadErrorKind::Damaged};
}

// The orientation an eXIf chunk before the picture data gives; 1 without one. Some writers keep
// the JPEG segment's "Exif" identifier in front of the TIFF header.
int pngOrientation(spng_ctx* ctx) {
  spng_exif exif{};
  if (spng_get_exif(ctx, &exif) != 0 || exif.data == nullptr) {
    return 1;
  }
  const auto* bytes = reinterpret_cast<const uint8_t*>(exif.data);
  size_t length = exif.length;
  if (length >= 6 && std::memcmp(bytes, "Exif\0\0", 6) == 0) {
    bytes += 6;
    length -= 6;
  }
  return exifOrientation(bytes, length);
}

struct Header {
  spng_ihdr ihdr{};
  int orientation = 1;
};

// The header and the chunks before the picture data; 0 or libspng's status.
int readHeader(spng_ctx* ctx, Header& h) {
  if (const int status = spng_get_ihdr(ctx, &h.ihdr); status != 0) {
    return status;
  }
  // Reading a chunk that is not there still reads every chunk before the picture data.
  uint8_t intent = 0;
  if (const int status = spng_get_srgb(ctx, &intent); status != 0 && status != SPNG_ECHUNKAVAIL) {
    return status;
  }
  h.orientation = pngOrientation(ctx);
  return 0;
}

// The profile the colour chunks amount to: an embedded one, none for sRGB or no chunks, or one
// made of the gamma and chromaticities.
std::string pngProfile(spng_ctx* ctx) {
  spng_iccp iccp{};
  if (spng_get_iccp(ctx, &iccp) == 0 && iccp.profile != nullptr) {
    return std::string(iccp.profile, iccp.profile_len);
  }
  uint8_t intent = 0;
  double gamma = 0;
  if (spng_get_srgb(ctx, &intent) == 0 || spng_get_gama(ctx, &gamma) != 0 || !(gamma > 0)) {
    return {};
  }
  RgbSpace space;
  space.curve = ToneCurve::Power;
  space.exponent = 1 / gamma;
  if (spng_chrm c{}; spng_get_chrm(ctx, &c) == 0) {
    space.whiteX = c.white_point_x;
    space.whiteY = c.white_point_y;
    space.redX = c.red_x;
    space.redY = c.red_y;
    space.greenX = c.green_x;
    space.greenY = c.green_y;
    space.blueX = c.blue_x;
    space.blueY = c.blue_y;
  }
  return rgbProfile(space);
}

bool hasAlpha(spng_ctx* ctx, const spng_ihdr& ihdr) {
  spng_trns trns{};
  return ihdr.color_type == SPNG_COLOR_TYPE_GRAYSCALE_ALPHA ||
         ihdr.color_type == SPNG_COLOR_TYPE_TRUECOLOR_ALPHA || spng_get_trns(ctx, &trns) == 0;
}

bool isGrey(const spng_ihdr& ihdr) {
  return ihdr.color_type == SPNG_COLOR_TYPE_GRAYSCALE ||
         ihdr.color_type == SPNG_COLOR_TYPE_GRAYSCALE_ALPHA;
}

}  // namespace

bool isPng(const uint8_t* data, size_t size) {
  return size >= 8 && std::memcmp(data, "\x89PNG\r\n\x1a\n", 8) == 0;
}

ProbeResult probePng(const uint8_t* data, size_t size, const std::string& file) {
  ProbeResult r;
  r.info.format = PictureFormat::Png;
  if (!isPng(data, size)) {
    r.error = {file, "not a PNG file", LoadErrorKind::NotPicture};
    return r;
  }
  const Spng ctx = openPng(data, size);
  Header h;
  if (!ctx) {
    r.error = {file, "the PNG decoder could not start (out of memory?)", LoadErrorKind::Refused};
    return r;
  }
  // The size first: a header that claims too many pixels is refused whatever follows it.
  int status = spng_get_ihdr(ctx.get(), &h.ihdr);
  const int64_t width = h.ihdr.width, height = h.ihdr.height;
  if (std::string refusal = sizeRefusal(width, height, width * height * kBytesPerPixel);
      status == 0 && !refusal.empty()) {
    r.error = {file, refusal, LoadErrorKind::TooLarge};
    return r;
  }
  if (status == 0) {
    status = readHeader(ctx.get(), h);
  }
  if (status != 0) {
    r.error = pngError(file, status);
    return r;
  }
  r.info.width = static_cast<int>(swapsAxes(h.orientation) ? height : width);
  r.info.height = static_cast<int>(swapsAxes(h.orientation) ? width : height);
  r.ok = true;
  return r;
}

int64_t pngDecodeMemory(const PictureInfo& info) {
  return int64_t{info.width} * info.height * kBytesPerPixel;
}

namespace {

// Decodes the picture into `p`, `shrink` rows at a time where the rows come in order, so a large
// picture never has its whole decode in memory; an interlaced one is decoded whole first.
int decodeRows(spng_ctx* ctx, const spng_ihdr& ihdr, bool alpha, int shrink, Picture& p) {
  const int format = alpha ? SPNG_FMT_RGBA8 : SPNG_FMT_RGB8;
  const int width = static_cast<int>(ihdr.width), height = static_cast<int>(ihdr.height);
  size_t length = 0;
  if (const int status = spng_decoded_image_size(ctx, format, &length); status != 0) {
    return status;
  }
  const size_t rowBytes = length / ihdr.height;
  if (ihdr.interlace_method != SPNG_INTERLACE_NONE) {
    std::vector<uint8_t> rows(length);
    const int status = spng_decode_image(ctx, rows.data(), length, format, SPNG_DECODE_TRNS);
    if (status == 0) {
      p = pictureOverWhite(rows.data(), width, height, rowBytes, alpha, shrink);
    }
    return status;
  }
  int status =
      spng_decode_image(ctx, nullptr, 0, format, SPNG_DECODE_TRNS | SPNG_DECODE_PROGRESSIVE);
  p = Picture{};
  p.width = (width + shrink - 1) / shrink;
  p.height = (height + shrink - 1) / shrink;
  p.stride = 3 * p.width;
  p.bgr.resize(static_cast<size_t>(p.stride) * p.height);
  std::vector<uint8_t> band(rowBytes * static_cast<size_t>(shrink));
  for (int y = 0; status == 0 && y < height; y += shrink) {
    const int count = std::min(shrink, height - y);
    for (int i = 0; i < count && status == 0; ++i) {
      status = spng_decode_row(ctx, band.data() + rowBytes * i, rowBytes);
      // The last row's call says the picture is complete.
      status = status == SPNG_EOI && y + i == height - 1 ? 0 : status;
    }
    if (status == 0) {
      const Picture row = pictureOverWhite(band.data(), width, count, rowBytes, alpha, shrink);
      std::copy(row.bgr.begin(), row.bgr.end(), p.row(y / shrink));
    }
  }
  return status;
}

}  // namespace

LoadResult decodePng(const uint8_t* data, size_t size, const std::string& file, int leastWidth,
                     int leastHeight) {
  LoadResult r;
  const ProbeResult probed = probePng(data, size, file);
  r.info = probed.info;
  if (!probed.ok) {
    r.error = probed.error;
    return r;
  }
  const Spng ctx = openPng(data, size);
  Header h;
  readHeader(ctx.get(), h);
  const int width = static_cast<int>(h.ihdr.width), height = static_cast<int>(h.ihdr.height);
  const ShrinkFactor shrink = swapsAxes(h.orientation)
                                  ? chooseShrink(width, height, leastHeight, leastWidth)
                                  : chooseShrink(width, height, leastWidth, leastHeight);
  Picture p;
  if (const int status = decodeRows(ctx.get(), h.ihdr, hasAlpha(ctx.get(), h.ihdr), shrink.den, p);
      status != 0) {
    r.error = pngError(file, status);
    return r;
  }
  convertToSrgb(p, isGrey(h.ihdr), pngProfile(ctx.get()));
  r.picture = applyOrientation(std::move(p), h.orientation);
  r.ok = true;
  return r;
}

}  // namespace vistrel::imaging
