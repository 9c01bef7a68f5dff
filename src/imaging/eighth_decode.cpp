#include "imaging/eighth_decode.h"

#include <array>
#include <cstring>
#include <vector>

#include "imaging/jpeg_stream.h"

namespace vistrel::imaging {

namespace {

constexpr int kLook = 12;  // bits the one-step tables look ahead
constexpr int kEob = 64;   // an advance that ends the block
// Thousands of tiny scans would keep a decode busy for minutes; libjpeg is told to refuse them,
// so they go to it.
constexpr int kMaxScans = 500;

// Zigzag position to natural position; libjpeg sends a run past the block's end to the last
// coefficient, and so does this.
constexpr std::array<uint8_t, 80> kNatural = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33,
    40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36,
    29, 22, 15, 23, 30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54,
    47, 55, 62, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63};

// A skip entry: the first coefficient's code and value bits (bits 0-4) and zigzag advance (run
// + 1, or kEob; bits 5-11); then, when a second coefficient's code and value also fit in the
// look-ahead, the bits of both (12-16) and their advance together (17-24). Two at a step halves
// the chain of dependent shifts and lookups that bounds the walk.
constexpr uint32_t skipEntry(int bits1, int advance1, int bits2, int advance2) {
  return static_cast<uint32_t>(bits1 | advance1 << 5 | bits2 << 12 | advance2 << 17);
}

struct HuffmanTable {
  bool defined = false;
  std::array<uint8_t, 1 << kLook> length{};  // 0: the code is longer than kLook bits (or none)
  std::array<uint8_t, 1 << kLook> symbol{};
  // For skipping AC coefficients, one or two at a step: see skipEntry. 0 when even the first
  // coefficient's code and value bits do not fit in kLook bits.
  std::array<uint32_t, 1 << kLook> skip{};
  std::array<int32_t, 17> maxCode{};  // per length, the largest code; -1 when none
  std::array<int32_t, 17> offset{};   // per length, values index minus first code
  std::array<uint8_t, 256> values{};
};

// Builds the tables from a DHT entry (16 counts, then the symbols); false for a table libjpeg
// would refuse.
bool buildTable(const uint8_t* counts, const uint8_t* symbols, int total, bool dc,
                HuffmanTable& t) {
  t = HuffmanTable{};
  std::memcpy(t.values.data(), symbols, static_cast<size_t>(total));
  int code = 0, index = 0;
  for (int len = 1; len <= 16; ++len) {
    const int count = counts[len - 1];
    t.maxCode[len] = -1;
    if (count > 0) {
      t.offset[len] = index - code;
      for (int i = 0; i < count; ++i, ++index, ++code) {
        const uint8_t sym = symbols[index];
        if (dc && sym > 15) {
          return false;
        }
        if (len <= kLook) {
          const int shift = kLook - len;
          const int s = sym & 15, run = sym >> 4;
          const int advance = s != 0 ? run + 1 : run == 15 ? 16 : kEob;
          for (int fill = 0; fill < 1 << shift; ++fill) {
            const int at = code << shift | fill;
            t.length[at] = static_cast<uint8_t>(len);
            t.symbol[at] = sym;
            if (len + s <= kLook) {
              t.skip[at] = skipEntry(len + s, advance, 0, 0);
            }
          }
        }
      }
      t.maxCode[len] = code - 1;
    }
    if (code > 1 << len) {
      return false;
    }
    code <<= 1;
  }
  // Pairs: a first coefficient that is not the block's end, followed by one that also fits.
  for (uint32_t at = 0; at < t.skip.size(); ++at) {
    const uint32_t first = t.skip[at];
    const int bits1 = static_cast<int>(first & 31), advance1 = static_cast<int>(first >> 5 & 127);
    if (bits1 == 0 || advance1 == kEob) {
      continue;
    }
    const uint32_t rest = (at << bits1) & ((1u << kLook) - 1);
    const uint32_t second = t.skip[rest];
    const int bits2 = static_cast<int>(second & 31);
    if (bits2 != 0 && bits1 + bits2 <= kLook) {
      t.skip[at] =
          skipEntry(bits1, advance1, bits1 + bits2, advance1 + static_cast<int>(second >> 5 & 127));
    }
  }
  t.defined = true;
  return true;
}

// The entropy-coded bits, left-aligned in a 64-bit word. At a marker or the data's end it
// feeds zero bits, as libjpeg does, and counts them: a stream that needs them is damaged or cut
// short, which the general decoder must report.
class BitReader {
 public:
  BitReader(const uint8_t* data, size_t size, size_t pos) : data_(data), end_(size), pos_(pos) {}

