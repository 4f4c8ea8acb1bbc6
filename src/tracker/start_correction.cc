// Newton at the start of a path and the first step along the start tangent.
#include <algorithm>
#include <cmath>

#include "tracker/path_state.h"
#include "tracker/path_steps.h"

namespace zormix {

using namespace path_steps;

namespace {
// The residual of an exact start point can stay constant; then Newton would never stop.
constexpr int kStartIterationCap = 100;
}  // namespace

void CorrectStartPoint(PathState& st, Homotopy& homotopy) {
  Evaluate(st, homotopy);
  double r = MaxNorm(st.H);
  for (int iteration = 0; r > 1e-7 && iteration < kStartIterationCap; ++iteration) {
    SolveWithJacobian(st, st.H);
    st.yOld = st.y;
    const double r0 = r;
    SubtractCorrection(st);
    Evaluate(st, homotopy);
    r = MaxNorm(st.H);
    if (r < 1e-7) return;
    if (!(r < r0)) {  // no progress (or not a number): back to the better point
      st.y = st.yOld;
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
  SolveWithJacobian(st, st.H);
  const double rho0 = MaxNorm(st.H);
  const double delta0 = MaxNorm(st.d);
  double rho = rho0;
  if (rho0 >= eps) {
    SubtractCorrection(st);
    Evaluate(st, homotopy);
    const double rho1 = MaxNorm(st.H);
    if (!std::isfinite(rho1)) return NewtonOutcome::kRejected;
    if (!(delta0 <= 1e-7 || rho1 <= eps || 15.0 * rho1 <= rho0)) return NewtonOutcome::kRejected;
    rho = rho1;
  }
  const double factor = ctx.route->firstStepLaterFactor;
  bool stopped = false;
  while (rho > eps && !stopped) {
    SolveWithJacobian(st, st.H);
    SubtractCorrection(st);
    Evaluate(st, homotopy);
    const double rhoNext = MaxNorm(st.H);
    // An infinite residual never decreases, and the iteration would go on forever.
    if (!std::isfinite(rhoNext)) return NewtonOutcome::kRejected;
    if (rhoNext > eps && rho < factor * rhoNext) {
      if (MaxNorm(st.d) >= 1e-7 || rhoNext >= 1000.0 * eps) return NewtonOutcome::kRejected;
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
  st.h = ctx.route->firstStepFromDistance ? Distance(st, *ctx.route) / 3.0 : ctx.limits.initialStep;
  st.Jc = st.J;
  st.Hc = st.H;
  st.Hsc = st.Hs;
  st.yc = st.y;
  SolveWithJacobian(st, st.Hs);
  for (int i = 0; i < st.n; ++i) st.vCur[i] = -st.d[i];
  const double eps = ToleranceAt(st.Jc, st.yc);
  // Continuing after an early stop moves s forward each time; the cap keeps a path that never
  // converges from running on past the target.
  for (std::int32_t trial = 0; trial <= ctx.limits.stepLimit; ++trial) {
    for (int i = 0; i < st.n; ++i) st.y[i] += st.h * st.vCur[i];
    st.s += st.h;
    Evaluate(st, homotopy);
    const NewtonOutcome outcome = FirstStepNewton(st, ctx, eps);
    if (outcome == NewtonOutcome::kConverged) {
      st.hl = st.h;
      st.yPrev = st.yc;
      st.yCur = st.y;
      return;
    }
    if (outcome == NewtonOutcome::kRejected) {
      st.s -= st.h;
      st.h /= 2.0;
      if (st.h < 1e-16) {
        Fail(st, PathFailure::kStepUnderflow);
        return;
      }
      st.y = st.yc;
      st.J = st.Jc;
      st.H = st.Hc;
      st.Hs = st.Hsc;
    }
  }
  Fail(st, PathFailure::kStepLimit);
}

}  // namespace zormix
