// The manual page of vistrel-batch is made from the README's text: it must list what --help lists.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "cli/batch_options.h"

namespace vistrel::cli {
namespace {

TEST(Manual, TheReadmeManualDescribesEveryOptionOfHelp) {
  std::ifstream in(std::string(VISTREL_SOURCE_DIR) + "/README.md");
  ASSERT_TRUE(in) << "README.md not found";
  std::stringstream text;
  text << in.rdbuf();
  const std::string readme = text.str();
  const std::string::size_type start = readme.find("\nOPTIONS\n");
  const std::string::size_type end = readme.find("\nEXIT STATUS\n", start);
  ASSERT_NE(start, std::string::npos);
  ASSERT_NE(end, std::string::npos);
  const std::string options = readme.substr(start, end - start);

  const std::string help = usageText();
  const std::regex option(R"(\n  (--[a-z-]+))");
  int seen = 0;
  for (auto it = std::sregex_iterator(help.begin(), help.end(), option);
       it != std::sregex_iterator(); ++it, ++seen) {
    const std::string name = (*it)[1];
    EXPECT_NE(options.find("\n    " + name + " "), std::string::npos)
        << name << " is in --help but not in the README's OPTIONS";
  }
  EXPECT_GE(seen, 10);
}

}  // namespace
}  // namespace vistrel::cli