  void fill() {
    if (pos_ + 8 <= end_) {
      uint64_t word;
      std::memcpy(&word, data_ + pos_, 8);
      word = __builtin_bswap64(word);
      const uint64_t inverted = ~word;
      const bool anyFF =
          ((inverted - 0x0101010101010101ULL) & ~inverted & 0x8080808080808080ULL) != 0;
      if (!anyFF) {
        const int bytes = (64 - bits_) >> 3;
        buf_ |= word >> (64 - 8 * bytes) << (64 - bits_ - 8 * bytes);
        pos_ += static_cast<size_t>(bytes);
        bits_ += 8 * bytes;
        return;
      }
    }
    while (bits_ <= 56) {
      uint64_t byte = 0;
      if (pos_ < end_ && data_[pos_] != 0xFF) {
        byte = data_[pos_++];
      } else if (pos_ + 1 < end_ && data_[pos_ + 1] == 0x00) {
        byte = 0xFF;
        pos_ += 2;
      } else {
        padding_ += 8;  // a marker, or the end
      }
      buf_ |= byte << (56 - bits_);
      bits_ += 8;
    }
  }
  uint32_t peek(int n) const { return static_cast<uint32_t>(buf_ >> (64 - n)); }
  void drop(int n) {
    buf_ <<= n;
    bits_ -= n;
  }
  int bits() const { return bits_; }
  // Whether only real bits were used so far.
  bool sound() const { return bits_ >= padding_; }

  int symbol(const HuffmanTable& t) {
    const uint32_t look = peek(kLook);
    if (const int len = t.length[look]; len != 0) {
      drop(len);
      return t.symbol[look];
    }
    for (int len = kLook + 1; len <= 16; ++len) {
      const auto code = static_cast<int32_t>(peek(len));
      if (code <= t.maxCode[len]) {
        drop(len);
        return t.values[static_cast<size_t>((code + t.offset[len]) & 0xFF)];
      }
    }
    return -1;  // no such code
  }
  int value(int s) {
    if (s == 0) {
      return 0;
    }
    const auto v = static_cast<int>(peek(s));
    drop(s);
    return v < 1 << (s - 1) ? v - (1 << s) + 1 : v;
  }

  int bit() {
    const auto b = static_cast<int>(peek(1));
    drop(1);
    return b;
  }

  // Where the entropy-coded data ends: the pad bits of its last byte go, and a marker must
  // follow (fill bytes before it allowed). Its offset, or 0 when the data does not end cleanly.
  size_t end() {
    const int real = bits_ - padding_;
    if (real < 0 || real >= 8) {
      return 0;
    }
    while (pos_ + 1 < end_ && data_[pos_] == 0xFF && data_[pos_ + 1] == 0xFF) {
      ++pos_;
    }
    if (pos_ + 1 >= end_ || data_[pos_] != 0xFF || data_[pos_ + 1] == 0x00) {
      return 0;
    }
    return pos_;
  }
  // At a restart interval's end: restart marker `marker` must come next; reading goes on past it.
  bool restart(uint8_t marker) {
    const size_t at = end();
    if (at == 0 || data_[at + 1] != marker) {
      return false;
    }
    pos_ = at + 2;
    buf_ = 0;
    bits_ = padding_ = 0;
    return true;
  }

  friend bool skipAc(BitReader& in, const HuffmanTable& t);

