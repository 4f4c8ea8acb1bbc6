// Newton refinement on the target at the end of a path.
#include <algorithm>
#include <cmath>

#include "model/equation_scale.h"
#include "tracker/path/path_state.h"
#include "tracker/path/path_steps.h"

namespace zormix {

using namespace path_steps;

namespace {

// Whether yBest is a root of the target up to kRootBackwardErrorLimit. A large root has huge terms
// whose rounding alone leaves a residual far above the absolute limit of AcceptAtTarget.
bool SmallBackwardError(PathState& st, const SystemView& target,
                        std::span<const std::int32_t> maxDegree) {
  EvaluateSystem(target, maxDegree, st.scratch.bestIterate.data(), st.jacobian, st.acceptedResidual,
                 st.scratch.targetWorkspace);
  return BackwardError(target, maxDegree, st.scratch.bestIterate.data(), st.acceptedResidual) <=
         kRootBackwardErrorLimit;
}

}  // namespace

bool AcceptAtTarget(PathState& st, const PathContext& ctx) {
  const SystemView& target = ctx.target;
  const std::span<const std::int32_t> maxDegree = ctx.maxDegree;
  st.scratch.arrival = st.y;
  double r = MaxNorm(st.acceptedResidual);
  st.scratch.bestIterate = st.y;
  SolveWithJacobian(st, st.acceptedResidual);
  SubtractCorrection(st);
  EvaluateSystem(target, maxDegree, st.y.data(), st.jacobian, st.acceptedResidual,
                 st.scratch.targetWorkspace);
  double rNext = MaxNorm(st.acceptedResidual);
  // Continue while every Newton step more than halves the residual; a stop ends it (the caller
  // abandons the path).
  while (rNext < r / 2.0 && !ctx.StopRequested()) {
    r = rNext;
    st.scratch.bestIterate = st.y;
    SolveWithJacobian(st, st.acceptedResidual);
    SubtractCorrection(st);
    EvaluateSystem(target, maxDegree, st.y.data(), st.jacobian, st.acceptedResidual,
                   st.scratch.targetWorkspace);
    rNext = MaxNorm(st.acceptedResidual);
  }
  double drift = 0.0;
  for (int i = 0; i < st.n; ++i)
    drift = std::max(drift, std::abs(st.scratch.arrival[i] - st.scratch.bestIterate[i]));
  const double normY0 = MaxNorm(st.scratch.arrival);
  bool accept = normY0 <= 5.0 ? !(drift > tracker::kArrivalDriftSmall)
                              : !(drift > tracker::kArrivalDriftLarge * normY0);
  if (r <= tracker::kArrivalResidual || rNext <= tracker::kArrivalResidual ||
      SmallBackwardError(st, target, maxDegree)) {
    st.y = st.scratch.bestIterate;
  } else {
    accept = false;
  }
  return accept;
}

}  // namespace zormix
