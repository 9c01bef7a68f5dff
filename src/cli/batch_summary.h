#pragma once
// The lines vistrel-batch prints when the run is over.

#include <string>

namespace vistrel::cli {

// "12 pictures written, 3 pages written, 0.84 seconds, 14.3 pictures per second" (singular
// for 1; a full stop for the decimals whatever the locale; no newline).
std::string summaryLine(int picturesWritten, int pagesWritten, double seconds);

// "skipped broken.jpg: <reason>" for a picture, "not written Thumb002.html: <reason>" for a
// page (no newline).
std::string skippedLine(const std::string& file, const std::string& reason);
std::string pageFailedLine(const std::string& file, const std::string& reason);

}  // namespace vistrel::cli