 private:
  const uint8_t* data_;
  size_t end_;
  size_t pos_;
  uint64_t buf_ = 0;
  int bits_ = 0;
  int padding_ = 0;
};

// Walks an AC run of a block whose AC values are not needed. The bit buffer stays in registers
// through the walk, which is the decoder's hot loop.
bool skipAc(BitReader& in, const HuffmanTable& t) {
  uint64_t buf = in.buf_;
  int bits = in.bits_;
  for (int k = 1; k < 64;) {
    if (bits < 32) {
      in.buf_ = buf;
      in.bits_ = bits;
      in.fill();
      buf = in.buf_;
      bits = in.bits_;
    }
    if (const uint32_t e = t.skip[buf >> (64 - kLook)]; e != 0) {
      const int advance1 = static_cast<int>(e >> 5 & 127);
      // A pair only while the first leaves the block open: else the second is the next block's.
      const bool pair = (e >> 12 & 31) != 0 && k + advance1 < 64;
      const int n = static_cast<int>(pair ? e >> 12 & 31 : e & 31);
      buf <<= n;
      bits -= n;
      k += pair ? static_cast<int>(e >> 17) : advance1;
      continue;
    }
    in.buf_ = buf;
    in.bits_ = bits;
    const int sym = in.symbol(t);
    if (sym < 0) {
      return false;
    }
    const int s = sym & 15, run = sym >> 4;
    if (s != 0) {
      in.drop(s);
      k += run + 1;
    } else if (run == 15) {
      k += 16;
    } else {
      k = 64;
    }
    buf = in.buf_;
    bits = in.bits_;
  }
  in.buf_ = buf;
  in.bits_ = bits;
  return true;
}

// Reads a block's AC values into `block` (natural order, zeroed by the caller).
bool readAc(BitReader& in, const HuffmanTable& t, int16_t* block) {
  for (int k = 1; k < 64;) {
    if (in.bits() < 32) {
      in.fill();
    }
    const int sym = in.symbol(t);
    if (sym < 0) {
      return false;
    }
    const int s = sym & 15, run = sym >> 4;
    if (s != 0) {
      k += run;
      block[kNatural[static_cast<size_t>(k)]] = static_cast<int16_t>(in.value(s));
      ++k;
    } else if (run == 15) {
      k += 16;
    } else {
      break;
    }
  }
  return true;
}

// The inverse DCT's output limit as libjpeg applies it: values wrap at 1024 before clamping.
inline uint8_t idctLimit(int x) {
  const int m = x & 1023;
  return static_cast<uint8_t>(m < 128 ? m + 128 : m < 512 ? 255 : m < 896 ? 0 : m - 896);
}

inline int descale(int64_t x, int n) {
  return static_cast<int>((x + (int64_t{1} << (n - 1))) >> n);
}

// The 2 x 2 reduced inverse DCT of libjpeg's integer method (13-bit constants, 2 pass bits):
// each output is the mean of a 4 x 4 quarter, from the coefficients of rows and columns 0, 1,
// 3, 5 and 7.
void idct2x2(const int16_t* coef, const uint16_t* quant, uint8_t out[2][2]) {
  constexpr int64_t c7 = -5906, c5 = 6967, c3 = -10426, c1 = 29692;
  int work[2][8] = {};
  for (const int col : {0, 1, 3, 5, 7}) {
    auto dq = [&](int row) { return int64_t{coef[row * 8 + col]} * quant[row * 8 + col]; };
    const int64_t even = dq(0) << 15;
    const int64_t odd = dq(7) * c7 + dq(5) * c5 + dq(3) * c3 + dq(1) * c1;
    work[0][col] = descale(even + odd, 13);
    work[1][col] = descale(even - odd, 13);
  }
  for (int row = 0; row < 2; ++row) {
    const int* w = work[row];
    const int64_t even = int64_t{w[0]} << 15;
    const int64_t odd = w[7] * c7 + w[5] * c5 + w[3] * c3 + w[1] * c1;
    out[row][0] = idctLimit(descale(even + odd, 20));
    out[row][1] = idctLimit(descale(even - odd, 20));
  }
}

// libjpeg's YCbCr to RGB tables (16-bit fixed point).
struct YccTables {
  std::array<int, 256> crR{}, cbB{}, crG{}, cbG{};
  YccTables() {
    auto fix = [](double x) { return static_cast<int64_t>(x * 65536 + 0.5); };
    for (int i = 0; i < 256; ++i) {
      const int64_t x = i - 128;
      crR[i] = static_cast<int>((fix(1.40200) * x + 32768) >> 16);
      cbB[i] = static_cast<int>((fix(1.77200) * x + 32768) >> 16);
      crG[i] = static_cast<int>(-fix(0.71414) * x);
      cbG[i] = static_cast<int>(-fix(0.34414) * x + 32768);
    }
  }
};

inline uint8_t clamp255(int x) {
  return static_cast<uint8_t>(x < 0 ? 0 : x > 255 ? 255 : x);
}

struct Tables {
  std::array<std::array<uint16_t, 64>, 4> quant{};  // natural order
  std::array<bool, 4> quantDefined{};
  std::array<HuffmanTable, 4> dc, ac;
  unsigned restartInterval = 0;
  bool jfif = false;
  int adobeTransform = -1;  // -1: no Adobe segment
};

// Takes in a table or marker segment met outside a scan. False for what this decoder leaves to
// libjpeg.
bool readSegment(uint8_t marker, const uint8_t* seg, size_t segLen, Tables& t) {
  if (marker == 0xDB) {
    for (size_t at = 0; at < segLen;) {
      const int precision = seg[at] >> 4, slot = seg[at] & 15;
      const size_t need = 1 + 64 * static_cast<size_t>(precision + 1);
      if (slot > 3 || precision > 1 || at + need > segLen) {
        return false;
      }
      for (size_t k = 0; k < 64; ++k) {
        const uint8_t* v = seg + at + 1 + k * static_cast<size_t>(precision + 1);
        const unsigned q = precision == 0 ? v[0] : unsigned{v[0]} << 8 | v[1];
        if (q > 32767) {
          return false;  // libjpeg keeps these in 16-bit signed multipliers
        }
        t.quant[static_cast<size_t>(slot)][kNatural[k]] = static_cast<uint16_t>(q);
      }
      t.quantDefined[static_cast<size_t>(slot)] = true;
      at += need;
    }
  } else if (marker == 0xC4) {
    for (size_t at = 0; at < segLen;) {
      if (at + 17 > segLen) {
        return false;
      }
      const int cls = seg[at] >> 4, slot = seg[at] & 15;
      int total = 0;
      for (size_t i = 1; i <= 16; ++i) {
        total += seg[at + i];
      }
      if (cls > 1 || slot > 3 || total > 256 || at + 17 + static_cast<size_t>(total) > segLen ||
          !buildTable(seg + at + 1, seg + at + 17, total, cls == 0,
                      (cls == 0 ? t.dc : t.ac)[static_cast<size_t>(slot)])) {
        return false;
      }
      at += 17 + static_cast<size_t>(total);
    }
  } else if (marker == 0xDD) {
    if (segLen < 2) {
      return false;
    }
    t.restartInterval = unsigned{seg[0]} << 8 | seg[1];
  } else if (marker == 0xE0 && segLen >= 5 && std::memcmp(seg, "JFIF", 5) == 0) {
    t.jfif = true;
  } else if (marker == 0xEE && segLen >= 12 && std::memcmp(seg, "Adobe", 5) == 0) {
    t.adobeTransform = seg[11];
  } else if (marker == 0xDC || marker == 0xC8 || (marker >= 0xF0 && marker <= 0xFD)) {
    return false;  // a height given later, or extensions
  }
  return true;
}

// Offset of the first marker at or after `pos` that ends entropy-coded data (not a stuffed zero
// or a restart marker); 0 when there is none.
size_t entropyEnd(const uint8_t* data, size_t size, size_t pos) {
  while (pos + 1 < size) {
    const void* ff = std::memchr(data + pos, 0xFF, size - pos - 1);
    if (ff == nullptr) {
      return 0;
    }
    pos = static_cast<size_t>(static_cast<const uint8_t*>(ff) - data);
    const uint8_t next = data[pos + 1];
    if (next != 0x00 && next != 0xFF && (next < 0xD0 || next > 0xD7)) {
      return pos;
    }
    pos += next == 0xFF ? 1 : 2;
  }
  return 0;
}

struct ScanComponent {
  size_t frameIndex = 0;
  int h = 1, v = 1;  // blocks in an MCU
  const HuffmanTable* dc = nullptr;
  const HuffmanTable* ac = nullptr;
};

enum class ScanKind { Baseline, DcFirst, DcRefine };

// What the whole frame decodes into: a DC coefficient a block, on a grid of whole MCUs, and the
// 2 x 2 pixels a 4:2:0 chroma block gives.
struct Frame {
  size_t count = 0;
  bool subsampled = false;  // luma 2 x 2, chroma 1 x 1
  int mcusX = 0, mcusY = 0;
  size_t planeWidth = 0, planeSize = 0;
  std::vector<int16_t> dc;
  std::vector<uint8_t> chroma;  // Cb then Cr, 4:2:0 only
  std::array<std::array<uint16_t, 64>, 3> quant{};
  std::array<int, 3> dcShift = {-1, -1, -1};  // bits of each DC not yet sent; -1: none sent
};

// Decodes one scan's entropy-coded data from `pos`; the offset of the marker after it, or 0.
size_t decodeScan(const uint8_t* data, size_t size, size_t pos, const Tables& tables,
                  const std::array<ScanComponent, 3>& scan, size_t inScan, ScanKind kind, int al,
                  Frame& f) {
  BitReader in(data, size, pos);
  std::array<int, 3> predictions{};
  unsigned untilRestart = tables.restartInterval;
  int restart = 0;
  alignas(16) int16_t block[64];
  for (int my = 0; my < f.mcusY; ++my) {
    for (int mx = 0; mx < f.mcusX; ++mx) {
      if (tables.restartInterval != 0) {
        if (untilRestart == 0) {
          if (!in.restart(static_cast<uint8_t>(0xD0 + restart))) {
            return 0;
          }
          restart = (restart + 1) & 7;
          predictions = {};
          untilRestart = tables.restartInterval;
        }
        --untilRestart;
      }
      for (size_t i = 0; i < inScan; ++i) {
        const ScanComponent& c = scan[i];
        int16_t* plane = f.dc.data() + f.planeSize * c.frameIndex;
        for (int by = 0; by < c.v; ++by) {
          for (int bx = 0; bx < c.h; ++bx) {
            if (in.bits() < 32) {
              in.fill();
            }
            const size_t x = static_cast<size_t>(mx) * static_cast<size_t>(c.h) + bx;
            const size_t y = static_cast<size_t>(my) * static_cast<size_t>(c.v) + by;
            int16_t& coefficient = plane[y * f.planeWidth + x];
            if (kind == ScanKind::DcRefine) {
              coefficient = static_cast<int16_t>(coefficient | in.bit() << al);
              continue;
            }
            const int s = in.symbol(*c.dc);
            if (s < 0) {
              return 0;
            }
            int& prediction = predictions[i];
            prediction += in.value(s);
            if (prediction > 1 << 16 || prediction < -(1 << 16)) {
              return 0;  // beyond any sound stream's DC
            }
            coefficient = static_cast<int16_t>(prediction * (1 << al));
            if (kind == ScanKind::DcFirst) {
              continue;
            }
            if (f.subsampled && c.frameIndex > 0) {
              std::memset(block, 0, sizeof block);
              block[0] = coefficient;
              if (!readAc(in, *c.ac, block)) {
                return 0;
              }
              uint8_t quarter[2][2];
              idct2x2(block, f.quant[c.frameIndex].data(), quarter);
              uint8_t* at = f.chroma.data() + f.planeSize * (c.frameIndex - 1) +
                            f.planeWidth * (2 * static_cast<size_t>(my)) + 2 * mx;
              at[0] = quarter[0][0];
              at[1] = quarter[0][1];
              at[f.planeWidth] = quarter[1][0];
              at[f.planeWidth + 1] = quarter[1][1];
            } else if (!skipAc(in, *c.ac)) {
              return 0;
            }
          }
        }
      }
      if (!in.sound()) {
        return 0;
      }
    }
  }
  return in.end();
}

// Reads a scan header and decodes the scan (or steps over an AC scan of a progressive frame,
// which the 1/8 scale does not read); the offset after the scan, or 0.
size_t readScan(const uint8_t* data, size_t size, size_t pos, const JpegHeader& header,
                const Tables& tables, bool progressive, Frame& f, int& scans) {
  const size_t length = size_t{data[pos + 2]} << 8 | data[pos + 3];
  const uint8_t* sos = data + pos + 4;
  const size_t inScan = sos[0];
  if (length < 6 || inScan < 1 || inScan > f.count || length != 6 + 2 * inScan) {
    return 0;
  }
  const uint8_t* tail = sos + 1 + 2 * inScan;
  const int ss = tail[0], se = tail[1], ah = tail[2] >> 4, al = tail[2] & 15;
  pos += 2 + length;
  if (++scans > kMaxScans) {
    return 0;
  }
  if (progressive && ss != 0) {
    return se >= ss && se <= 63 && inScan == 1 ? entropyEnd(data, size, pos) : 0;
  }
  ScanKind kind = ScanKind::Baseline;
  if (progressive) {
    if (se != 0 || al > 13) {
      return 0;
    }
    kind = ah == 0 ? ScanKind::DcFirst : ScanKind::DcRefine;
  } else if (ss != 0 || se != 63 || ah != 0 || al != 0 || inScan != f.count || scans > 1) {
    return 0;
  }
  std::array<ScanComponent, 3> scan;
  for (size_t i = 0; i < inScan; ++i) {
    const int id = sos[1 + 2 * i];
    const auto dcSlot = static_cast<size_t>(sos[2 + 2 * i] >> 4);
    const auto acSlot = static_cast<size_t>(sos[2 + 2 * i] & 15);
    size_t c = 0;
    while (c < f.count && header.components[c].id != id) {
      ++c;
    }
    if (c == f.count || dcSlot > 3 || acSlot > 3) {
      return 0;
    }
    for (size_t j = 0; j < i; ++j) {
      if (scan[j].frameIndex == c) {
        return 0;
      }
    }
    int& shift = f.dcShift[c];
    if (kind == ScanKind::DcRefine) {
      if (shift != ah || al != ah - 1) {
        return 0;  // an odd progression: libjpeg's to judge
      }
    } else {
      // The first scan of a component latches its quantisation table, as libjpeg does.
      const auto quantSlot = static_cast<size_t>(header.components[c].quantTable);
      if (shift != -1 || quantSlot > 3 || !tables.quantDefined[quantSlot] ||
          !tables.dc[dcSlot].defined ||
          (kind == ScanKind::Baseline && !tables.ac[acSlot].defined)) {
        return 0;
      }
      f.quant[c] = tables.quant[quantSlot];
    }
    shift = al;
    const bool interleaved = inScan > 1;
    scan[i] = {c, interleaved ? header.components[c].h : 1,
               interleaved ? header.components[c].v : 1, &tables.dc[dcSlot], &tables.ac[acSlot]};
  }
  if (inScan == 1 && f.subsampled) {
    return 0;  // a lone component's blocks are not on the MCU grid
  }
  return decodeScan(data, size, pos, tables, scan, inScan, kind, al, f);
}

}  // namespace

