#include "run/stale_temporaries.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <string_view>

#include "common/folder_names.h"
#include "common/numbers.h"
#include "gallery/modern_page.h"
#include "gallery/page_writer.h"
#include "gallery/picture_page.h"
#include "thumbs/rendition.h"

namespace vistrel::run {

namespace {

bool takeSuffix(std::string_view& text, std::string_view suffix) {
  if (text.size() < suffix.size() || text.substr(text.size() - suffix.size()) != suffix) {
    return false;
  }
  text.remove_suffix(suffix.size());
  return true;
}

// The PID of the process a temporary name of ours was made by; nothing for any other name.
std::optional<long> temporaryPid(std::string_view name) {
  if (auto pid = thumbs::temporaryPid(name)) {
    return pid;
  }
  // A whole file's temporary: "." + the file's name + ".PID.N.tmp".
  if (name.substr(0, 1) != "." || !takeSuffix(name, ".tmp")) {
    return std::nullopt;
  }
  name.remove_prefix(1);
  const size_t counter = name.rfind('.');
  if (counter == std::string_view::npos || !common::readDecimal(name.substr(counter + 1))) {
    return std::nullopt;
  }
  name.remove_suffix(name.size() - counter);
  const size_t pidAt = name.rfind('.');
  if (pidAt == std::string_view::npos) {
    return std::nullopt;
  }
  const auto pid = common::readDecimal(name.substr(pidAt + 1));
  const std::string_view file = name.substr(0, pidAt);
  if (!pid || !(gallery::pageNumber(file) || file == gallery::kStyleSheetName ||
                file == gallery::kScriptName || gallery::isPicturePageName(file) ||
                thumbs::temporaryPid(file) == pid)) {
    return std::nullopt;
  }
  return pid;
}

bool processGone(long pid) {
  return pid > 0 && pid <= 0x7fffffff && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

}  // namespace

std::vector<std::string> removeStaleTemporaries(const std::filesystem::path& folder,
                                                const std::unordered_set<std::string>* listed) {
  std::vector<std::string> removed;
  common::forEachName(folder, listed, [&](const char* name) {
    const auto pid = temporaryPid(name);
    if (!pid || !processGone(*pid)) {
      return;
    }
    const std::filesystem::path file = folder / name;
    struct stat info {};
    if (::lstat(file.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::unlink(file.c_str()) == 0) {
      removed.emplace_back(name);
    }
  });
  return removed;
}

}  // namespace vistrel::run
