#pragma once
// Writing a file so that readers only ever see the old file or the complete new one.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace vistrel::common {

// Writes `bytes` to a fresh temporary file in `file`'s folder and
// renames it over `file`. On failure the temporary file is removed, `file` is left as it was,
// and std::system_error carries the operating system's error code.
void writeWholeFile(const std::filesystem::path& file, std::string_view bytes);

// The two halves of writeWholeFile, for callers that put several files in place together.
// writeTemporaryFor writes `bytes` to a fresh hidden file beside `file` and returns its path (on
// failure nothing is left and std::system_error is thrown). putInPlace renames `temporary` over
// `file`, keeping the permissions of the file it replaces; on failure it removes `temporary`
// and throws std::system_error.
std::filesystem::path writeTemporaryFor(const std::filesystem::path& file, std::string_view bytes);
void putInPlace(const std::filesystem::path& temporary, const std::filesystem::path& file);

// Why files cannot be made in `folder` (it is gone, not a folder, or not writable for this
// user), as the system's error; none when they can.
std::error_code folderWriteError(const std::filesystem::path& folder);

}  // namespace vistrel::common
