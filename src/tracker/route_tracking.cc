#include "tracker/route_tracking.h"

#include <algorithm>
#include <memory>

#include "tracker/path_steps.h"

namespace zormix {

void RouteTracking::Record(std::int64_t unit, bool recorded, const PathState& state) {
  UnitOutcome& outcome = outcomes[static_cast<std::size_t>(unit)];
  outcome.recorded = recorded ? 1 : 0;
  outcome.steps = state.steps;
  outcome.failure = recorded ? PathFailure::kNone : state.failure;
  if (recorded) std::copy(state.y.begin(), state.y.end(), endPoints.col(unit));
  counters.Count(recorded);
}

namespace {

// Underflow and the step limit say the tracker lost the path, not where the path goes: a more
// careful re-track often reaches a regular root. Paths given up by the end game, or that reached
// the target and were refused there, keep their outcome.
bool IsRescuable(const UnitOutcome& outcome) {
  return !outcome.recorded && (outcome.failure == PathFailure::kStepUnderflow ||
                               outcome.failure == PathFailure::kStepLimit);
}

void RescueOne(RouteTracking& tracking, std::int64_t unit, const RetrackFunction& retrack) {
  UnitOutcome& outcome = tracking.outcomes[static_cast<std::size_t>(unit)];
  PathRecord record;
  record.cell = outcome.cell;
  record.startIndex = outcome.startIndex;
  const RetrackResult result = retrack(record, kRescueCorrectionLimit);
  const bool usable = !result.failed &&
                      result.y.size() == static_cast<std::size_t>(tracking.endPoints.rows()) &&
                      path_steps::AllFinite(result.y);
  if (!usable) return;
  std::copy(result.y.begin(), result.y.end(), tracking.endPoints.col(unit));
  outcome.recorded = 1;
  outcome.rescued = 1;
  outcome.steps += result.steps;
  outcome.blowUps = 0;  // blowUpCount counts paths that finally blew up
}

}  // namespace

RescueStats RescueFailedPaths(RouteTracking& tracking, const RetrackFactory& makeRetrack,
                              int threads) {
  std::vector<std::int64_t> units;
  for (std::int64_t u = 0; u < tracking.total; ++u) {
    if (IsRescuable(tracking.outcomes[static_cast<std::size_t>(u)])) units.push_back(u);
  }
  RescueStats stats;
  stats.attempts = static_cast<std::int64_t>(units.size());
  if (units.empty()) return stats;
  // Each unit writes only its own slot, so the outcome is that of the serial loop.
  auto makeWorker = [&]() -> UnitFunction {
    RetrackFunction retrack = makeRetrack(RetrackPurpose::kRescue);
    return [&tracking, &units, retrack](std::int64_t i) {
      RescueOne(tracking, units[static_cast<std::size_t>(i)], retrack);
    };
  };
  RunUnitsInParallel(stats.attempts, threads, makeWorker, [] {});
  for (std::int64_t u : units)
    stats.rescued += tracking.outcomes[static_cast<std::size_t>(u)].rescued;
  return stats;
}

TrackingOutcome TrackRoute(RouteTracking& tracking, const std::function<UnitFunction()>& makeWorker,
                           const RetrackFactory& makeRetrack, const SystemView& target,
                           RuntimeUniform& runtime, const TrackingOptions& options) {
  const std::int64_t total = tracking.total;
  RunUnitsInParallel(total, options.threads, makeWorker,
                     [&] { tracking.counters.Report(options, total); });
  const RescueStats rescue = RescueFailedPaths(tracking, makeRetrack, options.threads);

  TrackingOutcome outcome = CollectOutcomes(std::move(tracking.endPoints), tracking.outcomes);
  const PathJumpingStats stats =
      CheckPathJumping(target, outcome.solutions, outcome.rootCount, outcome.records,
                       makeRetrack(RetrackPurpose::kPathJumping), runtime);
  // The check counts its own re-tracks from 0; the rescue re-track comes on top.
  std::size_t r = 0;
  for (const UnitOutcome& unit : tracking.outcomes) {
    if (!unit.recorded) continue;
    outcome.records[r++].retrackCount += unit.rescued;
  }
  outcome.retrackedPaths = stats.retrackedPaths;
  outcome.separatedPairs = stats.separatedPairs;
  outcome.rescueAttempts = rescue.attempts;
  outcome.rescuedPaths = rescue.rescued;
  outcome.lostPaths = rescue.attempts - rescue.rescued;
  for (const PathRecord& record : outcome.records) outcome.lostPaths += record.retrackFailed;
  return outcome;
}

}  // namespace zormix
