#pragma once
// The command line of vistrel-batch: which gallery settings it takes, their ranges and defaults
// (the window's start-up values), and how bad input is told to the user.

#include <string>
#include <string_view>
#include <vector>

#include "gallery/modern_page.h"

namespace vistrel::cli {

// Every gallery setting the window holds in its controls, as the command line gives it.
// Defaults are the window's values at start-up, except `open`, which is off here: a script
// should not start a browser unless asked.
struct BatchOptions {
  std::string folder;          // as given (native bytes), not yet checked
  int maxWidth = 150;          // pixels, 1..1500
  int maxHeight = 150;         // pixels, 1..1500
  int quality = 65;            // 60..100 in steps of 5
  std::string prefix = "th_";  // UTF-8, 1..10 characters, no separator
  int rows = 1;                // 1..100
  int columns = 1;             // 1..100
  int border = 2;              // 0..20
  int padding = 2;             // 0..20
  int spacing = 2;             // 0..20
  bool open = false;           // open Thumb001.html in the default browser afterwards
  bool rebuild = false;        // make every thumbnail again, also those up to date
  gallery::PageStyle style = gallery::PageStyle::Classic;

  bool operator==(const BatchOptions&) const = default;
};

enum class BatchAction { Run, Help, Version, BadInput };

struct ParsedCommandLine {
  BatchAction action = BatchAction::Run;
  BatchOptions options;  // meaningful when action == Run
  std::string error;     // one line, no newline, when action == BadInput
};

// Reads the arguments after the program name. Options take their value as "--rows 3" or
// "--rows=3" (one dash does too); a later option overrides an earlier one, though every value
// given must be allowed; "--" ends the options. Exactly one FOLDER must be given. --help and
// --version win over everything but an unknown option.
ParsedCommandLine parseCommandLine(const std::vector<std::string>& args);

// Why `prefix` cannot name thumbnails, as one line of sentences, or "" when it can: not UTF-8,
// holding a folder separator or a character file names cannot hold (the batch's rule), empty,
// or longer than the window's 10 characters.
std::string prefixProblem(std::string_view prefix);

// The text of --help and --version (each ends in a newline).
std::string usageText();
std::string versionText();

// `text` with control characters and bytes that are not UTF-8 shown as \xNN, so an error
// message stays on one line whatever the user typed.
std::string escaped(std::string_view text);
// escaped(text) in double quotes, inner double quotes preceded by a backslash.
std::string inQuotes(std::string_view text);

}  // namespace vistrel::cli
