// The acceptance of a point arriving at the target, from both sides of the drift it may make
// (tracker.arrival_drift_small for points of size up to 5, tracker.arrival_drift_large relative
// to larger ones): Newton's method on the target carries an arriving point onto the root it is
// nearest to, and a point carried farther than the limit came from another path's root.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tracker/path/path_state.h"
#include "tracker/tracking.h"

namespace zormix {
namespace {

struct Arrival {
  bool accepted;
  Complex at;
};

// y^2 + c as the target; a path arriving at `arrival`. Returns whether the point is accepted, and
// where it ends.
Arrival ArriveAtTarget(double c, double arrival) {
  const std::vector<std::int32_t> termCount{2};
  ColMajorMatrix<std::int32_t> exponents(1, 2);
  exponents(0, 0) = 2;
  exponents(0, 1) = 0;
  const std::vector<Complex> coefficients{1.0, c};
  const std::vector<std::int32_t> maxDegree{2};
  PathContext ctx;
  ctx.route = &kTotalDegreeRoute;
  ctx.target = {1, termCount, &exponents, coefficients};
  ctx.maxDegree = maxDegree;
  PathState st(1);
  st.y[0] = arrival;
  EvaluateSystem(ctx.target, maxDegree, st.y.data(), st.jacobian, st.acceptedResidual);
  const bool accepted = AcceptAtTarget(st, ctx);
  return {accepted, st.y[0]};
}

// The target y^2 - r^2, arriving on the real line, so that Newton's method runs towards r.
Arrival ArriveAt(double r, double arrival) { return ArriveAtTarget(-r * r, arrival); }

// The root 2: an arrival 0.4 off is its own (accepted, at the root); one 0.7 off is refused
// although Newton's method reaches the root from it.
TEST(ArrivalAtTarget, SmallPointsMayMoveHalfAUnitOntoTheirRoot) {
  const Arrival near = ArriveAt(2.0, 1.6);
  EXPECT_TRUE(near.accepted);
  EXPECT_NEAR(near.at.real(), 2.0, 1e-12);
  EXPECT_FALSE(ArriveAt(2.0, 1.3).accepted);
}

// The root 20: an arrival 3 off (a sixth of its size) is accepted, one 5 off (a third) is not.
TEST(ArrivalAtTarget, LargePointsMayMoveAFractionOfTheirSize) {
  const Arrival near = ArriveAt(20.0, 17.0);
  EXPECT_TRUE(near.accepted);
  EXPECT_NEAR(near.at.real(), 20.0, 1e-11);
  EXPECT_FALSE(ArriveAt(20.0, 15.0).accepted);
}

// y^2 + c arriving at 1e-6, where Newton's first step overshoots to about c / 2e-6 and the
// residual grows: the arrival keeps its residual c, all terms of the target's size, so its
// backward error is about 1. It is accepted while c is what the corrector accepts near the target
// (3e-5), refused when c is ten times that.
TEST(ArrivalAtTarget, AnArrivalNewtonCannotImproveIsAcceptedOnlyAtTheCorrectorsResidual) {
  const Arrival within = ArriveAtTarget(3e-5, 1e-6);
  EXPECT_TRUE(within.accepted);
  EXPECT_EQ(within.at, Complex(1e-6));
  EXPECT_FALSE(ArriveAtTarget(3e-4, 1e-6).accepted);
}

}  // namespace
}  // namespace zormix
