#include "cli/terminal_progress.h"

#include <algorithm>

namespace vistrel::cli {

namespace {
const int kBarCells = 24;
}

TerminalProgress::TerminalProgress(std::FILE* out, bool drawing) : out_(out), drawing_(drawing) {}

void TerminalProgress::setStatus(const std::string& text) {
  status_ = text;
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

std::string TerminalProgress::line(const std::string& status, float fraction) {
  fraction = std::clamp(fraction, 0.0f, 1.0f);
  const int cells = static_cast<int>(fraction * kBarCells + 0.5f);
  std::string text;
  text.reserve(kBarCells + status.size() + 8);
  text.append(1, '[').append(cells, '#').append(kBarCells - cells, '-').append(1, ']');
  // The status ends in "(i of n)": show the count first, the phase after it.
  const size_t open = status.rfind('(');
  const size_t of = status.find(" of ", open == std::string::npos ? 0 : open);
  if (open != std::string::npos && of != std::string::npos && status.back() == ')') {
    const std::string_view whole(status);
    std::string_view phase = whole.substr(0, open);
    phase = phase.substr(0, phase.find_last_not_of(' ') + 1);
    const std::string_view done = whole.substr(open + 1, of - open - 1);
    const std::string_view total = whole.substr(of + 4, whole.size() - of - 5);
    // Right-aligned count, so the phase does not jump as the count grows.
    text.append(1 + (total.size() > done.size() ? total.size() - done.size() : 0), ' ');
    text.append(done).append(1, '/').append(total).append(2, ' ').append(phase);
  } else if (!status.empty()) {
    text.append(2, ' ').append(status);
  }
  return text;
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
