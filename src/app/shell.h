#pragma once
// Opening a file or a web address with the desktop's default handler, behind an interface so
// tests can record the calls instead of launching a browser.

#include <QString>
#include <QStringList>

namespace vistrel::app {

class Shell {
 public:
  virtual ~Shell() = default;
  // Opens `fileOrAddress` (an absolute file path, or an address with its scheme) with its default
  // handler. Whether a handler exists is not reported: when none does, nothing happens.
  virtual void ShellDef(const QString& fileOrAddress) = 0;
};

// The desktop's handler, through QDesktopServices.
class DesktopShell : public Shell {
 public:
  void ShellDef(const QString& fileOrAddress) override;
};

// Remembers every call; opens nothing.
class RecordingShell : public Shell {
 public:
  void ShellDef(const QString& fileOrAddress) override { opened.push_back(fileOrAddress); }
  QStringList opened;
};

}  // namespace vistrel::app
