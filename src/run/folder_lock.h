#pragma once
// One Create at a time in a folder: two runs writing pages into one folder would interleave
// and leave a gallery of neither. The lock is an flock on the folder itself, so it works alike
// for every user who may run Create there (anyone who can list the folder), no file of it is
// ever left behind, and a run that crashed never blocks the next one (the kernel drops the
// lock with the process).

#include <chrono>
#include <filesystem>
#include <functional>
#include <system_error>

#include "common/stop_request.h"

namespace vistrel::run {

class FolderLock {
 public:
  enum class Outcome { Taken, Busy, Failed, Stopped };

  FolderLock() = default;
  ~FolderLock();
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

  // Takes the lock of `folder`, trying for up to `wait` while another run holds it; `waiting`
  // is called once when the first try finds it taken. Failed, with the system's `error`, when
  // the folder cannot be opened; Stopped when `stop` is requested while waiting.
  Outcome take(const std::filesystem::path& folder, std::chrono::milliseconds wait,
               const std::function<void()>& waiting, std::error_code& error,
               const common::StopRequest* stop = nullptr);

  // The file older builds locked instead. A run removes it when no run holds it; while one does,
  // the folder counts as taken.
  static const char* olderFileName();

 private:
  int fd_ = -1;
};

}  // namespace vistrel::run
