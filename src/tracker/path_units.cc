#include "tracker/path_units.h"

#include <algorithm>

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

TrackingOutcome CollectOutcomes(ColMajorMatrix<Complex>&& endPoints,
                                const std::vector<UnitOutcome>& outcomes) {
  TrackingOutcome result;
  const std::int64_t n = endPoints.rows();
  std::int64_t r = 0;
  for (std::size_t u = 0; u < outcomes.size(); ++u) {
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
    // Column u >= r, so moving forward in place never overwrites a column still to be read.
    if (static_cast<std::int64_t>(u) != r)
      std::copy(endPoints.col(static_cast<std::int64_t>(u)),
                endPoints.col(static_cast<std::int64_t>(u)) + n, endPoints.col(r));
    result.records.push_back(record);
    ++r;
  }
  endPoints.ResizeCols(r);
  result.solutions = std::move(endPoints);
  result.counts.endPoints = r;
  return result;
}

}  // namespace zormix
