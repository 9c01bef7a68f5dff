#include "app/start_command.h"

#include "app/toolkit/lists.h"

#include <QDir>
#include <QTimer>
#include <filesystem>
#include <system_error>

#include "app/form1.h"
#include "browse/folder_read.h"
#include "common/version.h"

namespace vistrel::app {
using common::kVersion;

StartCommand readStartCommand(const QStringList& args) {
  StartCommand command;
  QStringList folders;
  bool options = true;
  for (const QString& arg : args) {
    if (options && (arg == QLatin1String("--help") || arg == QLatin1String("-h"))) {
      return {StartCommand::Action::Help, {}, {}};
    }
    if (options && arg == QLatin1String("--version")) {
      return {StartCommand::Action::Version, {}, {}};
    }
    if (options && arg == QLatin1String("--")) {
      options = false;
    } else if (options && arg.startsWith(QLatin1Char('-')) && arg.size() > 1) {
      if (command.error.isEmpty()) {
        command.error = QStringLiteral("vistrel: unknown option \"%1\" (see --help)").arg(arg);
      }
    } else {
      folders.push_back(arg);
    }
  }
  if (command.error.isEmpty() && folders.size() > 1) {
    command.error =
        QStringLiteral("vistrel: more than one FOLDER given (\"%1\", \"%2\"): give at most one")
            .arg(folders[0], folders[1]);
  }
  if (!command.error.isEmpty()) {
    command.action = StartCommand::Action::BadInput;
  } else if (!folders.isEmpty()) {
    command.folder = folders.front();
  }
  return command;
}

QString startUsageText() {
  return QStringLiteral(
      "Usage: vistrel [FOLDER]\n"
      "\n"
      "Opens the Vistrel window on FOLDER, or on the current folder without one, to make a web\n"
      "gallery of its JPEG and GIF pictures. vistrel-batch makes the same gallery without the\n"
      "window.\n"
      "\n"
      "Options:\n"
      "  -h, --help     show this text\n"
      "  --version      show the version\n");
}

QString startVersionText() {
  return QStringLiteral("vistrel %1\n").arg(QLatin1String(kVersion));
}

StartFolder chooseStartFolder(const std::filesystem::path& given,
                              const std::filesystem::path& current) {
  if (given.empty()) {
    return {current, {}};
  }
  std::filesystem::path path = (given.is_absolute() ? given : current / given).lexically_normal();
  if (path.has_relative_path() && !path.has_filename()) {
    path = path.parent_path();
  }
  std::error_code ec;
  const std::filesystem::file_status status = std::filesystem::status(path, ec);
  QString why;
  if (status.type() == std::filesystem::file_type::not_found) {
    why = QStringLiteral("it does not exist");
  } else if (ec) {
    // A folder on the way that may not be entered, a name too long, ...
    why = QStringLiteral("it cannot be reached (%1)").arg(QString::fromStdString(ec.message()));
  } else if (!std::filesystem::is_directory(status)) {
    why = QStringLiteral("it is not a folder");
  } else if (const browse::FolderContents contents = browse::readFolder(path); !contents.ok) {
    why = QStringLiteral("it cannot be read (%1)").arg(QString::fromStdString(contents.reason));
  } else {
    return {path, {}};
  }
  return {current, QStringLiteral("Vistrel cannot open the folder \"%1\": %2.")
                       .arg(toolkit::displayName(path.native()), why)};
}

std::filesystem::path folderArgument(int argc, char** argv) {
  bool options = true;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (options && arg == "--") {
      options = false;
    } else if (!options || arg.empty() || arg[0] != '-') {
      return arg;
    }
  }
  return {};
}

void showStartWindow(Form1& window, const StartFolder& start) {
  window.show();
  if (!start.problem.isEmpty()) {
    // Queued, so the message stands over a window that is already drawn.
    QTimer::singleShot(0, &window, [&window, problem = start.problem] {
      window.showMessage(
          QStringLiteral("Vistrel"),
          QStringLiteral("%1\n\nIt shows %2 instead.").arg(problem, window.folderShown()));
    });
  }
}

}  // namespace vistrel::app
