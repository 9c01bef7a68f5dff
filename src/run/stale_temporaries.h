#pragma once
// Temporary files a run that was killed left behind (a run that is stopped takes its own away).

#include <filesystem>
#include <string>
#include <unordered_set>
#include <vector>

namespace vistrel::run {

// Removes from `folder` the temporary files of ours whose process is gone and returns their
// names in the order met. Only exact names of ours count: a thumbnail's
// ".vistrel-thumb-PID-N.tmp" (or "-N-2x.tmp"), and a page's, the style sheet's or such a
// thumbnail's whole-file temporary ".NAME.PID.N.tmp"; the process is gone when PID names no
// process at all. Call it only while holding the folder's lock, so that no live run's files are
// taken. A file that cannot be removed is left quietly; the next run tries again. `listed`: the
// folder's names from a listing taken under the lock (forEachName), or nullptr.
std::vector<std::string> removeStaleTemporaries(
    const std::filesystem::path& folder, const std::unordered_set<std::string>* listed = nullptr);

}  // namespace vistrel::run
