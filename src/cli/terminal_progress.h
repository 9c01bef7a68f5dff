#pragma once
// The Create run's progress display on a terminal: one line, redrawn in place, with a bar,
// the count and the phase ("[#######-------------]   3/12  Processing images...").

#include <cstdio>
#include <optional>
#include <string>

#include "common/progress.h"

namespace vistrel::cli {

class TerminalProgress : public common::ProgressDisplay {
 public:
  // Draws on `out` only when `drawing` is true (standard error is a terminal); otherwise it
  // keeps the state and prints nothing, so logs of scripts hold only the summary.
  TerminalProgress(std::FILE* out, bool drawing);

  void setStatus(const common::Status& status) override;
  void setNoticeVisible(bool visible) override;
  void refreshNotice() override;
  void setTrackVisible(bool visible) override;
  // A long track, so that the per-picture step stays at least one twip for galleries of up to
  // 32767 pictures and the bar keeps moving; larger ones still show the count.
  float trackWidth() const override { return 32767.0f; }
  float fillWidth() const override { return fill_; }
  void setFillWidth(float twips) override;

  // Clears the progress line so the summary starts on a clean line.
  void finish();

  // The line drawn for `status` (none: the run has not said yet) at `fraction` (0..1, clamped)
  // of the track.
  static std::string line(const std::optional<common::Status>& status, float fraction);

 private:
  void draw();

  std::FILE* out_;
  bool drawing_;
  bool shown_ = false;  // a line is on the terminal and must be cleared by finish()
  bool noticeVisible_ = false;
  bool trackVisible_ = false;
  std::optional<common::Status> status_;
  float fill_ = 0;
};

}  // namespace vistrel::cli
