// The path loop: start correction, first step, then predict, correct, end game, step control.
#include <algorithm>

#include "tracker/end_polish.h"
#include "tracker/path_state.h"
#include "tracker/path_steps.h"
#include "tracker/path_waypoint.h"

namespace zormix {

using namespace path_steps;

bool TrackPath(PathState& st, const PathContext& ctx, const Complex* start, double s0,
               std::int64_t& blowUpCount) {
  const RouteConstants& route = *ctx.route;
  ctx.homotopy->UseExtendedResidual(ctx.limits.extendedResidual);
  std::copy(start, start + st.n, st.y.begin());
  st.s = s0;
  std::fill(st.watched.begin(), st.watched.end(), std::uint8_t{1});
  st.failed = false;
  st.failure = PathFailure::kNone;
  st.steps = 0;
  st.hasWaypoint = false;
  st.deferDivergence = ctx.limits.polishNearTarget;
  st.divergenceDeferred = false;
  CorrectStartPoint(st, *ctx.homotopy);
  FirstStep(st, ctx);
  if (route.limitAfterFirstStep)
    st.stepSize = std::min(st.stepSize, Distance(st, route) / ctx.limits.firstStepDivisor);
  st.finalStep = false;
  st.successCount = 0;
  st.rejected = false;
  st.atEnd = false;
  if (!st.failed) st.tolerance = ToleranceAt(st.jacobian, st.y);
  while (!st.failed && !st.atEnd) {
    if (st.finalStep) st.atEnd = true;
    PredictHermite(st, *ctx.homotopy, ctx.limits.tangentPredictorBelow);
    st.correctionLimit = ctx.limits.correctionLimit;
    CorrectNewton(st, ctx, blowUpCount);
    const double d = Distance(st, route);
    if (!st.rejected && d != 0.0 && d < kTrackerParameters.endGameZone) CheckEndGame(st, route);
    if (!st.rejected && !st.atEnd) {
      ControlStep(st, route);
      RecordWaypoint(st, ctx);
    }
    if (st.steps > ctx.limits.stepLimit) Fail(st, PathFailure::kStepLimit);
  }
  st.hasPolished = false;
  if (st.divergenceDeferred) {
    // The verdict stands whatever came after it: the path yields at most a new polished root.
    st.failed = true;
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
