// Newton at the start of a path and the first step along the start tangent.
#include <algorithm>
#include <cmath>

#include "tracker/path/path_state.h"
#include "tracker/path/path_steps.h"

namespace zormix {

using namespace path_steps;

void CorrectStartPoint(PathState& st, const PathContext& ctx) {
  Homotopy& homotopy = *ctx.homotopy;
  Evaluate(st, homotopy);
  const double enough = kTrackerParameters.startResidual;
  double r = MaxNorm(st.residual);
  // Each iteration evaluates the homotopy once: a stop is heard at every one.
  for (int iteration = 0;
       r > enough && iteration < kTrackerParameters.startIterationCap && !ctx.StopRequested();
       ++iteration) {
    SolveWithJacobian(st, st.residual);
    st.scratch.lastIterate = st.y;
    const double r0 = r;
    SubtractCorrection(st);
    Evaluate(st, homotopy);
    r = MaxNorm(st.residual);
    if (r < enough) return;
    if (!(r < r0)) {  // no progress (or not a number): back to the better point
      st.y = st.scratch.lastIterate;
      Evaluate(st, homotopy);
      return;
    }
  }
}

namespace {

enum class NewtonOutcome { kConverged, kStopped, kRejected };

// The Newton iterations of one trial first step, from y just moved along the tangent.
NewtonOutcome FirstStepNewton(PathState& st, const PathContext& ctx, double eps) {
  Homotopy& homotopy = *ctx.homotopy;
  SolveWithJacobian(st, st.residual);
  const double rho0 = MaxNorm(st.residual);
  const double delta0 = MaxNorm(st.scratch.correction);
  double rho = rho0;
  if (rho0 >= eps) {
    SubtractCorrection(st);
    Evaluate(st, homotopy);
    const double rho1 = MaxNorm(st.residual);
    if (!std::isfinite(rho1)) return NewtonOutcome::kRejected;
    if (!(delta0 <= 1e-7 || rho1 <= eps || 15.0 * rho1 <= rho0)) return NewtonOutcome::kRejected;
    rho = rho1;
  }
  const double factor = ctx.route->firstStepLaterFactor;
  bool stopped = false;
  while (rho > eps && !stopped && !ctx.StopRequested()) {
    SolveWithJacobian(st, st.residual);
    SubtractCorrection(st);
    Evaluate(st, homotopy);
    const double rhoNext = MaxNorm(st.residual);
    // An infinite residual never decreases, and the iteration would go on forever.
    if (!std::isfinite(rhoNext)) return NewtonOutcome::kRejected;
    if (rhoNext > eps && rho < factor * rhoNext) {
      if (MaxNorm(st.scratch.correction) >= 1e-7 || rhoNext >= 1000.0 * eps)
        return NewtonOutcome::kRejected;
      stopped = true;
    }
    rho = rhoNext;
  }
  if (!std::isfinite(rho)) return NewtonOutcome::kRejected;
  return rho < eps ? NewtonOutcome::kConverged : NewtonOutcome::kStopped;
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
