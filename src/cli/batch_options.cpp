#include "cli/batch_options.h"

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
using common::kQualityMax;
using common::kQualityMin;
using common::kTableCountMax;
using common::kTableCountMin;
using common::kTableSpacingMax;
using common::kTableSpacingMin;
using common::kThumbnailMax;
using common::kThumbnailMin;
using gallery::PageStyle;
using gallery::pageStyleName;

namespace {

const char* const kProgram = "vistrel-batch";

enum class Kind { Range, Quality, Prefix, Flag, Style };

struct OptionSpec {
  std::string_view name;
  Kind kind;
  int low;
  int high;
  int BatchOptions::*number;  // for Range and Quality
};

const std::array<OptionSpec, 12> kOptions = {{
    {"--max-width", Kind::Range, kThumbnailMin, kThumbnailMax, &BatchOptions::maxWidth},
    {"--max-height", Kind::Range, kThumbnailMin, kThumbnailMax, &BatchOptions::maxHeight},
    {"--quality", Kind::Quality, kQualityMin, kQualityMax, &BatchOptions::quality},
    {"--prefix", Kind::Prefix, 0, 0, nullptr},
    {"--rows", Kind::Range, kTableCountMin, kTableCountMax, &BatchOptions::rows},
    {"--columns", Kind::Range, kTableCountMin, kTableCountMax, &BatchOptions::columns},
    {"--border", Kind::Range, kTableSpacingMin, kTableSpacingMax, &BatchOptions::border},
    {"--padding", Kind::Range, kTableSpacingMin, kTableSpacingMax, &BatchOptions::padding},
    {"--spacing", Kind::Range, kTableSpacingMin, kTableSpacingMax, &BatchOptions::spacing},
    {"--style", Kind::Style, 0, 0, nullptr},
    {"--open", Kind::Flag, 0, 0, nullptr},
    {"--rebuild", Kind::Flag, 0, 0, nullptr},
}};

std::string allowedValues(const OptionSpec& spec) {
  switch (spec.kind) {
    case Kind::Range:
      return "a whole number from " + std::to_string(spec.low) + " to " + std::to_string(spec.high);
    case Kind::Quality: {
      std::string list = "one of ";
      for (int q = spec.low; q <= spec.high; q += 5) {
        list += std::to_string(q);
        list += q < spec.high ? ", " : "";
      }
      return list;
    }
    case Kind::Prefix:
      return "1 to 10 characters, none of them / \\ < > : \" | ? * or a control character";
    case Kind::Flag:
      return "no value";
    case Kind::Style:
      return "classic or modern";
  }
  return "";
}

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
  for (const auto& spec : kOptions) {
    list += std::string(spec.name) + ", ";
  }
  return list + "--help, --version";
}

// Applies one option's value; returns the error line, or "" when the value is accepted.
std::string apply(const OptionSpec& spec, std::string_view value, BatchOptions& options) {
  switch (spec.kind) {
    case Kind::Range:
    case Kind::Quality: {
      const auto number = wholeNumber(value);
      if (!number || *number < spec.low || *number > spec.high ||
          (spec.kind == Kind::Quality && *number % 5 != 0)) {
        return badValue(spec, value);
      }
      options.*spec.number = static_cast<int>(*number);
      return "";
    }
    case Kind::Prefix: {
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
    case Kind::Flag:
      (spec.name == "--open" ? options.open : options.rebuild) = true;
      return "";
    case Kind::Style:
      if (value == pageStyleName(PageStyle::Classic)) {
        options.style = PageStyle::Classic;
      } else if (value == pageStyleName(PageStyle::Modern)) {
        options.style = PageStyle::Modern;
      } else {
        return badValue(spec, value);
      }
      return "";
  }
  return "";
}

}  // namespace

namespace {

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
  // "-rows" reads as "--rows"; a word is never taken as a row of one-letter options.
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
  const QCommandLineOption version(QStringLiteral("version"));
  parser.addOption(help);
  parser.addOption(version);
  for (const auto& spec : kOptions) {
    QCommandLineOption option(latin1(spec.name.substr(2)));
    if (spec.kind != Kind::Flag) {
      option.setValueName(QStringLiteral("VALUE"));
    }
    parser.addOption(option);
  }
  QStringList arguments{QString::fromLatin1(kProgram)};
  for (const auto& arg : args) {
    arguments.append(latin1(arg));
  }
  const bool parsed = parser.parse(arguments);

