// Times one Create run (reading the folder, thumbnails and pages) over a folder, as
// vistrel-batch would run it, and prints its seconds and the process's peak resident memory.
// Built by bench/create.sh.
//
//   create_bench FOLDER [WORKERS [STYLE [VIEWSIZE [LIST]]]]
//     WORKERS 0 (default): one per core; STYLE classic (default) or modern;
//     VIEWSIZE the display copies' longest edge (modern); LIST a file that gets one line per
//     rendition file the gallery shows, "picture<TAB>box<TAB>file", for the size check.

#include <sys/resource.h>

#include <QGuiApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "browse/folder_read.h"
#include "run/create_run.h"
#include "run/problem_text.h"

namespace {

// The display of a front end that shows nothing.
class QuietDisplay : public vistrel::common::ProgressDisplay {
 public:
  void setStatus(const vistrel::common::Status&) override {}
  void setNoticeVisible(bool) override {}
  void refreshNotice() override {}
  void setTrackVisible(bool) override {}
  float trackWidth() const override { return 5200; }
  float fillWidth() const override { return fill_; }
  void setFillWidth(float twips) override { fill_ = twips; }

 private:
  float fill_ = 0;
};

// Every rendition file of each picture, with the box it was fitted to, so the bench can check
// that the run really made every size it is timed for.
void writeList(const char* path, const vistrel::run::CreateReport& report,
               const vistrel::thumbs::ThumbSettings& settings) {
  std::ofstream list(path, std::ios::binary | std::ios::trunc);
  const int box = std::max(settings.largestWidth, settings.largestHeight);
  for (const auto& info : report.thumbs) {
    const std::pair<const std::string&, int> files[] = {{info.ThumbFile, box},
                                                        {info.Thumb2xFile, 2 * box},
                                                        {info.ViewFile, settings.viewSize},
                                                        {info.View2xFile, 2 * settings.viewSize}};
    for (const auto& [file, size] : files) {
      if (!file.empty()) {
        list << info.FileName << '\t' << size << '\t' << file << '\n';
      }
    }
  }
  if (!list.flush()) {
    std::fprintf(stderr, "create_bench: cannot write %s\n", path);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr,
                 "usage: create_bench FOLDER [WORKERS [classic|modern [VIEWSIZE [LIST]]]]\n");
    return 2;
  }
  // GIF decoding goes through Qt's image readers, which want an application object.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);

  vistrel::run::CreateSettings settings;
  auto& batch = settings.thumbnails;
  batch.folder = argv[1];
  batch.workers = argc > 2 ? std::atoi(argv[2]) : 0;
  settings.table = vistrel::gallery::TableSettings{4, 5, 2, 2, 2};
  settings.openFirstPage = false;
  if (argc > 3 && std::string(argv[3]) == "modern") {
    settings.style = vistrel::gallery::PageStyle::Modern;
  }
  if (argc > 4) {
    batch.viewSize = std::atoi(argv[4]);
  }

  QuietDisplay display;
  // The folder is read as vistrel-batch reads it: a re-run's thumbnails are not pictures.
  const auto start = std::chrono::steady_clock::now();
  batch.pictureNames = vistrel::browse::readFolder(batch.folder).pictures;
  batch.ImageCount = static_cast<int>(batch.pictureNames.size());
  const std::chrono::duration<double> listed = std::chrono::steady_clock::now() - start;
  const auto report = vistrel::run::runCreate(settings, display, nullptr);
  const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;

  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto cpu = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  std::printf(
      "pictures=%d thumbnails=%zu made=%d kept=%d pages=%d problems=%zu listSeconds=%.3f "
      "seconds=%.3f cpu=%.3f peakMB=%.1f\n",
      batch.ImageCount, report.thumbs.size(), report.thumbnailsMade, report.thumbnailsKept,
      report.pageCount, report.problems.size(), listed.count(), seconds.count(),
      cpu(usage.ru_utime) + cpu(usage.ru_stime), static_cast<double>(usage.ru_maxrss) / 1024.0);
  if (argc > 5) {
    writeList(argv[5], report, batch);
  }
  for (const auto& problem : report.problems) {
    std::fprintf(stderr, "%s: %s\n", problem.file.c_str(),
                 vistrel::run::problemReason(problem).c_str());
  }
  return report.refused ? 1 : 0;
}
