// The jump check at an interior parameter value. For t < 1 the solutions of the total-degree
// homotopy H(y, t) = 0 are regular and distinct (the random start coefficients make sure of it),
// so two paths through the same point at the same t have met only because the corrector of one of
// them converged onto the other path. When that other path diverges, both are given up as
// diverging and the path-jumping check at the target, which compares recorded end points, never
// sees them: total-degree cyclic-7, seed 2, lost one of its 924 roots that way (path 206 left its
// path near t = 0.45 in a step of 0.08).
#ifndef ZORMIX_TRACKER_JUMPS_PATH_WAYPOINT_H_
#define ZORMIX_TRACKER_JUMPS_PATH_WAYPOINT_H_

#include <cstdint>
#include <vector>

#include "tracker/path/path_state.h"
#include "tracker/routes/path_slots.h"
#include "zormix/col_major_matrix.h"

namespace zormix {

// Called after every accepted step. When the step has just crossed ctx.limits.waypoint, sets
// st.waypoint to the point of the path at exactly that parameter (Newton from the linear
// interpolation of the step's two ends) and st.hasWaypoint; then re-evaluates the homotopy at the
// current point, so the state the next step starts from is bit for bit the one it had.
void RecordWaypoint(PathState& st, const PathContext& ctx);

// Units (columns of `points` with has[u] set) whose waypoints coincide with that of another
// unit within 1e-8 relative max norm, in increasing order.
std::vector<std::int64_t> CoincidingWaypoints(const PointSlots& points,
                                              const std::vector<std::uint8_t>& has);
std::vector<std::int64_t> CoincidingWaypoints(const PointSlots& points,
                                              const PathSlots<std::uint8_t>& has);

}  // namespace zormix

#endif  // ZORMIX_TRACKER_JUMPS_PATH_WAYPOINT_H_
