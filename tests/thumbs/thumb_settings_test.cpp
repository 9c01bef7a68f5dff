#include "thumbs/thumb_settings.h"

#include <gtest/gtest.h>

namespace vistrel {
using thumbs::correctThumbnailBox;

using thumbs::correctPrefix;
using thumbs::ThumbnailBoxCorrection;

namespace {

TEST(CorrectThumbnailBox, OutOfRangeTextBringsThePreviousValueBack) {
  const struct {
    const char* typed;
    int spin;
    const char* text;
    int value;
  } cases[] = {
      {"0", 150, "150", 150},      {"1501", 150, "150", 150},        {"abc", 150, "150", 150},
      {"", 120, "120", 120},       {"-5", 150, "150", 150},          {"0.6", 150, "150", 150},
      {"1500.4", 150, "150", 150}, {"1e9", 150, "150", 150},         {"1500", 150, "1500", 1500},
      {"1", 150, "1", 1},          {"80.5", 150, "80.5", 80},        {"150.4", 150, "150.4", 150},
      {"81.5", 150, "81.5", 82},   {" 200 px", 150, " 200 px", 200}, {"&H64", 150, "&H64", 100},
  };
  for (const auto& c : cases) {
    const ThumbnailBoxCorrection r = correctThumbnailBox(c.typed, c.spin);
    EXPECT_EQ(r.text, c.text) << "typed " << c.typed;
    EXPECT_EQ(r.value, c.value) << "typed " << c.typed;
  }
}

TEST(CorrectPrefix, DropsWhatFileNamesCannotHoldAndNeverEndsEmpty) {
  const struct {
    const char* typed;
    const char* last;
    const char* kept;
  } cases[] = {
      {"small-", "th_", "small-"},
      {"", "th_", "th_"},
      {"a/b", "th_", "ab"},
      {"../", "th_", ".."},
      {"x\\y", "th_", "xy"},
      {"<>:\"|?*", "mini_", "mini_"},
      {"t\tab", "th_", "tab"},
      {"\xC3\xA9t\xC3\xA9_", "th_", "\xC3\xA9t\xC3\xA9_"},  // accented letters stay
      {"a\xFF"
       "b",
       "th_", "ab"},  // a stray byte goes
      {"\xC3"
       "A\xC0\xAF",
       "th_", "A"},  // a cut-short character takes nothing after it; an overlong one goes
      {"abcdefghijkl", "th_", "abcdefghij"},  // at most ten characters
      {" ", "th_", " "},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(correctPrefix(c.typed, c.last), c.kept) << "typed " << c.typed;
  }
}

}  // namespace
}  // namespace vistrel
