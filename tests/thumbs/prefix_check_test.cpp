#include "thumbs/prefix_check.h"

#include <gtest/gtest.h>

namespace vistrel {
using thumbs::prefixProblem;

namespace {

TEST(PrefixProblem, RefusesWhatCannotStartAFileName) {
  for (const char* good : {"th_", "", "..", "T n-1.", "\xC3\xA9_"}) {
    EXPECT_FALSE(prefixProblem(good)) << good;
  }
  for (const char* bad :
       {"a/b", "/", "th\\", "a:b", "a*", "q?", "\"", "<", ">", "|", "\t", "a\x7F"}) {
    const auto problem = prefixProblem(bad);
    ASSERT_TRUE(problem) << bad;
  }
  EXPECT_NE(prefixProblem("th/")->find("folder separator"), std::string::npos);
  EXPECT_FALSE(prefixProblem(std::string_view("a\0b", 3)) == std::nullopt);
}

}  // namespace
}  // namespace vistrel
