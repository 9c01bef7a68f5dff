#pragma once
// Reading a regular file, whole or in part, through one descriptor: the file that was checked
// (regular, its length and time) is the file that is read, and a FIFO or device put in its place
// never blocks the reader.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <system_error>

struct stat;

namespace vistrel::common {

enum class ReadErrorKind {
  None,
  Open,        // the system could not open or look at it (code says why; ENOENT: nothing there)
  NotRegular,  // a folder (code EISDIR), a FIFO, a device or a socket: never read
  TooLarge,    // longer than the caller reads
  Read,        // a read failed (code says why)
  Changed,     // it ended before its length did
};

struct ReadError {
  ReadErrorKind kind = ReadErrorKind::None;
  std::error_code code;  // the system's reason, where the system gave one
  explicit operator bool() const { return kind != ReadErrorKind::None; }
  // A file that is there could not be read: any error but nothing there to open.
  bool notMissing() const {
    return kind != ReadErrorKind::None &&
           !(kind == ReadErrorKind::Open && code == std::errc::no_such_file_or_directory);
  }
};

// A file's modification time in nanoseconds since the epoch, as every record and stamp keeps it:
// a thumbnail is kept only while its picture's time, read either way, is the same.
int64_t mtimeNsOf(const struct stat& st);

enum class Links {
  Follow,
  Refuse,  // a link in the last place does not open (ELOOP)
};

class RegularFile {
 public:
  // Opens `name` in the folder open as `folderFd` (AT_FDCWD: the working folder, or `name` is
  // absolute) for reading: without blocking, taking a terminal or passing to child processes.
  RegularFile(int folderFd, const char* name, Links links = Links::Follow);
  explicit RegularFile(const std::filesystem::path& file, Links links = Links::Follow);
  ~RegularFile();
  RegularFile(const RegularFile&) = delete;
  RegularFile& operator=(const RegularFile&) = delete;

  // Why it cannot be read (Open or NotRegular): every read below then gives this and reads
  // nothing.
  const ReadError& openError() const { return openError_; }
  // The length and modification time (nanoseconds since the epoch) when it was opened.
  int64_t size() const { return size_; }
  int64_t mtimeNs() const { return mtimeNs_; }
  // False when its length or time now differ from those, or cannot be told.
  bool unchanged() const;

  // Reads up to `count` bytes from `offset` into `into`; `got` says how many, fewer only where
  // the file ends.
  ReadError readAt(int64_t offset, void* into, size_t count, size_t& got) const;

  // Appends up to `count` bytes to `bytes` (a std::string or std::vector<uint8_t>), read from
  // the offset bytes.size(): the file's first bytes when `bytes` starts empty.
  template <class Bytes>
  ReadError append(Bytes& bytes, size_t count) const {
    if (openError_) {
      return openError_;
    }
    const size_t old = bytes.size();
    // A generous limit costs nothing: only what the file holds is made room for.
    const int64_t left = size_ - static_cast<int64_t>(old);
    count = std::min(count, left > 0 ? static_cast<size_t>(left) : size_t{0});
    bytes.resize(old + count);
    size_t got = 0;
    const ReadError error = readAt(static_cast<int64_t>(old), bytes.data() + old, count, got);
    bytes.resize(old + got);
    return error;
  }

  // The first `count` bytes into `bytes`, replacing what it held; Changed when the file ends
  // before them.
  template <class Bytes>
  ReadError readStart(Bytes& bytes, size_t count) const {
    bytes.clear();
    ReadError error = append(bytes, count);
    if (!error && bytes.size() != count) {
      error.kind = ReadErrorKind::Changed;
    }
    return error;
  }

  // The whole file into `bytes`, as long as it was when opened: TooLarge, with nothing read, when
  // that is over `limit` bytes. A file that has grown is read to its old length.
  template <class Bytes>
  ReadError readWhole(Bytes& bytes, int64_t limit) const {
    if (size_ > limit) {
      return {ReadErrorKind::TooLarge, {}};
    }
    return readStart(bytes, static_cast<size_t>(size_));
  }

 private:
  int fd_ = -1;
  ReadError openError_;
  int64_t size_ = 0;
  int64_t mtimeNs_ = 0;
};

}  // namespace vistrel::common
