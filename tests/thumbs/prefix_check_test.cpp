#include "thumbs/prefix_check.h"

#include <gtest/gtest.h>

namespace vistrel {
using thumbs::prefixProblem;

namespace {

// The rule both front ends and the batch apply.
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

}  // namespace
}  // namespace vistrel
