// Picture loading: the file's first bytes say which decoder reads it; sizes are checked before
// anything large is allocated.
#include "imaging/picture.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <system_error>

#include "imaging/gif_decode.h"
#include "imaging/jpeg_decode.h"
#include "imaging/picture_limits.h"

namespace vistrel::imaging {

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

constexpr size_t kProbeChunk = 64 * 1024;

enum class Kind { Jpeg, Gif, Other };

Kind kindOf(const std::vector<uint8_t>& bytes) {
  if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xD8) {
    return Kind::Jpeg;
  }
  if (bytes.size() >= 6 && (std::memcmp(bytes.data(), "GIF87a", 6) == 0 ||
                            std::memcmp(bytes.data(), "GIF89a", 6) == 0)) {
    return Kind::Gif;
  }
  return Kind::Other;
}

// A failure of the file rather than of its data; kind None means none.
struct Failure {
  LoadErrorKind kind = LoadErrorKind::None;
  std::string reason;
  int osError = 0;
  explicit operator bool() const { return kind != LoadErrorKind::None; }
  LoadError named(const std::string& file) const { return {file, reason, kind, osError}; }
};

Failure openFailure(int error) {
  return {LoadErrorKind::Unreadable,
          "the file cannot be read (" + std::generic_category().message(error) + ")", error};
}

FileStamp stampOf(const struct stat& st) {
  return {static_cast<uint64_t>(st.st_size),
          static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

// Opens `file` and tells its length and time, or why it cannot be read. Only a regular
// file is read: a FIFO or a device swapped in for a picture would block the reader or never end.
// The length and time come from the same descriptor as the bytes, so they describe one file.
Failure openFile(const std::filesystem::path& file, File& f, int64_t& length,
                 FileStamp* stamp = nullptr) {
  const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    return openFailure(errno);
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    const int error = errno;
    ::close(fd);
    return openFailure(error);
  }
  if (!S_ISREG(st.st_mode)) {
    ::close(fd);
    return {LoadErrorKind::NotRegular, "not a regular file"};
  }
  f.reset(::fdopen(fd, "rb"));
  if (!f) {
    const int error = errno;
    ::close(fd);
    return openFailure(error);
  }
  length = st.st_size;
  if (stamp != nullptr) {
    *stamp = stampOf(st);
  }
  return {};
}

// Appends up to `count` more bytes of `f` to `bytes`, or tells why it failed.
Failure readMore(std::FILE* f, std::vector<uint8_t>& bytes, size_t count) {
  const size_t old = bytes.size();
  bytes.resize(old + count);
  const size_t got = std::fread(bytes.data() + old, 1, count, f);
  bytes.resize(old + got);
  if (got < count && std::ferror(f)) {
    return openFailure(errno ? errno : EIO);
  }
  return {};
}

}  // namespace

ProbeResult probe(const std::filesystem::path& file) {
  ProbeResult r;
  const std::string name = file.string();
  File f;
  int64_t length = 0;
  std::vector<uint8_t> bytes;
  Failure failure = openFile(file, f, length);
  if (!failure) {
    failure = readMore(f.get(), bytes, kProbeChunk);
  }
  if (failure) {
    r.error = failure.named(name);
    return r;
  }
  if (bytes.empty()) {
    r.error = {name, "the file is empty", LoadErrorKind::Empty};
    return r;
  }
  const Kind kind = kindOf(bytes);
  if (kind == Kind::Other) {
    r.error = {name, "not a JPEG or GIF file", LoadErrorKind::NotPicture};
    return r;
  }
  // Headers are usually in the first chunk; large metadata segments can push them further.
  for (;;) {
    r = kind == Kind::Jpeg ? probeJpeg(bytes.data(), bytes.size(), name)
                           : probeGif(bytes.data(), bytes.size(), name);
    if (r.ok || r.error.kind != LoadErrorKind::Truncated ||
        static_cast<int64_t>(bytes.size()) >= length) {
      return r;
    }
    if (failure = readMore(f.get(), bytes, bytes.size()); failure) {
      r.error = failure.named(name);
      return r;
    }
    if (static_cast<int64_t>(bytes.size()) < length && std::feof(f.get())) {
      length = static_cast<int64_t>(bytes.size());
    }
  }
}

