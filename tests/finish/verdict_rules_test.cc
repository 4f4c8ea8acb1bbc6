// Rules of the verdict that no other test singles out: a box's proof, a candidate reached on an
// end game's cycle, and a root one unknown's search found twice.
#include <gtest/gtest.h>

#include <vector>

#include "finish/classify.h"
#include "model/normal_form.h"
#include "support/end_points.h"
#include "support/systems.h"

namespace zormix {
namespace {

using testing::EndPointsAsResult;

// (x - 1)(x - 1 - h), y - 2 with h = 3e-7: kappa_s near 7e6, above finish.well_conditioned, so
// Newton's convergence alone makes no regular root there; Krawczyk's box around each proves a
// unique simple root, which also keeps the two apart.
TEST(VerdictRules, RootsProvenByTheirBoxesAreRegular) {
  const double h = 3e-7;
  const NormalForm s = BringToNormalForm(testing::BuildSystem({
      {{{2, 0}, 1.0}, {{1, 0}, -(2.0 + h)}, {{0, 0}, 1.0 + h}},
      {{{0, 1}, 1.0}, {{0, 0}, -2.0}},
  }));
  const Classification c = ClassifyRoots(s, EndPointsAsResult(2, {{1.0, 2.0}, {1.0 + h, 2.0}}, 1));
  EXPECT_EQ(c.pointRule[0], PointRule::kProvenByBox);
  EXPECT_EQ(c.pointRule[1], PointRule::kProvenByBox);
  EXPECT_EQ(c.counts.regular, 2);
  EXPECT_GT(c.scaledConditionNumbers[0], 1e6);
}

// x^2, y^2 + x - 1 as the end game left it on one seed: one path of each cycle at (3e-22, +-1)
// with winding number 2, where Newton's first step x / 2 lies below the floor in the point's
// units (the row unit of x^2 there is its own derivative), the other 6.6e-9 off with winding
// number 1. Each pair is one double root; with winding number 1 the near point is a regular root.
TEST(VerdictRules, CandidateOnAnEndGameCycleIsSingular) {
  const NormalForm s = BringToNormalForm(testing::BuildSystem({
      {{{2, 0}, 1.0}},
      {{{0, 2}, 1.0}, {{1, 0}, 1.0}, {{0, 0}, -1.0}},
  }));
  const Complex near(4.1e-23, -3.0e-22), far(6.6e-9, 0.0);
  SolveResult r = EndPointsAsResult(2, {{near, -1.0}, {near, 1.0}, {far, -1.0}, {far, 1.0}}, 1);
  r.records[0].windingNumber = r.records[1].windingNumber = 2;
  const Classification c = ClassifyRoots(s, r);
  EXPECT_EQ(c.pointRule[0], PointRule::kEndGameCycle);
  EXPECT_EQ(c.counts.regular, 0);
  EXPECT_EQ(c.counts.singular, 2);
  EXPECT_EQ(c.counts.singularEndPoints, 4);
  EXPECT_EQ(c.groupLeader[2], 0);
  EXPECT_EQ(c.groupLeader[3], 1);

  const Classification alone = ClassifyRoots(s, EndPointsAsResult(2, {{near, 1.0}}, 1));
  EXPECT_EQ(alone.pointRule[0], PointRule::kConverged);
}

// (x - 1)(x - 2) with end points at both roots and a third left at 1.45, from which Newton's
// method in double-double does not converge quadratically: the search moves it to 1, which the
// first holds; looked for again with 1 and 2 deflated, it finds nothing. Two regular roots and a
// failed path, not a root counted twice.
TEST(VerdictRules, SearchedRootThatAnotherPathHoldsIsNoSecondRoot) {
  const NormalForm s =
      BringToNormalForm(testing::BuildSystem({{{{2}, 1.0}, {{1}, -3.0}, {{0}, 2.0}}}));
  const Classification c = ClassifyRoots(s, EndPointsAsResult(1, {{1.0}, {2.0}, {1.45}}, 1));
  EXPECT_EQ(c.pointRule[2], PointRule::kSearchedRootHeld);
  EXPECT_EQ(c.counts.regular, 2);
  EXPECT_EQ(c.counts.failed, 1);
  const Classification alone = ClassifyRoots(s, EndPointsAsResult(1, {{2.0}, {1.45}}, 1));
  EXPECT_EQ(alone.counts.regular, 2);
}

}  // namespace
}  // namespace zormix
