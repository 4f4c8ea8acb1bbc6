// The finish's thresholds each decide between two populations of end points: these tests put
// points on both sides of one threshold and check the verdict that changes there, so that moving
// the threshold to either end of its range (scripts/planted_faults.py) fails a test.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "finish/classify.h"
#include "model/normal_form.h"
#include "support/end_points.h"
#include "support/systems.h"

namespace zormix {
namespace {

using testing::EndPointsAsResult;

// (x - 1)(x - 1 - h), y - 2 with h a power of two, so that its coefficients and its roots are
// exact; kappa_s grows like 2 / h.
NormalForm TwoCloseRoots(double h) {
  return BringToNormalForm(testing::BuildSystem({
      {{{2, 0}, 1.0}, {{1, 0}, -(2.0 + h)}, {{0, 0}, 1.0 + h}},
      {{{0, 1}, 1.0}, {{0, 0}, -2.0}},
  }));
}

Classification ClassifyBothRoots(double h) {
  return ClassifyRoots(TwoCloseRoots(h), EndPointsAsResult(2, {{1.0, 2.0}, {1.0 + h, 2.0}}, 1));
}

// finish.well_conditioned: below it Newton's convergence alone makes a regular root (kappa_s near
// 6e4); above it (near 4e6) the interval test must prove the root too.
TEST(RegistryVerdicts, NewtonAloneShowsRootsBelowWellConditionedAndBoxesAbove) {
  const Classification below = ClassifyBothRoots(std::ldexp(1.0, -15));
  EXPECT_EQ(below.counts.regular, 2);
  EXPECT_EQ(below.pointRule[0], PointRule::kConverged);
  EXPECT_EQ(below.pointRule[1], PointRule::kConverged);

  const Classification above = ClassifyBothRoots(std::ldexp(1.0, -21));
  EXPECT_EQ(above.counts.regular, 2);
  EXPECT_EQ(above.pointRule[0], PointRule::kProvenByBox);
  EXPECT_EQ(above.pointRule[1], PointRule::kProvenByBox);
}

// finish.shown_by_newton: roots 1.9e-9 apart are still told apart by Newton's method in long
// double; 1.2e-10 apart (kappa_s beyond it) neither Newton's test nor a box resolves them, and the
// pair is one double root.
TEST(RegistryVerdicts, RootsBeyondWhatNewtonShowsAreOneDoubleRoot) {
  const Classification resolved = ClassifyBothRoots(std::ldexp(1.0, -29));
  EXPECT_EQ(resolved.counts.regular, 2);
  EXPECT_EQ(resolved.counts.singular, 0);

  const Classification unresolved = ClassifyBothRoots(std::ldexp(1.0, -33));
  EXPECT_EQ(unresolved.counts.regular, 0);
  EXPECT_EQ(unresolved.counts.singular, 1);
  EXPECT_EQ(unresolved.counts.singularEndPoints, 2);
}

// finish.min_coincidence: two paths at the root 1 (1e-12 apart) are grouped there, while the
// root 1 + 2^-30, 9.3e-10 away (kappa_s near 4e9, carrying u kappa_s of error), stays a root of
// its own: it is not a third path of the first.
TEST(RegistryVerdicts, RootsApartByMoreThanMinCoincidenceStayApart) {
  const double h = std::ldexp(1.0, -30);
  const Classification c =
      ClassifyRoots(TwoCloseRoots(h),
                    EndPointsAsResult(2, {{1.0, 2.0}, {1.0 + 1e-3 * h, 2.0}, {1.0 + h, 2.0}}, 1));
  EXPECT_EQ(c.groupLeader[1], 0);
  EXPECT_EQ(c.groupLeader[2], 2);
  EXPECT_EQ(c.counts.failed, 0);
}

// x^2, y^2 + x - 1: double roots at (0, +-1). finish.max_singular_coincidence: the end points of
// each, reached without a cycle, 6e-3 apart are one root; 2e-2 apart they are not joined, and
// alone none has a verdict.
TEST(RegistryVerdicts, SingularEndPointsJoinWithinMaxSingularCoincidence) {
  const NormalForm s = BringToNormalForm(testing::BuildSystem({
      {{{2, 0}, 1.0}},
      {{{0, 2}, 1.0}, {{1, 0}, 1.0}, {{0, 0}, -1.0}},
  }));
  const auto classify = [&](double d) {
    return ClassifyRoots(s, EndPointsAsResult(2, {{d, 1.0}, {-d, 1.0}, {d, -1.0}, {-d, -1.0}}, 1));
  };
  const Classification near = classify(3e-3);
  EXPECT_EQ(near.counts.singular, 2);
  EXPECT_EQ(near.counts.singularEndPoints, 4);
  EXPECT_EQ(near.counts.failed, 0);

  const Classification far = classify(1e-2);
  EXPECT_EQ(far.counts.singular, 0);
  EXPECT_EQ(far.counts.failed, 4);
}

// (x - 1)^3 (x + 2) with the three end points of the triple root left 0.1 from it, as plain
// tracking leaves a root of multiplicity 3 (u^(1/3) and more): finish.widest_cluster_reach lets
// the cluster of the three roots be found around each point, and they make one root.
TEST(RegistryVerdicts, EndPointsFarFromATripleRootInOneUnknownAreOneRoot) {
  const NormalForm s = BringToNormalForm(testing::BuildSystem({
      {{{4}, 1.0}, {{3}, -1.0}, {{2}, -3.0}, {{1}, 5.0}, {{0}, -2.0}},
  }));
  const Complex w(-0.5, std::sqrt(0.75));
  const double d = 0.1;
  const Classification c = ClassifyRoots(
      s, EndPointsAsResult(1, {{1.0 + d}, {1.0 + d * w}, {1.0 + d * w * w}, {-2.0}}, 1));
  EXPECT_EQ(c.counts.regular, 1);
  EXPECT_EQ(c.counts.singular, 1);
  EXPECT_EQ(c.counts.singularEndPoints, 3);
  EXPECT_EQ(c.multiplicity[0], 3);
}

// x (x + y - 1), y (x + y - 1): the line x + y = 1. finish.end_point_corank: 3e-6 off the line
// the Jacobian's smallest singular value counts as zero and the slices find the line; 3e-5 off,
// the point is no accurate end point of anything and gets no verdict.
TEST(RegistryVerdicts, OnlyPointsCloseToALineArePutOnIt) {
  const NormalForm s = BringToNormalForm(testing::BuildSystem({
      {{{2, 0}, 1.0}, {{1, 1}, 1.0}, {{1, 0}, -1.0}},
      {{{1, 1}, 1.0}, {{0, 2}, 1.0}, {{0, 1}, -1.0}},
  }));
  const auto classify = [&](double d) {
    return ClassifyRoots(s, EndPointsAsResult(2, {{0.3 + d, 0.7}, {0.6, 0.4 + d}}, 1));
  };
  const Classification close = classify(3e-6);
  EXPECT_EQ(close.counts.positiveDimensional, 2);
  EXPECT_EQ(close.localDimension[0], 1);

  const Classification off = classify(3e-5);
  EXPECT_EQ(off.counts.positiveDimensional, 0);
  EXPECT_EQ(off.counts.failed, 2);
}

}  // namespace
}  // namespace zormix
