// Total-degree route: one path of (1 - t) Q + t P per start solution, then the path-jumping check.
#include <algorithm>
#include <memory>

#include "startsys/start_systems.h"
#include "tracker/dd/dd_tracker.h"
#include "tracker/jumps/path_jumping.h"
#include "tracker/path/path_state.h"
#include "tracker/routes/path_units.h"
#include "tracker/routes/route_tracking.h"
#include "tracker/tracking.h"
#include "zormix/error.h"

namespace zormix {
namespace {

struct TotalDegreeRoute {
  const PolySystem& system;
  const std::vector<std::int32_t>& degree;
  const std::vector<Complex>& q;
  BinomialSolutions startPoints;
  std::vector<std::int32_t> maxDegree;
  MonomialLayout layout;
  SystemView target;

  TotalDegreeRoute(const PolySystem& s, const std::vector<std::int32_t>& d,
                   const std::vector<Complex>& startCoefficients)
      : system(s),
        degree(d),
        q(startCoefficients),
        startPoints(TotalDegreeStartPoints(startCoefficients, d)) {
    maxDegree = MaxDegrees(system.exponents);
    layout = {system.n, system.termCount, &system.exponents, maxDegree};
    target = {system.n, system.termCount, &system.exponents, system.coefficients};
  }
};

struct TotalDegreeWorker {
  TotalDegreeWorker(const TotalDegreeRoute& route, const PathLimits& limits)
      : homotopy(route.layout, route.system.coefficients, route.q, route.degree),
        state(route.system.n),
        startPoints(route.startPoints),
        start(static_cast<std::size_t>(route.system.n)) {
    context.homotopy = &homotopy;
    context.route = &kTotalDegreeRoute;
    context.limits = limits;
    context.target = route.target;
    context.maxDegree = route.maxDegree;
    context.startDegrees = route.degree;
  }
  bool Track(std::int64_t k, std::int64_t& blowUps) {
    if (k < 0 || k >= startPoints.count()) return false;
    startPoints.Solution(k, start.data());
    return TrackPath(state, context, start.data(), 0.0, blowUps);
  }

  TotalDegreeHomotopy homotopy;
  PathState state;
  PathContext context;
  const BinomialSolutions& startPoints;
  std::vector<Complex> start;  // the start point of the path being tracked
};

// Where first trackings record their points for the jump check (path_waypoint.h): far enough
// from t = 1 that the paths are still well apart, late enough to cover most of the way.
constexpr double kTotalDegreeWaypoint = 0.9;

// A re-track starts again from t = 0 with h = 0.001 and the caller's correction limit.
RetrackFunction MakeTotalDegreeRetrack(const TotalDegreeRoute& route, RetrackPurpose purpose,
                                       StopRequest& stop) {
  if (purpose == RetrackPurpose::kDoubleDouble)
    return MakeTotalDegreeDdRetrack(route.layout, route.system.coefficients, route.q, route.degree,
                                    route.startPoints);
  PathLimits limits = RetrackLimits(purpose);
  limits.initialStep = 0.001;
  auto worker = std::make_shared<TotalDegreeWorker>(route, limits);
  worker->context.stop = &stop;
  return [worker](const PathRecord& record, double correctionLimit) {
    worker->context.limits.correctionLimit = correctionLimit;
    std::int64_t ignoredBlowUps = 0;
    const bool accepted = worker->Track(record.startIndex - 1, ignoredBlowUps);
    return RetrackOutcome(worker->state, accepted);
  };
}

}  // namespace

TrackingOutcome TrackTotalDegree(const PolySystem& system,
                                 const std::vector<std::int32_t>& totalDegree,
                                 const std::vector<Complex>& startCoefficients,
                                 RuntimeUniform& runtime, const TrackingOptions& options) {
  const TotalDegreeRoute route(system, totalDegree, startCoefficients);
  const std::int64_t total = route.startPoints.count();
  // A path of a high degree takes a second or more (x^2000000 - 1): none is begun once interrupted.
  if (options.interrupted && options.interrupted())
    throw Error(ErrorCode::kInterrupted, kInterruptedMessage);
  RouteTracking tracking(system.n, total, true);
  auto makeWorker = [&]() -> UnitFunction {
    auto worker =
        std::make_shared<TotalDegreeWorker>(route, FirstTrackingLimits(kTotalDegreeWaypoint));
    worker->context.stop = &tracking.stop;
    return [&, worker](std::int64_t unit) {
      UnitOutcome& outcome = tracking.outcomes[unit];
      outcome.startIndex = static_cast<std::int32_t>(unit + 1);
      const bool recorded = worker->Track(unit, outcome.blowUps);
      tracking.stop.ThrowIfRequested();
      tracking.Record(unit, recorded, worker->state);
    };
  };
  return TrackRoute(
      tracking, makeWorker,
      [&](RetrackPurpose purpose) { return MakeTotalDegreeRetrack(route, purpose, tracking.stop); },
      route.target, runtime, options);
}

PathRetracker MakeTotalDegreeRetracker(const PolySystem& system,
                                       const std::vector<std::int32_t>& totalDegree,
                                       const std::vector<Complex>& startCoefficients) {
  auto route = std::make_shared<TotalDegreeRoute>(system, totalDegree, startCoefficients);
  return CarefulRetracker(route,
                          [](const TotalDegreeRoute& r, RetrackPurpose purpose, StopRequest& stop) {
                            return MakeTotalDegreeRetrack(r, purpose, stop);
                          });
}

}  // namespace zormix
