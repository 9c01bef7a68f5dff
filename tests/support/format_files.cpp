#include "support/format_files.h"

#include <libheif/heif.h>
#include <spng.h>
#include <webp/encode.h>
#include <webp/mux.h>

#include <cstdlib>
#include <memory>
#include <stdexcept>

#include "support/picture_maker.h"

namespace vistrel::testing {

namespace {

void check(heif_error e) {
  if (e.code != heif_error_Ok) {
    throw std::runtime_error(std::string("libheif: ") + e.message);
  }
}

std::string be16(unsigned v) {
  return {static_cast<char>(v >> 8), static_cast<char>(v & 0xFF)};
}
std::string be32(uint32_t v) {
  return be16(v >> 16) + be16(v & 0xFFFF);
}
std::string box(const char* type, const std::string& body) {
  return be32(static_cast<uint32_t>(8 + body.size())) + type + body;
}
std::string fullBox(const char* type, int version, uint32_t flags, const std::string& body) {
  return box(type, static_cast<char>(version) + be32(flags).substr(1) + body);
}

// The EXIF block of exifSegment, without the JPEG segment's marker, length and identifier.
std::string exifBlock(int orientation) {
  return exifSegment(orientation).substr(10);
}

heif_image* heifImage(const Rgba& p, bool alpha) {
  heif_image* image = nullptr;
  check(heif_image_create(p.width, p.height, heif_colorspace_RGB,
                          alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB,
                          &image));
  check(heif_image_add_plane(image, heif_channel_interleaved, p.width, p.height, 8));
  int stride = 0;
  uint8_t* rows = heif_image_get_plane(image, heif_channel_interleaved, &stride);
  const int channels = alpha ? 4 : 3;
  for (int y = 0; y < p.height; ++y) {
    for (int x = 0; x < p.width; ++x) {
      for (int c = 0; c < channels; ++c) {
        rows[y * stride + x * channels + c] = p.px[(size_t(y) * p.width + x) * 4 + c];
      }
    }
  }
  return image;
}

heif_error appendTo(heif_context*, const void* data, size_t size, void* out) {
  static_cast<std::string*>(out)->append(static_cast<const char*>(data), size);
  return {heif_error_Ok, heif_suberror_Unspecified, ""};
}

}  // namespace

Rgba rgbaPainted(int width, int height, const std::function<RgbaColour(int, int)>& colour) {
  Rgba p{width, height, std::vector<uint8_t>(size_t(width) * height * 4)};
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const RgbaColour c = colour(x, y);
      std::copy(c.begin(), c.end(), p.px.begin() + (size_t(y) * width + x) * 4);
    }
  }
  return p;
}

std::string heifFile(const Rgba& picture, const HeifOptions& o) {
  std::unique_ptr<heif_context, void (*)(heif_context*)> ctx(heif_context_alloc(),
                                                             heif_context_free);
  heif_encoder* encoder = nullptr;
  check(heif_context_get_encoder_for_format(
      ctx.get(), o.avif ? heif_compression_AV1 : heif_compression_HEVC, &encoder));
  heif_encoder_set_lossy_quality(encoder, 95);
  heif_image* image = heifImage(picture, o.alpha);
  heif_encoding_options* options = heif_encoding_options_alloc();
  options->macOS_compatibility_workaround = 0;
  options->image_orientation = static_cast<heif_orientation>(o.orientation);
  heif_color_profile_nclx* nclx = heif_nclx_color_profile_alloc();
  if (o.displayP3) {
    nclx->color_primaries = heif_color_primaries_SMPTE_EG_432_1;
    nclx->transfer_characteristics = heif_transfer_characteristic_IEC_61966_2_1;
    nclx->matrix_coefficients = heif_matrix_coefficients_ITU_R_BT_601_6;
    nclx->full_range_flag = 1;
    options->output_nclx_profile = nclx;
    options->macOS_compatibility_workaround_no_nclx_profile = 0;
    check(heif_image_set_nclx_color_profile(image, nclx));
  }
  heif_image_handle* handle = nullptr;
  check(heif_context_encode_image(ctx.get(), image, encoder, options, &handle));
  if (o.thumbnailSide > 0) {
    check(heif_context_encode_thumbnail(ctx.get(), image, handle, encoder, options, o.thumbnailSide,
                                        nullptr));
  }
  heif_image_handle_release(handle);
  heif_nclx_color_profile_free(nclx);
  heif_encoding_options_free(options);
  heif_image_release(image);
  heif_encoder_release(encoder);
  std::string bytes;
  heif_writer writer{1, appendTo};
  check(heif_context_write(ctx.get(), &writer, &bytes));
  return bytes;
}

