#include "tracker/path/end_polish.h"

#include <algorithm>
#include <cmath>

#include "model/equation_scale.h"
#include "tracker/path/path_steps.h"

namespace zormix {

using namespace path_steps;

namespace {

double MaxModulus(const Complex* y, std::size_t n) {
  double largest = 0.0;
  for (std::size_t i = 0; i < n; ++i) largest = std::max(largest, std::abs(y[i]));
  return largest;
}

}  // namespace

void PolishNearTarget(PathState& st, const PathContext& ctx) {
  st.hasPolished = false;
  if (!ctx.limits.polishNearTarget || !(Distance(st, *ctx.route) < tracker::kPolishZone)) return;
  st.y = st.yCur;
  const double size = std::max(1.0, MaxNorm(st.yCur));
  auto drift = [&st] {
    double largest = 0.0;
    for (int i = 0; i < st.n; ++i) largest = std::max(largest, std::abs(st.y[i] - st.yCur[i]));
    return largest;
  };
  bool converged = false;
  for (int k = 0; k < tracker::kPolishIterations && !converged; ++k) {
    EvaluateSystem(ctx.target, ctx.maxDegree, st.y.data(), st.jacobian, st.acceptedResidual,
                   st.scratch.targetWorkspace);
    SolveWithJacobian(st, st.acceptedResidual);
    SubtractCorrection(st);
    // Most paths to infinity leave at once; a root may lie a little beyond the final limit at
    // first (Newton overshoots from a point still far out on a steep path).
    if (!AllFinite(st.y) || !(drift() <= tracker::kPolishWander * size)) return;
    converged =
        MaxNorm(st.scratch.correction) <= tracker::kPolishAccuracy * std::max(1.0, MaxNorm(st.y));
  }
  if (!converged || drift() > tracker::kPolishDrift * size) return;
  EvaluateSystem(ctx.target, ctx.maxDegree, st.y.data(), st.jacobian, st.acceptedResidual,
                 st.scratch.targetWorkspace);
  if (!(BackwardError(ctx.target, ctx.maxDegree, st.y.data(), st.acceptedResidual) <=
        kRootBackwardErrorLimit))
    return;
  st.yPolished = st.y;
  st.hasPolished = true;
}

std::vector<std::int64_t> NewPolishedRoots(const PointSlots& endPoints,
                                           const std::vector<std::uint8_t>& recorded,
                                           const SparsePoints& polished) {
  const std::size_t n = static_cast<std::size_t>(endPoints.rows());
  std::vector<const Complex*> known;
  for (std::size_t u = 0; u < recorded.size(); ++u)
    if (recorded[u]) known.push_back(endPoints.col(static_cast<std::int64_t>(u)));
  auto same = [n](const Complex* a, const Complex* b) {
    double distance = 0.0;
    for (std::size_t i = 0; i < n; ++i) distance = std::max(distance, std::abs(a[i] - b[i]));
    return distance <= tracker::kPolishSameRoot * std::max(1.0, MaxModulus(a, n));
  };
  std::vector<std::int64_t> added;
  for (const auto& [u, point] : polished.byUnit()) {
    if (point.size() != n || recorded[static_cast<std::size_t>(u)]) continue;
    const Complex* y = point.data();
    if (std::any_of(known.begin(), known.end(), [&](const Complex* k) { return same(y, k); }))
      continue;
    known.push_back(y);
    added.push_back(u);
  }
  return added;
}

}  // namespace zormix
