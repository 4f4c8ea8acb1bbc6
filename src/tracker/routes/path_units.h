// Tracking many independent paths on several threads with results in serial order.
#ifndef ZORMIX_TRACKER_ROUTES_PATH_UNITS_H_
#define ZORMIX_TRACKER_ROUTES_PATH_UNITS_H_

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

#include "base/parallel.h"
#include "tracker/path/path_state.h"
#include "tracker/routes/path_slots.h"
#include "tracker/tracking.h"

namespace zormix {

// What one path left behind, stored in the slot of its unit (its serial position).
struct UnitOutcome {
  std::int32_t cell = 0;        // 1-based, 0 on the total-degree route
  std::int32_t startIndex = 0;  // 1-based
  std::int32_t steps = 0;
  std::int64_t blowUps = 0;
  PathStatus status = PathStatus::kRefusedAtTarget;
  std::int32_t windingNumber = 0;  // as in PathRecord
  double valuation = 0.0;          // as in PathRecord

  bool recorded() const { return IsSuccess(status); }
};

// Counts shared by the workers, read by the calling thread for progress reports.
struct ProgressCounters {
  std::atomic<std::int64_t> done{0};
  std::atomic<std::int64_t> reached{0};
  std::atomic<std::int64_t> failed{0};

  void Count(bool recorded) {
    (recorded ? reached : failed).fetch_add(1, std::memory_order_relaxed);
    done.fetch_add(1, std::memory_order_release);
  }
  // Calls options.progress (when set) with the current counts.
  void Report(const TrackingOptions& options, std::int64_t total) const;
};

// Compacts the recorded end points (column u of `endPoints` for unit u) in serial order into a
// dense outcome: solutions and records of the recorded paths, lostPaths, and the counts of end
// points and blow-ups. The chunks of `endPoints` are freed as they are collected.
TrackingOutcome CollectOutcomes(PathSlots<Complex>&& endPoints,
                                const PathSlots<UnitOutcome>& outcomes);

}  // namespace zormix

#endif  // ZORMIX_TRACKER_ROUTES_PATH_UNITS_H_
