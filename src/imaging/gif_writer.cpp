#include "imaging/gif_writer.h"

#include <cstdio>
#include <filesystem>
#include <unordered_map>

namespace vistrel::imaging {

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

// Packs variable-width LZW codes least significant bit first.
class BitPacker {
 public:
  void put(int code, int width) {
    buffer_ |= static_cast<uint32_t>(code) << bits_;
    bits_ += width;
    while (bits_ >= 8) {
      bytes_.push_back(static_cast<char>(buffer_ & 0xFF));
      buffer_ >>= 8;
      bits_ -= 8;
    }
  }
  std::string finish() {
    if (bits_ > 0) {
      bytes_.push_back(static_cast<char>(buffer_ & 0xFF));
    }
    return bytes_;
  }

 private:
  std::string bytes_;
  uint32_t buffer_ = 0;
  int bits_ = 0;
};

std::string lzw(const std::vector<uint8_t>& indices) {
  constexpr int kMinCodeSize = 8;
  constexpr int kClear = 1 << kMinCodeSize;
  constexpr int kEnd = kClear + 1;
  BitPacker out;
  std::unordered_map<uint32_t, int> table;
  int width = kMinCodeSize + 1;
  int next = kEnd + 1;
  out.put(kClear, width);
  if (indices.empty()) {
    out.put(kEnd, width);
    return out.finish();
  }
  int prefix = indices[0];
  for (size_t i = 1; i < indices.size(); ++i) {
    const uint32_t key = (static_cast<uint32_t>(prefix) << 8) | indices[i];
    auto found = table.find(key);
    if (found != table.end()) {
      prefix = found->second;
      continue;
    }
    out.put(prefix, width);
    if (next < 4096) {
      // The decoder widens its codes one step later than it adds them.
      if (next == (1 << width) && width < 12) {
        ++width;
      }
      table.emplace(key, next++);
    } else {
      out.put(kClear, width);
      table.clear();
      width = kMinCodeSize + 1;
      next = kEnd + 1;
    }
    prefix = indices[i];
  }
  out.put(prefix, width);
  out.put(kEnd, width);
  return out.finish();
}

void putWord(std::string& s, int v) {
  s.push_back(static_cast<char>(v & 0xFF));
  s.push_back(static_cast<char>((v >> 8) & 0xFF));
}

}  // namespace

std::string encodeGif(const Picture& picture, const GifOptions& options) {
  std::string gif = "GIF89a";
  putWord(gif, picture.width);
  putWord(gif, picture.height);
  gif.push_back(static_cast<char>(0xF7));  // global colour table of 256 entries
  gif.push_back(0);
  gif.push_back(0);
  for (int i = 0; i < 256; ++i) {
    uint8_t r = 0, g = 0, b = 0;
    if (i < kCubeSize) {
      b = channel(i % kLevelsB, kLevelsB);
      g = channel(i / kLevelsB % kLevelsG, kLevelsG);
      r = channel(i / (kLevelsB * kLevelsG), kLevelsR);
    }
    gif.push_back(static_cast<char>(r));
    gif.push_back(static_cast<char>(g));
    gif.push_back(static_cast<char>(b));
  }
  if (options.transparent) {
    gif += std::string("\x21\xF9\x04\x01\x00\x00", 6);
    gif.push_back(static_cast<char>(kTransparentIndex));
    gif.push_back(0);
  }
  gif.push_back(',');
  putWord(gif, 0);
  putWord(gif, 0);
  putWord(gif, picture.width);
  putWord(gif, picture.height);
  gif.push_back(0);

  std::vector<uint8_t> indices;
  indices.reserve(static_cast<size_t>(picture.width) * picture.height);
  for (int y = 0; y < picture.height; ++y) {
    const uint8_t* p = picture.row(y);
    for (int x = 0; x < picture.width; ++x, p += 3) {
      if (options.transparent && p[0] == options.transparentB && p[1] == options.transparentG &&
          p[2] == options.transparentR) {
        indices.push_back(kTransparentIndex);
      } else {
        indices.push_back(static_cast<uint8_t>(level(p[0], kLevelsB) +
                                               kLevelsB * level(p[1], kLevelsG) +
                                               kLevelsB * kLevelsG * level(p[2], kLevelsR)));
      }
    }
  }
  gif.push_back(8);
  const std::string data = lzw(indices);
  for (size_t pos = 0; pos < data.size(); pos += 255) {
    const size_t n = std::min<size_t>(255, data.size() - pos);
    gif.push_back(static_cast<char>(n));
    gif.append(data, pos, n);
  }
  gif.push_back(0);
  gif.push_back(';');
  return gif;
}

bool writeGifFile(const Picture& picture, const std::string& file, const GifOptions& options) {
  const std::string bytes = encodeGif(picture, options);
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

}  // namespace vistrel::imaging