namespace {

// Reads the whole of `file` into `bytes`; false, with the reason in `r`, when it cannot.
bool readWhole(const std::filesystem::path& file, std::vector<uint8_t>& bytes, LoadResult& r) {
  const std::string name = file.string();
  File f;
  int64_t length = 0;
  Failure failure = openFile(file, f, length, &r.stamp);
  if (!failure && length > kMaxDecodeBytes) {
    failure = {LoadErrorKind::TooLarge, "the file is too large (" + std::to_string(length >> 20) +
                                            " MB; at most 1024 MB are read)"};
  }
  if (!failure) {
    bytes.reserve(static_cast<size_t>(length));
    failure = readMore(f.get(), bytes, static_cast<size_t>(length));
    // A file that grew or shrank while it was read is not the file its length describes.
    if (!failure && static_cast<int64_t>(bytes.size()) != length) {
      failure = {LoadErrorKind::Changed, "the file changed while it was read"};
    }
  }
  if (!failure && bytes.empty()) {
    failure = {LoadErrorKind::Empty, "the file is empty"};
  }
  if (failure) {
    r.error = failure.named(name);
    return false;
  }
  return true;
}

LoadResult decodeBytes(const std::vector<uint8_t>& bytes, Kind kind, const std::string& name,
                       int leastWidth, int leastHeight) {
  if (kind == Kind::Jpeg) {
    return decodeJpeg(bytes.data(), bytes.size(), name, leastWidth, leastHeight);
  }
  return decodeGif(bytes.data(), bytes.size(), name);
}

}  // namespace

LoadResult load(const std::filesystem::path& file, int leastWidth, int leastHeight) {
  LoadResult r;
  std::vector<uint8_t> bytes;
  if (!readWhole(file, bytes, r)) {
    return r;
  }
  const Kind kind = kindOf(bytes);
  if (kind == Kind::Other) {
    r.error = {file.string(), "not a JPEG or GIF file", LoadErrorKind::NotPicture};
    return r;
  }
  return decodeBytes(bytes, kind, file.string(), leastWidth, leastHeight);
}

