#include "gallery/whole_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>
#include <system_error>

namespace vistrel::gallery {

namespace {

[[noreturn]] void throwErrno(int error) {
  throw std::system_error(error, std::generic_category());
}

// A name no other writer (another run, another thread) is using: pid plus a process-wide
// counter; O_EXCL below catches what is left.
std::filesystem::path temporaryName(const std::filesystem::path& file) {
  static std::atomic<unsigned> counter{0};
  std::string name = ".";
  name += file.filename().string();
  name += '.';
  name += std::to_string(getpid());
  name += '.';
  name += std::to_string(counter++);
  name += ".tmp";
  return file.parent_path() / name;
}

int openFresh(const std::filesystem::path& file, std::filesystem::path& temp) {
  for (int attempt = 0;; ++attempt) {
    temp = temporaryName(file);
    // 0666 so the umask decides, as for any other file the user creates.
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      return fd;
    }
    if (errno != EEXIST || attempt == 100) {
      throwErrno(errno);
    }
  }
}

void writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) {
        continue;
      }
      throwErrno(errno);
    }
    bytes.remove_prefix(static_cast<size_t>(written));
  }
}

}  // namespace

void writeWholeFile(const std::filesystem::path& file, std::string_view bytes) {
  std::filesystem::path temp;
  const int fd = openFresh(file, temp);
  int error = 0;
  try {
    writeAll(fd, bytes);
  } catch (const std::system_error& e) {
    error = e.code().value();
  }
  // Without the flush a crash right after the rename could leave an empty page in place of
  // the old one.
  if (error == 0 && ::fsync(fd) != 0) {
    error = errno;
  }
  if (::close(fd) != 0 && error == 0) {
    error = errno;
  }
  if (error == 0 && ::rename(temp.c_str(), file.c_str()) != 0) {
    error = errno;
  }
  if (error != 0) {
    ::unlink(temp.c_str());
    throwErrno(error);
  }
}

}  // namespace vistrel::gallery
