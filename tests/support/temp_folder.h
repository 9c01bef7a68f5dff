#pragma once
// A scratch folder for one test, removed with everything in it when the test ends.

#include <filesystem>
#include <map>
#include <string>
#include <string_view>

namespace vistrel::testing {

// Every entry directly in `folder` by name: a file's bytes, or "<folder>" for a subfolder.
std::map<std::string, std::string> snapshot(const std::filesystem::path& folder);

class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // Writes `bytes` to `name` inside the folder and returns the full path.
  std::filesystem::path write(std::string_view name, std::string_view bytes) const;
  // The whole content of `name` inside the folder ("" when it does not exist).
  std::string read(std::string_view name) const;

 private:
  std::filesystem::path path_;
};

}  // namespace vistrel::testing
