#include "thumbs/make_thumbnails.h"

#include <unistd.h>

#include <algorithm>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <tuple>

#include "browse/file_size.h"
#include "common/numbers.h"
#include "thumbs/allocator_policy.h"
#include "thumbs/batch_plan.h"
#include "thumbs/memory_budget.h"
#include "thumbs/place_rendition.h"
#include "thumbs/prefix_check.h"
#include "thumbs/render_pool.h"

namespace vistrel::thumbs {
using browse::FitSize;
using browse::FormatFileSize;
using common::growFill;
using common::ProgressDisplay;
using common::ProgressStep;

namespace fs = std::filesystem;

namespace {

void removeQuietly(const fs::path& path) {
  std::error_code ignored;
  fs::remove(path, ignored);
}

std::error_code systemError(int error) {
  return {error, std::system_category()};
}

// The jobs of the pictures that need a decode, each writing the renditions not kept to
// temporaries.
std::vector<ThumbJob> makeJobs(const BatchSettings& settings, std::vector<PicturePlan>& plans,
                               MemoryBudget& budget) {
  std::vector<ThumbJob> jobs(plans.size());
  for (size_t i = 0; i < plans.size(); ++i) {
    if (!plans[i].needsRender()) {
      continue;
    }
    auto& job = jobs[i];
    job.settings = settings;
    job.record = plans[i].wanted;
    job.budget = &budget;
    job.source = settings.folder / plans[i].name;
    for (auto& r : plans[i].renditions) {
      if (r.decision != Decision::Keep) {
        r.temporary = settings.folder / temporaryName(::getpid(), i, r.kind);
        job.outputs.push_back({r.kind, r.temporary});
      }
    }
  }
  return jobs;
}

void removeTemporaries(const PicturePlan& plan) {
  for (const auto& r : plan.renditions) {
    if (!r.temporary.empty()) {
      removeQuietly(r.temporary);
    }
  }
}

// The page writer's record of a picture whose renditions are all in place, sized.
ThumbInfo thumbInfo(const PicturePlan& plan, const std::vector<Rendition>& renditions,
                    uint64_t sourceSize, uint32_t pictureWidth, uint32_t pictureHeight) {
  ThumbInfo info;
  info.FileName = plan.name;
  info.FileBytes = sourceSize;
  info.FileSize = FormatFileSize(static_cast<long long>(sourceSize));
  info.PictureWidth = static_cast<int>(std::min<uint32_t>(pictureWidth, 1u << 30));
  info.PictureHeight = static_cast<int>(std::min<uint32_t>(pictureHeight, 1u << 30));
  for (const auto& r : renditions) {
    switch (r.kind) {
      case RenditionKind::Thumbnail:
        info.ThumbFile = r.fileName;
        info.Width = static_cast<int16_t>(r.width);
        info.Height = static_cast<int16_t>(r.height);
        break;
      case RenditionKind::Thumbnail2x:
        info.Thumb2xFile = r.fileName;
        break;
      case RenditionKind::View:
        std::tie(info.ViewFile, info.ViewWidth, info.ViewHeight) =
            std::tuple(r.fileName, r.width, r.height);
        break;
      case RenditionKind::View2x:
        std::tie(info.View2xFile, info.View2xWidth, info.View2xHeight) =
            std::tuple(r.fileName, r.width, r.height);
        break;
    }
  }
  return info;
}

// Records a picture whose renditions are all in place.
void commitPicture(const PicturePlan& plan, const std::vector<Rendition>& renditions,
                   uint64_t sourceSize, uint32_t pictureWidth, uint32_t pictureHeight,
                   BatchResult& result) {
  result.thumbs.push_back(thumbInfo(plan, renditions, sourceSize, pictureWidth, pictureHeight));
  result.last = {result.thumbs.back().Width, result.thumbs.back().Height};
  for (const auto& r : renditions) {
    result.current.push_back(r.fileName);
  }
  result.obsolete.insert(result.obsolete.end(), plan.obsolete.begin(), plan.obsolete.end());
  result.problems.insert(result.problems.end(), plan.notes.begin(), plan.notes.end());
}

void commitKept(const PicturePlan& plan, BatchResult& result) {
  const auto& record = plan.kept;
  commitPicture(plan, plan.renditions, record.sourceSize, record.pictureWidth, record.pictureHeight,
                result);
  ++result.kept;
}

// Puts the renditions made in place, the largest first: a page never names a larger rendition
// that is not there. True when all are in place; otherwise the problem is in `result`.
bool placeAll(const BatchSettings& settings, const PicturePlan& plan,
              const std::vector<Rendition>& made, BatchResult& result) {
  for (auto r = made.rbegin(); r != made.rend(); ++r) {
    const int error =
        placeRendition(r->temporary, settings.folder / r->fileName, r->decision == Decision::Make);
    if (error == EEXIST) {
      result.problems.push_back(nameTaken(plan.name, r->fileName));
    } else if (error != 0) {
      RunProblem problem{plan.name, ProblemKind::ThumbnailNotWritten, systemError(error),
                         Cause::NotPlaced};
      problem.other = r->fileName;
      result.problems.push_back(std::move(problem));
      result.stoppedByDisk = isDiskFailure(error);
    }
    if (error != 0) {
      return false;
    }
  }
  return true;
}

// The renditions a rendered picture has, sized: the kept ones from the plan, the made ones from
// the render; one the render found not needed is left out (and `made` lists what to place).
std::vector<Rendition> renderedRenditions(const PicturePlan& plan, const ThumbOutcome& outcome,
                                          std::vector<Rendition>& made,
                                          std::vector<std::string>& obsolete) {
  std::vector<Rendition> renditions;
  for (Rendition r : plan.renditions) {
    if (r.decision != Decision::Keep) {
      const auto written = std::find_if(outcome.written.begin(), outcome.written.end(),
                                        [&](const WrittenOutput& w) { return w.kind == r.kind; });
      if (written == outcome.written.end() || written->width == 0) {
        if (r.decision == Decision::Replace) {
          obsolete.push_back(r.fileName);
        }
        continue;
      }
      r.width = written->width;
      r.height = written->height;
      made.push_back(r);
    }
    renditions.push_back(std::move(r));
  }
  return renditions;
}

void commitRendered(const BatchSettings& settings, const PicturePlan& plan,
                    const ThumbOutcome& outcome, BatchResult& result) {
  if (!outcome.ok) {
    if (outcome.size.X != 0) {
      result.last = outcome.size;
    }
    result.problems.push_back(outcome.problem);
    result.problems.back().file = plan.name;
    result.stoppedByDisk = isDiskFailure(outcome.problem.error.value());
    removeTemporaries(plan);
    return;
  }
  std::vector<Rendition> made;
  std::vector<std::string> obsolete;
  std::vector<Rendition> renditions = renderedRenditions(plan, outcome, made, obsolete);
  if (!placeAll(settings, plan, made, result)) {
    result.last = outcome.size;
    removeTemporaries(plan);
    return;
  }
  // The thumbnail's size is the fit's, whether it was made or kept.
  renditions.front().width = outcome.size.X;
  renditions.front().height = outcome.size.Y;
  commitPicture(plan, renditions, outcome.stamp.size, static_cast<uint32_t>(outcome.pictureWidth),
                static_cast<uint32_t>(outcome.pictureHeight), result);
  result.obsolete.insert(result.obsolete.end(), obsolete.begin(), obsolete.end());
  ++result.made;
  if (!outcome.warning.empty()) {
    result.problems.push_back(
        {plan.name, ProblemKind::PictureDamaged, {}, Cause::None, outcome.warning});
  }
}

// Temporaries of pictures not yet committed are removed however the batch ends.
struct TempSweeper {
  const std::vector<PicturePlan>& plans;
  const std::vector<char>& submitted;
  size_t committed = 0;
  ~TempSweeper() {
    for (size_t i = committed; i < plans.size(); ++i) {
      if (submitted[i]) {
        removeTemporaries(plans[i]);
      }
    }
  }
};

}  // namespace

BatchResult MakeThumbnails(const BatchSettings& settings, ProgressDisplay& progress) {
  if (auto problem = prefixProblem(settings.prefix)) {
    throw std::invalid_argument(*problem);
  }
  BatchResult result;
  const int count =
      std::clamp<int>(settings.ImageCount, 0, static_cast<int>(settings.pictureNames.size()));
  const int16_t step = ProgressStep(progress.trackWidth(), count);
  if (count == 0) {
    return result;
  }
  int workers = settings.workers > 0 ? settings.workers
                                     : static_cast<int>(std::thread::hardware_concurrency());
  workers = std::clamp(workers, 1, count);
  // Every picture's plan is fixed before the first decode.
  std::vector<PicturePlan> plans = planBatch(settings, count, workers);
  const ReusedLargeBlocks reuse;
  MemoryBudget ownBudget(settings.sharedBudget != nullptr ? 1
                         : settings.memoryBudget > 0      ? settings.memoryBudget
                                                          : defaultMemoryBudget());
  MemoryBudget& budget = settings.sharedBudget != nullptr ? *settings.sharedBudget : ownBudget;
  const std::vector<ThumbJob> jobs = makeJobs(settings, plans, budget);
  if (settings.afterPlanning) {
    settings.afterPlanning();
  }

  // A few pictures per worker keep every core busy while the commits wait in order; more
  // would only park finished thumbnails on disk.
  const int window = 4 * workers;
  std::vector<char> submitted(plans.size(), 0);  // so a temporary may exist
  TempSweeper sweeper{plans, submitted};
  // Declared after the sweeper, so that the workers have stopped before it looks for files.
  std::optional<RenderPool> pool;
  imaging::cDIBSection ownCanvas;
  // An unchanged album renders nothing: its threads would only start and stop.
  const bool renders = std::any_of(plans.begin(), plans.end(),
                                   [](const PicturePlan& plan) { return plan.needsRender(); });
  if (workers > 1 && renders) {
    pool.emplace(workers, jobs);
  }
  int nextSubmit = 0;
  for (int i = 0; i < count; ++i) {
    if (common::stopRequested(settings.stop)) {
      result.stopped = true;
      break;
    }
    for (; pool && nextSubmit < count && nextSubmit < i + window; ++nextSubmit) {
      if (plans[static_cast<size_t>(nextSubmit)].needsRender()) {
        submitted[static_cast<size_t>(nextSubmit)] = 1;
        pool->submit(static_cast<size_t>(nextSubmit));
      }
    }
    progress.setStatus({common::Phase::Thumbnails, i + 1, count});
    const auto& plan = plans[static_cast<size_t>(i)];
    if (plan.skipped()) {
      result.problems.push_back(*plan.problem);
    } else if (plan.keptWhole()) {
      commitKept(plan, result);
    } else {
      submitted[static_cast<size_t>(i)] = 1;
      const ThumbOutcome outcome =
          pool ? pool->take(static_cast<size_t>(i)) : RenderPool::renderGuarded(jobs[i], ownCanvas);
      commitRendered(settings, plan, outcome, result);
    }
    sweeper.committed = static_cast<size_t>(i) + 1;
    growFill(progress, step);
    if (result.stoppedByDisk) {
      break;
    }
  }
  pool.reset();
  result.memoryPeak = budget.peak();
  return result;
}

}  // namespace vistrel::thumbs
