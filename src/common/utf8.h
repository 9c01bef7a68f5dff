#pragma once
// UTF-8 text as every module reads it: one rule for what is well-formed (no overlong forms, no
// surrogates, nothing above U+10FFFF), for what a character is (a code point), and for how bytes
// that are not UTF-8 are shown.

#include <cstddef>
#include <string>
#include <string_view>

namespace vistrel::common {

// Length in bytes of the well-formed UTF-8 character that starts `text`; 0 when none does
// (empty text, a stray or truncated sequence).
size_t utf8SequenceLength(std::string_view text);

// The character at `pos`, moving `pos` past it. A byte that does not start a well-formed
// character gives U+FFFD and moves `pos` by one byte, so no byte is skipped unseen.
// `pos` must be less than text.size().
char32_t nextCodePoint(std::string_view text, size_t& pos);

bool isUtf8(std::string_view text);

// Characters (code points) in `text`; each byte that is not part of a well-formed character
// counts as one.
size_t characterCount(std::string_view text);

// Byte length of the last `count` characters of `text` (all of it when it has fewer).
size_t tailBytes(std::string_view text, size_t count);

// The largest length not above `maxBytes` that does not cut a character of `text` in two.
size_t cutBefore(std::string_view text, size_t maxBytes);

// `text` with control characters and bytes that are not well-formed UTF-8 shown as \xNN, so a
// message stays on one line and readable whatever a user typed or a file name holds.
std::string escaped(std::string_view text);
// escaped(text) in double quotes, inner double quotes preceded by a backslash.
std::string inQuotes(std::string_view text);

}  // namespace vistrel::common
