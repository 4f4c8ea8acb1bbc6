// Newton's method in extended precision, for roots whose conditioning double cannot resolve.
#ifndef ZORMIX_FINISH_EXTENDED_NEWTON_H_
#define ZORMIX_FINISH_EXTENDED_NEWTON_H_

#include <complex>
#include <limits>
#include <vector>

#include "model/normal_form.h"

namespace zormix {

// The arithmetic of the checks that double cannot resolve: long double, its unit roundoff u.
using Wide = std::complex<long double>;
inline constexpr long double kWideUnitRoundoff = std::numeric_limits<long double>::epsilon() / 2;

// True when Newton's method in long double (64-bit significand, unit roundoff 5.4e-20) converges
// quadratically from x on the unscaled system: within 8 steps a step falls below the accuracy the
// root allows, 10 u kappa (kappa the scaled condition number, at least 1), and every step above
// it is at most a quarter of the one before; when kappa > 1e6 not already the first (a first step
// at the floor shows only that the point solves the system to the floor's loose accuracy: then
// Newton's method is run again from a start 100 floors off, in fixed directions, and must converge
// quadratically to within 10 floors of x; on a solution set it lands elsewhere on the set). Steps
// are measured in the point's units (scaled_jacobian.h). At a regular root the first step removes
// the error double precision left and the next ones square it; at a singular root Newton converges
// linearly, each step at least (m - 1) / m >= 1/2 of the one before for a root of multiplicity m,
// and on a positive-dimensional set the steps do not settle: both fail the test. On success
// `converged` (when not null) receives the last iterate rounded to double: the root to the accuracy
// double holds.
// `oneStepCondition` (>= kappa) is the condition up to which a first step already at the floor
// counts as convergence.
bool ConvergesQuadratically(const NormalForm& system, const Complex* x, double kappa,
                            double oneStepCondition, std::vector<Complex>* converged = nullptr);

}  // namespace zormix

#endif  // ZORMIX_FINISH_EXTENDED_NEWTON_H_
