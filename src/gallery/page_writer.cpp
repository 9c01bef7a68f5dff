#include "gallery/page_writer.h"

#include <cstdio>
#include <fstream>
#include <span>
#include <system_error>

#include "common/numbers.h"
#include "common/whole_file.h"
#include "gallery/page_markup.h"

namespace vistrel {

namespace {

std::string utf8Path(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

void writePageFile(const std::filesystem::path& file, std::string_view text) {
  try {
    writeWholeFile(file, text);
  } catch (const std::system_error& e) {
    throw PageWriteError(utf8Path(file), e.code().message());
  }
}

// True when no file stands at `file` or the one there starts with `mark`.
bool freeOrOurs(const std::filesystem::path& file, const std::string& mark) {
  std::error_code error;
  if (!std::filesystem::exists(std::filesystem::symlink_status(file, error))) {
    return true;
  }
  std::ifstream in(file, std::ios::binary);
  std::string start(mark.size(), '\0');
  return in.read(start.data(), static_cast<std::streamsize>(start.size())) && start == mark;
}

void writeStyleSheet(const std::filesystem::path& folder, const ModernLayout& layout) {
  const std::filesystem::path file = folder / kStyleSheetName;
  if (!freeOrOurs(file, styleSheetMark())) {
    throw PageWriteError(utf8Path(file),
                         "a file of that name that Vistrel did not write is there; it is left as "
                         "it is (move it away to make modern pages here)");
  }
  writePageFile(file, ModernStyleSheet(layout));
}

}  // namespace

int pageCount(int imageCount, int rows, int columns) {
  if (imageCount <= 0 || rows < 1 || columns < 1) {
    return 0;
  }
  const long long cells = static_cast<long long>(rows) * columns;
  return static_cast<int>((imageCount + cells - 1) / cells);
}

std::string pageName(int page) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%03d", page);
  return std::string("Thumb") + digits + ".html";
}

NavigationTargets navigationTargets(int page, int pages) {
  NavigationTargets targets;
  if (page != 1) {
    targets.Home = pageName(1);
  }
  if (page - 1 >= 1) {
    targets.Previous = pageName(page - 1);
  }
  if (page + 1 <= pages) {
    targets.Next = pageName(page + 1);
  }
  if (page != pages) {
    targets.Last = pageName(pages);
  }
  return targets;
}

std::string pageStatusText(int page, int pages) {
  return "Writing HMTL Document(s)...     (" + decimalText(page) + " of " + decimalText(pages) +
         ")";
}

PageWriteError::PageWriteError(std::string file, std::string reason)
    : std::runtime_error("Cannot write the gallery page \"" + file + "\": " + reason),
      file_(std::move(file)),
      reason_(std::move(reason)) {}

void CreateHTML(const std::filesystem::path& folder, const std::vector<ThumbInfo>& thumbs,
                const TableSettings& table, int pageCount, const std::string& prefix,
                ProgressDisplay& progress, PageStyle style) {
  const int imageCount = static_cast<int>(thumbs.size());
  const int16_t step = ProgressStep(progress.trackWidth(), imageCount);
  const bool modern = style == PageStyle::Modern;
  const ModernLayout layout = modernLayout(thumbs, table.Columns);
  if (modern && pageCount > 0) {
    writeStyleSheet(folder, layout);
  }
  // The picture to place next; it runs on across pages.
  int k = 0;
  std::string page;
  for (int p = 1; p <= pageCount; ++p) {
    progress.setStatus(pageStatusText(p, pageCount));
    const NavigationTargets nav = navigationTargets(p, pageCount);
    page.clear();
    if (modern) {
      const long long cells = static_cast<long long>(table.Rows) * table.Columns;
      const int first = k;
      for (long long slot = 0; slot < cells; ++slot) {
        growFill(progress, step);
        k += k < imageCount ? 1 : 0;
      }
      page = ModernPage(std::span(thumbs).subspan(first, k - first), nav, p, pageCount, prefix,
                        layout);
    } else {
      PrintHead(page);
      PrintTableBegin(page, table);
      for (int r = 0; r < table.Rows; ++r) {
        PrintRowBegin(page);
        for (int c = 0; c < table.Columns; ++c) {
          growFill(progress, step);
          if (k < imageCount) {
            PrintColumn(page, thumbs[static_cast<size_t>(k)], prefix);
            ++k;
          }
        }
        PrintRowEnd(page);
      }
      PrintTableEnd(page);
      PrintClose(page, nav.Home, nav.Previous, nav.Next, nav.Last);
    }

    writePageFile(folder / pageName(p), page);
  }
}

}  // namespace vistrel
