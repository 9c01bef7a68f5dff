#include <gtest/gtest.h>

#include <fcntl.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "common/utf8.h"
#include "imaging/meta/caption.h"
#include "imaging/meta/facts.h"
#include "imaging/meta/picture_meta.h"
#include "support/picture_maker.h"
#include "support/temp_folder.h"

namespace vistrel::imaging {
namespace {

using vistrel::testing::TempFolder;

std::string le(uint32_t value, int bytes) {
  std::string out;
  for (int i = 0; i < bytes; ++i) {
    out += static_cast<char>(value >> (8 * i) & 0xFF);
  }
  return out;
}

struct Entry {
  uint16_t tag, type;
  std::string value;  // the value's bytes; the count follows from the type
};

// A little-endian TIFF block: IFD0's entries, then an Exif IFD when `exif` has any.
std::string tiff(std::vector<Entry> ifd0, const std::vector<Entry>& exif = {}) {
  const auto ifdSize = [](size_t n) { return 2 + 12 * n + 4; };
  const size_t exifAt = 8 + ifdSize(ifd0.size() + (exif.empty() ? 0 : 1));
  if (!exif.empty()) {
    ifd0.push_back({0x8769, 4, le(static_cast<uint32_t>(exifAt), 4)});
  }
  size_t dataAt = exifAt + (exif.empty() ? 0 : ifdSize(exif.size()));
  std::string out = "II" + le(42, 2) + le(8, 4), data;
  for (const std::vector<Entry>* ifd : {&std::as_const(ifd0), &exif}) {
    if (ifd->empty()) {
      continue;
    }
    out += le(static_cast<uint32_t>(ifd->size()), 2);
    for (const Entry& e : *ifd) {
      const size_t unit = e.type == 3 ? 2 : e.type == 4 ? 4 : e.type == 5 ? 8 : 1;
      out += le(e.tag, 2) + le(e.type, 2) + le(static_cast<uint32_t>(e.value.size() / unit), 4);
      if (e.value.size() <= 4) {
        out += e.value + std::string(4 - e.value.size(), '\0');
      } else {
        out += le(static_cast<uint32_t>(dataAt + data.size()), 4);
        data += e.value;
      }
    }
    out += le(0, 4);
  }
  return out + data;
}

Entry ascii(uint16_t tag, std::string text) {
  return {tag, 2, text + '\0'};
}
Entry rational(uint16_t tag, uint32_t num, uint32_t den) {
  return {tag, 5, le(num, 4) + le(den, 4)};
}
std::string utf16le(std::u16string text) {
  std::string out;
  for (const char16_t c : text + u'\0') {
    out += le(c, 2);
  }
  return out;
}

std::string exifSegment(const std::string& block) {
  return std::string("Exif\0\0", 6) + block;
}
std::string xmpSegment(const std::string& rdf) {
  return std::string("http://ns.adobe.com/xap/1.0/\0", 29) +
         "<x:xmpmeta xmlns:x='adobe:ns:meta/'><rdf:RDF "
         "xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'>" +
         rdf + "</rdf:RDF></x:xmpmeta>";
}
// Photoshop's block holding one IPTC record of the given datasets (record, number, data).
std::string iptcSegment(const std::vector<std::tuple<int, int, std::string>>& datasets) {
  std::string record;
  for (const auto& [rec, number, data] : datasets) {
    record += {0x1C, static_cast<char>(rec), static_cast<char>(number),
               static_cast<char>(data.size() >> 8), static_cast<char>(data.size() & 0xFF)};
    record += data;
  }
  const uint32_t size = static_cast<uint32_t>(record.size());
  std::string be32 = {static_cast<char>(size >> 24), static_cast<char>(size >> 16),
                      static_cast<char>(size >> 8), static_cast<char>(size)};
  return std::string(
             "Photoshop 3.0\0"
             "8BIM\x04\x04\0\0",
             22) +
         be32 + record + (size % 2 ? "\0" : "");
}

constexpr std::string_view kDc = "xmlns:dc='http://purl.org/dc/elements/1.1/'";
constexpr int kApp1 = JPEG_APP0 + 1, kApp13 = JPEG_APP0 + 13;

std::string jpegWith(std::vector<std::pair<int, std::string>> markers) {
  return testing::libjpegEncode(testing::photoLike(16, 16, 1), {.markers = std::move(markers)});
}

// Writes the picture "p.jpg" (and the captions file, when given) and resolves its caption.
Caption captionOf(const std::string& jpeg, const std::string& captionsFile = {}) {
  TempFolder folder;
  folder.write("p.jpg", jpeg);
  if (!captionsFile.empty()) {
    folder.write(kCaptionsFileName, captionsFile);
  }
  const MetaRead read = readPictureMetaAt(AT_FDCWD, (folder.path() / "p.jpg").c_str());
  EXPECT_FALSE(read.error);
  const int fd = ::open(folder.path().c_str(), O_RDONLY | O_DIRECTORY);
  const CaptionsFile captions = readCaptionsFile(fd);
  ::close(fd);
  return resolveCaption(captions.find("p.jpg"), read.meta, "p.jpg");
}

struct CaptionCase {
  const char* what;
  std::vector<std::pair<int, std::string>> markers;
  std::string captionsFile;
  std::string text;
  CaptionSource source;
};

std::string dcTitle(const std::string& alternatives) {
  return xmpSegment("<rdf:Description " + std::string(kDc) + "><dc:title><rdf:Alt>" + alternatives +
                    "</rdf:Alt></dc:title></rdf:Description>");
}

std::vector<CaptionCase> captionCases() {
  std::string euros;
  for (int i = 0; i < 100 * 1024 / 3; ++i) {
    euros += "\u20AC";
  }
  const std::string whole = dcTitle("<rdf:li>Cut off</rdf:li>");
  const std::string damaged = whole.substr(0, whole.find("</rdf:li>"));
  const std::string iptcUtf8 = iptcSegment({{1, 90, "\x1B%G"}, {2, 5, "\u03A9 \u00FC"}});
  const std::string xmpCaption = xmpSegment("<rdf:Description " + std::string(kDc) +
                                            " dc:description='Harbour &quot;at&quot; dusk'/>");
  return {
      {"XMP x-default alternative, entities and references",
       {{kApp1, dcTitle("<rdf:li xml:lang='de'>Sommer</rdf:li><rdf:li xml:lang='x-default'>"
                        "Caf&#233; &amp; &lt;b&gt; &#x1F600;</rdf:li>")}},
       {},
       "Caf\u00E9 & <b> \U0001F600",
       CaptionSource::XmpTitle},
      {"XMP attribute form under another prefix",
       {{kApp1, xmpSegment("<rdf:Description xmlns:d='http://purl.org/dc/elements/1.1/' "
                           "d:description='Harbour &quot;at&quot; dusk'/>")}},
       {},
       "Harbour \"at\" dusk",
       CaptionSource::XmpDescription},
      {"the captions file before XMP, its name matched ignoring case",
       {{kApp1, xmpCaption}},
       "\xEF\xBB\xBF# pictures\r\nother.jpg\tNo\r\nP.JPG\tFrom the file\r\n",
       "From the file",
       CaptionSource::CaptionsFile},
      {"IPTC in Latin-1",
       {{kApp13, iptcSegment({{2, 120, "Caf\xE9"}})}},
       {},
       "Caf\u00E9",
       CaptionSource::IptcCaption},
      {"IPTC declared UTF-8",
       {{kApp13, iptcUtf8}},
       {},
       "\u03A9 \u00FC",
       CaptionSource::IptcObjectName},
      {"damaged XMP gives way to IPTC",
       {{kApp1, damaged}, {kApp13, iptcUtf8}},
       {},
       "\u03A9 \u00FC",
       CaptionSource::IptcObjectName},
      {"camera boilerplate gives way to XPTitle in UTF-16",
       {{kApp1, exifSegment(tiff({ascii(0x010E, "OLYMPUS DIGITAL CAMERA   "),
                                  {0x9C9B, 1, utf16le(u"Z\u00FCrich \U0001F68B")}}))}},
       {},
       "Z\u00FCrich \U0001F68B",
       CaptionSource::XpTitle},
      {"markup is kept as text",
       {{kApp1, exifSegment(tiff({ascii(0x010E, "<script>alert(1)</script>")}))}},
       {},
       "<script>alert(1)</script>",
       CaptionSource::ExifDescription},
      {"a description that only names the camera",
       {{kApp1, exifSegment(tiff({ascii(0x010F, "Canon"), ascii(0x010E, " canon  ")}))}},
       {},
       "p.jpg",
       CaptionSource::FileName},
      {"a 100 KB caption is cut between characters",
       {},
       "p.jpg\t" + euros + "\n",
       std::string(euros, 0, 1998) + "\u2026",
       CaptionSource::CaptionsFile},
      {"XMP past the first 64 KB",
       {{JPEG_APP0 + 2, std::string(65000, 'x')}, {kApp1, xmpCaption}},
       {},
       "Harbour \"at\" dusk",
       CaptionSource::XmpDescription},
  };
}

TEST(Caption, ComesFromTheFirstSourceThatSaysSomething) {
  for (const CaptionCase& c : captionCases()) {
    const Caption caption = captionOf(jpegWith(c.markers), c.captionsFile);
    EXPECT_EQ(caption.text, c.text) << c.what;
    EXPECT_EQ(caption.source, c.source) << c.what;
  }
}

TEST(Caption, CleaningRemovesControlsRepairsBytesAndCollapsesBlanks) {
  const std::pair<std::string, std::string> cases[] = {
      {"  Line\tone\r\n\x01two \x7F ", "Line one two"},
      {"\xEF\xBB\xBF"
       "bad \xFF\xC3 end",
       "bad \uFFFD\uFFFD end"},
      {"\xC2\x85\xC2\x9Fnext", "next"},
      {" \t \n ", ""},
  };
  for (const auto& [raw, clean] : cases) {
    EXPECT_EQ(cleanCaption(raw), clean) << common::escaped(raw);
  }
  EXPECT_EQ(cleanCaption("abc \u00E9\u00E9", 5), "abc\u2026");
}

TEST(Facts, OneLineFromTheExifFieldsWithoutThePosition) {
  const ExifFields exif = readExifFields(
      tiff({ascii(0x010F, "NIKON CORPORATION"), ascii(0x0110, "NIKON D750"), {0x8825, 4, le(8, 4)}},
           {ascii(0x9003, "2024:07:12 18:34:55"),
            ascii(0x9011, "+02:00"),
            ascii(0xA434, "AF-S 50mm f/1.8G"),
            rational(0x829A, 10, 2500),
            rational(0x829D, 28, 10),
            {0x8827, 3, le(400, 2)},
            rational(0x920A, 500, 10)}));
  EXPECT_EQ(pictureFacts(exif, 0).parts(),
            (std::vector<std::string>{"2024-07-12 18:34:55 +02:00", "NIKON D750",
                                      "AF-S 50mm f/1.8G", "1/250 s", "f/2.8", "ISO 400", "50 mm"}));
  EXPECT_EQ(takenNs(exif), int64_t{1720802095} * 1000000000);
}

TEST(Facts, CameraAndExposureReadAsCamerasShowThem) {
  struct Case {
    std::string make, model;
    Rational exposure;
    std::string camera, shown;
  };
  const Case cases[] = {
      {"Canon", "Canon EOS R6", {1, 4}, "Canon EOS R6", "1/4 s"},
      {"OLYMPUS IMAGING CORP.", "E-M5", {8, 10}, "OLYMPUS E-M5", "0.8 s"},
      {"", "Pixel 7", {25, 10}, "Pixel 7", "2.5 s"},
      {"Apple", "", {0, 0}, "Apple", ""},
  };
  for (const Case& c : cases) {
    ExifFields exif;
    exif.make = c.make;
    exif.model = c.model;
    exif.exposureTime = c.exposure;
    const PictureFacts f = pictureFacts(exif, 0);
    EXPECT_EQ(f.camera, c.camera) << c.make << c.model;
    EXPECT_EQ(f.exposure, c.shown) << c.make << c.model;
  }
}

TEST(Facts, ImpossibleDatesFallBackToTheFileTime) {
  const char* oldTz = std::getenv("TZ");
  const std::string saved = oldTz ? oldTz : "";
  ::setenv("TZ", "UTC0", 1);
  ::tzset();
  ExifFields exif;
  for (const char* date : {"0000:00:00 00:00:00", "2023:02:29 10:00:00", "    :  :     :  :  "}) {
    exif.dateTimeOriginal = date;
    const PictureFacts f = pictureFacts(exif, int64_t{86400} * 1000000000);
    EXPECT_EQ(f.taken, "1970-01-02 00:00:00 +00:00") << date;
    EXPECT_TRUE(f.takenFromFile) << date;
  }
  exif.dateTimeOriginal = "2024:02:29 10:00:00";
  EXPECT_EQ(takenNs(exif), int64_t{1709200800} * 1000000000);  // the local time, in UTC here
  oldTz ? ::setenv("TZ", saved.c_str(), 1) : ::unsetenv("TZ");
  ::tzset();
}

TEST(MetaReaders, HostileBlocksGiveNothing) {
  std::string beyond = tiff({ascii(0x010E, "lost")});
  beyond.replace(4, 4, le(static_cast<uint32_t>(beyond.size() + 8), 4));  // IFD0 past the end
  std::string selfExif = tiff({}, {ascii(0x9003, "2024:01:01 00:00:00")});
  selfExif.replace(8 + 2 + 8, 4, le(8, 4));  // the Exif IFD is IFD0 again
  EXPECT_EQ(readExifFields(beyond).description, "");
  EXPECT_EQ(readExifFields(selfExif).dateTimeOriginal, "");
  std::string iptc = iptcSegment({{2, 120, "long"}}).substr(14);
  iptc[15] = '\x10';  // the dataset claims more than the record holds
  EXPECT_EQ(readIptc(iptc).caption, "");
  EXPECT_EQ(readXmp("<rdf:Description " + std::string(kDc) + " dc:title='open").title, "");
}

}  // namespace
}  // namespace vistrel::imaging
