#include "report/finish.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "base/condition_estimate.h"
#include "base/linear_algebra.h"
#include "base/numeric.h"
#include "model/system_eval.h"
#include "report/refine.h"
#include "zormix/error.h"

namespace zormix {
namespace {

constexpr double kConditionTolerance = 1e-5;
constexpr double kZeroJacobian = 1e-8;         // sigmaMax below it: the Jacobian counts as zero
constexpr double kZeroConditionNumber = 1e17;  // condition number given for a zero Jacobian
constexpr double kRealTolerance = 1e-7;

void CheckSizes(const NormalForm& system, const ColMajorMatrix<Complex>& endPoints,
                std::int64_t endPointCount, const std::vector<PathRecord>& records) {
  if (static_cast<std::int64_t>(system.rawCoefficients.size()) != system.termTotal()) {
    throw Error("finishing roots: the system is not in normal form (no unscaled coefficients)");
  }
  if (endPointCount < 0 || endPoints.rows() != system.n || endPoints.cols() < endPointCount ||
      static_cast<std::int64_t>(records.size()) < endPointCount) {
    throw Error("finishing roots: " + std::to_string(endPointCount) +
                " end points do not match the points and records passed");
  }
}

}  // namespace

bool IsRealPoint(const Complex* x, int n) {
  double M = 0.0, imaginary = 0.0;
  for (int j = 0; j < n; ++j) {
    M = std::max(M, std::abs(x[j]));
    imaginary = std::max(imaginary, std::fabs(x[j].imag()));
  }
  return M < kRealTolerance || imaginary < kRealTolerance * M;
}

FinishedRoots FinishRoots(const NormalForm& system, const ColMajorMatrix<Complex>& endPoints,
                          std::int64_t endPointCount, const std::vector<PathRecord>& records,
                          RuntimeUniform& runtime) {
  CheckSizes(system, endPoints, endPointCount, records);
  const int n = system.n;
  const std::vector<std::int32_t> maxDegree = MaxDegrees(system.exponents);
  const SystemView unscaled{n, system.termCount, &system.exponents, system.rawCoefficients};

  FinishedRoots out;
  out.roots.Assign(n, endPointCount);
  std::vector<Complex> x(static_cast<std::size_t>(n)), F;
  ColMajorMatrix<Complex> J;
  std::int64_t accepted = 0;
  for (std::int64_t k = 0; k < endPointCount; ++k) {
    if (records[k].status == PathStatus::kRetrackFailed) {
      out.refused.push_back(records[k]);
      continue;
    }
    std::copy(endPoints.col(k), endPoints.col(k) + n, x.begin());
    EvaluateSystem(unscaled, maxDegree, x.data(), J, F);
    if (!RefineRoot(unscaled, maxDegree, J, F, x)) {
      out.refused.push_back(records[k]);
      out.refused.back().status = PathStatus::kRefusedAtTarget;
      continue;
    }
    std::copy(x.begin(), x.end(), out.roots.col(accepted++));
    // J is not needed after the estimate, which overwrites it with R.
    const SingularValueEstimate s = EstimateCondition(J, kConditionTolerance, runtime);
    const bool zero = !(s.sigmaMax >= kZeroJacobian);
    const bool real = IsRealPoint(x.data(), n);
    out.residues.push_back(VectorNorm2(n, F.data()));
    out.conditionNumbers.push_back(zero ? kZeroConditionNumber
                                        : s.sigmaMax / std::max(s.sigmaMin, kMachineEpsilon));
    out.zeroJacobian.push_back(zero ? 1 : 0);
    out.isReal.push_back(real ? 1 : 0);
    out.realCount += real ? 1 : 0;
    out.records.push_back(records[k]);
  }
  out.roots.ResizeCols(accepted);
  return out;
}

}  // namespace zormix
