#pragma once
// What the people who made a picture wrote into it, read from the head of a JPEG file: the XMP
// packet, the IPTC record inside Photoshop's APP13 block and the EXIF fields a gallery shows.
// Every reader is bounded by the bytes it is given and takes any input: what it cannot read is
// left empty, so the caption falls to its next source. Strings are UTF-8 as decoded; control
// characters, blanks and length are the caption's business (caption.h), not the readers'.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/read_file.h"

namespace vistrel::imaging {

struct XmpText {
  std::string title;        // dc:title: its x-default language, else its first
  std::string description;  // dc:description, chosen the same way
};

struct IptcText {
  std::string objectName;  // 2:05
  std::string caption;     // 2:120 Caption-Abstract
};

struct Rational {
  uint32_t num = 0;
  uint32_t den = 0;  // 0: absent
};

struct ExifFields {
  std::string description;         // IFD0 ImageDescription
  std::string xpTitle;             // IFD0 XPTitle, stored as UTF-16LE
  std::string xpComment;           // IFD0 XPComment, stored as UTF-16LE
  std::string make, model;         // IFD0
  std::string lens;                // Exif LensModel
  std::string dateTimeOriginal;    // "YYYY:MM:DD HH:MM:SS" as stored, unchecked
  std::string offsetTimeOriginal;  // "+HH:MM" as stored, unchecked
  Rational exposureTime;           // seconds
  Rational fNumber;
  Rational focalLength;  // millimetres
  uint32_t iso = 0;      // PhotographicSensitivity; 0: absent
};

struct PictureMeta {
  XmpText xmp;
  IptcText iptc;
  ExifFields exif;
};

// The payloads of the segments that carry metadata, pointing into the bytes walked.
struct MetaSegments {
  std::string_view exif;       // the TIFF block after "Exif\0\0" (the first such APP1)
  std::string_view xmp;        // the packet after the XMP identifier (the first such APP1)
  std::string_view photoshop;  // the resources after "Photoshop 3.0\0" (the first such APP13)
};

// Walks the segments from the start-of-image marker up to the first scan. False when a segment
// runs past `size` before that: more of the file would show more. Not a JPEG, or segments that
// cannot be walked, give true with what was found before.
bool findMetaSegments(const uint8_t* data, size_t size, MetaSegments& found);

XmpText readXmp(std::string_view packet);
IptcText readIptc(std::string_view photoshopResources);
ExifFields readExifFields(std::string_view tiff);

// All three from a JPEG's first bytes.
PictureMeta readJpegMeta(const uint8_t* data, size_t size);

// A file is read from its first kMetaHeadBytes; while a segment before the first scan runs past
// what was read, the read doubles, up to kMetaMostBytes (a large colour profile or an EXIF
// preview may come before the XMP packet). Segments past the cap are not seen.
constexpr size_t kMetaHeadBytes = size_t{64} << 10;
constexpr size_t kMetaMostBytes = size_t{1} << 20;

struct MetaRead {
  PictureMeta meta;
  int64_t fileTimeNs = 0;    // the file's modification time, for the dates it falls back to
  common::ReadError error;   // why the file could not be read; meta is empty then
  bool hasLocation = false;  // the EXIF block records a GPS position (jpegHasLocation)
};

// Reads `name` in the folder open as `folderFd` (AT_FDCWD for the working folder). A picture that
// is not a JPEG has empty metadata and its file time. The same read tells hasLocation, so a run
// reads each picture's head once.
MetaRead readPictureMetaAt(int folderFd, const char* name);
// The same for an open file whose first bytes, `head`, were read already.
MetaRead readPictureMeta(const common::RegularFile& file, std::string head);

}  // namespace vistrel::imaging
