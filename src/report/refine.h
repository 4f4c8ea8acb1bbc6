// Newton refinement and acceptance of an end point, and the condition-number estimate.
#ifndef ZORMIX_REPORT_REFINE_H_
#define ZORMIX_REPORT_REFINE_H_

#include <span>
#include <vector>

#include "driver/random.h"
#include "report/system_eval.h"
#include "zormix/col_major_matrix.h"
#include "zormix/poly_system.h"

namespace zormix {

// Refines x by Newton steps while each more than halves the max-norm residual. On entry F and J
// are the values at x. Returns true (accepted) when the refined point stays near the input (0.5,
// or 0.3 * max|x0| when that exceeds 5) and a residual is <= 1e-4 or the backward error of the
// refined point (see BackwardError) is <= kRootBackwardErrorLimit; then x, F and J hold the
// refined point. On rejection their content is unspecified. The absolute residual limit assumes
// equations of size about 1: the report passes them normalized (NormalizedEquationCoefficients).
bool RefineRoot(const SystemView& system, std::span<const std::int32_t> maxDegree,
                ColMajorMatrix<Complex>& J, std::vector<Complex>& F, std::vector<Complex>& x);

struct SingularValueEstimate {
  double sigmaMax = 0.0;
  double sigmaMin = 0.0;
};

// Estimates the largest and smallest singular values of J (destroyed: holds R of J = QR) by at most
// 8 power and 8 inverse iterations from a random start vector drawn after re-seeding `runtime`.
SingularValueEstimate EstimateCondition(ColMajorMatrix<Complex>& J, double tol,
                                        RuntimeUniform& runtime);

// One Householder reflection for the segment x (length L): alpha = -(x_0/|x_0|) ||x|| (or -||x||
// when |x_0| <= eps), v = (x - alpha e_0) / ||x - alpha e_0|| (left unnormalised when that norm is
// <= eps). (I - 2 v v^H) x = alpha e_0.
void ComplexHouseholderVector(int L, const Complex* x, Complex* v, Complex& alpha);

// In-place triangularisation A = Q R (n x n, column-major); A holds R with exact zeros below the
// diagonal. Column n-1 gets no reflection of its own.
void HouseholderQRComplex(int n, Complex* A);

}  // namespace zormix

#endif  // ZORMIX_REPORT_REFINE_H_
