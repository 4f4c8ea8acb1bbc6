// What the front ends print for people: coordinates without rounding noise, the roots' block,
// and the progress line's words and rate.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "frontend/front_end.h"
#include "frontend/summary.h"

namespace zormix::frontend {
namespace {

using ::testing::HasSubstr;

RootRecord Root(std::vector<Complex> value, double scaledCondition) {
  RootRecord root;
  root.value = std::move(value);
  root.scaledConditionNumber = scaledCondition;
  return root;
}

// A part below the root's accuracy is shown as 0 whatever the root's size; a part above it is
// shown, however small next to 1.
TEST(DisplayTest, PartsBelowTheRootsAccuracyAreShownAsZero) {
  const RootRecord unit = Root({{-0.7071067811865476, 2.0116e-29}}, 3.0);
  EXPECT_EQ(ShownCoordinate(unit.value[0], NoiseLevel(unit)), "-0.707107");
  const RootRecord small = Root({{-2.96439e-323, 0.0316267}}, 3.0);
  EXPECT_EQ(ShownCoordinate(small.value[0], NoiseLevel(small)), "0.0316267i");
  const RootRecord tiny = Root({{1e-200, 3e-216}}, 1.0);
  EXPECT_EQ(ShownCoordinate(tiny.value[0], NoiseLevel(tiny)), "1e-200");
  const RootRecord genuine = Root({{1.5, -1e-6}}, 10.0);
  EXPECT_EQ(ShownCoordinate(genuine.value[0], NoiseLevel(genuine)), "1.5 - 1e-06i");
  // An ill-conditioned root is accurate to fewer digits, but never below the real-root rule.
  EXPECT_DOUBLE_EQ(NoiseLevel(Root({{2.0, 0.0}}, 1e6)), 2.0 * 1e6 * 1.1102230246251565e-16);
  EXPECT_DOUBLE_EQ(NoiseLevel(Root({{2.0, 0.0}}, 1e20)), 2.0 * 1e-7);
}

TEST(DisplayTest, RootsBlockNamesVariablesStatusesAndTheRest) {
  SolveResult r;
  r.n = 2;
  r.variableNames = {"c1", "s1"};
  r.roots.Assign(2, 3);
  r.roots(0, 0) = {0.6, 1e-30};
  r.roots(1, 0) = {0.8, -1e-30};
  r.roots(0, 1) = {1.0, 0.0};
  r.roots(1, 1) = {0.0, 0.0};
  r.roots(0, 2) = r.roots(0, 1);
  r.roots(1, 2) = r.roots(1, 1);
  r.isReal = {1, 1, 1};
  r.scaledConditionNumbers = {2.0, 1e15, 1e15};
  r.rootStatus = {RootStatus::kRegular, RootStatus::kSingular, RootStatus::kSingular};
  r.multiplicity = {1, 2, 2};
  r.groupLeader = {0, 1, 1};
  EXPECT_EQ(RootsBlock(r, 2),
            "roots (c1, s1):\n"
            "  0.6  0.8  regular  real\n"
            "  1    0    singular, multiplicity 2\n"
            "  ... 1 more\n");
  r.roots.Assign(2, 0);
  EXPECT_EQ(RootsBlock(r, 10), "");
}

// While tracking, paths have reached the target or not (the verdicts come after tracking); the
// rate counts only the paths this run tracked, not those a checkpoint gave back.
TEST(DisplayTest, ProgressLineSpeaksOfReachedPathsAndRatesTrackedOnes) {
  Progress p;
  p.stage = Stage::kTracking;
  p.pathsTotal = 1000;
  p.pathsDone = 600;
  p.pathsReached = 550;
  p.pathsFailed = 50;
  p.pathsRestored = 500;
  EXPECT_EQ(ProgressLine(p, 10.0),
            "zormix: tracking 600/1000 paths (500 restored): 550 reached, 50 not reached, "
            "10.0 paths/s, 0:40 left");
  p.pathsRestored = 0;
  EXPECT_THAT(ProgressLine(p, 10.0), HasSubstr("600/1000 paths: 550 reached, 50 not reached, "
                                               "60.0 paths/s, 0:07 left"));
}

}  // namespace
}  // namespace zormix::frontend
