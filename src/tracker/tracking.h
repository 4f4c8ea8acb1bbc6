// Path tracking on both routes, with the path-jumping check at the end.
#ifndef ZORMIX_TRACKER_TRACKING_H_
#define ZORMIX_TRACKER_TRACKING_H_

#include <cstdint>
#include <functional>
#include <vector>

#include "driver/random.h"
#include "mixedcell/cell_list.h"
#include "zormix/solve.h"

namespace zormix {

struct TrackingOptions {
  int threads = 1;  // >= 1; results are identical for every value
  // Called from the calling thread only, between units of work.
  std::function<void(const Progress&)> progress;
};

struct TrackingOutcome {
  // Recorded end points in the scaled variables, one column per recorded path (n x rootCount),
  // in the order of the serial loop (cell by cell, start solution by start solution).
  ColMajorMatrix<Complex> solutions;
  std::vector<PathRecord> records;  // dense: records[r] describes column r
  std::int64_t rootCount = 0;
  std::int64_t blowUpCount = 0;
  std::int64_t retrackedPaths = 0;  // RetrackPath calls made by the path-jumping check
  std::int64_t separatedPairs = 0;  // pairs whose end points re-tracking moved apart
  std::int64_t rescuedPaths = 0;    // paths lost to step-size failures that a re-track recorded
  std::int64_t rescueAttempts = 0;  // paths re-tracked after such a failure
  std::int64_t lostPaths = 0;       // failed rescues plus end points of failed re-tracks
  std::int64_t polishedRoots = 0;   // roots added by Newton from paths given up near the target
};

// Polyhedral route. `system` is in normal form (scaled coefficients, constant terms completed);
// `lifting` and `cells` come from ComputeMixedCells; cellVolume[c] is |det| of cell c.
TrackingOutcome TrackAllPaths(const PolySystem& system,
                              const std::vector<Complex>& startCoefficients,
                              const std::vector<double>& lifting, const CellList& cells,
                              const std::vector<std::int64_t>& cellVolume, RuntimeUniform& runtime,
                              const TrackingOptions& options);

// Total-degree route: H = (1 - t) Q + t P with Q_i = q[2i] y_i^d_i + q[2i+1].
TrackingOutcome TrackTotalDegree(const PolySystem& system,
                                 const std::vector<std::int32_t>& totalDegree,
                                 const std::vector<Complex>& startCoefficients,
                                 const ColMajorMatrix<Complex>& startSolutions,
                                 RuntimeUniform& runtime, const TrackingOptions& options);

}  // namespace zormix

#endif  // ZORMIX_TRACKER_TRACKING_H_
