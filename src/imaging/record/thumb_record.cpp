#include "imaging/record/thumb_record.h"

#include <fcntl.h>

#include <algorithm>
#include <bit>
#include <cstring>

#include "common/defaults.h"
#include "common/read_file.h"
#include "common/utf8.h"

namespace vistrel::imaging {

namespace {

constexpr std::string_view kSignature{"VistrelThumb\0", 13};
constexpr size_t kHeadBytes = 4096;

// Checks that the record is whole and unaltered: a user will not edit a thumbnail on purpose,
// but a tool that rewrites metadata or a copy cut short must not make a stale file look current.
uint64_t checksum(std::string_view bytes) {
  uint64_t hash = 14695981039346656037ull;
  for (const char c : bytes) {
    hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  }
  return hash;
}

void put(std::string& out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) {
    out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
  }
}

class Reader {
 public:
  explicit Reader(std::string_view bytes) : bytes_(bytes) {}
  bool take(int count, uint64_t& value) {
    if (bytes_.size() - pos_ < static_cast<size_t>(count)) {
      return false;
    }
    value = 0;
    for (int i = 0; i < count; ++i) {
      value |= static_cast<uint64_t>(static_cast<unsigned char>(bytes_[pos_ + i])) << (8 * i);
    }
    pos_ += static_cast<size_t>(count);
    return true;
  }
  bool text(size_t count, std::string& value) {
    if (bytes_.size() - pos_ < count) {
      return false;
    }
    value.assign(bytes_.substr(pos_, count));
    pos_ += count;
    return true;
  }
  size_t pos() const { return pos_; }

 private:
  std::string_view bytes_;
  size_t pos_ = 0;
};

int bigEndian16(std::string_view bytes, size_t at) {
  return (static_cast<unsigned char>(bytes[at]) << 8) | static_cast<unsigned char>(bytes[at + 1]);
}

bool endsFrameSearch(int marker) {
  // Start of scan, or any start of frame: the record is written before both.
  return marker == 0xDA ||
         (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC);
}

}  // namespace

bool hasThumbSignature(std::string_view payload) {
  return payload.substr(0, kSignature.size()) == kSignature;
}

std::string encodeThumbRecord(const ThumbRecord& record) {
  std::string out(kSignature);
  put(out, static_cast<uint64_t>(record.version), 1);
  put(out, static_cast<uint64_t>(record.kind), 1);
  put(out, static_cast<uint64_t>(record.quality), 1);
  put(out, static_cast<uint64_t>(record.largestWidth), 2);
  put(out, static_cast<uint64_t>(record.largestHeight), 2);
  put(out, static_cast<uint64_t>(record.width), 2);
  put(out, static_cast<uint64_t>(record.height), 2);
  put(out, record.pictureWidth, 4);
  put(out, record.pictureHeight, 4);
  put(out, std::bit_cast<uint32_t>(record.twipsPerPixelX), 4);
  put(out, std::bit_cast<uint32_t>(record.twipsPerPixelY), 4);
  put(out, record.sourceSize, 8);
  put(out, static_cast<uint64_t>(record.sourceMtimeNs), 8);
  put(out, record.sourceName.size(), 2);
  out += record.sourceName;
  put(out, checksum(out), 8);
  return out;
}

