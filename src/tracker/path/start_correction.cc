// Newton at the start of a path and the first step along the start tangent.
#include <algorithm>
#include <cmath>
#include <limits>
#include <span>

#include "base/newton.h"
#include "tracker/path/path_state.h"
#include "tracker/path/path_steps.h"

namespace zormix {

using namespace path_steps;

namespace {

// Newton's rule at a start point: go on while the residual is above tracker.start_residual and
// decreases; a step without progress (or not a number) goes back to the better point. Each
// iteration evaluates the homotopy once: a stop is heard at every one.
struct StartRule : NewtonRuleBase {
  PathState& st;
  const PathContext& ctx;
  double r;

  const Complex* Correction(std::span<Complex>) {
    SolveWithJacobian(st, st.residual);
    st.scratch.lastIterate = st.y;
    return st.scratch.correction.data();
  }
  double Size(const Complex*, std::span<Complex>) const { return MaxNorm(st.scratch.correction); }
  NewtonVerdict AfterApplying(const NewtonCorrection<double>&, std::span<const Complex>) {
    const double r0 = r;
    Evaluate(st, *ctx.homotopy);
    r = MaxNorm(st.residual);
    if (r < kTrackerParameters.startResidual) return NewtonVerdict::kConverged;
    if (!(r < r0)) {
      st.y = st.scratch.lastIterate;
      Evaluate(st, *ctx.homotopy);
      return NewtonVerdict::kRejected;
    }
    return r > kTrackerParameters.startResidual && !ctx.StopRequested() ? NewtonVerdict::kContinue
                                                                        : NewtonVerdict::kRejected;
  }
};

}  // namespace

void CorrectStartPoint(PathState& st, const PathContext& ctx) {
  Evaluate(st, *ctx.homotopy);
  StartRule rule{{}, st, ctx, MaxNorm(st.residual)};
  if (!(rule.r > kTrackerParameters.startResidual) || ctx.StopRequested()) return;
  const int cap = static_cast<int>(std::ceil(kTrackerParameters.startIterationCap.value()));
  Newton(std::span<Complex>(st.y.data(), static_cast<std::size_t>(st.n)), cap, rule);
}

namespace {

enum class NewtonOutcome { kConverged, kStopped, kRejected };

// Newton's rule of one trial first step, from y just moved along the tangent. The first
// correction is applied only above eps and must then shrink the residual fifteenfold unless it
// is tiny or reaches eps; later ones go on until the residual is within eps, and a residual that
// grows beyond the route's firstStepLaterFactor stops them (the step is then refused unless the
// correction and the residual are already small).
struct FirstStepRule : NewtonRuleBase {
  PathState& st;
  const PathContext& ctx;
  double eps;
  double rho = 0.0;
  double rho0 = 0.0;
  NewtonOutcome outcome = NewtonOutcome::kRejected;

  const Complex* Correction(std::span<Complex>) {
    SolveWithJacobian(st, st.residual);
    return st.scratch.correction.data();
  }
  double Size(const Complex*, std::span<Complex>) const { return MaxNorm(st.scratch.correction); }
  // How the iteration ends at residual rho.
  NewtonVerdict Ended() {
    if (!std::isfinite(rho)) return Rejected();
    outcome = rho < eps ? NewtonOutcome::kConverged : NewtonOutcome::kStopped;
    return outcome == NewtonOutcome::kConverged ? NewtonVerdict::kConverged
                                                : NewtonVerdict::kRejected;
  }
  NewtonVerdict Rejected() {
    outcome = NewtonOutcome::kRejected;
    return NewtonVerdict::kRejected;
  }
  NewtonVerdict BeforeApplying(const NewtonCorrection<double>& c, std::span<const Complex>) {
    if (c.index > 0) return NewtonVerdict::kContinue;
    rho = rho0 = MaxNorm(st.residual);
    return rho0 >= eps ? NewtonVerdict::kContinue : Ended();
  }
  NewtonVerdict AfterApplying(const NewtonCorrection<double>& c, std::span<const Complex>) {
    Evaluate(st, *ctx.homotopy);
    const double rhoNext = MaxNorm(st.residual);
    // An infinite residual never decreases, and the iteration would go on forever.
    if (!std::isfinite(rhoNext)) return Rejected();
    bool stopped = false;
    if (c.index == 0) {
      if (!(c.size <= 1e-7 || rhoNext <= eps || 15.0 * rhoNext <= rho0)) return Rejected();
    } else if (rhoNext > eps && rho < ctx.route->firstStepLaterFactor * rhoNext) {
      if (c.size >= 1e-7 || rhoNext >= 1000.0 * eps) return Rejected();
      stopped = true;
    }
    rho = rhoNext;
    if (rho > eps && !stopped && !ctx.StopRequested()) return NewtonVerdict::kContinue;
    return Ended();
  }
};

NewtonOutcome FirstStepNewton(PathState& st, const PathContext& ctx, double eps) {
  FirstStepRule rule{{}, st, ctx, eps};
  Newton(std::span<Complex>(st.y.data(), static_cast<std::size_t>(st.n)),
         std::numeric_limits<int>::max(), rule);
  return rule.outcome;
}

}  // namespace

void FirstStep(PathState& st, const PathContext& ctx) {
  Homotopy& homotopy = *ctx.homotopy;
  st.stepSize =
      ctx.route->firstStepFromDistance ? Distance(st, *ctx.route) / 3.0 : ctx.limits.initialStep;
  st.scratch.startJacobian = st.jacobian;
  st.scratch.startResidual = st.residual;
  st.scratch.startDerivative = st.parameterDerivative;
  st.scratch.startPoint = st.y;
  SolveWithJacobian(st, st.parameterDerivative);
  for (int i = 0; i < st.n; ++i) st.vCur[i] = -st.scratch.correction[i];
  const double eps = ToleranceAt(st.scratch.startJacobian, st.scratch.startPoint);
  // Continuing after an early stop moves s forward each time; the cap keeps a path that never
  // converges from running on past the target.
  for (std::int32_t trial = 0; trial <= ctx.limits.stepLimit; ++trial) {
    if (ctx.StopRequested()) return;  // the caller abandons the path
    for (int i = 0; i < st.n; ++i) st.y[i] += st.stepSize * st.vCur[i];
    st.s += st.stepSize;
    Evaluate(st, homotopy);
    const NewtonOutcome outcome = FirstStepNewton(st, ctx, eps);
    if (outcome == NewtonOutcome::kConverged) {
      st.lastStep = st.stepSize;
      st.yPrev = st.scratch.startPoint;
      st.yCur = st.y;
      return;
    }
    if (outcome == NewtonOutcome::kRejected) {
      st.s -= st.stepSize;
      st.stepSize /= 2.0;
      if (st.stepSize < kTrackerParameters.minFirstStep) {
        Fail(st, PathFailure::kStepUnderflow);
        return;
      }
      st.y = st.scratch.startPoint;
      st.jacobian = st.scratch.startJacobian;
      st.residual = st.scratch.startResidual;
      st.parameterDerivative = st.scratch.startDerivative;
    }
  }
  Fail(st, PathFailure::kStepLimit);
}

}  // namespace zormix
