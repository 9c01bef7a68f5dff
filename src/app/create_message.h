#pragma once
// The one message the window shows after Create: short enough to read and to fit the screen,
// with the complete list kept for the message box's details.

#include <filesystem>
#include <string>

#include "run/create_run.h"

namespace vistrel::app {

struct CreateMessage {
  std::string text;  // "" when there is nothing to tell
  // Every problem, one a line, when the text lists only some; then every file removed.
  std::string details;
};

// At most this many problems are listed in the text; the rest are counted ("and N more").
inline constexpr int kListedProblems = 10;

// A first page that was written but that no program took is told in its own words, after the
// other problems, with the page's full path in `folder`.
CreateMessage createMessage(const run::CreateReport& report, const std::filesystem::path& folder);

}  // namespace vistrel::app
