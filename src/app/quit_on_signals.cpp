#include "app/quit_on_signals.h"

#include <fcntl.h>
#include <unistd.h>

namespace vistrel::app {

QuitOnSignals::QuitOnSignals(QObject* parent) : QObject(parent) {
  // Non-blocking both ways: the handler must never wait on a full pipe.
  if (::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
    signals_.emplace(stop_);
    return;
  }
  notifier_.emplace(pipe_[0], QSocketNotifier::Read);
  connect(&*notifier_, &QSocketNotifier::activated, this, [this] {
    char signal = 0;
    if (::read(pipe_[0], &signal, 1) == 1) {
      emit quitRequested(128 + signal);
    }
  });
  signals_.emplace(stop_, pipe_[1]);
}

QuitOnSignals::~QuitOnSignals() {
  signals_.reset();
  notifier_.reset();
  for (const int fd : pipe_) {
    if (fd >= 0) {
      ::close(fd);
    }
  }
}

}  // namespace vistrel::app
