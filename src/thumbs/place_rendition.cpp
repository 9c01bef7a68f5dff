#include "thumbs/place_rendition.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <system_error>

#include "common/whole_file.h"
#include "imaging/record/thumb_record.h"

namespace vistrel::thumbs {

namespace fs = std::filesystem;

namespace {

// Renames `from` to `to` only while no file has the name `to`, so a file that appeared there
// during the run is never replaced. Returns 0 or the system's error number (EEXIST when taken).
int renameNoReplace(const fs::path& from, const fs::path& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
    return 0;
  }
  if (errno != EINVAL && errno != ENOSYS) {
    return errno;
  }
  // A file system without the flag: a hard link fails on a taken name just as well.
  if (::link(from.c_str(), to.c_str()) == 0) {
    ::unlink(from.c_str());
    return 0;
  }
  if (errno == EEXIST) {
    return EEXIST;
  }
  std::error_code ec;
  if (fs::exists(fs::symlink_status(to, ec))) {
    return EEXIST;
  }
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

}  // namespace

int placeRendition(const fs::path& temporary, const fs::path& target, bool create) {
  if (create) {
    return renameNoReplace(temporary, target);
  }
  if (const auto mark = imaging::readThumbMark(target);
      mark.exists && !mark.oursAt(target.filename().native())) {
    return EEXIST;
  }
  try {
    common::putInPlace(temporary, target);
  } catch (const std::system_error& e) {
    return e.code().value();
  }
  return 0;
}

bool isDiskFailure(int error) {
  return error == ENOSPC || error == EDQUOT || error == EROFS || error == EIO;
}

}  // namespace vistrel::thumbs
