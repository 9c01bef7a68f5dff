#pragma once
// Whether a thumbnail prefix can stand at the start of a file name in the picture folder.

#include <optional>
#include <string>
#include <string_view>

namespace vistrel::thumbs {

// Why `prefix` (UTF-8) cannot be used, as a sentence naming the character; nothing when it can.
// Refused: a folder separator ("/" or "\"), control characters, and the characters < > : " | ? *
// that the file systems of memory cards and Windows disks do not hold in a name. An empty
// prefix is allowed (the batch then protects the pictures themselves).
std::optional<std::string> prefixProblem(std::string_view prefix);

}  // namespace vistrel::thumbs
