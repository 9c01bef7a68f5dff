// Picture loading: the file's first bytes say which decoder reads it; sizes are checked before
// anything large is allocated.
#include "imaging/picture.h"

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

std::string openFailure(int error) {
  return "the file cannot be read (" + std::generic_category().message(error) + ")";
}

// Opens `file` and tells its length; "" or the reason it cannot be read.
std::string openFile(const std::filesystem::path& file, File& f, int64_t& length) {
  std::error_code ec;
  if (std::filesystem::is_directory(file, ec)) {
    return "not a JPEG or GIF file";
  }
  f.reset(std::fopen(file.c_str(), "rb"));
  if (!f) {
    return openFailure(errno);
  }
  if (std::fseek(f.get(), 0, SEEK_END) != 0 || (length = std::ftell(f.get())) < 0 ||
      std::fseek(f.get(), 0, SEEK_SET) != 0) {
    return openFailure(errno);
  }
  return {};
}

// Appends up to `count` more bytes of `f` to `bytes`; "" or the reason it failed.
std::string readMore(std::FILE* f, std::vector<uint8_t>& bytes, size_t count) {
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
  std::string failure = openFile(file, f, length);
  if (failure.empty()) {
    failure = readMore(f.get(), bytes, kProbeChunk);
  }
  if (!failure.empty()) {
    r.error = {name, failure};
    return r;
  }
  if (bytes.empty()) {
    r.error = {name, "the file is empty"};
    return r;
  }
  const Kind kind = kindOf(bytes);
  if (kind == Kind::Other) {
    r.error = {name, "not a JPEG or GIF file"};
    return r;
  }
  // Headers are usually in the first chunk; large metadata segments can push them further.
  for (;;) {
    r = kind == Kind::Jpeg ? probeJpeg(bytes.data(), bytes.size(), name)
                           : probeGif(bytes.data(), bytes.size(), name);
    if (r.ok || r.error.reason != "file is truncated" ||
        static_cast<int64_t>(bytes.size()) >= length) {
      return r;
    }
    if (failure = readMore(f.get(), bytes, bytes.size()); !failure.empty()) {
      r.error = {name, failure};
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
  std::string failure = openFile(file, f, length);
  if (failure.empty() && length > kMaxDecodeBytes) {
    failure =
        "the file is too large (" + std::to_string(length >> 20) + " MB; at most 1024 MB are read)";
  }
  if (failure.empty()) {
    bytes.reserve(static_cast<size_t>(length));
    failure = readMore(f.get(), bytes, static_cast<size_t>(length));
  }
  if (failure.empty() && bytes.empty()) {
    failure = "the file is empty";
  }
  if (!failure.empty()) {
    r.error = {name, failure};
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
    r.error = {file.string(), "not a JPEG or GIF file"};
    return r;
  }
  return decodeBytes(bytes, kind, file.string(), leastWidth, leastHeight);
}

LoadResult loadFitted(const std::filesystem::path& file, const LeastSizeFor& leastSizeFor) {
  LoadResult r;
  std::vector<uint8_t> bytes;
  if (!readWhole(file, bytes, r)) {
    return r;
  }
  const std::string name = file.string();
  const Kind kind = kindOf(bytes);
  if (kind == Kind::Other) {
    r.error = {name, "not a JPEG or GIF file"};
    return r;
  }
  const ProbeResult probed = kind == Kind::Jpeg ? probeJpeg(bytes.data(), bytes.size(), name)
                                                : probeGif(bytes.data(), bytes.size(), name);
  if (!probed.ok) {
    r.error = probed.error;
    return r;
  }
  const auto [leastWidth, leastHeight] = leastSizeFor(probed.info);
  return decodeBytes(bytes, kind, name, leastWidth, leastHeight);
}

}  // namespace vistrel::imaging
