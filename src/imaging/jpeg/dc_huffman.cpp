#include "imaging/jpeg/dc_huffman.h"

namespace vistrel::imaging {

bool buildDcTable(const uint8_t* counts, const uint8_t* symbols, int total, DcTable& t) {
  t = DcTable{};
  std::memcpy(t.values.data(), symbols, static_cast<size_t>(total));
  int code = 0, index = 0;
  for (int len = 1; len <= 16; ++len) {
    const int count = counts[len - 1];
    t.maxCode[len] = -1;
    t.offset[len] = index - code;
    for (int i = 0; i < count; ++i, ++index, ++code) {
      const int s = symbols[index];
      // libjpeg refuses a length whose codes run out, the all-ones code included.
      if (s > 15 || code >= (1 << len) - 1) {
        return false;
      }
      const int shift = kDcLook - len - s;
      if (shift < 0) {
        continue;
      }
      for (int rest = 0; rest < 1 << (kDcLook - len); ++rest) {
        const int bits = s == 0 ? 0 : rest >> shift;
        const int value = s == 0 || bits >= 1 << (s - 1) ? bits : bits - (1 << s) + 1;
        t.step[static_cast<size_t>(code << (kDcLook - len) | rest)] =
            static_cast<uint32_t>(len + s) | static_cast<uint32_t>(static_cast<uint16_t>(value))
                                                 << 16;
      }
    }
    if (count > 0) {
      t.maxCode[len] = code - 1;
    }
    code <<= 1;
  }
  t.defined = true;
  return true;
}

size_t unstuff(const uint8_t* data, size_t size, size_t pos, std::vector<uint8_t>& out,
               size_t& real) {
  out.clear();
  while (pos < size) {
    const void* ff = std::memchr(data + pos, 0xFF, size - pos);
    if (ff == nullptr) {
      return 0;
    }
    const auto at = static_cast<size_t>(static_cast<const uint8_t*>(ff) - data);
    out.insert(out.end(), data + pos, data + at);
    if (at + 1 < size && data[at + 1] == 0x00) {
      out.push_back(0xFF);
      pos = at + 2;
      continue;
    }
    size_t marker = at;
    while (marker + 1 < size && data[marker + 1] == 0xFF) {
      ++marker;
    }
    if (marker + 1 >= size || data[marker + 1] == 0x00) {
      return 0;
    }
    real = out.size();
    out.resize(real + kEntropyPadding, 0);
    return marker;
  }
  return 0;
}

}  // namespace vistrel::imaging
