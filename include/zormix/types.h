// Types shared by the solve call and the stages below it.
#ifndef ZORMIX_TYPES_H_
#define ZORMIX_TYPES_H_

#include <cstdint>
#include <optional>
#include <string_view>

namespace zormix {

enum class Route {
  kPolyhedral,   // mixed cells of a random lifting, one path per start solution of each cell
  kTotalDegree,  // linear homotopy from a_i x_i^d_i + b_i = 0, one path per Bezout solution
};

// The name of a route on the command line and in the JSON ("polyhedral", "total-degree").
const char* RouteName(Route route);
// Its name in MATLAB values, which has no hyphen ("polyhedral", "totaldegree").
const char* HostRouteName(Route route);
// The route of either name; nullopt for any other text.
std::optional<Route> RouteNamed(std::string_view name);

// Where a solve is, for progress displays.
enum class Stage { kReading, kMixedCells, kTracking, kReport };

// Lower-case name of a stage for progress displays ("reading", "mixed cells", ...).
const char* StageName(Stage stage);

// The words of docs/cli.md: while tracking runs, a path has either reached the target (its end
// point is classified when tracking ends: regular, singular, positive-dimensional, or failed) or
// not (it diverged, or it was lost and is tracked again once all paths are done); at infinity and
// failed are told apart only then.
struct Progress {
  Stage stage = Stage::kReading;
  std::int64_t pathsDone = 0;      // paths finished: pathsReached + pathsFailed
  std::int64_t pathsTotal = 0;     // paths of the route (mixed volume or Bezout number)
  std::int64_t pathsReached = 0;   // paths that reached the target and were recorded
  std::int64_t pathsFailed = 0;    // paths that did not reach the target (yet)
  std::int64_t pathsRestored = 0;  // of pathsDone, those taken from a checkpoint, not tracked
  // Estimated wall time of tracking all paths, in seconds (0: none made), when tracking begins.
  double trackingEstimateSeconds = 0.0;
};

// How one path of a route ended. Values cross language boundaries (JSON, MATLAB): new statuses
// are only ever appended, never renumbered.
enum class PathStatus : std::uint8_t {
  kReached = 0,          // tracked to the target, end point recorded
  kRescued = 1,          // lost by the first tracking to a step failure, recorded by a re-track
  kJumped = 2,           // shared its end point with another path; re-tracked, end point recorded
  kRetrackFailed = 3,    // shared its end point with another path; the re-track failed
  kDiverged = 4,         // given up by the end game: heading to infinity
  kSingularEnd = 5,      // given up by the end game: heading to zero with a fractional power
  kStepUnderflow = 6,    // the step size fell below its limit (a rescue, if any, failed too)
  kStepLimit = 7,        // the step limit was reached (a rescue, if any, failed too)
  kRefusedAtTarget = 8,  // reached the target, but Newton's method there refused the point
  kPolished = 9,         // given up close to the target; Newton's method there found a new root
  kEndGame = 10,  // given up or refused close to the target; end point from the Cauchy end game,
                  // or (winding number 0) the path's last point on its approach to a set
  // Ended at a simple root, proven by an interval box, that another path reached too: one of the
  // two jumped onto it, and this one's own root is unknown (a failed path).
  kSharedSimpleRoot = 11,
  // Ended at an isolated multiple root that more paths reached than its multiplicity (the
  // dimension of its dual space): one of the surplus paths that jumped onto it; its own root is
  // unknown (a failed path).
  kSurplusAtRoot = 12,
};
inline constexpr int kPathStatusCount = 13;

// Lower-case name of a status, as the JSON and the MATLAB results write it ("reached", ...).
const char* PathStatusName(PathStatus status);
// True when the path's end point was recorded (reached, rescued, re-tracked after a jump,
// polished near the target, or computed by the end game).
constexpr bool IsSuccess(PathStatus status) {
  return status == PathStatus::kReached || status == PathStatus::kRescued ||
         status == PathStatus::kJumped || status == PathStatus::kPolished ||
         status == PathStatus::kEndGame;
}

// How one path of a route was tracked.
struct PathRecord {
  std::int32_t cell = 0;          // 1-based mixed cell of the path (0 on the total-degree route)
  std::int32_t startIndex = 0;    // 1-based start solution within its cell (or among all)
  std::int32_t steps = 0;         // accepted steps, re-tracks included
  std::int32_t retrackCount = 0;  // re-tracks of the path: rescue of a failed path, path jumping
  PathStatus status = PathStatus::kReached;
  // Loops around the target after which the path returned to itself: 0 unknown, 1 an ordinary end
  // point, m >= 2 the cycle of the end game (a singular end point of multiplicity >= m).
  std::int32_t windingNumber = 0;
  // For a path at infinity, the valuation estimate (Puiseux exponent, < 0) that proved it; 0 else.
  double valuation = 0.0;
};

// What happened to the paths of a route, counted once per solve.
struct PathCounts {
  std::int64_t endPoints = 0;       // end points recorded by the tracker, before refinement
  std::int64_t blowUps = 0;         // paths that blew up before the end game
  std::int64_t retracked = 0;       // re-tracks run by the path-jumping check
  std::int64_t separatedPairs = 0;  // coinciding end-point pairs that re-tracking separated
  std::int64_t rescueAttempts = 0;  // paths lost to a step failure and re-tracked once
  std::int64_t rescued = 0;         // of those, recorded
  std::int64_t byStatus[kPathStatusCount] = {};  // paths of the route by their final status

  std::int64_t of(PathStatus status) const { return byStatus[static_cast<int>(status)]; }
  // Paths the solve could not follow to their end: step failures the rescue could not repair and
  // end points dropped because a re-track failed. Paths to infinity often end in a step failure
  // too, so a count above 0 says that roots may be missing, not that they are.
  std::int64_t lost() const {
    return of(PathStatus::kStepUnderflow) + of(PathStatus::kStepLimit) +
           of(PathStatus::kRetrackFailed);
  }
};

}  // namespace zormix

#endif  // ZORMIX_TYPES_H_
