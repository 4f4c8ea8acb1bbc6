// The points the rules put on positive-dimensional sets, decided by the numerical local dimension
// test of the local algebra (layer local) at each cluster of end points around them.
#ifndef ZORMIX_FINISH_SET_POINTS_H_
#define ZORMIX_FINISH_SET_POINTS_H_

#include <vector>

#include "finish/finish_stop.h"
#include "finish/point_rules.h"
#include "model/normal_form.h"
#include "zormix/result.h"

namespace zormix {

// The slices of LocalDimension show that solutions pass near a point, not that it lies on a set:
// an isolated root of multiplicity m is solved to rounding over a distance of u^(1/m), which the
// slices meet as a set's (a triple root whose coordinates differ in size by 1e3: its end points
// met the slices one by one); a point 1e-3 off a set meets them too. So every point on a set is
// decided again at its cluster (SetClusterLeaders: the end points at its point, whatever the rules
// made of them), once per cluster, by LocalDimensionOfPoint with the cluster's paths as the bound
// on a multiplicity (plus the failed paths, at most as many, that may have ended there):
//   - refinement within reach ends above rounding: no root and no set there; its points on a set
//     become singular (PointRule::kNoRootNearSet), for the singular groups to judge;
//   - the dual space stabilises within the bound: an isolated root (its multiplicity, deflation
//     and certificate are the singular groups' work); its
//     points on a set become singular (PointRule::kIsolatedByDualSpace) and group with the rest;
//   - a set: the least number of random hyperplanes through the point that isolate it is the
//     dimension of every point of the cluster on a set (PointRule::kOnSetByLocalDimension);
//   - undecided (a set of dimension beyond the slices' reach): the rules' verdict stands; so it
//     does at a cluster of more end points than the test is run on (set_points.cc says why).
// The clusters are analysed on `threads` threads, each alone: any thread count gives the same
// verdicts.
void TestSetPoints(const NormalForm& system, const SolveResult& r,
                   const std::vector<double>& origin, int threads, const FinishStop& stop,
                   std::vector<EndPointVerdict>& points);

}  // namespace zormix

#endif  // ZORMIX_FINISH_SET_POINTS_H_
