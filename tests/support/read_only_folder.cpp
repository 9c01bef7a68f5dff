#include "support/read_only_folder.h"

#include <unistd.h>

#include <stdexcept>

namespace vistrel::testing {

namespace fs = std::filesystem;

ReadOnlyFolder::ReadOnlyFolder(fs::path folder) : folder_(std::move(folder)) {
  fs::permissions(folder_, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                               fs::perms::group_exec | fs::perms::others_read |
                               fs::perms::others_exec);
  if (::geteuid() == 0) {
    constexpr uid_t kNobody = 65534;
    if (::seteuid(kNobody) != 0) {
      throw std::runtime_error("cannot act as an unprivileged user");
    }
    droppedRoot_ = true;
  }
}

ReadOnlyFolder::~ReadOnlyFolder() {
  if (droppedRoot_ && ::seteuid(0) != 0) {
    std::terminate();
  }
  std::error_code ignored;
  fs::permissions(folder_, fs::perms::owner_all, ignored);
}

}  // namespace vistrel::testing
