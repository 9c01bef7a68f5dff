#include "cli/option_table.h"

#include <array>

#include "common/defaults.h"
#include "gallery/modern_page.h"

namespace vistrel::cli {
using browse::PictureOrder;
using browse::pictureOrderName;
using common::kPrefixForbidden;
using common::kPrefixMaxLength;
using common::kQualityMax;
using common::kQualityMin;
using common::kQualityStep;
using common::kTableCountMax;
using common::kTableCountMin;
using common::kTableSpacingMax;
using common::kTableSpacingMin;
using common::kThumbnailMax;
using common::kThumbnailMin;
using common::kViewSizeMax;
using common::kViewSizeMin;
using gallery::Originals;
using gallery::PageStyle;
using gallery::pageStyleName;
using imaging::PictureTypes;

namespace {

using K = OptionKind;
using O = BatchOptions;

const std::array<OptionSpec, 20> kOptions = {{
    {"--max-width", "N", K::Range, kThumbnailMin, kThumbnailMax, &O::maxWidth, nullptr,
     "largest thumbnail width in pixels"},
    {"--max-height", "N", K::Range, kThumbnailMin, kThumbnailMax, &O::maxHeight, nullptr,
     "largest thumbnail height in pixels"},
    {"--quality", "N", K::Quality, kQualityMin, kQualityMax, &O::quality, nullptr, "JPEG quality"},
    {"--prefix", "TEXT", K::Prefix, 1, kPrefixMaxLength, nullptr, nullptr, "thumbnail name prefix"},
    {"--rows", "N", K::Range, kTableCountMin, kTableCountMax, &O::rows, nullptr,
     "table rows per page"},
    {"--columns", "N", K::Range, kTableCountMin, kTableCountMax, &O::columns, nullptr,
     "table columns per page"},
    {"--border", "N", K::Range, kTableSpacingMin, kTableSpacingMax, &O::border, nullptr,
     "table border size"},
    {"--padding", "N", K::Range, kTableSpacingMin, kTableSpacingMax, &O::padding, nullptr,
     "table cell padding"},
    {"--spacing", "N", K::Range, kTableSpacingMin, kTableSpacingMax, &O::spacing, nullptr,
     "table cell spacing"},
    {"--style", "STYLE", K::Style, 0, 0, nullptr, nullptr,
     "page style: classic (the table pages) or modern (pages that reflow on phones, "
     "double-density thumbnails, vistrel.css)"},
    {"--view-size", "N", K::Range, kViewSizeMin, kViewSizeMax, &O::viewSize, nullptr,
     "modern style: the display copies' longest edge in CSS pixels (twice that for sharp "
     "screens)"},
    {"--originals", "HOW", K::Originals, 0, 0, nullptr, nullptr,
     "modern style: link (picture pages link each original file) or none (the gallery publishes "
     "only the copies Vistrel made)"},
    {"--title", "TEXT", K::Title, 0, 0, nullptr, nullptr,
     "modern style: the gallery's title on every page (the folder's name)"},
    {"--sort", "ORDER", K::Order, 0, 0, nullptr, nullptr,
     "the pictures' order on the pages: name, date (when taken, else the file's time; oldest "
     "first) or date-desc (newest first)"},
    {"--types", "TYPES", K::Types, 0, 0, nullptr, nullptr,
     "pictures listed: jpeg-gif (*.jpg and *.gif) or all (also *.heic, *.heif, *.avif, *.webp "
     "and *.png)"},
    {"--albums", "", K::Flag, 0, 0, nullptr, &O::albums,
     "modern style: every subfolder with pictures at or below it becomes an album with its own "
     "pages, linked by breadcrumbs and album cards"},
    {"--open", "", K::Flag, 0, 0, nullptr, &O::open,
     "open Thumb001.html in the default browser afterwards"},
    {"--rebuild", "", K::Flag, 0, 0, nullptr, &O::rebuild,
     "make every thumbnail again, also those that are up to date"},
    {"--help", "", K::Help, 0, 0, nullptr, nullptr, "show this text"},
    {"--version", "", K::Version, 0, 0, nullptr, nullptr, "show the version"},
}};

// The usage's columns: the option and its value, then the description, wrapped.
constexpr size_t kIndent = 2;
constexpr size_t kTagWidth = 17;
constexpr size_t kLineWidth = 90;

// "60, 65, 70, ..., 95" then `last` and the highest quality.
std::string qualities(const OptionSpec& spec, const char* last) {
  std::string list = std::to_string(spec.low);
  for (int q = spec.low + kQualityStep; q <= spec.high; q += kQualityStep) {
    list.append(q < spec.high ? ", " : last);
    list.append(std::to_string(q));
  }
  return list;
}

// The allowed values and the default, as the usage line ends.
std::string usageValues(const OptionSpec& spec, const BatchOptions& defaults) {
  switch (spec.kind) {
    case K::Range:
      return ", " + std::to_string(spec.low) + " to " + std::to_string(spec.high) + " (" +
             std::to_string(defaults.*spec.number) + ")";
    case K::Quality:
      return ": " + qualities(spec, " or ") + " (" + std::to_string(defaults.*spec.number) + ")";
    case K::Prefix:
      return ", " + std::to_string(spec.low) + " to " + std::to_string(spec.high) +
             " characters (" + defaults.prefix + ")";
    case K::Style:
      return " (" + std::string(pageStyleName(defaults.style)) + ")";
    case K::Types:
      return " (" + std::string(pictureTypesName(defaults.types)) + ")";
    case K::Originals:
      return " (" + std::string(originalsName(defaults.originals)) + ")";
    case K::Order:
      return " (" + std::string(pictureOrderName(defaults.order)) + ")";
    case K::Title:
    case K::Flag:
    case K::Help:
    case K::Version:
      return "";
  }
  return "";
}

// `words` after `tag`, broken between words before kLineWidth.
std::string wrapped(std::string tag, std::string_view words) {
  std::string text(kIndent, ' ');
  text += tag.append(kTagWidth > tag.size() ? kTagWidth - tag.size() : 1, ' ');
  size_t column = text.size();
  bool first = true;
  while (!words.empty()) {
    const size_t end = words.find(' ');
    const std::string_view word = words.substr(0, end);
    words = end == std::string_view::npos ? std::string_view() : words.substr(end + 1);
    if (!first && column + 1 + word.size() > kLineWidth) {
      text.push_back('\n');
      text.append(kIndent + kTagWidth, ' ');
      column = kIndent + kTagWidth;
      first = true;
    }
    if (!first) {
      text.push_back(' ');
      ++column;
    }
    text.append(word);
    column += word.size();
    first = false;
  }
  return text + "\n";
}

}  // namespace

std::string_view pictureTypesName(PictureTypes types) {
  return types == PictureTypes::All ? "all" : "jpeg-gif";
}

std::string_view originalsName(Originals originals) {
  return originals == Originals::None ? "none" : "link";
}

std::span<const OptionSpec> optionTable() {
  return kOptions;
}

std::string allowedValues(const OptionSpec& spec) {
  switch (spec.kind) {
    case K::Range:
      return "a whole number from " + std::to_string(spec.low) + " to " + std::to_string(spec.high);
    case K::Quality:
      return "one of " + qualities(spec, ", ");
    case K::Prefix: {
      std::string forbidden;
      for (const char c : kPrefixForbidden) {
        forbidden.push_back(c);
        forbidden.push_back(' ');
      }
      return std::to_string(spec.low) + " to " + std::to_string(spec.high) +
             " characters, none of them " + forbidden + "or a control character";
    }
    case K::Style:
      return std::string(pageStyleName(PageStyle::Classic)) + " or " +
             std::string(pageStyleName(PageStyle::Modern));
    case K::Types:
      return std::string(pictureTypesName(PictureTypes::JpegGif)) + " or " +
             std::string(pictureTypesName(PictureTypes::All));
    case K::Originals:
      return std::string(originalsName(Originals::Link)) + " or " +
             std::string(originalsName(Originals::None));
    case K::Order:
      return std::string(pictureOrderName(PictureOrder::Name)) + ", " +
             std::string(pictureOrderName(PictureOrder::Date)) + " or " +
             std::string(pictureOrderName(PictureOrder::DateDescending));
    case K::Title:
      return "any text";
    case K::Flag:
    case K::Help:
    case K::Version:
      return "no value";
  }
  return "";
}

std::string optionUsage() {
  const BatchOptions defaults;
  std::string text;
  for (const OptionSpec& spec : kOptions) {
    std::string tag(spec.name);
    if (!spec.valueName.empty()) {
      tag.push_back(' ');
      tag.append(spec.valueName);
    }
    text += wrapped(tag, std::string(spec.help) + usageValues(spec, defaults));
  }
  return text;
}

}  // namespace vistrel::cli
