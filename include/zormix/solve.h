// The one solve call that every front end, test and benchmark uses.
#ifndef ZORMIX_SOLVE_H_
#define ZORMIX_SOLVE_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "zormix/col_major_matrix.h"
#include "zormix/error.h"
#include "zormix/poly_system.h"

namespace zormix {

enum class Route {
  kPolyhedral,   // mixed cells of a random lifting, one path per start solution of each cell
  kTotalDegree,  // linear homotopy from a_i x_i^d_i + b_i = 0, one path per Bezout solution
};

// The host's route selector: the value truncated toward zero equal to 2 selects the total-degree
// route, every other value the polyhedral route (2.7 -> total degree; 1.99 and -2 -> polyhedral).
Route RouteFromMode(double mode);

// Where a solve is, for progress displays.
enum class Stage { kReading, kMixedCells, kTracking, kReport };

struct Progress {
  Stage stage = Stage::kReading;
  std::int64_t pathsDone = 0;     // paths finished (tracked to the end or given up)
  std::int64_t pathsTotal = 0;    // paths of the route (mixed volume or Bezout number)
  std::int64_t pathsReached = 0;  // paths that reached the target and were recorded
  std::int64_t pathsFailed = 0;   // paths given up
};

struct SolveOptions {
  // Which homotopy to use.
  Route route = Route::kPolyhedral;
  // Seed of every random draw of the solve. Unset: fresh entropy is drawn and reported in
  // SolveResult::seed, so the run can be repeated. Set: the solve is reproducible bit for bit,
  // whatever the thread count.
  std::optional<std::uint64_t> seed;
  // Threads that track paths; 0 means one per hardware core. Results never depend on it.
  int threads = 1;
  // Report file written after the solve; empty writes none. It appears complete or not at all.
  std::string reportPath = "data.roots";
  // Stop after the mixed-cell computation: pathCount is the mixed volume, no path is tracked and no
  // report is written. Only meaningful on the polyhedral route.
  bool mixedVolumeOnly = false;
  // Called from the solving thread between units of work; never concurrently.
  std::function<void(const Progress&)> progress;
};

// Six fields per recorded end point; statuses crossing a boundary are only ever appended to.
struct PathRecord {
  std::int32_t cell = 0;           // 1-based mixed cell of the path (0 on the total-degree route)
  std::int32_t startIndex = 0;     // 1-based start solution within its cell (or among all)
  std::int32_t steps = 0;          // accepted steps, re-tracks included
  std::int32_t retrackCount = 0;   // re-tracks of the path: rescue of a failed path, path jumping
  std::int32_t retrackFailed = 0;  // 1 when a re-track failed; the report skips the end point
  std::int32_t reserved = 0;       // written by nothing
};

struct SolveResult {
  int n = 0;
  Route route = Route::kPolyhedral;
  std::uint64_t seed = 0;           // the seed that was used
  std::int64_t pathCount = 0;       // mixed volume or Bezout number
  std::int64_t cellCount = 0;       // mixed cells (polyhedral route)
  std::int64_t rootCount = 0;       // accepted roots
  std::int64_t realCount = 0;       // accepted roots classed as real
  std::int64_t blowUpCount = 0;     // paths that blew up before the end game
  std::int64_t endPointCount = 0;   // end points recorded by the tracker, before the report
  std::int64_t retrackedPaths = 0;  // re-tracks run by the path-jumping check
  std::int64_t separatedPairs = 0;  // coinciding end-point pairs that re-tracking separated
  // Accepted roots, one per column, variables in the order of the input file (n x rootCount).
  ColMajorMatrix<Complex> roots;
  std::vector<double> residues;            // per root: Euclidean norm of the system at the root
  std::vector<double> conditionNumbers;    // per root: sigma_max / sigma_min of the Jacobian
  std::vector<std::uint8_t> isReal;        // per root: 1 when classed as real
  std::vector<PathRecord> records;         // per root: the path that produced it
  std::vector<std::string> variableNames;  // trailing blanks removed
  // Paths that the first tracking lost to step-size underflow or the step limit are re-tracked
  // once with the stricter corrector of the path-jumping check.
  std::int64_t rescuedPaths = 0;    // such paths whose re-track was recorded
  std::int64_t rescueAttempts = 0;  // such paths re-tracked
  // Paths the solve could not follow to their end: step failures (underflow, step limit) that the
  // rescue could not repair, and end points dropped because a re-track of the path-jumping check
  // failed. Paths given up by the end game (diverging, singular end) or refused at the target are
  // not counted. When a system has fewer roots than paths, paths to infinity often end in a step
  // failure too, so a count above 0 says that roots may be missing, not that they are.
  std::int64_t lostPaths = 0;
  // Conditions of the system that put the completeness of the roots in doubt, one sentence each
  // (e.g. coefficients that still span more orders of magnitude after scaling than double
  // precision can follow). Empty for an ordinary system.
  std::vector<std::string> warnings;
};

// Reads a system in the "PS.num" format. Throws Error naming the file, the line and what was
// expected for a missing file, a premature end, a malformed value or an impossible size.
PolySystem ReadSystemFile(const std::string& path);

// Solves the system as read (the solve brings it into normal form itself). Throws Error for input
// it cannot solve; path failures are counted, never thrown.
SolveResult SolveSystem(const PolySystem& system, const SolveOptions& options);

// Where the only console line of the core (" det = 0 !  ") goes; standard output by default. The
// MEX module points it at the host's console.
void SetConsoleWriter(std::function<void(std::string_view line)> writer);

}  // namespace zormix

#endif  // ZORMIX_SOLVE_H_
