#include "cli/batch_options.h"

#include "cli/option_table.h"
#include "common/version.h"
#include "thumbs/prefix_check.h"

#include <QCommandLineParser>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>

namespace vistrel::cli {
using common::kQualityStep;
using gallery::Originals;
using gallery::PageStyle;
using gallery::pageStyleName;

namespace {

const char* const kProgram = "vistrel-batch";

using K = OptionKind;

// Whole decimal numbers only: "1e2", "0x10", "12px" and " 5" are refused rather than read the
// way the window's text boxes forgive them, because a script that passes them has a bug.
std::optional<long long> wholeNumber(std::string_view text) {
  size_t pos = 0;
  bool negative = false;
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
    negative = text[0] == '-';
    pos = 1;
  }
  if (pos == text.size()) {
    return std::nullopt;
  }
  long long value = 0;
  for (; pos < text.size(); ++pos) {
    if (text[pos] < '0' || text[pos] > '9') {
      return std::nullopt;
    }
    // Anything past a million is out of every range; stop growing before it can overflow.
    if (value < 1000000) {
      value = value * 10 + (text[pos] - '0');
    }
  }
  return negative ? -value : value;
}

std::string badValue(const OptionSpec& spec, std::string_view value) {
  return std::string(kProgram) + ": " + std::string(spec.name) + " " + inQuotes(value) +
         " is not allowed: give " + allowedValues(spec);
}

std::string optionList() {
  std::string list;
  for (const auto& spec : optionTable()) {
    list += (list.empty() ? "" : ", ") + std::string(spec.name);
  }
  return list;
}

// Applies one option's value; returns the error line, or "" when the value is accepted.
std::string apply(const OptionSpec& spec, std::string_view value, BatchOptions& options) {
  switch (spec.kind) {
    case K::Range:
    case K::Quality: {
      const auto number = wholeNumber(value);
      if (!number || *number < spec.low || *number > spec.high ||
          (spec.kind == K::Quality && *number % kQualityStep != 0)) {
        return badValue(spec, value);
      }
      options.*spec.number = static_cast<int>(*number);
      return "";
    }
    case K::Prefix: {
      std::optional<std::string> problem = thumbs::prefixProblem(value);
      if (value.empty()) {
        problem = "The prefix is empty, so a thumbnail could replace its own picture.";
      }
      if (problem) {
        return std::string(kProgram) + ": " + std::string(spec.name) + ": " + *problem + " Give " +
               allowedValues(spec) + ".";
      }
      options.prefix = std::string(value);
      return "";
    }
    case K::Flag:
      options.*spec.flag = true;
      return "";
    case K::Help:
    case K::Version:
      return "";
    case K::Originals:
      if (value == originalsName(Originals::Link)) {
        options.originals = Originals::Link;
      } else if (value == originalsName(Originals::None)) {
        options.originals = Originals::None;
      } else {
        return badValue(spec, value);
      }
      return "";
    case K::Title:
      options.title = std::string(value);
      return "";
    case K::Order:
      if (const auto order = browse::pictureOrderNamed(value)) {
        options.order = *order;
        return "";
      }
      return badValue(spec, value);
    case K::Style:
      if (value == pageStyleName(PageStyle::Classic)) {
        options.style = PageStyle::Classic;
      } else if (value == pageStyleName(PageStyle::Modern)) {
        options.style = PageStyle::Modern;
      } else {
        return badValue(spec, value);
      }
      return "";
    case K::Types:
      if (value == pictureTypesName(imaging::PictureTypes::JpegGif)) {
        options.types = imaging::PictureTypes::JpegGif;
      } else if (value == pictureTypesName(imaging::PictureTypes::All)) {
        options.types = imaging::PictureTypes::All;
      } else {
        return badValue(spec, value);
      }
      return "";
  }
  return "";
}

QString latin1(std::string_view text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

std::string bytes(const QString& text) {
  return text.toLatin1().toStdString();
}

// The option as a user would have typed it: Qt gives names without their dashes.
std::string dashed(const QString& name) {
  return (name.size() == 1 ? "-" : "--") + bytes(name);
}

bool takesValue(const OptionSpec& spec) {
  return !spec.valueName.empty();
}

std::string errorLine(const std::string& text) {
  return std::string(kProgram) + ": " + text;
}

void addOptions(QCommandLineParser& parser) {
  // "-rows" reads as "--rows"; a word is never taken as a row of one-letter options.
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  for (const auto& spec : optionTable()) {
    QStringList names{latin1(spec.name.substr(2))};
    if (spec.kind == K::Help) {
      names.prepend(QStringLiteral("h"));
    }
    QCommandLineOption option(names);
    if (takesValue(spec)) {
      option.setValueName(QStringLiteral("VALUE"));
    }
    parser.addOption(option);
  }
}

// Each option's values in the order given; every one is checked, the last one counts. Returns
// the error line of the first value refused, or "".
std::string applyValues(const QCommandLineParser& parser, BatchOptions& options) {
  const auto table = optionTable();
  std::vector<int> seen(table.size(), 0);
  for (const QString& name : parser.optionNames()) {
    for (size_t k = 0; k < table.size(); ++k) {
      const OptionSpec& spec = table[k];
      if (latin1(spec.name.substr(2)) != name) {
        continue;
      }
      const QStringList values = parser.values(name);
      const int index = seen[k]++;
      // Qt takes the next argument whatever it is, so only the last option can lack its value.
      if (takesValue(spec) && index >= values.size()) {
        return errorLine(std::string(spec.name) + " needs a value: give " + allowedValues(spec));
      }
      const std::string value = takesValue(spec) ? bytes(values[index]) : "";
      if (std::string error = apply(spec, value, options); !error.empty()) {
        return error;
      }
    }
  }
  return "";
}

// Neither an unknown option nor a missing value, yet Qt refused the arguments: a flag's value
// ("--open=yes"). Which flag it was is found in the arguments, since Qt tells it only in words.
std::string flagValueError(const std::vector<std::string>& args) {
  const auto table = optionTable();
  const auto flag = std::find_if(table.begin(), table.end(), [&](const OptionSpec& spec) {
    return spec.kind == K::Flag &&
           std::any_of(args.begin(), args.end(), [&](const std::string& arg) {
             const std::string_view word(arg);
             const size_t dashes = word.rfind("--", 0) == 0 ? 2 : 1;
             return word.substr(dashes).rfind(std::string(spec.name.substr(2)) + "=", 0) == 0;
           });
  });
  return errorLine((flag != table.end() ? std::string(flag->name) : "an option") +
                   " takes no value");
}

}  // namespace

// QCommandLineParser splits the arguments (both spellings of a value, "--", repeated options,
// the folder); the messages and the checks of the values are ours, since the documented
// one-line errors name the option and its allowed values. Each argument goes in as Latin-1, one
// character a byte, so a folder or prefix that is not UTF-8 comes back byte for byte.
ParsedCommandLine parseCommandLine(const std::vector<std::string>& args) {
  ParsedCommandLine result;
  auto fail = [&](std::string line) {
    result.action = BatchAction::BadInput;
    result.error = std::move(line);
    return result;
  };
  QCommandLineParser parser;
  addOptions(parser);
  QStringList arguments{QString::fromLatin1(kProgram)};
  for (const auto& arg : args) {
    arguments.append(latin1(arg));
  }
  const bool parsed = parser.parse(arguments);

  if (const QStringList unknown = parser.unknownOptionNames(); !unknown.isEmpty()) {
    return fail(errorLine("unknown option " + inQuotes(dashed(unknown.front())) +
                          ": the options are " + optionList()));
  }
  if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("version"))) {
    result.action = parser.isSet(QStringLiteral("help")) ? BatchAction::Help : BatchAction::Version;
    return result;
  }
  if (std::string error = applyValues(parser, result.options); !error.empty()) {
    return fail(std::move(error));
  }
  if (!parsed) {
    return fail(flagValueError(args));
  }
  const QStringList folders = parser.positionalArguments();
  if (folders.isEmpty()) {
    return fail(errorLine("no FOLDER given: usage is " + std::string(kProgram) +
                          " [options] FOLDER (see --help)"));
  }
  if (folders.size() > 1) {
    return fail(errorLine("more than one FOLDER given (" + inQuotes(bytes(folders[0])) + ", " +
                          inQuotes(bytes(folders[1])) + "): give exactly one"));
  }
  result.options.folder = bytes(folders[0]);
  return result;
}

std::string versionText() {
  return std::string(kProgram) + " " + vistrel::common::kVersion + "\n";
}

std::string usageText() {
  return R"(Usage: vistrel-batch [options] FOLDER

Makes a web gallery of the JPEG and GIF pictures in FOLDER (*.jpg, *.gif, letter case
ignored, hidden files left out, in name order unless --sort says otherwise): one JPEG
thumbnail per picture and the pages Thumb001.html onward, exactly as the Vistrel
window's Create writes them. Run it again after a change: up-to-date thumbnails and
unchanged pages are kept, and thumbnails and pages the gallery no longer has are
removed. Files Vistrel did not write are never replaced or removed.

Options (defaults are the window's start-up values):
)" + optionUsage() +
         R"(
Exit status: 0 when every picture and page was written, 1 when some picture was
skipped or is damaged, a page could not be written or captions.txt or introduction.txt
could not be read, 2 on bad input (nothing is written then).
)";
}

}  // namespace vistrel::cli
