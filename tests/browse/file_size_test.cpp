#include "browse/file_size.h"

#include <gtest/gtest.h>

#include <climits>

namespace vistrel {
using browse::FormatFileSize;

namespace {

TEST(FormatFileSize, GroupsDigitsInThreesWithTheSeparatorGiven) {
  const struct {
    long long bytes;
    const char *separator, *text;
  } cases[] = {
      {0, ",", " bytes"},
      {999, ",", "999 bytes"},
      {1000, ",", "1,000 bytes"},
      {1234567890, ",", "1,234,567,890 bytes"},
      {5000000000000LL, ",", "5,000,000,000,000 bytes"},
      {-1234, ",", "-1,234 bytes"},
      {LLONG_MIN, ",", "-9,223,372,036,854,775,808 bytes"},
      {1234567, ".", "1.234.567 bytes"},
      {123, ".", "123 bytes"},
      {1234567, "\xE2\x80\xAF",
       "1\xE2\x80\xAF"
       "234\xE2\x80\xAF"
       "567 bytes"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatFileSize(c.bytes, c.separator), c.text) << c.bytes;
  }
}

}  // namespace
}  // namespace vistrel
