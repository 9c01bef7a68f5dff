// Picture loading: the file's first bytes say which decoder reads it; sizes are checked before
// anything large is allocated.
#include "imaging/picture.h"

#include <algorithm>
#include <cstring>
#include <system_error>

#include "common/read_file.h"
#include "imaging/decoders.h"
#include "imaging/gif/gif_decode.h"
#include "imaging/jpeg/jpeg_decode.h"
#include "imaging/picture_limits.h"

namespace vistrel::imaging {
using common::ReadError;
using common::ReadErrorKind;
using common::RegularFile;

namespace {

constexpr size_t kProbeChunk = 64 * 1024;

// A failure of the file rather than of its data; kind None means none.
struct Failure {
  LoadErrorKind kind = LoadErrorKind::None;
  std::string reason;
  int osError = 0;
  explicit operator bool() const { return kind != LoadErrorKind::None; }
  LoadError named(const std::string& file) const { return {file, reason, kind, osError}; }
};

Failure tooLarge(int64_t length) {
  return {LoadErrorKind::TooLarge, "the file is too large (" + std::to_string(length >> 20) +
                                       " MB; at most 1024 MB are read)"};
}

// What a failed open or read of `f` means for its picture.
Failure readFailure(const ReadError& error, const RegularFile& f) {
  switch (error.kind) {
    case ReadErrorKind::None:
      return {};
    case ReadErrorKind::NotRegular:
      // A FIFO or a device swapped in for a picture would block the reader or never end.
      return {LoadErrorKind::NotRegular, "not a regular file"};
    case ReadErrorKind::TooLarge:
      return tooLarge(f.size());
    case ReadErrorKind::Changed:
      return {LoadErrorKind::Changed, "the file changed while it was read"};
    case ReadErrorKind::Open:
    case ReadErrorKind::Read:
      break;
  }
  const int code = error.code ? error.code.value() : EIO;
  return {LoadErrorKind::Unreadable,
          "the file cannot be read (" + std::generic_category().message(code) + ")", code};
}

// The length and time come from the descriptor the bytes are read through, so they describe
// one file.
FileStamp stampOf(const RegularFile& f) {
  return {static_cast<uint64_t>(f.size()), f.mtimeNs()};
}

}  // namespace

ProbeResult probe(const std::filesystem::path& file, PictureTypes types) {
  ProbeResult r;
  const std::string name = file.string();
  const RegularFile f(file);
  int64_t length = f.size();
  std::vector<uint8_t> bytes;
  if (const Failure failure = readFailure(f.append(bytes, kProbeChunk), f)) {
    r.error = failure.named(name);
    return r;
  }
  if (bytes.empty()) {
    r.error = {name, "the file is empty", LoadErrorKind::Empty};
    return r;
  }
  const auto format = formatOf(bytes.data(), bytes.size(), types);
  if (!format) {
    r.error = {name, notPictureReason(types), LoadErrorKind::NotPicture};
    return r;
  }
  // Headers are usually in the first chunk; large metadata segments can push them further.
  for (;;) {
    r = probeAs(*format, bytes.data(), bytes.size(), name);
    if (r.ok || r.error.kind != LoadErrorKind::Truncated ||
        static_cast<int64_t>(bytes.size()) >= length) {
      return r;
    }
    const size_t asked = 2 * bytes.size();
    if (const Failure failure = readFailure(f.append(bytes, bytes.size()), f)) {
      r.error = failure.named(name);
      return r;
    }
    // It ended early: it was cut while it was read.
    if (bytes.size() < asked) {
      length = std::min(length, static_cast<int64_t>(bytes.size()));
    }
  }
}

namespace {

// Reads the whole of `file` into `bytes`; false, with the reason in `r`, when it cannot.
bool readWhole(const std::filesystem::path& file, std::vector<uint8_t>& bytes, LoadResult& r) {
  const RegularFile f(file);
  if (!f.openError()) {
    r.stamp = stampOf(f);
  }
  Failure failure = readFailure(f.readWhole(bytes, kMaxDecodeBytes), f);
  if (!failure && bytes.empty()) {
    failure = {LoadErrorKind::Empty, "the file is empty"};
  }
  if (failure) {
    r.error = failure.named(file.string());
    return false;
  }
  return true;
}

}  // namespace

LoadResult load(const std::filesystem::path& file, int leastWidth, int leastHeight,
                uint32_t gifBackground, PictureTypes types) {
  LoadResult r;
  std::vector<uint8_t> bytes;
  if (!readWhole(file, bytes, r)) {
    return r;
  }
  const auto format = formatOf(bytes.data(), bytes.size(), types);
  if (!format) {
    r.error = {file.string(), notPictureReason(types), LoadErrorKind::NotPicture};
    return r;
  }
  return decodeAs(*format, bytes.data(), bytes.size(), file.string(), leastWidth, leastHeight,
                  gifBackground);
}

namespace {

// Asks for the memory a read is about to hold. Nothing of the file is held while it asks, so the
// caller may wait there.
// The caller's budget is a run's: the thumbnail batch is the one caller that grants memory.
std::string memoryRefusalReason(const MemoryRefusal& refused) {
  return "decoding it would need " + std::to_string((refused.asked + (1 << 20) - 1) >> 20) +
         " MB of memory, more than the " + std::to_string(refused.most >> 20) + " MB a run may use";
}

Failure takeFor(const TakeMemory& takeMemory, std::vector<uint8_t>& bytes, int64_t count) {
  std::vector<uint8_t>().swap(bytes);
  if (const auto refused = takeMemory ? takeMemory(count) : std::nullopt) {
    return {LoadErrorKind::Refused, memoryRefusalReason(*refused)};
  }
  return {};
}

struct Headers {
  std::optional<PictureFormat> format;
  ProbeResult probed;
  size_t imageEnd = 0;  // where a GIF's first image ends; 0 for a JPEG
};

// The headers, from as few of the file's first bytes as hold them, left in `bytes`.
Failure readHeaders(const RegularFile& f, const std::string& name, const TakeMemory& takeMemory,
                    PictureTypes types, std::vector<uint8_t>& bytes, Headers& h) {
  const int64_t length = f.size();
  for (size_t want = static_cast<size_t>(std::min<int64_t>(length, kProbeChunk));;
       want = static_cast<size_t>(std::min<int64_t>(length, 2 * static_cast<int64_t>(want)))) {
    if (Failure failure = takeFor(takeMemory, bytes, static_cast<int64_t>(want))) {
      return failure;
    }
    if (Failure failure = readFailure(f.readStart(bytes, want), f)) {
      return failure;
    }
    h.format = formatOf(bytes.data(), bytes.size(), types);
    if (!h.format) {
      return {LoadErrorKind::NotPicture, notPictureReason(types)};
    }
    const bool gif = *h.format == PictureFormat::Gif;
    h.probed = probeAs(*h.format, bytes.data(), bytes.size(), name);
    // The reader shows a GIF's first image only, so the frames after it are never read.
    h.imageEnd = gif && h.probed.ok ? gifFirstImageEnd(bytes.data(), bytes.size()) : 0;
    const bool enough = h.probed.ok && (!gif || h.imageEnd != 0);
    if (enough || (!h.probed.ok && h.probed.error.kind != LoadErrorKind::Truncated) ||
        static_cast<int64_t>(want) == length) {
      return {};
    }
  }
}

// Even at quality 100 a photo of noise codes in under 4 bytes a pixel; with room for metadata
// (colour profiles, thumbnails, a phone's appended video), anything larger is not worth reading.
constexpr int64_t kJpegBytesPerPixel = 8;
constexpr int64_t kJpegMetadataBytes = int64_t{64} << 20;

std::string jpegLengthRefusal(int64_t length, const PictureInfo& info) {
  const int64_t most = kJpegMetadataBytes + kJpegBytesPerPixel * info.width * info.height;
  if (length <= most) {
    return {};
  }
  return "the file is far larger than a JPEG of " + std::to_string(info.width) + " x " +
         std::to_string(info.height) + " pixels can be (" + std::to_string(length >> 20) +
         " MB; at most " + std::to_string(most >> 20) + " MB are read)";
}

}  // namespace

LoadResult loadFitted(const std::filesystem::path& file, const LeastSizeFor& leastSizeFor,
                      const TakeMemory& takeMemory, uint32_t gifBackground, PictureTypes types) {
  LoadResult r;
  const std::string name = file.string();
  const RegularFile f(file);
  const int64_t length = f.size();
  Failure failure = readFailure(f.openError(), f);
  if (!failure) {
    r.stamp = stampOf(f);
    failure = length > kMaxDecodeBytes ? tooLarge(length)
              : length == 0            ? Failure{LoadErrorKind::Empty, "the file is empty"}
                                       : Failure{};
  }
  std::vector<uint8_t> bytes;
  Headers h;
  if (!failure) {
    failure = readHeaders(f, name, takeMemory, types, bytes, h);
  }
  if (failure) {
    r.error = failure.named(name);
    return r;
  }
  if (!h.probed.ok) {
    r.error = h.probed.error;
    return r;
  }
  // Plain names, not a structured binding: the lambda below captures them.
  const std::pair<int, int> least = leastSizeFor(h.probed.info);
  const int leastWidth = least.first, leastHeight = least.second;
  const PictureFormat format = *h.format;
  if (std::string refusal =
          format == PictureFormat::Jpeg ? jpegLengthRefusal(length, h.probed.info) : "";
      !refusal.empty()) {
    r.error = {name, refusal, LoadErrorKind::TooLarge};
    return r;
  }
  auto decodeMemory = [&] {
    // GIF and PNG estimates go by the size alone, which must come from the bytes now held.
    const bool bySize = format == PictureFormat::Gif || format == PictureFormat::Png;
    const PictureInfo info =
        bySize ? probeAs(format, bytes.data(), bytes.size(), name).info : PictureInfo{};
    return decodeMemoryAs(format, bytes.data(), bytes.size(), info, leastWidth, leastHeight);
  };
  // The bytes read stay in memory through the decode, so they count too.
  const int64_t decode = decodeMemory();
  const size_t keep = h.imageEnd != 0 ? h.imageEnd : static_cast<size_t>(length);
  failure = takeFor(takeMemory, bytes, static_cast<int64_t>(keep) + 1 + decode);
  if (!failure) {
    bytes.reserve(keep + 1);  // room for the trailer without a second copy
    failure = readFailure(f.readStart(bytes, keep), f);
  }
  if (failure) {
    r.error = failure.named(name);
    return r;
  }
  if (h.imageEnd != 0) {
    bytes.push_back(0x3B);  // the trailer, as if the first image were the only one
  }
  // Rewritten since it was opened, it may need more than was taken, and its stamp would lie.
  if (!f.unchanged() || decodeMemory() > decode) {
    r.error = {name, "the file changed while it was read", LoadErrorKind::Changed};
    return r;
  }
  const FileStamp stamp = r.stamp;
  r = decodeAs(format, bytes.data(), bytes.size(), name, leastWidth, leastHeight, gifBackground);
  r.stamp = stamp;
  return r;
}

}  // namespace vistrel::imaging
