#pragma once
// Opening a file or a web address with the desktop's default handler, behind an interface so
// tests can record the calls instead of launching a browser. The Create run opens its first page
// through the same object.

#include <QString>

#include "run/create_run.h"

namespace vistrel::app {

// By default the desktop's handler, through Qt; tests override ShellDef.
class Shell : public vistrel::run::Shell {
 public:
  // Opens `fileOrAddress` (an absolute file path, or an address with its scheme) with its default
  // handler; true when a handler took it.
  virtual bool ShellDef(const QString& fileOrAddress);
  bool openDocument(const std::filesystem::path& file) override;
};

}  // namespace vistrel::app