std::optional<ThumbRecord> decodeThumbRecord(std::string_view payload) {
  if (!hasThumbSignature(payload)) {
    return std::nullopt;
  }
  Reader in(payload.substr(kSignature.size()));
  ThumbRecord r;
  uint64_t v[12] = {};
  uint64_t picture[2] = {};
  if (!in.take(1, v[0]) || !in.take(1, v[1]) || !in.take(1, v[2]) || !in.take(2, v[3]) ||
      !in.take(2, v[4]) || !in.take(2, v[5]) || !in.take(2, v[6]) || !in.take(4, picture[0]) ||
      !in.take(4, picture[1]) || !in.take(4, v[7]) || !in.take(4, v[8]) || !in.take(8, v[9]) ||
      !in.take(8, v[10]) || !in.take(2, v[11]) || !in.text(v[11], r.sourceName)) {
    return std::nullopt;
  }
  const size_t checked = kSignature.size() + in.pos();
  uint64_t sum = 0;
  if (!in.take(8, sum) || sum != checksum(payload.substr(0, checked)) ||
      payload.size() != checked + 8) {
    return std::nullopt;
  }
  r.version = static_cast<int>(v[0]);
  r.kind = static_cast<int>(v[1]);
  r.quality = static_cast<int>(v[2]);
  r.largestWidth = static_cast<int>(v[3]);
  r.largestHeight = static_cast<int>(v[4]);
  r.width = static_cast<int>(v[5]);
  r.height = static_cast<int>(v[6]);
  r.pictureWidth = static_cast<uint32_t>(picture[0]);
  r.pictureHeight = static_cast<uint32_t>(picture[1]);
  r.twipsPerPixelX = std::bit_cast<float>(static_cast<uint32_t>(v[7]));
  r.twipsPerPixelY = std::bit_cast<float>(static_cast<uint32_t>(v[8]));
  r.sourceSize = v[9];
  r.sourceMtimeNs = static_cast<int64_t>(v[10]);
  return r;
}

namespace {

// The part of a picture's name its thumbnail's "jpg" stands in for: the last three characters,
// the extension of a .jpg or .gif, or the four of a longer one, so "IMG_1.HEIC" shares
// "IMG_1.JPG"'s thumbnail name as "IMG_1.GIF" does.
size_t extensionBytes(std::string_view name) {
  for (const std::string_view longer : {".heic", ".heif", ".avif", ".webp"}) {
    if (name.size() >= longer.size() &&
        std::equal(longer.begin(), longer.end(), name.end() - longer.size(), [](char a, char b) {
          return a == (b >= 'A' && b <= 'Z' ? static_cast<char>(b - 'A' + 'a') : b);
        })) {
      return 4;
    }
  }
  return common::tailBytes(name, 3);
}

}  // namespace

std::string thumbnailName(std::string_view prefix, std::string_view pictureName) {
  std::string name(prefix);
  name.append(pictureName.substr(0, pictureName.size() - extensionBytes(pictureName)));
  name.append("jpg");
  return name;
}

namespace {

constexpr std::string_view kTags[] = {"@2x", "@view", "@view2x"};

// thumbnailName with `tag` before its ".jpg" (before its final "jpg" when no dot stands there).
std::string taggedName(std::string_view prefix, std::string_view pictureName,
                       std::string_view tag) {
  std::string name = thumbnailName(prefix, pictureName);
  name.resize(name.size() - 3);
  const bool dot = !name.empty() && name.back() == '.';
  if (dot) {
    name.pop_back();
  }
  name.append(tag);
  name.append(dot ? ".jpg" : "jpg");
  return name;
}

}  // namespace

std::string thumbnail2xName(std::string_view prefix, std::string_view pictureName) {
  return taggedName(prefix, pictureName, kTags[0]);
}

std::string viewName(std::string_view prefix, std::string_view pictureName) {
  return taggedName(prefix, pictureName, kTags[1]);
}

std::string view2xName(std::string_view prefix, std::string_view pictureName) {
  return taggedName(prefix, pictureName, kTags[2]);
}

std::string untaggedName(std::string_view fileName) {
  const size_t end = fileName.size() >= 4 && fileName.substr(fileName.size() - 4) == ".jpg"
                         ? fileName.size() - 4
                     : fileName.size() >= 3 && fileName.substr(fileName.size() - 3) == "jpg"
                         ? fileName.size() - 3
                         : std::string_view::npos;
  if (end != std::string_view::npos) {
    for (const std::string_view tag : kTags) {
      if (end > tag.size() && fileName.substr(end - tag.size(), tag.size()) == tag) {
        return std::string(fileName.substr(0, end - tag.size())) +
               std::string(fileName.substr(end));
      }
    }
  }
  return std::string(fileName);
}

