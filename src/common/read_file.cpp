#include "common/read_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace vistrel::common {

namespace {

std::error_code systemError(int error) {
  return {error, std::generic_category()};
}

}  // namespace

int64_t mtimeNsOf(const struct stat& st) {
  return static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

RegularFile::RegularFile(const std::filesystem::path& file, Links links)
    : RegularFile(AT_FDCWD, file.c_str(), links) {}

RegularFile::RegularFile(int folderFd, const char* name, Links links) {
  // O_NONBLOCK: opening a FIFO waits for a writer otherwise; the mode is looked at only after.
  const int flags =
      O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | (links == Links::Refuse ? O_NOFOLLOW : 0);
  // O_NOATIME: a re-run reads every file of a gallery, and marking each read on its file would
  // write as many inodes as there are files; only a file of someone else's refuses it.
  fd_ = ::openat(folderFd, name, flags | O_NOATIME);
  if (fd_ < 0 && errno == EPERM) {
    fd_ = ::openat(folderFd, name, flags);
  }
  if (fd_ < 0) {
    openError_ = {ReadErrorKind::Open, systemError(errno)};
    return;
  }
  struct stat st {};
  if (::fstat(fd_, &st) != 0) {
    openError_ = {ReadErrorKind::Open, systemError(errno)};
  } else if (!S_ISREG(st.st_mode)) {
    openError_ = {ReadErrorKind::NotRegular,
                  S_ISDIR(st.st_mode) ? systemError(EISDIR) : std::error_code()};
  } else {
    size_ = st.st_size;
    mtimeNs_ = mtimeNsOf(st);
  }
}

RegularFile::~RegularFile() {
  if (fd_ >= 0) {
    ::close(fd_);
  }
}

bool RegularFile::unchanged() const {
  struct stat now {};
  return !openError_ && ::fstat(fd_, &now) == 0 && now.st_size == size_ &&
         mtimeNsOf(now) == mtimeNs_;
}

ReadError RegularFile::readAt(int64_t offset, void* into, size_t count, size_t& got) const {
  got = 0;
  if (openError_) {
    return openError_;
  }
  auto* out = static_cast<char*>(into);
  while (got < count) {
    const ssize_t n =
        ::pread(fd_, out + got, count - got, static_cast<off_t>(offset) + static_cast<off_t>(got));
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n < 0) {
      return {ReadErrorKind::Read, systemError(errno)};
    }
    if (n == 0) {
      break;
    }
    got += static_cast<size_t>(n);
    // Past the length it had when opened, a further read would only say the end is there.
    if (offset + static_cast<int64_t>(got) >= size_) {
      break;
    }
  }
  return {};
}

}  // namespace vistrel::common
