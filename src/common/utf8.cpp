#include "common/utf8.h"

#include <cstdio>

namespace vistrel::common {

size_t utf8SequenceLength(std::string_view text) {
  if (text.empty()) {
    return 0;
  }
  const auto at = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = at(0);
  if (lead < 0x80) {
    return 1;
  }
  size_t n = 0;
  // The range of the second byte; the narrower ones refuse overlong forms, surrogates and
  // code points above U+10FFFF.
  unsigned char low = 0x80, high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    n = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    n = 3;
    low = lead == 0xE0 ? 0xA0 : 0x80;
    high = lead == 0xED ? 0x9F : 0xBF;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    n = 4;
    low = lead == 0xF0 ? 0x90 : 0x80;
    high = lead == 0xF4 ? 0x8F : 0xBF;
  } else {
    return 0;
  }
  if (text.size() < n || at(1) < low || at(1) > high) {
    return 0;
  }
  for (size_t k = 2; k < n; ++k) {
    if ((at(k) & 0xC0) != 0x80) {
      return 0;
    }
  }
  return n;
}

char32_t nextCodePoint(std::string_view text, size_t& pos) {
  const size_t n = utf8SequenceLength(text.substr(pos));
  if (n == 0) {
    ++pos;
    return 0xFFFD;
  }
  const auto lead = static_cast<unsigned char>(text[pos]);
  char32_t cp = n == 1 ? lead : n == 2 ? lead & 0x1F : n == 3 ? lead & 0x0F : lead & 0x07;
  for (size_t k = 1; k < n; ++k) {
    cp = (cp << 6) | (static_cast<unsigned char>(text[pos + k]) & 0x3F);
  }
  pos += n;
  return cp;
}

bool isUtf8(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    const size_t n = utf8SequenceLength(text.substr(i));
    if (n == 0) {
      return false;
    }
    i += n;
  }
  return true;
}

size_t characterCount(std::string_view text) {
  size_t count = 0;
  for (size_t i = 0; i < text.size(); ++count) {
    nextCodePoint(text, i);
  }
  return count;
}

size_t tailBytes(std::string_view text, size_t count) {
  size_t pos = text.size();
  while (count > 0 && pos > 0) {
    --pos;
    // Continuation bytes (10xxxxxx) belong to the character that starts before them.
    while (pos > 0 && (static_cast<unsigned char>(text[pos]) & 0xC0) == 0x80) {
      --pos;
    }
    --count;
  }
  return text.size() - pos;
}

size_t cutBefore(std::string_view text, size_t maxBytes) {
  if (maxBytes >= text.size()) {
    return text.size();
  }
  size_t keep = maxBytes;
  while (keep > 0 && (static_cast<unsigned char>(text[keep]) & 0xC0) == 0x80) {
    --keep;
  }
  return keep;
}

std::string escaped(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size();) {
    const auto byte = static_cast<unsigned char>(text[i]);
    const size_t n = utf8SequenceLength(text.substr(i));
    if (n == 0 || byte < 0x20 || byte == 0x7F) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", byte);
      out += hex;
      ++i;
      continue;
    }
    out.append(text.substr(i, n));
    i += n;
  }
  return out;
}

std::string inQuotes(std::string_view text) {
  std::string out = "\"";
  for (const char c : escaped(text)) {
    if (c == '"') {
      out += '\\';
    }
    out += c;
  }
  return out + "\"";
}

}  // namespace vistrel::common
