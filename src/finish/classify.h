// Regular and singular roots, their multiplicities, solution sets of positive dimension, and the
// accounting of every path.
#ifndef ZORMIX_FINISH_CLASSIFY_H_
#define ZORMIX_FINISH_CLASSIFY_H_

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "model/normal_form.h"
#include "zormix/result.h"

namespace zormix {

// Scale-invariant condition number of the unscaled system at x:
//   kappa_s = ||A||_inf ||A^-1||_inf,  A = diag(1/s_i) J(x) diag(c_j)
// in the point's units (scaled_jacobian.h). It does not change when an equation is multiplied by
// a constant or a variable is rescaled, so a badly scaled system (coefficients over many orders of
// magnitude, roots near 1e4) keeps its regular roots well conditioned, while a point on a
// positive-dimensional component or a multiple root keeps a singular A (katsura-8 has regular
// roots with coordinates of 1e-18 and plain condition numbers of 100). Also measured: the Newton
// step delta = J^-1 F = diag(c) A^-1 diag(1/s) F relative to the point,
// max_j |delta_j| / max(|x_j|, 1e-6 max_k |x_k|) (absolute at the origin): the error of a regular
// point.
struct PointMeasures {
  double scaledCondition = 0.0;  // 1e300 when A cannot be inverted
  double relativeStep = 0.0;     // 1 when A cannot be inverted
  // ||A^-1||: the condition against the size of the terms. Rows in units have 1-norm at most 1,
  // so it is at least kappa_s, and far above it where the whole Jacobian vanishes: at (1, 1) of
  // (x - 1)^2, (y - 1)^2, A = diag(2 (x - 1), 2 (y - 1)) / s has kappa_s near 1 while ||A^-1|| is
  // 1e15 at a point 1e-16 from the root.
  double termCondition = 0.0;  // 1e300 when A cannot be inverted
};
PointMeasures MeasurePoint(const NormalForm& system, const Complex* x);

// The verdict on every end point of a solve; per root unless said otherwise.
struct Classification {
  std::vector<RootStatus> status;
  std::vector<double> scaledConditionNumbers;
  std::vector<std::int32_t> multiplicity;    // end points in the root's group
  std::vector<std::int64_t> groupLeader;     // first column of the root's group
  std::vector<std::int32_t> localDimension;  // 0 unless positive-dimensional
  RootClassCounts counts;
  std::vector<std::string> warnings;  // verdict_warnings.h: groups and routes to doubt
  // Regular roots that only Newton's method in double-double resolved, with the root it found:
  // double's refinement leaves such roots where the rounding of the evaluation stalls it (0.03
  // off for the root 13 of Wilkinson's polynomial of degree 20, condition 1e13). In one unknown
  // also every end point at a multiple root, with that root (root_cluster.h).
  std::vector<std::pair<std::int64_t, std::vector<Complex>>> accurateValues;
  // Singular end points of one path with winding number <= 1 (ascending columns): counted failed,
  // and moved by TakeClassification from the roots to the lost paths (kRefusedAtTarget).
  std::vector<std::int64_t> unresolved;
};

// The rule, on the system with its equations normalized (exact powers of two, so that no unit
// of any equation, subnormal ones included, changes a verdict):
//
// Regular: an isolated simple root, decided by Newton's convergence, not by a condition
// threshold. A point is a regular candidate when kappa_s <= 1e12 (beyond it double precision
// leaves no correct digit to converge in) and either Newton's method in long double converges
// quadratically from it (extended_newton.h) to a limit where kappa_s is at most 1e3 times the
// start's (on a solution set the limit's Jacobian is singular) and kappa_s <= 1e10 (beyond it
// points on solution sets pass that test too), or, with several unknowns, kappa_s and ||A^-1||
// <= 1e10, Newton's method in double-double does (dd_newton.h: where long double's probe start
// lies beyond the quadratic region), or Krawczyk's interval test (certify.h) proves a
// unique root in a box around it, which makes it simple (every Jacobian in the box is
// invertible). The interval test also runs on every candidate with kappa_s > 1e6: its box tells a
// near-coincident root apart. Above 1e12, a point whose kappa_s measured with its coordinates at
// the origin taken as zeros (ColumnUnitsAtOrigin: genuine ones there, such as the slacks of an
// embedded system, shrink their columns to their own size) is at most 1e12 is a candidate when
// the interval test proves it, and that is its kappa_s. A candidate is regular when no other end
// point lies at its root.
//
// One unknown: a point whose Taylor coefficients show m >= 2 roots in a disk around it
// (root_cluster.h) is no candidate, and joins every point whose disk meets its disk or that lies
// in it.
//
// Positive-dimensional: a point that is no candidate and whose local dimension test
// (local_dimension.h) finds it on a set of dimension k >= 1, or that lies on a set in a coordinate
// subspace (SetInCoordinateSubspace: its coordinates at rounding noise zeroed, or, for the last
// point of a path handed over by the end game, those below a tenth of their natural size; the
// point of the set is then its value); and a point that is no proven root and coincides,
// coordinate by coordinate, with an end point on a set. Each such end point is counted on its
// own (a set has no multiplicity) and joins no group. A handed-over point without a set takes
// the root in its subspace as its value.
//
// Grouping, of all other points: two end points are at one root when
//   - both have interval certificates and the enclosure K of one lies in the box X of the other
//     (X holds exactly one root, so both roots are that one);
//   - one has a certificate and the other lies in its box X;
//   - otherwise |x_j - y_j| <= tau * max(|x_j|, |y_j|, 1e-6 max_k max(|x_k|, |y_k|)) for every j,
//     tau following the error each point carries, e = max(1e-15 kappa_s, 100 relativeStep):
//     clamp(e, 1e-10, 1e-5) for a regular candidate (1e-10 when its value is Newton's limit in
//     double-double); for a singular point 1e-8 when the end game extrapolated it (winding
//     number >= 2), else clamp(e, 1e-10, 1e-2) (Newton's step at a root of multiplicity m is 1/m
//     of the distance to it, and plain tracking leaves such a point up to eps^(1/m) away); two
//     singular points meet at the larger tau, otherwise the smaller counts.
//     Two singular points compare every coordinate against the largest, max_k max(|x_k|, |y_k|)
//     in place of the 1e-6 share: their error is a distance from the root in the point's size,
//     so a coordinate that is 0 at the root arrives anywhere from rounding noise to that error.
// Each group is one root whose leader is its first column and whose multiplicity is the group's
// size; a group of more than one end point is a singular root, as is every point that is neither
// a candidate nor on a set. Every column stays in `roots`.
//
// An end point alone in its group that is no regular root, on no set, and that tracking ended
// with winding number 1 or 0 (not an end game's cycle) is no root of multiplicity 1 (a singular
// root draws several paths): its verdict is unknown, and it counts as failed.
//
// Accounting: paths that diverged (IsAtInfinity) are at infinity; every other path without an
// accepted end point is failed: its verdict is unknown. Then
//   regular + sum of the multiplicities of the singular roots + positive-dimensional end points
//     + atInfinity + failed = pathCount.
//
// Reads roots, isReal, records and lostPaths of `result`. Deterministic whatever `threads` (the
// end points are examined in parallel); draws from no shared stream. `interrupted` is asked
// between end points (FinishStop): true stops with Error kInterruptedId.
Classification ClassifyRoots(const NormalForm& system, const SolveResult& result, int threads = 1,
                             const std::function<bool()>& interrupted = {});

// Moves the verdicts into the result's per-root fields and its class counts, puts the accurate
// values into the result's roots, moves the unresolved end points to the lost paths
// (DropEndPoints), and appends the warnings to the result's.
void TakeClassification(Classification&& classification, SolveResult& result);

}  // namespace zormix

#endif  // ZORMIX_FINISH_CLASSIFY_H_
