#include "imaging/eighth_decode.h"

#include <array>
#include <cstring>
#include <memory>
#include <vector>

#include "imaging/jpeg_stream.h"

namespace vistrel::imaging {

namespace {

constexpr int kLook = 10;  // bits the one-step table looks ahead
// Thousands of tiny scans would keep a decode busy for minutes; libjpeg is told to refuse them,
// so they go to it.
constexpr int kMaxScans = 500;

// Zigzag position to natural position.
constexpr std::array<uint8_t, 64> kNatural = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
    41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
    30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

// A DC table: most differences are read in one step, code and value bits together.
struct DcTable {
  bool defined = false;
  // The code and value bits (bits 0-4) and the difference (16-31); 0 when they do not fit in
  // kLook bits.
  std::array<uint32_t, 1 << kLook> step{};
  std::array<int32_t, 17> maxCode{};  // per length, the largest code; -1 when none
  std::array<int32_t, 17> offset{};   // per length, values index minus first code
  std::array<uint8_t, 256> values{};
};

// Builds a DC table from a DHT entry (16 counts, then the symbols); false for a table libjpeg
// would refuse.
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
      const int shift = kLook - len - s;
      if (shift < 0) {
        continue;
      }
      for (int rest = 0; rest < 1 << (kLook - len); ++rest) {
        const int bits = s == 0 ? 0 : rest >> shift;
        const int value = s == 0 || bits >= 1 << (s - 1) ? bits : bits - (1 << s) + 1;
        t.step[static_cast<size_t>(code << (kLook - len) | rest)] =
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

// Zero bytes after the copied entropy-coded data: more than an MCU reads however damaged it is
// (three codes of 31 bits, and the refill's 8 bytes ahead), so the reader need look for the end
// only once an MCU.
constexpr size_t kPadding = 64;

// Copies the entropy-coded data at `pos` into `out` without its stuffed zero bytes, `real` bytes
// followed by kPadding zeros. The offset of the marker that ends it, or 0 when there is none or
// the data is odd (fill bytes before a stuffed zero, which libjpeg reads its own way).
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
    out.resize(real + kPadding, 0);
    return marker;
  }
  return 0;
}

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
    if (const uint32_t e = t.step[peek(kLook)]; e != 0) {
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

// The inverse DCT's output limit as libjpeg applies it: values wrap at 1024 before clamping.
inline uint8_t idctLimit(int x) {
  const int m = x & 1023;
  return static_cast<uint8_t>(m < 128 ? m + 128 : m < 512 ? 255 : m < 896 ? 0 : m - 896);
}

inline uint8_t clamp255(int x) {
  return static_cast<uint8_t>(x < 0 ? 0 : x > 255 ? 255 : x);
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

struct Tables {
  std::array<std::array<uint16_t, 64>, 4> quant{};  // natural order
  std::array<bool, 4> quantDefined{};
  std::array<DcTable, 4> dc;
  unsigned restartInterval = 0;
  bool jfif = false;
  int adobeTransform = -1;  // -1: no Adobe segment
};

// Takes in a table or other segment met outside a scan. False for what this decoder leaves to
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
      // AC tables serve only the scans stepped over.
      if (cls > 1 || slot > 3 || total > 256 || at + 17 + static_cast<size_t>(total) > segLen ||
          (cls == 0 &&
           !buildDcTable(seg + at + 1, seg + at + 17, total, t.dc[static_cast<size_t>(slot)]))) {
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
    if (segLen < 6 || seg[5] != 1) {
      return false;  // libjpeg warns of a JFIF version it does not know
    }
    t.jfif = true;
  } else if (marker == 0xEE && segLen >= 12 && std::memcmp(seg, "Adobe", 5) == 0) {
    t.adobeTransform = seg[11];
  }
  return true;
}

// The DC coefficients of the frame, one a block, and what is known of them.
struct Frame {
  size_t count = 0;
  size_t blocksX = 0, blocksY = 0;
  std::vector<int16_t> dc;          // component after component
  std::array<uint16_t, 3> quant{};  // the DC quantiser, latched at each component's first scan
  std::array<int, 3> shift = {-1, -1, -1};  // DC bits not yet sent; -1: none sent
  // The last bit sent of each component's first coefficients (kSmoothedCoefficients); -1: none.
  std::array<std::array<int, kSmoothedCoefficients>, 3> lastBit = {};
  std::vector<uint8_t> entropy;  // a scan's data, unstuffed
};

// Decodes a DC scan's entropy-coded data from `pos`: the first (its difference codes) or a
// refinement (a bit a block). The offset of the marker after it, or 0.
size_t decodeDcScan(const uint8_t* data, size_t size, size_t pos, const Tables& tables,
                    const std::array<size_t, 3>& components,
                    const std::array<const DcTable*, 3>& dcTables, size_t inScan, bool refine,
                    int al, Frame& f) {
  size_t real = 0;
  size_t marker = unstuff(data, size, pos, f.entropy, real);
  if (marker == 0) {
    return 0;
  }
  BitReader in(f.entropy.data(), real);
  std::array<int, 3> predictions{};
  unsigned untilRestart = tables.restartInterval;
  int restart = 0;
  const size_t blocks = f.blocksX * f.blocksY;
  // Interleaved or not, with every component sampled alike an MCU is one block of each.
  for (size_t b = 0; b < blocks; ++b) {
    if (tables.restartInterval != 0) {
      if (untilRestart == 0) {
        if (!in.finished() || data[marker + 1] != 0xD0 + restart) {
          return 0;
        }
        marker = unstuff(data, size, marker + 2, f.entropy, real);
        if (marker == 0) {
          return 0;
        }
        in = BitReader(f.entropy.data(), real);
        restart = (restart + 1) & 7;
        predictions = {};
        untilRestart = tables.restartInterval;
      }
      --untilRestart;
    }
    for (size_t i = 0; i < inScan; ++i) {
      in.refill();
      int16_t& coefficient = f.dc[components[i] * blocks + b];
      if (refine) {
        coefficient = static_cast<int16_t>(coefficient | in.bit() << al);
        continue;
      }
      int difference = 0;
      if (!in.difference(*dcTables[i], difference)) {
        return 0;
      }
      predictions[i] += difference;
      if (predictions[i] > 1 << 16 || predictions[i] < -(1 << 16)) {
        return 0;  // beyond any sound stream's DC
      }
      coefficient = static_cast<int16_t>(predictions[i] * (1 << al));
    }
    if (!in.sound()) {
      return 0;
    }
  }
  return in.finished() ? marker : 0;
}

// Reads a scan header and decodes the scan, or steps over an AC scan; the offset after the scan,
// or 0.
size_t readScan(const uint8_t* data, size_t size, size_t pos, const JpegHeader& header,
                const Tables& tables, Frame& f, int& scans) {
  const size_t length = size_t{data[pos + 2]} << 8 | data[pos + 3];
  const uint8_t* sos = data + pos + 4;
  if (length < 6) {
    return 0;
  }
  const size_t inScan = sos[0];
  if (inScan < 1 || inScan > f.count || length != 6 + 2 * inScan) {
    return 0;
  }
  const uint8_t* tail = sos + 1 + 2 * inScan;
  const int ss = tail[0], se = tail[1], ah = tail[2] >> 4, al = tail[2] & 15;
  pos += 2 + length;
  if (++scans > kMaxScans) {
    return 0;
  }
  if (ss != 0) {
    size_t c = 0;
    while (c < f.count && header.components[c].id != sos[1]) {
      ++c;
    }
    const size_t end = entropyEnd(data, size, pos);
    if (se < ss || se > 63 || inScan != 1 || c == f.count || end >= size) {
      return 0;
    }
    for (int k = ss; k <= se && k < kSmoothedCoefficients; ++k) {
      f.lastBit[c][static_cast<size_t>(k)] = al;
    }
    return end;
  }
  if (se != 0 || al > 13) {
    return 0;
  }
  const bool refine = ah != 0;
  std::array<size_t, 3> components{};
  std::array<const DcTable*, 3> dcTables{};
  for (size_t i = 0; i < inScan; ++i) {
    const int id = sos[1 + 2 * i];
    const auto dcSlot = static_cast<size_t>(sos[2 + 2 * i] >> 4);
    size_t c = 0;
    while (c < f.count && header.components[c].id != id) {
      ++c;
    }
    if (c == f.count || dcSlot > 3) {
      return 0;
    }
    if (i > 0 && c <= components[i - 1]) {
      return 0;  // out of the frame's order, which libjpeg may refuse
    }
    int& shift = f.shift[c];
    if (refine) {
      if (shift != ah || al != ah - 1) {
        return 0;  // an odd progression: libjpeg's to judge
      }
    } else {
      const auto quantSlot = static_cast<size_t>(header.components[c].quantTable);
      if (shift != -1 || quantSlot > 3 || !tables.quantDefined[quantSlot] ||
          !tables.dc[dcSlot].defined) {
        return 0;
      }
      f.quant[c] = tables.quant[quantSlot][0];
    }
    shift = al;
    f.lastBit[c][0] = al;
    components[i] = c;
    dcTables[i] = &tables.dc[dcSlot];
  }
  return decodeDcScan(data, size, pos, tables, components, dcTables, inScan, refine, al, f);
}

}  // namespace

bool decodeEighth(const uint8_t* data, size_t size, const JpegHeader& header, uint8_t* out,
                  size_t pitch) {
  if (header.frameMarker != 0xC2 || header.precision != 8 ||
      (header.components.size() != 1 && header.components.size() != 3)) {
    return false;
  }
  Frame f;
  f.count = header.components.size();
  for (auto& bits : f.lastBit) {
    bits.fill(-1);
  }
  for (const auto& c : header.components) {
    // Sampled otherwise, a component is scaled with a larger inverse DCT or enlarged.
    if (f.count == 3 && (c.h != 1 || c.v != 1)) {
      return false;
    }
  }
  f.blocksX = (static_cast<size_t>(header.width) + 7) / 8;
  f.blocksY = (static_cast<size_t>(header.height) + 7) / 8;
  f.dc.assign(f.blocksX * f.blocksY * f.count, 0);

  auto tables = std::make_unique<Tables>();
  int scans = 0, frames = 0;
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
    // The segments libjpeg reads without a word; any other marker, or a second frame header, it
    // refuses or warns of.
    const bool known = marker == 0xDA || marker == 0xDB || marker == 0xC4 || marker == 0xDD ||
                       marker == 0xFE || (marker >= 0xE0 && marker <= 0xEF) ||
                       (marker == header.frameMarker && ++frames == 1);
    if (!known) {
      return false;
    }
    if (marker == 0xDA) {
      pos = readScan(data, size, pos, header, *tables, f, scans);
      if (pos == 0) {
        return false;
      }
      continue;
    }
    if (!readSegment(marker, data + pos + 4, length - 2, *tables)) {
      return false;
    }
    pos += 2 + length;
  }
  for (size_t c = 0; c < f.count; ++c) {
    for (const int bit : f.lastBit[c]) {
      if (bit != 0) {
        return false;  // a full decode would smooth the blocks
      }
    }
  }
  if (f.count == 3) {
    // The colour space libjpeg assumes: JFIF means YCbCr; an Adobe segment says; else the
    // component identifiers 'R', 'G', 'B' mean RGB.
    const auto& c = header.components;
    const bool rgbIds = c[0].id == 'R' && c[1].id == 'G' && c[2].id == 'B';
    if (tables->jfif ? false : tables->adobeTransform >= 0 ? tables->adobeTransform != 1 : rgbIds) {
      return false;
    }
  }

