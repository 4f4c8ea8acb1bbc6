#include "tracker/jumps/path_waypoint.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <span>

#include "base/newton.h"
#include "tracker/path/path_steps.h"

namespace zormix {

using namespace path_steps;

namespace {

constexpr int kWaypointIterations = 8;
// Newton at the waypoint stops when the correction is below this, relative to the point.
constexpr double kWaypointAccuracy = 1e-13;
// Waypoints closer than this (relative max norm) belong to one path.
constexpr double kCoincidence = 1e-8;

double MaxModulus(const Complex* y, int n) {
  double largest = 0.0;
  for (int i = 0; i < n; ++i) largest = std::max(largest, std::abs(y[i]));
  return largest;
}

}  // namespace

void RecordWaypoint(PathState& st, const PathContext& ctx) {
  const double target = ctx.limits.waypoint;
  const double before = st.s - st.lastStep;
  if (target < 0.0 || st.hasWaypoint || !(before < target && target <= st.s)) return;
  // yPrev and yCur are the step's two ends at s - hl and s.
  const double fraction = (target - before) / st.lastStep;
  for (int i = 0; i < st.n; ++i) st.y[i] = st.yPrev[i] + fraction * (st.yCur[i] - st.yPrev[i]);
  const double s = st.s;
  st.s = target;
  struct Rule : NewtonRuleBase {
    PathState& st;
    const PathContext& ctx;

    const Complex* Correction(std::span<Complex>) {
      Evaluate(st, *ctx.homotopy);
      SolveWithJacobian(st, st.residual);
      return st.scratch.correction.data();
    }
    double Size(const Complex*, std::span<Complex>) const { return MaxNorm(st.scratch.correction); }
    NewtonVerdict AfterApplying(const NewtonCorrection<double>& c, std::span<const Complex>) const {
      return c.size <= kWaypointAccuracy * std::max(1.0, MaxNorm(st.y)) ? NewtonVerdict::kConverged
                                                                        : NewtonVerdict::kContinue;
    }
  };
  Rule rule{{}, st, ctx};
  const bool converged = Newton(std::span<Complex>(st.y.data(), static_cast<std::size_t>(st.n)),
                                kWaypointIterations, rule)
                             .converged();
  if (converged && AllFinite(st.y)) {
    st.waypoint = st.y;
    st.hasWaypoint = true;
  }
  st.s = s;
  st.y = st.yCur;
  Evaluate(st, *ctx.homotopy);
}

std::vector<std::int64_t> CoincidingWaypoints(const PointSlots& points,
                                              const std::vector<std::uint8_t>& has) {
  const int n = static_cast<int>(points.rows());
  std::vector<std::int64_t> units;
  for (std::int64_t u = 0; u < static_cast<std::int64_t>(has.size()); ++u)
    if (has[u]) units.push_back(u);
  // Coinciding points have real parts of their first coordinates within the tolerance, so after
  // sorting by that part only a short run of neighbours needs comparing.
  auto key = [&points](std::int64_t u) { return points(0, u).real(); };
  std::sort(units.begin(), units.end(), [&](std::int64_t a, std::int64_t b) {
    return key(a) < key(b) || (key(a) == key(b) && a < b);
  });
  std::vector<std::uint8_t> coincides(has.size(), 0);
  for (std::size_t a = 0; a < units.size(); ++a) {
    const Complex* ya = points.col(units[a]);
    const double tolerance = kCoincidence * std::max(1.0, MaxModulus(ya, n));
    for (std::size_t b = a + 1; b < units.size() && key(units[b]) - key(units[a]) <= tolerance;
         ++b) {
      const Complex* yb = points.col(units[b]);
      double distance = 0.0;
      for (int i = 0; i < n; ++i) distance = std::max(distance, std::abs(ya[i] - yb[i]));
      if (distance <= tolerance) coincides[units[a]] = coincides[units[b]] = 1;
    }
  }
  std::vector<std::int64_t> result;
  for (std::int64_t u = 0; u < static_cast<std::int64_t>(coincides.size()); ++u)
    if (coincides[u]) result.push_back(u);
  return result;
}

std::vector<std::int64_t> CoincidingWaypoints(const PointSlots& points,
                                              const PathSlots<std::uint8_t>& has) {
  std::vector<std::uint8_t> flags(static_cast<std::size_t>(has.size()));
  for (std::int64_t u = 0; u < has.size(); ++u) flags[static_cast<std::size_t>(u)] = has[u];
  return CoincidingWaypoints(points, flags);
}

}  // namespace zormix
