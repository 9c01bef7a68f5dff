#include "run/folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <thread>

namespace vistrel::run {

const char* FolderLock::fileName() {
  return ".vistrel-create.lock";
}

FolderLock::~FolderLock() {
  if (fd_ >= 0) {
    // Removed while still held, so a run waiting on this file sees it gone and makes a new one.
    ::unlink(file_.c_str());
    ::close(fd_);
  }
}

FolderLock::Outcome FolderLock::take(const std::filesystem::path& folder,
                                     std::chrono::milliseconds wait,
                                     const std::function<void()>& waiting, std::string& reason) {
  const auto deadline = std::chrono::steady_clock::now() + wait;
  const std::filesystem::path file = folder / fileName();
  bool told = false;
  for (;;) {
    const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
      reason = std::system_category().message(errno);
      return Outcome::Failed;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
      // The holder before us may have removed the file after we opened it: then ours is a lock
      // on a file nobody else will find.
      struct stat held {};
      struct stat named {};
      if (::fstat(fd, &held) == 0 && ::stat(file.c_str(), &named) == 0 &&
          held.st_ino == named.st_ino && held.st_dev == named.st_dev) {
        fd_ = fd;
        file_ = file;
        return Outcome::Taken;
      }
      ::close(fd);
      continue;
    }
    const int error = errno;
    ::close(fd);
    if (error != EWOULDBLOCK && error != EINTR) {
      reason = std::system_category().message(error);
      return Outcome::Failed;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      return Outcome::Busy;
    }
    if (!told && waiting) {
      told = true;
      waiting();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

}  // namespace vistrel::run
