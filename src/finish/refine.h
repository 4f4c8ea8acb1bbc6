// Newton refinement and acceptance of an end point.
#ifndef ZORMIX_FINISH_REFINE_H_
#define ZORMIX_FINISH_REFINE_H_

#include <span>
#include <vector>

#include "model/system_eval.h"
#include "zormix/col_major_matrix.h"
#include "zormix/poly_system.h"

namespace zormix {

// Refines x by Newton steps while each more than halves the max-norm residual. On entry F and J
// are the values at x. Returns true (accepted) when the refined point stays near the input (0.5,
// or 0.3 * max|x0| when that exceeds 5) and a residual is <= 1e-4 or the backward error of the
// refined point (see BackwardError) is <= kRootBackwardErrorLimit; then x, F and J hold the
// refined point. When the refined point drifted further but x itself has a backward error
// <= kRootBackwardErrorLimit (Newton ran away on a singular Jacobian), x is accepted unchanged. On
// rejection their content is unspecified. The absolute residual limit assumes equations of size
// about 1: the report passes them normalized (NormalizedEquationCoefficients).
//
// With `keepRoundingLevelStart` (an end point the Cauchy end game extrapolated, accurate to 1e-10
// or better at a multiple root) a start whose backward error is already at the level the rounding
// of the evaluation leaves (kRoundingBackwardError) is accepted as it is: Newton's steps from there
// follow rounding noise, and at a multiple root, where the Jacobian nearly vanishes, one that
// happens to halve a residual of noise moves the point by up to 1e-8.
inline constexpr double kRoundingBackwardError = 1e-14;
bool RefineRoot(const SystemView& system, std::span<const std::int32_t> maxDegree,
                ColMajorMatrix<Complex>& J, std::vector<Complex>& F, std::vector<Complex>& x,
                bool keepRoundingLevelStart = false);
}  // namespace zormix

#endif  // ZORMIX_FINISH_REFINE_H_
