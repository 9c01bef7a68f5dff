#pragma once
// Whether a thumbnail prefix can stand at the start of a file name in the picture folder: the one
// rule the window, vistrel-batch and the batch itself apply.

#include <optional>
#include <string>
#include <string_view>

namespace vistrel::thumbs {

// Why `prefix` cannot be used, as one line of sentences naming the character; nothing when it
// can. Refused: text that is not UTF-8; a folder separator ("/" or "\"), control characters,
// and the characters < > : " | ? * that the file systems of memory cards and Windows disks do
// not hold in a name; more than common::kPrefixMaxLength characters (code points). An empty
// prefix is allowed here (the batch then protects the pictures themselves); the front ends
// never give one.
std::optional<std::string> prefixProblem(std::string_view prefix);

}  // namespace vistrel::thumbs