bool decodeEighth(const uint8_t* data, size_t size, const JpegHeader& header, uint8_t* out,
                  size_t pitch) {
  const bool progressive = header.frameMarker == 0xC2;
  if ((header.frameMarker != 0xC0 && header.frameMarker != 0xC1 && !progressive) ||
      header.precision != 8) {
    return false;
  }
  Frame f;
  f.count = header.components.size();
  if (f.count == 3) {
    const auto& y = header.components[0];
    for (size_t c = 1; c < 3; ++c) {
      if (header.components[c].h != 1 || header.components[c].v != 1) {
        return false;
      }
    }
    // 4:2:2 and rarer samplings enlarge chroma in ways left to libjpeg, and so does a
    // progressive 4:2:0, whose chroma AC is spread over scans.
    if (y.h != y.v || (y.h != 1 && y.h != 2) || (progressive && y.h != 1)) {
      return false;
    }
    f.subsampled = y.h == 2;
  } else if (f.count != 1) {
    return false;
  }
  const int mcuBlocks = f.subsampled ? 2 : 1;
  f.mcusX = (header.width + 8 * mcuBlocks - 1) / (8 * mcuBlocks);
  f.mcusY = (header.height + 8 * mcuBlocks - 1) / (8 * mcuBlocks);
  f.planeWidth = static_cast<size_t>(f.mcusX) * static_cast<size_t>(mcuBlocks);
  f.planeSize = f.planeWidth * static_cast<size_t>(f.mcusY) * static_cast<size_t>(mcuBlocks);
  f.dc.assign(f.planeSize * f.count, 0);
  if (f.subsampled) {
    f.chroma.resize(f.planeSize * 2);
  }

  Tables tables;
  int scans = 0;
  size_t pos = 2;
  for (;;) {
    while (pos + 1 < size && data[pos] == 0xFF && data[pos + 1] == 0xFF) {
      ++pos;
    }
    if (pos + 2 > size || data[pos] != 0xFF) {
      return false;
    }
    const uint8_t marker = data[pos + 1];
    if (marker == 0xD9) {
      break;
    }
    if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7) || pos + 4 > size) {
      return false;
    }
    const size_t length = size_t{data[pos + 2]} << 8 | data[pos + 3];
    if (length < 2 || pos + 2 + length > size) {
      return false;
    }
    if (marker == 0xDA) {
      pos = readScan(data, size, pos, header, tables, progressive, f, scans);
      if (pos == 0) {
        return false;
      }
      continue;
    }
    if (!readSegment(marker, data + pos + 4, length - 2, tables)) {
      return false;
    }
    pos += 2 + length;
  }
  for (size_t c = 0; c < f.count; ++c) {
    if (f.dcShift[c] != 0) {
      return false;  // DC bits never sent: a full decode would smooth the blocks
    }
  }
  if (f.count == 3) {
    // The colour space libjpeg assumes: JFIF means YCbCr; an Adobe segment says; else the
    // component identifiers 'R', 'G', 'B' mean RGB.
    const auto& c = header.components;
    const bool rgbIds = c[0].id == 'R' && c[1].id == 'G' && c[2].id == 'B';
    if (tables.jfif ? false : tables.adobeTransform >= 0 ? tables.adobeTransform != 1 : rgbIds) {
      return false;
    }
  }

  // Each block's pixel is its DC value over 8; then into BGR.
  const int outWidth = (header.width + 7) / 8, outHeight = (header.height + 7) / 8;
  const size_t pixelPlanes = f.subsampled ? 1 : f.count;
  std::vector<uint8_t> pixels(f.planeSize * pixelPlanes);
  for (size_t c = 0; c < pixelPlanes; ++c) {
    const int q = f.quant[c][0];
    for (size_t i = 0; i < f.planeSize; ++i) {
      pixels[c * f.planeSize + i] = idctLimit(descale(int64_t{f.dc[c * f.planeSize + i]} * q, 3));
    }
  }
  static const YccTables ycc;
  for (int y = 0; y < outHeight; ++y) {
    uint8_t* row = out + static_cast<size_t>(y) * pitch;
    const uint8_t* lum = pixels.data() + static_cast<size_t>(y) * f.planeWidth;
    if (f.count == 1) {
      for (int x = 0; x < outWidth; ++x) {
        row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = lum[x];
      }
      continue;
    }
    const uint8_t* cb =
        f.subsampled ? f.chroma.data() + static_cast<size_t>(y) * f.planeWidth : lum + f.planeSize;
    const uint8_t* cr = cb + f.planeSize;
    for (int x = 0; x < outWidth; ++x) {
      const int l = lum[x];
      row[3 * x] = clamp255(l + ycc.cbB[cb[x]]);
      row[3 * x + 1] = clamp255(l + ((ycc.cbG[cb[x]] + ycc.crG[cr[x]]) >> 16));
      row[3 * x + 2] = clamp255(l + ycc.crR[cr[x]]);
    }
  }
  return true;
}

}  // namespace vistrel::imaging
