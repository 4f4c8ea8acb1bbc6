// Regular roots reached by Newton on the target from paths given up close to it.
//
// A regular root can lie at the end of a path that behaves like a diverging one until the last
// moment. By the total-degree route, cohn3 has roots near |x| = 1.3e4 (|y| ~ 100 in the scaled
// variables) whose paths still grow with exponent -0.3 at 1 - t = 5e-9 and reach the root only
// near 1 - t = 1e-10; the end game took them for paths to infinity, or, as one coordinate falls
// from 0.4 to its value -0.013, for one tending to zero.
//
// So a first tracking defers the verdict "tends to infinity" while the point is below the
// divergence bound of the route (RouteConstants::divergenceFactor n), and a path that stops within
// 1e-8 of the target, given up or deferred, tries Newton on the target from its last point. A
// root found that way is added only when no recorded path reached it: a path whose verdict was
// deferred never yields an end point otherwise, so the paths recorded before are unchanged.
#ifndef ZORMIX_TRACKER_PATH_END_POLISH_H_
#define ZORMIX_TRACKER_PATH_END_POLISH_H_

#include <cstdint>
#include <vector>

#include "tracker/path/path_state.h"
#include "tracker/routes/path_slots.h"
#include "zormix/col_major_matrix.h"

namespace zormix {

// For a path that stopped within tracker.polish_zone of the target (PathLimits::polishNearTarget
// set): Newton on the target from its last accepted point, at most tracker.polish_iterations
// steps. When the last step is below tracker.polish_accuracy of the point (quadratic convergence;
// a singular root converges too slowly to get there), the point moved at most tracker.polish_drift
// max(1, |y|), and the backward error is <= kRootBackwardErrorLimit, the root
// goes to st.yPolished and st.hasPolished is set.
void PolishNearTarget(PathState& st, const PathContext& ctx);

// Of the polished points (by unit) of unrecorded units, those that match no recorded end point
// (columns u of endPoints with recorded[u] set) nor an earlier such point, within
// tracker.polish_same_root relative max norm: their units, in increasing order.
std::vector<std::int64_t> NewPolishedRoots(const PointSlots& endPoints,
                                           const std::vector<std::uint8_t>& recorded,
                                           const SparsePoints& polished);

}  // namespace zormix

#endif  // ZORMIX_TRACKER_PATH_END_POLISH_H_
