#pragma once
// Makes a folder unwritable for the test's lifetime, also when tests run as root (who may write
// anywhere): the process then acts as an unprivileged user until the object goes.

#include <filesystem>

namespace vistrel::testing {

class ReadOnlyFolder {
 public:
  explicit ReadOnlyFolder(std::filesystem::path folder);
  ~ReadOnlyFolder();
  ReadOnlyFolder(const ReadOnlyFolder&) = delete;
  ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;

 private:
  std::filesystem::path folder_;
  bool droppedRoot_ = false;
};

}  // namespace vistrel::testing
