#include "imaging/decoders.h"

#include <string_view>

#include "imaging/gif/gif_decode.h"
#include "imaging/heif/heif_decode.h"
#include "imaging/jpeg/jpeg_decode.h"
#include "imaging/png/png_decode.h"
#include "imaging/webp/webp_decode.h"

namespace vistrel::imaging {

std::optional<PictureFormat> formatOf(const uint8_t* data, size_t size, PictureTypes types) {
  if (size >= 2 && data[0] == 0xFF && data[1] == 0xD8) {
    return PictureFormat::Jpeg;
  }
  if (size >= 6 && (std::string_view(reinterpret_cast<const char*>(data), 6) == "GIF87a" ||
                    std::string_view(reinterpret_cast<const char*>(data), 6) == "GIF89a")) {
    return PictureFormat::Gif;
  }
  if (types == PictureTypes::JpegGif) {
    return std::nullopt;
  }
  if (isPng(data, size)) {
    return PictureFormat::Png;
  }
  if (isWebp(data, size)) {
    return PictureFormat::Webp;
  }
  if (isHeif(data, size)) {
    return isAvif(data, size) ? PictureFormat::Avif : PictureFormat::Heif;
  }
  return std::nullopt;
}

std::string notPictureReason(PictureTypes types) {
  return types == PictureTypes::JpegGif ? "not a JPEG or GIF file"
                                        : "not a JPEG, GIF, HEIC, HEIF, AVIF, WebP or PNG file";
}

ProbeResult probeAs(PictureFormat format, const uint8_t* data, size_t size,
                    const std::string& file) {
  switch (format) {
    case PictureFormat::Jpeg:
      return probeJpeg(data, size, file);
    case PictureFormat::Gif:
      return probeGif(data, size, file);
    case PictureFormat::Heif:
    case PictureFormat::Avif:
      return probeHeif(data, size, file);
    case PictureFormat::Webp:
      return probeWebp(data, size, file);
    case PictureFormat::Png:
      return probePng(data, size, file);
  }
  return {};
}

int64_t decodeMemoryAs(PictureFormat format, const uint8_t* data, size_t size,
                       const PictureInfo& probed, int leastWidth, int leastHeight) {
  switch (format) {
    case PictureFormat::Jpeg:
      return jpegDecodeMemory(data, size, leastWidth, leastHeight);
    case PictureFormat::Gif:
      return gifDecodeMemory(probed);
    case PictureFormat::Heif:
    case PictureFormat::Avif:
      return heifDecodeMemory(data, size);
    case PictureFormat::Webp:
      return webpDecodeMemory(data, size, leastWidth, leastHeight);
    case PictureFormat::Png:
      return pngDecodeMemory(probed);
  }
  return 0;
}

LoadResult decodeAs(PictureFormat format, const uint8_t* data, size_t size, const std::string& file,
                    int leastWidth, int leastHeight, uint32_t gifBackground) {
  switch (format) {
    case PictureFormat::Jpeg:
      return decodeJpeg(data, size, file, leastWidth, leastHeight);
    case PictureFormat::Gif:
      return decodeGif(data, size, file, gifBackground);
    case PictureFormat::Heif:
    case PictureFormat::Avif:
      return decodeHeif(data, size, file, leastWidth, leastHeight);
    case PictureFormat::Webp:
      return decodeWebp(data, size, file, leastWidth, leastHeight);
    case PictureFormat::Png:
      return decodePng(data, size, file, leastWidth, leastHeight);
  }
  return {};
}

}  // namespace vistrel::imaging
