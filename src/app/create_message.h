#pragma once
// The one message the window shows after Create: short enough to read and to fit the screen,
// with the complete list kept for the message box's details.

#include <filesystem>
#include <string>

#include "run/create_run.h"

namespace vistrel::app {

struct CreateMessage {
  std::string text;     // "" when there is nothing to tell
  std::string details;  // every problem, one a line, when the text lists only some
};

// At most this many problems are listed in the text; the rest are counted ("and N more").
inline constexpr int kListedProblems = 10;

// `pageNotOpened` tells that the first page was written but no program took it; it is then the
// report's last problem and is told in its own words, with the page's full path.
CreateMessage createMessage(const run::CreateReport& report, bool pageNotOpened,
                            const std::filesystem::path& folder);

}  // namespace vistrel::app
