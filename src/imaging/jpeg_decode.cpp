#include "imaging/jpeg_decode.h"

#include <turbojpeg.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "imaging/colour_profile.h"
#include "imaging/eighth_decode.h"
#include "imaging/exif.h"
#include "imaging/jpeg_stream.h"
#include "imaging/libjpeg_decode.h"
#include "imaging/picture_limits.h"

namespace vistrel::imaging {

namespace {

struct TjDeleter {
  void operator()(void* handle) const { tjDestroy(handle); }
};
using TjHandle = std::unique_ptr<void, TjDeleter>;

bool isProgressive(const JpegHeader& h) {
  return h.frameMarker == 0xC2 || h.frameMarker == 0xCA;
}

// Memory a decode needs at the worst: a progressive file keeps every DCT coefficient of the
// full-size picture (2 bytes each) until its last scan; then the output, the BGR picture
// (a second one for CMYK conversion or orientation).
int64_t decodeBytes(const JpegHeader& h, int outWidth, int outHeight) {
  int maxH = 1, maxV = 1;
  for (const auto& c : h.components) {
    maxH = std::max(maxH, c.h);
    maxV = std::max(maxV, c.v);
  }
  const int64_t mcusX = (h.width + 8 * maxH - 1) / (8 * maxH);
  const int64_t mcusY = (h.height + 8 * maxV - 1) / (8 * maxV);
  int64_t coefficients = 0;
  for (const auto& c : h.components) {
    coefficients += mcusX * c.h * mcusY * c.v * 64 * 2;
  }
  const int64_t out = int64_t{outWidth} * outHeight;
  return (isProgressive(h) ? coefficients : 0) + out * 4 + out * 3 * 2;
}

std::string withoutFunctionName(std::string message) {
  // TurboJPEG's own messages start with the function's name, which means nothing to a user.
  const auto colon = message.find("(): ");
  if (colon != std::string::npos && message.rfind("tj", 0) == 0) {
    message.erase(0, colon + 4);
  }
  return message;
}

LoadError headerError(const std::string& file, JpegHeaderStatus status, const std::string& reason) {
  switch (status) {
    case JpegHeaderStatus::NotJpeg:
      return {file, "not a JPEG or GIF file", LoadErrorKind::NotPicture};
    case JpegHeaderStatus::Truncated:
      return {file, "file is truncated", LoadErrorKind::Truncated};
    default:
      return {file, reason,
              status == JpegHeaderStatus::Unsupported ? LoadErrorKind::Unsupported
                                                      : LoadErrorKind::Damaged};
  }
}

// Whether the stream's end-of-image marker is there: the decoder's complaint about data that
// ends early comes only as text, so the bytes themselves tell a cut file from a damaged one.
// Entropy-coded data never holds FF D9 (an FF there is followed by 00), so only trailing padding
// can follow it.
bool endsWithEndMarker(const uint8_t* data, size_t size) {
  const size_t from = size > 64 ? size - 64 : 0;
  for (size_t i = size; i-- > from + 1;) {
    if (data[i - 1] == 0xFF && data[i] == 0xD9) {
      return true;
    }
  }
  return false;
}

// Photoshop's Adobe-marked CMYK stores the inks inverted (255 = no ink); without the marker the
// values are plain ink amounts.
void cmykToBgr(const std::vector<uint8_t>& cmyk, int width, int height, bool inverted,
               Picture& out) {
  const size_t count = static_cast<size_t>(width) * height;
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* p = &cmyk[4 * i];
    int c = p[0], m = p[1], y = p[2], k = p[3];
    if (!inverted) {
      c = 255 - c;
      m = 255 - m;
      y = 255 - y;
      k = 255 - k;
    }
    out.bgr[3 * i] = static_cast<uint8_t>((y * k + 127) / 255);
    out.bgr[3 * i + 1] = static_cast<uint8_t>((m * k + 127) / 255);
    out.bgr[3 * i + 2] = static_cast<uint8_t>((c * k + 127) / 255);
  }
}

}  // namespace

