#pragma once
// Pictures and files the imaging tests generate: photo-like BGR pictures, JPEG files in the
// variants the loader must read (through TurboJPEG and libjpeg), EXIF blocks and GIF files; and
// byte access to a cDIBSection's pixels.
#include <gif_lib.h>
#include <jpeglib.h>
#include <turbojpeg.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <random>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "imaging/picture.h"
#include "imaging/surface/dib_section.h"

namespace vistrel::testing {

using imaging::cDIBSection;
using imaging::Picture;

struct Bgr {
  int b = 0, g = 0, r = 0;
  bool operator==(const Bgr&) const = default;
};
using Colours = std::vector<Bgr>;

inline std::ostream& operator<<(std::ostream& out, const Bgr& c) {
  return out << "bgr(" << c.b << "," << c.g << "," << c.r << ")";
}

// Whether each colour is within `tolerance` of the expected one in every channel.
inline bool near(const Colours& actual, const Colours& expected, int tolerance) {
  return actual.size() == expected.size() &&
         std::equal(actual.begin(), actual.end(), expected.begin(), [&](Bgr a, Bgr e) {
           return std::abs(a.b - e.b) <= tolerance && std::abs(a.g - e.g) <= tolerance &&
                  std::abs(a.r - e.r) <= tolerance;
         });
}

inline Picture blankPicture(int width, int height) {
  return {width, height, 3 * width, std::vector<uint8_t>(static_cast<size_t>(3 * width) * height)};
}

inline void setPixel(Picture& p, int x, int y, uint8_t b, uint8_t g, uint8_t r) {
  uint8_t* px = p.row(y) + 3 * x;
  px[0] = b;
  px[1] = g;
  px[2] = r;
}

// A picture whose pixel (x, y) is colour(x, y).
template <typename Colour>
Picture painted(int width, int height, Colour colour) {
  Picture p = blankPicture(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const Bgr c = colour(x, y);
      setPixel(p, x, y, static_cast<uint8_t>(c.b), static_cast<uint8_t>(c.g),
               static_cast<uint8_t>(c.r));
    }
  }
  return p;
}

// The mean colour of the square of 5 x 5 pixels centred on (x, y).
inline Bgr meanAround(const Picture& p, int x, int y) {
  int sums[3] = {0, 0, 0};
  for (int dy = -2; dy <= 2; ++dy) {
    for (int dx = -2; dx <= 2; ++dx) {
      for (int c = 0; c < 3; ++c) {
        sums[c] += p.row(y + dy)[3 * (x + dx) + c];
      }
    }
  }
  return {sums[0] / 25, sums[1] / 25, sums[2] / 25};
}

// The mean colours of the middles of `count` patches of 16 x 16 pixels in a row.
inline Colours patches(const Picture& p, int count) {
  Colours out;
  for (int i = 0; i < count; ++i) {
    out.push_back(meanAround(p, 16 * i + 8, 8));
  }
  return out;
}

// Smooth shading, a few hard edges and fine grain, like a photograph: what shrink-on-load and
// the stretch filter meet in practice.
inline Picture photoLike(int width, int height, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> phase(0.0, 6.283);
  std::uniform_int_distribution<int> grain(-6, 6);
  const double p1 = phase(rng), p2 = phase(rng), p3 = phase(rng);
  const int boxX = width / 3, boxY = height / 4, boxW = width / 4, boxH = height / 3;
  return painted(width, height, [&](int x, int y) {
    const double u = static_cast<double>(x) / width, v = static_cast<double>(y) / height;
    double r = 128 + 90 * std::sin(6.0 * u + p1) * std::cos(3.0 * v + p2);
    double g = 120 + 80 * std::sin(4.0 * v + p3 + 2.0 * u);
    double b = 100 + 70 * std::cos(5.0 * u * v + p2);
    if (x >= boxX && x < boxX + boxW && y >= boxY && y < boxY + boxH) {
      r = 230 - r / 4;
      g = 40 + g / 5;
      b = 50;
    }
    auto px = [&](double c) { return std::clamp(static_cast<int>(c) + grain(rng), 0, 255); };
    return Bgr{px(b), px(g), px(r)};
  });
}

