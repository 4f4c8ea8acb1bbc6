#include "tracker/routes/route_tracking.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "tracker/dd/dd_rescue.h"
#include "tracker/jumps/path_waypoint.h"
#include "tracker/path/end_polish.h"
#include "tracker/path/path_steps.h"
#include "zormix/error.h"

namespace zormix {

void RouteTracking::Record(std::int64_t unit, bool recorded, const PathState& state) {
  UnitOutcome& outcome = outcomes[static_cast<std::size_t>(unit)];
  outcome.steps = state.steps;
  outcome.status = !recorded                ? StatusOfUnrecorded(state.failure)
                   : state.reachedByEndGame ? PathStatus::kEndGame
                                            : PathStatus::kReached;
  outcome.windingNumber = recorded ? state.windingNumber : 0;
  outcome.valuation = recorded ? 0.0 : state.valuation;
  // A blow-up counts only for a path that is given up: one that blew up on the way and was
  // recorded in the end (by the end game, or handed over) has none, as a checkpoint's record of
  // it must say (cyclic-11 polyhedral: a checkpoint refused on resuming, "blow-ups 1").
  if (recorded) outcome.blowUps = 0;
  if (recorded) std::copy(state.y.begin(), state.y.end(), endPoints.col(unit));
  if (!recorded && state.hasPolished) polished[static_cast<std::size_t>(unit)] = state.yPolished;
  if (!hasWaypoint.empty() && state.hasWaypoint) {
    std::copy(state.waypoint.begin(), state.waypoint.end(), waypoints.col(unit));
    hasWaypoint[static_cast<std::size_t>(unit)] = 1;
  }
  counters.Count(recorded);
}

namespace {

// Underflow and the step limit say the tracker lost the path, not where the path goes: a more
// careful re-track often reaches a regular root. Paths given up by the end game, or that reached
// the target and were refused there, keep their outcome.
bool IsRescuable(const UnitOutcome& outcome) {
  return outcome.status == PathStatus::kStepUnderflow || outcome.status == PathStatus::kStepLimit;
}

void RescueOne(RouteTracking& tracking, std::int64_t unit, const RetrackFunction& retrack) {
  UnitOutcome& outcome = tracking.outcomes[static_cast<std::size_t>(unit)];
  PathRecord record;
  record.cell = outcome.cell;
  record.startIndex = outcome.startIndex;
  const RetrackResult result = retrack(record, tracker::kRescueCorrectionLimit);
  // The tracker lost the path; tracked more carefully, its valuations prove where it goes.
  if (result.failed && result.diverged) {
    outcome.status = PathStatus::kDiverged;
    outcome.valuation = result.valuation;
    outcome.steps += result.steps;
    return;
  }
  const bool usable = !result.failed &&
                      result.y.size() == static_cast<std::size_t>(tracking.endPoints.rows()) &&
                      path_steps::AllFinite(result.y);
  if (!usable) return;
  std::copy(result.y.begin(), result.y.end(), tracking.endPoints.col(unit));
  outcome.status = PathStatus::kRescued;
  outcome.windingNumber = result.windingNumber;
  outcome.valuation = 0.0;
  outcome.steps += result.steps;
  outcome.blowUps = 0;  // blowUpCount counts paths that finally blew up
}

// Re-tracks `units` for `purpose`. Each unit writes only its own slot, so the outcome is that of
// the serial loop.
void RescueUnits(RouteTracking& tracking, const std::vector<std::int64_t>& units,
                 const RetrackFactory& makeRetrack, RetrackPurpose purpose, int threads) {
  if (units.empty()) return;
  auto makeWorker = [&]() -> UnitFunction {
    RetrackFunction retrack = makeRetrack(purpose);
    return [&tracking, &units, retrack](std::int64_t i) {
      RescueOne(tracking, units[static_cast<std::size_t>(i)], retrack);
    };
  };
  RunUnitsInParallel(static_cast<std::int64_t>(units.size()), threads, makeWorker, [] {});
}

}  // namespace

std::int64_t RecordPolishedRoots(RouteTracking& tracking) {
  std::vector<std::uint8_t> recorded(tracking.outcomes.size());
  for (std::size_t u = 0; u < recorded.size(); ++u) recorded[u] = tracking.outcomes[u].recorded();
  const std::vector<std::int64_t> added =
      NewPolishedRoots(tracking.endPoints, recorded, tracking.polished);
  for (std::int64_t u : added) {
    const std::vector<Complex>& root = tracking.polished[static_cast<std::size_t>(u)];
    std::copy(root.begin(), root.end(), tracking.endPoints.col(u));
    UnitOutcome& outcome = tracking.outcomes[static_cast<std::size_t>(u)];
    outcome.status = PathStatus::kPolished;
    outcome.windingNumber = 1;  // Newton converged quadratically there
    outcome.valuation = 0.0;
    outcome.blowUps = 0;
  }
  return static_cast<std::int64_t>(added.size());
}

void RescueFailedPaths(RouteTracking& tracking, const RetrackFactory& makeRetrack, int threads,
                       PathCounts& counts) {
  std::vector<std::uint8_t> chosen(static_cast<std::size_t>(tracking.total), 0);
  for (std::int64_t u = 0; u < tracking.total; ++u) {
    chosen[u] = IsRescuable(tracking.outcomes[static_cast<std::size_t>(u)]) ? 1 : 0;
    counts.rescueAttempts += chosen[u];
  }
  for (std::int64_t u : CoincidingWaypoints(tracking.waypoints, tracking.hasWaypoint)) {
    counts.retracked += 1;
    chosen[u] = 1;
  }
  std::vector<std::int64_t> units;
  for (std::int64_t u = 0; u < tracking.total; ++u)
    if (chosen[u]) units.push_back(u);
  if (units.empty()) return;
  std::vector<std::uint8_t> failedFirst(units.size());
  for (std::size_t i = 0; i < units.size(); ++i)
    failedFirst[i] = IsRescuable(tracking.outcomes[static_cast<std::size_t>(units[i])]) ? 1 : 0;
  RescueUnits(tracking, units, makeRetrack, RetrackPurpose::kRescue, threads);
  // Only paths lost far from the target (blow-ups): a path lost close to it is mostly on its way
  // to infinity or to a singular end, where a re-track at the rounding level only costs time.
  std::vector<std::int64_t> stillLost;
  for (std::size_t i = 0; i < units.size(); ++i) {
    const UnitOutcome& outcome = tracking.outcomes[static_cast<std::size_t>(units[i])];
    if (failedFirst[i] && IsRescuable(outcome) && outcome.blowUps > 0)
      stillLost.push_back(units[i]);
  }
  RescueUnits(tracking, stillLost, makeRetrack, RetrackPurpose::kLastRescue, threads);
  for (std::size_t i = 0; i < units.size(); ++i) {
    if (!failedFirst[i]) continue;
    const UnitOutcome& outcome = tracking.outcomes[static_cast<std::size_t>(units[i])];
    counts.rescued += outcome.status == PathStatus::kRescued ? 1 : 0;
  }
}

namespace {

void ThrowIfInterrupted(StopRequest& stop) {
  stop.Ask();
  stop.ThrowIfRequested();
}

}  // namespace

TrackingOutcome TrackRoute(RouteTracking& tracking, const std::function<UnitFunction()>& makeWorker,
                           const RetrackFactory& makeRetrack, const SystemView& target,
                           RuntimeUniform& runtime, const TrackingOptions& options) {
  const std::int64_t total = tracking.total;
  tracking.stop.Watch(&options.interrupted);
  auto poll = [&] {
    tracking.counters.Report(options, total);
    ThrowIfInterrupted(tracking.stop);
  };
  if (options.runUnits) {
    options.runUnits(tracking, makeWorker, poll);
  } else {
    RunUnitsInParallel(total, options.threads, makeWorker, poll);
  }
  if (options.firstTrackingOnly) return TrackingOutcome{};
  PathCounts rescue;
  RescueFailedPaths(tracking, makeRetrack, options.threads, rescue);
  RetrackInDoubleDouble(tracking, target, makeRetrack, options.threads, rescue);
  ThrowIfInterrupted(tracking.stop);

  const std::int64_t polishedPaths = RecordPolishedRoots(tracking);
  tracking.waypoints.ReleaseChunksBefore(total);  // the jump check's points are done with
  TrackingOutcome outcome = CollectOutcomes(std::move(tracking.endPoints), tracking.outcomes);
  const PathCounts jumps = CheckPathJumping(
      target, outcome.solutions, outcome.counts.endPoints, outcome.records,
      makeRetrack(RetrackPurpose::kPathJumping), runtime, makeRetrack(RetrackPurpose::kLastRescue));
  tracking.stop.ThrowIfRequested();  // a re-track of the check was abandoned
  // The check counts its own re-tracks from 0; the rescue re-track comes on top.
  std::size_t r = 0;
  for (std::int64_t u = 0; u < total; ++u) {
    const UnitOutcome& unit = std::as_const(tracking.outcomes)[u];
    if (!unit.recorded()) continue;
    outcome.records[r++].retrackCount += unit.status == PathStatus::kRescued ? 1 : 0;
  }
  outcome.counts.retracked = jumps.retracked + rescue.retracked;
  outcome.counts.separatedPairs = jumps.separatedPairs;
  outcome.counts.rescueAttempts = rescue.rescueAttempts;
  outcome.counts.rescued = rescue.rescued;
  outcome.polishedRoots = polishedPaths;
  return outcome;
}

}  // namespace zormix