namespace {

// The first `count` bytes of `f`, read from its start into `bytes` (emptied first); a file
// shorter than it was has changed.
Failure readStart(std::FILE* f, std::vector<uint8_t>& bytes, size_t count) {
  bytes.clear();
  std::rewind(f);
  Failure failure = readMore(f, bytes, count);
  if (!failure && bytes.size() != count) {
    failure = {LoadErrorKind::Changed, "the file changed while it was read"};
  }
  return failure;
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

// The caller's budget is a run's: the thumbnail batch is the one caller that grants memory.
std::string memoryRefusalReason(const MemoryRefusal& refused) {
  return "decoding it would need " + std::to_string((refused.asked + (1 << 20) - 1) >> 20) +
         " MB of memory, more than the " + std::to_string(refused.most >> 20) + " MB a run may use";
}

}  // namespace

LoadResult loadFitted(const std::filesystem::path& file, const LeastSizeFor& leastSizeFor,
                      const TakeMemory& takeMemory) {
  LoadResult r;
  const std::string name = file.string();
  File f;
  int64_t length = 0;
  Failure failure = openFile(file, f, length, &r.stamp);
  if (!failure && length > kMaxDecodeBytes) {
    failure = {LoadErrorKind::TooLarge, "the file is too large (" + std::to_string(length >> 20) +
                                            " MB; at most 1024 MB are read)"};
  }
  if (!failure && length == 0) {
    failure = {LoadErrorKind::Empty, "the file is empty"};
  }
  // Nothing of the file is held while memory is asked for, so a caller may wait there.
  std::vector<uint8_t> bytes;
  auto take = [&](int64_t count) {
    std::vector<uint8_t>().swap(bytes);
    if (const auto refused = takeMemory ? takeMemory(count) : std::nullopt) {
      failure = {LoadErrorKind::Refused, memoryRefusalReason(*refused)};
    }
    return !failure;
  };
  // The headers first, from as few of the first bytes as hold them.
  Kind kind = Kind::Other;
  ProbeResult probed;
  size_t imageEnd = 0;
  for (size_t want = static_cast<size_t>(std::min<int64_t>(length, kProbeChunk)); !failure;
       want = static_cast<size_t>(std::min<int64_t>(length, 2 * static_cast<int64_t>(want)))) {
    if (!take(static_cast<int64_t>(want)) || (failure = readStart(f.get(), bytes, want))) {
      break;
    }
    kind = kindOf(bytes);
    if (kind == Kind::Other) {
      failure = {LoadErrorKind::NotPicture, "not a JPEG or GIF file"};
      break;
    }
    probed = kind == Kind::Jpeg ? probeJpeg(bytes.data(), bytes.size(), name)
                                : probeGif(bytes.data(), bytes.size(), name);
    // The reader shows a GIF's first image only, so the frames after it are never read.
    imageEnd = kind == Kind::Gif && probed.ok ? gifFirstImageEnd(bytes.data(), bytes.size()) : 0;
    const bool enough = probed.ok && (kind == Kind::Jpeg || imageEnd != 0);
    if (enough || (!probed.ok && probed.error.kind != LoadErrorKind::Truncated) ||
        static_cast<int64_t>(want) == length) {
      break;
    }
  }
  if (failure) {
    r.error = failure.named(name);
    return r;
  }
  if (!probed.ok) {
    r.error = probed.error;
    return r;
  }
  // Plain names, not a structured binding: the lambda below captures them.
  const std::pair<int, int> least = leastSizeFor(probed.info);
  const int leastWidth = least.first, leastHeight = least.second;
  if (std::string refusal = kind == Kind::Jpeg ? jpegLengthRefusal(length, probed.info) : "";
      !refusal.empty()) {
    r.error = {name, refusal, LoadErrorKind::TooLarge};
    return r;
  }
  auto decodeMemory = [&] {
    return kind == Kind::Jpeg
               ? jpegDecodeMemory(bytes.data(), bytes.size(), leastWidth, leastHeight)
               : gifDecodeMemory(probeGif(bytes.data(), bytes.size(), name).info);
  };
  // The bytes read stay in memory through the decode, so they count too.
  const int64_t decode = decodeMemory();
  const size_t keep = imageEnd != 0 ? imageEnd : static_cast<size_t>(length);
  if (take(static_cast<int64_t>(keep) + 1 + decode)) {
    bytes.reserve(keep + 1);  // room for the trailer without a second copy
    failure = readStart(f.get(), bytes, keep);
  }
  if (failure) {
    r.error = failure.named(name);
    return r;
  }
  if (imageEnd != 0) {
    bytes.push_back(0x3B);  // the trailer, as if the first image were the only one
  }
  // Rewritten since it was opened, it may need more than was taken, and its stamp would lie.
  struct stat now {};
  if (::fstat(::fileno(f.get()), &now) != 0 || stampOf(now).size != r.stamp.size ||
      stampOf(now).mtimeNs != r.stamp.mtimeNs || decodeMemory() > decode) {
    r.error = {name, "the file changed while it was read", LoadErrorKind::Changed};
    return r;
  }
  const FileStamp stamp = r.stamp;
  r = decodeBytes(bytes, kind, name, leastWidth, leastHeight);
  r.stamp = stamp;
  return r;
}

}  // namespace vistrel::imaging
