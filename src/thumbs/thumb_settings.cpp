#include "thumbs/thumb_settings.h"

#include "common/defaults.h"
#include "common/numbers.h"
#include "common/utf8.h"
#include "thumbs/prefix_check.h"

namespace vistrel::thumbs {
using common::decimalText;
using common::kPrefixMaxLength;
using common::kThumbnailMax;
using common::kThumbnailMin;
using common::toInt16;
using common::utf8SequenceLength;
using common::Val;

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
    const size_t n = utf8SequenceLength(text.substr(i));
    // A byte that is not part of a well-formed character cannot be shown or named reliably.
    if (n == 0) {
      ++i;
      continue;
    }
    const std::string_view character = text.substr(i, n);
    i += n;
    if (prefixProblem(character)) {
      continue;
    }
    kept.append(character);
    ++characters;
  }
  if (kept.empty()) {
    return std::string(lastAccepted);
  }
  return kept;
}

}  // namespace vistrel::thumbs
