// Every input a fuzz run found a fault with, and the seeds the runs started from, replayed
// through the fuzz targets' plain-program builds: they must neither crash nor trip a check.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

class FuzzRegressions : public ::testing::TestWithParam<const char*> {};

TEST_P(FuzzRegressions, ReplayCleanly) {
  const std::string target = GetParam();
  const std::filesystem::path program =
      std::filesystem::path(VISTREL_BINARY_DIR) / "fuzz" / (target + "_fuzz");
  const std::filesystem::path inputs =
      std::filesystem::path(VISTREL_SOURCE_DIR) / "fuzz" / "regressions" / target;
  ASSERT_TRUE(std::filesystem::exists(program)) << program;
  ASSERT_FALSE(std::filesystem::is_empty(inputs)) << inputs;
  std::string command = "'";  // built by appending: g++ 12 warns wrongly on operator+ here
  command.append(program.string()).append("' '").append(inputs.string()).append("' >/dev/null");
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
}

INSTANTIATE_TEST_SUITE_P(Imaging, FuzzRegressions,
                         ::testing::Values("jpeg_load", "gif_load", "exif", "dc_scans", "meta",
                                           "heif_load", "webp_load", "png_load"));

}  // namespace
