#pragma once
// Expected pages, kept as files under tests/gallery/golden with LF line ends.

#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>

namespace vistrel::testing {

// The named golden files one after another, with CR LF line ends as the pages have them, and
// every "@GENERATOR@" replaced by `generator`.
inline std::string golden(std::initializer_list<const char*> files,
                          const std::string& generator = {}) {
  std::string text;
  for (const char* name : files) {
    std::ifstream in(std::string(VISTREL_SOURCE_DIR "/tests/gallery/golden/") + name,
                     std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    for (const char c : content.str()) {
      text += c == '\n' ? "\r\n" : std::string(1, c);
    }
  }
  const std::string mark = "@GENERATOR@";
  for (size_t at = text.find(mark); at != std::string::npos; at = text.find(mark, at)) {
    text.replace(at, mark.size(), generator);
  }
  return text;
}

}  // namespace vistrel::testing
