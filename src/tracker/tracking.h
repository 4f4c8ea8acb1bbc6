// Path tracking on both routes, with the path-jumping check at the end.
#ifndef ZORMIX_TRACKER_TRACKING_H_
#define ZORMIX_TRACKER_TRACKING_H_

#include <cstdint>
#include <functional>
#include <vector>

#include "base/random.h"
#include "mixedcell/cell_list.h"
#include "zormix/types.h"

namespace zormix {

struct TrackingOptions {
  int threads = 1;  // >= 1; results are identical for every value
  // Called from the calling thread only, between units of work.
  std::function<void(const Progress&)> progress;
  // Polled from the calling thread between units of work; true stops the tracking with Error
  // kInterruptedId.
  std::function<bool()> interrupted;
};

struct TrackingOutcome {
  // Recorded end points in the scaled variables, one column per recorded path
  // (n x counts.endPoints), in the order of the serial loop (cell by cell, start solution by start
  // solution).
  ColMajorMatrix<Complex> solutions;
  std::vector<PathRecord> records;    // dense: records[r] describes column r
  std::vector<PathRecord> lostPaths;  // the paths without an end point, in serial order
  PathCounts counts;
};

// Polyhedral route. `system` is in normal form (scaled coefficients, constant terms completed);
// `lifting` and `cells` come from ComputeMixedCells; cellVolume[c] is |det| of cell c.
TrackingOutcome TrackPolyhedral(const PolySystem& system,
                                const std::vector<Complex>& startCoefficients,
                                const std::vector<double>& lifting, const CellList& cells,
                                const std::vector<std::int64_t>& cellVolume,
                                RuntimeUniform& runtime, const TrackingOptions& options);

// Total-degree route: H = (1 - t) Q + t P with Q_i = q[2i] y_i^d_i + q[2i+1].
TrackingOutcome TrackTotalDegree(const PolySystem& system,
                                 const std::vector<std::int32_t>& totalDegree,
                                 const std::vector<Complex>& startCoefficients,
                                 const ColMajorMatrix<Complex>& startSolutions,
                                 RuntimeUniform& runtime, const TrackingOptions& options);

}  // namespace zormix

#endif  // ZORMIX_TRACKER_TRACKING_H_
