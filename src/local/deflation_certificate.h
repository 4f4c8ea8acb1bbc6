// Krawczyk's interval test on the deflated system (deflation.h).
#ifndef ZORMIX_LOCAL_DEFLATION_CERTIFICATE_H_
#define ZORMIX_LOCAL_DEFLATION_CERTIFICATE_H_

#include <vector>

#include "local/deflation.h"

namespace zormix {

// What the certificate proves. Let G(z), z = (u, lambda), be the augmented system of deflation.h
// in the units of the refined point x~ (rows and columns fixed), rounded coefficients and all, and
// Y the pseudo-inverse of its Jacobian at z~ = (0, lambda~) computed in floating point (any fixed
// matrix will do). For the box Z = z~ + ([-r, r] + i[-r, r])^(n + C(rho + n, n)) Krawczyk's
// operator
//   K(Z) = z~ - Y G(z~) + (I - Y J(Z)) (Z - z~)
// is enclosed in interval arithmetic (Boost.Interval, outward rounding; complex numbers as
// rectangles, the mean-value form holding for them since the integral of J along a segment lies in
// the convex hull of J(Z)). When K(Z) lies in the interior of Z:
//   - Z holds exactly one zero z* of the square system Y G, and Y J is invertible everywhere on Z;
//   - so x* = x~ + c u* is the one point of the box x~ + c [-r, r](1 + i) at which, for some
//     multiplier in the lambda box, the Gauss-Newton correction of the deflated system vanishes;
//   - and at x* every equation of G (f itself among them) lies in its enclosure over K(Z).
// It does not prove that f vanishes exactly at x*, nor the multiplicity: a root of multiplicity
// above 1 does not survive the rounding of the coefficients (x^2 - 2 rounded has two roots, or
// none real), so no floating-point test can prove one; the multiplicity is the dual space's, with
// its gap (dual_space.h). When the deflation is exact (integer or dyadic coefficients, as the
// tests' systems) G(z*) = 0 at the root, and the box isolates it among the deflated system's
// zeros.
struct DeflationCertificate {
  bool certified = false;
  std::vector<double> radius;  // per coordinate of x: the box's half-width c_k r (absolute)
  double residual = 0.0;       // the largest magnitude in the enclosure of G over K(Z)
};

// In the deflation's units (Deflation::units).
DeflationCertificate CertifyDeflation(const PolySystem& system, const Deflation& deflation,
                                      const DualSpace& dual);

}  // namespace zormix

#endif  // ZORMIX_LOCAL_DEFLATION_CERTIFICATE_H_
