// Interval certificates for the regular roots: Krawczyk's test on the unscaled system.
#ifndef ZORMIX_REPORT_CERTIFY_H_
#define ZORMIX_REPORT_CERTIFY_H_

#include <vector>

#include "model/normal_form.h"
#include "zormix/result.h"

namespace zormix {

// Krawczyk's test. For a center c, the preconditioner Y ~ J(c)^-1 (floating point) and the box
// X = c + Z, Z_j = [-r, r] + i[-r, r],
//   K(X) - c = -Y F(c) + (I - Y J(X)) Z.
// When K(X) lies in the interior of X, X holds exactly one root of F, the root lies in K(X), and
// every matrix of J(X) is invertible: the root is regular. Complex numbers are rectangles of two
// real intervals; the mean-value form holds for them because the integral of J along a segment
// of X lies in the convex hull of J(X), which the rectangles enclose.
//
// Arithmetic: Boost.Interval (Debian's libboost-dev, header-only, maintained with Boost) with
// outward rounding by the hardware's rounding mode, set once per box (rounded_arith_opp: every
// operation rounds upward, lower bounds by negation). The file is compiled with -frounding-math
// so that the compiler keeps the operations in the rounding mode they were written for. Arb
// would give arbitrary precision, but double intervals suffice for roots refined to double
// accuracy and cost far less.
//
// Real roots: for a system with real coefficients a box centred on a real point is its own
// conjugate; when it holds exactly one root, the conjugate of that root is also in it, so the root
// is real. Roots classed real are tried first with their real part as center.
struct Certificate {
  bool certified = false;
  bool real = false;  // the box is its own conjugate (real system, real center)
  std::vector<Complex> center;
  double radius = 0.0;  // max-norm radius of K(X) around center (real and imaginary parts)
};

// Krawczyk's test on the box center + Z with Y = J(center)^-1: the max-norm radius of K(X)
// around the center when K(X) lies in the interior of the box, -1 otherwise (also when J(center)
// has no inverse).
double KrawczykTest(const NormalForm& system, const std::vector<Complex>& center, double radius);

// Tries to certify a root near x (n values) of the unscaled system.
Certificate CertifyPoint(const NormalForm& system, const Complex* x, bool tryReal);

// Certifies every regular root of `result` and fills certified, certifiedReal, boxCenters,
// boxRadii and certification. Distinct: the certified boxes are swept in order of their lower
// bound of Re x_0 and overlapping ones joined; each connected group holds at least one root, and
// disjoint groups hold different roots, so the number of groups is a proven count of distinct
// roots.
void CertifyRoots(const NormalForm& system, SolveResult& result);

}  // namespace zormix

#endif  // ZORMIX_REPORT_CERTIFY_H_
