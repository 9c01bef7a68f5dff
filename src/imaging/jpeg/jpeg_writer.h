#pragma once
// mJpegLibrary: writes the pixels of a cDIBSection to a JPEG file.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "imaging/surface/dib_section.h"

namespace vistrel::imaging {

// The longest `record` WriteJpegFile carries (one marker segment holds at most 65533 bytes).
constexpr size_t kMaxJpegRecordBytes = 60000;

// Huffman tables, one pair for all components: optimised for the picture, or the standard
// luminance pair, which saves the encoder a pass over the picture for a few per cent more bytes
// (on display-size copies of photos 3.4% more bytes for a fifth less of the run's time).
enum class JpegTables { Optimised, Standard };

// Writes `dib` as a baseline JFIF file of its own size, upright (its last row in memory is the
// top row of the file), at JPEG quality `quality` (1 to 100, higher is better and larger; passed
// as given, not clamped), with 4:2:0 chroma and Huffman tables as `tables` asks.
// `fileName` is a UTF-8 path. A non-empty `record` (at most kMaxJpegRecordBytes) is stored byte
// for byte as the payload of one APP11 marker segment right after the JFIF header; decoders skip
// it. The file is written whole under a temporary name in the same folder and then renamed into
// place, so a failure leaves any old file as it was. Returns true when the file is in place;
// false, without reading pixel memory, when the DIB holds no pixels, and false for an empty or
// unwritable path, a quality outside 1 to 100, a record that is too long or an encoder failure.
// When `osError` is given it receives the operating system's error number of a failed file write
// (ENOSPC, EACCES, ...) and 0 for every other outcome. Safe to call from several threads at once
// (on different DIBs); each thread keeps its own encoder.
bool WriteJpegFile(cDIBSection& dib, const std::string& fileName, int32_t quality,
                   std::string_view record = {}, int* osError = nullptr,
                   JpegTables tables = JpegTables::Optimised);

}  // namespace vistrel::imaging
