// Polyhedral route: every start solution of every mixed cell, then the path-jumping check.
#include <algorithm>
#include <memory>
#include <mutex>

#include "tracker/dd/dd_tracker.h"
#include "tracker/homotopy/cell_setup.h"
#include "tracker/jumps/path_jumping.h"
#include "tracker/path/path_state.h"
#include "tracker/routes/path_units.h"
#include "tracker/routes/route_tracking.h"
#include "tracker/tracking.h"
#include "zormix/error.h"

namespace zormix {
namespace {

// The data every path of the route shares.
struct PolyhedralRoute {
  const PolySystem& system;
  const std::vector<Complex>& startCoefficients;
  const std::vector<double>& lifting;
  const CellList& cells;
  std::vector<std::int32_t> maxDegree;
  std::vector<Complex> delta;  // target - start
  MonomialLayout layout;
  SystemView target;

  PolyhedralRoute(const PolySystem& s, const std::vector<Complex>& start,
                  const std::vector<double>& w, const CellList& c)
      : system(s), startCoefficients(start), lifting(w), cells(c) {
    maxDegree = MaxDegrees(system.exponents);
    delta.resize(start.size());
    for (std::size_t j = 0; j < delta.size(); ++j) delta[j] = system.coefficients[j] - start[j];
    layout = {system.n, system.termCount, &system.exponents, maxDegree};
    target = {system.n, system.termCount, &system.exponents, system.coefficients};
  }
  CellSetup Prepare(std::int64_t cell) const {
    return PrepareCell(cell, cells, system, startCoefficients, lifting);
  }
};

// A cell is prepared by the first worker that needs it and released by the last one done with it,
// so only the cells in flight are held in memory.
struct CellSlot {
  std::once_flag once;
  std::unique_ptr<CellSetup> setup;
  std::atomic<std::int64_t> remaining{0};
};

// One worker's homotopy and path state, reused for all its paths.
struct PolyhedralWorker {
  PolyhedralWorker(const PolyhedralRoute& route, const PathLimits& limits)
      : homotopy(route.layout, route.startCoefficients, route.delta),
        state(route.system.n),
        start(static_cast<std::size_t>(route.system.n)) {
    context.homotopy = &homotopy;
    context.route = &kPolyhedralRoute;
    context.limits = limits;
    context.target = route.target;
    context.maxDegree = route.maxDegree;
  }
  // Tracks start solution k of a prepared cell; the end point stays in state.y.
  bool Track(const CellSetup& setup, std::int64_t k, std::int64_t& blowUps) {
    if (k >= setup.startCount) {  // no path: nothing to rescue either
      SetVerdict(state, PathFailure::kNone, 0.0);
      return false;
    }
    homotopy.SetPowers(setup.powers.beta);
    setup.starts->Solution(k, start.data());
    return TrackPath(state, context, start.data(), setup.s0, blowUps);
  }

  PolyhedralHomotopy homotopy;
  PathState state;
  std::vector<Complex> start;
  PathContext context;
};

RetrackFunction MakePolyhedralRetrack(const PolyhedralRoute& route, RetrackPurpose purpose,
                                      StopRequest& stop) {
  if (purpose == RetrackPurpose::kDoubleDouble)
    return MakePolyhedralDdRetrack(route.layout, route.startCoefficients, route.system.coefficients,
                                   [&route](std::int64_t cell) { return route.Prepare(cell); });
  PathLimits limits = RetrackLimits(purpose);
  limits.firstStepDivisor = 4.0;
  auto worker = std::make_shared<PolyhedralWorker>(route, limits);
  worker->context.stop = &stop;
  auto cached = std::make_shared<std::pair<std::int64_t, CellSetup>>(-1, CellSetup{});
  return [&route, worker, cached](const PathRecord& record, double correctionLimit) {
    const std::int64_t cell = record.cell - 1;
    if (cached->first != cell) {
      cached->second = route.Prepare(cell);
      cached->first = cell;
    }
    worker->context.limits.correctionLimit = correctionLimit;
    std::int64_t ignoredBlowUps = 0;
    const bool accepted = worker->Track(cached->second, record.startIndex - 1, ignoredBlowUps);
    return RetrackOutcome(worker->state, accepted);
  };
}

}  // namespace

TrackingOutcome TrackPolyhedral(const PolySystem& system,
                                const std::vector<Complex>& startCoefficients,
                                const std::vector<double>& lifting, const CellList& cells,
                                const std::vector<std::int64_t>& cellVolume,
                                RuntimeUniform& runtime, const TrackingOptions& options) {
  const PolyhedralRoute route(system, startCoefficients, lifting, cells);
  const std::int64_t cellCount = cells.size();
  if (static_cast<std::int64_t>(cellVolume.size()) != cellCount)
    throw Error(ErrorCode::kInternal, "path tracking: " + std::to_string(cellVolume.size()) +
                                          " cell volumes for " + std::to_string(cellCount) +
                                          " mixed cells");
  // Unit u is start solution u - offset[c] of the cell c with offset[c] <= u < offset[c + 1].
  std::vector<std::int64_t> offset(static_cast<std::size_t>(cellCount) + 1, 0);
  for (std::int64_t c = 0; c < cellCount; ++c) offset[c + 1] = offset[c] + cellVolume[c];
  const std::int64_t total = offset.back();
  auto slots = std::make_unique<CellSlot[]>(static_cast<std::size_t>(cellCount));
  for (std::int64_t c = 0; c < cellCount; ++c) slots[c].remaining = cellVolume[c];

  RouteTracking tracking(system.n, total);
  auto makeWorker = [&]() -> UnitFunction {
    auto worker = std::make_shared<PolyhedralWorker>(route, FirstTrackingLimits());
    worker->context.stop = &tracking.stop;
    return [&, worker](std::int64_t unit) {
      const std::int64_t c =
          std::upper_bound(offset.begin(), offset.end(), unit) - offset.begin() - 1;
      const std::int64_t k = unit - offset[c];
      CellSlot& slot = slots[c];
      std::call_once(slot.once,
                     [&] { slot.setup = std::make_unique<CellSetup>(route.Prepare(c)); });
      UnitOutcome& outcome = tracking.outcomes[unit];
      outcome.cell = static_cast<std::int32_t>(c + 1);
      outcome.startIndex = static_cast<std::int32_t>(k + 1);
      const bool recorded = worker->Track(*slot.setup, k, outcome.blowUps);
      tracking.stop.ThrowIfRequested();
      tracking.Record(unit, recorded, worker->state);
      if (slot.remaining.fetch_sub(1, std::memory_order_acq_rel) == 1) slot.setup.reset();
    };
  };
  return TrackRoute(
      tracking, makeWorker,
      [&](RetrackPurpose purpose) { return MakePolyhedralRetrack(route, purpose, tracking.stop); },
      route.target, runtime, options);
}

PathRetracker MakePolyhedralRetracker(const PolySystem& system,
                                      const std::vector<Complex>& startCoefficients,
                                      const std::vector<double>& lifting, const CellList& cells) {
  auto route = std::make_shared<PolyhedralRoute>(system, startCoefficients, lifting, cells);
  return CarefulRetracker(route,
                          [](const PolyhedralRoute& r, RetrackPurpose purpose, StopRequest& stop) {
                            return MakePolyhedralRetrack(r, purpose, stop);
                          });
}

}  // namespace zormix
