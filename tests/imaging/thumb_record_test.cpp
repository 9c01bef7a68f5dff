#include "imaging/thumb_record.h"

#include <gtest/gtest.h>

#include <QImage>

#include "imaging/dib_section.h"
#include "imaging/jpeg_writer.h"
#include "support/temp_folder.h"

namespace vistrel::imaging {
namespace {

ThumbRecord sample() {
  // A name that is not UTF-8 is kept as bytes; sizes past 32 bits.
  return {.sourceName = "caf\xE9 \"1\".jpg",
          .sourceSize = 5'000'000'123ull,
          .sourceMtimeNs = 1'700'000'000'123'456'789ll,
          .largestWidth = 1500,
          .largestHeight = 7,
          .quality = 65,
          .twipsPerPixelX = 15,
          .twipsPerPixelY = 12.5f,
          .scale = 2,
          .width = 3000,
          .height = 14,
          .pictureWidth = 70000,
          .pictureHeight = 327};
}

TEST(ThumbRecord, RoundTripsAndRejectsAnyAlteredOrShortenedPayload) {
  const auto payload = encodeThumbRecord(sample());
  ASSERT_EQ(decodeThumbRecord(payload), sample());
  for (size_t i = 0; i < payload.size(); ++i) {
    std::string altered = payload;
    altered[i] ^= 0x10;
    EXPECT_FALSE(decodeThumbRecord(altered)) << "byte " << i;
  }
  EXPECT_FALSE(decodeThumbRecord(payload.substr(0, payload.size() - 1)));
  EXPECT_FALSE(decodeThumbRecord(payload + "x"));
}

TEST(ThumbRecord, ThumbnailCarriesItsRecordAndStillDecodes) {
  testing::TempFolder folder;
  cDIBSection dib;
  ASSERT_TRUE(dib.Create(40, 30));
  const auto file = (folder.path() / "t.jpg").string();
  ASSERT_TRUE(WriteJpegFile(dib, file, 65, encodeThumbRecord(sample())));
  const auto found = readThumbMark(file, true);
  EXPECT_EQ(found.mark, ThumbMark::Ours);
  EXPECT_EQ(found.record, sample());
  QImage decoded(QString::fromStdString(file));
  EXPECT_EQ(decoded.size(), QSize(40, 30));

  // A JPEG without the record, and a file that is not a JPEG, carry no mark.
  ASSERT_TRUE(WriteJpegFile(dib, file, 65));
  EXPECT_EQ(readThumbMark(file).mark, ThumbMark::None);
  EXPECT_EQ(readThumbMark(folder.write("n.jpg", "not a jpeg")).mark, ThumbMark::None);
  EXPECT_EQ(readThumbMark(folder.path() / "missing.jpg").mark, ThumbMark::None);
  EXPECT_EQ(readThumbMark(folder.path()).mark, ThumbMark::None);
}

}  // namespace
}  // namespace vistrel::imaging
