#include "common/read_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <tuple>
#include <vector>

#include "support/temp_folder.h"

namespace vistrel::common {
namespace {

namespace fs = std::filesystem;
using testing::TempFolder;

TEST(RegularFile, OnlyARegularFileOpensAndNothingBlocks) {
  TempFolder folder;
  folder.write("page", "abc");
  fs::create_directory(folder.path() / "folder");
  ASSERT_EQ(::mkfifo((folder.path() / "fifo").c_str(), 0600), 0);
  fs::create_symlink("page", folder.path() / "link");
  const struct {
    const char* name;
    Links links;
    ReadErrorKind kind;
    int code;
  } cases[] = {{"page", Links::Refuse, ReadErrorKind::None, 0},
               {"link", Links::Follow, ReadErrorKind::None, 0},
               {"link", Links::Refuse, ReadErrorKind::Open, ELOOP},
               {"absent", Links::Follow, ReadErrorKind::Open, ENOENT},
               {"folder", Links::Follow, ReadErrorKind::NotRegular, EISDIR},
               {"fifo", Links::Follow, ReadErrorKind::NotRegular, 0}};
  for (const auto& c : cases) {
    const RegularFile file(folder.path() / c.name, c.links);
    EXPECT_EQ(std::tuple(file.openError().kind, file.openError().code.value()),
              std::tuple(c.kind, c.code))
        << c.name;
    std::string bytes;
    EXPECT_EQ(file.readWhole(bytes, 100).kind, c.kind) << c.name;
    EXPECT_EQ(bytes, c.kind == ReadErrorKind::None ? "abc" : "") << c.name;
  }
}

TEST(RegularFile, ReadsWholeOrInPartUpToItsLengthAndLimit) {
  TempFolder folder;
  folder.write("f", "0123456789");
  const int dir = ::open(folder.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(dir, 0);
  const RegularFile file(dir, "f");
  ::close(dir);
  std::vector<uint8_t> bytes;
  EXPECT_EQ(file.readWhole(bytes, 9).kind, ReadErrorKind::TooLarge);
  EXPECT_TRUE(bytes.empty());
  EXPECT_FALSE(file.readStart(bytes, 4));
  EXPECT_FALSE(file.append(bytes, 100));  // the end comes first
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "0123456789");
  char tail[4] = {};
  size_t got = 0;
  EXPECT_FALSE(file.readAt(8, tail, sizeof tail, got));
  EXPECT_EQ(std::string(tail, got), "89");
  EXPECT_EQ(file.readStart(bytes, 11).kind, ReadErrorKind::Changed);
}

TEST(RegularFile, AFileCutWhileOpenIsChanged) {
  TempFolder folder;
  const fs::path path = folder.write("f", "0123456789");
  const RegularFile file(path);
  EXPECT_TRUE(file.unchanged());
  fs::resize_file(path, 4);
  EXPECT_FALSE(file.unchanged());
  std::string bytes;
  EXPECT_EQ(file.readWhole(bytes, 100).kind, ReadErrorKind::Changed);
  EXPECT_EQ(std::tuple(bytes, file.size()), std::tuple("0123", 10));
}

}  // namespace
}  // namespace vistrel::common
