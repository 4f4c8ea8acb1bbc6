// Whether an end point lies on a positive-dimensional solution set, and its dimension there.
#ifndef ZORMIX_FINISH_LOCAL_DIMENSION_H_
#define ZORMIX_FINISH_LOCAL_DIMENSION_H_

#include "model/normal_form.h"

namespace zormix {

// The local dimension test. In the point's units (scaled_jacobian.h) the Jacobian A at the end
// point x has numerical corank k (singular values <= 1e-6 sigma_1). When k >= 1:
//   1. x is projected onto F = 0 by Gauss-Newton with the rank-(n-k) pseudo-inverse (the
//      minimum-norm step that ignores the k near-null directions): x0;
//   2. x0 is moved by 0.03 (2-norm, in units) along each of the k null vectors of A(x0) alone
//      and (k > 1) along a fixed combination of them, and each moved point is projected back by
//      Gauss-Newton with the numerical rank at each iterate (sigma_j > 1e-8 sigma_1): a landing.
// A projection converges when a step falls below 1e-13 of the point while every step is at most
// 0.9 of the one before, and a landing is on the set when it converges to a solution
// (|F_i| <= 1e-12 s_i). The local dimension is the number of independent directions in which the
// landings lie away from x0 (singular values of their displacements of at least a quarter of the
// move), at most the largest corank of A at a landing. Why it separates the cases: near a set of
// dimension d the null space of A holds its d tangent directions, so a move along one of them
// lands about the move away, on the set; a move across the set (the extra null directions of a
// set of multiplicity m >= 2, where Gauss-Newton converges linearly at rate (m - 1) / m) lands
// back at x0. Near an isolated root, however singular, no solution but the root lies within the
// move, so every landing is back at the root, or the projection does not converge. Where sets
// cross (k larger than the dimension of each), the landings span more directions than one set
// has, and the corank at a landing, a point of one set, bounds the count. An isolated root whose
// order of contact along a direction exceeds about 7 looks like a set in double precision at this
// move; such roots are beyond what double precision separates anyway.
// Returns the dimension, or 0 when the test does not show a positive-dimensional set.
// Deterministic: the combination comes from a generator of its own with a fixed seed.
int LocalDimension(const NormalForm& system, const Complex* x);

}  // namespace zormix

#endif  // ZORMIX_FINISH_LOCAL_DIMENSION_H_
