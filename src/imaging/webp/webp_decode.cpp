#include "imaging/webp/webp_decode.h"

#include <webp/decode.h>
#include <webp/demux.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <utility>

#include "imaging/colour/colour_profile.h"
#include "imaging/colour/over_white.h"
#include "imaging/jpeg/exif.h"
#include "imaging/jpeg/jpeg_decode.h"
#include "imaging/picture_limits.h"

namespace vistrel::imaging {

namespace {

struct DemuxFree {
  void operator()(WebPDemuxer* d) const { WebPDemuxDelete(d); }
};
using Demux = std::unique_ptr<WebPDemuxer, DemuxFree>;

struct AnimFree {
  void operator()(WebPAnimDecoder* d) const { WebPAnimDecoderDelete(d); }
};

// What the headers and chunks say, before any pixel is decoded.
struct WebpHeader {
  WebPBitstreamFeatures features{};
  int orientation = 1;
  std::string profile;  // ICC, when the file carries one
};

std::string chunkOf(const WebPDemuxer* demux, const char* fourcc) {
  WebPChunkIterator it;
  std::string bytes;
  if (WebPDemuxGetChunk(demux, fourcc, 1, &it)) {
    bytes.assign(reinterpret_cast<const char*>(it.chunk.bytes), it.chunk.size);
    WebPDemuxReleaseChunkIterator(&it);
  }
  return bytes;
}

// Reads the header; the error's kind is None when it could.
LoadError readHeader(const uint8_t* data, size_t size, const std::string& file, WebpHeader& h) {
  const VP8StatusCode status = WebPGetFeatures(data, size, &h.features);
  if (status == VP8_STATUS_NOT_ENOUGH_DATA) {
    return {file, "file is truncated", LoadErrorKind::Truncated};
  }
  if (status == VP8_STATUS_UNSUPPORTED_FEATURE) {
    return {file, "unsupported WebP variant", LoadErrorKind::Unsupported};
  }
  if (status != VP8_STATUS_OK) {
    return {file, "damaged WebP data", LoadErrorKind::Damaged};
  }
  const WebPData whole{data, size};
  WebPDemuxState state = WEBP_DEMUX_PARSING_HEADER;
  const Demux demux(WebPDemuxPartial(&whole, &state));
  if (state == WEBP_DEMUX_PARSE_ERROR) {
    return {file, "damaged WebP data", LoadErrorKind::Damaged};
  }
  const uint32_t flags = demux ? WebPDemuxGetI(demux.get(), WEBP_FF_FORMAT_FLAGS) : 0;
  if (state != WEBP_DEMUX_DONE && (flags & (EXIF_FLAG | ICCP_FLAG)) != 0) {
    return {file, "file is truncated", LoadErrorKind::Truncated};
  }
  if (demux) {
    std::string exif = chunkOf(demux.get(), "EXIF");
    // Some writers keep the JPEG segment's identifier before the TIFF header.
    const size_t skip = exif.compare(0, 6, std::string("Exif\0\0", 6)) == 0 ? 6 : 0;
    h.orientation = exif.size() > skip
                        ? exifOrientation(reinterpret_cast<const uint8_t*>(exif.data()) + skip,
                                          exif.size() - skip)
                        : 1;
    h.profile = chunkOf(demux.get(), "ICCP");
  }
  return {};
}

// The stored size a still picture decodes at: shrunk so both sides keep kShrinkMargin times the
// least size (in the stored orientation), never enlarged.
std::pair<int, int> decodeSize(const WebpHeader& h, int leastWidth, int leastHeight) {
  const int width = h.features.width, height = h.features.height;
  if (swapsAxes(h.orientation)) {
    std::swap(leastWidth, leastHeight);
  }
  if (h.features.has_animation || leastWidth <= 0 || leastHeight <= 0) {
    return {width, height};
  }
  const double scale = std::max(kShrinkMargin * double(leastWidth) / width,
                                kShrinkMargin * double(leastHeight) / height);
  if (scale >= 1) {
    return {width, height};
  }
  return {std::max(1, static_cast<int>(std::ceil(width * scale))),
          std::max(1, static_cast<int>(std::ceil(height * scale)))};
}

// Lossless data and animation canvases are whole pictures of four bytes a pixel inside the
// decoder (an animation keeps two); then the output, the picture and its upright copy.
int64_t memoryFor(const WebpHeader& h, std::pair<int, int> out) {
  const int64_t full = int64_t{h.features.width} * h.features.height;
  const int64_t inside = h.features.has_animation ? 3 * 4 * full : 4 * full;
  return inside + int64_t{out.first} * out.second * (4 + 3 + 3);
}

LoadError decodeFirstFrame(const uint8_t* data, size_t size, const std::string& file,
                           ShrinkFactor shrink, Picture& p) {
  WebPAnimDecoderOptions options;
  WebPAnimDecoderOptionsInit(&options);
  options.color_mode = MODE_RGBA;
  options.use_threads = 0;
  const WebPData whole{data, size};
  const std::unique_ptr<WebPAnimDecoder, AnimFree> decoder(WebPAnimDecoderNew(&whole, &options));
  WebPAnimInfo info{};
  uint8_t* canvas = nullptr;
  int timestamp = 0;
  if (!decoder || !WebPAnimDecoderGetInfo(decoder.get(), &info) ||
      !WebPAnimDecoderGetNext(decoder.get(), &canvas, &timestamp)) {
    // The RIFF header says how long the file is.
    const uint64_t riffEnd = 8 + (uint64_t{data[4]} | uint64_t{data[5]} << 8 |
                                  uint64_t{data[6]} << 16 | uint64_t{data[7]} << 24);
    return riffEnd > size ? LoadError{file, "file is truncated", LoadErrorKind::Truncated}
                          : LoadError{file, "damaged WebP animation", LoadErrorKind::Damaged};
  }
  p = pictureOverWhite(canvas, static_cast<int>(info.canvas_width),
                       static_cast<int>(info.canvas_height), 4 * size_t{info.canvas_width}, true,
                       shrink.den);
  return {};
}

LoadError decodeStill(const uint8_t* data, size_t size, const std::string& file,
                      const WebpHeader& h, std::pair<int, int> out, Picture& p) {
  WebPDecoderConfig config;
  if (!WebPInitDecoderConfig(&config)) {
    return {file, "the WebP decoder could not start", LoadErrorKind::Refused};
  }
  const bool alpha = h.features.has_alpha != 0;
  config.output.colorspace = alpha ? MODE_RGBA : MODE_RGB;
  if (out.first != h.features.width || out.second != h.features.height) {
    config.options.use_scaling = 1;
    config.options.scaled_width = out.first;
    config.options.scaled_height = out.second;
  }
  const VP8StatusCode status = WebPDecode(data, size, &config);
  if (status != VP8_STATUS_OK) {
    WebPFreeDecBuffer(&config.output);
    return status == VP8_STATUS_NOT_ENOUGH_DATA
               ? LoadError{file, "file is truncated", LoadErrorKind::Truncated}
               : LoadError{file, "damaged WebP data", LoadErrorKind::Damaged};
  }
  p = pictureOverWhite(config.output.u.RGBA.rgba, config.output.width, config.output.height,
                       static_cast<size_t>(config.output.u.RGBA.stride), alpha);
  WebPFreeDecBuffer(&config.output);
  return {};
}

}  // namespace

bool isWebp(const uint8_t* data, size_t size) {
  return size >= 12 && std::memcmp(data, "RIFF", 4) == 0 && std::memcmp(data + 8, "WEBP", 4) == 0;
}

ProbeResult probeWebp(const uint8_t* data, size_t size, const std::string& file) {
  ProbeResult r;
  r.info.format = PictureFormat::Webp;
  WebpHeader h;
  if (!isWebp(data, size)) {
    r.error = {file, "not a WebP file", LoadErrorKind::NotPicture};
    return r;
  }
  if (r.error = readHeader(data, size, file, h); r.error.kind != LoadErrorKind::None) {
    return r;
  }
  const int width = h.features.width, height = h.features.height;
  r.info.width = swapsAxes(h.orientation) ? height : width;
  r.info.height = swapsAxes(h.orientation) ? width : height;
  if (std::string refusal = sizeRefusal(width, height, memoryFor(h, {width, height}));
      !refusal.empty()) {
    r.error = {file, refusal, LoadErrorKind::TooLarge};
    return r;
  }
  r.ok = true;
  return r;
}

int64_t webpDecodeMemory(const uint8_t* data, size_t size, int leastWidth, int leastHeight) {
  WebpHeader h;
  if (readHeader(data, size, "", h).kind != LoadErrorKind::None) {
    return 0;
  }
  return memoryFor(h, decodeSize(h, leastWidth, leastHeight));
}

LoadResult decodeWebp(const uint8_t* data, size_t size, const std::string& file, int leastWidth,
                      int leastHeight) {
  LoadResult r;
  const ProbeResult probed = probeWebp(data, size, file);
  r.info = probed.info;
  if (!probed.ok) {
    r.error = probed.error;
    return r;
  }
  WebpHeader h;
  readHeader(data, size, file, h);
  Picture p;
  const bool turned = swapsAxes(h.orientation);
  r.error = h.features.has_animation
                ? decodeFirstFrame(data, size, file,
                                   chooseShrink(h.features.width, h.features.height,
                                                turned ? leastHeight : leastWidth,
                                                turned ? leastWidth : leastHeight),
                                   p)
                : decodeStill(data, size, file, h, decodeSize(h, leastWidth, leastHeight), p);
  if (r.error.kind != LoadErrorKind::None) {
    return r;
  }
  convertToSrgb(p, false, h.profile);
  r.picture = applyOrientation(std::move(p), h.orientation);
  r.ok = true;
  return r;
}

}  // namespace vistrel::imaging