// Of two pictures of one size without padding.
inline double psnr(const Picture& a, const Picture& b) {
  if (a.width != b.width || a.height != b.height || a.bgr.size() != b.bgr.size()) {
    throw std::invalid_argument("psnr: sizes differ");
  }
  double sum = 0;
  for (size_t i = 0; i < a.bgr.size(); ++i) {
    sum += (a.bgr[i] - b.bgr[i]) * (a.bgr[i] - b.bgr[i]);
  }
  const double mse = sum / static_cast<double>(a.bgr.size());
  return mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

// A JPEG of `p` through TurboJPEG (TJSAMP_*, TJFLAG_* as given).
inline std::string tjEncode(const Picture& p, int quality = 90, int subsampling = TJSAMP_420,
                            int flags = 0) {
  tjhandle tj = tjInitCompress();
  unsigned char* out = nullptr;
  unsigned long size = 0;
  if (tjCompress2(tj, p.bgr.data(), p.width, p.stride, p.height, TJPF_BGR, &out, &size, subsampling,
                  quality, flags) != 0) {
    std::string message = tjGetErrorStr2(tj);
    tjDestroy(tj);
    throw std::runtime_error(message);
  }
  std::string bytes(reinterpret_cast<const char*>(out), size);
  tjFree(out);
  tjDestroy(tj);
  return bytes;
}

// Options for a JPEG made through libjpeg's own API, for what TurboJPEG cannot write.
struct JpegOptions {
  int quality = 90;
  bool progressive = false;
  int restartInterval = 0;   // in MCUs; 0 for none
  int lumaH = 2, lumaV = 2;  // luma sampling, chroma 1 x 1: 2 x 2 is 4:2:0, 1 x 1 is 4:4:4
  bool cmyk = false;         // `cmykPixels` are written instead of the picture
  bool ycck = false;         // CMYK stored as YCCK
  bool adobeMarker = true;
  bool grey = false;
  // Segments written after the headers: marker, payload.
  std::vector<std::pair<int, std::string>> markers = {};
};

// Writes `p` (or `cmykPixels`, 4 bytes a pixel, when options.cmyk) as a JPEG.
inline std::string libjpegEncode(const Picture& p, const JpegOptions& options,
                                 const std::vector<uint8_t>& cmykPixels = {}) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr jerr;
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_compress(&cinfo);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &out, &size);
  cinfo.image_width = static_cast<JDIMENSION>(p.width);
  cinfo.image_height = static_cast<JDIMENSION>(p.height);
  cinfo.input_components = options.cmyk ? 4 : 3;
  cinfo.in_color_space = options.cmyk ? JCS_CMYK : JCS_EXT_BGR;
  jpeg_set_defaults(&cinfo);
  if (options.cmyk) {
    jpeg_set_colorspace(&cinfo, options.ycck ? JCS_YCCK : JCS_CMYK);
    cinfo.write_Adobe_marker = options.adobeMarker ? TRUE : FALSE;
  } else if (options.grey) {
    jpeg_set_colorspace(&cinfo, JCS_GRAYSCALE);
  }
  jpeg_set_quality(&cinfo, options.quality, TRUE);
  for (int c = 0; c < cinfo.num_components; ++c) {
    const bool luma = c == 0 && !options.cmyk;
    cinfo.comp_info[c].h_samp_factor = luma ? options.lumaH : 1;
    cinfo.comp_info[c].v_samp_factor = luma ? options.lumaV : 1;
  }
  if (options.progressive) {
    jpeg_simple_progression(&cinfo);
  }
  cinfo.restart_interval = static_cast<unsigned>(options.restartInterval);
  jpeg_start_compress(&cinfo, TRUE);
  for (const auto& [marker, payload] : options.markers) {
    jpeg_write_marker(&cinfo, marker, reinterpret_cast<const JOCTET*>(payload.data()),
                      static_cast<unsigned>(payload.size()));
  }
  while (cinfo.next_scanline < cinfo.image_height) {
    const int y = static_cast<int>(cinfo.next_scanline);
    // The encoder only reads the rows it is given.
    auto* row = const_cast<uint8_t*>(options.cmyk ? cmykPixels.data() + 4 * p.width * y : p.row(y));
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::string bytes(reinterpret_cast<const char*>(out), size);
  std::free(out);
  return bytes;
}

// A JPEG of 16 x 16 patches, one per ink (C, M, Y, K; 255 is full ink), stored as CMYK or YCCK,
// with the inks inverted under an Adobe marker as Photoshop writes them.
inline std::string cmykPatchesJpeg(const std::vector<std::array<int, 4>>& inks, bool adobe,
                                   bool ycck, int quality) {
  const int w = 16 * static_cast<int>(inks.size());
  std::vector<uint8_t> cmyk(static_cast<size_t>(w) * 16 * 4);
  for (size_t i = 0; i < cmyk.size(); ++i) {
    const int ink = inks[i / 4 % static_cast<size_t>(w) / 16][i % 4];
    cmyk[i] = static_cast<uint8_t>(adobe ? 255 - ink : ink);
  }
  return libjpegEncode(blankPicture(w, 16),
                       {.quality = quality, .cmyk = true, .ycck = ycck, .adobeMarker = adobe},
                       cmyk);
}

// An APP1 EXIF segment holding only the orientation tag, in either byte order.
inline std::string exifSegment(int orientation, bool bigEndian = true) {
  auto u16 = [&](unsigned v) {
    return bigEndian ? std::string{static_cast<char>(v >> 8), static_cast<char>(v & 0xFF)}
                     : std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
  };
  auto u32 = [&](unsigned v) {
    return bigEndian ? u16(v >> 16) + u16(v & 0xFFFF) : u16(v & 0xFFFF) + u16(v >> 16);
  };
  std::string tiff = bigEndian ? "MM" : "II";
  tiff += u16(42) + u32(8);
  tiff += u16(1);                                                     // one entry
  tiff += u16(0x0112) + u16(3) + u32(1) + u16(orientation) + u16(0);  // orientation
  tiff += u32(0);                                                     // no next IFD
  const std::string payload = std::string("Exif\0\0", 6) + tiff;
  const size_t length = payload.size() + 2;
  return std::string("\xFF\xE1", 2) + static_cast<char>(length >> 8) +
         static_cast<char>(length & 0xFF) + payload;
}

