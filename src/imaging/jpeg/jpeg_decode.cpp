#include "imaging/jpeg/jpeg_decode.h"

#include <turbojpeg.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "imaging/colour/colour_profile.h"
#include "imaging/jpeg/eighth_decode.h"
#include "imaging/jpeg/exif.h"
#include "imaging/jpeg/jpeg_stream.h"
#include "imaging/jpeg/libjpeg_decode.h"
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

// chooseShrink for a least size given in the natural orientation.
ShrinkFactor shrinkFor(const JpegHeader& h, int leastWidth, int leastHeight) {
  return swapsAxes(h.orientation) ? chooseShrink(h.width, h.height, leastHeight, leastWidth)
                                  : chooseShrink(h.width, h.height, leastWidth, leastHeight);
}

// Where a decode writes: `height` rows of `width` pixels, `pitch` bytes apart, BGR or CMYK.
struct Target {
  uint8_t* pixels = nullptr;
  int width = 0, height = 0;
  size_t pitch = 0;
  bool cmyk = false;
};

// Sizes the picture and points the target at its rows, or at `cmykPixels` for CMYK, which is
// converted into the picture after.
Target prepareTarget(Picture& p, int width, int height, bool cmyk,
                     std::vector<uint8_t>& cmykPixels) {
  p.width = width;
  p.height = height;
  p.stride = 3 * width;
  if (cmyk) {
    cmykPixels.resize(static_cast<size_t>(width) * height * 4);
    return {cmykPixels.data(), width, height, 4 * static_cast<size_t>(width), true};
  }
  p.bgr.resize(static_cast<size_t>(p.stride) * height);
  return {p.bgr.data(), width, height, static_cast<size_t>(p.stride), false};
}

// Decodes at `factor` with the first decoder that takes the stream. At 1/8 the decoder reads
// only DC coefficients (and the AC of 4:2:0 chroma), so the own DC decoder, or libjpeg given
// only the DC scans, leaves out most of a progressive file's entropy decoding without changing
// a pixel; else TurboJPEG, or libjpeg for the samplings TurboJPEG cannot name (`turbo` false).
// False with `error` set when the stream cannot be decoded; `warning` when it decoded with a
// complaint.
bool decodeInto(const uint8_t* data, size_t size, const JpegHeader& h, ShrinkFactor factor,
                tjhandle tj, bool turbo, const Target& t, std::string& error,
                std::string& warning) {
  const bool eighth = factor.num * 8 == factor.den;
  if (eighth && !t.cmyk && decodeEighth(data, size, h, t.pixels, t.pitch)) {
    return true;
  }
  std::vector<uint8_t> dcOnly;
  if (eighth && isProgressive(h) && keepDcScans(data, size, dcOnly) &&
      decodeWithLibjpeg(dcOnly.data(), dcOnly.size(), 1, 8, false, t.cmyk, t.pixels, t.width,
                        t.height, t.pitch, error, warning)) {
    return true;
  }
  if (!turbo) {
    return decodeWithLibjpeg(data, size, factor.num, factor.den, true, t.cmyk, t.pixels, t.width,
                             t.height, t.pitch, error, warning);
  }
  if (tjDecompress2(tj, data, size, t.pixels, t.width, static_cast<int>(t.pitch), t.height,
                    t.cmyk ? TJPF_CMYK : TJPF_BGR, TJFLAG_LIMITSCANS) == 0) {
    return true;
  }
  const std::string message = withoutFunctionName(tjGetErrorStr2(tj));
  (tjGetErrorCode(tj) == TJERR_WARNING ? warning : error) = message;
  return error.empty();
}

// An embedded profile brings the colours into sRGB, which is what a browser assumes for the
// untagged thumbnail; without one (or with one that cannot be used) the pixels are taken as
// sRGB already. Decoded CMYK pixels come into the picture's BGR here.
void intoSrgb(const uint8_t* data, size_t size, const JpegHeader& h, bool cmyk,
              const std::vector<uint8_t>& cmykPixels, Picture& p) {
  std::string profile;
  const bool tagged = joinIccProfile(data, size, h, profile);
  if (cmyk) {
    p.bgr.resize(static_cast<size_t>(p.stride) * p.height);
    if (!tagged || !cmykToSrgb(cmykPixels.data(), h.adobe, profile, p)) {
      cmykToBgr(cmykPixels, p.width, p.height, h.adobe, p);
    }
  } else if (tagged) {
    convertToSrgb(p, h.components.size() == 1, profile);
  }
}

// Why no decoder is given the stream (kind None when one is): a picture too large for memory, or
// scans that ask for far more decoding than the data holds.
LoadError refusal(const uint8_t* data, size_t size, const JpegHeader& h, int outWidth,
                  int outHeight, const std::string& file) {
  if (std::string tooLarge = sizeRefusal(h.width, h.height, decodeBytes(h, outWidth, outHeight));
      !tooLarge.empty()) {
    return {file, tooLarge, LoadErrorKind::TooLarge};
  }
  if (std::string damaged = scanWorkRefusal(data, size, h); !damaged.empty()) {
    return {file, damaged, LoadErrorKind::Damaged};
  }
  return {};
}

// The words for a decoder's complaint about a picture it decoded: a file cut short when its end
// marker is missing, damaged data otherwise.
std::string decodeWarning(const uint8_t* data, size_t size, const std::string& warning) {
  return !endsWithEndMarker(data, size)
             ? "file is truncated: the end of the picture is missing"
             : "damaged JPEG data (" + warning + "); the picture may show faults";
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
  const ShrinkFactor factor = shrinkFor(h, leastWidth, leastHeight);
  return decodeBytes(h, shrunkSize(h.width, factor), shrunkSize(h.height, factor));
}

LoadResult decodeJpeg(const uint8_t* data, size_t size, const std::string& file, int leastWidth,
                      int leastHeight) {
  LoadResult r;
  JpegHeader h;
  if (!readNaturalSize(data, size, file, h, r.info, r.error)) {
    return r;
  }
  const ShrinkFactor factor = shrinkFor(h, leastWidth, leastHeight);
  const int outWidth = shrunkSize(h.width, factor);
  const int outHeight = shrunkSize(h.height, factor);
  r.error = refusal(data, size, h, outWidth, outHeight, file);
  if (r.error.kind != LoadErrorKind::None) {
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
  std::vector<uint8_t> cmykPixels;
  const Target target = prepareTarget(r.picture, outWidth, outHeight, cmyk, cmykPixels);
  std::string error, warning;
  if (!decodeInto(data, size, h, factor, tj.get(), turbo, target, error, warning)) {
    r.picture = Picture{};
    r.error = {file, "damaged JPEG data (" + error + ")", LoadErrorKind::Damaged};
    return r;
  }
  if (!warning.empty()) {
    r.warning = decodeWarning(data, size, warning);
  }
  intoSrgb(data, size, h, cmyk, cmykPixels, r.picture);
  r.picture = applyOrientation(std::move(r.picture), h.orientation);
  r.ok = true;
  return r;
}

}  // namespace vistrel::imaging
