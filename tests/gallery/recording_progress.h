#pragma once
// A progress display that remembers what it was told, for checking status texts and fill growth.

#include <string>
#include <vector>

#include "common/progress.h"

namespace vistrel::testing {

class RecordingProgress : public common::ProgressDisplay {
 public:
  explicit RecordingProgress(float track = 5200) : track_(track) {}

  void setStatus(const common::Status& status) override {
    statuses.push_back(common::statusText(status));
    // The fill width when the notice changed, to check growth happens per cell slot.
    fillAtStatus.push_back(fill_);
  }
  void setNoticeVisible(bool) override {}
  void refreshNotice() override {}
  void setTrackVisible(bool) override {}
  float trackWidth() const override { return track_; }
  float fillWidth() const override { return fill_; }
  void setFillWidth(float twips) override {
    fill_ = twips;
    ++fillChanges;
  }

  std::vector<std::string> statuses;
  std::vector<float> fillAtStatus;
  int fillChanges = 0;

 private:
  float track_;
  float fill_ = 0;
};

}  // namespace vistrel::testing
