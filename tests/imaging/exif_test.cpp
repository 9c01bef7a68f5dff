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
  std::string badOrder = good;
  badOrder[0] = 'X';
  std::string badMagic = good;
  badMagic[3] = 41;
  std::string farIfd = good;
  farIfd[7] = 100;  // IFD offset past the end
  std::string manyEntries = good;
  manyEntries[9] = 50;  // entry count runs past the end; the tag is first, so still found
  std::string wrongType = good;
  wrongType[13] = 4;  // LONG instead of SHORT
  std::string outOfRange = good;
  outOfRange[19] = 9;
  EXPECT_EQ(orientationOf(badOrder), 1);
  EXPECT_EQ(orientationOf(badMagic), 1);
  EXPECT_EQ(orientationOf(farIfd), 1);
  EXPECT_EQ(orientationOf(manyEntries), 6);
  EXPECT_EQ(orientationOf(wrongType), 1);
  EXPECT_EQ(orientationOf(outOfRange), 1);
  for (size_t cut = 0; cut < good.size(); ++cut) {
    const int o = orientationOf(good.substr(0, cut));
    EXPECT_TRUE(o == 1 || o == 6) << cut;
  }
  EXPECT_EQ(exifOrientation(nullptr, 0), 1);
}

}  // namespace
}  // namespace vistrel::imaging