// An APP1 EXIF segment (big-endian) whose IFD0 points to a GPS IFD at tiff offset 38: the GPS
// version, and with `position` a latitude too (its entry at tiff offset 64, its values at 80).
inline std::string gpsExifSegment(bool position) {
  auto u16 = [](unsigned v) {
    return std::string{static_cast<char>(v >> 8), static_cast<char>(v & 0xFF)};
  };
  auto u32 = [&](unsigned v) { return u16(v >> 16) + u16(v & 0xFFFF); };
  std::string tiff = "MM" + u16(42) + u32(8);
  tiff += u16(2);
  tiff += u16(0x0112) + u16(3) + u32(1) + u16(1) + u16(0);  // upright
  tiff += u16(0x8825) + u16(4) + u32(1) + u32(38);          // the GPS IFD
  tiff += u32(0);
  tiff += u16(position ? 3 : 1);
  tiff += u16(0x0000) + u16(1) + u32(4) + u32(0x02030000);  // GPS version 2.3
  if (position) {
    tiff += u16(0x0001) + u16(2) + u32(2) + u32(0x4E000000);  // "N"
    tiff += u16(0x0002) + u16(5) + u32(3) + u32(80);          // latitude
  }
  tiff += u32(0);
  if (position) {
    tiff += u32(51) + u32(1) + u32(30) + u32(1) + u32(0) + u32(1);  // 51 deg 30 min
  }
  const std::string payload = std::string("Exif\0\0", 6) + tiff;
  const size_t length = payload.size() + 2;
  return std::string("\xFF\xE1", 2) + static_cast<char>(length >> 8) +
         static_cast<char>(length & 0xFF) + payload;
}

// `jpeg` with `segment` inserted right after its start-of-image marker.
inline std::string withSegment(const std::string& jpeg, const std::string& segment) {
  return jpeg.substr(0, 2) + segment + jpeg.substr(2);
}

// One GIF image: palette of up to 128 colours (0xRRGGBB), pixels as palette indexes.
struct GifFrame {
  int left = 0, top = 0, width = 0, height = 0;
  std::vector<uint8_t> indexes;
  int transparent = -1;  // palette index shown as transparent, -1 for none
};

// A GIF file with a global palette of 128 entries and the given frames, through giflib.
inline std::string gifFile(int width, int height, const std::vector<uint32_t>& palette,
                           const std::vector<GifFrame>& frames) {
  std::string out;
  int error = 0;
  GifFileType* gif = EGifOpen(
      &out,
      [](GifFileType* g, const GifByteType* bytes, int length) {
        static_cast<std::string*>(g->UserData)
            ->append(reinterpret_cast<const char*>(bytes), length);
        return length;
      },
      &error);
  std::vector<GifColorType> colours(128, GifColorType{0, 0, 0});
  for (size_t i = 0; i < palette.size(); ++i) {
    colours[i] = {static_cast<GifByteType>(palette[i] >> 16),
                  static_cast<GifByteType>(palette[i] >> 8), static_cast<GifByteType>(palette[i])};
  }
  ColorMapObject* map = GifMakeMapObject(128, colours.data());
  EGifSetGifVersion(gif, true);
  EGifPutScreenDesc(gif, width, height, 7, 0, map);
  for (GifFrame f : frames) {
    GraphicsControlBlock control{DISPOSAL_UNSPECIFIED, false, 10, f.transparent};
    GifByteType extension[4];
    EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE,
                     static_cast<int>(EGifGCBToExtension(&control, extension)), extension);
    EGifPutImageDesc(gif, f.left, f.top, f.width, f.height, false, nullptr);
    for (int y = 0; y < f.height; ++y) {
      EGifPutLine(gif, f.indexes.data() + static_cast<size_t>(y) * f.width, f.width);
    }
  }
  EGifCloseFile(gif, &error);
  GifFreeMapObject(map);
  return out;
}

inline uint8_t* dibPixel(const cDIBSection& dib, int x, int memoryRow) {
  return dib.DIBSectionBitsPtr() + static_cast<size_t>(memoryRow) * dib.BytesPerScanLine() +
         3 * static_cast<size_t>(x);
}

// A bitmap whose pixel (x, y) is colour(x, y), y = 0 the top row as shown (the last in memory).
template <typename Colour>
cDIBSection paintedDib(int width, int height, Colour colour) {
  cDIBSection dib;
  dib.CreateFromPicture(painted(width, height, colour));
  return dib;
}

}  // namespace vistrel::testing
