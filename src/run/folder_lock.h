#pragma once
// One Create at a time in a folder: two runs writing pages into one folder would interleave
// and leave a gallery of neither. The lock is an flock on a small hidden file of ours, so a run
// that crashed never blocks the next one (the kernel drops the lock with the process).

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>

namespace vistrel::run {

class FolderLock {
 public:
  enum class Outcome { Taken, Busy, Failed };

  FolderLock() = default;
  ~FolderLock();
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

  // Takes the lock of `folder`, trying for up to `wait` while another run holds it; `waiting`
  // is called once when the first try finds it taken. Failed, with `reason`, when the lock
  // file cannot be made (a folder that cannot be written).
  Outcome take(const std::filesystem::path& folder, std::chrono::milliseconds wait,
               const std::function<void()>& waiting, std::string& reason);

  // The lock file's name in the folder.
  static const char* fileName();

 private:
  int fd_ = -1;
  std::filesystem::path file_;
};

}  // namespace vistrel::run
