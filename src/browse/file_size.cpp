#include "browse/file_size.h"

#include <QLocale>

namespace vistrel::browse {

std::string FormatFileSize(long long bytes) {
  return FormatFileSize(bytes, QLocale::system().groupSeparator().toStdString());
}

std::string FormatFileSize(long long bytes, std::string_view groupSeparator) {
  // Unsigned, so that the most negative count has a magnitude too.
  unsigned long long magnitude = bytes < 0 ? 0ULL - static_cast<unsigned long long>(bytes)
                                           : static_cast<unsigned long long>(bytes);
  std::string digits;
  for (int n = 0; magnitude != 0; ++n) {
    if (n > 0 && n % 3 == 0) {
      digits.insert(0, groupSeparator);
    }
    digits.insert(digits.begin(), static_cast<char>('0' + magnitude % 10));
    magnitude /= 10;
  }
  if (bytes < 0) {
    digits.insert(digits.begin(), '-');
  }
  return digits + " bytes";
}

}  // namespace vistrel::browse
