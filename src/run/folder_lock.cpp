#include "run/folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <thread>

namespace vistrel::run {

namespace {

// An older build's lock file: removed when free (it was made for its user alone, so it only
// kept others out); true while an older build's run holds it.
bool olderRunHolds(const std::filesystem::path& folder) {
  const std::filesystem::path file = folder / FolderLock::olderFileName();
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) {
    return false;
  }
  bool held = false;
  struct stat info {};
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size == 0) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
      // Removed while held, as those builds do, so one of them waiting on it looks again.
      ::unlink(file.c_str());
    } else {
      held = errno == EWOULDBLOCK;
    }
  }
  ::close(fd);
  return held;
}

}  // namespace

const char* FolderLock::olderFileName() {
  return ".vistrel-create.lock";
}

FolderLock::~FolderLock() {
  if (fd_ >= 0) {
    ::close(fd_);
  }
}

FolderLock::Outcome FolderLock::take(const std::filesystem::path& folder,
                                     std::chrono::milliseconds wait,
                                     const std::function<void()>& waiting, std::error_code& error,
                                     const common::StopRequest* stop) {
  const auto deadline = std::chrono::steady_clock::now() + wait;
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    error = std::error_code(errno, std::system_category());
    return Outcome::Failed;
  }
  bool told = false;
  for (;;) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
      if (!olderRunHolds(folder)) {
        fd_ = fd;
        return Outcome::Taken;
      }
      ::flock(fd, LOCK_UN);
    } else if (errno == EBADF || errno == ENOLCK || errno == EOPNOTSUPP) {
      // A network file system that locks only files open for writing (NFS) or nothing at all:
      // the run goes on unguarded rather than not at all.
      fd_ = fd;
      return Outcome::Taken;
    } else if (errno != EWOULDBLOCK && errno != EINTR) {
      error = std::error_code(errno, std::system_category());
      ::close(fd);
      return Outcome::Failed;
    }
    if (common::stopRequested(stop) || std::chrono::steady_clock::now() >= deadline) {
      ::close(fd);
      return common::stopRequested(stop) ? Outcome::Stopped : Outcome::Busy;
    }
    if (!told && waiting) {
      told = true;
      waiting();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

}  // namespace vistrel::run
