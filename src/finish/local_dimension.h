// Whether an end point lies on a positive-dimensional solution set, and its dimension there.
#ifndef ZORMIX_FINISH_LOCAL_DIMENSION_H_
#define ZORMIX_FINISH_LOCAL_DIMENSION_H_

#include "model/normal_form.h"

namespace zormix {

// The local dimension test. In the point's units (scaled_jacobian.h) the Jacobian A at the end
// point x has numerical corank k (singular values <= 1e-6 sigma_1). When k >= 1:
//   1. x is projected onto F = 0 by Gauss-Newton with the rank-(n-k) pseudo-inverse (the
//      minimum-norm step that ignores the k near-null directions): x0;
//   2. x0 is moved by 3% of its size along a fixed combination t of the k null vectors of A(x0):
//      x1 = x0 + 0.03 c.t, and x1 projected back the same way: x2.
// x lies on a set of dimension k when both projections converge (steps below 1e-13 of the point),
// x2 is a solution (|F_i| <= 1e-12 s_i), A has corank exactly k at x0 and at x2 with the tight
// tolerance 1e-9 a point of the set to working accuracy has, and x2 stayed away from x0 (at least
// a quarter of the move). Why it separates the two cases: near a smooth k-dimensional set the
// k null directions of A are its tangent space, so x1 is within O(0.03^2) of the set, Gauss-Newton
// converges quadratically onto it, and A keeps exactly k null singular values there; near an
// isolated root, however singular, no solution but the root lies within the move, so the point
// x1 either is no solution (its residual grows like the move to the power of the multiplicity)
// or A regains rank (its small singular values grow like a power of the move), or Newton pulls
// it back to the root (linear convergence, no quadratic step sequence within the limit). An
// isolated root whose order of contact along t exceeds about 7 looks like a set in double
// precision at this move; such roots are beyond what double precision separates anyway.
// Returns k, or 0 when the test does not show a positive-dimensional set. Deterministic: the
// combination t comes from a generator of its own with a fixed seed.
int LocalDimension(const NormalForm& system, const Complex* x);

}  // namespace zormix

#endif  // ZORMIX_FINISH_LOCAL_DIMENSION_H_