  // Each block's pixel is its DC value over 8, then into BGR.
  const size_t blocks = f.blocksX * f.blocksY;
  std::vector<uint8_t> pixels(f.dc.size());
  for (size_t c = 0; c < f.count; ++c) {
    for (size_t i = 0; i < blocks; ++i) {
      pixels[c * blocks + i] = idctLimit((f.dc[c * blocks + i] * f.quant[c] + 4) >> 3);
    }
  }
  static const YccTables ycc;
  for (size_t y = 0; y < f.blocksY; ++y) {
    uint8_t* row = out + y * pitch;
    const uint8_t* lum = pixels.data() + y * f.blocksX;
    if (f.count == 1) {
      for (size_t x = 0; x < f.blocksX; ++x) {
        row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = lum[x];
      }
      continue;
    }
    const uint8_t* cb = lum + blocks;
    const uint8_t* cr = cb + blocks;
    for (size_t x = 0; x < f.blocksX; ++x) {
      const int l = lum[x];
      row[3 * x] = clamp255(l + ycc.cbB[cb[x]]);
      row[3 * x + 1] = clamp255(l + ((ycc.cbG[cb[x]] + ycc.crG[cr[x]]) >> 16));
      row[3 * x + 2] = clamp255(l + ycc.crR[cr[x]]);
    }
  }
  return true;
}

}  // namespace vistrel::imaging
