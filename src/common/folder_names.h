#pragma once
// Looking through a folder's names for what an earlier run left.

#include <dirent.h>

#include <filesystem>
#include <string>
#include <unordered_set>

namespace vistrel::common {

// Calls `visit` with each name in `folder` but "." and "..": those of `listed` when a listing
// taken under the run's lock gave them, since whatever a run finds left over was there then;
// else the folder's, read now. A folder of thousands of files is then read once a run.
template <class Visit>
void forEachName(const std::filesystem::path& folder, const std::unordered_set<std::string>* listed,
                 Visit visit) {
  if (listed != nullptr) {
    for (const std::string& name : *listed) {
      visit(name.c_str());
    }
    return;
  }
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) {
    return;
  }
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view name(entry->d_name);
    if (name != "." && name != "..") {
      visit(entry->d_name);
    }
  }
  ::closedir(dir);
}

}  // namespace vistrel::common
