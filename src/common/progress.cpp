#include "common/progress.h"

#include "common/numbers.h"

namespace vistrel::common {

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
