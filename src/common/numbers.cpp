#include "common/numbers.h"

#include <cfenv>
#include <charconv>
#include <cmath>
#include <limits>

namespace vistrel::common {

namespace {

bool isBlank(char c) {
  return c == ' ' || c == '\t';
}

// Copies the characters that matter out of `text`, dropping blanks and tabs.
std::string withoutBlanks(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (!isBlank(c)) {
      out.push_back(c);
    }
  }
  return out;
}

double readRadix(const std::string& s, size_t pos, int radix) {
  double value = 0;
  for (; pos < s.size(); ++pos) {
    char c = s[pos];
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (radix == 16 && c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (radix == 16 && c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      break;
    }
    if (digit >= radix) {
      break;
    }
    value = value * radix + digit;
  }
  return value;
}

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

double Val(std::string_view text) {
  const std::string s = withoutBlanks(text);
  if (s.size() >= 2 && s[0] == '&') {
    if (s[1] == 'H' || s[1] == 'h') {
      return readRadix(s, 2, 16);
    }
    if (s[1] == 'O' || s[1] == 'o') {
      return readRadix(s, 2, 8);
    }
    return 0;
  }
  // Collect the longest prefix that reads as a decimal number, in the C locale's syntax.
  std::string number;
  size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
    number.push_back(s[i++]);
  }
  bool anyDigit = false;
  while (i < s.size() && isDigit(s[i])) {
    number.push_back(s[i++]);
    anyDigit = true;
  }
  if (i < s.size() && s[i] == '.') {
    number.push_back(s[i++]);
    while (i < s.size() && isDigit(s[i])) {
      number.push_back(s[i++]);
      anyDigit = true;
    }
  }
  if (!anyDigit) {
    return 0;
  }
  if (i < s.size() && (s[i] == 'E' || s[i] == 'e' || s[i] == 'D' || s[i] == 'd')) {
    size_t j = i + 1;
    std::string exponent = "e";
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) {
      exponent.push_back(s[j++]);
    }
    bool expDigit = false;
    while (j < s.size() && isDigit(s[j])) {
      exponent.push_back(s[j++]);
      expDigit = true;
    }
    if (expDigit) {
      number += exponent;
    }
  }
  // from_chars reads the full stop whatever the locale; strtod would follow LC_NUMERIC, which
  // QApplication takes from the environment (a German locale reads "7.5" as 7).
  double value = 0;
  const char* first = number.data();
  const char* last = number.data() + number.size();
  if (*first == '+') {
    ++first;
  }
  const auto error = std::from_chars(first, last, value).ec;
  if (error == std::errc::result_out_of_range) {
    // Too large becomes infinity and too small zero, with the sign kept, as strtod gives.
    const bool negative = number[0] == '-';
    const bool tooSmall = number.find("e-") != std::string::npos;
    value = tooSmall ? 0.0 : HUGE_VAL;
    return negative ? -value : value;
  }
  return value;
}

double roundHalfEven(double value) {
  // nearbyint follows the rounding mode; to-nearest is ties-to-even.
  const int mode = std::fegetround();
  if (mode != FE_TONEAREST) {
    std::fesetround(FE_TONEAREST);
  }
  const double r = std::nearbyint(value);
  if (mode != FE_TONEAREST) {
    std::fesetround(mode);
  }
  return r;
}

int16_t toInt16(double value) {
  const double r = roundHalfEven(value);
  if (!(r >= -32768.0 && r <= 32767.0)) {
    throw OverflowError("overflow: value does not fit in 16 bits");
  }
  return static_cast<int16_t>(r);
}

int32_t toInt32(double value) {
  const double r = roundHalfEven(value);
  if (!(r >= static_cast<double>(std::numeric_limits<int32_t>::min()) &&
        r <= static_cast<double>(std::numeric_limits<int32_t>::max()))) {
    throw OverflowError("overflow: value does not fit in 32 bits");
  }
  return static_cast<int32_t>(r);
}

namespace {
int16_t checked16(long long v) {
  if (v < -32768 || v > 32767) {
    throw OverflowError("overflow: 16-bit arithmetic result out of range");
  }
  return static_cast<int16_t>(v);
}
}  // namespace

int16_t add16(int32_t a, int32_t b) {
  return checked16(static_cast<long long>(a) + b);
}
int16_t sub16(int32_t a, int32_t b) {
  return checked16(static_cast<long long>(a) - b);
}
int16_t mul16(int32_t a, int32_t b) {
  return checked16(static_cast<long long>(a) * b);
}

std::string decimalText(long long value) {
  return std::to_string(value);
}

std::optional<long> readDecimal(std::string_view text) {
  long value = 0;
  if (text.empty() || (text[0] == '0' && text.size() > 1) ||
      text.find_first_not_of("0123456789") != std::string_view::npos ||
      std::from_chars(text.data(), text.data() + text.size(), value).ec != std::errc()) {
    return std::nullopt;
  }
  return value;
}

}  // namespace vistrel::common
