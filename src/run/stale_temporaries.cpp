#include "run/stale_temporaries.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <optional>
#include <string_view>

#include "gallery/modern_page.h"
#include "gallery/page_writer.h"

namespace vistrel::run {

namespace {

// A number as we write it: decimal digits without a leading zero.
std::optional<long> number(std::string_view text) {
  long value = 0;
  if (text.empty() || (text[0] == '0' && text.size() > 1) ||
      text.find_first_not_of("0123456789") != std::string_view::npos ||
      std::from_chars(text.data(), text.data() + text.size(), value).ec != std::errc()) {
    return std::nullopt;
  }
  return value;
}

bool takeSuffix(std::string_view& text, std::string_view suffix) {
  if (text.size() < suffix.size() || text.substr(text.size() - suffix.size()) != suffix) {
    return false;
  }
  text.remove_suffix(suffix.size());
  return true;
}

// The PID in a thumbnail's temporary name ".vistrel-thumb-PID-N.tmp" or "...-N-2x.tmp".
std::optional<long> thumbnailPid(std::string_view name) {
  constexpr std::string_view stem = ".vistrel-thumb-";
  if (name.substr(0, stem.size()) != stem || !takeSuffix(name, ".tmp")) {
    return std::nullopt;
  }
  name.remove_prefix(stem.size());
  takeSuffix(name, "-2x");
  const size_t dash = name.find('-');
  if (dash == std::string_view::npos || !number(name.substr(dash + 1))) {
    return std::nullopt;
  }
  return number(name.substr(0, dash));
}

bool isPageName(std::string_view name) {
  std::string_view digits = name;
  if (digits.substr(0, 5) != "Thumb" || !takeSuffix(digits, ".html")) {
    return false;
  }
  digits.remove_prefix(5);
  int page = 0;
  return digits.size() < 10 && digits.find_first_not_of("0123456789") == std::string_view::npos &&
         std::from_chars(digits.data(), digits.data() + digits.size(), page).ec == std::errc() &&
         gallery::pageName(page) == name;
}

// The PID of the process a temporary name of ours was made by; nothing for any other name.
std::optional<long> temporaryPid(std::string_view name) {
  if (auto pid = thumbnailPid(name)) {
    return pid;
  }
  // A whole file's temporary: "." + the file's name + ".PID.N.tmp".
  if (name.substr(0, 1) != "." || !takeSuffix(name, ".tmp")) {
    return std::nullopt;
  }
  name.remove_prefix(1);
  const size_t counter = name.rfind('.');
  if (counter == std::string_view::npos || !number(name.substr(counter + 1))) {
    return std::nullopt;
  }
  name.remove_suffix(name.size() - counter);
  const size_t pidAt = name.rfind('.');
  if (pidAt == std::string_view::npos) {
    return std::nullopt;
  }
  const auto pid = number(name.substr(pidAt + 1));
  const std::string_view file = name.substr(0, pidAt);
  if (!pid ||
      !(isPageName(file) || file == gallery::kStyleSheetName || thumbnailPid(file) == pid)) {
    return std::nullopt;
  }
  return pid;
}

bool processGone(long pid) {
  return pid > 0 && pid <= 0x7fffffff && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

}  // namespace

std::vector<std::string> removeStaleTemporaries(const std::filesystem::path& folder) {
  std::vector<std::string> removed;
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) {
    return removed;
  }
  const int fd = ::dirfd(dir);
  while (const dirent* entry = ::readdir(dir)) {
    const auto pid = temporaryPid(entry->d_name);
    struct stat info {};
    if (pid && processGone(*pid) && ::fstatat(fd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISREG(info.st_mode) && ::unlinkat(fd, entry->d_name, 0) == 0) {
      removed.emplace_back(entry->d_name);
    }
  }
  ::closedir(dir);
  return removed;
}

}  // namespace vistrel::run