  if (const QStringList unknown = parser.unknownOptionNames(); !unknown.isEmpty()) {
    return fail(std::string(kProgram) + ": unknown option " + inQuotes(dashed(unknown.front())) +
                ": the options are " + optionList());
  }
  if (parser.isSet(help)) {
    result.action = BatchAction::Help;
    return result;
  }
  if (parser.isSet(version)) {
    result.action = BatchAction::Version;
    return result;
  }
  // Each option's values in the order given; every one is checked, the last one counts.
  std::vector<int> seen(kOptions.size(), 0);
  for (const QString& name : parser.optionNames()) {
    for (size_t k = 0; k < kOptions.size(); ++k) {
      const OptionSpec& spec = kOptions[k];
      if (latin1(spec.name.substr(2)) != name) {
        continue;
      }
      const QStringList values = parser.values(name);
      const int index = seen[k]++;
      // Qt takes the next argument whatever it is, so only the last option can lack its value.
      if (spec.kind != Kind::Flag && index >= values.size()) {
        return fail(std::string(kProgram) + ": " + std::string(spec.name) +
                    " needs a value: give " + allowedValues(spec));
      }
      const std::string value = spec.kind == Kind::Flag ? "" : bytes(values[index]);
      if (std::string error = apply(spec, value, result.options); !error.empty()) {
        return fail(std::move(error));
      }
    }
  }
  if (!parsed) {
    // Neither an unknown option nor a missing value: Qt refused a flag's value ("--open=yes").
    // Which flag it was is found in the arguments, since Qt tells it only in words.
    const auto flag = std::find_if(kOptions.begin(), kOptions.end(), [&](const OptionSpec& spec) {
      return spec.kind == Kind::Flag &&
             std::any_of(args.begin(), args.end(), [&](const std::string& arg) {
               const std::string_view word(arg);
               const size_t dashes = word.rfind("--", 0) == 0 ? 2 : 1;
               return word.substr(dashes).rfind(std::string(spec.name.substr(2)) + "=", 0) == 0;
             });
    });
    return fail(std::string(kProgram) + ": " +
                (flag != kOptions.end() ? std::string(flag->name) : "an option") +
                " takes no value");
  }
  const QStringList folders = parser.positionalArguments();
  if (folders.isEmpty()) {
    return fail(std::string(kProgram) + ": no FOLDER given: usage is " + kProgram +
                " [options] FOLDER (see --help)");
  }
  if (folders.size() > 1) {
    return fail(std::string(kProgram) + ": more than one FOLDER given (" +
                inQuotes(bytes(folders[0])) + ", " + inQuotes(bytes(folders[1])) +
                "): give exactly one");
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
ignored, hidden files left out, in name order): one JPEG thumbnail per picture and the pages
Thumb001.html onward, exactly as the Vistrel window's Create writes them. Run it again
after a change: up-to-date thumbnails and unchanged pages are kept, and thumbnails and
pages the gallery no longer has are removed. Files Vistrel did not write are never
replaced or removed.

Options (defaults are the window's start-up values):
  --max-width N    largest thumbnail width in pixels, 1 to 1500 (150)
  --max-height N   largest thumbnail height in pixels, 1 to 1500 (150)
  --quality N      JPEG quality: 60, 65, 70, 75, 80, 85, 90, 95 or 100 (65)
  --prefix TEXT    thumbnail name prefix, 1 to 10 characters (th_)
  --rows N         table rows per page, 1 to 100 (1)
  --columns N      table columns per page, 1 to 100 (1)
  --border N       table border size, 0 to 20 (2)
  --padding N      table cell padding, 0 to 20 (2)
  --spacing N      table cell spacing, 0 to 20 (2)
  --style STYLE    page style: classic (the table pages) or modern (pages that reflow on
                   phones, double-density thumbnails, vistrel.css) (classic)
  --open           open Thumb001.html in the default browser afterwards
  --rebuild        make every thumbnail again, also those that are up to date
  --help           show this text
  --version        show the version

Exit status: 0 when every picture and page was written, 1 when some picture was
skipped or is damaged or a page could not be written, 2 on bad input (nothing is
written then).
)";
}

}  // namespace vistrel::cli
