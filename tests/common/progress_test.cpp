#include "common/progress.h"

#include <gtest/gtest.h>

#include "common/numbers.h"
#include "support/recording_progress.h"

namespace vistrel {
using common::growFill;
using common::OverflowError;
using common::ProgressStep;

namespace {

TEST(ProgressStep, TrackWidthRoundedHalfEvenOverPictureCount) {
  struct Case {
    float track;
    int pictures;
    int step;
  };
  const Case cases[] = {
      {5200, 7, 742},     {5200, 37, 140},    {5200, 1, 5200}, {5200, 5201, 0}, {5200, 40000, 0},
      {5200.5f, 1, 5200}, {5201.5f, 1, 5202}, {5200, 0, 0},    {0, 3, 0},       {32767, 1, 32767},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ProgressStep(c.track, c.pictures), c.step) << c.track << " / " << c.pictures;
  }
  EXPECT_THROW(ProgressStep(40000, 1), OverflowError);  // a step that does not fit 16 bits
}

TEST(GrowFill, SevenPicturesStopSixTwipsShortOfTheTrack) {
  testing::RecordingDisplay fill(5200);
  const int16_t step = ProgressStep(fill.trackWidth(), 7);
  for (int i = 0; i < 7; ++i) {
    growFill(fill, step);
  }
  EXPECT_FLOAT_EQ(fill.fillWidth(), 5194);
}

}  // namespace
}  // namespace vistrel
