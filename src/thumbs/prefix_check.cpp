#include "thumbs/prefix_check.h"

#include <cstdio>

#include "common/defaults.h"
#include "common/utf8.h"

namespace vistrel::thumbs {
using common::characterCount;
using common::escaped;
using common::inQuotes;
using common::isUtf8;
using common::kPrefixMaxLength;

std::optional<std::string> prefixProblem(std::string_view prefix) {
  if (!isUtf8(prefix)) {
    return "The prefix " + inQuotes(prefix) + " is not UTF-8 text.";
  }
  for (const char c : prefix) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '/' || c == '\\') {
      return "The prefix \"" + escaped(prefix) + "\" holds a folder separator (" +
             std::string(1, c) +
             "); thumbnails are written beside the pictures, so the prefix must be part of a "
             "file name.";
    }
    if (byte < 0x20 || byte == 0x7F) {
      char code[8];
      std::snprintf(code, sizeof code, "%02X", byte);
      return "The prefix holds a control character (code " + std::string(code) +
             "), which a file name cannot hold.";
    }
    if (common::kPrefixForbidden.find(c) != std::string_view::npos) {
      return "The prefix \"" + escaped(prefix) + "\" holds the character " + std::string(1, c) +
             ", which a file name cannot hold on every disk.";
    }
  }
  if (characterCount(prefix) > static_cast<size_t>(kPrefixMaxLength)) {
    return "The prefix " + inQuotes(prefix) + " is longer than " +
           std::to_string(kPrefixMaxLength) + " characters.";
  }
  return std::nullopt;
}

}  // namespace vistrel::thumbs
