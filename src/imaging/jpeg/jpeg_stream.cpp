#include "imaging/jpeg/jpeg_stream.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "imaging/jpeg/exif.h"

namespace vistrel::imaging {

namespace {

constexpr uint8_t kSoi = 0xD8;
constexpr uint8_t kEoi = 0xD9;
constexpr uint8_t kSos = 0xDA;
constexpr uint8_t kApp1 = 0xE1;
constexpr uint8_t kApp2 = 0xE2;
constexpr char kIccTag[] = "ICC_PROFILE";  // with its zero byte, 12 bytes
constexpr size_t kIccTagSize = sizeof kIccTag;
constexpr uint8_t kApp14 = 0xEE;
constexpr int kMaxDcScans = 64;

inline unsigned be16(const uint8_t* p) {
  return unsigned{p[0]} << 8 | p[1];
}

bool isStandalone(uint8_t marker) {
  return marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7) || marker == kSoi || marker == kEoi;
}

bool isFrame(uint8_t marker) {
  return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

const char* unsupportedFrame(uint8_t marker) {
  switch (marker) {
    case 0xC3:
    case 0xCB:
      return "lossless";
    case 0xC5:
    case 0xC6:
    case 0xC7:
    case 0xCD:
    case 0xCE:
    case 0xCF:
      return "hierarchical";
    default:
      return nullptr;
  }
}

// Whether the 1/8 scale decodes component `id` with a larger inverse DCT than 1 x 1, which
// reads AC coefficients too. The decoder does that for a component subsampled by 2, 4 or 8 on
// both axes (4:2:0 chroma) rather than enlarge it afterwards.
bool needsAc(const JpegHeader& header, int id) {
  int maxH = 1, maxV = 1;
  for (const auto& c : header.components) {
    maxH = std::max(maxH, c.h);
    maxV = std::max(maxV, c.v);
  }
  for (const auto& c : header.components) {
    if (c.id == id) {
      return maxH % (2 * c.h) == 0 && maxV % (2 * c.v) == 0;
    }
  }
  return true;  // an unknown component: keep its scan and let the decoder judge it
}

// The blocks a scan of the components named in ids[0], ids[2], ... covers: all of a lone
// component's, or whole MCUs of several; -1 when it names a component the frame lacks.
int64_t scanBlocks(const JpegHeader& header, const uint8_t* ids, size_t count) {
  int maxH = 1, maxV = 1;
  for (const auto& c : header.components) {
    maxH = std::max(maxH, c.h);
    maxV = std::max(maxV, c.v);
  }
  int64_t perMcu = 0;
  for (size_t i = 0; i < count; ++i) {
    const auto c = std::find_if(header.components.begin(), header.components.end(),
                                [&](const JpegComponent& k) { return k.id == ids[2 * i]; });
    if (c == header.components.end()) {
      return -1;
    }
    if (count == 1) {
      const int64_t width = (int64_t{header.width} * c->h + maxH - 1) / maxH;
      const int64_t height = (int64_t{header.height} * c->v + maxV - 1) / maxV;
      return (width + 7) / 8 * ((height + 7) / 8);
    }
    perMcu += c->h * c->v;
  }
  const int64_t mcusX = (header.width + 8 * maxH - 1) / (8 * maxH);
  const int64_t mcusY = (header.height + 8 * maxV - 1) / (8 * maxV);
  return mcusX * mcusY * perMcu;
}

// The densest streams encoders write, a flat colour in a progressive file, cover under 25 blocks
// for each byte of coded data: each block's DC costs at least a bit and a few scans cover the
// picture. Anything up to a million blocks decodes in milliseconds, whatever the data.
constexpr int64_t kBlocksPerCodedByte = 64;
constexpr int64_t kFreeBlocks = int64_t{1} << 20;

}  // namespace

size_t entropyEnd(const uint8_t* data, size_t size, size_t pos) {
  while (pos < size) {
    const void* ff = std::memchr(data + pos, 0xFF, size - pos);
    if (ff == nullptr) {
      return size;
    }
    pos = static_cast<size_t>(static_cast<const uint8_t*>(ff) - data);
    if (pos + 1 >= size) {
      return size;
    }
    const uint8_t next = data[pos + 1];
    if (next == 0x00 || (next >= 0xD0 && next <= 0xD7) || next == 0xFF) {
      pos += next == 0xFF ? 1 : 2;
      continue;
    }
    return pos;
  }
  return size;
}

namespace {

// Moves `pos` onto the next marker: past the 0xFF bytes markers may be padded with, and past
// stray bytes between segments, which decoders skip. Truncated when the data ends first.
JpegHeaderStatus findMarker(const uint8_t* data, size_t size, size_t& pos) {
  for (;;) {
    while (pos < size && data[pos] == 0xFF && pos + 1 < size && data[pos + 1] == 0xFF) {
      ++pos;
    }
    if (pos + 2 > size) {
      return JpegHeaderStatus::Truncated;
    }
    if (data[pos] == 0xFF) {
      return JpegHeaderStatus::Ok;
    }
    const void* ff = std::memchr(data + pos, 0xFF, size - pos);
    if (ff == nullptr) {
      return JpegHeaderStatus::Truncated;
    }
    pos = static_cast<size_t>(static_cast<const uint8_t*>(ff) - data);
  }
}

// The length field of the segment whose marker is at `pos`, the whole segment in the data.
JpegHeaderStatus readSegmentLength(const uint8_t* data, size_t size, size_t pos, size_t& length,
                                   std::string& reason) {
  if (pos + 4 > size) {
    return JpegHeaderStatus::Truncated;
  }
  length = be16(data + pos + 2);
  if (length < 2) {
    reason = "damaged JPEG data: a segment has an impossible length";
    return JpegHeaderStatus::Damaged;
  }
  return pos + 2 + length > size ? JpegHeaderStatus::Truncated : JpegHeaderStatus::Ok;
}

// The components of a frame header whose payload `seg` holds `count` of them.
JpegHeaderStatus readComponents(const uint8_t* seg, int count, JpegHeader& header,
                                std::string& reason) {
  for (int c = 0; c < count; ++c) {
    const uint8_t* spec = seg + 6 + 3 * c;
    JpegComponent comp{spec[0], spec[1] >> 4, spec[1] & 15, spec[2]};
    if (comp.h < 1 || comp.h > 4 || comp.v < 1 || comp.v > 4) {
      reason = "damaged JPEG data: impossible colour sampling";
      return JpegHeaderStatus::Damaged;
    }
    header.components.push_back(comp);
  }
  return JpegHeaderStatus::Ok;
}

// The frame header (SOFn `marker`): precision, size and components, of the variants decoded.
JpegHeaderStatus readFrame(uint8_t marker, const uint8_t* seg, size_t segLen, JpegHeader& header,
                           std::string& reason) {
  if (header.frameMarker != 0) {
    reason = "damaged JPEG data: more than one frame header";
    return JpegHeaderStatus::Damaged;
  }
  header.frameMarker = marker;
  if (const char* variant = unsupportedFrame(marker)) {
    reason = std::string("unsupported JPEG variant: ") + variant;
    return JpegHeaderStatus::Unsupported;
  }
  if (segLen < 6) {
    reason = "damaged JPEG data: the frame header is too short";
    return JpegHeaderStatus::Damaged;
  }
  header.precision = seg[0];
  header.height = static_cast<int>(be16(seg + 1));
  header.width = static_cast<int>(be16(seg + 3));
  const int count = seg[5];
  if (header.precision != 8) {
    reason = "unsupported JPEG variant: " + std::to_string(header.precision) + " bits per sample";
    return JpegHeaderStatus::Unsupported;
  }
  if (header.height == 0) {
    reason = "unsupported JPEG variant: height given after the first scan";
    return JpegHeaderStatus::Unsupported;
  }
  if (header.width == 0 || count < 1 || segLen < 6 + 3 * static_cast<size_t>(count)) {
    reason = "damaged JPEG data: the frame header is inconsistent";
    return JpegHeaderStatus::Damaged;
  }
  if (count != 1 && count != 3 && count != 4) {
    reason = "unsupported JPEG variant: " + std::to_string(count) + " colour components";
    return JpegHeaderStatus::Unsupported;
  }
  return readComponents(seg, count, header, reason);
}

// What the application segments tell: the EXIF orientation (the first EXIF block's), the pieces
// of an ICC profile, and Adobe's marker for inverted CMYK. Others are skipped.
void readAppSegment(uint8_t marker, const uint8_t* data, const uint8_t* seg, size_t segLen,
                    JpegHeader& header) {
  if (marker == kApp1 && segLen >= 6 && std::memcmp(seg, "Exif\0\0", 6) == 0 &&
      header.orientation == 1) {
    header.orientation = exifOrientation(seg + 6, segLen - 6);
  } else if (marker == kApp2 && segLen > kIccTagSize + 2 &&
             std::memcmp(seg, kIccTag, kIccTagSize) == 0) {
    header.iccChunks.push_back({seg[kIccTagSize], seg[kIccTagSize + 1],
                                static_cast<size_t>(seg - data) + kIccTagSize + 2,
                                segLen - kIccTagSize - 2});
  } else if (marker == kApp14 && segLen >= 5 && std::memcmp(seg, "Adobe", 5) == 0) {
    header.adobe = true;
  }
}

}  // namespace

JpegHeaderStatus readJpegHeader(const uint8_t* data, size_t size, JpegHeader& header,
                                std::string& reason) {
  header = JpegHeader{};
  if (size < 3 || data[0] != 0xFF || data[1] != kSoi || data[2] != 0xFF) {
    return size >= 2 && data[0] == 0xFF && data[1] == kSoi ? JpegHeaderStatus::Truncated
                                                           : JpegHeaderStatus::NotJpeg;
  }
  for (size_t pos = 2;;) {
    if (const auto found = findMarker(data, size, pos); found != JpegHeaderStatus::Ok) {
      return found;
    }
    const uint8_t marker = data[pos + 1];
    if (marker == kEoi || marker == kSoi) {
      reason = "damaged JPEG data: the picture ends before its first scan";
      return JpegHeaderStatus::Damaged;
    }
    if (isStandalone(marker)) {
      pos += 2;
      continue;
    }
    size_t length = 0;
    if (const auto read = readSegmentLength(data, size, pos, length, reason);
        read != JpegHeaderStatus::Ok) {
      return read;
    }
    const uint8_t* seg = data + pos + 4;
    const size_t segLen = length - 2;
    if (marker == kSos) {
      if (header.frameMarker == 0) {
        reason = "damaged JPEG data: a scan comes before the frame header";
        return JpegHeaderStatus::Damaged;
      }
      header.firstScan = pos;
      return JpegHeaderStatus::Ok;
    }
    if (isFrame(marker)) {
      if (const auto read = readFrame(marker, seg, segLen, header, reason);
          read != JpegHeaderStatus::Ok) {
        return read;
      }
    } else {
      readAppSegment(marker, data, seg, segLen, header);
    }
    pos += 2 + length;
  }
}

bool joinIccProfile(const uint8_t* data, size_t size, const JpegHeader& header,
                    std::string& profile) {
  profile.clear();
  const auto& chunks = header.iccChunks;
  const size_t count = chunks.size();
  if (count == 0) {
    return false;
  }
  std::vector<const JpegIccChunk*> ordered(count, nullptr);
  size_t total = 0;
  for (const auto& c : chunks) {
    if (c.count != static_cast<int>(count) || c.sequence < 1 ||
        c.sequence > static_cast<int>(count) || ordered[c.sequence - 1] != nullptr ||
        c.offset + c.size > size) {
      return false;
    }
    ordered[c.sequence - 1] = &c;
    total += c.size;
  }
  profile.reserve(total);
  for (const JpegIccChunk* c : ordered) {
    profile.append(reinterpret_cast<const char*>(data + c->offset), c->size);
  }
  return true;
}

std::string scanWorkRefusal(const uint8_t* data, size_t size, const JpegHeader& header) {
  int scans = 0;
  int64_t blocks = 0, coded = 0;
  size_t pos = header.firstScan;
  while (pos + 4 <= size) {
    if (data[pos] != 0xFF) {
      // Stray bytes between segments: decoders step over them to the next marker.
      const void* ff = std::memchr(data + pos, 0xFF, size - pos);
      if (ff == nullptr) {
        break;
      }
      pos = static_cast<size_t>(static_cast<const uint8_t*>(ff) - data);
      continue;
    }
    const uint8_t marker = data[pos + 1];
    if (marker == 0xFF) {
      ++pos;
      continue;
    }
    if (marker == kEoi || marker == kSoi) {
      break;
    }
    if (isStandalone(marker)) {
      pos += 2;
      continue;
    }
    const size_t length = be16(data + pos + 2);
    const uint8_t* seg = data + pos + 4;
    pos += 2 + length;
    if (length < 2 || pos > size) {
      break;
    }
    if (marker != kSos) {
      continue;
    }
    JpegScan scan;
    if (!readJpegScan(seg, length, scan)) {
      break;
    }
    const int64_t covered = scanBlocks(header, scan.selectors, scan.count);
    const size_t end = entropyEnd(data, size, pos);
    if (covered < 0 || end >= size) {
      break;
    }
    ++scans;
    blocks += covered;
    coded += static_cast<int64_t>(end - pos);
    pos = end;
  }
  if (blocks <= kFreeBlocks + kBlocksPerCodedByte * coded) {
    return {};
  }
  return "damaged JPEG data: " + std::to_string(coded) + " bytes of coded data cannot hold " +
         (scans == 1 ? std::string("a scan") : std::to_string(scans) + " scans") + " of a " +
         std::to_string(header.width) + " x " + std::to_string(header.height) + " picture";
}

bool readJpegScan(const uint8_t* seg, size_t length, JpegScan& scan) {
  scan.count = length >= 3 ? seg[0] : 0;
  if (scan.count < 1 || scan.count > 4 || length != 6 + 2 * scan.count) {
    return false;
  }
  scan.selectors = seg + 1;
  const uint8_t* tail = seg + 1 + 2 * scan.count;
  scan.spectralStart = tail[0];
  scan.spectralEnd = tail[1];
  scan.highBit = tail[2] >> 4;
  scan.lowBit = tail[2] & 15;
  return true;
}

bool nextJpegSegment(const uint8_t* data, size_t size, size_t& pos, uint8_t& marker,
                     size_t& length) {
  for (;;) {
    if (pos + 2 > size || data[pos] != 0xFF) {
      return false;
    }
    marker = data[pos + 1];
    if (marker != 0xFF) {
      break;
    }
    ++pos;
  }
  if (marker == kEoi) {
    return true;
  }
  if (isStandalone(marker) || pos + 4 > size) {
    return false;
  }
  length = be16(data + pos + 2);
  return length >= 2 && pos + 2 + length <= size;
}

namespace {

// The last successive-approximation bit sent so far of each component's first coefficients.
using LastBits = std::vector<std::array<int, kSmoothedCoefficients>>;

void noteLastBits(const JpegHeader& header, const JpegScan& scan, LastBits& lastBit) {
  for (size_t i = 0; i < scan.count; ++i) {
    for (size_t c = 0; c < header.components.size(); ++c) {
      if (header.components[c].id != scan.selectors[2 * i]) {
        continue;
      }
      const int last = std::min(scan.spectralEnd, kSmoothedCoefficients - 1);
      for (int k = scan.spectralStart; k <= last; ++k) {
        lastBit[c][k] = scan.lowBit;
      }
    }
  }
}

// Whether every component's first coefficients were sent to their last bit.
bool sentWhole(const LastBits& lastBit) {
  for (const auto& bits : lastBit) {
    for (const int bit : bits) {
      if (bit != 0) {
        return false;
      }
    }
  }
  return true;
}

// Whether a decode at 1/8 reads the scan: a DC scan, or an AC scan of a component it scales with
// a larger inverse DCT.
bool readAtEighth(const JpegHeader& header, const JpegScan& scan) {
  return scan.spectralStart == 0 || (scan.count == 1 && needsAc(header, scan.selectors[0]));
}

}  // namespace

bool keepDcScans(const uint8_t* data, size_t size, std::vector<uint8_t>& out) {
  JpegHeader header;
  std::string reason;
  if (readJpegHeader(data, size, header, reason) != JpegHeaderStatus::Ok ||
      header.frameMarker != 0xC2) {
    return false;
  }
  out.clear();
  out.reserve(size / 4);
  out.insert(out.end(), data, data + header.firstScan);
  LastBits lastBit(header.components.size());
  for (auto& bits : lastBit) {
    bits.fill(-1);
  }
  int keptScans = 0;
  for (size_t pos = header.firstScan;;) {
    uint8_t marker = 0;
    size_t length = 0;
    if (!nextJpegSegment(data, size, pos, marker, length) || isFrame(marker)) {
      return false;
    }
    if (marker == kEoi) {
      break;
    }
    const size_t segEnd = pos + 2 + length;
    if (marker != kSos) {
      out.insert(out.end(), data + pos, data + segEnd);
      pos = segEnd;
      continue;
    }
    JpegScan scan;
    if (!readJpegScan(data + pos + 4, length, scan)) {
      return false;
    }
    noteLastBits(header, scan, lastBit);
    const size_t dataEnd = entropyEnd(data, size, segEnd);
    if (dataEnd >= size) {
      return false;
    }
    if (readAtEighth(header, scan)) {
      // A real file has a handful; thousands would be an attack on decoding time.
      if (++keptScans > kMaxDcScans) {
        return false;
      }
      out.insert(out.end(), data + pos, data + dataEnd);
    }
    pos = dataEnd;
  }
  if (keptScans == 0 || !sentWhole(lastBit)) {
    return false;
  }
  out.push_back(0xFF);
  out.push_back(kEoi);
  return true;
}

}  // namespace vistrel::imaging
