#pragma once
// Decoded pictures and the loader that makes them from JPEG, GIF, HEIF (HEIC, AVIF), WebP and PNG
// files.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vistrel::imaging {

enum class PictureFormat { Jpeg, Gif, Heif, Avif, Webp, Png };

// Which pictures a run takes: JPEG and GIF alone (the classic set, and the default), or every
// format the loader reads. A file whose bytes are of a format outside the set is not a picture.
enum class PictureTypes { JpegGif, All };

// A decoded picture: top-down rows of blue-green-red bytes, `stride` bytes apart
// (stride >= 3 * width).
struct Picture {
  int width = 0;
  int height = 0;
  int stride = 0;
  std::vector<uint8_t> bgr;

  bool empty() const { return width <= 0 || height <= 0; }
  const uint8_t* row(int y) const { return bgr.data() + static_cast<size_t>(y) * stride; }
  uint8_t* row(int y) { return bgr.data() + static_cast<size_t>(y) * stride; }
};

// What a file says about itself without decoding pixels. Sizes are the natural size in pixels
// as the picture is shown (EXIF orientation applied).
struct PictureInfo {
  PictureFormat format = PictureFormat::Jpeg;
  int width = 0;
  int height = 0;
};

// What kind of failure a load met, for code to act on; the reason is for a person.
enum class LoadErrorKind {
  None,
  Unreadable,  // the system could not open or read the file (osError says why)
  NotRegular,  // a folder, pipe or device, which is never read
  Empty,
  Changed,      // the file grew or shrank while it was read
  NotPicture,   // of no format the loader reads (or takes: PictureTypes)
  Truncated,    // the data ends before the headers do
  Damaged,      // the decoder could not make a picture of the data
  Unsupported,  // a variant of the format the decoder cannot read
  TooLarge,     // the file or picture is over the limits
  Refused,      // the decode would need memory it cannot have now
};

// A failure a user can meet: the file, its kind, the system's error number where the system
// failed (0 otherwise) and a reason a person understands.
struct LoadError {
  std::string file;
  std::string reason;
  LoadErrorKind kind = LoadErrorKind::None;
  int osError = 0;
};

struct ProbeResult {
  bool ok = false;
  PictureInfo info;
  LoadError error;  // when !ok
};

// The length and modification time of the file a picture was read from, taken from the same
// open file as its bytes.
struct FileStamp {
  uint64_t size = 0;
  int64_t mtimeNs = 0;  // nanoseconds since the epoch
};

struct LoadResult {
  bool ok = false;
  FileStamp stamp;      // of the file read (also when the decode failed after the read)
  PictureInfo info;     // natural size (EXIF orientation applied), also when shrunk on load
  Picture picture;      // may be smaller than info when a least size was asked for
  LoadError error;      // when !ok
  std::string warning;  // decoded, but with something to report (e.g. data ends early)
};

// What a GIF's see-through pixels are laid on, as 0xRRGGBB, where the caller has no colour of its
// own: white. The window passes its background; vistrel-batch passes this.
inline constexpr uint32_t kPlainBackground = 0xFFFFFF;

// Format and natural size, reading only the headers.
// Both functions are safe to call from several threads at once. The format comes from the
// file's first bytes, not its name, and must be one of `types`. Errors name the file and say why
// in words a user understands ("not a JPEG or GIF file", "file is truncated", "unsupported JPEG
// variant: ...", "the picture is too large: ..."). A picture over 256 megapixels, or whose
// decode would need more than 1 GiB, is refused by load before anything is allocated for it.
ProbeResult probe(const std::filesystem::path& file, PictureTypes types = PictureTypes::JpegGif);

// Decodes `file`, upright (EXIF orientation applied). With a least size (leastWidth,
// leastHeight > 0, in the natural orientation) a JPEG is shrunk while it decodes by the
// strongest of 1/2, 1/4 and 1/8 that keeps both sides at least twice the asked size (never
// enlarged); without one the picture is full size. A JPEG with an embedded ICC colour profile comes
// out in sRGB (a damaged or unusable profile is ignored, not an error). A GIF gives its first
// image, transparent pixels laid on `gifBackground` (0xRRGGBB). A JPEG whose data ends early or
// is damaged but still yields a picture is ok, with `warning` saying so. HEIF, WebP and PNG
// pictures come out upright (their own rotation or EXIF orientation) and in sRGB (ICC, nclx, or
// PNG's colour chunks), see-through pixels laid on white, and shrunk as a JPEG is (a WebP while
// it decodes, to twice the least size; HEIF and PNG to block means by the same powers of two).
LoadResult load(const std::filesystem::path& file, int leastWidth = 0, int leastHeight = 0,
                uint32_t gifBackground = kPlainBackground,
                PictureTypes types = PictureTypes::JpegGif);

// Given a picture's natural size, the least size (width, height) to decode it at; (0, 0) for
// full size. May throw; the exception leaves loadFitted.
using LeastSizeFor = std::function<std::pair<int, int>(const PictureInfo&)>;

// Memory a load asked for that it may never have: more than the most its caller grants at once.
struct MemoryRefusal {
  int64_t asked = 0;
  int64_t most = 0;
};

// Asked for all the memory a load is about to hold, in bytes: first the file's first bytes, for
// its headers, then the whole file and every copy the decoder makes. Each call replaces the last;
// nothing to go on, or the refusal (the load fails as Refused). Nothing read is held while it is
// asked, so a caller that shares memory between threads may wait here for its share.
using TakeMemory = std::function<std::optional<MemoryRefusal>(int64_t bytes)>;

// Decodes `file` at the least size `leastSizeFor` picks from its natural size, reading its
// headers before the rest: probe and load for callers that size the decode by the picture. Only
// a regular file is read ("not a regular file" otherwise, without blocking on a FIFO or device);
// a JPEG file far larger than its pixels can need is refused unread. A GIF's see-through pixels
// are laid on `gifBackground`, as load lays them.
LoadResult loadFitted(const std::filesystem::path& file, const LeastSizeFor& leastSizeFor,
                      const TakeMemory& takeMemory = {}, uint32_t gifBackground = kPlainBackground,
                      PictureTypes types = PictureTypes::JpegGif);

}  // namespace vistrel::imaging
