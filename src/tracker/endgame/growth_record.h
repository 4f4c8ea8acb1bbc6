// Winding-free evidence that a path goes to infinity: the sizes of its coordinates at distances to
// the target a fixed ratio apart.
//
// The valuation estimates of the end game (tracker/endgame/end_game.h) and its Cauchy loops need
// the path's Puiseux series to show by the distance where double precision ends: estimates that
// settle, or loops that close with one winding number. A path that heads to infinity along a
// solution curve of the target (cohn3's: z = t = 0, y (x + 72) = -1728, with x -> infinity, y, z, t
// -> 0) is ill-conditioned by that curve all the way: its estimates drift (-0.28 to -0.17 over
// three decades), its loops slip between sheets (winding numbers 7, then 10), and its step
// underflows. The sizes themselves still tell: the exponent of growth over a span,
//   w_j = log(|y_j(d_2)| / |y_j(d_1)|) / log(d_2 / d_1),
// is a mean of the estimates over the span, not one of them, and needs no loop.
//
// Why the test below does not take a finite end point for infinity. A path converging to a point
// y* has y_j(d) = y*_j + c d^{1/m} + ..., m its winding number, so once |c| d^{1/m} << |y*_j| its
// growth exponents shrink like d^{1/m}: over three decades by 10^{-3/m}, a thousandfold at a
// regular root (m = 1), more than half for m <= 9. The test asks, over the last three decades, for
// one coordinate to grow with every exponent below -floorExponent and the last at least
// shrinkBound times the first, and for another to shrink with every exponent above
// floorExponent: the path heads to a point at infinity of a set in a coordinate subspace, not to
// one large point. A large root reached late is the case to exclude: before the distance falls
// below |c| / |y*| its coordinate grows like a pole of the path just off the target (cohn3's root
// with t = 5581, seed 3: |t| grows as d^-1.04 over four decades where the step underflows, while
// x, y and z have settled); no coordinate of it shrinks. A path that also shrinks one coordinate
// steadily while another grows is the geometry of a divergence along a set (cohn3's y, z, t tend to
// 0 as d^0.15 to d^0.5 while x grows as d^-0.2). The Cauchy end game runs first and computes
// singular roots where its loops close.
#ifndef ZORMIX_TRACKER_ENDGAME_GROWTH_RECORD_H_
#define ZORMIX_TRACKER_ENDGAME_GROWTH_RECORD_H_

#include <vector>

#include "tracker/parameters.h"
#include "zormix/complex.h"

namespace zormix {

// The growth test's thresholds (tracker/parameters.h).
struct GrowthParameters {
  const Parameter& zone;           // tracker.growth_zone: distance from which sizes are recorded
  double sampleRatio;              // sqrt(10): ratio of the distances of two samples
  const Parameter& decades;        // tracker.growth_decades: the span the test looks back over
  const Parameter& floorExponent;  // tracker.growth_floor_exponent: every exponent beyond it
  const Parameter& shrinkBound;    // tracker.growth_shrink_bound: last at least this times first
  int maxSamples;                  // 1e-2 down to 1e-26
};
inline constexpr GrowthParameters kGrowth{
    tracker::kGrowthZone,          3.1622776601683795,          tracker::kGrowthDecades,
    tracker::kGrowthFloorExponent, tracker::kGrowthShrinkBound, 48};

// log |y_j| at distances a ratio of at least kGrowth.sampleRatio apart, the latest last.
class GrowthRecord {
 public:
  explicit GrowthRecord(int n) : n_(n) {}

  // Forgets every sample (a path begins).
  void Reset();
  // Records the point at distance d when d lies within kGrowth.zone, at least kGrowth.sampleRatio
  // times closer than the latest sample, and every coordinate is finite and nonzero.
  void Observe(double d, const std::vector<Complex>& y);
  // The growth exponent of the latest span of the coordinate whose sizes prove the path diverging
  // (the most negative one if several do), or 0 when none does.
  double ProvenExponent() const;

  int sampleCount() const { return static_cast<int>(distances_.size()); }

 private:
  // The exponent of coordinate j from sample k to sample k + 1.
  double Exponent(int j, int k) const;
  // Whether some coordinate shrank with every exponent from sample `first` on above
  // kGrowth.floorExponent.
  bool AnyShrinks(int first) const;
  // The latest span's exponent of coordinate j when its samples from `first` on prove growth, else
  // 0.
  double ProvenExponentOf(int j, int first) const;

  int n_;
  std::vector<double> distances_;  // decreasing
  std::vector<double> logSizes_;   // log |y_j| of sample k at k n + j
};

}  // namespace zormix

#endif  // ZORMIX_TRACKER_ENDGAME_GROWTH_RECORD_H_
