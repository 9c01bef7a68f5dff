#pragma once
// Ctrl-C or SIGTERM stops a run between two files, never in the middle of one: the signal only
// sets a flag, and the run, which looks at it between files, takes its temporaries away itself.

#include <signal.h>

#include <atomic>
#include <stdexcept>

namespace vistrel::common {

class StopRequest {
 public:
  // Safe to call from a signal handler. `signal` is the signal that asked, or 0.
  void request(int signal = 0) noexcept { signal_.store(signal > 0 ? signal : -1); }
  bool requested() const noexcept { return signal_.load() != 0; }
  // The signal that asked to stop; 0 when none did.
  int signal() const noexcept {
    const int asked = signal_.load();
    return asked > 0 ? asked : 0;
  }

 private:
  static_assert(std::atomic<int>::is_always_lock_free, "a signal handler sets it");
  std::atomic<int> signal_{0};
};

// True when `stop` is given and was requested.
inline bool stopRequested(const StopRequest* stop) {
  return stop != nullptr && stop->requested();
}

// Thrown where a run that was asked to stop leaves off; everything it wrote is taken away first.
class RunStopped : public std::runtime_error {
 public:
  RunStopped() : std::runtime_error("the run was stopped") {}
};

// While it lives, SIGINT and SIGTERM request `stop`, and write the signal's number (one byte) to
// `wakeFd` when it is not -1, for an event loop that waits on the pipe's other end. A second
// signal of the same kind ends the process as if there were no handler, for a run that does not
// stop fast enough. The handlers there before come back when it goes. One at a time.
class StopOnSignals {
 public:
  explicit StopOnSignals(StopRequest& stop, int wakeFd = -1);
  ~StopOnSignals();
  StopOnSignals(const StopOnSignals&) = delete;
  StopOnSignals& operator=(const StopOnSignals&) = delete;

 private:
  struct sigaction oldInt_ {};
  struct sigaction oldTerm_ {};
};

}  // namespace vistrel::common
