// Interval certificates for the regular roots: Krawczyk's test on the unscaled system.
#ifndef ZORMIX_FINISH_CERTIFY_H_
#define ZORMIX_FINISH_CERTIFY_H_

#include <cstdint>
#include <functional>
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
  double radius = 0.0;        // max-norm radius of K(X) around center (real and imaginary parts)
  std::vector<double> reach;  // per coordinate: radius of K(X), which holds the root
  std::vector<double> box;    // per coordinate: radius of X, in which the root is the only one
};

// Krawczyk's test on the box center + Z, Z_j = [-radius, radius] (1 + i), with Y = J(center)^-1:
// the max-norm radius of K(X) around the center when K(X) lies in the interior of the box, -1
// otherwise (also when J(center) has no inverse).
double KrawczykTest(const NormalForm& system, const std::vector<Complex>& center, double radius);

// c_j = |x_j|, or the largest modulus for an exact zero: every coordinate its own unit (where
// UnitsAt takes one far below the largest for a zero).
std::vector<double> OwnColumnUnits(const Complex* x, int n);

// Tries to certify a root near x (n values) of the unscaled system. The box has the same size
// relative to every coordinate's unit (scaled_jacobian.h), first finish.box_radius_per_step Newton
// steps plus rounding noise, then each finish.box_widening times wider, finish.box_attempts boxes
// in all; when none holds and x has coordinates that those units take
// for zeros, the same with OwnColumnUnits; when none holds either and x has coordinates at the
// origin that those units keep, the same with ColumnUnitsAtOrigin.
Certificate CertifyPoint(const NormalForm& system, const Complex* x, bool tryReal);

// The certificates of the roots of a solve; per root.
struct Certification {
  std::vector<std::uint8_t> certified;      // 1: a Krawczyk box holds exactly one root
  std::vector<std::uint8_t> certifiedReal;  // 1: and that root is real
  ColMajorMatrix<Complex> boxCenters;       // n x count: center of the certified box
  std::vector<double> boxRadii;             // max-norm radius (real and imaginary parts); 0: none
  CertificationCounts counts;
};

// Certifies every regular root of `result` on the system with its equations normalized (a power
// of two per equation: exact, so a box proven for it is proven for the system as given).
// Distinct: the certified boxes are swept in order of their lower bound of Re x_0 and overlapping
// ones joined; each connected group holds at least one root, and disjoint groups hold different
// roots, so the number of groups is a proven count of distinct roots.
// `interrupted` is asked between roots (FinishStop): true stops with Error kInterruptedId.
Certification CertifyRoots(const NormalForm& system, const SolveResult& result,
                           const std::function<bool()>& interrupted = {});

// Moves the certificates into the result's per-root fields.
void TakeCertification(Certification&& certification, SolveResult& result);

}  // namespace zormix

#endif  // ZORMIX_FINISH_CERTIFY_H_
