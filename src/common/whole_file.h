#pragma once
// Writing a file so that readers only ever see the old file or the complete new one.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace vistrel {

// Writes `bytes` to a fresh temporary file in `file`'s folder and
// renames it over `file`. On failure the temporary file is removed, `file` is left as it was,
// and std::system_error carries the operating system's error code.
void writeWholeFile(const std::filesystem::path& file, std::string_view bytes);

// Renames the finished file `temp` over `file` in the same folder. When `file` is already a
// regular file, `temp` first takes its permission bits, so replacing a file keeps who may read
// it. Fails with the operating system's error code; `temp` is then left for the caller.
// Why files cannot be made in `folder` (it is gone, not a folder, or not writable for this
// user), as a sentence naming the folder and the reason; nothing when they can.
std::optional<std::string> folderWriteProblem(const std::filesystem::path& folder);

void putInPlace(const std::filesystem::path& temp, const std::filesystem::path& file,
                std::error_code& error);

}  // namespace vistrel
