#pragma once
// The progress display the Create run drives: a one-line working notice, a track and a fill that
// grows from the track's left edge. Widths are in twips. The window implements it with its
// labels; other front ends (the command line, tests) implement it their own way.

#include <cstdint>
#include <string>

namespace vistrel::common {

// What the run is doing, as data: each display makes its own text from it.
enum class Phase {
  Waiting,     // for another Create in the same folder to end
  Thumbnails,  // making thumbnail `done` of `total`
  Pages,       // writing page `done` of `total`
};

struct Status {
  Phase phase = Phase::Thumbnails;
  int done = 0;  // 1-based: the picture or page being worked on
  int total = 0;
  bool operator==(const Status&) const = default;
};

// The working notice's text: "Processing images...     (3 of 12)",
// "Writing HMTL Document(s)...     (2 of 4)" ("HMTL" is the text users have always seen, not a
// typo to fix) or "Waiting for another Create in this folder to end...".
std::string statusText(const Status& status);
// The phase's words alone, without the count ("Processing images...").
std::string phaseText(Phase phase);

class ProgressDisplay {
 public:
  virtual ~ProgressDisplay() = default;

  // Sets the notice to `status` and repaints it at once, even though the caller does not
  // return to the event loop.
  virtual void setStatus(const Status& status) = 0;
  virtual void setNoticeVisible(bool visible) = 0;
  // Repaints the notice at once with the text it holds.
  virtual void refreshNotice() = 0;
  virtual void setTrackVisible(bool visible) = 0;
  // The track's full length in twips.
  virtual float trackWidth() const = 0;
  virtual float fillWidth() const = 0;
  // Never clamped: the fill may grow past the track, which clips it.
  virtual void setFillWidth(float twips) = 0;
};

// How far the fill grows per unit of a phase: the track's width rounded half-even, divided by
// the picture count and truncated toward zero, stored in 16 bits (values that do not fit throw
// OverflowError). No pictures gives 0 rather than a division by zero.
int16_t ProgressStep(float trackWidth, int imageCount);

// Grows the fill by `step`, in single precision.
void growFill(ProgressDisplay& display, int16_t step);

}  // namespace vistrel::common