// Only the power-of-two scales, keeping at least twice the box, as measured by bench/quality.sh
// on the 171 wallpaper photos (PSNR of luma against a Lanczos-3 downscale of the full decode, at
// quality 65). The scales between (7/8 to 3/8) are inverse DCTs of odd block sizes that leave
// block-edge artefacts: decoded at 3/4, 400 x 250 pictures lost up to 3.9 dB, and the mean fell
// from 36.39 to 36.28 dB. Three times the box would gain 0.07 dB more but costs 55% more
// processor time, since the common 2560 x 1600 photos then decode at 1/4 instead of 1/8.
ShrinkFactor chooseShrink(int width, int height, int leastWidth, int leastHeight) {
  ShrinkFactor best;
  if (leastWidth <= 0 || leastHeight <= 0 || width <= 0 || height <= 0) {
    return best;
  }
  for (const int den : {2, 4, 8}) {
    const ShrinkFactor f{1, den};
    if (int64_t{shrunkSize(width, f)} < kShrinkMargin * int64_t{leastWidth} ||
        int64_t{shrunkSize(height, f)} < kShrinkMargin * int64_t{leastHeight}) {
      break;
    }
    best = f;
  }
  return best;
}

int shrunkSize(int size, ShrinkFactor factor) {
  return static_cast<int>((int64_t{size} * factor.num + factor.den - 1) / factor.den);
}

namespace {

// The headers and the natural size; false with `error` set when the headers cannot be read.
bool readNaturalSize(const uint8_t* data, size_t size, const std::string& file, JpegHeader& h,
                     PictureInfo& info, LoadError& error) {
  info.format = PictureFormat::Jpeg;
  std::string reason;
  const JpegHeaderStatus status = readJpegHeader(data, size, h, reason);
  if (status != JpegHeaderStatus::Ok) {
    error = headerError(file, status, reason);
    return false;
  }
  info.width = swapsAxes(h.orientation) ? h.height : h.width;
  info.height = swapsAxes(h.orientation) ? h.width : h.height;
  return true;
}

}  // namespace

ProbeResult probeJpeg(const uint8_t* data, size_t size, const std::string& file) {
  ProbeResult r;
  JpegHeader h;
  r.ok = readNaturalSize(data, size, file, h, r.info, r.error);
  return r;
}

int64_t jpegDecodeMemory(const uint8_t* data, size_t size, int leastWidth, int leastHeight) {
  JpegHeader h;
  PictureInfo info;
  LoadError error;
  if (!readNaturalSize(data, size, "", h, info, error)) {
    return 0;
  }
  const ShrinkFactor factor = swapsAxes(h.orientation)
                                  ? chooseShrink(h.width, h.height, leastHeight, leastWidth)
                                  : chooseShrink(h.width, h.height, leastWidth, leastHeight);
  return decodeBytes(h, shrunkSize(h.width, factor), shrunkSize(h.height, factor));
}

