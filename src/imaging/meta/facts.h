#pragma once
// The facts a picture page shows in one compact line, each part only when the picture has it:
// when it was taken, the camera, the lens, and the exposure. Where it was taken is never among
// them: the readers do not open the GPS block.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "imaging/meta/picture_meta.h"

namespace vistrel::imaging {

// DateTimeOriginal and OffsetTimeOriginal, when the date is a real one.
struct TakenTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  std::optional<int> offsetMinutes;  // east of UTC; nothing when the camera did not record it
};
std::optional<TakenTime> takenTime(const ExifFields& exif);

// When it was taken, as nanoseconds since the epoch, for sorting beside file times: exact with
// an offset; without one the camera's clock is taken to be this computer's local time.
std::optional<int64_t> takenNs(const ExifFields& exif);

struct PictureFacts {
  std::string taken;           // "2024-07-12 18:34:55 +02:00"; the offset only when known
  bool takenFromFile = false;  // `taken` is the file's modification time (no date taken)
  std::string camera;          // the model, with the make before it unless the model names it
  std::string lens;
  std::string exposure;  // "1/250 s", "2 s"
  std::string aperture;  // "f/2.8"
  std::string iso;       // "ISO 400"
  std::string focal;     // "50 mm"
  // The parts present, in the order above.
  std::vector<std::string> parts() const;
};

// The facts from the EXIF fields, the date falling back to `fileTimeNs` (0: unknown) in local
// time. The texts are cleaned as captions are, and kept short.
PictureFacts pictureFacts(const ExifFields& exif, int64_t fileTimeNs);

}  // namespace vistrel::imaging
