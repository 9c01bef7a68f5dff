// Removing the renditions of an earlier gallery that this one no longer has.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>
#include <unordered_map>
#include <unordered_set>

#include "common/folder_names.h"
#include "thumbs/batch_plan.h"
#include "thumbs/make_thumbnails.h"

namespace vistrel::thumbs {

void removeLeftoverThumbnails(const BatchSettings& settings, const BatchResult& batch,
                              std::vector<std::string>& removed,
                              std::vector<RunProblem>& problems) {
  const int count =
      std::clamp<int>(settings.ImageCount, 0, static_cast<int>(settings.pictureNames.size()));
  // Each name of a kind the gallery has belongs to the first picture that names it, as in the
  // batch; the owners are kept by the kind, which a record carries.
  std::unordered_map<int, std::unordered_map<std::string, std::string>> owners;
  std::unordered_set<std::string> passOver;
  for (int i = 0; i < count; ++i) {
    const auto& name = settings.pictureNames[i];
    for (const auto& kind : renditionKinds()) {
      if (isMade(kind, settings.modern)) {
        owners[kind.record].emplace(kind.name(settings.prefix, name), name);
      }
    }
    passOver.insert(name);
  }
  // Pictures and this run's own renditions are passed over without opening them.
  passOver.insert(batch.current.begin(), batch.current.end());
  const std::unordered_set<std::string> obsolete(batch.obsolete.begin(), batch.obsolete.end());
  const int fd = ::open(settings.folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    return;
  }
  const imaging::FolderMarks* marks = settings.marks;
  common::forEachName(
      settings.folder, marks != nullptr ? &marks->names : nullptr, [&](const char* entry) {
        const std::string name = entry;
        if (passOver.count(name) != 0 || name.size() < 4 ||
            foldedName(std::string_view(name).substr(name.size() - 4)) != ".jpg") {
          return;
        }
        // A file the listing read and found not ours is passed over; only a look now removes one.
        if (marks != nullptr) {
          const auto listed = marks->files.find(name);
          if (listed != marks->files.end() && !listed->second.oursAt(name)) {
            return;
          }
        }
        const auto mark = imaging::readThumbMarkAt(fd, entry);
        if (!mark.oursAt(name)) {
          return;
        }
        const auto kindOwners = owners.find(mark.record.kind);
        if (kindOwners != owners.end() && obsolete.count(name) == 0) {
          const auto belongs = kindOwners->second.find(name);
          if (belongs != kindOwners->second.end() && belongs->second == mark.record.sourceName) {
            return;
          }
        }
        if (::unlinkat(fd, entry, 0) == 0) {
          removed.push_back(name);
        } else if (errno != ENOENT) {
          const std::error_code error(errno, std::system_category());
          problems.push_back({name, ProblemKind::NotRemoved, error, Cause::LeftoverThumbnail});
        }
      });
  ::close(fd);
}

}  // namespace vistrel::thumbs
