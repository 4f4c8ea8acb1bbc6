// What the stages of a solve hold, and the entry points that let a caller run parts of them
// elsewhere (the ranks of a cluster job run the mixed-cell branches and the first tracking).
#ifndef ZORMIX_SOLVE_STAGE_DATA_H_
#define ZORMIX_SOLVE_STAGE_DATA_H_

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/random.h"
#include "mixedcell/cell_list.h"
#include "mixedcell/mixed_cell_search.h"
#include "model/normal_form.h"
#include "solve/checkpoint.h"
#include "tracker/tracking.h"
#include "zormix/stages.h"

namespace zormix {

struct ProblemData {
  NormalForm system;                       // scaled coefficients, raw copy, scale exponents
  std::vector<std::string> variableNames;  // trailing blanks removed
  std::vector<std::string> warnings;
};

struct StartData {
  StartData(const Problem& problem, std::uint64_t seed)
      : problem(problem), seed(seed), runtime(seed) {}

  Problem problem;  // the supports the start was made for
  Route route = Route::kPolyhedral;
  std::uint64_t seed;
  std::int64_t pathCount = 0;
  std::int64_t cellCount = 0;
  bool trackable = false;
  // Polyhedral route: lifting, cells and |det| of each cell.
  std::vector<double> lifting;
  CellList cells;
  std::vector<std::int64_t> cellVolume;
  std::vector<std::string> cellWarnings;  // of the mixed cells' audit, for the result
  // Total-degree route: the degrees of q[2i] y_i^d_i + q[2i+1] = 0 (its solutions are computed
  // path by path).
  std::vector<std::int32_t> totalDegree;
  std::vector<Complex> startCoefficients;
  // The run-time generator after the start's draws: every Track continues from a copy.
  RuntimeUniform runtime;
  double mixedCellSeconds = 0.0;
};

struct TrackedData {
  TrackedData(const Problem& target, const StartSystem& start)
      : target(target), start(start), runtime(start.data().runtime) {}

  Problem target;
  StartSystem start;
  TrackingOutcome tracking;  // end points in the scaled variables
  RuntimeUniform runtime;    // after the tracking's draws: the finishing draws follow
  double trackingSeconds = 0.0;
  std::int64_t restoredPaths = 0;  // paths of the first tracking read back from a checkpoint
};

double SecondsSince(std::chrono::steady_clock::time_point start);

// The lines and checks every stage shares. estimateSeconds: for Stage::kTracking, the estimated
// wall time of tracking every path.
void Announce(const SolveOptions& options, Stage stage, std::int64_t pathsTotal,
              double estimateSeconds = 0.0);
void ThrowIfInterrupted(const SolveOptions& options);
// Throws Error kBadArgument when options.Validate() fails.
void ThrowIfInvalid(const SolveOptions& options);
// options.threads with 0 replaced by the number of hardware cores.
int ThreadCount(const SolveOptions& options);

// The seed a solve uses: options.seed when set; else, with a checkpoint, the one stored in it;
// else fresh entropy.
std::uint64_t ChooseSeed(const SolveOptions& options);

// The checkpoint of options.checkpointPath for tracking a route with this seed to `target`, or null
// without one (or with mixedVolumeOnly). Throws Error kCheckpoint for a file of another solve.
std::unique_ptr<Checkpoint> OpenCheckpoint(const SolveOptions& options, const Problem& target,
                                           Route route, std::uint64_t seed);

// MakeStartSystem with a known seed and the mixed-cell branches run by `cellBranches` (empty:
// on this process's threads).
StartSystem MakeStartSystemWith(const Problem& problem, const SolveOptions& options,
                                std::uint64_t seed, const BranchRunner& cellBranches);

// Hands the checkpoint the cells' path counts, so that it can check every record against them.
void ExpectStartPaths(Checkpoint* checkpoint, const StartSystem& start);
// `options` whose progress reports also say how many paths `checkpoint` restored (none without
// one). Reports come from the calling thread, as the restore does.
SolveOptions WithRestoredPaths(const SolveOptions& options, const Checkpoint* checkpoint);

// Track with the units of the first tracking run by `units` (empty: on this process's threads).
// firstTrackingOnly: stop after them and return no end points (a cluster rank's share).
TrackedPaths TrackWith(const StartSystem& start, const Problem& target, const SolveOptions& options,
                       const UnitRunner& units, bool firstTrackingOnly = false);

// The result of a start made with mixedVolumeOnly: counts only, nothing tracked.
SolveResult PathCountResult(const StartSystem& start);

// The end points of `tracking` (in the scaled variables of `system`) become the roots, path
// records and counts of `result`, classified, and certified when `certify`; Finish and the
// members of a family share it. Empties `tracking`. `interrupted` (asked on this thread only) stops
// it between end points with Error kInterruptedId.
void FinishEndPoints(const NormalForm& system, TrackingOutcome& tracking, RuntimeUniform& runtime,
                     int threads, bool certify, SolveResult& result,
                     const std::function<bool()>& interrupted);

}  // namespace zormix

#endif  // ZORMIX_SOLVE_STAGE_DATA_H_
