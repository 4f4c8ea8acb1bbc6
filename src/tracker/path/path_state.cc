#include "tracker/path/path_state.h"

#include <algorithm>
#include <cmath>

#include "base/linear_algebra.h"
#include "base/numeric.h"

namespace zormix {

PathStatus StatusOfUnrecorded(PathFailure failure) {
  switch (failure) {
    case PathFailure::kStepUnderflow:
      return PathStatus::kStepUnderflow;
    case PathFailure::kStepLimit:
      return PathStatus::kStepLimit;
    case PathFailure::kDiverged:
      return PathStatus::kDiverged;
    case PathFailure::kSingularEnd:
      return PathStatus::kSingularEnd;
    case PathFailure::kNone:
      break;
  }
  return PathStatus::kRefusedAtTarget;
}

PathScratch::PathScratch(int n)
    : jacobianCopy(n, n),
      startJacobian(n, n),
      correction(n),
      lastIterate(n),
      predicted(n),
      beforeCorrection(n),
      startPoint(n),
      startResidual(n),
      startDerivative(n),
      arrival(n),
      bestIterate(n),
      loopStart(n),
      loopSum(n),
      walkStart(n),
      previousEstimate(n) {
  for (std::vector<Complex>& sample : radialSamples) sample.resize(n);
}

PathState::PathState(int n)
    : n(n),
      y(n),
      yPrev(n),
      yCur(n),
      vPrev(n),
      vCur(n),
      jacobian(n, n),
      residual(n),
      parameterDerivative(n),
      acceptedResidual(n),
      watched(n, 1),
      waypoint(n),
      yPolished(n),
      endGameStart(n),
      growth(n),
      scratch(n) {}

double ToleranceAt(const ColMajorMatrix<Complex>& J, const std::vector<Complex>& y) {
  const double normJ = MatrixNorm1(J);
  const double normY = MaxNorm(static_cast<int>(y.size()), y.data());
  return kTrackerParameters.correctorToleranceFactor *
         std::sqrt(std::max(1.0, normJ) * std::max(1.0, normY));
}

namespace {

constexpr double kUnitRoundoff = kMachineEpsilon;

}  // namespace

// A term c y^a of degree k satisfies sum_l y_l d(c y^a)/dy_l = k c y^a (Euler), so the sizes of
// the terms of equation i add up to about sum_l |y_l| |J(i,l)| / k <= n |y| |J|_1 / k. Evaluating
// them and their sum rounds the residual by a few u times that size, which no Newton step can
// remove: at |y| = 4e3 a quintic has terms near 1e18 and a residual noise near 1e2.
double RoundingFloorAt(const ColMajorMatrix<Complex>& J, const std::vector<Complex>& y) {
  const double normJ = MatrixNorm1(J);
  const double normY = MaxNorm(static_cast<int>(y.size()), y.data());
  return tracker::kRoundingFloorFactor * kUnitRoundoff * std::max(1.0, normJ) *
         std::max(1.0, normY);
}

}  // namespace zormix
