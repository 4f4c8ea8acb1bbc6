// One path tracked as the first tracking tracks it, for the tests of the tracker's verdicts.
#ifndef ZORMIX_TESTS_SUPPORT_TRACK_PATH_H_
#define ZORMIX_TESTS_SUPPORT_TRACK_PATH_H_

#include <cstdint>
#include <vector>

#include "model/system_eval.h"
#include "support/systems.h"
#include "tracker/path/path_state.h"
#include "tracker/path/tracker_parameters.h"
#include "zormix/poly_system.h"

namespace zormix::testing {

// Tracks the path of `homotopy` from `start` at parameter p0 along `route` to `target` (whose
// equations the end game's polish and the verdict checks read), with the first tracking's limits.
inline bool TrackWithFirstLimits(Homotopy& homotopy, const RouteConstants& route,
                                 const PolySystem& target, const Complex* start, double p0,
                                 PathState& st) {
  const std::vector<std::int32_t> maxDegree = MaxDegrees(target.exponents);
  PathContext ctx;
  ctx.homotopy = &homotopy;
  ctx.route = &route;
  ctx.limits = FirstTrackingLimits();
  ctx.target = {target.n, target.termCount, &target.exponents, target.coefficients};
  ctx.maxDegree = maxDegree;
  std::int64_t blowUps = 0;
  return TrackPath(st, ctx, start, p0, blowUps);
}

// The target x - 1 = 0 in one unknown, whose equation the end game's residual test and polish
// read, for test homotopies whose paths end at 1. The context points into this object: keep it
// alive while the context is used.
struct UnitRootTarget {
  PolySystem target = BuildSystem({{{{1}, Complex(1.0)}, {{0}, Complex(-1.0)}}});
  std::vector<std::int32_t> maxDegree = MaxDegrees(target.exponents);

  PathContext Context(Homotopy& homotopy) const {
    PathContext ctx;
    ctx.homotopy = &homotopy;
    ctx.target = {target.n, target.termCount, &target.exponents, target.coefficients};
    ctx.maxDegree = maxDegree;
    return ctx;
  }
};

}  // namespace zormix::testing

#endif  // ZORMIX_TESTS_SUPPORT_TRACK_PATH_H_
