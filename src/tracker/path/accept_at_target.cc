// Newton refinement on the target at the end of a path.
#include <algorithm>
#include <cmath>
#include <limits>
#include <span>

#include "base/newton.h"
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

// Newton's rule at the target: go on while every step more than halves the residual, the last
// point that did kept as the best; a stop ends it (the caller abandons the path).
struct HalvingRule : NewtonRuleBase {
  PathState& st;
  const PathContext& ctx;
  double r;
  double rNext = 0.0;

  const Complex* Correction(std::span<Complex>) {
    SolveWithJacobian(st, st.acceptedResidual);
    return st.scratch.correction.data();
  }
  double Size(const Complex*, std::span<Complex>) const { return MaxNorm(st.scratch.correction); }
  NewtonVerdict AfterApplying(const NewtonCorrection<double>&, std::span<const Complex>) {
    EvaluateSystem(ctx.target, ctx.maxDegree, st.y.data(), st.jacobian, st.acceptedResidual,
                   st.scratch.targetWorkspace);
    rNext = MaxNorm(st.acceptedResidual);
    if (!(rNext < r / 2.0) || ctx.StopRequested()) return NewtonVerdict::kConverged;
    r = rNext;
    st.scratch.bestIterate = st.y;
    return NewtonVerdict::kContinue;
  }
};

}  // namespace

bool AcceptAtTarget(PathState& st, const PathContext& ctx) {
  const SystemView& target = ctx.target;
  const std::span<const std::int32_t> maxDegree = ctx.maxDegree;
  st.scratch.arrival = st.y;
  st.scratch.bestIterate = st.y;
  HalvingRule rule{{}, st, ctx, MaxNorm(st.acceptedResidual)};
  Newton(std::span<Complex>(st.y.data(), static_cast<std::size_t>(st.n)),
         std::numeric_limits<int>::max(), rule);
  const double r = rule.r;
  const double rNext = rule.rNext;
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
