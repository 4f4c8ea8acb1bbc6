// Path tracking on both routes, with the path-jumping check at the end.
#ifndef ZORMIX_TRACKER_TRACKING_H_
#define ZORMIX_TRACKER_TRACKING_H_

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <thread>
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
  // Polled from the calling thread between units of work and, while that thread tracks a path,
  // every kStopPollInterval of it; true stops the tracking with Error kInterruptedId.
  std::function<bool()> interrupted;
  // Empty: all units are tracked here with RunUnitsInParallel.
  UnitRunner runUnits;
  // Only the units of the first tracking (runUnits ran this process's share of them): no rescue,
  // no path-jumping check, an empty outcome.
  bool firstTrackingOnly = false;
};

// How often the solving thread asks TrackingOptions::interrupted in the middle of a path: one path
// of a high degree takes seconds (x^10000000 - 1: some 5 s on the total-degree route).
inline constexpr std::chrono::milliseconds kStopPollInterval{50};

// The solve's request to stop, as the paths see it. Only the solving thread (the one that called
// Watch) asks `interrupted`; once it answered true the request holds, and every path being
// tracked, on any thread, is abandoned at its next step. An abandoned path is no result: it is
// neither counted nor saved, and the tracking ends with Error kInterruptedId.
class StopRequest {
 public:
  // From the solving thread, before any path is tracked; a null `interrupted` never stops.
  void Watch(const std::function<bool()>* interrupted);
  // At every step of a path, from any thread: one relaxed load, and on the solving thread a call
  // of `interrupted` once kStopPollInterval has passed since the last.
  bool Requested() {
    if (requested_.load(std::memory_order_relaxed)) return true;
    return std::this_thread::get_id() == solvingThread_ && AskIfDue();
  }
  // Solving thread: asks `interrupted` now.
  bool Ask();
  // Throws Error kInterruptedId once the stop was requested (any thread; nothing is asked): the
  // path just tracked may have been abandoned.
  void ThrowIfRequested() const;

 private:
  bool AskIfDue();

  const std::function<bool()>* interrupted_ = nullptr;
  std::atomic<bool> requested_{false};
  std::thread::id solvingThread_;
  std::chrono::steady_clock::time_point lastAsked_;
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

// One path of a finished route tracked again from its start point, as the path-jumping check
// re-tracks (its step limits, correction limit kCarefulCorrectionLimit, the Cauchy end game):
// `reached` with the end point (scaled variables) and its winding number, or not.
struct RetrackedEndPoint {
  bool reached = false;
  std::vector<Complex> endPoint;
  std::int32_t windingNumber = 0;
  std::int32_t steps = 0;
};
using PathRetracker = std::function<RetrackedEndPoint(const PathRecord& record)>;
inline constexpr double kCarefulCorrectionLimit = 0.001;

// The re-trackers of the routes, for paths the finish finds at a root that holds too many paths.
// The arguments are those the route was tracked with; they must outlive the re-tracker. Serial.
PathRetracker MakeTotalDegreeRetracker(const PolySystem& system,
                                       const std::vector<std::int32_t>& totalDegree,
                                       const std::vector<Complex>& startCoefficients);
PathRetracker MakePolyhedralRetracker(const PolySystem& system,
                                      const std::vector<Complex>& startCoefficients,
                                      const std::vector<double>& lifting, const CellList& cells);

}  // namespace zormix

#endif  // ZORMIX_TRACKER_TRACKING_H_
