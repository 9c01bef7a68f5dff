#include "cli/batch_options.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "cli/batch_summary.h"
#include "cli/terminal_progress.h"
#include "common/version.h"
#include "support/sample_pictures.h"

namespace vistrel::cli {
using common::kVersion;
using gallery::PageStyle;

namespace {

TEST(ParseCommandLine, ReadsEveryOptionInBothSpellings) {
  const auto parsed = parseCommandLine({"--max-width", "1",      "--max-height=1500",
                                        "--quality",   "100",    "--prefix=t-",
                                        "--rows",      "100",    "--columns=7",
                                        "--border",    "0",      "--padding=20",
                                        "--spacing",   "5",      "--open",
                                        "--style",     "modern", "--types",
                                        "all",         "pics"});
  ASSERT_EQ(parsed.action, BatchAction::Run) << parsed.error;
  const BatchOptions expected{"pics",
                              1,
                              1500,
                              100,
                              "t-",
                              100,
                              7,
                              0,
                              20,
                              5,
                              true,
                              false,
                              PageStyle::Modern,
                              imaging::PictureTypes::All};
  EXPECT_TRUE(parsed.options == expected);
  const auto modern = parseCommandLine({"--view-size", "4096", "--originals=none", "--title",
                                        "Summer <in> Crete", "--sort=date-desc", "pics"});
  EXPECT_EQ(std::pair(modern.options.viewSize, modern.options.originals),
            std::pair(4096, gallery::Originals::None));
  EXPECT_EQ(modern.options.title, "Summer <in> Crete");
  EXPECT_EQ(modern.options.order, browse::PictureOrder::DateDescending);
}

TEST(ParseCommandLine, LaterOptionsWinDoubleDashEndsOptionsAndBytesComeBackAsGiven) {
  struct Case {
    std::vector<std::string> args;
    int rows;
    std::string folder;
  };
  const Case cases[] = {
      {{"--rows", "3", "--rows=4", "--", "--odd-folder"}, 4, "--odd-folder"},
      {{"-rows", "5", "-"}, 5, "-"},
      {{"--prefix", "--rows", "caf\xE9 \xFF"}, 1, "caf\xE9 \xFF"},
  };
  for (const auto& c : cases) {
    const auto parsed = parseCommandLine(c.args);
    ASSERT_EQ(parsed.action, BatchAction::Run) << parsed.error;
    EXPECT_EQ(parsed.options.rows, c.rows);
    EXPECT_EQ(parsed.options.folder, c.folder);
  }
}

// The option items of a usage or manual text (each line after `indent`), from the first one on.
std::string optionItems(const std::string& text, const std::string& indent) {
  std::istringstream in(text);
  std::string items;
  for (std::string line; std::getline(in, line);) {
    const bool item = line.rfind(indent + "--", 0) == 0;
    if (item || (!items.empty() && line.rfind(indent + std::string(17, ' '), 0) == 0)) {
      items += line.substr(indent.size()) + "\n";
    } else if (!items.empty()) {
      break;
    }
  }
  return items;
}

TEST(ParseCommandLine, HelpAndVersion) {
  EXPECT_EQ(parseCommandLine({"--help"}).action, BatchAction::Help);
  EXPECT_EQ(parseCommandLine({"pics", "-h"}).action, BatchAction::Help);
  EXPECT_EQ(parseCommandLine({"--version"}).action, BatchAction::Version);
  EXPECT_EQ(versionText(), std::string("vistrel-batch ") + kVersion + "\n");
  // The manual page is made from the README: its OPTIONS are --help's, word for word.
  const std::string text = testing::readBytes(std::string(VISTREL_SOURCE_DIR) + "/README.md");
  const auto start = text.find("\nOPTIONS\n");
  ASSERT_NE(start, std::string::npos) << "README.md has no OPTIONS";
  const std::string manual = text.substr(start, text.find("\nOUTPUT\n", start) - start);
  const std::string help = optionItems(usageText(), "  ");
  EXPECT_EQ(optionItems(manual, "    "), help);
  const std::regex option(R"((^|\n)(--[a-z-]+))");
  std::string listed;
  for (auto it = std::sregex_iterator(help.begin(), help.end(), option);
       it != std::sregex_iterator(); ++it) {
    listed += (*it)[2].str() + " ";
  }
  EXPECT_EQ(listed,
            "--max-width --max-height --quality --prefix --rows --columns --border --padding "
            "--spacing --style --view-size --originals --title --sort --types --albums --open "
            "--rebuild --help --version ");
}

struct BadCase {
  std::vector<std::string> args;
  std::string error;  // the whole line after "vistrel-batch: "
};

TEST(ParseCommandLine, BadInputGetsOneLineNamingTheOptionAndTheAllowedValues) {
  const std::string range100 = ": give a whole number from 1 to 100";
  const std::string range20 = ": give a whole number from 0 to 20";
  const std::string range1500 = ": give a whole number from 1 to 1500";
  const std::string qualities = ": give one of 60, 65, 70, 75, 80, 85, 90, 95, 100";
  const std::string options =
      "\": the options are --max-width, --max-height, --quality, --prefix, --rows, --columns, "
      "--border, --padding, --spacing, --style, --view-size, --originals, --title, --sort, "
      "--types, --albums, --open, --rebuild, --help, --version";
  const std::string prefixes =
      " Give 1 to 10 characters, none of them / \\ < > : \" | ? * or a control character.";
  const std::string beside =
      "; thumbnails are written beside the pictures, so the prefix must be part of a file name." +
      prefixes;
  const BadCase cases[] = {
      {{"--max-width=1501", "p"}, "--max-width \"1501\" is not allowed" + range1500},
      {{"--max-height", "1e2", "p"}, "--max-height \"1e2\" is not allowed" + range1500},
      {{"--max-height=", "p"}, "--max-height \"\" is not allowed" + range1500},
      {{"--rows", "99999999999999999999", "p"},
       "--rows \"99999999999999999999\" is not allowed" + range100},
      {{"--columns", " 5", "p"}, "--columns \" 5\" is not allowed" + range100},
      {{"--padding", "2.5", "p"}, "--padding \"2.5\" is not allowed" + range20},
      {{"--spacing", "-", "p"}, "--spacing \"-\" is not allowed" + range20},
      {{"--quality", "62", "p"}, "--quality \"62\" is not allowed" + qualities},
      {{"--quality", "105", "p"}, "--quality \"105\" is not allowed" + qualities},
      {{"--prefix", "", "p"},
       "--prefix: The prefix is empty, so a thumbnail could replace its own picture." + prefixes},
      {{"--prefix=..\\", "p"},
       "--prefix: The prefix \"..\\\" holds a folder separator (\\)" + beside},
      // The separator is met first and the message quotes the prefix: still one line.
      {{"--prefix", "/\n", "p"},
       "--prefix: The prefix \"/\\x0A\" holds a folder separator (/)" + beside},
      {{"--prefix", "abcdefghijk", "p"},
       "--prefix: The prefix \"abcdefghijk\" is longer than 10 characters." + prefixes},
      {{"--prefix", "a\xFF", "p"}, "--prefix: The prefix \"a\\xFF\" is not UTF-8 text." + prefixes},
      {{"--rows"}, "--rows needs a value: give a whole number from 1 to 100"},
      {{"--open=yes", "p"}, "--open takes no value"},
      {{"-rebuild=", "p"}, "--rebuild takes no value"},
      // Every value is checked, also one a later option overrides.
      {{"--rows", "0", "--rows", "3", "p"},
       "--rows \"0\" is not allowed: give a whole number from 1 to 100"},
      {{"--style", "Modern", "p"}, "--style \"Modern\" is not allowed: give classic or modern"},
      {{"--style"}, "--style needs a value: give classic or modern"},
      {{"--view-size", "319", "p"},
       "--view-size \"319\" is not allowed: give a whole number from 320 to 4096"},
      {{"--originals=all", "p"}, "--originals \"all\" is not allowed: give link or none"},
      {{"--sort", "Date", "p"}, "--sort \"Date\" is not allowed: give name, date or date-desc"},
      {{"--types", "heic", "p"}, "--types \"heic\" is not allowed: give jpeg-gif or all"},
      {{"--colums", "3", "p"}, "unknown option \"--colums" + options},
      {{"-x", "p"}, "unknown option \"-x" + options},
      {{}, "no FOLDER given: usage is vistrel-batch [options] FOLDER (see --help)"},
      {{"a", "b"}, "more than one FOLDER given (\"a\", \"b\"): give exactly one"},
      // An unknown option before --help is still an error.
      {{"--bogus", "--help"}, "unknown option \"--bogus" + options},
  };
  for (const auto& c : cases) {
    const auto parsed = parseCommandLine(c.args);
    const std::string shown = ::testing::PrintToString(c.args);
    EXPECT_EQ(parsed.action, BatchAction::BadInput) << shown;
    EXPECT_EQ(parsed.error, "vistrel-batch: " + c.error) << shown;
    EXPECT_EQ(parsed.error.find('\n'), std::string::npos) << shown;
  }
}

TEST(SummaryLine, CountsSecondsAndRate) {
  EXPECT_EQ(summaryLine({12, 3, 2, 1}, 0.84),
            "12 thumbnails made, 3 kept, 2 pages written, 1 file removed, 0.84 seconds, "
            "14.3 pictures per second");
  EXPECT_EQ(summaryLine({1, 0, 1, 0}, 2.0),
            "1 thumbnail made, 0 kept, 1 page written, 0 files removed, 2.00 seconds, "
            "0.5 pictures per second");
  // Faster than the clock: a finite rate, not inf or nan.
  EXPECT_EQ(summaryLine({5, 0, 0, 2}, 0.0),
            "5 thumbnails made, 0 kept, 0 pages written, 2 files removed, 0.00 seconds, "
            "5000.0 pictures per second");
  // All kept: no rate; the wait for another run is told apart.
  EXPECT_EQ(summaryLine({0, 7, 0, 0}, 0.02, 3.1),
            "0 thumbnails made, 7 kept, 0 pages written, 0 files removed, 0.02 seconds (after "
            "waiting 3.10 seconds for another Create), nothing to make");
  EXPECT_EQ(summaryLine({0, 6, 0, 0, 1}, 0.5),
            "0 thumbnails made, 6 kept, 0 pages written, 0 files removed, 0.50 seconds, "
            "0.0 pictures per second");
  EXPECT_EQ(skippedLine("x.jpg", "not a JPEG file"), "skipped x.jpg: not a JPEG file");
}

TEST(TerminalProgress, LineShowsBarCountAndPhase) {
  using common::Phase;
  EXPECT_EQ(TerminalProgress::line(common::Status{Phase::Thumbnails, 3, 12}, 0.25f),
            "[######------------------]  3/12  Processing images...");
  EXPECT_EQ(TerminalProgress::line(common::Status{Phase::Pages, 2, 2}, 1.5f),
            "[########################] 2/2  Writing HMTL Document(s)...");
  EXPECT_EQ(TerminalProgress::line(common::Status{Phase::Waiting}, 0),
            "[------------------------]  Waiting for another Create in this folder to end...");
  EXPECT_EQ(TerminalProgress::line(std::nullopt, -1.0f), "[------------------------]  Working...");
}

}  // namespace
}  // namespace vistrel::cli
