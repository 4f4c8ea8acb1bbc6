// The end points compared with one another: those at the points of sets, the roots one unknown's
// searches found twice, and the groups of end points at one root.
#ifndef ZORMIX_FINISH_GROUPING_H_
#define ZORMIX_FINISH_GROUPING_H_

#include <cstdint>
#include <vector>

#include "finish/finish_stop.h"
#include "finish/point_rules.h"
#include "model/normal_form.h"
#include "zormix/result.h"

namespace zormix {

// The relative distance at which another end point is at the same root as point v: the error v
// carries. A regular candidate: finish.error_per_condition kappa_s, clamped to
// [finish.min_coincidence, finish.max_coincidence] (finish.min_coincidence when its value is
// Newton's limit in double-double). A singular point: finish.end_game_coincidence when the end
// game extrapolated it (winding number >= 2), else max(finish.error_per_condition kappa_s,
// finish.steps_per_error times its relative Newton step, finish.unextrapolated_coincidence),
// at most finish.max_singular_coincidence (Newton's step at a root of multiplicity m is 1/m of the
// distance to it, and plain tracking leaves such a point up to u^(1/m) away).
double Tau(const EndPointVerdict& v, std::int32_t windingNumber);

// One unknown: each simple root draws one path. A root that Newton's method reached from an end
// point left far off (ValueSource::kSearched) and that another end point holds already is looked
// for again from that end point with the roots held deflated; without a root of its own the point
// is singular (PointRule::kSearchedRootHeld), at its end point again. In column order: any thread
// count gives the same verdicts.
void SeparateSearchedRoots(const NormalForm& system, const SolveResult& r,
                           std::vector<EndPointVerdict>& points);

// An end point that no box proves, at the point of an end point on a set (within its own tau,
// coordinate by coordinate without a floor), lies on that set too, with the set's dimension
// (PointRule::kAtAPointOnASet). Where sets cross, the coordinates that vanish at rounding level
// hide the set from one end point's own tests while the others show it (the reduced cyclic-7
// system: of ten end points at (0, 0, -1, 0, 0, 0), nine on a set, one with kappa_s 45 alone a
// "regular root"). A regular root has no set through it: no end point of a set lies at it.
void JoinSetsAtTheirPoints(const SolveResult& r, const std::vector<double>& origin, int threads,
                           const FinishStop& stop, std::vector<EndPointVerdict>& points);

// The groups of end points at one root, points on sets left alone: per column, the first column
// of its group. Two end points are at one root when
//   - either holds a cluster of roots (one unknown): their distance is at most the sum of the
//     clusters' radii;
//   - both have interval certificates and the enclosure K of one lies in the box X of the other
//     (X holds exactly one root, so both roots are that one);
//   - one has a certificate and the other lies in its box X;
//   - otherwise |x_j - y_j| <= tau max(|x_j|, |y_j|, floor, o_j) for every j (o_j the origin
//     scales), tau the smaller of their Tau when either is a regular candidate (it keeps its own,
//     smaller error), the larger when both are singular; floor is finish.coordinate_floor times
//     the larger point, for two singular points finish.singular_coordinate_floor times it (their
//     error is a distance from the root in the point's size, so a coordinate that is 0 at the
//     root arrives anywhere from rounding noise to that error).
// Only pairs that may be near are compared (near_pairs.h): O(N log N) in the end points, on
// `threads` threads, with the same groups for any number of them.
std::vector<std::int64_t> GroupLeaders(const SolveResult& r,
                                       const std::vector<EndPointVerdict>& points,
                                       const std::vector<double>& origin, int threads,
                                       const FinishStop& stop);

// The clusters of end points around the points on sets, for the local dimension test
// (set_points.h): per column, the first column of its cluster. Two end points that are no regular
// candidates, at least one of them on a set, are in one cluster when they are at one root by the
// rules of GroupLeaders; clusters grow through such pairs. A multiple root whose end points the
// rules split between "singular" and "on a set" (or put on a set one by one: end points that agree
// to rounding each meet the slices) is one cluster, whose paths bound its multiplicity.
std::vector<std::int64_t> SetClusterLeaders(const SolveResult& r,
                                            const std::vector<EndPointVerdict>& points,
                                            const std::vector<double>& origin, int threads,
                                            const FinishStop& stop);

// Whether every point of `members` (columns of `points`) lies in the box of a proof that its root
// is simple: the box of the first regular candidate that has one, or else Krawczyk's test at the
// first regular candidate's value. Returns that candidate's column, or -1 when no box holds them
// all (or the group has no regular candidate).
std::int64_t SimpleRootKeeper(const NormalForm& system, const std::vector<EndPointVerdict>& points,
                              const std::vector<std::int64_t>& members);

// The winding number of column k's path (0 when it has no record).
std::int32_t WindingNumber(const SolveResult& r, std::int64_t k);

}  // namespace zormix

#endif  // ZORMIX_FINISH_GROUPING_H_
