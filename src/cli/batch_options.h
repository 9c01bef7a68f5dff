#pragma once
// The command line of vistrel-batch: which gallery settings it takes, their ranges and defaults
// (the window's start-up values), and how bad input is told to the user.

#include <string>
#include <string_view>
#include <vector>

#include "browse/picture_order.h"
#include "common/defaults.h"
#include "common/utf8.h"
#include "gallery/modern_page.h"
#include "imaging/picture.h"

namespace vistrel::cli {

// Every gallery setting the window holds in its controls, as the command line gives it.
// Defaults are the window's values at start-up, except `open`, which is off here: a script
// should not start a browser unless asked.
struct BatchOptions {
  std::string folder;                          // as given (native bytes), not yet checked
  int maxWidth = common::kThumbnailInitial;    // pixels, 1..1500
  int maxHeight = common::kThumbnailInitial;   // pixels, 1..1500
  int quality = common::kQualityInitial;       // 60..100 in steps of 5
  std::string prefix{common::kPrefixInitial};  // UTF-8, 1..10 characters, no separator
  int rows = common::kTableCountInitial;       // 1..100
  int columns = common::kTableCountInitial;    // 1..100
  int border = common::kTableSpacingInitial;   // 0..20
  int padding = common::kTableSpacingInitial;  // 0..20
  int spacing = common::kTableSpacingInitial;  // 0..20
  bool open = false;     // open Thumb001.html in the default browser afterwards
  bool rebuild = false;  // make every thumbnail again, also those up to date
  gallery::PageStyle style = gallery::PageStyle::Classic;
  imaging::PictureTypes types = imaging::PictureTypes::JpegGif;  // which pictures are listed
  // Modern only, accepted and ignored with classic pages, which have neither.
  int viewSize = common::kViewSizeInitial;                  // display copies, 320..4096
  gallery::Originals originals = gallery::Originals::Link;  // picture pages link the originals
  std::string title{};  // the gallery's title, as given (bytes); "" for the folder's name
  // The pages' order, either style.
  browse::PictureOrder order = browse::PictureOrder::Name;
  bool albums = false;  // modern: the folder's tree, each folder with pictures an album

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

// The text of --help and --version (each ends in a newline).
std::string usageText();
std::string versionText();

// Error lines show what the user typed through these (common/utf8.h).
using common::escaped;
using common::inQuotes;

}  // namespace vistrel::cli
