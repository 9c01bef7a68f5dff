#pragma once
// HEIC, AVIF, WebP and PNG files the tests make with each format's own encoder (libheif with x265
// and aom, libwebp, libspng), and a HEIC grid put together from tiles libheif encodes.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vistrel::testing {

// Pixels to encode: R, G, B, A bytes, rows packed.
struct Rgba {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> px;
};
using RgbaColour = std::array<uint8_t, 4>;

// A picture whose pixel (x, y) is colour(x, y).
Rgba rgbaPainted(int width, int height, const std::function<RgbaColour(int, int)>& colour);

struct HeifOptions {
  bool avif = false;
  int orientation = 1;     // as the EXIF tag; written as irot and imir
  bool displayP3 = false;  // an nclx description of Display P3 colours
  int thumbnailSide = 0;   // the box of a thumbnail item, none when 0
  bool alpha = false;
};
std::string heifFile(const Rgba& picture, const HeifOptions& options = {});

// A HEIC whose picture is a grid of `columns` x `rows` tiles of `tile` pixels (tile (c, r) is
// colours[r * columns + c], a flat colour), turned `quarterTurns` times anticlockwise (irot).
std::string heicGrid(int columns, int rows, int tile, const std::vector<RgbaColour>& colours,
                     int quarterTurns);

// A still WebP (lossless when `lossless`), with an EXIF chunk of this orientation when not 1.
std::string webpFile(const Rgba& picture, bool lossless = false, int orientation = 1);
// An animated WebP of these frames, each shown a tenth of a second.
std::string animatedWebp(const std::vector<Rgba>& frames);

struct PngOptions {
  int bitDepth = 8;   // 8 or 16
  bool grey = false;  // grey (the R byte) instead of RGB
  bool alpha = false;
  double gamma = 0;     // a gAMA chunk with this file gamma when > 0
  int orientation = 1;  // an eXIf chunk when not 1
};
std::string pngFile(const Rgba& picture, const PngOptions& options = {});

// The first bytes of a PNG whose header claims `width` x `height` pixels.
std::string pngHeader(uint32_t width, uint32_t height);

}  // namespace vistrel::testing
