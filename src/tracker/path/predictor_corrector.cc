// Cubic Hermite predictor and Newton corrector of the path loop.
#include <algorithm>
#include <cmath>
#include <limits>
#include <span>

#include "base/newton.h"
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

// Newton's rule of the corrector. The first correction starts from the predicted point, whose
// residual r0 is at hand, and may be at most st.correctionLimit times the size of that point;
// each residual must shrink by c1 (first) or c2 (later) to be accepted, and the corrector ends
// when the accepted residual is within eps. A first correction that shrinks too little is
// allowed more iterations only when it is already settled (SettledCorrection); a later one ends
// the corrector as converged when the iteration stalls below tracker.stall_residual eps with a
// settled correction.
struct CorrectorRule : NewtonRuleBase {
  PathState& st;
  const PathContext& ctx;
  double eps, r0, racc;
  double c2 = 0.0;
  int kmax = 0;
  bool first = true;

  const Complex* Correction(std::span<Complex>) {
    SolveWithJacobian(st, first ? st.residual : st.acceptedResidual);
    (first ? st.scratch.predicted : st.scratch.beforeCorrection) = st.y;
    first = false;
    return st.scratch.correction.data();
  }
  double Size(const Complex*, std::span<Complex>) const { return MaxNorm(st.scratch.correction); }
  NewtonVerdict AfterApplying(const NewtonCorrection<double>& c, std::span<const Complex>) {
    Evaluate(st, *ctx.homotopy);
    const double rho = MaxNorm(st.residual);
    if (c.index == 0) {
      const double normYPred = MaxNorm(st.scratch.predicted);
      RaiseCorrectionLimit(st, ctx, normYPred);
      // Near a root at the origin the point itself tends to 0 while corrections stay of the
      // order of the residual tolerance, so the size is floored: below
      // tracker.correction_scale_floor the test becomes absolute.
      if (c.size > st.correctionLimit * std::max(normYPred, tracker::kCorrectionScaleFloor.value()))
        return NewtonVerdict::kRejected;
      const bool largeStep = st.stepSize > kTrackerParameters.smallStep;
      const double c1 =
          largeStep ? tracker::kCorrectorFirstDecreaseLarge : tracker::kCorrectorFirstDecreaseSmall;
      c2 = largeStep ? tracker::kCorrectorDecreaseLarge : tracker::kCorrectorDecreaseSmall;
      kmax = static_cast<int>(largeStep ? tracker::kCorrectorIterationsLarge.value()
                                        : tracker::kCorrectorIterationsSmall.value());
      if (rho <= eps || c1 * rho <= r0) {
        st.acceptedResidual = st.residual;
        racc = rho;
      } else if (c.size > SettledCorrection(normYPred)) {
        return NewtonVerdict::kRejected;
      }
    } else {
      if (c.index + 1 > kmax) return NewtonVerdict::kRejected;
      if (rho <= eps || c2 * rho <= racc) {
        st.acceptedResidual = st.residual;
        racc = rho;
      } else if (rho < tracker::kStallResidual * eps &&
                 c.size < SettledCorrection(MaxNorm(st.scratch.beforeCorrection))) {
        return NewtonVerdict::kConverged;
      } else {
        return NewtonVerdict::kRejected;
      }
    }
    if (racc > eps) return NewtonVerdict::kContinue;
    return std::isfinite(racc) ? NewtonVerdict::kConverged : NewtonVerdict::kRejected;
  }
};

// Returns false when the step is rejected.
bool NewtonIterations(PathState& st, const PathContext& ctx) {
  const double eps = CorrectorTolerance(st, ctx.limits, *ctx.homotopy);
  st.acceptedResidual = st.residual;
  const double r0 = MaxNorm(st.residual);
  if (!std::isfinite(r0)) return false;  // a prediction that left the finite numbers
  if (tracker::kCorrectorSkipFactor * r0 < eps) return true;
  CorrectorRule rule{{}, st, ctx, eps, r0, r0};
  return Newton(std::span<Complex>(st.y.data(), static_cast<std::size_t>(st.n)),
                std::numeric_limits<int>::max(), rule)
      .converged();
}

}  // namespace

void CorrectNewton(PathState& st, const PathContext& ctx, std::int64_t& blowUpCount) {
  st.rejected = false;
  if (!NewtonIterations(st, ctx)) RejectStep(st, *ctx.route, blowUpCount);
}

}  // namespace zormix
