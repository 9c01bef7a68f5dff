#include "common/progress.h"

#include "common/numbers.h"

namespace vistrel::common {

std::string phaseText(Phase phase) {
  static const char* const kWords[] = {
      "Waiting for another Create in this folder to end...",  // Phase::Waiting
      "Processing images...",                                 // Phase::Thumbnails
      "Writing HMTL Document(s)...",                          // Phase::Pages
  };
  return kWords[static_cast<int>(phase)];
}

std::string statusText(const Status& status) {
  if (status.phase == Phase::Waiting) {
    return phaseText(status.phase);
  }
  return phaseText(status.phase) + "     (" + decimalText(status.done) + " of " +
         decimalText(status.total) + ")";
}

int16_t ProgressStep(float trackWidth, int imageCount) {
  if (imageCount == 0) {
    return 0;
  }
  const auto width = static_cast<long long>(roundHalfEven(trackWidth));
  return toInt16(static_cast<double>(width / imageCount));
}

void growFill(ProgressDisplay& display, int16_t step) {
  display.setFillWidth(display.fillWidth() + static_cast<float>(step));
}

}  // namespace vistrel::common
