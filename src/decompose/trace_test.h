// The linear trace test (Sommese, Verschelde and Wampler, Symmetric functions applied to
// decomposing solution sets of polynomial systems, SIAM J. Numer. Anal. 40, 2002).
//
// Let X be an irreducible set of dimension k and degree d, W = X cut by the slice C x + c = 0 (d
// points). Move the slice parallel to itself along a pencil, c(t) = c + t delta: the slices sweep
// out a linear space of dimension n - k + 1, which cuts X in a curve, and X(t) = X cut by slice
// t are that curve's points on the parallel hyperplanes of a generic pencil. For a linear function
// lambda, the trace T(t) = sum over X(t) of lambda(x) is then a polynomial of degree at most one in
// t (the elementary symmetric functions of the pencil's points are polynomials in t, and the first
// has degree one since the pencil's hyperplanes meet at infinity away from the curve). For a
// proper non-empty subset of W, or a set with points of several components none of them
// complete, the sum of lambda over the points followed along the pencil is not linear in t for a
// random lambda and delta (with probability one). So a set of witness points is a union of
// complete witness sets of components exactly when its trace is linear; with three pencil
// positions 0, t1, t2 the test is whether
//   T(t2) - T(0) - (t2 / t1) (T(t1) - T(0))
// vanishes. The residual is this value over sum_i max_t |lambda(x_i(t))| (the size of the terms,
// so that it does not depend on units); the threshold is the accuracy of the tracked points (each
// refined end point is good to its condition number times the unit roundoff), times
// decompose.trace_safety, and never below decompose.trace_floor. A threshold above
// decompose.trace_ceiling (points too ill-conditioned to tell a complete set from one missing a
// point) fails the test whatever the residual.
#ifndef ZORMIX_DECOMPOSE_TRACE_TEST_H_
#define ZORMIX_DECOMPOSE_TRACE_TEST_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "base/random.h"
#include "decompose/monodromy_track.h"
#include "zormix/col_major_matrix.h"
#include "zormix/complex.h"
#include "zormix/parametric.h"

namespace zormix {

struct TraceOptions {
  std::uint64_t seed = 0;  // lambda, the pencil positions and the tracker's draws
  int threads = 1;
  std::function<bool()> interrupted;
};

// The points followed along the pencil base + t direction, t in {0, t1, t2}. Computed once for a
// whole witness set; the test of any subset of its points then takes no tracking.
struct TracePencil {
  std::vector<Complex> times;         // {0, t1, t2}
  ColMajorMatrix<Complex> values;     // points x 3: lambda(x_i(t_s))
  std::vector<double> size;           // per point: max_s |lambda(x_i(t_s))|
  std::vector<double> error;          // per point: bound on the rounding of its three values
  std::vector<std::uint8_t> tracked;  // 1: followed to both positions to a regular root
  std::int64_t pathsTracked = 0;
};

struct TraceTestResult {
  double residual = 0.0;   // as above; infinity when a point of the set was not tracked
  double threshold = 0.0;  // the accuracy bound the residual is held against
  bool passed = false;     // residual <= threshold <= decompose.trace_ceiling
};

// Follows `points` (n x count, roots of family at `base`) along base + t direction. `direction`
// moves only the slice's constants of a witness system (parallel slices); for a family of another
// kind it is any direction in its parameters. Throws Error on misfit arrays and kInterruptedId.
TracePencil TrackTracePencil(const ParametricSystem& family, std::span<const Complex> base,
                             std::span<const Complex> direction,
                             const ColMajorMatrix<Complex>& points, const TraceOptions& options);

// The same, for points handed in over several calls (each call tracks only its points): the
// pencil's draws and members are made once.
class TracePencilTracker {
 public:
  TracePencilTracker(const ParametricSystem& family, std::span<const Complex> base,
                     std::span<const Complex> direction, const TraceOptions& options);
  TracePencil Track(const ColMajorMatrix<Complex>& points);

 private:
  const ParametricSystem& family_;
  std::vector<Complex> base_;
  TraceOptions options_;
  std::vector<Complex> lambda_, times_, gamma_;
  std::vector<std::shared_ptr<const SegmentTarget>> at_;  // the members at t_s
  RuntimeUniform draws_{0};
};

// Appends the points of `more` (followed along the same pencil: same seed, base and direction) to
// `pencil`; an empty `pencil` becomes `more`.
void AppendPencil(TracePencil& pencil, const TracePencil& more);

// The test of the points `members` (indices into the pencil's points).
TraceTestResult TraceTest(const TracePencil& pencil, std::span<const std::int64_t> members);

}  // namespace zormix

#endif  // ZORMIX_DECOMPOSE_TRACE_TEST_H_
