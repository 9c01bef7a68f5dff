// Picture loading: the file's first bytes say which decoder reads it; sizes are checked before
// anything large is allocated.
#include "imaging/picture.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
    stamp->size = static_cast<uint64_t>(st.st_size);
    stamp->mtimeNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
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

LoadResult loadFitted(const std::filesystem::path& file, const LeastSizeFor& leastSizeFor,
                      const BeforeDecode& beforeDecode) {
  LoadResult r;
  std::vector<uint8_t> bytes;
  if (!readWhole(file, bytes, r)) {
    return r;
  }
  const std::string name = file.string();
  const Kind kind = kindOf(bytes);
  if (kind == Kind::Other) {
    r.error = {name, "not a JPEG or GIF file", LoadErrorKind::NotPicture};
    return r;
  }
  const ProbeResult probed = kind == Kind::Jpeg ? probeJpeg(bytes.data(), bytes.size(), name)
                                                : probeGif(bytes.data(), bytes.size(), name);
  if (!probed.ok) {
    r.error = probed.error;
    return r;
  }
  const auto [leastWidth, leastHeight] = leastSizeFor(probed.info);
  if (beforeDecode) {
    // The file's bytes stay in memory through the decode, so they count too.
    const int64_t needed =
        static_cast<int64_t>(bytes.size()) +
        (kind == Kind::Jpeg ? jpegDecodeMemory(bytes.data(), bytes.size(), leastWidth, leastHeight)
                            : gifDecodeMemory(probed.info));
    if (std::string refusal = beforeDecode(needed); !refusal.empty()) {
      r.error = {name, refusal, LoadErrorKind::Refused};
      return r;
    }
  }
  const FileStamp stamp = r.stamp;
  r = decodeBytes(bytes, kind, name, leastWidth, leastHeight);
  r.stamp = stamp;
  return r;
}

}  // namespace vistrel::imaging
