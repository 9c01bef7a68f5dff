#include "app/window_progress.h"

#include "app/toolkit/twips.h"

namespace vistrel::app {

WindowProgress::WindowProgress(toolkit::Label* notice, QFrame* track, float trackTwips,
                               QWidget* fill, float fillTwips)
    : notice_(notice), track_(track), fill_(fill), trackTwips_(trackTwips), fillTwips_(fillTwips) {}

void WindowProgress::setStatus(const common::Status& status) {
  notice_->setCaption(QString::fromStdString(common::statusText(status)));
  notice_->Refresh();
}

void WindowProgress::setNoticeVisible(bool visible) {
  notice_->setVisible(visible);
}

void WindowProgress::refreshNotice() {
  notice_->Refresh();
}

void WindowProgress::setTrackVisible(bool visible) {
  track_->setVisible(visible);
}

float WindowProgress::trackWidth() const {
  return trackTwips_;
}

void WindowProgress::setFillWidth(float twips) {
  fillTwips_ = twips;
  fill_->resize(twips > 0 ? toolkit::pixels(twips) : 0, fill_->height());
  // The run does not return to the event loop; without this the bar would not move until it ends.
  if (track_->isVisible()) {
    track_->repaint();
  }
}

}  // namespace vistrel::app
