#include "imaging/heif/heif_decode.h"

#include <libheif/heif.h>

#include <cstring>
#include <memory>
#include <utility>

#include "imaging/colour/colour_profile.h"
#include "imaging/colour/over_white.h"
#include "imaging/colour/rgb_profile.h"
#include "imaging/jpeg/jpeg_decode.h"
#include "imaging/picture_limits.h"

namespace vistrel::imaging {

namespace {

struct HeifFree {
  void operator()(heif_context* c) const { heif_context_free(c); }
  void operator()(heif_image_handle* h) const { heif_image_handle_release(h); }
  void operator()(heif_image* i) const { heif_image_release(i); }
  void operator()(heif_decoding_options* o) const { heif_decoding_options_free(o); }
  void operator()(heif_color_profile_nclx* n) const { heif_nclx_color_profile_free(n); }
};
template <typename T>
using Heif = std::unique_ptr<T, HeifFree>;

// Decode memory a pixel costs at the most: the decoder's planes (1.5 bytes), the interleaved
// RGBA it converts them to, the picture and its upright copy.
constexpr int64_t kBytesPerPixel = 12;

// Whether a top-level box runs past the end of the data: the file was cut, or only its start has
// been read. The boxes that describe the picture may come after its data, so a missing one
// means the same.
bool boxesCutShort(const uint8_t* data, size_t size) {
  size_t at = 0;
  while (size - at >= 8) {
    uint64_t length = uint64_t{data[at]} << 24 | uint64_t{data[at + 1]} << 16 |
                      uint64_t{data[at + 2]} << 8 | data[at + 3];
    if (length == 1) {
      if (size - at < 16) {
        return true;
      }
      length = 0;
      for (int i = 8; i < 16; ++i) {
        length = length << 8 | data[at + i];
      }
    } else if (length == 0) {  // to the end of the file
      return false;
    }
    if (length < 8) {
      return false;
    }
    if (length > size - at) {
      return true;
    }
    at += length;
  }
  return at != size;
}

LoadError heifError(const std::string& file, const uint8_t* data, size_t size,
                    const heif_error& e) {
  if (e.subcode == heif_suberror_End_of_data || boxesCutShort(data, size)) {
    return {file, "file is truncated", LoadErrorKind::Truncated};
  }
  const std::string what = isAvif(data, size) ? "AVIF" : "HEIF";
  const std::string detail = e.message != nullptr && *e.message ? std::string(e.message) : "";
  // libheif's own limit on a side (32768 pixels) is met while the boxes are read.
  if (e.subcode == heif_suberror_Security_limit_exceeded) {
    return {file, "the picture is too large (" + detail + ")", LoadErrorKind::TooLarge};
  }
  if (e.code == heif_error_Unsupported_feature || e.code == heif_error_Unsupported_filetype) {
    return {file, "unsupported " + what + " variant" + (detail.empty() ? "" : ": " + detail),
            LoadErrorKind::Unsupported};
  }
  return {file, "damaged " + what + " data" + (detail.empty() ? "" : " (" + detail + ")"),
          LoadErrorKind::Damaged};
}

// The file's boxes read, and its primary picture's handle.
struct Opened {
  Heif<heif_context> context;
  Heif<heif_image_handle> primary;
};

LoadError open(const uint8_t* data, size_t size, const std::string& file, Opened& o) {
  o.context.reset(heif_context_alloc());
  if (!o.context) {
    return {file, "the HEIF decoder could not start (out of memory?)", LoadErrorKind::Refused};
  }
  heif_error e = heif_context_read_from_memory_without_copy(o.context.get(), data, size, nullptr);
  heif_image_handle* handle = nullptr;
  if (e.code == heif_error_Ok) {
    e = heif_context_get_primary_image_handle(o.context.get(), &handle);
    o.primary.reset(handle);
  }
  return e.code == heif_error_Ok ? LoadError{} : heifError(file, data, size, e);
}

ToneCurve curveOf(heif_transfer_characteristics t) {
  switch (t) {
    case heif_transfer_characteristic_ITU_R_BT_709_5:
    case heif_transfer_characteristic_ITU_R_BT_601_6:
    case heif_transfer_characteristic_ITU_R_BT_2020_2_10bit:
    case heif_transfer_characteristic_ITU_R_BT_2020_2_12bit:
      return ToneCurve::Bt709;
    case heif_transfer_characteristic_linear:
      return ToneCurve::Linear;
    case heif_transfer_characteristic_ITU_R_BT_470_6_System_M:
    case heif_transfer_characteristic_ITU_R_BT_470_6_System_B_G:
      return ToneCurve::Power;
    default:
      return ToneCurve::Srgb;
  }
}

// The profile the picture's colour description amounts to: its ICC profile, or one made of its
// nclx primaries and transfer; "" for sRGB or none.
std::string profileOf(const heif_image_handle* handle, const heif_image* image) {
  if (const size_t length = heif_image_handle_get_raw_color_profile_size(handle); length > 0) {
    std::string icc(length, '\0');
    if (heif_image_handle_get_raw_color_profile(handle, icc.data()).code == heif_error_Ok) {
      return icc;
    }
  }
  heif_color_profile_nclx* raw = nullptr;
  if (heif_image_handle_get_nclx_color_profile(handle, &raw).code != heif_error_Ok &&
      heif_image_get_nclx_color_profile(image, &raw).code != heif_error_Ok) {
    return {};
  }
  const Heif<heif_color_profile_nclx> nclx(raw);
  RgbSpace space;
  space.curve = curveOf(nclx->transfer_characteristics);
  space.exponent =
      nclx->transfer_characteristics == heif_transfer_characteristic_ITU_R_BT_470_6_System_B_G
          ? 2.8
          : 2.2;
  const bool srgbPrimaries = nclx->color_primaries == heif_color_primaries_ITU_R_BT_709_5 ||
                             nclx->color_primaries == heif_color_primaries_unspecified;
  if (srgbPrimaries && space.curve == ToneCurve::Srgb) {
    return {};
  }
  if (!srgbPrimaries) {
    space.whiteX = nclx->color_primary_white_x;
    space.whiteY = nclx->color_primary_white_y;
    space.redX = nclx->color_primary_red_x;
    space.redY = nclx->color_primary_red_y;
    space.greenX = nclx->color_primary_green_x;
    space.greenY = nclx->color_primary_green_y;
    space.blueX = nclx->color_primary_blue_x;
    space.blueY = nclx->color_primary_blue_y;
  }
  return rgbProfile(space);
}

// Decodes `handle` as `space`/`chroma`; the error's kind is None when it could.
LoadError decodeAs(heif_image_handle* handle, heif_colorspace space, heif_chroma chroma,
                   const std::string& file, const uint8_t* data, size_t size,
                   Heif<heif_image>& image) {
  const Heif<heif_decoding_options> options(heif_decoding_options_alloc());
  options->convert_hdr_to_8bit = 1;
  heif_image* raw = nullptr;
  const heif_error e = heif_decode_image(handle, &raw, space, chroma, options.get());
  image.reset(raw);
  return e.code == heif_error_Ok ? LoadError{} : heifError(file, data, size, e);
}

LoadError decodeHandle(heif_image_handle* handle, const std::string& file, const uint8_t* data,
                       size_t size, int leastWidth, int leastHeight, Picture& p) {
  const bool alpha = heif_image_handle_has_alpha_channel(handle) != 0;
  // The decoder cannot shrink, so the shrink a JPEG decode would make comes after it. (Shrinking
  // the decoder's YCbCr planes before they become RGB saved nothing: libheif's conversion costs
  // little beside the decode.)
  const int shrink = chooseShrink(heif_image_handle_get_width(handle),
                                  heif_image_handle_get_height(handle), leastWidth, leastHeight)
                         .den;
  Heif<heif_image> image;
  if (LoadError e = decodeAs(handle, heif_colorspace_RGB,
                             alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB,
                             file, data, size, image);
      e.kind != LoadErrorKind::None) {
    return e;
  }
  int stride = 0;
  const uint8_t* rows =
      heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
  const int width = heif_image_get_width(image.get(), heif_channel_interleaved);
  const int height = heif_image_get_height(image.get(), heif_channel_interleaved);
  if (rows == nullptr || width <= 0 || height <= 0) {
    return heifError(file, data, size,
                     {heif_error_Decoder_plugin_error, heif_suberror_Unspecified, ""});
  }
  p = pictureOverWhite(rows, width, height, static_cast<size_t>(stride), alpha, shrink);
  convertToSrgb(p, false, profileOf(handle, image.get()));
  return {};
}

}  // namespace

bool isAvif(const uint8_t* data, size_t size) {
  const heif_brand brand = heif_main_brand(data, static_cast<int>(std::min<size_t>(size, 4096)));
  return brand == heif_avif || brand == heif_avis;
}

bool isHeif(const uint8_t* data, size_t size) {
  return size >= 12 && std::memcmp(data + 4, "ftyp", 4) == 0 &&
         heif_check_filetype(data, static_cast<int>(std::min<size_t>(size, 4096))) !=
             heif_filetype_no;
}

ProbeResult probeHeif(const uint8_t* data, size_t size, const std::string& file) {
  ProbeResult r;
  r.info.format = isAvif(data, size) ? PictureFormat::Avif : PictureFormat::Heif;
  if (!isHeif(data, size)) {
    r.error = {file, "not a HEIF or AVIF file", LoadErrorKind::NotPicture};
    return r;
  }
  Opened o;
  if (r.error = open(data, size, file, o); r.error.kind != LoadErrorKind::None) {
    return r;
  }
  r.info.width = heif_image_handle_get_width(o.primary.get());
  r.info.height = heif_image_handle_get_height(o.primary.get());
  const int64_t memory = int64_t{r.info.width} * r.info.height * kBytesPerPixel;
  if (std::string refusal = sizeRefusal(r.info.width, r.info.height, memory); !refusal.empty()) {
    r.error = {file, refusal, LoadErrorKind::TooLarge};
    return r;
  }
  r.ok = true;
  return r;
}

int64_t heifDecodeMemory(const uint8_t* data, size_t size) {
  Opened o;
  if (open(data, size, "", o).kind != LoadErrorKind::None) {
    return 0;
  }
  return int64_t{heif_image_handle_get_width(o.primary.get())} *
         heif_image_handle_get_height(o.primary.get()) * kBytesPerPixel;
}

LoadResult decodeHeif(const uint8_t* data, size_t size, const std::string& file, int leastWidth,
                      int leastHeight) {
  LoadResult r;
  const ProbeResult probed = probeHeif(data, size, file);
  r.info = probed.info;
  if (!probed.ok) {
    r.error = probed.error;
    return r;
  }
  Opened o;
  open(data, size, file, o);
  // The thumbnail item is never used: thumbnails made of libheif's own items measured 4 to 8 dB
  // worse than those of the full decode (bench/heif_thumbnail_quality.sh).
  Picture p;
  r.error = decodeHandle(o.primary.get(), file, data, size, leastWidth, leastHeight, p);
  if (r.error.kind != LoadErrorKind::None) {
    return r;
  }
  r.picture = std::move(p);
  r.ok = true;
  return r;
}

}  // namespace vistrel::imaging