namespace {

// The HEVC configuration box and the coded data of a one-picture HEIC of libheif's.
void tileParts(const std::string& file, std::string& hvcC, std::string& data) {
  const size_t at = file.find("hvcC");
  const size_t mdat = file.find("mdat");
  if (at == std::string::npos || mdat == std::string::npos) {
    throw std::runtime_error("no hvcC or mdat in the tile");
  }
  auto size = [&](size_t p) {
    return size_t{uint8_t(file[p])} << 24 | size_t{uint8_t(file[p + 1])} << 16 |
           size_t{uint8_t(file[p + 2])} << 8 | uint8_t(file[p + 3]);
  };
  hvcC = file.substr(at - 4, size(at - 4));
  data = file.substr(mdat + 4, size(mdat - 4) - 8);
}

}  // namespace

std::string heicGrid(int columns, int rows, int tile, const std::vector<RgbaColour>& colours,
                     int quarterTurns) {
  const unsigned n = static_cast<unsigned>(columns * rows);
  std::string hvcCs, tileData, infes, ipmaTiles, ilocTiles;
  std::vector<std::string> data(n);
  for (unsigned i = 0; i < n; ++i) {
    std::string hvcC;
    tileParts(heifFile(rgbaPainted(tile, tile, [&](int, int) { return colours[i]; })), hvcC,
              data[i]);
    hvcCs += hvcC;
    infes += fullBox("infe", 2, 1, be16(i + 2) + be16(0) + "hvc1" + '\0');
    ipmaTiles += be16(i + 2) + '\2' + char(0x80 | (i + 1)) + char(n + 1);
  }
  const std::string ispeTile = fullBox("ispe", 0, 0, be32(tile) + be32(tile));
  const std::string ispeGrid = fullBox("ispe", 0, 0, be32(columns * tile) + be32(rows * tile));
  const std::string irot = box("irot", std::string(1, char(quarterTurns & 3)));
  const std::string ipco = box("ipco", hvcCs + ispeTile + ispeGrid + irot);
  const std::string ipma = fullBox(
      "ipma", 0, 0, be32(n + 1) + be16(1) + '\2' + char(n + 2) + char(0x80 | (n + 3)) + ipmaTiles);
  std::string dimg = be16(1) + be16(n);
  for (unsigned i = 0; i < n; ++i) {
    dimg += be16(i + 2);
  }
  const std::string gridData = std::string("\0\0", 2) + char(rows - 1) + char(columns - 1) +
                               be16(columns * tile) + be16(rows * tile);
  const std::string ftyp = box("ftyp", std::string("heic") + be32(0) + "mif1heic");
  auto meta = [&](uint32_t mdatStart) {
    std::string iloc = std::string("\x44\0", 2) + be16(n + 1);
    uint32_t at = mdatStart;
    iloc += be16(1) + be16(0) + be16(1) + be32(at) + be32(uint32_t(gridData.size()));
    at += uint32_t(gridData.size());
    for (unsigned i = 0; i < n; ++i) {
      iloc += be16(i + 2) + be16(0) + be16(1) + be32(at) + be32(uint32_t(data[i].size()));
      at += uint32_t(data[i].size());
    }
    return fullBox(
        "meta", 0, 0,
        fullBox("hdlr", 0, 0, be32(0) + "pict" + std::string(13, '\0')) +
            fullBox("pitm", 0, 0, be16(1)) + fullBox("iloc", 0, 0, iloc) +
            fullBox(
                "iinf", 0, 0,
                be16(n + 1) + fullBox("infe", 2, 0, be16(1) + be16(0) + "grid" + '\0') + infes) +
            fullBox("iref", 0, 0, box("dimg", dimg)) + box("iprp", ipco + ipma));
  };
  const size_t metaSize = meta(0).size();
  std::string mdat = gridData;
  for (const auto& d : data) {
    mdat += d;
  }
  return ftyp + meta(uint32_t(ftyp.size() + metaSize + 8)) + box("mdat", mdat);
}

std::string webpFile(const Rgba& p, bool lossless, int orientation) {
  uint8_t* out = nullptr;
  const size_t size =
      lossless ? WebPEncodeLosslessRGBA(p.px.data(), p.width, p.height, 4 * p.width, &out)
               : WebPEncodeRGBA(p.px.data(), p.width, p.height, 4 * p.width, 95, &out);
  std::string bytes(reinterpret_cast<const char*>(out), size);
  WebPFree(out);
  if (orientation == 1) {
    return bytes;
  }
  WebPMux* mux = WebPMuxNew();
  const WebPData image{reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()};
  const std::string exif = exifBlock(orientation);
  const WebPData chunk{reinterpret_cast<const uint8_t*>(exif.data()), exif.size()};
  WebPData assembled{};
  if (WebPMuxSetImage(mux, &image, 1) != WEBP_MUX_OK ||
      WebPMuxSetChunk(mux, "EXIF", &chunk, 1) != WEBP_MUX_OK ||
      WebPMuxAssemble(mux, &assembled) != WEBP_MUX_OK) {
    throw std::runtime_error("WebP mux failed");
  }
  bytes.assign(reinterpret_cast<const char*>(assembled.bytes), assembled.size);
  WebPDataClear(&assembled);
  WebPMuxDelete(mux);
  return bytes;
}

