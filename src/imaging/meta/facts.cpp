#include "imaging/meta/facts.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "imaging/meta/caption.h"

namespace vistrel::imaging {

namespace {

constexpr size_t kFactMostBytes = 100;

// The number of `width` digits at `at`; -1 when any is not a digit.
int digits(std::string_view text, size_t at, size_t width) {
  if (at + width > text.size()) {
    return -1;
  }
  int value = 0;
  for (size_t i = at; i < at + width; ++i) {
    if (text[i] < '0' || text[i] > '9') {
      return -1;
    }
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

int daysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

// "+HH:MM" or "-HH:MM" in minutes east of UTC.
std::optional<int> offsetMinutes(std::string_view text) {
  const int hours = digits(text, 1, 2), minutes = digits(text, 4, 2);
  if (text.size() < 6 || (text[0] != '+' && text[0] != '-') || text[3] != ':' || hours < 0 ||
      hours > 14 || minutes < 0 || minutes > 59) {
    return std::nullopt;
  }
  return (text[0] == '-' ? -1 : 1) * (60 * hours + minutes);
}

// Days since 1970-01-01 of a date in the proleptic Gregorian calendar.
int64_t daysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

std::tm calendarTime(const TakenTime& t) {
  std::tm tm{};
  tm.tm_year = t.year - 1900;
  tm.tm_mon = t.month - 1;
  tm.tm_mday = t.day;
  tm.tm_hour = t.hour;
  tm.tm_min = t.minute;
  tm.tm_sec = t.second;
  return tm;
}

std::string dateText(const std::tm& t, std::optional<int> offset) {
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.tm_year + 1900, t.tm_mon + 1,
                t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
  std::string out = text;
  if (offset) {
    const int a = std::abs(*offset);
    std::snprintf(text, sizeof text, " %c%02d:%02d", *offset < 0 ? '-' : '+', a / 60, a % 60);
    out += text;
  }
  return out;
}

// One decimal place, none when it is 0: "2.8", "4", "0.3".
std::string oneDecimal(double value) {
  char text[48];
  std::snprintf(text, sizeof text, "%.1f", value);
  std::string out = text;
  return out.ends_with(".0") ? out.substr(0, out.size() - 2) : out;
}

std::optional<double> valueOf(Rational r) {
  if (r.den == 0 || r.num == 0) {
    return std::nullopt;
  }
  return static_cast<double>(r.num) / r.den;
}

// As cameras show it: fractions of a second below 0.3 s, decimals from there.
std::string exposureText(Rational r) {
  const auto seconds = valueOf(r);
  if (!seconds) {
    return {};
  }
  if (*seconds < 0.3) {
    return "1/" + oneDecimal(std::round(1 / *seconds)) + " s";
  }
  return oneDecimal(*seconds) + " s";
}

// The make without the company words that follow the brand ("NIKON CORPORATION" is "NIKON").
std::string brand(std::string make) {
  static constexpr std::array<std::string_view, 12> kCompanyWords = {
      "corporation", "corp.", "corp", "company", "company,", "co.,",
      "co.,ltd.",    "ltd.",  "ltd",  "inc.",    "inc",      "imaging"};
  for (;;) {
    const size_t space = make.rfind(' ');
    if (space == std::string::npos) {
      return make;
    }
    std::string last = make.substr(space + 1);
    std::transform(last.begin(), last.end(), last.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    if (std::find(kCompanyWords.begin(), kCompanyWords.end(), last) == kCompanyWords.end()) {
      return make;
    }
    make.resize(space);
  }
}

std::string cameraText(const ExifFields& exif) {
  const std::string make = brand(cleanCaption(exif.make, kFactMostBytes));
  const std::string model = cleanCaption(exif.model, kFactMostBytes);
  const auto startsWithMake = [&] {
    return model.size() >= make.size() &&
           std::equal(make.begin(), make.end(), model.begin(), [](char a, char b) {
             return std::tolower(static_cast<unsigned char>(a)) ==
                    std::tolower(static_cast<unsigned char>(b));
           });
  };
  if (make.empty() || model.empty()) {
    return make.empty() ? model : make;
  }
  return startsWithMake() ? model : cleanCaption(make + " " + model, kFactMostBytes);
}

}  // namespace

std::optional<TakenTime> takenTime(const ExifFields& exif) {
  const std::string_view text = exif.dateTimeOriginal;
  TakenTime t;
  t.year = digits(text, 0, 4);
  t.month = digits(text, 5, 2);
  t.day = digits(text, 8, 2);
  t.hour = digits(text, 11, 2);
  t.minute = digits(text, 14, 2);
  t.second = digits(text, 17, 2);
  // Cameras that do not know the date write zeros or blanks.
  if (t.year < 1800 || t.month < 1 || t.month > 12 || t.day < 1 ||
      t.day > daysInMonth(t.year, t.month) || t.hour < 0 || t.hour > 23 || t.minute < 0 ||
      t.minute > 59 || t.second < 0 || t.second > 59) {
    return std::nullopt;
  }
  t.offsetMinutes = offsetMinutes(exif.offsetTimeOriginal);
  return t;
}

std::optional<int64_t> takenNs(const ExifFields& exif) {
  const auto t = takenTime(exif);
  if (!t) {
    return std::nullopt;
  }
  int64_t seconds = 0;
  if (t->offsetMinutes) {
    seconds = daysFromCivil(t->year, t->month, t->day) * 86400 + t->hour * 3600 + t->minute * 60 +
              t->second - int64_t{*t->offsetMinutes} * 60;
  } else {
    std::tm local = calendarTime(*t);
    local.tm_isdst = -1;
    seconds = std::mktime(&local);
  }
  return seconds * 1000000000;
}

PictureFacts pictureFacts(const ExifFields& exif, int64_t fileTimeNs) {
  PictureFacts f;
  if (const auto t = takenTime(exif)) {
    f.taken = dateText(calendarTime(*t), t->offsetMinutes);
  } else if (fileTimeNs != 0) {
    const std::time_t seconds = fileTimeNs / 1000000000;
    std::tm tm{};
    localtime_r(&seconds, &tm);
    f.taken = dateText(tm, static_cast<int>(tm.tm_gmtoff / 60));
    f.takenFromFile = true;
  }
  f.camera = cameraText(exif);
  f.lens = cleanCaption(exif.lens, kFactMostBytes);
  f.exposure = exposureText(exif.exposureTime);
  if (const auto n = valueOf(exif.fNumber)) {
    f.aperture = "f/" + oneDecimal(*n);
  }
  if (exif.iso != 0) {
    f.iso = "ISO " + std::to_string(exif.iso);
  }
  if (const auto mm = valueOf(exif.focalLength)) {
    f.focal = oneDecimal(*mm) + " mm";
  }
  return f;
}

std::vector<std::string> PictureFacts::parts() const {
  std::vector<std::string> present;
  for (const std::string* part : {&taken, &camera, &lens, &exposure, &aperture, &iso, &focal}) {
    if (!part->empty()) {
      present.push_back(*part);
    }
  }
  return present;
}

}  // namespace vistrel::imaging
