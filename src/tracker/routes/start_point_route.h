// The parameter homotopy's route: its paths start at given points and run over t in [0, 1], one
// path per start point, then the rescue of lost paths and the path-jumping check, as on the
// total-degree route (track_total_degree.cc).
#ifndef ZORMIX_TRACKER_ROUTES_START_POINT_ROUTE_H_
#define ZORMIX_TRACKER_ROUTES_START_POINT_ROUTE_H_

#include <functional>
#include <memory>
#include <span>

#include "tracker/jumps/path_jumping.h"
#include "tracker/path/path_state.h"
#include "tracker/path/tracker_parameters.h"
#include "tracker/routes/path_units.h"
#include "tracker/routes/route_tracking.h"
#include "tracker/tracking.h"

namespace zormix {

// One thread's tracker of a homotopy H from the columns of startPoints.
template <typename H>
struct StartPointWorker {
  StartPointWorker(H&& h, const ColMajorMatrix<Complex>& points, const RouteConstants& route,
                   const PathLimits& limits, const SystemView& target,
                   std::span<const std::int32_t> maxDegree)
      : homotopy(std::move(h)), state(target.n), startPoints(points) {
    context.homotopy = &homotopy;
    context.route = &route;
    context.limits = limits;
    context.target = target;
    context.maxDegree = maxDegree;
  }
  bool Track(std::int64_t k, std::int64_t& blowUps) {
    if (k < 0 || k >= startPoints.cols()) return false;
    return TrackPath(state, context, startPoints.col(k), 0.0, blowUps);
  }

  H homotopy;
  PathState state;
  PathContext context;
  const ColMajorMatrix<Complex>& startPoints;
};

// Where first trackings record their points for the jump check (path_waypoint.h): far enough
// from t = 1 that the paths are still well apart, late enough to cover most of the way. On these
// routes every path is a distinct regular solution of H(y, t) = 0 for t < 1.
inline constexpr double kStartPointWaypoint = 0.9;

// Tracks every column of startPoints with homotopies from makeHomotopy() (one per worker) and
// returns the outcome of TrackRoute. A re-track starts again from t = 0 with h = 0.001 and the
// caller's correction limit. stepLimit > 0 replaces the step limit of every path (first tracking
// and re-tracks alike): a caller's bound on the work of one path.
template <typename H>
TrackingOutcome TrackFromStartPoints(const std::function<H()>& makeHomotopy,
                                     const ColMajorMatrix<Complex>& startPoints,
                                     const RouteConstants& route, const SystemView& target,
                                     std::span<const std::int32_t> maxDegree,
                                     RuntimeUniform& runtime, const TrackingOptions& options,
                                     std::int32_t stepLimit = 0) {
  using Worker = StartPointWorker<H>;
  const auto bounded = [stepLimit](PathLimits limits) {
    if (stepLimit <= 0) return limits;
    limits.stepLimit = stepLimit;
    limits.cauchyEndGame = false;
    limits.polishNearTarget = false;
    return limits;
  };
  RouteTracking tracking(target.n, startPoints.cols(), true);
  auto makeWorker = [&]() -> UnitFunction {
    auto worker = std::make_shared<Worker>(makeHomotopy(), startPoints, route,
                                           bounded(FirstTrackingLimits(kStartPointWaypoint)),
                                           target, maxDegree);
    return [&, worker](std::int64_t unit) {
      UnitOutcome& outcome = tracking.outcomes[unit];
      outcome.startIndex = static_cast<std::int32_t>(unit + 1);
      const bool recorded = worker->Track(unit, outcome.blowUps);
      tracking.Record(unit, recorded, worker->state);
    };
  };
  auto makeRetrack = [&](RetrackPurpose purpose) -> RetrackFunction {
    PathLimits limits = bounded(RetrackLimits(purpose));
    limits.initialStep = 0.001;
    auto worker =
        std::make_shared<Worker>(makeHomotopy(), startPoints, route, limits, target, maxDegree);
    return [worker](const PathRecord& record, double correctionLimit) {
      worker->context.limits.correctionLimit = correctionLimit;
      std::int64_t ignoredBlowUps = 0;
      const bool accepted = worker->Track(record.startIndex - 1, ignoredBlowUps);
      return RetrackOutcome(worker->state, accepted);
    };
  };
  return TrackRoute(tracking, makeWorker, makeRetrack, target, runtime, options);
}

}  // namespace zormix

#endif  // ZORMIX_TRACKER_ROUTES_START_POINT_ROUTE_H_
