#pragma once
// A progress display that remembers what a run did to it, in order.

#include <string>
#include <vector>

#include "common/progress.h"

namespace vistrel::testing {

class RecordingDisplay : public common::ProgressDisplay {
 public:
  explicit RecordingDisplay(float track = 5200) : track_(track) {}
  void setStatus(const common::Status& status) override {
    status_ = common::statusText(status);
    statuses.push_back(status_);
    fillAtStatus.push_back(fill_);  // to check the fill grows per cell slot
    events.push_back("status " + status_);
  }
  void setNoticeVisible(bool visible) override {
    noticeVisible = visible;
    events.push_back(visible ? "show notice" : "hide notice");
  }
  void refreshNotice() override { events.push_back("refresh " + status_); }
  void setTrackVisible(bool visible) override {
    trackVisible = visible;
    events.push_back(visible ? "show track" : "hide track");
  }
  float trackWidth() const override { return track_; }
  float fillWidth() const override { return fill_; }
  void setFillWidth(float twips) override {
    fill_ = twips;
    ++fillChanges;
    events.push_back("fill " + std::to_string(static_cast<long long>(twips)));
  }

  std::vector<std::string> events;
  std::vector<std::string> statuses;
  std::vector<float> fillAtStatus;
  int fillChanges = 0;
  bool noticeVisible = false;
  bool trackVisible = false;

 private:
  float track_;
  float fill_ = 0;
  std::string status_ = "Working...";
};

using RecordingProgress = RecordingDisplay;

}  // namespace vistrel::testing
