#pragma once
// The entropy-coded data of DC scans, for decodeEighth: the data without its stuffed bytes, a
// reader of its bits, and the Huffman tables of DC differences.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace vistrel::imaging {

constexpr int kDcLook = 10;  // bits the one-step table looks ahead

// A DC table: most differences are read in one step, code and value bits together.
struct DcTable {
  bool defined = false;
  // The code and value bits (bits 0-4) and the difference (16-31); 0 when they do not fit in
  // kDcLook bits.
  std::array<uint32_t, 1 << kDcLook> step{};
  std::array<int32_t, 17> maxCode{};  // per length, the largest code; -1 when none
  std::array<int32_t, 17> offset{};   // per length, values index minus first code
  std::array<uint8_t, 256> values{};
};

// Builds a DC table from a DHT entry (16 counts, then the symbols); false for a table libjpeg
// would refuse.
bool buildDcTable(const uint8_t* counts, const uint8_t* symbols, int total, DcTable& t);

// Zero bytes after the copied entropy-coded data: more than an MCU reads however damaged it is
// (three codes of 31 bits, and the refill's 8 bytes ahead), so the reader need look for the end
// only once an MCU.
constexpr size_t kEntropyPadding = 64;

// Copies the entropy-coded data at `pos` into `out` without its stuffed zero bytes, `real` bytes
// followed by kEntropyPadding zeros. The offset of the marker that ends it, or 0 when there is
// none or the data is odd (fill bytes before a stuffed zero, which libjpeg reads its own way).
size_t unstuff(const uint8_t* data, size_t size, size_t pos, std::vector<uint8_t>& out,
               size_t& real);

// The bits of unstuffed entropy-coded data, left-aligned in a 64-bit word.
class BitReader {
 public:
  BitReader(const uint8_t* data, size_t real) : start_(data), next_(data), realBits_(8 * real) {}

  // Tops the word up to at least 56 bits, without a branch.
  void refill() {
    uint64_t word;
    std::memcpy(&word, next_, 8);
    buf_ |= __builtin_bswap64(word) >> bits_;
    next_ += (63 - bits_) >> 3;
    bits_ |= 56;
  }
  uint32_t peek(int n) const { return static_cast<uint32_t>(buf_ >> (64 - n)); }
  void drop(int n) {
    buf_ <<= n;
    bits_ -= n;
  }
  int bit() {
    const auto b = static_cast<int>(peek(1));
    drop(1);
    return b;
  }
  // Whether only real bits were read so far, none of the padding.
  bool sound() const { return consumed() <= realBits_; }
  // Whether the data is used up, but for the pad bits of its last byte.
  bool finished() const { return sound() && realBits_ - consumed() < 8; }

  // A DC difference; false for a code the table does not have.
  bool difference(const DcTable& t, int& value) {
    if (const uint32_t e = t.step[peek(kDcLook)]; e != 0) {
      drop(static_cast<int>(e & 31));
      value = static_cast<int16_t>(e >> 16);
      return true;
    }
    for (int len = 1; len <= 16; ++len) {
      const auto code = static_cast<int32_t>(peek(len));
      if (code <= t.maxCode[len]) {
        drop(len);
        const int s = t.values[static_cast<size_t>((code + t.offset[len]) & 0xFF)];
        const auto bits = s == 0 ? 0 : static_cast<int>(peek(s));
        drop(s);
        value = s == 0 || bits >= 1 << (s - 1) ? bits : bits - (1 << s) + 1;
        return true;
      }
    }
    return false;
  }

 private:
  size_t consumed() const { return 8 * static_cast<size_t>(next_ - start_) - bits_; }

  const uint8_t* start_;
  const uint8_t* next_;
  size_t realBits_;
  uint64_t buf_ = 0;
  int bits_ = 0;
};

}  // namespace vistrel::imaging
