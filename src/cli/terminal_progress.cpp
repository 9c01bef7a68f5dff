#include "cli/terminal_progress.h"

#include <algorithm>

namespace vistrel::cli {

namespace {
const int kBarCells = 24;
}

TerminalProgress::TerminalProgress(std::FILE* out, bool drawing) : out_(out), drawing_(drawing) {}

void TerminalProgress::setStatus(const common::Status& status) {
  status_ = status;
  draw();
}

void TerminalProgress::setNoticeVisible(bool visible) {
  noticeVisible_ = visible;
  if (visible) {
    draw();
  } else {
    finish();
  }
}

void TerminalProgress::refreshNotice() {
  draw();
}

void TerminalProgress::setTrackVisible(bool visible) {
  trackVisible_ = visible;
  draw();
}

void TerminalProgress::setFillWidth(float twips) {
  fill_ = twips;
  draw();
}

std::string TerminalProgress::line(const std::optional<common::Status>& status, float fraction) {
  fraction = std::clamp(fraction, 0.0f, 1.0f);
  const int cells = static_cast<int>(fraction * kBarCells + 0.5f);
  std::string text;
  text.append(1, '[').append(cells, '#').append(kBarCells - cells, '-').append(1, ']');
  if (!status) {
    return text.append("  Working...");
  }
  if (status->phase != common::Phase::Waiting) {
    // The count first, right-aligned, so the phase does not jump as the count grows.
    const std::string done = std::to_string(status->done);
    const std::string total = std::to_string(status->total);
    text.append(1 + (total.size() > done.size() ? total.size() - done.size() : 0), ' ');
    text.append(done).append(1, '/').append(total);
  }
  return text.append(2, ' ').append(common::phaseText(status->phase));
}

void TerminalProgress::draw() {
  if (!drawing_ || !noticeVisible_) {
    return;
  }
  const float fraction = trackVisible_ ? fill_ / trackWidth() : 0.0f;
  // Carriage return and erase-to-end-of-line redraw the one line in place.
  std::fprintf(out_, "\r%s\033[K", line(status_, fraction).c_str());
  std::fflush(out_);
  shown_ = true;
}

void TerminalProgress::finish() {
  if (shown_) {
    std::fprintf(out_, "\r\033[K");
    std::fflush(out_);
    shown_ = false;
  }
}

}  // namespace vistrel::cli
