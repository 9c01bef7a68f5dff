#pragma once
// A shell for tests: it remembers every call and opens nothing.

#include <QStringList>

#include "app/shell.h"

namespace vistrel::app {

class RecordingShell : public Shell {
 public:
  bool ShellDef(const QString& fileOrAddress) override {
    opened.push_back(fileOrAddress);
    return answer;
  }
  QStringList opened;
  bool answer = true;  // what a handler says
};

}  // namespace vistrel::app
