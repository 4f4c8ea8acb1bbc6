// Cubic Hermite predictor and Newton corrector of the path loop.
#include <algorithm>
#include <cmath>
#include <limits>

#include "tracker/path/path_state.h"
#include "tracker/path/path_steps.h"

namespace zormix {

using namespace path_steps;

void PredictHermite(PathState& st, Homotopy& homotopy, double tangentBelow) {
  if (!st.rejected) {
    st.vPrev = st.vCur;
    SolveWithJacobian(st, st.parameterDerivative);
    for (int i = 0; i < st.n; ++i) st.vCur[i] = -st.scratch.correction[i];
  }
  if (st.stepSize < tangentBelow) {
    for (int i = 0; i < st.n; ++i) st.y[i] = st.yCur[i] + st.stepSize * st.vCur[i];
    st.s += st.stepSize;
    Evaluate(st, homotopy);
    return;
  }
  // Hermite cubic through (s - hl, yPrev, vPrev) and (s, yCur, vCur), evaluated at s + h.
  const double tau = st.stepSize / st.lastStep;
  const double sigma = 1.0 + tau;
  const double cPrev = (1.0 + 2.0 * sigma) * tau * tau;
  const double cCur = (1.0 - 2.0 * tau) * sigma * sigma;
  const double cvPrev = tau * tau * (st.stepSize + st.lastStep);
  const double cvCur = sigma * sigma * st.stepSize;
  for (int i = 0; i < st.n; ++i)
    st.y[i] = cPrev * st.yPrev[i] + cCur * st.yCur[i] + cvPrev * st.vPrev[i] + cvCur * st.vCur[i];
  st.s += st.stepSize;
  Evaluate(st, homotopy);
}

namespace {

// Rounding level of a residual evaluated in long double: tracker.extended_rounding_factor units of
// long double times the largest sum of term sizes of an equation. This is the actual size of the
// terms, where RoundingFloorAt bounds it by |J|_1 |y|, which a single large coordinate inflates:
// at |y| = 1.5e4 on a cyclic-10 path that bound was looser than residuals from which Newton no
// longer converged.
constexpr double kLongDoubleEpsilon =
    static_cast<double>(std::numeric_limits<long double>::epsilon());

// Back to the last accepted s with half the step; the path fails when the step underflows.
void RejectStep(PathState& st, const RouteConstants& route, std::int64_t& blowUpCount) {
  st.rejected = true;
  st.s -= st.stepSize;
  st.stepSize /= 2.0;
  st.finalStep = false;
  st.successCount = 0;
  st.atEnd = false;
  const double minStep = Distance(st, route) < kTrackerParameters.endGameZone
                             ? route.minStepNearTarget
                             : kTrackerParameters.minStep;
  if (st.stepSize < minStep) {
    Fail(st, PathFailure::kStepUnderflow);
    if (st.s < route.blowUpBelow) ++blowUpCount;
  }
}

// The raise of the correction limit for tiny steps far out, or for moderate points near the end.
void RaiseCorrectionLimit(PathState& st, const PathContext& ctx, double normYPred) {
  const RouteConstants& route = *ctx.route;
  const bool tinyStepFarOut = ctx.limits.raiseForTinySteps &&
                              st.stepSize < kTrackerParameters.smallStep &&
                              st.s < route.raiseSwitch;
  const bool moderateNearEnd = ctx.limits.raiseNearTarget && st.s >= route.raiseSwitch &&
                               normYPred < route.raiseNormFactor * st.n;
  if (tinyStepFarOut || moderateNearEnd) st.correctionLimit = route.raisedCorrectionLimit;
}

// st.tolerance, or in the last rescue the rounding level itself, or in a rescue at least the
// rounding level of the residual at the predicted point. The floor is taken where the corrector
// works, not at the last accepted point: on a path coming back from far out, the floor of the
// larger old point would accept a new one far too loosely.
double CorrectorTolerance(const PathState& st, const PathLimits& limits, const Homotopy& homotopy) {
  if (limits.roundingLevelTolerance) {
    if (limits.extendedResidual && homotopy.ExtendedTermSize() > 0.0)
      return tracker::kExtendedRoundingFactor * kLongDoubleEpsilon * homotopy.ExtendedTermSize();
    return RoundingFloorAt(st.jacobian, st.y);
  }
  return limits.roundingFloor ? std::max(st.tolerance, RoundingFloorAt(st.jacobian, st.y))
                              : st.tolerance;
}

// A correction below this, at a point of size `norm`, shows the iteration settled:
// tracker.settled_correction max(1, norm 1e-5), half the digits of the point beyond 1e5.
double SettledCorrection(double norm) {
  return std::max(1.0, norm / 1e5) * tracker::kSettledCorrection;
}

// Returns false when the step is rejected.
bool NewtonIterations(PathState& st, const PathContext& ctx) {
  Homotopy& homotopy = *ctx.homotopy;
  const double eps = CorrectorTolerance(st, ctx.limits, *ctx.homotopy);
  st.acceptedResidual = st.residual;
  const double r0 = MaxNorm(st.residual);
  double racc = r0;
  if (!std::isfinite(r0)) return false;  // a prediction that left the finite numbers
  if (tracker::kCorrectorSkipFactor * r0 < eps) return true;
  SolveWithJacobian(st, st.residual);
  st.scratch.predicted = st.y;
  SubtractCorrection(st);
  int k = 1;
  Evaluate(st, homotopy);
  double rho = MaxNorm(st.residual);
  const double normYPred = MaxNorm(st.scratch.predicted);
  RaiseCorrectionLimit(st, ctx, normYPred);
  const double normD = MaxNorm(st.scratch.correction);
  // The first correction may be at most correctionLimit times the size of the point. Near a root
  // at the origin the point itself tends to 0 while corrections stay of the order of the residual
  // tolerance, so the size is floored: below tracker.correction_scale_floor the test becomes
  // absolute.
  if (normD > st.correctionLimit * std::max(normYPred, tracker::kCorrectionScaleFloor.value()))
    return false;
  const bool largeStep = st.stepSize > kTrackerParameters.smallStep;
  const double c1 =
      largeStep ? tracker::kCorrectorFirstDecreaseLarge : tracker::kCorrectorFirstDecreaseSmall;
  const double c2 = largeStep ? tracker::kCorrectorDecreaseLarge : tracker::kCorrectorDecreaseSmall;
  const int kmax = static_cast<int>(largeStep ? tracker::kCorrectorIterationsLarge.value()
                                              : tracker::kCorrectorIterationsSmall.value());
  if (rho <= eps || c1 * rho <= r0) {
    st.acceptedResidual = st.residual;
    racc = rho;
  } else if (normD > SettledCorrection(normYPred)) {
    return false;
  }
  while (racc > eps) {
    SolveWithJacobian(st, st.acceptedResidual);
    st.scratch.beforeCorrection = st.y;
    SubtractCorrection(st);
    ++k;
    Evaluate(st, homotopy);
    rho = MaxNorm(st.residual);
    if (k > kmax) return false;
    if (rho <= eps || c2 * rho <= racc) {
      st.acceptedResidual = st.residual;
      racc = rho;
    } else if (rho < tracker::kStallResidual * eps &&
               MaxNorm(st.scratch.correction) <
                   SettledCorrection(MaxNorm(st.scratch.beforeCorrection))) {
      return true;
    } else {
      return false;
    }
  }
  return std::isfinite(racc);
}

}  // namespace

void CorrectNewton(PathState& st, const PathContext& ctx, std::int64_t& blowUpCount) {
  st.rejected = false;
  if (!NewtonIterations(st, ctx)) RejectStep(st, *ctx.route, blowUpCount);
}

}  // namespace zormix
