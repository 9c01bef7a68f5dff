#include "common/utf8.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>

#include "app/toolkit/twips.h"
#include "border/twips_per_pixel.h"
#include "common/twips.h"

namespace vistrel::common {
namespace {

TEST(Utf8, OneRuleForWellFormedText) {
  const struct {
    std::string_view text;
    size_t sequence;  // utf8SequenceLength
    char32_t first;   // nextCodePoint at 0
    size_t characters;
    bool valid;
  } cases[] = {
      {"a", 1, U'a', 1, true},
      {"\xC3\xA9t\xC3\xA9", 2, U'\u00E9', 3, true},
      {"\xE2\x82\xAC", 3, U'\u20AC', 1, true},
      {"\xF0\x9F\x98\x80", 4, U'\U0001F600', 1, true},
      {"\xC0\xAF", 0, 0xFFFD, 2, false},          // overlong "/"
      {"\xED\xA0\x80", 0, 0xFFFD, 3, false},      // a surrogate
      {"\xF4\x90\x80\x80", 0, 0xFFFD, 4, false},  // above U+10FFFF
      {"\xE2\x82", 0, 0xFFFD, 2, false},          // cut short
      {"\xC3"
       "A",
       0, 0xFFFD, 2, false},  // the next character is not swallowed
      {"ok\xFF", 1, U'o', 3, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(escaped(c.text));
    EXPECT_EQ(utf8SequenceLength(c.text), c.sequence);
    size_t pos = 0;
    EXPECT_EQ(nextCodePoint(c.text, pos), c.first);
    EXPECT_EQ(pos, c.sequence == 0 ? 1 : c.sequence);
    EXPECT_EQ(characterCount(c.text), c.characters);
    EXPECT_EQ(isUtf8(c.text), c.valid);
  }
  EXPECT_EQ(utf8SequenceLength(""), 0u);
}

TEST(Utf8, CutsAtCharacterBoundaries) {
  EXPECT_EQ(tailBytes("x.\xC3\xA9t\xC3\xA9", 3), 5u);
  EXPECT_EQ(tailBytes("ab", 3), 2u);
  EXPECT_EQ(cutBefore("a\xC3\xA9", 2), 1u);  // not between the two bytes of é
  EXPECT_EQ(cutBefore("a\xC3\xA9", 3), 3u);
  EXPECT_EQ(cutBefore("abc", 9), 3u);
}

TEST(Utf8, EscapingKeepsAMessageOnOneReadableLine) {
  EXPECT_EQ(escaped("caf\xC3\xA9"), "caf\xC3\xA9");
  EXPECT_EQ(escaped("a\nb\x7F\xE9\xC0\xAF"), "a\\x0Ab\\x7F\\xE9\\xC0\\xAF");
  EXPECT_EQ(inQuotes("say \"hi\"\t"), "\"say \\\"hi\\\"\\x09\"");
}

// Every module reads twips per pixel from one function, which a test can pin.
TEST(TwipsPerPixel, PinnedValueReachesEveryReader) {
  pinTwipsPerPixel(12);
  EXPECT_EQ(twipsPerPixel(), 12);
  EXPECT_EQ(toolkit::pixels(1440), 120);
  EXPECT_EQ(border::screenTwipsPerPixel().x, 12);
  pinTwipsPerPixel(0);
  // The offscreen screen's logical DPI.
  EXPECT_DOUBLE_EQ(twipsPerPixel(),
                   1440.0 / QGuiApplication::primaryScreen()->logicalDotsPerInchY());
}

}  // namespace
}  // namespace vistrel::common
