#include "common/whole_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <optional>
#include <string>
#include <system_error>

#include "common/utf8.h"

namespace vistrel::common {

namespace {

[[noreturn]] void throwErrno(int error) {
  throw std::system_error(error, std::generic_category());
}

// A name no other writer (another run, another thread) is using: pid plus a process-wide
// counter; O_EXCL below catches what is left. At most 200 bytes of the name are repeated, cut at
// a character boundary, so a name near the file system's length limit leaves room for the rest.
std::filesystem::path temporaryName(const std::filesystem::path& file) {
  static std::atomic<unsigned> counter{0};
  const std::string base = file.filename().string();
  const size_t keep = cutBefore(base, 200);
  std::string name = ".";
  name.append(base, 0, keep);
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

int writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) {
        continue;
      }
      return errno;
    }
    bytes.remove_prefix(static_cast<size_t>(written));
  }
  return 0;
}

}  // namespace

std::filesystem::path writeTemporaryFor(const std::filesystem::path& file, std::string_view bytes) {
  if (file.filename().empty()) {
    throwErrno(EISDIR);
  }
  std::filesystem::path temp;
  const int fd = openFresh(file, temp);
  int error = writeAll(fd, bytes);
  // No fsync: a gallery run writes one page per few pictures and a flush each would cost more
  // than the thumbnails; the rename alone keeps a failed or interrupted write from replacing
  // the old file, and the file systems we run on flush a file renamed over another first.
  if (::close(fd) != 0 && error == 0) {
    error = errno;
  }
  if (error != 0) {
    ::unlink(temp.c_str());
    throwErrno(error);
  }
  return temp;
}

void putInPlace(const std::filesystem::path& temporary, const std::filesystem::path& file) {
  // A file being replaced keeps its permissions; a new one gets the usual ones.
  struct stat old {};
  if (::stat(file.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
    ::chmod(temporary.c_str(), old.st_mode & 07777);
  }
  if (::rename(temporary.c_str(), file.c_str()) != 0) {
    const int error = errno;
    ::unlink(temporary.c_str());
    throwErrno(error);
  }
}

void writeWholeFile(const std::filesystem::path& file, std::string_view bytes) {
  putInPlace(writeTemporaryFor(file, bytes), file);
}

std::error_code folderWriteError(const std::filesystem::path& folder) {
  // The effective user decides, as it does for the files the run will make.
  if (::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0) {
    struct stat info {};
    if (::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
      return {};
    }
    errno = ENOTDIR;
  }
  return {errno, std::generic_category()};
}

}  // namespace vistrel::common
