#pragma once
// Pictures made by the tests themselves: JPEG (TurboJPEG), GIF (a small encoder of our own, as
// Qt reads GIF but does not write it), corrupt files, and progress and shell recorders.

#include <turbojpeg.h>

#include <QImage>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/progress.h"

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

// An APP1 segment saying the stored pixels are shown after `orientation` (EXIF 1..8).
inline std::string exifOrientationSegment(int orientation) {
  std::string tiff("MM\0\x2A\0\0\0\x08", 8);           // big-endian, IFD at 8
  tiff += std::string("\0\x01", 2);                    // one entry
  tiff += std::string("\x01\x12\0\x03\0\0\0\x01", 8);  // Orientation, SHORT, count 1
  tiff += std::string(1, '\0') + static_cast<char>(orientation) + std::string(2, '\0');
  tiff += std::string(4, '\0');  // no next IFD
  const std::string body = std::string("Exif\0\0", 6) + tiff;
  const size_t length = body.size() + 2;
  return std::string("\xFF\xE1", 2) + static_cast<char>(length >> 8) +
         static_cast<char>(length & 0xFF) + body;
}

// A JPEG of the quadrant picture as it is shown. With orientation 6 the pixels are stored
// turned a quarter left, with an EXIF tag asking the viewer to turn them back.
inline void writeJpeg(const std::filesystem::path& file, int width, int height,
                      int orientation = 1) {
  const bool turned = orientation == 6;
  const int storedW = turned ? height : width;
  const int storedH = turned ? width : height;
  std::vector<uint8_t> rgb(static_cast<size_t>(storedW) * storedH * 3);
  for (int sy = 0; sy < storedH; ++sy) {
    for (int sx = 0; sx < storedW; ++sx) {
      // Shown (dx, dy) comes from stored (dy, storedH - 1 - dx) when turned a quarter right.
      const int dx = turned ? storedH - 1 - sy : sx;
      const int dy = turned ? sx : sy;
      const Rgb c = quadrantColour(dx, dy, width, height);
      uint8_t* p = &rgb[(static_cast<size_t>(sy) * storedW + sx) * 3];
      p[0] = c.r;
      p[1] = c.g;
      p[2] = c.b;
    }
  }
  tjhandle handle = tjInitCompress();
  unsigned char* jpeg = nullptr;
  unsigned long size = 0;
  if (tjCompress2(handle, rgb.data(), storedW, 0, storedH, TJPF_RGB, &jpeg, &size, TJSAMP_420, 90,
                  0) != 0) {
    tjDestroy(handle);
    throw std::runtime_error("cannot encode a test JPEG");
  }
  std::string bytes(reinterpret_cast<char*>(jpeg), size);
  tjFree(jpeg);
  tjDestroy(handle);
  if (orientation != 1) {
    bytes.insert(2, exifOrientationSegment(orientation));
  }
  writeBytes(file, bytes);
}

// A GIF of the quadrant picture: a four-colour palette and LZW codes kept at 9 bits by a clear
// code before the code table grows (a valid, if uncompressed, stream).
inline void writeGif(const std::filesystem::path& file, int width, int height) {
  const Rgb palette[4] = {{220, 0, 0}, {0, 200, 0}, {0, 0, 220}, {255, 255, 255}};
  std::string out = "GIF89a";
  auto word = [&](int v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>(v >> 8);
  };
  word(width);
  word(height);
  out += static_cast<char>(0xF7);  // global table of 256 entries, 8 bits
  out += std::string(2, '\0');
  for (int i = 0; i < 256; ++i) {
    const Rgb c = i < 4 ? palette[i] : Rgb{0, 0, 0};
    out += static_cast<char>(c.r);
    out += static_cast<char>(c.g);
    out += static_cast<char>(c.b);
  }
  out += ',';
  word(0);
  word(0);
  word(width);
  word(height);
  out += '\0';
  out += static_cast<char>(8);  // minimum code size
  std::string data;
  uint32_t bits = 0;
  int bitCount = 0;
  auto code = [&](int c) {
    bits |= static_cast<uint32_t>(c) << bitCount;
    bitCount += 9;
    while (bitCount >= 8) {
      data += static_cast<char>(bits & 0xFF);
      bits >>= 8;
      bitCount -= 8;
    }
  };
  int sinceClear = 0;
  code(256);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const Rgb c = quadrantColour(x, y, width, height);
      int index = 0;
      while (index < 3 &&
             (palette[index].r != c.r || palette[index].g != c.g || palette[index].b != c.b)) {
        ++index;
      }
      code(index);
      if (++sinceClear == 254) {
        code(256);
        sinceClear = 0;
      }
    }
  }
  code(257);
  if (bitCount > 0) {
    data += static_cast<char>(bits & 0xFF);
  }
  for (size_t pos = 0; pos < data.size(); pos += 255) {
    const size_t n = std::min<size_t>(255, data.size() - pos);
    out += static_cast<char>(n);
    out += data.substr(pos, n);
  }
  out += '\0';
  out += ';';
  writeBytes(file, out);
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

// Records what a run does to the progress display, in order.
class RecordingDisplay : public ProgressDisplay {
 public:
  explicit RecordingDisplay(float track = 5200) : track_(track) {}
  void setStatus(const std::string& text) override {
    status_ = text;
    events.push_back("status " + text);
  }
  void setNoticeVisible(bool visible) override {
    noticeVisible = visible;
    events.push_back(visible ? "show notice" : "hide notice");
  }
  void refreshNotice() override { events.push_back("refresh " + status_); }
  void setTrackVisible(bool visible) override {
    trackVisible = visible;
    events.push_back(visible ? "show track" : "hide track");
  }
  float trackWidth() const override { return track_; }
  float fillWidth() const override { return fill_; }
  void setFillWidth(float twips) override {
    fill_ = twips;
    events.push_back("fill " + std::to_string(static_cast<long long>(twips)));
  }

  std::vector<std::string> events;
  bool noticeVisible = false;
  bool trackVisible = false;

 private:
  float track_;
  float fill_ = 0;
  std::string status_ = "Working...";
};

}  // namespace vistrel::testing
