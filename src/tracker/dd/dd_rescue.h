// The last resort for paths double precision cannot follow: re-tracking them in double-double.
#ifndef ZORMIX_TRACKER_DD_DD_RESCUE_H_
#define ZORMIX_TRACKER_DD_DD_RESCUE_H_

#include <cstdint>
#include <vector>

#include "model/system_eval.h"
#include "tracker/routes/route_tracking.h"

namespace zormix {

// Backward error (max_i |F_i| / sum_j |A_j y^a_j|, evaluated in double-double) above which an end
// point the tracker accepted solves nothing: a regular end point is at 1e-16, and a singular one
// that plain tracking left eps^(1/m) away at about eps. Double leaves such points where the
// conditioning of the roots exceeds what it resolves (the expanded Wilkinson polynomial of
// degree 16 ends paths at 3.2 with a backward error of 1e-6).
inline constexpr double kUnsolvedBackwardError = 1e-13;
// Above this backward error an end point is taken for a root only when Newton's method in
// double-double settles from it: the roots of Wilkinson's polynomial of degree 20 have condition
// numbers near 1e13, so points 0.3 away from them solve the equation to 1e-14.
inline constexpr double kDoubtfulBackwardError = 1e-15;

// Most variables of a system whose paths are re-tracked, and whose points are classified, in
// double-double (at most tracker.most_double_double_units paths of such a system, the first in
// unit order). Measured with
// three variables allowed: a double-double path of an eight-variable system costs seconds
// (katsura-7's two re-tracks took 6 s, ten times its whole solve); the paths such systems lose are
// mostly on their way to infinity or to a solution set, which double-double does not bring home
// either (fourbar: 80 s, reimer-5: 160 s, nothing gained); and with two or more variables the
// row-scaled Jacobian test let points of multiple roots and of solution sets pass as regular
// (fourbar: 40 regular roots of 36, (x - 1)^5; (y - 2)^3 split into three roots). One variable has
// neither solution sets nor such points.
inline constexpr int kMostDoubleDoubleVariables = 1;

// max_i |F_i(y)| / sum_j |A_j y^a_j| on `target`, in double-double (0 where all terms vanish).
double DoubleDoubleBackwardError(const SystemView& target, std::span<const std::int32_t> maxDegree,
                                 const Complex* y);

// The units re-tracked in double-double, in unit order: paths still lost to underflow or the step
// limit after the rescues; paths whose recorded end point has a backward error beyond
// kUnsolvedBackwardError (or beyond kDoubtfulBackwardError while Newton's method in double-double
// does not settle from it; the end game's points only beyond kUnsolvedBackwardError and at a
// Jacobian that does not look singular); and paths whose end points coincide
// (within 1e-8) at a point where the target's Jacobian does not look singular (end_game.h): two
// paths at one regular root, one of which jumped there.
std::vector<std::int64_t> UnitsForDoubleDouble(const RouteTracking& tracking,
                                               const SystemView& target);

// For systems of more variables, re-tracks the paths still lost after the rescues (at most
// tracker.most_continued_paths, in unit order) with the re-tracker of
// RetrackPurpose::kDoubleDouble, which tracks in double and continues a path lost close to the
// target in double-double from its end game's start point, and a path lost farther out from the
// point double-double tracking reaches where double precision lost it (ContinueInDoubleDouble): a
// path proved diverging gets status kDiverged with its valuation, one that reaches a regular root
// kRescued, one that approaches a singular end kEndGame with winding number 0 (its last point, for
// classification); any other leaves the slot. For systems of at most kMostDoubleDoubleVariables
// variables, re-tracks UnitsForDoubleDouble (at most tracker.most_double_double_units of them) with
// the re-tracker of RetrackPurpose::kDoubleDouble, then the paths not re-tracked yet whose end
// points coincide at a regular point with another's, again until none does (at most
// tracker.most_double_double_units such re-tracks in all). A re-track that reaches the target puts
// its end point into the slot with status kRescued and winding number 1; counts.rescued counts
// those of lost paths. A failed one leaves the slot as it was. Results do not depend on `threads`.
void RetrackInDoubleDouble(RouteTracking& tracking, const SystemView& target,
                           const RetrackFactory& makeRetrack, int threads, PathCounts& counts);

}  // namespace zormix

#endif  // ZORMIX_TRACKER_DD_DD_RESCUE_H_
