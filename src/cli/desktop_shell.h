#pragma once
// How vistrel-batch opens the first page: with the desktop's default handler, through xdg-open,
// since it has no window system of its own to ask.

#include "run/create_run.h"

namespace vistrel::cli {

class DesktopShell : public run::Shell {
 public:
  // Starts xdg-open on `file` (run::openableName) detached, so the browser outlives the program;
  // true when it started.
  bool openDocument(const std::filesystem::path& file) override;
};

}  // namespace vistrel::cli
