#pragma once
// The mark a thumbnail of ours carries inside its JPEG file: an APP11 segment that says which
// picture it shows and with which settings it was made. Browsers and viewers skip the segment.
// It lets a later run tell its own thumbnails from the user's pictures, keep the ones still
// up to date, and remove the ones whose picture is gone.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "imaging/meta/picture_meta.h"

namespace vistrel::imaging {

// Raise this whenever the same picture and settings would give other thumbnail bytes (a new
// encoder, filter or colour handling), so that older thumbnails are made again.
inline constexpr int kThumbRecordVersion = 4;
// The JPEG marker that carries the record (APP11).
inline constexpr int kThumbRecordMarker = 0xEB;

// Which of a picture's files a record marks. The values are stored; a thumbnail's are those of
// the single byte that once held only its scale.
enum RecordKind : int {
  kThumbnailFile = 1,    // the thumbnail
  kThumbnail2xFile = 2,  // the double-density thumbnail, twice its size
  kViewFile = 3,         // the display copy at the view size
  kView2xFile = 4,       // the display copy for dense screens, twice the view size
};

struct ThumbRecord {
  int version = kThumbRecordVersion;
  std::string sourceName;     // the picture's file name, exact bytes, no folder
  uint64_t sourceSize = 0;    // bytes
  int64_t sourceMtimeNs = 0;  // modification time, nanoseconds since the epoch
  int largestWidth = 0;       // the settings that shape the thumbnail
  int largestHeight = 0;
  int quality = 0;
  float twipsPerPixelX = 0;
  float twipsPerPixelY = 0;
  int kind = kThumbnailFile;  // which of a picture's files this is (RecordKind)
  int width = 0;              // the file's own size in pixels
  int height = 0;
  // The picture's size in pixels, so that a kept thumbnail still gives the pages' captions.
  uint32_t pictureWidth = 0;
  uint32_t pictureHeight = 0;

  bool operator==(const ThumbRecord&) const = default;
};

// The APP11 payload for `record` (signature, fields, checksum); under 400 bytes.
std::string encodeThumbRecord(const ThumbRecord& record);
// The record in `payload`, or nothing when the payload is not a whole, unaltered record of ours.
std::optional<ThumbRecord> decodeThumbRecord(std::string_view payload);
// True when `payload` starts with our signature (whole or not).
bool hasThumbSignature(std::string_view payload);

enum class ThumbMark {
  // No whole, unaltered record of ours: a user's file (our signature alone proves nothing), or
  // not readable as a JPEG.
  None,
  Ours,  // a whole record whose checksum holds
};

// The thumbnail's file name (no folder): the prefix, then the picture's name without its last
// three characters (four for ".heic", ".heif", ".avif" and ".webp", letter case ignored), then
// "jpg". "th_" + "Photo.GIF" gives "th_Photo.jpg", as "th_" + "Photo.HEIC" does. Names are UTF-8;
// the last three characters are characters, not bytes.
std::string thumbnailName(std::string_view prefix, std::string_view pictureName);
// The double-density thumbnail's file name: thumbnailName with "@2x" before its ".jpg" (before
// its final "jpg" when no dot stands there). "th_" + "Photo.GIF" gives "th_Photo@2x.jpg".
std::string thumbnail2xName(std::string_view prefix, std::string_view pictureName);

// The display copies' file names: thumbnailName with "@view" or "@view2x" before its ".jpg", as
// thumbnail2xName puts "@2x". "th_" + "Photo.GIF" gives "th_Photo@view.jpg".
std::string viewName(std::string_view prefix, std::string_view pictureName);
std::string view2xName(std::string_view prefix, std::string_view pictureName);
// The thumbnail's name a double-density or display copy's name was made from: `fileName` without
// its "@2x", "@view" or "@view2x" before "jpg"; any other name as it is.
std::string untaggedName(std::string_view fileName);
// The name rule of a record kind (one of the four above).
std::string recordFileName(RecordKind kind, std::string_view prefix, std::string_view pictureName);

// Whether `fileName` is a name a run writes for the picture `record` names: the name rule of the
// record's kind applied to record.sourceName with some prefix a run accepts (at most
// kPrefixMaxLength characters, none of kPrefixForbidden nor a control character). A copy of a
// thumbnail under any other name is the user's file.
bool isOwnName(std::string_view fileName, const ThumbRecord& record);

struct ThumbMarkResult {
  bool exists = false;  // something (a file, a folder, a link) has the name
  ThumbMark mark = ThumbMark::None;
  ThumbRecord record;   // when mark == Ours
  bool whole = true;    // false when checked and the file is cut short: ours, but not to keep
  bool opened = false;  // a regular file, read: its length and time below are known
  int64_t size = 0;
  int64_t mtimeNs = 0;

  // The file named `name` that this was read from is ours: its record holds and the name is
  // one a run writes for the record's picture. Only such a file may be replaced or removed.
  bool oursAt(std::string_view name) const {
    return mark == ThumbMark::Ours && isOwnName(name, record);
  }
};

// Looks for the record in the first 4 KiB of `bytes` (the start of a file).
ThumbMarkResult findThumbMark(std::string_view head);

// Reads the mark of `file`: at most its first 4 KiB, and with `checkWhole` also its last two
// bytes, so a thumbnail cut short is not kept (`whole`). A file that cannot be opened, is not a
// regular file or is not a JPEG gives None; a link is not followed (ours are never links). Never
// blocks on a FIFO or device.
ThumbMarkResult readThumbMark(const std::filesystem::path& file, bool checkWhole = false);
// The same for the entry `name` of the open folder `folderFd`, for callers that look at every
// file of a folder and would otherwise build a path for each.
// With `head`, a file that is not ours has its picture's metadata read there too, through the
// same open file.
ThumbMarkResult readThumbMarkAt(int folderFd, const char* name, bool checkWhole = false,
                                MetaRead* head = nullptr);

// What a folder's listing read, for the run that follows it at once, so that each file is read
// once: every entry's name, each JPEG file's mark (checked whole), length and time, and the
// metadata of each JPEG that is not ours.
struct FolderMarks {
  std::unordered_set<std::string> names;
  std::unordered_map<std::string, ThumbMarkResult> files;
  std::unordered_map<std::string, MetaRead> heads;
};

}  // namespace vistrel::imaging
