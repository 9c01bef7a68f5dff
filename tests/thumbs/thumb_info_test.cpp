#include "thumbs/thumb_info.h"

#include <gtest/gtest.h>

namespace vistrel {
using thumbs::thumbnail2xName;
using thumbs::thumbnailName;

namespace {

TEST(ThumbnailName, ReplacesTheLastThreeCharactersWithJpg) {
  struct Case {
    const char* prefix;
    const char* picture;
    const char* thumbnail;
  };
  const Case cases[] = {
      {"th_", "photo.jpg", "th_photo.jpg"},
      {"th_", "Photo.JPG", "th_Photo.jpg"},
      {"th_", "logo.gif", "th_logo.jpg"},
      {"th_", "a.b.jpg", "th_a.b.jpg"},
      {"th_", "th_a.jpg", "th_th_a.jpg"},
      {"", "beach.GIF", "beach.jpg"},
      {"\xC3\xB1_", "caf\xC3\xA9.gif", "\xC3\xB1_caf\xC3\xA9.jpg"},
      // The last three are characters, however many bytes they take.
      {"th_", "x.\xC3\xA9t\xC3\xA9", "th_x.jpg"},
      {"th_", "x.\xF0\x9F\x98\x80gi", "th_x.jpg"},
      {"th_", "ab", "th_jpg"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(thumbnailName(c.prefix, c.picture), c.thumbnail) << c.picture;
  }
}

TEST(ThumbnailName, DoubleDensityNameAddsAt2xBeforeTheExtension) {
  const struct {
    const char* prefix;
    const char* picture;
    const char* thumbnail;
  } cases[] = {
      {"th_", "Photo.GIF", "th_Photo@2x.jpg"},
      {"th_", "a.b.jpg", "th_a.b@2x.jpg"},
      {"th_", "x.\xC3\xA9t\xC3\xA9", "th_x@2x.jpg"},
      {"th_", "ab", "th_@2xjpg"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(thumbnail2xName(c.prefix, c.picture), c.thumbnail) << c.picture;
  }
}

}  // namespace
}  // namespace vistrel