std::string animatedWebp(const std::vector<Rgba>& frames) {
  WebPAnimEncoderOptions options;
  WebPAnimEncoderOptionsInit(&options);
  WebPAnimEncoder* encoder = WebPAnimEncoderNew(frames[0].width, frames[0].height, &options);
  WebPConfig config;
  WebPConfigInit(&config);
  int timestamp = 0;
  for (const Rgba& f : frames) {
    WebPPicture picture;
    WebPPictureInit(&picture);
    picture.width = f.width;
    picture.height = f.height;
    picture.use_argb = 1;
    WebPPictureImportRGBA(&picture, f.px.data(), 4 * f.width);
    WebPAnimEncoderAdd(encoder, &picture, timestamp, &config);
    WebPPictureFree(&picture);
    timestamp += 100;
  }
  WebPAnimEncoderAdd(encoder, nullptr, timestamp, nullptr);
  WebPData assembled{};
  WebPAnimEncoderAssemble(encoder, &assembled);
  std::string bytes(reinterpret_cast<const char*>(assembled.bytes), assembled.size);
  WebPDataClear(&assembled);
  WebPAnimEncoderDelete(encoder);
  return bytes;
}

std::string pngFile(const Rgba& p, const PngOptions& o) {
  std::unique_ptr<spng_ctx, void (*)(spng_ctx*)> ctx(spng_ctx_new(SPNG_CTX_ENCODER), spng_ctx_free);
  spng_set_option(ctx.get(), SPNG_ENCODE_TO_BUFFER, 1);
  spng_ihdr ihdr{};
  ihdr.width = uint32_t(p.width);
  ihdr.height = uint32_t(p.height);
  ihdr.bit_depth = uint8_t(o.bitDepth);
  ihdr.color_type =
      uint8_t(o.grey ? (o.alpha ? SPNG_COLOR_TYPE_GRAYSCALE_ALPHA : SPNG_COLOR_TYPE_GRAYSCALE)
                     : (o.alpha ? SPNG_COLOR_TYPE_TRUECOLOR_ALPHA : SPNG_COLOR_TYPE_TRUECOLOR));
  spng_set_ihdr(ctx.get(), &ihdr);
  if (o.gamma > 0) {
    spng_set_gama(ctx.get(), o.gamma);
  }
  const std::string exif = exifBlock(o.orientation);
  if (o.orientation != 1) {
    spng_exif chunk{exif.size(), const_cast<char*>(exif.data())};
    spng_set_exif(ctx.get(), &chunk);
  }
  // The samples each pixel keeps, each repeated for 16 bits (so either byte order reads alike).
  std::vector<uint8_t> rows;
  const int bytesPerSample = o.bitDepth / 8;
  for (size_t i = 0; i < p.px.size(); i += 4) {
    for (int c = 0; c < 4; ++c) {
      if ((o.grey && (c == 1 || c == 2)) || (!o.alpha && c == 3)) {
        continue;
      }
      rows.insert(rows.end(), size_t(bytesPerSample), p.px[i + size_t(c)]);
    }
  }
  if (const int status = spng_encode_image(ctx.get(), rows.data(), rows.size(), SPNG_FMT_PNG,
                                           SPNG_ENCODE_FINALIZE);
      status != 0) {
    throw std::runtime_error(std::string("libspng: ") + spng_strerror(status));
  }
  size_t length = 0;
  int error = 0;
  void* out = spng_get_png_buffer(ctx.get(), &length, &error);
  std::string bytes(static_cast<const char*>(out), length);
  std::free(out);
  return bytes;
}

std::string pngHeader(uint32_t width, uint32_t height) {
  const std::string chunk = "IHDR" + be32(width) + be32(height) + std::string("\x08\x02\0\0\0", 5);
  uint32_t crc = 0xFFFFFFFF;
  for (const char c : chunk) {
    crc ^= uint8_t(c);
    for (int k = 0; k < 8; ++k) {
      crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
  }
  return "\x89PNG\r\n\x1a\n" + be32(13) + chunk + be32(~crc);
}

}  // namespace vistrel::testing