LoadResult decodeJpeg(const uint8_t* data, size_t size, const std::string& file, int leastWidth,
                      int leastHeight) {
  LoadResult r;
  JpegHeader h;
  if (!readNaturalSize(data, size, file, h, r.info, r.error)) {
    return r;
  }
  const ShrinkFactor factor = swapsAxes(h.orientation)
                                  ? chooseShrink(h.width, h.height, leastHeight, leastWidth)
                                  : chooseShrink(h.width, h.height, leastWidth, leastHeight);
  const int outWidth = shrunkSize(h.width, factor);
  const int outHeight = shrunkSize(h.height, factor);
  if (std::string refusal = sizeRefusal(h.width, h.height, decodeBytes(h, outWidth, outHeight));
      !refusal.empty()) {
    r.error = {file, refusal, LoadErrorKind::TooLarge};
    return r;
  }
  if (std::string refusal = scanWorkRefusal(data, size, h); !refusal.empty()) {
    r.error = {file, refusal, LoadErrorKind::Damaged};
    return r;
  }

  TjHandle tj(tjInitDecompress());
  if (!tj) {
    r.error = {file, "the JPEG decoder could not start (out of memory?)", LoadErrorKind::Refused};
    return r;
  }
  int tjWidth = 0, tjHeight = 0, subsampling = 0, colourspace = 0;
  // TurboJPEG refuses colour samplings it cannot name (luma 4 x 2, for instance); libjpeg's own
  // interface reads them.
  const bool turbo = tjDecompressHeader3(tj.get(), data, size, &tjWidth, &tjHeight, &subsampling,
                                         &colourspace) == 0;
  if (turbo && (tjWidth != h.width || tjHeight != h.height)) {
    r.error = {file, "damaged JPEG data: the frame header is inconsistent", LoadErrorKind::Damaged};
    return r;
  }

  const bool cmyk =
      turbo ? colourspace == TJCS_CMYK || colourspace == TJCS_YCCK : h.components.size() == 4;
  Picture& p = r.picture;
  p.width = outWidth;
  p.height = outHeight;
  p.stride = 3 * outWidth;
  std::vector<uint8_t> cmykPixels;
  uint8_t* target;
  int pitch;
  if (cmyk) {
    cmykPixels.resize(static_cast<size_t>(outWidth) * outHeight * 4);
    target = cmykPixels.data();
    pitch = 4 * outWidth;
  } else {
    p.bgr.resize(static_cast<size_t>(p.stride) * outHeight);
    target = p.bgr.data();
    pitch = p.stride;
  }

  std::string error, warning;
  const bool eighth = factor.num * 8 == factor.den;
  bool decoded = eighth && !cmyk && decodeEighth(data, size, h, target, static_cast<size_t>(pitch));
  // At 1/8 the decoder reads only DC coefficients (and the AC of 4:2:0 chroma), so the other AC
  // scans of a progressive file, most of its entropy decoding, can be left out without changing
  // a pixel.
  std::vector<uint8_t> dcOnly;
  if (!decoded && eighth && isProgressive(h) && keepDcScans(data, size, dcOnly)) {
    decoded = decodeWithLibjpeg(dcOnly.data(), dcOnly.size(), 1, 8, false, cmyk, target, outWidth,
                                outHeight, static_cast<size_t>(pitch), error, warning);
  }
  if (!decoded && !turbo) {
    decoded = decodeWithLibjpeg(data, size, factor.num, factor.den, true, cmyk, target, outWidth,
                                outHeight, static_cast<size_t>(pitch), error, warning);
  } else if (!decoded) {
    decoded = tjDecompress2(tj.get(), data, size, target, outWidth, pitch, outHeight,
                            cmyk ? TJPF_CMYK : TJPF_BGR, TJFLAG_LIMITSCANS) == 0;
    if (!decoded) {
      const std::string message = withoutFunctionName(tjGetErrorStr2(tj.get()));
      (tjGetErrorCode(tj.get()) == TJERR_WARNING ? warning : error) = message;
      decoded = error.empty();
    }
  }
  if (!decoded) {
    r.picture = Picture{};
    r.error = {file, "damaged JPEG data (" + error + ")", LoadErrorKind::Damaged};
    return r;
  }
  if (!warning.empty()) {
    r.warning = !endsWithEndMarker(data, size)
                    ? "file is truncated: the end of the picture is missing"
                    : "damaged JPEG data (" + warning + "); the picture may show faults";
  }
  // An embedded profile brings the colours into sRGB, which is what a browser assumes for the
  // untagged thumbnail; without one (or with one that cannot be used) the pixels are taken as
  // sRGB already.
  std::string profile;
  const bool tagged = joinIccProfile(data, size, h, profile);
  if (cmyk) {
    p.bgr.resize(static_cast<size_t>(p.stride) * outHeight);
    if (!tagged || !cmykToSrgb(cmykPixels.data(), h.adobe, profile, p)) {
      cmykToBgr(cmykPixels, outWidth, outHeight, h.adobe, p);
    }
  } else if (tagged) {
    convertToSrgb(p, h.components.size() == 1, profile);
  }
  p = applyOrientation(std::move(p), h.orientation);
  r.ok = true;
  return r;
}

}  // namespace vistrel::imaging
