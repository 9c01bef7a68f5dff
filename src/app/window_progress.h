#pragma once
// The window's progress display: the working notice, the track and the fill under the panels.

#include <QFrame>

#include "app/toolkit/controls.h"
#include "common/progress.h"

namespace vistrel::app {

class WindowProgress : public common::ProgressDisplay {
 public:
  // `notice`, `track` and `fill` belong to the window; `fill` is a child of the track's inside.
  // The widths are kept in twips as set, not read back from the rounded pixel sizes.
  WindowProgress(toolkit::Label* notice, QFrame* track, float trackTwips, QWidget* fill,
                 float fillTwips);

  void setStatus(const common::Status& status) override;
  void setNoticeVisible(bool visible) override;
  void refreshNotice() override;
  void setTrackVisible(bool visible) override;
  float trackWidth() const override;
  float fillWidth() const override { return fillTwips_; }
  void setFillWidth(float twips) override;

 private:
  toolkit::Label* notice_;
  QFrame* track_;
  QWidget* fill_;
  float trackTwips_;
  float fillTwips_;
};

}  // namespace vistrel::app
