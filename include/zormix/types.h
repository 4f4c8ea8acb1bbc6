// Types shared by the solve call and the stages below it.
#ifndef ZORMIX_TYPES_H_
#define ZORMIX_TYPES_H_

#include <cstdint>

namespace zormix {

enum class Route {
  kPolyhedral,   // mixed cells of a random lifting, one path per start solution of each cell
  kTotalDegree,  // linear homotopy from a_i x_i^d_i + b_i = 0, one path per Bezout solution
};

// Where a solve is, for progress displays.
enum class Stage { kReading, kMixedCells, kTracking, kReport };

struct Progress {
  Stage stage = Stage::kReading;
  std::int64_t pathsDone = 0;     // paths finished (tracked to the end or given up)
  std::int64_t pathsTotal = 0;    // paths of the route (mixed volume or Bezout number)
  std::int64_t pathsReached = 0;  // paths that reached the target and were recorded
  std::int64_t pathsFailed = 0;   // paths given up
};

// How one path of a route was tracked.
struct PathRecord {
  std::int32_t cell = 0;           // 1-based mixed cell of the path (0 on the total-degree route)
  std::int32_t startIndex = 0;     // 1-based start solution within its cell (or among all)
  std::int32_t steps = 0;          // accepted steps, re-tracks included
  std::int32_t retrackCount = 0;   // re-tracks of the path: rescue of a failed path, path jumping
  std::int32_t retrackFailed = 0;  // 1 when a re-track failed; the report skips the end point
};

}  // namespace zormix

#endif  // ZORMIX_TYPES_H_
