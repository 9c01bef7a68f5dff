#pragma once
// Turning the encodings metadata is stored in into UTF-8: each reader decodes by what its block
// declares, and every later step (the caption, the facts) sees UTF-8 only.

#include <string>
#include <string_view>

namespace vistrel::imaging {

// Appends `cp` as UTF-8; a surrogate or a value past U+10FFFF appends U+FFFD.
void appendUtf8(std::string& out, char32_t cp);

// Each byte is the character of the same number (ISO 8859-1).
std::string latin1ToUtf8(std::string_view bytes);

// Text a tag declares as ASCII: writers put UTF-8 there, older ones Latin-1. Well-formed UTF-8
// is taken as it is, anything else read as Latin-1.
std::string utf8OrLatin1(std::string_view bytes);

// Little-endian UTF-16 up to its first zero character; an odd last byte is dropped and a
// surrogate without its partner gives U+FFFD.
std::string utf16leToUtf8(std::string_view bytes);

// `bytes` up to its first zero byte: tags are zero-terminated, and some writers pad with zeros.
std::string_view beforeZero(std::string_view bytes);

}  // namespace vistrel::imaging
