// The names thumbnails get, and the prefix and box values both front ends accept.
#include <gtest/gtest.h>

#include "imaging/record/thumb_record.h"
#include "thumbs/prefix_check.h"
#include "thumbs/thumb_info.h"
#include "thumbs/thumb_settings.h"

namespace vistrel::thumbs {
namespace {

TEST(ThumbnailName, ReplacesTheLastThreeCharactersWithJpgAndPutsAt2xBeforeThem) {
  const struct {
    const char *prefix, *picture, *thumbnail, *thumbnail2x;
  } cases[] = {
      {"th_", "photo.jpg", "th_photo.jpg", "th_photo@2x.jpg"},
      {"th_", "Photo.JPG", "th_Photo.jpg", "th_Photo@2x.jpg"},
      {"th_", "logo.gif", "th_logo.jpg", "th_logo@2x.jpg"},
      {"th_", "a.b.jpg", "th_a.b.jpg", "th_a.b@2x.jpg"},
      {"th_", "th_a.jpg", "th_th_a.jpg", "th_th_a@2x.jpg"},
      {"", "beach.GIF", "beach.jpg", "beach@2x.jpg"},
      {"\xC3\xB1_", "caf\xC3\xA9.gif", "\xC3\xB1_caf\xC3\xA9.jpg", "\xC3\xB1_caf\xC3\xA9@2x.jpg"},
      // The last three are characters, however many bytes they take.
      {"th_", "x.\xC3\xA9t\xC3\xA9", "th_x.jpg", "th_x@2x.jpg"},
      {"th_", "x.\xF0\x9F\x98\x80gi", "th_x.jpg", "th_x@2x.jpg"},
      {"th_", "ab", "th_jpg", "th_@2xjpg"},
      // A four-letter extension goes whole, so IMG_1.HEIC's thumbnail is IMG_1.JPG's.
      {"th_", "IMG_1.HEIC", "th_IMG_1.jpg", "th_IMG_1@2x.jpg"},
      {"th_", "shot.png", "th_shot.jpg", "th_shot@2x.jpg"},
      {"th_", "a.webp", "th_a.jpg", "th_a@2x.jpg"},
      {"th_", "b.Avif", "th_b.jpg", "th_b@2x.jpg"},
      {"th_", "c.heif", "th_c.jpg", "th_c@2x.jpg"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(thumbnailName(c.prefix, c.picture), c.thumbnail) << c.picture;
    EXPECT_EQ(thumbnail2xName(c.prefix, c.picture), c.thumbnail2x) << c.picture;
    // Every tagged name leads back to the thumbnail's; the thumbnail's stays as it is.
    for (const auto& tagged :
         {std::string(c.thumbnail2x), imaging::viewName(c.prefix, c.picture),
          imaging::view2xName(c.prefix, c.picture), std::string(c.thumbnail)}) {
      EXPECT_EQ(imaging::untaggedName(tagged), c.thumbnail) << tagged;
    }
  }
}

TEST(PrefixProblem, RefusesWhatCannotStartAFileNameOrIsLongerThanTenCharacters) {
  for (const char* good :
       {"th_", "", "..", "T n-1.", "-x", "\xC3\xA9_", "abcdefghij",
        "\xC3\x84\xC3\x96\xC3\x9C\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F\xC3\xA9\xC3\xA8\xC3\xAA",
        "\xF0\x9F\x98\x80\xF0\x9F\x98\x80\xF0\x9F\x98\x80\xF0\x9F\x98\x80\xF0\x9F\x98\x80\xF0\x9F"
        "\x98\x80"}) {
    EXPECT_FALSE(prefixProblem(good)) << good;
  }
  const struct {
    std::string_view prefix;
    const char* problem;
  } bad[] = {
      {"a/b",
       "The prefix \"a/b\" holds a folder separator (/); thumbnails are written beside "
       "the pictures, so the prefix must be part of a file name."},
      {"th\\", "holds a folder separator (\\)"},
      {"a:b",
       "The prefix \"a:b\" holds the character :, which a file name cannot hold on every "
       "disk."},
      {"\t", "The prefix holds a control character (code 09), which a file name cannot hold."},
      {std::string_view("a\0b", 3), "control character (code 00)"},
      {"a\x7F", "code 7F"},
      {"x\xFF", "The prefix \"x\\xFF\" is not UTF-8 text."},
      {"\xC0\xAF", "is not UTF-8 text"},  // an overlong "/" is no way round the separator rule
      {"abcdefghijk", "The prefix \"abcdefghijk\" is longer than 10 characters."},
  };
  for (const auto& c : bad) {
    const auto problem = prefixProblem(c.prefix);
    ASSERT_TRUE(problem) << c.prefix;
    EXPECT_NE(problem->find(c.problem), std::string::npos) << *problem;
  }
}

TEST(CorrectPrefix, DropsWhatFileNamesCannotHoldAndNeverEndsEmpty) {
  // Accented letters stay; a stray byte goes; a cut-short character takes nothing after it; an
  // overlong one goes; at most ten characters are kept.
  const struct {
    const char *typed, *last, *kept;
  } cases[] = {
      {"small-", "th_", "small-"},
      {"", "th_", "th_"},
      {"a/b", "th_", "ab"},
      {"../", "th_", ".."},
      {"x\\y", "th_", "xy"},
      {"<>:\"|?*", "mini_", "mini_"},
      {"t\tab", "th_", "tab"},
      {"\303\251t\303\251_", "th_", "\303\251t\303\251_"},
      {"a\377b", "th_", "ab"},
      {"\303A\xC0\xAF", "th_", "A"},
      {"abcdefghijkl", "th_", "abcdefghij"},
      {" ", "th_", " "},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(correctPrefix(c.typed, c.last), c.kept) << "typed " << c.typed;
  }
}

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

}  // namespace
}  // namespace vistrel::thumbs
