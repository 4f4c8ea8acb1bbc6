// Whether an end point lies on a positive-dimensional solution set, and its dimension there.
#ifndef ZORMIX_FINISH_LOCAL_DIMENSION_H_
#define ZORMIX_FINISH_LOCAL_DIMENSION_H_

#include <cstdint>
#include <vector>

#include "model/normal_form.h"
#include "zormix/types.h"

namespace zormix {

// The local dimension test, by slicing. A set of dimension d through x meets every affine
// subspace of codimension d near x; an isolated point, however singular, meets none that misses
// it. So, with the Jacobian A at x in the point's units (scaled_jacobian.h) of numerical corank k
// (singular values <= finish.end_point_corank max(sigma_1, 1)): for d = 1, 2, ..., k, d random
// hyperplanes at distance eps from x (in units) are added to F = 0 and the n + d equations solved
// by Gauss-Newton (the numerical rank at each iterate) from the point of the slice nearest x; x
// lies on a set of dimension >= d when a solution (|F_i| <= finish.on_set_residual s_i, the
// steps converging while each is at most finish.slice_contraction of the one before) exists within
// finish.farthest_landing eps of x for every eps from finish.nearest_slice to
// finish.farthest_slice, on one of finish.slice_attempts slices. The local dimension is the
// largest such d (the tangent space lies in the null space of A, so d <= k). Why it separates the
// cases: on a set the slice cuts it about eps away, in a smooth point or a singular one (where
// sets cross or a set is singular: the end points of paths that reach a set in pairs), and
// Gauss-Newton converges there, quadratically on a reduced set, linearly at rate (m - 1) / m on a
// set of multiplicity m. Near an isolated root of multiplicity m the least-squares point of the
// slice keeps a residual of about eps^m, so the farthest slice rejects every root of order of
// contact up to about 7, the nearest keeps a set that merely passes nearby from counting. Where
// sets cross (k larger than the dimension of each) d + 1 slices meet no set. An isolated root of
// higher order of contact looks like a set in double precision; such roots are beyond what double
// precision separates anyway.
// Likewise a regular root of condition beyond about 1e10 solves the system to 1e-12 over the
// slices' distances; one unknown, where that happens, has no sets and is not tested.
// Returns the dimension, or 0 when the test does not show a positive-dimensional set.
// Deterministic: the slices come from a generator of its own with a fixed seed.
// With `held` (1 per coordinate held, empty: none) the held coordinates stay at their values:
// the dimension of the solution set within that coordinate subspace.
int LocalDimension(const NormalForm& system, const Complex* x,
                   const std::vector<std::uint8_t>& held = {});

// The first order of the local dimension test at x, in the units of LocalDimension: the residual
// max_i |f_i(x)| / s_i and the numerical corank of the Jacobian (finish.end_point_corank). Where
// one path alone reached x and its residual is at rounding, x is no isolated root of multiplicity
// 1 when the corank is positive (the dual space has 1 + corank functionals of order <= 1), and no
// set through it has a dimension above the corank (that many random hyperplanes through x make the
// Jacobian regular): a set dimension the slices found equal to the corank is decided.
struct FirstOrder {
  double residual = 0.0;
  int corank = 0;
};
FirstOrder FirstOrderAt(const NormalForm& system, const Complex* x);

// A point of a positive-dimensional set inside a coordinate subspace, near an end point that
// approaches it. A path whose coordinates x_j, j in Z, tend to 0 like d^p with small p (the
// reduced cyclic-8 system has such paths to the line x1 = x2 = x4 = x5 = x7 = 0, 1 + x3 + x6 = 0,
// with p near 0.1) is still 1e-2 from the set when double precision ends its tracking, at
// d = 1e-10: too far for the slices, yet its limit x* has x*_Z = 0 exactly. So the small
// coordinates (below), smallest first,
// are set to 0 one more at a time, the others moved onto F = 0 by Gauss-Newton (the numerical rank
// at each iterate, the least-squares step: the nearest solution; a step that does not cut the
// residual, retried on fewer singular values: a set along which an equation vanishes to higher
// order), at most finish.snap_reach times as far as the largest coordinate set to 0, within
// finish.snap_steps steps; the first such solution at
// which LocalDimension, with the zeroed coordinates held at 0, finds a set within the subspace is
// the point. Within the subspace only: an isolated root of high multiplicity that lies in the
// subspace (0, 0, -1, 0, 0 of the reduced cyclic-6 system) meets the slices of the whole space in
// double precision as a set would, while in its subspace it is a simple root of what is left (1 +
// x3 = 0). Without a set, the solution with the most coordinates zeroed (if any) is the limit's
// estimate in its subspace: an isolated root there (0, 0, -1/2, 0 of the cyclic sums of 1, 2, 3 and
// 7 factors over a, b, c, d, c, b, a, 1, where three paths arrive with winding number 4 and the
// fourth ends 1e-2 off).
struct SubspaceSetPoint {
  int dimension = 0;           // 0: no set found
  std::vector<Complex> point;  // the point (on the set), its coordinates in Z exactly 0; or empty
};
// `approached`: x is the last point of a path that approaches the subspace (its coordinates up
// to finish.small_coordinate origin scales are zeroed); otherwise x is an accurate point, and only
// its coordinates at rounding noise around 0 (below finish.zero_coordinate of its largest and
// finish.noise_of_origin of their origin scale) are, the others moving by at most
// finish.accurate_move of max(|x_j|, o_j): a root near, not in, a subspace with a set (a regular
// root of the reduced cyclic-8 system 0.05 from its plane x1 = x3 = x5 = x7 = 0) is not moved
// onto it.
// Whether a path's end point is its last point near the target, handed over by the end game
// without a computed limit (winding number 0): the `approached` of SetInCoordinateSubspace.
inline bool ApproachedEndPoint(const PathRecord& record) {
  return record.status == PathStatus::kEndGame && record.windingNumber == 0;
}

SubspaceSetPoint SetInCoordinateSubspace(const NormalForm& system, const Complex* x,
                                         bool approached);

}  // namespace zormix

#endif  // ZORMIX_FINISH_LOCAL_DIMENSION_H_
