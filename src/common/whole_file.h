#pragma once
// Writing a file so that readers only ever see the old file or the complete new one.

#include <filesystem>
#include <string_view>

namespace vistrel {

// Writes `bytes` to a fresh temporary file in `file`'s folder and
// renames it over `file`. On failure the temporary file is removed, `file` is left as it was,
// and std::system_error carries the operating system's error code.
void writeWholeFile(const std::filesystem::path& file, std::string_view bytes);

}  // namespace vistrel
