// Newton refinement and acceptance of an end point, and the condition-number estimate.
#ifndef ZORMIX_REPORT_REFINE_H_
#define ZORMIX_REPORT_REFINE_H_

#include <span>
#include <vector>

#include "driver/random.h"
#include "report/system_eval.h"

namespace zormix {

// Refines x by Newton steps while each more than halves the max-norm residual. On entry F and J
// are the values at x. Returns true (accepted) when the refined point stays near the input (0.5,
// or 0.3 * max|x0| when that exceeds 5) and a residual is <= 1e-4; then x, F and J hold the refined
// point. On rejection their content is unspecified.
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

}  // namespace zormix

#endif  // ZORMIX_REPORT_REFINE_H_
