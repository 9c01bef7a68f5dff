#pragma once
// The command line of the window program, `vistrel [FOLDER]`, and the folder it starts on.

#include <QString>
#include <QStringList>
#include <filesystem>

namespace vistrel::app {

class Form1;

struct StartCommand {
  enum class Action { Open, Help, Version, BadInput };
  Action action = Action::Open;
  QString folder;  // FOLDER as given; empty when none was
  QString error;   // for BadInput: one line naming the problem
};

// Reads the arguments after the program name. --help (-h) and --version win wherever they
// stand; "--" ends the options; at most one FOLDER.
StartCommand readStartCommand(const QStringList& args);

// The usage text of --help and the line of --version (each ends in a newline).
QString startUsageText();
QString startVersionText();

struct StartFolder {
  std::filesystem::path folder;  // absolute; the folder the window opens on
  QString problem;               // why the given FOLDER is not used, one sentence; empty when it is
};

// The folder to open: `given` made absolute against `current` when it can be listed, else
// `current` with the reason. Without `given`, `current`. Paths are the system's bytes, so a
// folder whose name is not UTF-8 opens too.
StartFolder chooseStartFolder(const std::filesystem::path& given,
                              const std::filesystem::path& current);

// FOLDER's own bytes among the arguments after the program name (what readStartCommand read as
// text), or an empty path when none was given.
std::filesystem::path folderArgument(int argc, char** argv);

// Shows `window` and, when the start folder was refused, tells the user why and which folder
// is shown instead: one message, after the window is up, through the window's message box.
void showStartWindow(Form1& window, const StartFolder& start);

}  // namespace vistrel::app
