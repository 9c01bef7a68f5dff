#pragma once
// mJpegLibrary: writes the pixels of a cDIBSection to a JPEG file.

#include <cstdint>
#include <string>
#include <string_view>

#include "imaging/dib_section.h"

namespace vistrel::imaging {

// Writes `dib` as a baseline JFIF file of its own size, upright (its last row in memory is the
// top row of the file), at JPEG quality `quality` (1 to 100, higher is better and larger; passed
// as given, not clamped). `fileName` is a UTF-8 path. The file is written whole under a temporary
// name in the same folder and then renamed into place, so a failure leaves any old file as it
// was. Returns true when the file is in place; false, without reading pixel memory, when the DIB
// holds no pixels, and false for an empty or unwritable path, a quality outside 1 to 100 or an
// encoder failure. Safe to call from several threads at once (on different DIBs).
// `record`, when not empty, is the payload of one APP11 segment placed right after the JFIF
// header (at most 60000 bytes; longer gives false). `osError`, when given, receives the system's
// error number of a failed file write, and 0 for any other failure.
bool WriteJpegFile(cDIBSection& dib, const std::string& fileName, int32_t quality,
                   std::string_view record = {}, int* osError = nullptr);

}  // namespace vistrel::imaging
