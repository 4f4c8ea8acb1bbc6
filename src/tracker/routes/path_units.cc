#include "tracker/routes/path_units.h"

#include <algorithm>
#include <utility>

namespace zormix {

void ProgressCounters::Report(const TrackingOptions& options, std::int64_t total) const {
  if (!options.progress) return;
  Progress progress;
  progress.stage = Stage::kTracking;
  progress.pathsDone = done.load(std::memory_order_acquire);
  progress.pathsTotal = total;
  progress.pathsReached = reached.load(std::memory_order_relaxed);
  progress.pathsFailed = failed.load(std::memory_order_relaxed);
  options.progress(progress);
}

TrackingOutcome CollectOutcomes(PathSlots<Complex>&& endPoints,
                                const PathSlots<UnitOutcome>& outcomes) {
  TrackingOutcome result;
  const std::int64_t n = endPoints.rows();
  std::int64_t recorded = 0;
  for (std::int64_t u = 0; u < outcomes.size(); ++u) recorded += outcomes[u].recorded() ? 1 : 0;
  result.solutions.Assign(n, recorded);
  result.records.reserve(static_cast<std::size_t>(recorded));
  std::int64_t r = 0;
  for (std::int64_t u = 0; u < outcomes.size(); ++u) {
    if (u % kUnitsPerChunk == 0) endPoints.ReleaseChunksBefore(u);
    const UnitOutcome& outcome = outcomes[u];
    result.counts.blowUps += outcome.blowUps;
    PathRecord record;
    record.cell = outcome.cell;
    record.startIndex = outcome.startIndex;
    record.steps = outcome.steps;
    record.status = outcome.status;
    record.windingNumber = outcome.windingNumber;
    record.valuation = outcome.valuation;
    if (!outcome.recorded()) {
      result.lostPaths.push_back(record);
      continue;
    }
    const Complex* y = std::as_const(endPoints).col(u);
    std::copy(y, y + n, result.solutions.col(r));
    result.records.push_back(record);
    ++r;
  }
  endPoints.ReleaseChunksBefore(outcomes.size());
  result.counts.endPoints = r;
  return result;
}

}  // namespace zormix
