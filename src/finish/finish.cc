#include "finish/finish.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <span>
#include <string>

#include "base/condition_estimate.h"
#include "base/linear_algebra.h"
#include "base/numeric.h"
#include "base/parallel.h"
#include "finish/finish_stop.h"
#include "finish/local_dimension.h"
#include "finish/parameters.h"
#include "finish/refine.h"
#include "finish/scaled_jacobian.h"
#include "model/equation_scale.h"
#include "model/system_eval.h"
#include "tracker/path/path_steps.h"
#include "zormix/error.h"

namespace zormix {
namespace {

constexpr double kZeroConditionNumber = 1e17;  // condition number given for a zero Jacobian

void CheckSizes(const NormalForm& system, const ColMajorMatrix<Complex>& endPoints,
                std::int64_t endPointCount, const std::vector<PathRecord>& records) {
  if (static_cast<std::int64_t>(system.rawCoefficients.size()) != system.scaled.termTotal()) {
    throw Error(ErrorCode::kInternal,
                "finishing roots: the system is not in normal form (no unscaled coefficients)");
  }
  if (endPointCount < 0 || endPoints.rows() != system.scaled.n ||
      endPoints.cols() < endPointCount ||
      static_cast<std::int64_t>(records.size()) < endPointCount) {
    throw Error(ErrorCode::kInternal, "finishing roots: " + std::to_string(endPointCount) +
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
  return M < finish::kRealTolerance || imaginary < finish::kRealTolerance * M;
}

namespace {

// What refinement leaves of end point k: the refined point when accepted.
struct Refined {
  std::vector<std::uint8_t> accepted;  // per end point
  ColMajorMatrix<Complex> points;      // refined points, column k for end point k
};

// Refines end point x in place; true when it is accepted. An end point that refinement refuses
// but that lies on a positive-dimensional solution set is accepted as it is: Newton's method runs
// off along the set, or stalls above the residual limit where the set is singular (fourbar's
// end points on the sets X2 = +-i X1, Y2 = +-i Y1), yet the point is a solution, and the
// classification names it. An end point the Cauchy end game extrapolated (`extrapolated`: winding
// number >= 2) keeps its value when it already solves the system to rounding.
bool RefineOrPlaceOnSet(const NormalForm& normalizedSystem, const SystemView& normalized,
                        std::span<const std::int32_t> maxDegree, bool approached, bool extrapolated,
                        ColMajorMatrix<Complex>& J, std::vector<Complex>& F,
                        std::vector<Complex>& x) {
  const std::vector<Complex> endPoint = x;
  EvaluateSystem(normalized, maxDegree, x.data(), J, F);
  if (RefineRoot(normalized, maxDegree, J, F, x, extrapolated)) return true;
  if (!path_steps::AllFinite(endPoint) ||
      (LocalDimension(normalizedSystem, endPoint.data()) == 0 &&
       SetInCoordinateSubspace(normalizedSystem, endPoint.data(), approached).dimension == 0))
    return false;
  x = endPoint;
  return true;
}

Refined RefineAll(const NormalForm& system, const SystemView& unscaled,
                  std::span<const std::int32_t> maxDegree, const ColMajorMatrix<Complex>& endPoints,
                  std::int64_t count, const std::vector<PathRecord>& records, int threads,
                  const FinishStop& stop) {
  const int n = unscaled.n;
  // Refinement and acceptance run on the equations brought to a common size, so that neither
  // depends on the units in which an equation was written.
  const NormalForm normalizedSystem = WithEquationsNormalized(system);
  const SystemView normalized{n, unscaled.termCount, unscaled.exponents,
                              normalizedSystem.rawCoefficients};
  Refined out;
  out.accepted.assign(static_cast<std::size_t>(count), 0);
  out.points.Assign(n, count);
  auto makeWorker = [&]() -> UnitFunction {
    auto x = std::make_shared<std::vector<Complex>>(static_cast<std::size_t>(n));
    auto F = std::make_shared<std::vector<Complex>>();
    auto J = std::make_shared<ColMajorMatrix<Complex>>();
    return [&, x, F, J](std::int64_t k) {
      // A path whose re-track failed or diverged has no end point to refine.
      if (!IsSuccess(records[k].status)) return;
      std::copy(endPoints.col(k), endPoints.col(k) + n, x->begin());
      if (!RefineOrPlaceOnSet(normalizedSystem, normalized, maxDegree,
                              ApproachedEndPoint(records[k]), records[k].windingNumber >= 2, *J, *F,
                              *x))
        return;
      out.accepted[k] = 1;
      std::copy(x->begin(), x->end(), out.points.col(k));
    };
  };
  RunUnitsInParallel(count, threads, makeWorker, stop.Poll());
  return out;
}

// One condition estimate per accepted root, root r drawing from the generator as the serial loop
// leaves it after r re-seeds; `runtime` ends as after all of them. The residue, which describes
// the system as given, comes from the same evaluation as the Jacobian.
void ResidualsAndConditions(const SystemView& unscaled, std::span<const std::int32_t> maxDegree,
                            FinishedRoots& out, RuntimeUniform& runtime, int threads,
                            const FinishStop& stop) {
  const std::int64_t count = out.roots.cols();
  out.residuals.assign(static_cast<std::size_t>(count), 0.0);
  out.conditionNumbers.assign(static_cast<std::size_t>(count), 0.0);
  out.zeroJacobian.assign(static_cast<std::size_t>(count), 0);
  auto makeWorker = [&]() -> UnitFunction {
    auto F = std::make_shared<std::vector<Complex>>();
    auto J = std::make_shared<ColMajorMatrix<Complex>>();
    return [&, F, J](std::int64_t r) {
      EvaluateSystem(unscaled, maxDegree, out.roots.col(r), *J, *F);
      out.residuals[r] = VectorNorm2(unscaled.n, F->data());
      RuntimeUniform draws = runtime.AfterReseeds(static_cast<std::uint64_t>(r));
      const SingularValueEstimate s =
          EstimateCondition(*J, finish::kConditionEstimateTolerance, draws);
      const bool zero = !(s.sigmaMax >= finish::kZeroJacobian);
      out.zeroJacobian[r] = zero ? 1 : 0;
      out.conditionNumbers[r] =
          zero ? kZeroConditionNumber : s.sigmaMax / std::max(s.sigmaMin, kMachineEpsilon);
    };
  };
  RunUnitsInParallel(count, threads, makeWorker, stop.Poll());
  runtime = runtime.AfterReseeds(static_cast<std::uint64_t>(count));
}

}  // namespace

FinishedRoots FinishRoots(const NormalForm& system, const ColMajorMatrix<Complex>& endPoints,
                          std::int64_t endPointCount, const std::vector<PathRecord>& records,
                          RuntimeUniform& runtime, int threads,
                          const std::function<bool()>& interrupted) {
  CheckSizes(system, endPoints, endPointCount, records);
  const FinishStop stop(interrupted);
  const int n = system.scaled.n;
  const std::vector<std::int32_t> maxDegree = MaxDegrees(system.scaled.exponents);
  const SystemView unscaled{n, system.scaled.termCount, &system.scaled.exponents,
                            system.rawCoefficients};
  Refined refined = RefineAll(system, unscaled, maxDegree, endPoints, endPointCount, records,
                              std::max(1, threads), stop);

  // The refined points become the roots in place, so that finishing holds two n x endPointCount
  // matrices (end points and roots), not three.
  FinishedRoots out;
  out.roots = std::move(refined.points);
  const auto acceptedCount = static_cast<std::size_t>(
      std::count(refined.accepted.begin(), refined.accepted.end(), std::uint8_t{1}));
  out.isReal.reserve(acceptedCount);
  out.records.reserve(acceptedCount);
  out.refused.reserve(static_cast<std::size_t>(endPointCount) - acceptedCount);
  std::int64_t accepted = 0;
  for (std::int64_t k = 0; k < endPointCount; ++k) {
    if (!refined.accepted[k]) {
      out.refused.push_back(records[k]);
      if (IsSuccess(records[k].status)) out.refused.back().status = PathStatus::kRefusedAtTarget;
      continue;
    }
    const bool real = IsRealPoint(out.roots.col(k), n);
    // Column k >= accepted: moving forward never overwrites a column still to be read.
    if (k != accepted) std::copy(out.roots.col(k), out.roots.col(k) + n, out.roots.col(accepted));
    ++accepted;
    out.isReal.push_back(real ? 1 : 0);
    out.realCount += real ? 1 : 0;
    out.records.push_back(records[k]);
  }
  out.roots.ResizeCols(accepted);
  ResidualsAndConditions(unscaled, maxDegree, out, runtime, std::max(1, threads), stop);
  return out;
}

}  // namespace zormix
