#include "common/stop_request.h"

#include <unistd.h>

#include <cerrno>

namespace vistrel::common {

namespace {

std::atomic<StopRequest*> handlerStop{nullptr};
std::atomic<int> handlerWakeFd{-1};

void requestStop(int signal) {
  const int saved = errno;
  if (StopRequest* stop = handlerStop.load()) {
    stop->request(signal);
  }
  if (const int fd = handlerWakeFd.load(); fd >= 0) {
    const char byte = static_cast<char>(signal);
    [[maybe_unused]] const ssize_t ignored = ::write(fd, &byte, 1);
  }
  errno = saved;
}

}  // namespace

StopOnSignals::StopOnSignals(StopRequest& stop, int wakeFd) {
  handlerStop.store(&stop);
  handlerWakeFd.store(wakeFd);
  struct sigaction action {};
  action.sa_handler = requestStop;
  sigemptyset(&action.sa_mask);
  // Restarted, so no read or write of the run fails with EINTR because of us.
  action.sa_flags = SA_RESTART | SA_RESETHAND;
  ::sigaction(SIGINT, &action, &oldInt_);
  ::sigaction(SIGTERM, &action, &oldTerm_);
}

StopOnSignals::~StopOnSignals() {
  ::sigaction(SIGINT, &oldInt_, nullptr);
  ::sigaction(SIGTERM, &oldTerm_, nullptr);
  handlerWakeFd.store(-1);
  handlerStop.store(nullptr);
}

}  // namespace vistrel::common
