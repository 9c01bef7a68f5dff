#pragma once
// vistrel-batch's options as one table: the parser's checks, the usage text of --help and (by
// way of the README) the manual page's OPTIONS are all made from it and from common/defaults.h.

#include <span>
#include <string>
#include <string_view>

#include "cli/batch_options.h"

namespace vistrel::cli {

enum class OptionKind {
  Range,      // a whole number from low to high
  Quality,    // a whole number from low to high in steps of common::kQualityStep
  Prefix,     // low to high characters that thumbs::prefixProblem accepts
  Style,      // a page style's name
  Originals,  // link or none
  Title,      // any text
  Order,      // a picture order's name
  Types,      // a list of picture types' name
  Flag,       // no value; sets `flag`
  Help,
  Version,
};

struct OptionSpec {
  std::string_view name;       // "--max-width"
  std::string_view valueName;  // "N" in the usage; none when the option takes no value
  OptionKind kind;
  int low = 0;
  int high = 0;
  int BatchOptions::*number = nullptr;  // Range and Quality
  bool BatchOptions::*flag = nullptr;   // Flag
  std::string_view help;                // the usage line, before the allowed values and the default
};

// The name --types gives a list of picture types: "jpeg-gif" or "all".
std::string_view pictureTypesName(imaging::PictureTypes types);

// Every option, in the order --help lists them.
std::span<const OptionSpec> optionTable();

// "link" / "none", as --originals spells them.
std::string_view originalsName(gallery::Originals originals);

// What a value must be, for the error lines: "a whole number from 1 to 100".
std::string allowedValues(const OptionSpec& spec);

// The usage lines of every option ("  --rows N         table rows per page, 1 to 100 (1)"),
// each ending in a newline; a description too long for one line goes on under itself.
std::string optionUsage();

}  // namespace vistrel::cli
