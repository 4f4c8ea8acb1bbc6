// Measures of a point that do not depend on the units of the equations: each equation divided by
// a power of two near its largest coefficient, and the componentwise backward error.
#ifndef ZORMIX_MODEL_EQUATION_SCALE_H_
#define ZORMIX_MODEL_EQUATION_SCALE_H_

#include <span>
#include <vector>

#include "model/system_eval.h"

namespace zormix {

// Largest componentwise backward error of a point accepted as a root whatever the size of its
// residual. At a large root the terms of an equation are huge, and evaluating them rounds the
// residual far beyond any absolute limit, while a point refined by Newton to the rounding level
// has a backward error of a few unit roundoffs.
inline constexpr double kRootBackwardErrorLimit = 1e-12;

// The coefficients of `system` with equation i divided by 2^e_i, e_i = floor(log2 max_p |c_p|)
// over its nonzero coefficients: the largest modulus of every equation lands in [1, 2). Division
// by a power of two is exact, so an equation multiplied by 10^k gives the same normalized
// coefficients up to the rounding of the product itself. An equation already in [1, 2), or with
// only zero coefficients, is copied unchanged.
std::vector<Complex> NormalizedEquationCoefficients(const SystemView& system);

// max_i |F_i(x)| / sum_p |c_p x^a_p| over the terms of equation i: the smallest relative change of
// the coefficients that makes x an exact root. Invariant under scaling of equations and
// variables. An equation whose terms all vanish at x contributes 0.
double BackwardError(const SystemView& system, std::span<const std::int32_t> maxDegree,
                     const Complex* x, const std::vector<Complex>& F);

}  // namespace zormix

#endif  // ZORMIX_MODEL_EQUATION_SCALE_H_
