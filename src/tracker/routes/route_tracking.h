// The driver shared by both routes: first tracking of every path in parallel, the rescue of paths
// lost to step-size failures, and the path-jumping check.
#ifndef ZORMIX_TRACKER_ROUTES_ROUTE_TRACKING_H_
#define ZORMIX_TRACKER_ROUTES_ROUTE_TRACKING_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "model/system_eval.h"
#include "tracker/jumps/path_jumping.h"
#include "tracker/path/path_state.h"
#include "tracker/routes/path_slots.h"
#include "tracker/routes/path_units.h"
#include "tracker/tracking.h"

namespace zormix {

// What a re-track hands back: the final point, the counted steps, and whether it failed.
inline RetrackResult RetrackOutcome(const PathState& state, bool accepted) {
  RetrackResult result;
  result.y = state.y;
  result.steps = state.steps;
  result.failed = !accepted;
  result.windingNumber = accepted ? state.windingNumber : 0;
  result.diverged = !accepted && state.failure == PathFailure::kDiverged;
  result.valuation = result.diverged ? state.valuation : 0.0;
  return result;
}

// Where the workers of the first tracking leave their paths: one slot per path in serial order,
// allocated chunk by chunk as the paths are tracked (path_slots.h).
struct RouteTracking {
  // withWaypoints: the first trackings record points for the jump check (path_waypoint.h).
  RouteTracking(int n, std::int64_t pathCount, bool withWaypoints = false)
      : total(pathCount),
        endPoints(n, pathCount),
        outcomes(1, pathCount),
        waypoints(n, withWaypoints ? pathCount : 0),
        hasWaypoint(1, withWaypoints ? pathCount : 0) {}

  // Books the path of `unit` that `state` has just tracked (its end point when recorded).
  void Record(std::int64_t unit, bool recorded, const PathState& state);

  std::int64_t total;
  PointSlots endPoints;  // column u: end point of unit u when recorded
  PathSlots<UnitOutcome> outcomes;
  PointSlots waypoints;                 // column u: point of unit u at the waypoint
  PathSlots<std::uint8_t> hasWaypoint;  // empty when no waypoints are recorded
  SparsePoints polished;                // root reached by PolishNearTarget, by unit
  ProgressCounters counters;
  StopRequest stop;  // watched by TrackRoute; every path of the route is tracked with it
};

// Why a path is tracked again. The path-jumping check re-tracks with the corrector of the first
// tracking made stricter; the rescue also floors its tolerance at the rounding level of the
// residual (PathLimits::roundingFloor), since paths lost far out are often lost to that level.
// A path the rescue does not bring home gets a last rescue that corrects down to the rounding
// level and predicts along the tangent at tiny steps (kLastRescue). Paths lost even then are
// tracked again in double-double arithmetic (kDoubleDouble, tracker/dd/dd_tracker.h).
enum class RetrackPurpose { kPathJumping, kRescue, kLastRescue, kDoubleDouble };

// Limits shared by every re-track: tracker.retrack_step_limit counted steps, no raise of the
// correction limit near the target, and the rounding-level tolerance floor only when rescuing a
// lost path.
inline PathLimits RetrackLimits(RetrackPurpose purpose) {
  PathLimits limits;
  limits.stepLimit = static_cast<std::int32_t>(tracker::kRetrackStepLimit.value());
  limits.raiseNearTarget = false;
  const bool rescue = purpose != RetrackPurpose::kPathJumping;
  limits.roundingFloor = rescue;
  limits.raiseForTinySteps = !rescue;
  if (purpose == RetrackPurpose::kLastRescue) {
    limits.roundingLevelTolerance = true;
    limits.extendedResidual = true;
    limits.refuseBeyondDivergenceBound = true;
    limits.tangentPredictorBelow = tracker::kLastRescueTangentBelow;
  }
  return limits;
}

// Each call returns a re-tracker with scratch of its own (one per thread).
using RetrackFactory = std::function<RetrackFunction(RetrackPurpose)>;

// Re-tracks once, with the re-track limits of RetrackPurpose::kRescue and first correction limit
// tracker.rescue_correction_limit, every unrecorded path that failed by step-size underflow or the
// step limit, and every path whose point at the jump check coincides with another's (one of them
// left its path). A finite accepted end point goes into the path's slot (replacing an end point of
// the first tracking), with retrackCount 1, the re-track's steps added and its blow-up withdrawn; a
// re-track that the end game proved diverging gives the path that verdict (status kDiverged, its
// valuation, the re-track's steps added); any other failed re-track leaves the slot as it was.
// Paths that failed the first tracking far from the target (a blow-up) and are still lost then get
// one re-track with RetrackPurpose::kLastRescue. Sets counts.rescueAttempts, counts.rescued and
// counts.retracked (the jump re-tracks). Results do not depend on `threads`.
void RescueFailedPaths(RouteTracking& tracking, const RetrackFactory& makeRetrack, int threads,
                       PathCounts& counts);

// Records, in unit order, the roots that PolishNearTarget reached from paths given up close to
// the target and that no recorded path (nor an earlier such root) reached. Returns their number.
std::int64_t RecordPolishedRoots(RouteTracking& tracking);

// Tracks units 0..total-1 with the workers of makeWorker (which record into `tracking`), rescues,
// collects the paths in serial order and runs the path-jumping check with one re-tracker.
TrackingOutcome TrackRoute(RouteTracking& tracking, const std::function<UnitFunction()>& makeWorker,
                           const RetrackFactory& makeRetrack, const SystemView& target,
                           RuntimeUniform& runtime, const TrackingOptions& options);

// The careful re-tracker of a route that it keeps alive: every re-track a path-jumping re-track
// with correction limit kCarefulCorrectionLimit, under a stop request never asked (the re-tracks
// of a finish are not abandoned). `makeRetrack(route, purpose, stop)` is the route's re-track.
template <typename Route, typename MakeRetrack>
PathRetracker CarefulRetracker(std::shared_ptr<Route> route, MakeRetrack makeRetrack) {
  auto stop = std::make_shared<StopRequest>();
  return [route, stop, retrack = makeRetrack(*route, RetrackPurpose::kPathJumping, *stop)](
             const PathRecord& record) {
    const RetrackResult r = retrack(record, kCarefulCorrectionLimit);
    return RetrackedEndPoint{!r.failed, r.y, r.windingNumber, r.steps};
  };
}

}  // namespace zormix

#endif  // ZORMIX_TRACKER_ROUTES_ROUTE_TRACKING_H_
