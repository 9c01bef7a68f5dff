// Reading the orientation tag from EXIF blocks, damaged ones included.
#include "imaging/exif.h"

#include <gtest/gtest.h>

#include <string>

#include "imaging/picture_maker.h"

namespace vistrel::imaging {
namespace {

// The TIFF part of an EXIF segment made by the test helper (after "Exif\0\0").
std::string tiffOf(int orientation, bool bigEndian) {
  return testing::exifSegment(orientation, bigEndian).substr(4 + 6);
}

int orientationOf(const std::string& tiff) {
  return exifOrientation(reinterpret_cast<const uint8_t*>(tiff.data()), tiff.size());
}

TEST(Exif, DamagedBlocksMeanUpright) {
  const std::string good = tiffOf(6, true);
  const struct {
    size_t at;
    char value;
    int orientation;
  } damage[] = {
      {0, 'X', 1},  // byte order
      {3, 41, 1},   // magic number
      {7, 100, 1},  // IFD offset past the end
      {9, 50, 6},   // entry count runs past the end; the tag is first, so still found
      {13, 4, 1},   // LONG instead of SHORT
      {19, 9, 1},   // orientation out of range
  };
  for (const auto& d : damage) {
    std::string tiff = good;
    tiff[d.at] = d.value;
    EXPECT_EQ(orientationOf(tiff), d.orientation) << "byte " << d.at;
  }
  for (size_t cut = 0; cut < good.size(); ++cut) {
    const int o = orientationOf(good.substr(0, cut));
    EXPECT_TRUE(o == 1 || o == 6) << cut;
  }
  EXPECT_EQ(exifOrientation(nullptr, 0), 1);
}

}  // namespace
}  // namespace vistrel::imaging
