// Points followed through a family of the decomposition (witness_family.h) by the parameter
// homotopy of a sweep: the gamma trick, the solve's end game, rescue and verdicts.
#ifndef ZORMIX_DECOMPOSE_WITNESS_TRACK_H_
#define ZORMIX_DECOMPOSE_WITNESS_TRACK_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "solve/solve_with_runner.h"
#include "tracker/tracking.h"
#include "zormix/col_major_matrix.h"
#include "zormix/decompose.h"
#include "zormix/parametric.h"
#include "zormix/result.h"
#include "zormix/solve.h"
#include "zormix/sweep.h"

namespace zormix {

// Who tracks the paths of a decomposition's homotopies: the processes of a cluster job share them
// out. Empty runners leave them to this process's threads. Every runner fills each path's slot as
// if it had been tracked here, so results do not depend on them.
struct TrackingRunners {
  RunnerFactory solves;  // the stages of every fresh solve (SolveSystemWith)
  UnitRunner members;    // the first tracking of every parameter homotopy (SolveMemberWith)
};

// Runs every homotopy of one decomposition: the k-th tracking draws from the k-th stream of the
// seed (its instance), so results depend on the seed and the order of the calls alone.
class PointTracker {
 public:
  PointTracker(std::uint64_t seed, const DecomposeOptions& options,
               const TrackingRunners& runners = TrackingRunners());

  // Tracks `points` (columns; multiplicity[k] paths for column k, empty: one each) from the
  // parameters `from` to `to`, and finishes the end points as a solve does.
  MemberResult Track(const ParametricSystem& family, std::span<const Complex> from,
                     std::span<const Complex> to, const ColMajorMatrix<Complex>& points,
                     std::span<const std::int32_t> multiplicity);

  // The SolveOptions of a fresh solve with this seed, threads, stop and progress; each solve gets
  // a seed of its own, derived from the decomposition's.
  SolveOptions FreshSolve();
  // SolveSystem with the solve runners.
  SolveResult Solve(const PolySystem& system, const SolveOptions& options) const;

  void SetDimension(int dimension, const char* step);
  // The paths of the step under way, for the progress display.
  void ReportPaths(const Progress& paths);
  void CheckInterrupted() const;
  const std::function<bool()>& interrupted() const { return options_.interrupted; }
  int threads() const { return threads_; }
  std::uint64_t seed() const { return seed_; }

 private:
  std::uint64_t seed_;
  int threads_;
  const DecomposeOptions& options_;
  TrackingRunners runners_;
  std::int64_t instance_ = 0;
  DecomposeProgress where_;
};

// Per start column: the end point of its path (the value of its root's group), or nothing when the
// path did not reach the target (at infinity, or lost). A start of multiplicity m takes the end of
// its first path that reached one. A path that the finish gave no verdict (a lone path at a
// singular root: where a witness path meets another component) takes its end point as tracked.
std::vector<std::optional<std::vector<Complex>>> EndOfEachStart(
    const MemberResult& tracked, std::span<const std::int32_t> multiplicity, std::int64_t starts);

// max_k |x_k - y_k| / max(1, max_k |y_k|): the distance that decompose.membership_distance bounds.
double RelativeDistance(std::span<const Complex> x, std::span<const Complex> y);

}  // namespace zormix

#endif  // ZORMIX_DECOMPOSE_WITNESS_TRACK_H_
