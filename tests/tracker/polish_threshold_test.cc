// Newton's method on the target from the last point of a path given up near it, from both sides
// of what makes the polished point a root of the path: how close to the target the path must have
// come (tracker.polish_zone), the move from the last point (tracker.polish_drift relative to its
// size), and quadratic convergence, shown by a last step of tracker.polish_accuracy within
// tracker.polish_iterations steps, which a simple root reaches and a double root does not; and
// whether a polished root is a new one (tracker.polish_same_root).
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tracker/path/end_polish.h"
#include "tracker/path/path_state.h"
#include "tracker/routes/path_slots.h"

namespace zormix {
namespace {

// The target y^2 + b y + c; the path given up at `last`, `distance` from the target.
bool Polished(Complex b, Complex c, Complex last, double distance = 1e-9) {
  const std::vector<std::int32_t> termCount{3};
  ColMajorMatrix<std::int32_t> exponents(1, 3);
  exponents(0, 0) = 2;
  exponents(0, 1) = 1;
  exponents(0, 2) = 0;
  const std::vector<Complex> coefficients{1.0, b, c};
  const std::vector<std::int32_t> maxDegree{2};
  PathContext ctx;
  ctx.route = &kPolyhedralRoute;
  ctx.limits.polishNearTarget = true;
  ctx.target = {1, termCount, &exponents, coefficients};
  ctx.maxDegree = maxDegree;
  PathState st(1);
  st.s = kPolyhedralRoute.target - distance;
  st.yCur[0] = last;
  PolishNearTarget(st, ctx);
  return st.hasPolished;
}

// The roots +-2 of y^2 - 4: from 1.6 the root lies a quarter of the point's size away, from 1.2
// two thirds.
TEST(PolishNearTarget, PolishedRootMustLieWithinAShareOfThePointsSize) {
  EXPECT_TRUE(Polished(0.0, -4.0, 1.6));
  EXPECT_FALSE(Polished(0.0, -4.0, 1.2));
}

// (y - 1)(y - 1.003): the root 1 is simple, three steps from 1e-6 off. (y - a)^2 with a = 2^-20
// (every coefficient exact, the residual far above rounding down to 1e-14 from a) from 3e-8 off:
// Newton's method halves the distance each step and would need 14 to make a step of 1e-12.
TEST(PolishNearTarget, SimpleRootsArePolishedAndDoubleRootsAreNot) {
  EXPECT_TRUE(Polished(-2.003, 1.003, 1.0 + 1e-6));
  const double a = std::ldexp(1.0, -20);
  EXPECT_FALSE(Polished(-2.0 * a, a * a, a + 3e-8));
}

// The same simple root from a path given up 1e-7 from the target: too far out to be its end.
TEST(PolishNearTarget, OnlyPathsGivenUpCloseToTheTargetArePolished) {
  EXPECT_FALSE(Polished(-2.003, 1.003, 1.0 + 1e-6, 1e-7));
}

// A recorded end point at 2 and polished points of unrecorded paths 1e-8 (relative) from it, which
// is the recorded root to the end game's accuracy, and 1e-5 from it, a root of its own: a close
// pair that the classification tells apart by condition. Of two polished points at one new root,
// the first is new.
TEST(PolishNearTarget, PolishedRootIsNewOnlyAwayFromTheRecordedOnes) {
  PointSlots endPoints(1, 4);
  endPoints(0, 0) = 2.0;
  const std::vector<std::uint8_t> recorded{1, 0, 0, 0};
  SparsePoints polished;
  polished[1] = {2.0 * (1.0 + 1e-8)};
  polished[2] = {2.0 * (1.0 + 1e-5)};
  polished[3] = {2.0 * (1.0 + 1e-5) + 1e-13};
  EXPECT_EQ(NewPolishedRoots(endPoints, recorded, polished), std::vector<std::int64_t>{2});
}

}  // namespace
}  // namespace zormix
