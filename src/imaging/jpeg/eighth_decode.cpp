#include "imaging/jpeg/eighth_decode.h"

#include <array>
#include <cstring>
#include <memory>
#include <vector>

#include "imaging/jpeg/dc_huffman.h"
#include "imaging/jpeg/jpeg_stream.h"

namespace vistrel::imaging {

namespace {

// Thousands of tiny scans would keep a decode busy for minutes; libjpeg is told to refuse them,
// so they go to it.
constexpr int kMaxScans = 500;

// Zigzag position to natural position.
constexpr std::array<uint8_t, 64> kNatural = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
    41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
    30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

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

// A DQT segment's tables, in natural order. False for a precision or slot libjpeg refuses.
bool readQuantTables(const uint8_t* seg, size_t segLen, Tables& t) {
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
  return true;
}

// A DHT segment's DC tables; AC tables serve only the scans stepped over, so they are only
// checked for their size.
bool readHuffmanTables(const uint8_t* seg, size_t segLen, Tables& t) {
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
        (cls == 0 &&
         !buildDcTable(seg + at + 1, seg + at + 17, total, t.dc[static_cast<size_t>(slot)]))) {
      return false;
    }
    at += 17 + static_cast<size_t>(total);
  }
  return true;
}

// Takes in a table or other segment met outside a scan. False for what this decoder leaves to
// libjpeg.
bool readSegment(uint8_t marker, const uint8_t* seg, size_t segLen, Tables& t) {
  if (marker == 0xDB) {
    return readQuantTables(seg, segLen, t);
  }
  if (marker == 0xC4) {
    return readHuffmanTables(seg, segLen, t);
  }
  if (marker == 0xDD) {
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

// A DC scan as decoded: its components' places in the frame and their tables.
struct DcScan {
  size_t count = 0;
  std::array<size_t, 3> components{};
  std::array<const DcTable*, 3> tables{};
  bool refine = false;  // a refinement scan: a bit a block
  int al = 0;           // the bit it sends
};

// Moves the reader on to the data after the restart marker at `marker`, which must be the
// expected one and come where the interval's data ends. False when it is not so.
bool passRestart(const uint8_t* data, size_t size, size_t& marker, int& expected, Frame& f,
                 BitReader& in) {
  if (!in.finished() || data[marker + 1] != 0xD0 + expected) {
    return false;
  }
  size_t real = 0;
  marker = unstuff(data, size, marker + 2, f.entropy, real);
  if (marker == 0) {
    return false;
  }
  in = BitReader(f.entropy.data(), real);
  expected = (expected + 1) & 7;
  return true;
}

// Decodes a DC scan's entropy-coded data from `pos`: the first (its difference codes) or a
// refinement (a bit a block). The offset of the marker after it, or 0.
size_t decodeDcScan(const uint8_t* data, size_t size, size_t pos, unsigned restartInterval,
                    const DcScan& scan, Frame& f) {
  size_t real = 0;
  size_t marker = unstuff(data, size, pos, f.entropy, real);
  if (marker == 0) {
    return 0;
  }
  BitReader in(f.entropy.data(), real);
  std::array<int, 3> predictions{};
  unsigned untilRestart = restartInterval;
  int restart = 0;
  const size_t blocks = f.blocksX * f.blocksY;
  // Interleaved or not, with every component sampled alike an MCU is one block of each.
  for (size_t b = 0; b < blocks; ++b) {
    if (restartInterval != 0) {
      if (untilRestart == 0) {
        if (!passRestart(data, size, marker, restart, f, in)) {
          return 0;
        }
        predictions = {};
        untilRestart = restartInterval;
      }
      --untilRestart;
    }
    for (size_t i = 0; i < scan.count; ++i) {
      in.refill();
      int16_t& coefficient = f.dc[scan.components[i] * blocks + b];
      if (scan.refine) {
        coefficient = static_cast<int16_t>(coefficient | in.bit() << scan.al);
        continue;
      }
      int difference = 0;
      if (!in.difference(*scan.tables[i], difference)) {
        return 0;
      }
      predictions[i] += difference;
      if (predictions[i] > 1 << 16 || predictions[i] < -(1 << 16)) {
        return 0;  // beyond any sound stream's DC
      }
      coefficient = static_cast<int16_t>(predictions[i] * (1 << scan.al));
    }
    if (!in.sound()) {
      return 0;
    }
  }
  return in.finished() ? marker : 0;
}

// The frame's index of the component `id`; f.count when the frame has none.
size_t componentIndex(const JpegHeader& header, const Frame& f, int id) {
  size_t c = 0;
  while (c < f.count && header.components[c].id != id) {
    ++c;
  }
  return c;
}

// Steps over an AC scan (of one component), noting the last bit it sends of the first
// coefficients. The offset after its data, or 0.
size_t stepOverAcScan(const uint8_t* data, size_t size, size_t pos, const JpegHeader& header,
                      const JpegScan& scan, Frame& f) {
  const size_t c = componentIndex(header, f, scan.selectors[0]);
  const size_t end = entropyEnd(data, size, pos);
  const int ss = scan.spectralStart, se = scan.spectralEnd;
  if (se < ss || se > 63 || scan.count != 1 || c == f.count || end >= size) {
    return 0;
  }
  for (int k = ss; k <= se && k < kSmoothedCoefficients; ++k) {
    f.lastBit[c][static_cast<size_t>(k)] = scan.lowBit;
  }
  return end;
}

// Matches a DC scan's components with the frame and the tables, and notes what the scan sends.
// False for what libjpeg is left to judge.
bool takeDcScan(const JpegHeader& header, const Tables& tables, const JpegScan& scan, Frame& f,
                DcScan& dc) {
  const int ah = scan.highBit, al = scan.lowBit;
  if (scan.spectralEnd != 0 || al > 13) {
    return false;
  }
  dc = DcScan{scan.count, {}, {}, ah != 0, al};
  for (size_t i = 0; i < scan.count; ++i) {
    const size_t c = componentIndex(header, f, scan.selectors[2 * i]);
    const auto dcSlot = static_cast<size_t>(scan.selectors[2 * i + 1] >> 4);
    if (c == f.count || dcSlot > 3) {
      return false;
    }
    if (i > 0 && c <= dc.components[i - 1]) {
      return false;  // out of the frame's order, which libjpeg may refuse
    }
    int& shift = f.shift[c];
    if (dc.refine) {
      if (shift != ah || al != ah - 1) {
        return false;  // an odd progression: libjpeg's to judge
      }
    } else {
      const auto quantSlot = static_cast<size_t>(header.components[c].quantTable);
      if (shift != -1 || quantSlot > 3 || !tables.quantDefined[quantSlot] ||
          !tables.dc[dcSlot].defined) {
        return false;
      }
      f.quant[c] = tables.quant[quantSlot][0];
    }
    shift = al;
    f.lastBit[c][0] = al;
    dc.components[i] = c;
    dc.tables[i] = &tables.dc[dcSlot];
  }
  return true;
}

// Reads the scan header at `pos` (its length field `length`) and decodes the scan, or steps over
// an AC scan; the offset after the scan, or 0.
size_t readScan(const uint8_t* data, size_t size, size_t pos, size_t length,
                const JpegHeader& header, const Tables& tables, Frame& f, int& scans) {
  JpegScan scan;
  if (!readJpegScan(data + pos + 4, length, scan) || scan.count > f.count) {
    return 0;
  }
  pos += 2 + length;
  if (++scans > kMaxScans) {
    return 0;
  }
  if (scan.spectralStart != 0) {
    return stepOverAcScan(data, size, pos, header, scan, f);
  }
  DcScan dc;
  if (!takeDcScan(header, tables, scan, f, dc)) {
    return 0;
  }
  return decodeDcScan(data, size, pos, tables.restartInterval, dc, f);
}

// Whether this decoder reads the frame: 8-bit progressive grey, or three components sampled
// alike (sampled otherwise, a component is scaled with a larger inverse DCT or enlarged).
bool decodable(const JpegHeader& header) {
  const size_t count = header.components.size();
  if (header.frameMarker != 0xC2 || header.precision != 8 || (count != 1 && count != 3)) {
    return false;
  }
  for (const auto& c : header.components) {
    if (count == 3 && (c.h != 1 || c.v != 1)) {
      return false;
    }
  }
  return true;
}

Frame startFrame(const JpegHeader& header) {
  Frame f;
  f.count = header.components.size();
  for (auto& bits : f.lastBit) {
    bits.fill(-1);
  }
  f.blocksX = (static_cast<size_t>(header.width) + 7) / 8;
  f.blocksY = (static_cast<size_t>(header.height) + 7) / 8;
  f.dc.assign(f.blocksX * f.blocksY * f.count, 0);
  return f;
}

// Walks the stream from its start to EOI, taking in the tables and decoding the DC scans. False
// for a segment libjpeg refuses or warns of, and for a scan this decoder leaves to it.
bool readStream(const uint8_t* data, size_t size, const JpegHeader& header, Tables& tables,
                Frame& f) {
  int scans = 0, frames = 0;
  for (size_t pos = 2;;) {
    uint8_t marker = 0;
    size_t length = 0;
    if (!nextJpegSegment(data, size, pos, marker, length)) {
      return false;
    }
    if (marker == 0xD9) {
      return true;
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
      pos = readScan(data, size, pos, length, header, tables, f, scans);
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
}

// Whether every component's first coefficients came to their last bit: a full decode would
// smooth the blocks otherwise.
bool sentWhole(const Frame& f) {
  for (size_t c = 0; c < f.count; ++c) {
    for (const int bit : f.lastBit[c]) {
      if (bit != 0) {
        return false;
      }
    }
  }
  return true;
}

// Whether three components are YCbCr in libjpeg's eyes: JFIF means YCbCr; an Adobe segment
// says; else the component identifiers 'R', 'G', 'B' mean RGB.
bool colourIsYcc(const JpegHeader& header, const Tables& tables) {
  if (header.components.size() != 3) {
    return true;
  }
  const auto& c = header.components;
  const bool rgbIds = c[0].id == 'R' && c[1].id == 'G' && c[2].id == 'B';
  return !(tables.jfif ? false : tables.adobeTransform >= 0 ? tables.adobeTransform != 1 : rgbIds);
}

// Each block's pixel is its DC value over 8, then into BGR.
void writePixels(const Frame& f, uint8_t* out, size_t pitch) {
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
}

}  // namespace

bool decodeEighth(const uint8_t* data, size_t size, const JpegHeader& header, uint8_t* out,
                  size_t pitch) {
  if (!decodable(header)) {
    return false;
  }
  Frame f = startFrame(header);
  auto tables = std::make_unique<Tables>();
  if (!readStream(data, size, header, *tables, f) || !sentWhole(f) ||
      !colourIsYcc(header, *tables)) {
    return false;
  }
  writePixels(f, out, pitch);
  return true;
}

}  // namespace vistrel::imaging