std::string recordFileName(RecordKind kind, std::string_view prefix, std::string_view pictureName) {
  switch (kind) {
    case kThumbnailFile:
      return thumbnailName(prefix, pictureName);
    case kThumbnail2xFile:
      return thumbnail2xName(prefix, pictureName);
    case kViewFile:
      return viewName(prefix, pictureName);
    case kView2xFile:
      return view2xName(prefix, pictureName);
  }
  return {};
}

bool isOwnName(std::string_view fileName, const ThumbRecord& record) {
  if (record.kind < kThumbnailFile || record.kind > kView2xFile) {
    return false;
  }
  const std::string tail =
      recordFileName(static_cast<RecordKind>(record.kind), "", record.sourceName);
  if (fileName.size() < tail.size() || fileName.substr(fileName.size() - tail.size()) != tail) {
    return false;
  }
  const std::string_view prefix = fileName.substr(0, fileName.size() - tail.size());
  return common::isUtf8(prefix) &&
         common::characterCount(prefix) <= static_cast<size_t>(common::kPrefixMaxLength) &&
         std::none_of(prefix.begin(), prefix.end(), [](char c) {
           const auto byte = static_cast<unsigned char>(c);
           return byte < 0x20 || byte == 0x7F ||
                  common::kPrefixForbidden.find(c) != std::string_view::npos;
         });
}

ThumbMarkResult findThumbMark(std::string_view head) {
  head = head.substr(0, kHeadBytes);
  ThumbMarkResult result;
  if (head.size() < 4 || static_cast<unsigned char>(head[0]) != 0xFF ||
      static_cast<unsigned char>(head[1]) != 0xD8) {
    return result;
  }
  size_t pos = 2;
  while (pos + 4 <= head.size() && static_cast<unsigned char>(head[pos]) == 0xFF) {
    const int marker = static_cast<unsigned char>(head[pos + 1]);
    if (endsFrameSearch(marker)) {
      break;
    }
    const int length = bigEndian16(head, pos + 2);
    if (length < 2) {
      break;
    }
    const std::string_view payload = head.substr(pos + 4, static_cast<size_t>(length) - 2);
    if (marker == kThumbRecordMarker && hasThumbSignature(payload)) {
      const bool whole = payload.size() == static_cast<size_t>(length) - 2;
      const auto record = whole ? decodeThumbRecord(payload) : std::nullopt;
      if (record) {
        result.mark = ThumbMark::Ours;
        result.record = *record;
      }
      return result;
    }
    pos += 2 + static_cast<size_t>(length);
  }
  return result;
}

ThumbMarkResult readThumbMark(const std::filesystem::path& file, bool checkWhole) {
  return readThumbMarkAt(AT_FDCWD, file.c_str(), checkWhole);
}

ThumbMarkResult readThumbMarkAt(int folderFd, const char* name, bool checkWhole, MetaRead* meta) {
  ThumbMarkResult result;
  const common::RegularFile file(folderFd, name, common::Links::Refuse);
  const common::ReadError& opened = file.openError();
  result.exists = !(opened.kind == common::ReadErrorKind::Open &&
                    opened.code == std::errc::no_such_file_or_directory);
  char head[kHeadBytes];
  size_t got = 0;
  if (file.readAt(0, head, sizeof head, got) || got == 0) {
    return result;
  }
  result = findThumbMark(std::string_view(head, got));
  if (meta != nullptr && result.mark != ThumbMark::Ours) {
    *meta = readPictureMeta(file, std::string(head, got));
  }
  result.exists = true;
  result.opened = true;
  result.size = file.size();
  result.mtimeNs = file.mtimeNs();
  // A JPEG file of ours ends with its end-of-image marker; a copy cut short does not. A small
  // thumbnail's end is in the head already.
  unsigned char tail[2] = {};
  const bool inHead = file.size() >= 4 && static_cast<int64_t>(got) == file.size();
  if (inHead) {
    std::memcpy(tail, head + got - 2, 2);
  }
  if (checkWhole && result.mark == ThumbMark::Ours &&
      (file.size() < 4 || (!inHead && (file.readAt(file.size() - 2, tail, 2, got) || got != 2)) ||
       tail[0] != 0xFF || tail[1] != 0xD9)) {
    result.whole = false;
  }
  return result;
}

}  // namespace vistrel::imaging
