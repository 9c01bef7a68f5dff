#pragma once
// Reading a JPEG stream's marker segments without decoding it: what the loader needs to know
// before it commits memory, and the rewriting that keeps only the DC scans of a progressive file.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vistrel::imaging {

struct JpegComponent {
  int id = 0;          // the component's identifier, as scans name it
  int h = 1;           // horizontal sampling factor, 1-4
  int v = 1;           // vertical sampling factor, 1-4
  int quantTable = 0;  // the quantisation table slot it uses
};

// One APP2 segment of an embedded ICC colour profile, which may be split over several.
struct JpegIccChunk {
  int sequence = 0;   // 1-based position of this piece
  int count = 0;      // pieces in all, as this segment says
  size_t offset = 0;  // where the piece's bytes start in the stream
  size_t size = 0;
};

struct JpegHeader {
  int frameMarker = 0;  // the SOFn marker's second byte (0xC0 baseline, 0xC2 progressive, ...)
  int precision = 8;    // bits per sample
  int width = 0;        // stored size in pixels, before any EXIF orientation
  int height = 0;
  std::vector<JpegComponent> components;
  bool adobe = false;    // an Adobe APP14 segment is present (CMYK values are stored inverted)
  int orientation = 1;   // EXIF orientation 1-8
  size_t firstScan = 0;  // offset of the first SOS marker
  std::vector<JpegIccChunk> iccChunks;  // in file order
};

enum class JpegHeaderStatus {
  Ok,
  NotJpeg,      // does not start with a JPEG start-of-image marker
  Truncated,    // the data ends before the first scan
  Damaged,      // a segment is malformed; `reason` says how
  Unsupported,  // a JPEG the decoder cannot read; `reason` names the variant
};

// Parses the segments from the start of `data` up to the first scan. `reason` is set for
// Damaged and Unsupported. Only reads inside [data, data + size).
JpegHeaderStatus readJpegHeader(const uint8_t* data, size_t size, JpegHeader& header,
                                std::string& reason);

// The ICC profile the header's chunks carry, joined in sequence order into `profile`, the stream
// being data[0, size) as given to readJpegHeader. False when there is none, or when its pieces
// are missing, repeated or disagree about their count: a profile that cannot be trusted.
bool joinIccProfile(const uint8_t* data, size_t size, const JpegHeader& header,
                    std::string& profile);

// A scan header (SOS): which components the scan codes and which bits of which coefficients.
struct JpegScan {
  size_t count = 0;                        // components in the scan, 1-4
  const uint8_t* selectors = nullptr;      // `count` pairs: component id, DC table << 4 | AC table
  int spectralStart = 0, spectralEnd = 0;  // the first and last coefficient, in zigzag order
  int highBit = 0, lowBit = 0;  // successive approximation: the bit sent before, this one
};

// Reads the scan header whose length field is `length`, its payload at `seg` (length - 2 bytes
// that are there). False when it is malformed.
bool readJpegScan(const uint8_t* seg, size_t length, JpegScan& scan);

// The marker at `pos`, past fill bytes (pos moves onto it), and unless it is EOI the length field
// of its segment, which lies inside the data. False when there is no marker at `pos`, a marker
// without a segment other than EOI, or a segment that runs past the data: the walks after the
// headers give up then.
bool nextJpegSegment(const uint8_t* data, size_t size, size_t& pos, uint8_t& marker,
                     size_t& length);

// How many of a block's first coefficients (in zigzag order) a full decode of a progressive
// stream must have to their last bit not to smooth the block, which moves its DC value too: a
// decode that leaves out AC scans gives the same pixels only when the stream sends them all.
constexpr int kSmoothedCoefficients = 10;

// Offset just past the entropy-coded data that starts at `pos`: the first marker that is not
// a stuffed zero or a restart marker. `size` when the data runs to the end.
size_t entropyEnd(const uint8_t* data, size_t size, size_t pos);

// Why a stream whose headers are `header` asks for far more decoding than its data can hold, or
// "" when it does not: every scan makes the decoder visit each block of its components, however
// few bytes the scan holds, so a small file of many empty scans over a large frame would cost
// seconds. Only whole scans count; one the data ends inside is where a decode stops.
std::string scanWorkRefusal(const uint8_t* data, size_t size, const JpegHeader& header);

// Rewrites a progressive (SOF2) stream so that it holds only what a decode at 1/8 scale reads:
// its headers, the tables between scans, the DC scans (first and refinement) and the AC scans
// of components the decoder scales with a larger inverse DCT (4:2:0 chroma), then EOI. Decoded
// at 1/8 without block smoothing, that gives the same pixels as the whole stream for a fraction
// of the entropy decoding: the luma AC scans, most of a file, are left out. False, with `out`
// unspecified, when the stream is not progressive, stops its progression before the last bit of
// its first coefficients (a full decode would smooth its blocks), or cannot be walked to its EOI
// (damaged or truncated): decode the original then.
bool keepDcScans(const uint8_t* data, size_t size, std::vector<uint8_t>& out);

}  // namespace vistrel::imaging
