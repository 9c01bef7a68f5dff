#pragma once
// Number reading and writing shared by every subsystem: how text becomes a number, how a
// fraction becomes a whole number, and how a number becomes text.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace vistrel::common {

// Reads the number at the start of `text`. Blanks and tabs are skipped wherever they stand; an
// optional sign, digits, at most one full stop and an optional exponent (E or D, optional sign,
// digits) are read; "&H" or "&O" reads a hexadecimal or octal whole number. Reading stops at the
// first character that does not fit; text without a number reads as 0.
double Val(std::string_view text);

// Nearest whole number, halves to the even neighbour (2.5 -> 2, 3.5 -> 4, -2.5 -> -2).
double roundHalfEven(double value);

// Thrown when a value does not fit the signed range it must be stored in (16 or 32 bits, as the
// function that throws says).
class OverflowError : public std::overflow_error {
 public:
  using std::overflow_error::overflow_error;
};

// Rounds half-even and stores in 16 bits; values outside -32768..32767 throw OverflowError.
int16_t toInt16(double value);
// Rounds half-even and stores in 32 bits; values outside the int32 range throw OverflowError.
int32_t toInt32(double value);

// 16-bit signed arithmetic that throws OverflowError instead of wrapping.
int16_t add16(int32_t a, int32_t b);
int16_t sub16(int32_t a, int32_t b);
int16_t mul16(int32_t a, int32_t b);

// Plain decimal digits, a minus sign when negative, no leading blank, no group separators.
std::string decimalText(long long value);
// A whole number >= 0 written as decimalText writes it (digits, no leading zero, no sign), read
// back; nothing for any other text or one past `long`.
std::optional<long> readDecimal(std::string_view text);

}  // namespace vistrel::common
