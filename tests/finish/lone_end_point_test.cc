// End points that no other end point joins: a regular root whose convergence only double-double
// shows, and the last point of a path on its way to a set along which one equation vanishes to
// higher order. Each is told from the lone points that must keep their verdict.
#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include "finish/classify.h"
#include "model/normal_form.h"
#include "support/end_points.h"
#include "support/systems.h"

namespace zormix {
namespace {

using testing::EndPointsAsResult;

// (x - 1)(x - 1 - h), y - x with h = 2^-28: both roots exact in double, scaled condition near
// 1e9. An end point exactly at a root takes a first Newton step at the floor; long double's probe
// start, 1000 u kappa_s = 5e-8 off, lies beyond the other root, and the interval test drowns in
// rounding. Newton's method in double-double converges quadratically from it: each root, reached
// by one path, is regular, and the two stay apart. An end point 4e-9 from the double root of
// (x - 1)^2 (h = 0), of like condition, converges only linearly: no regular root; nor is a point
// next to a line.
TEST(LoneEndPoints, IllConditionedRootsAtTheFloorAreRegularByDoubleDouble) {
  auto system = [](double h) {
    return BringToNormalForm(testing::BuildSystem({
        {{{2, 0}, 1.0}, {{1, 0}, -(2.0 + h)}, {{0, 0}, 1.0 + h}},
        {{{0, 1}, 1.0}, {{1, 0}, -1.0}},
    }));
  };
  const double h = 0x1p-28;
  const Classification c =
      ClassifyRoots(system(h), EndPointsAsResult(2, {{1.0, 1.0}, {1.0 + h, 1.0 + h}}, 1));
  EXPECT_EQ(c.counts.regular, 2);
  EXPECT_GT(c.scaledConditionNumbers[1], 1e8);
  EXPECT_LT(c.scaledConditionNumbers[1], 1e10);
  const Classification doubleRoot =
      ClassifyRoots(system(0.0), EndPointsAsResult(2, {{1.0 + 4e-9, 1.0 + 4e-9}}, 1));
  EXPECT_EQ(doubleRoot.counts.regular, 0);
  EXPECT_EQ(doubleRoot.counts.failed, 1);
  // x (x + y - 1), y (x + y - 1) 3e-6 off the line x + y = 1, kappa_s near 5e5: Newton's method
  // converges quadratically onto the line, where the Jacobian is singular. On the set.
  const PolySystem crossing = testing::BuildSystem({
      {{{2, 0}, 1.0}, {{1, 1}, 1.0}, {{1, 0}, -1.0}},
      {{{1, 1}, 1.0}, {{0, 2}, 1.0}, {{0, 1}, -1.0}},
  });
  const Classification offLine =
      ClassifyRoots(BringToNormalForm(crossing), EndPointsAsResult(2, {{0.3 + 3e-6, 0.7}}, 1));
  EXPECT_EQ(offLine.counts.regular, 0);
  EXPECT_EQ(offLine.status[0], RootStatus::kPositiveDimensional);
}

// (y - 1)^k a(t) + x^k / 64^k, a(t) = a2 t^2 + a1 t + a0.
testing::Equation OnLine(int k, double a2, double a1, double a0) {
  testing::Equation eq;
  double binomial = 1.0;
  for (int j = 0; j <= k; ++j) {
    const double sign = (k - j) % 2 == 0 ? 1.0 : -1.0;
    for (const auto& [power, a] : {std::pair{2, a2}, {1, a1}, {0, a0}})
      if (a != 0.0) testing::AddTerm(eq, {0, j, power}, sign * binomial * a);
    binomial = binomial * (k - j) / (j + 1);
  }
  testing::AddTerm(eq, {k, 0, 0}, std::pow(0x1p-6, k));
  return eq;
}

// x (y + 3), (y - 1) a(t) + x / 64, (y - 1)^3 a(t) + x^2 / 4096: the line x = 0, y = 1, along
// which the third equation vanishes to order 3. A path's last point 0.2 off it in x, 0.05 in y:
// in the plane x = 0 Newton's full step solves (y - 1) a(t) = 0 and its cube's linearization
// together only by Newton's step on a(t) alone, leaving y where it is: for a = t^2 + 1 from
// t = 0.5 to -0.75, where the residual is no smaller; for a = t + 2 to its root t = -2, 2.5
// away, beyond reach. The step on the largest singular value goes to the line, next
// to the end point. The same point with t = -1.95, near the isolated root (0, 1, -2) of
// x (y + 3), y - 1 + x, (t + 2)^3 + x^2 (its plane holds no set), is on no set.
TEST(LoneEndPoints, LastPointApproachingASetOfHigherOrderIsOnIt) {
  SolveResult r = EndPointsAsResult(3, {{0.2, 1.05, 0.5}});
  r.records[0].status = PathStatus::kEndGame;  // handed over without a limit (winding number 0)
  const testing::Equation first{{{1, 1, 0}, 1.0}, {{1, 0, 0}, 3.0}};
  for (const auto& [a2, a0] : {std::pair{1.0, 1.0}, {0.0, 2.0}}) {
    SCOPED_TRACE(a2);
    const double a1 = 1.0 - a2;
    const PolySystem line =
        testing::BuildSystem({first, OnLine(1, a2, a1, a0), OnLine(3, a2, a1, a0)});
    const Classification c = ClassifyRoots(BringToNormalForm(line), r);
    EXPECT_EQ(c.status[0], RootStatus::kPositiveDimensional);
    EXPECT_EQ(c.localDimension[0], 1);
    EXPECT_EQ(c.counts.failed, 0);
    ASSERT_EQ(c.accurateValues.size(), 1u);
    const std::vector<Complex>& onLine = c.accurateValues[0].second;
    EXPECT_EQ(onLine[0], 0.0);
    EXPECT_NEAR(std::abs(onLine[1] - 1.0), 0.0, 1e-8);
    EXPECT_NEAR(std::abs(onLine[2] - 0.5), 0.0, 1e-2);
  }

  const PolySystem isolated = testing::BuildSystem({
      first,
      {{{0, 1, 0}, 1.0}, {{0, 0, 0}, -1.0}, {{1, 0, 0}, 1.0}},
      {{{0, 0, 3}, 1.0}, {{0, 0, 2}, 6.0}, {{0, 0, 1}, 12.0}, {{0, 0, 0}, 8.0}, {{2, 0, 0}, 1.0}},
  });
  r.roots(2, 0) = -1.95;
  const Classification atRoot = ClassifyRoots(BringToNormalForm(isolated), r);
  EXPECT_NE(atRoot.status[0], RootStatus::kPositiveDimensional);
  EXPECT_EQ(atRoot.counts.positiveDimensional, 0);
}

}  // namespace
}  // namespace zormix
