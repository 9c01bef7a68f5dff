#pragma once
// Pictures whose orientation shows after scaling (JPEG, EXIF-turned JPEG, GIF), file helpers,
// a run's problems in short, and (from recording_progress.h) a progress display that records what a
// run does to it.

#include <QImage>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/picture_maker.h"
#include "support/recording_progress.h"
#include "thumbs/run_problem.h"

namespace vistrel::testing {

struct Rgb {
  uint8_t r, g, b;
};

// Four quadrants that show which way up a picture is: red top-left, green top-right, blue
// bottom-left, white bottom-right.
inline Rgb quadrantColour(int x, int y, int width, int height) {
  const bool right = x >= width / 2;
  const bool bottom = y >= height / 2;
  if (!bottom) {
    return right ? Rgb{0, 200, 0} : Rgb{220, 0, 0};
  }
  return right ? Rgb{255, 255, 255} : Rgb{0, 0, 220};
}

inline void writeBytes(const std::filesystem::path& file, const std::string& bytes) {
  std::ofstream out(file, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) {
    throw std::runtime_error("cannot write " + file.string());
  }
}

inline std::string readBytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// "p3.jpg" (built in steps, since "p" + std::to_string(i) trips a false GCC 12 warning).
inline std::string numbered(const char* stem, int i, const char* extension = ".jpg") {
  std::string name = stem;
  name += std::to_string(i);
  name += extension;
  return name;
}

// The files a run's problems name, in order, each followed by a blank.
inline std::string problemFiles(const std::vector<thumbs::RunProblem>& problems) {
  std::string files;
  for (const auto& problem : problems) {
    files += problem.file + " ";
  }
  return files;
}

// A JPEG of the quadrant picture as it is shown. With orientation 6 the pixels are stored
// turned a quarter left, with an EXIF tag asking the viewer to turn them back.
inline void writeJpeg(const std::filesystem::path& file, int width, int height,
                      int orientation = 1) {
  const bool turned = orientation == 6;
  Picture stored = blankPicture(turned ? height : width, turned ? width : height);
  for (int sy = 0; sy < stored.height; ++sy) {
    for (int sx = 0; sx < stored.width; ++sx) {
      // Shown (dx, dy) comes from stored (dy, storedHeight - 1 - dx) when turned a quarter right.
      const int dx = turned ? stored.height - 1 - sy : sx;
      const int dy = turned ? sx : sy;
      const Rgb c = quadrantColour(dx, dy, width, height);
      setPixel(stored, sx, sy, c.b, c.g, c.r);
    }
  }
  const std::string jpeg = tjEncode(stored);
  writeBytes(file, orientation == 1 ? jpeg : withSegment(jpeg, exifSegment(orientation)));
}

// The quadrant picture with a GPS position in its EXIF, as a phone's camera writes one.
inline void writeJpegWithLocation(const std::filesystem::path& file, int width, int height) {
  writeJpeg(file, width, height);
  writeBytes(file, withSegment(readBytes(file), gpsExifSegment(true)));
}

// A GIF of the quadrant picture.
inline void writeGif(const std::filesystem::path& file, int width, int height) {
  const std::vector<uint32_t> palette = {0xDC0000, 0x00C800, 0x0000DC, 0xFFFFFF};
  GifFrame frame;
  frame.width = width;
  frame.height = height;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const bool right = x >= width / 2;
      const bool bottom = y >= height / 2;
      frame.indexes.push_back(static_cast<uint8_t>((bottom ? 2 : 0) + (right ? 1 : 0)));
    }
  }
  writeBytes(file, gifFile(width, height, palette, {frame}));
}

// True when the picture's four quadrants hold the colours quadrantColour puts there (judged
// at the quadrants' centres, with room for JPEG loss).
inline bool looksUpright(const QImage& image) {
  const int w = image.width();
  const int h = image.height();
  const int xs[2] = {w / 4, (3 * w) / 4};
  const int ys[2] = {h / 4, (3 * h) / 4};
  for (int qy = 0; qy < 2; ++qy) {
    for (int qx = 0; qx < 2; ++qx) {
      const QColor got = image.pixelColor(xs[qx], ys[qy]);
      const Rgb want = quadrantColour(xs[qx], ys[qy], w, h);
      if (std::abs(got.red() - want.r) > 40 || std::abs(got.green() - want.g) > 40 ||
          std::abs(got.blue() - want.b) > 40) {
        return false;
      }
    }
  }
  return true;
}

}  // namespace vistrel::testing
