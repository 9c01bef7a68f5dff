#include "samples/gif_writer.h"

#include <gif_lib.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

namespace vistrel::samples {

using imaging::Picture;

namespace {

constexpr int kLevelsB = 6, kLevelsG = 7, kLevelsR = 6;
constexpr int kCubeSize = kLevelsB * kLevelsG * kLevelsR;  // 252 colours
constexpr int kTransparentIndex = 255;

int level(uint8_t value, int levels) {
  return (value * (levels - 1) + 127) / 255;
}
uint8_t channel(int lvl, int levels) {
  return static_cast<uint8_t>(lvl * 255 / (levels - 1));
}

int appendBytes(GifFileType* gif, const GifByteType* bytes, int length) {
  static_cast<std::string*>(gif->UserData)->append(reinterpret_cast<const char*>(bytes), length);
  return length;
}

struct MapDeleter {
  void operator()(ColorMapObject* map) const { GifFreeMapObject(map); }
};

}  // namespace

std::string encodeGif(const Picture& picture, const GifOptions& options) {
  std::string bytes;
  int error = 0;
  GifFileType* gif = EGifOpen(&bytes, appendBytes, &error);
  if (gif == nullptr) {
    return {};
  }
  std::unique_ptr<ColorMapObject, MapDeleter> palette(GifMakeMapObject(256, nullptr));
  for (int i = 0; i < kCubeSize; ++i) {
    palette->Colors[i] = {channel(i / (kLevelsB * kLevelsG), kLevelsR),
                          channel(i / kLevelsB % kLevelsG, kLevelsG),
                          channel(i % kLevelsB, kLevelsB)};
  }
  for (int i = kCubeSize; i < 256; ++i) {
    palette->Colors[i] = {0, 0, 0};
  }
  EGifSetGifVersion(gif, true);
  bool ok = EGifPutScreenDesc(gif, picture.width, picture.height, 8, 0, palette.get()) == GIF_OK;
  if (ok && options.transparent) {
    GraphicsControlBlock control{};
    control.DisposalMode = DISPOSAL_UNSPECIFIED;
    control.TransparentColor = kTransparentIndex;
    GifByteType extension[4];
    const size_t length = EGifGCBToExtension(&control, extension);
    ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length), extension) ==
         GIF_OK;
  }
  ok = ok && EGifPutImageDesc(gif, 0, 0, picture.width, picture.height, false, nullptr) == GIF_OK;
  std::vector<GifPixelType> line(static_cast<size_t>(picture.width));
  for (int y = 0; ok && y < picture.height; ++y) {
    const uint8_t* p = picture.row(y);
    for (int x = 0; x < picture.width; ++x, p += 3) {
      const bool clear = options.transparent && p[0] == options.transparentB &&
                         p[1] == options.transparentG && p[2] == options.transparentR;
      line[x] = clear ? kTransparentIndex
                      : static_cast<GifPixelType>(level(p[0], kLevelsB) +
                                                  kLevelsB * level(p[1], kLevelsG) +
                                                  kLevelsB * kLevelsG * level(p[2], kLevelsR));
    }
    ok = EGifPutLine(gif, line.data(), picture.width) == GIF_OK;
  }
  if (EGifCloseFile(gif, &error) != GIF_OK || !ok) {
    return {};
  }
  return bytes;
}

bool writeGifFile(const Picture& picture, const std::string& file, const GifOptions& options) {
  const std::string bytes = encodeGif(picture, options);
  if (bytes.empty()) {
    return false;
  }
  const std::string temp = file + ".part";
  std::FILE* f = std::fopen(temp.c_str(), "wb");
  if (f == nullptr) {
    return false;
  }
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  if (std::fclose(f) != 0 || !written) {
    std::remove(temp.c_str());
    return false;
  }
  std::error_code ec;
  std::filesystem::rename(temp, file, ec);
  if (ec) {
    std::remove(temp.c_str());
    return false;
  }
  return true;
}

}  // namespace vistrel::samples
