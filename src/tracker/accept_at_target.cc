// Newton refinement on the target at the end of a path.
#include <algorithm>
#include <cmath>

#include "model/equation_scale.h"
#include "tracker/path_state.h"
#include "tracker/path_steps.h"

namespace zormix {

using namespace path_steps;

namespace {

// Whether yBest is a root of the target up to kRootBackwardErrorLimit. A large root has huge terms
// whose rounding alone leaves a residual far above the absolute limit of AcceptAtTarget.
bool SmallBackwardError(PathState& st, const SystemView& target,
                        std::span<const std::int32_t> maxDegree) {
  EvaluateSystem(target, maxDegree, st.yBest.data(), st.J, st.w, st.targetWorkspace);
  return BackwardError(target, maxDegree, st.yBest.data(), st.w) <= kRootBackwardErrorLimit;
}

}  // namespace

bool AcceptAtTarget(PathState& st, const SystemView& target,
                    std::span<const std::int32_t> maxDegree) {
  st.y0 = st.y;
  double r = MaxNorm(st.w);
  st.yBest = st.y;
  SolveWithJacobian(st, st.w);
  SubtractCorrection(st);
  EvaluateSystem(target, maxDegree, st.y.data(), st.J, st.w, st.targetWorkspace);
  double rNext = MaxNorm(st.w);
  // Continue while every Newton step more than halves the residual.
  while (rNext < r / 2.0) {
    r = rNext;
    st.yBest = st.y;
    SolveWithJacobian(st, st.w);
    SubtractCorrection(st);
    EvaluateSystem(target, maxDegree, st.y.data(), st.J, st.w, st.targetWorkspace);
    rNext = MaxNorm(st.w);
  }
  double drift = 0.0;
  for (int i = 0; i < st.n; ++i) drift = std::max(drift, std::abs(st.y0[i] - st.yBest[i]));
  const double normY0 = MaxNorm(st.y0);
  bool accept = normY0 <= 5.0 ? !(drift > 0.5) : !(drift > 0.3 * normY0);
  if (r <= 1e-4 || rNext <= 1e-4 || SmallBackwardError(st, target, maxDegree)) {
    st.y = st.yBest;
  } else {
    accept = false;
  }
  return accept;
}

}  // namespace zormix
