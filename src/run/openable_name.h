#pragma once
// A file as the front ends' openers take it (app::Shell, cli::DesktopShell).

#include <QString>
#include <filesystem>

namespace vistrel::run {

// `file` as an opener takes it: its path when that is UTF-8, else a file URL with the path's
// bytes percent-encoded, since a QString cannot carry bytes that are not UTF-8.
QString openableName(const std::filesystem::path& file);

}  // namespace vistrel::run
