#pragma once
// A picture's caption: the first text that says something, from the sources in one order.
//
//   1. the folder's captions file (kCaptionsFileName): one `name<TAB>caption` line a picture;
//   2. XMP dc:title, then dc:description;
//   3. IPTC Object Name, then Caption-Abstract;
//   4. EXIF ImageDescription, then XPTitle, then XPComment;
//   5. the file name.
//
// Each text is cleaned (cleanCaption) before it is judged: one that is then empty gives way to
// the next source, and so does a text from the picture's metadata that is camera boilerplate or
// only repeats the camera's make or model (what a person wrote in the captions file counts as
// it is). The caption is plain text: escaping it is the page's business.

#include <map>
#include <string>
#include <string_view>

#include "common/read_file.h"
#include "imaging/meta/picture_meta.h"

namespace vistrel::imaging {

// A caption keeps at most this many bytes of its text (cut before a character, never inside
// one), followed by "…" when it was longer.
constexpr size_t kCaptionMostBytes = 2000;

// `raw` as a caption: bytes that are not UTF-8 become U+FFFD, control characters are removed
// (tabs and line breaks count as blanks), runs of blanks become one space, blanks at either end
// go, and the text is capped at kCaptionMostBytes.
std::string cleanCaption(std::string_view raw, size_t mostBytes = kCaptionMostBytes);

// Whether a cleaned text is one that cameras and phones write by themselves ("OLYMPUS DIGITAL
// CAMERA", "SONY DSC", ...), letter case ignored.
bool isCameraBoilerplate(std::string_view cleaned);

// The captions file a folder may hold, written by hand. Each line is a picture's file name, a
// tab and its caption; lines without a tab, and those starting with '#', are ignored, as are a
// leading byte-order mark and carriage returns. The first line for a name counts. A name
// matches exactly, else ignoring the case of ASCII letters.
constexpr char kCaptionsFileName[] = "captions.txt";
// Only this much of it is read: lines past it are ignored, and `cut` says so.
constexpr size_t kCaptionsFileMostBytes = size_t{4} << 20;

class CaptionsFile {
 public:
  CaptionsFile() = default;
  explicit CaptionsFile(std::string_view text);
  // The caption written for `name`, as written; nullptr when the file has none.
  const std::string* find(std::string_view name) const;

  bool cut = false;         // the file was longer than kCaptionsFileMostBytes
  common::ReadError error;  // why it could not be read; ENOENT when the folder has none

 private:
  std::map<std::string, std::string, std::less<>> exact_, folded_;
};

// The captions file of the folder open as `folderFd`; empty (and `error` set) when there is none
// or it cannot be read. A FIFO or device in its place is never read.
CaptionsFile readCaptionsFile(int folderFd);

enum class CaptionSource {
  CaptionsFile,
  XmpTitle,
  XmpDescription,
  IptcObjectName,
  IptcCaption,
  ExifDescription,
  XpTitle,
  XpComment,
  FileName,
};

struct Caption {
  std::string text;  // cleaned: UTF-8, no control characters, capped
  CaptionSource source = CaptionSource::FileName;
};

// The caption from the sources in the order above; `written` is the captions file's text for
// the picture (nullptr for none). The file name is cleaned like the others.
Caption resolveCaption(const std::string* written, const PictureMeta& meta,
                       std::string_view fileName);

}  // namespace vistrel::imaging
