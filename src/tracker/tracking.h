// Path tracking on both routes, with the path-jumping check at the end.
#ifndef ZORMIX_TRACKER_TRACKING_H_
#define ZORMIX_TRACKER_TRACKING_H_

#include <cstdint>
#include <functional>
#include <vector>

#include "base/parallel.h"
#include "base/random.h"
#include "mixedcell/cell_list.h"
#include "zormix/col_major_matrix.h"
#include "zormix/complex.h"
#include "zormix/poly_system.h"
#include "zormix/types.h"

namespace zormix {

struct RouteTracking;

// Runs the first tracking of every unit of `tracking` with the unit functions of makeWorker (one
// per thread), calling `poll` from the calling thread between units. Replaces the in-process loop
// when units come back from a checkpoint or are spread over the processes of a cluster job; every
// unit's slot must be filled as if it had been tracked here.
using UnitRunner =
    std::function<void(RouteTracking& tracking, const std::function<UnitFunction()>& makeWorker,
                       const std::function<void()>& poll)>;

struct TrackingOptions {
  int threads = 1;  // >= 1; results are identical for every value
  // Called from the calling thread only, between units of work.
  std::function<void(const Progress&)> progress;
  // Polled from the calling thread between units of work; true stops the tracking with Error
  // kInterruptedId.
  std::function<bool()> interrupted;
  // Empty: all units are tracked here with RunUnitsInParallel.
  UnitRunner runUnits;
  // Only the units of the first tracking (runUnits ran this process's share of them): no rescue,
  // no path-jumping check, an empty outcome.
  bool firstTrackingOnly = false;
};

struct TrackingOutcome {
  // Recorded end points in the scaled variables, one column per recorded path
  // (n x counts.endPoints), in the order of the serial loop (cell by cell, start solution by start
  // solution).
  ColMajorMatrix<Complex> solutions;
  std::vector<PathRecord> records;    // dense: records[r] describes column r
  std::vector<PathRecord> lostPaths;  // the paths without an end point, in serial order
  PathCounts counts;
  std::int64_t polishedRoots = 0;  // roots added by Newton from paths given up near the target
};

// Polyhedral route. `system` is in normal form (scaled coefficients, constant terms completed);
// `lifting` and `cells` come from ComputeMixedCells; cellVolume[c] is |det| of cell c.
TrackingOutcome TrackPolyhedral(const PolySystem& system,
                                const std::vector<Complex>& startCoefficients,
                                const std::vector<double>& lifting, const CellList& cells,
                                const std::vector<std::int64_t>& cellVolume,
                                RuntimeUniform& runtime, const TrackingOptions& options);

// Total-degree route: H = (1 - t) Q + t P with Q_i = q[2i] y_i^d_i + q[2i+1]. Each path computes
// its start point (TotalDegreeStartPoints) when it begins: none are stored.
TrackingOutcome TrackTotalDegree(const PolySystem& system,
                                 const std::vector<std::int32_t>& totalDegree,
                                 const std::vector<Complex>& startCoefficients,
                                 RuntimeUniform& runtime, const TrackingOptions& options);

}  // namespace zormix

#endif  // ZORMIX_TRACKER_TRACKING_H_
