#include "imaging/meta/caption.h"

#include <algorithm>
#include <iterator>

#include "common/utf8.h"
#include "imaging/meta/meta_text.h"

namespace vistrel::imaging {

namespace {

bool isBlank(char32_t cp) {
  return cp == ' ' || (cp >= 0x09 && cp <= 0x0D) || cp == 0x85 || cp == 0xA0 || cp == 0x2028 ||
         cp == 0x2029;
}

// C0 and C1 controls, DEL, and the byte-order mark UTF-16 writers leave at the start.
bool isControl(char32_t cp) {
  return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F) || cp == 0xFEFF;
}

char foldAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string foldedAscii(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(), foldAscii);
  return out;
}

bool equalIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return foldAscii(x) == foldAscii(y);
         });
}

// What cameras and phones write as a description when the person wrote none.
constexpr std::string_view kBoilerplate[] = {
    "OLYMPUS DIGITAL CAMERA",
    "SONY DSC",
    "MINOLTA DSC",
    "DIGITAL CAMERA",
    "KODAK Digital Still Camera",
    "KONICA MINOLTA DIGITAL CAMERA",
    "MINOLTA DIGITAL CAMERA",
    "SANYO DIGITAL CAMERA",
    "SAMSUNG DIGITAL CAMERA",
    "SAMSUNG CAMERA PICTURES",
    "LEICA DIGITAL CAMERA",
    "PENTAX DIGITAL CAMERA",
    "Exif_JPEG_PICTURE",
    "Exif JPEG",
    "JPEG",
    "DCIM",
    "Default",
    "Untitled",
    "No title",
    "Image",
    "Picture",
    "Photo",
};

// A text that names only the camera: "Canon", "Canon EOS R6" or the make and model together.
bool repeatsCamera(std::string_view text, const ExifFields& exif) {
  const std::string make = cleanCaption(exif.make), model = cleanCaption(exif.model);
  return (!make.empty() && equalIgnoringCase(text, make)) ||
         (!model.empty() && equalIgnoringCase(text, model)) ||
         (!make.empty() && !model.empty() && equalIgnoringCase(text, make + " " + model));
}

}  // namespace

std::string cleanCaption(std::string_view raw, size_t mostBytes) {
  std::string out;
  bool blank = false;  // a blank is written only before the next character, so none ends it
  for (size_t pos = 0; pos < raw.size() && out.size() <= mostBytes;) {
    const size_t start = pos;
    const char32_t cp = common::nextCodePoint(raw, pos);
    if (isBlank(cp)) {
      blank = !out.empty();
    } else if (!isControl(cp)) {
      if (blank) {
        out += ' ';
        blank = false;
      }
      if (pos - start == 1 && cp == 0xFFFD) {
        appendUtf8(out, cp);  // a byte that is not UTF-8
      } else {
        out.append(raw.substr(start, pos - start));
      }
    }
  }
  if (out.size() > mostBytes) {
    out.resize(common::cutBefore(out, mostBytes));
    while (!out.empty() && out.back() == ' ') {
      out.pop_back();
    }
    out += "\u2026";
  }
  return out;
}

bool isCameraBoilerplate(std::string_view cleaned) {
  return std::any_of(std::begin(kBoilerplate), std::end(kBoilerplate),
                     [&](std::string_view b) { return equalIgnoringCase(cleaned, b); });
}

CaptionsFile::CaptionsFile(std::string_view text) {
  if (text.starts_with("\xEF\xBB\xBF")) {
    text.remove_prefix(3);
  }
  while (!text.empty()) {
    const size_t end = std::min(text.find('\n'), text.size());
    std::string_view line = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    if (line.ends_with('\r')) {
      line.remove_suffix(1);
    }
    const size_t tab = line.find('\t');
    if (tab == std::string_view::npos || line.starts_with('#')) {
      continue;
    }
    const std::string_view name = line.substr(0, tab), caption = line.substr(tab + 1);
    exact_.try_emplace(std::string(name), caption);
    folded_.try_emplace(foldedAscii(name), caption);
  }
}

const std::string* CaptionsFile::find(std::string_view name) const {
  if (const auto it = exact_.find(name); it != exact_.end()) {
    return &it->second;
  }
  const auto it = folded_.find(foldedAscii(name));
  return it == folded_.end() ? nullptr : &it->second;
}

CaptionsFile readCaptionsFile(int folderFd) {
  const common::RegularFile file(folderFd, kCaptionsFileName);
  std::string text;
  const common::ReadError error = file.append(text, kCaptionsFileMostBytes);
  if (error) {
    CaptionsFile none;
    none.error = error;
    return none;
  }
  const bool cut = file.size() > static_cast<int64_t>(text.size());
  if (cut) {
    text.resize(text.rfind('\n') + 1);  // the line the limit ends in is not whole
  }
  CaptionsFile captions(text);
  captions.cut = cut;
  return captions;
}

Caption resolveCaption(const std::string* written, const PictureMeta& meta,
                       std::string_view fileName) {
  if (written != nullptr) {
    if (std::string text = cleanCaption(*written); !text.empty()) {
      return {std::move(text), CaptionSource::CaptionsFile};
    }
  }
  const std::pair<const std::string&, CaptionSource> stored[] = {
      {meta.xmp.title, CaptionSource::XmpTitle},
      {meta.xmp.description, CaptionSource::XmpDescription},
      {meta.iptc.objectName, CaptionSource::IptcObjectName},
      {meta.iptc.caption, CaptionSource::IptcCaption},
      {meta.exif.description, CaptionSource::ExifDescription},
      {meta.exif.xpTitle, CaptionSource::XpTitle},
      {meta.exif.xpComment, CaptionSource::XpComment},
  };
  for (const auto& [raw, source] : stored) {
    std::string text = cleanCaption(raw);
    if (!text.empty() && !isCameraBoilerplate(text) && !repeatsCamera(text, meta.exif)) {
      return {std::move(text), source};
    }
  }
  return {cleanCaption(fileName), CaptionSource::FileName};
}

}  // namespace vistrel::imaging
