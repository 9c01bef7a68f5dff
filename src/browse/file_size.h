#pragma once
// How a file's length is shown to the user and in the gallery pages.

#include <string>
#include <string_view>

namespace vistrel::browse {

// `bytes` as digits grouped in threes by the user's locale's group separator (QLocale::system(),
// UTF-8), then " bytes": 1234567 gives "1,234,567 bytes" in English settings. Zero has no
// digits, so 0 gives " bytes". Negative counts keep their minus sign.
std::string FormatFileSize(long long bytes);

// The same with an explicit group separator (UTF-8).
std::string FormatFileSize(long long bytes, std::string_view groupSeparator);

}  // namespace vistrel::browse
