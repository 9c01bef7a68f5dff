#include "common/numbers.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <string>

#include "support/temp_folder.h"

namespace vistrel {
using common::add16;
using common::decimalText;
using common::mul16;
using common::OverflowError;
using common::sub16;
using common::toInt16;
using common::toInt32;
using common::Val;

namespace {

struct ValCase {
  const char* text;
  double expected;
};

TEST(Val, ReadsTheNumberAtTheStartOfText) {
  const ValCase cases[] = {
      {"", 0},       {"abc", 0},    {"150", 150},   {"  150", 150}, {"\t 1 5 0 ", 150},
      {"-12", -12},  {"+7", 7},     {"3.75", 3.75}, {".5", 0.5},    {"1.2.3", 1.2},
      {"12abc", 12}, {"1e3", 1000}, {"1E3", 1000},  {"2D2", 200},   {"2d-1", 0.2},
      {"1e", 1},     {"1e+", 1},    {"&H1F", 31},   {"&hff", 255},  {"&O17", 15},
      {"&O19", 1},   {"&Hxyz", 0},  {"&", 0},       {"-", 0},       {".", 0},
      {"- 5", -5},   {"1,000", 1},  {"0x10", 0},    {"1e-999", 0},  {"-1e999", -HUGE_VAL},
  };
  for (const auto& c : cases) {
    EXPECT_DOUBLE_EQ(Val(c.text), c.expected) << "Val(\"" << c.text << "\")";
  }
}

// The program runs under the user's locale, which QApplication installs from the environment;
// a comma-decimal one must not change what a typed number means.
TEST(Val, ReadsAFullStopUnderACommaDecimalLocale) {
  ASSERT_NE(QCoreApplication::instance(), nullptr);
  const testing::TempFolder locales;
  const std::string compile =
      "localedef -i de_DE -f UTF-8 '" + (locales.path() / "de_DE.UTF-8").string() + "' 2>/dev/null";
  ASSERT_EQ(std::system(compile.c_str()), 0) << "localedef (package locales) is needed";
  setenv("LOCPATH", locales.path().c_str(), 1);
  const std::string before = std::setlocale(LC_ALL, nullptr);
  ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr);
  // The locale really reads a comma: the C library's own reading stops at the full stop.
  EXPECT_EQ(std::strtod("7.5", nullptr), 7.0);
  const ValCase cases[] = {
      {"7.5", 7.5}, {".5", 0.5}, {"-2.25e1", -22.5}, {"7,5", 7}, {"1e999", HUGE_VAL}};
  for (const auto& c : cases) {
    EXPECT_DOUBLE_EQ(Val(c.text), c.expected) << "Val(\"" << c.text << "\")";
  }
  std::setlocale(LC_ALL, before.c_str());
  unsetenv("LOCPATH");
}

TEST(Int16, StoresRoundedValuesAndRefusesOverflow) {
  EXPECT_EQ(toInt16(32767.4), 32767);
  EXPECT_EQ(toInt16(-32768.5), -32768);
  EXPECT_EQ(toInt16(2.5), 2);
  EXPECT_THROW(toInt16(32767.5), OverflowError);
  EXPECT_THROW(toInt16(-32769), OverflowError);
  EXPECT_THROW(toInt16(NAN), OverflowError);
  EXPECT_EQ(add16(32000, 767), 32767);
  EXPECT_THROW(add16(32000, 768), OverflowError);
  EXPECT_THROW(sub16(-32768, 1), OverflowError);
  EXPECT_THROW(mul16(200, 200), OverflowError);
  EXPECT_EQ(mul16(-128, 256), -32768);
  EXPECT_EQ(toInt32(2147483647.0), 2147483647);
  EXPECT_THROW(toInt32(2147483648.0), OverflowError);
  EXPECT_EQ(decimalText(-1234567), "-1234567");
}

}  // namespace
}  // namespace vistrel
