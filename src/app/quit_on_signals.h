#pragma once
// SIGINT and SIGTERM end the window cleanly. A Create runs on the window's thread and takes no
// clicks until it ends, so Exit cannot reach it: the signal can. The run stops between files and
// takes its temporaries away (the old gallery stays whole), then quitRequested asks the program
// to end with 128 + the signal's number, as vistrel-batch's exit status.

#include <QObject>
#include <QSocketNotifier>
#include <optional>

#include "common/stop_request.h"

namespace vistrel::app {

class QuitOnSignals : public QObject {
  Q_OBJECT
 public:
  explicit QuitOnSignals(QObject* parent = nullptr);
  ~QuitOnSignals() override;
  QuitOnSignals(const QuitOnSignals&) = delete;
  QuitOnSignals& operator=(const QuitOnSignals&) = delete;

  // What the window's runs look at (run::CreateSettings::thumbnails.stop).
  const common::StopRequest& stop() const { return stop_; }

 signals:
  // Emitted from the event loop once a signal came: 128 + its number.
  void quitRequested(int exitStatus);

 private:
  int pipe_[2] = {-1, -1};
  common::StopRequest stop_;
  std::optional<common::StopOnSignals> signals_;
  std::optional<QSocketNotifier> notifier_;
};

}  // namespace vistrel::app
