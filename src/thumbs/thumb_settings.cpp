#include "thumbs/thumb_settings.h"

#include "common/numbers.h"
#include "thumbs/prefix_check.h"

namespace vistrel::thumbs {
using common::decimalText;
using common::toInt16;
using common::Val;

namespace {

// Length in bytes of the UTF-8 sequence that starts with `lead` (1 for a stray byte).
size_t sequenceLength(unsigned char lead) {
  if (lead >= 0xF0 && lead <= 0xF4) {
    return 4;
  }
  if (lead >= 0xE0) {
    return lead <= 0xEF ? 3 : 1;
  }
  if (lead >= 0xC2) {
    return 2;
  }
  return 1;
}

bool wellFormed(std::string_view s) {
  if (s.size() == 1) {
    return static_cast<unsigned char>(s[0]) < 0x80;
  }
  for (size_t i = 1; i < s.size(); ++i) {
    if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
      return false;
    }
  }
  return true;
}

}  // namespace

ThumbnailBoxCorrection correctThumbnailBox(std::string_view text, int spinValue) {
  ThumbnailBoxCorrection c{std::string(text), static_cast<int16_t>(spinValue)};
  const double v = Val(text);
  if (v < kThumbnailMin || v > kThumbnailMax) {
    c.text = decimalText(spinValue);
  }
  c.value = toInt16(Val(c.text));
  return c;
}

std::string correctPrefix(std::string_view text, std::string_view lastAccepted) {
  std::string kept;
  int characters = 0;
  for (size_t i = 0; i < text.size() && characters < kPrefixMaxLength;) {
    size_t n = sequenceLength(static_cast<unsigned char>(text[i]));
    if (i + n > text.size()) {
      n = text.size() - i;
    }
    const std::string_view seq = text.substr(i, n);
    i += n;
    // Bytes that are not well-formed UTF-8 cannot be shown or named reliably: dropped too.
    if (!wellFormed(seq) || prefixProblem(seq)) {
      continue;
    }
    kept.append(seq);
    ++characters;
  }
  if (kept.empty()) {
    return std::string(lastAccepted);
  }
  return kept;
}

}  // namespace vistrel::thumbs
