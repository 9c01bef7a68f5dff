#pragma once
// The desktop's default handler, the one both front ends open pages and addresses with.

#include <QString>

#include "run/create_run.h"

namespace vistrel::run {

// `file` as an opener takes it: its path when that is UTF-8, else a file URL with the path's
// bytes percent-encoded, since a QString cannot carry bytes that are not UTF-8.
QString openableName(const std::filesystem::path& file);

class DesktopShell : public Shell {
 public:
  // Opens `fileOrAddress` (an absolute file path, or an address with its scheme) with its
  // default handler; true when a handler took it. In the window through QDesktopServices; in
  // vistrel-batch, which has no window system, by starting xdg-open detached, so the browser
  // outlives the program.
  static bool open(const QString& fileOrAddress);
  bool openDocument(const std::filesystem::path& file) override;
};

}  // namespace vistrel::run
