// The path loop: start correction, first step, then predict, correct, end game, step control.
#include <algorithm>

#include "tracker/end_polish.h"
#include "tracker/path_checkpoint.h"
#include "tracker/path_state.h"
#include "tracker/path_steps.h"

namespace zormix {

using namespace path_steps;

bool TrackPath(PathState& st, const PathContext& ctx, const Complex* start, double s0,
               std::int64_t& blowUpCount) {
  const RouteConstants& route = *ctx.route;
  ctx.homotopy->UseExtendedResidual(ctx.limits.extendedResidual);
  std::copy(start, start + st.n, st.y.begin());
  st.s = s0;
  std::fill(st.watch.begin(), st.watch.end(), std::uint8_t{1});
  st.failed = 0;
  st.failure = PathFailure::kNone;
  st.steps = 0;
  st.hasCheck = false;
  st.deferDivergence = ctx.limits.polishNearTarget;
  st.divergenceDeferred = false;
  CorrectStartPoint(st, *ctx.homotopy);
  FirstStep(st, ctx);
  if (route.limitAfterFirstStep)
    st.h = std::min(st.h, Distance(st, route) / ctx.limits.firstStepDivisor);
  st.finalStep = 0;
  st.successCount = 0;
  st.rejected = 0;
  st.atEnd = 0;
  if (!st.failed) st.eps = ToleranceAt(st.J, st.y);
  while (!st.failed && !st.atEnd) {
    if (st.finalStep == 1) st.atEnd = 1;
    PredictHermite(st, *ctx.homotopy, ctx.limits.tangentPredictorBelow);
    st.correctionLimit = ctx.limits.correctionLimit;
    CorrectNewton(st, ctx, blowUpCount);
    const double d = Distance(st, route);
    if (st.rejected == 0 && d != 0.0 && d < 1e-4) CheckEndGame(st, route);
    if (st.rejected == 0 && st.atEnd == 0) {
      ControlStep(st, route);
      RecordCheckpoint(st, ctx);
    }
    if (st.steps > ctx.limits.stepLimit) Fail(st, PathFailure::kStepLimit);
  }
  st.hasPolished = false;
  if (st.divergenceDeferred) {
    // The verdict stands whatever came after it: the path yields at most a new polished root.
    st.failed = 1;
    st.failure = st.deferredVerdict;
  }
  if (st.failed || !st.atEnd) {
    PolishNearTarget(st, ctx);
    return false;
  }
  // A point that left the finite numbers is never recorded, whatever the residual test says.
  if (ctx.limits.refuseBeyondDivergenceBound && MaxNorm(st.y) > route.divergenceFactor * st.n)
    return false;
  return AcceptAtTarget(st, ctx.target, ctx.maxDegree) && AllFinite(st.y);
}

}  // namespace zormix
