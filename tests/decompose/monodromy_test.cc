#include "decompose/monodromy.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "decompose/monodromy_breakup.h"
#include "decompose/trace_test.h"
#include "zormix/error.h"
#include "zormix/parametric.h"
#include "zormix/solve.h"

namespace zormix {
namespace {

// The regular roots of a family's member, as columns.
ColMajorMatrix<Complex> RootsAt(const ParametricSystem& family, std::span<const Complex> p) {
  SolveOptions options;
  options.seed = 7;
  options.reportPath.clear();
  const SolveResult solved = SolveSystem(EvaluateParametric(family, p), options);
  std::vector<std::int64_t> regular;
  for (std::int64_t r = 0; r < solved.rootCount; ++r)
    if (solved.rootStatus[r] == RootStatus::kRegular) regular.push_back(r);
  ColMajorMatrix<Complex> roots(family.n, static_cast<std::int64_t>(regular.size()));
  for (std::size_t c = 0; c < regular.size(); ++c)
    std::copy_n(solved.roots.col(regular[c]), family.n, roots.col(static_cast<std::int64_t>(c)));
  return roots;
}

ColMajorMatrix<Complex> Columns(const ColMajorMatrix<Complex>& all,
                                const std::vector<std::int64_t>& which) {
  ColMajorMatrix<Complex> some(all.rows(), static_cast<std::int64_t>(which.size()));
  for (std::size_t c = 0; c < which.size(); ++c)
    std::copy_n(all.col(which[c]), all.rows(), some.col(static_cast<std::int64_t>(c)));
  return some;
}

// Index of the column of `all` nearest to x.
std::int64_t Nearest(const ColMajorMatrix<Complex>& all, const Complex* x) {
  std::int64_t best = -1;
  double bestDistance = 1e300;
  for (std::int64_t c = 0; c < all.cols(); ++c) {
    double d = 0.0;
    for (std::int64_t k = 0; k < all.rows(); ++k) d = std::max(d, std::abs(all(k, c) - x[k]));
    if (d < bestDistance) {
      bestDistance = d;
      best = c;
    }
  }
  return best;
}

// A twisted cubic (degree 3) cut by a plane whose constant is the parameter: its witness set.
constexpr const char* kTwistedCubic = R"(variables x, y, z;
parameters c;
y - x^2;
z - x*y;
0.8*x - 1.1*y + 0.6*z + c;
)";

// A circle of radius 1000 and a line, cut by a line whose constant is the parameter: two
// components, of degrees 2 and 1, in units far from 1.
constexpr const char* kCircleAndLine = R"(variables x, y;
parameters c;
(x^2 + y^2 - 1000000)*(x - 2*y - 300);
0.7*x - 1.3*y + c;
)";

TEST(MonodromyTest, OnePointOfAnIrreducibleCurveReachesAllItsWitnessPoints) {
  const ParametricSystem family = ParseParametricText(kTwistedCubic, "cubic");
  const std::vector<Complex> base{Complex(0.3, -0.7)};
  const ColMajorMatrix<Complex> all = RootsAt(family, base);
  ASSERT_EQ(all.cols(), 3);
  MonodromyOptions options;
  options.seed = 1;
  const MonodromyResult found = RunMonodromy(family, base, Columns(all, {1}), options);
  ASSERT_EQ(found.points.cols(), 3);
  EXPECT_EQ(found.groupCount, 1);
  EXPECT_EQ(found.stop, MonodromyStop::kStable);
  // The given point comes first, and the points found are the witness points.
  EXPECT_EQ(Nearest(all, found.points.col(0)), 1);
  std::set<std::int64_t> matched;
  for (std::int64_t c = 0; c < 3; ++c) matched.insert(Nearest(all, found.points.col(c)));
  EXPECT_EQ(matched.size(), 3u);
  // Every edge's map is injective, and maps points of its source to points of its target.
  for (const MonodromyEdge& edge : found.edges) {
    std::set<std::int64_t> images;
    for (const std::int64_t j : edge.image) {
      if (j < 0) continue;
      EXPECT_TRUE(images.insert(j).second);
      EXPECT_LT(j, found.nodePoints[static_cast<std::size_t>(edge.to)]);
    }
  }
  EXPECT_EQ(found.loops, static_cast<int>(found.edges.size() - found.nodes.size() + 1));
  // Every pair of nodes is joined both ways, the two arcs on either side of the segment between
  // them (Im gamma of one sign, as each is measured from its own source): a -> b -> a is a lens.
  int pairs = 0;
  for (const MonodromyEdge& forth : found.edges) {
    for (const MonodromyEdge& back : found.edges) {
      if (back.from != forth.to || back.to != forth.from) continue;
      EXPECT_GT(forth.gamma.imag() * back.gamma.imag(), 0.0);
      ++pairs;
    }
  }
  EXPECT_EQ(pairs, static_cast<int>(found.edges.size()));
}

TEST(MonodromyTest, ResultsDoNotDependOnTheThreadCountAndStopAtTheTargetCount) {
  const ParametricSystem family = ParseParametricText(kTwistedCubic, "cubic");
  const std::vector<Complex> base{Complex(-0.4, 0.2)};
  const ColMajorMatrix<Complex> all = RootsAt(family, base);
  MonodromyOptions options;
  options.seed = 3;
  options.targetCount = 3;
  const MonodromyResult one = RunMonodromy(family, base, Columns(all, {0}), options);
  options.threads = 2;
  const MonodromyResult two = RunMonodromy(family, base, Columns(all, {0}), options);
  EXPECT_EQ(one.stop, MonodromyStop::kTargetCount);
  ASSERT_EQ(one.points.cols(), 3);
  EXPECT_EQ(one.points.storage(), two.points.storage());
  EXPECT_EQ(one.pathsTracked, two.pathsTracked);
}

// A plane sextic cut by a line whose constant is the parameter: 6 witness points.
constexpr const char* kSextic = R"(variables x, y;
parameters c;
x^6 + 2*y^6 - 3*x*y^4 + x^3*y - 2*y^2 + x - 1;
0.7*x - 1.3*y + c;
)";

// With askCompleteOnGain, `complete` is asked each time the base gained a point and the run ends
// at the first true: the set it saw holds every point, and fewer paths were followed than when
// the loops wait until every point went along every edge (the same batches, stopped sooner).
TEST(MonodromyTest, AskingOnEveryGainStopsWhenTheLastPointComes) {
  const ParametricSystem family = ParseParametricText(kSextic, "sextic");
  const std::vector<Complex> base{Complex(0.2, 0.5)};
  const ColMajorMatrix<Complex> all = RootsAt(family, base);
  ASSERT_EQ(all.cols(), 6);
  std::vector<std::int64_t> seen;
  MonodromyOptions options;
  options.seed = 4;
  options.complete = [&](const MonodromyResult& sofar) {
    seen.push_back(sofar.points.cols());
    return sofar.points.cols() == all.cols();
  };
  const MonodromyResult waiting = RunMonodromy(family, base, Columns(all, {2}), options);
  EXPECT_EQ(waiting.stop, MonodromyStop::kComplete);
  seen.clear();
  options.askCompleteOnGain = true;
  const MonodromyResult eager = RunMonodromy(family, base, Columns(all, {2}), options);
  EXPECT_EQ(eager.stop, MonodromyStop::kComplete);
  ASSERT_EQ(eager.points.cols(), 6);
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.back(), 6);
  EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
  EXPECT_LT(eager.pathsTracked, waiting.pathsTracked);
  for (std::int64_t c = 0; c < eager.points.cols(); ++c) {
    const std::int64_t j = Nearest(all, eager.points.col(c));
    EXPECT_LT(std::abs(all(0, j) - eager.points(0, c)), 1e-9);
  }
}

TEST(MonodromyTest, BreakupOfACurveAndOfTwoCurvesWithTheirTraceTests) {
  {
    const ParametricSystem family = ParseParametricText(kTwistedCubic, "cubic");
    const std::vector<Complex> base{Complex(0.3, -0.7)};
    const ColMajorMatrix<Complex> all = RootsAt(family, base);
    MonodromyOptions options;
    options.seed = 2;
    const WitnessBreakup b = BreakWitnessSet(family, base, all, {{Complex(0.6, 0.8)}}, options);
    ASSERT_EQ(b.components.size(), 1u);
    EXPECT_EQ(b.components[0].size(), 3u);
    EXPECT_TRUE(b.allPassed);
    EXPECT_EQ(b.monodromy.stop, MonodromyStop::kComplete);
  }
  const ParametricSystem family = ParseParametricText(kCircleAndLine, "circle and line");
  const std::vector<Complex> base{Complex(150.0, 40.0)};
  const ColMajorMatrix<Complex> all = RootsAt(family, base);
  ASSERT_EQ(all.cols(), 3);
  MonodromyOptions options;
  options.seed = 5;
  const WitnessBreakup b = BreakWitnessSet(family, base, all, {{Complex(-30.0, 70.0)}}, options);
  ASSERT_EQ(b.components.size(), 2u);
  EXPECT_TRUE(b.allPassed);
  std::vector<std::size_t> degrees;
  for (std::size_t k = 0; k < b.components.size(); ++k) {
    degrees.push_back(b.components[k].size());
    EXPECT_TRUE(b.trace[k].passed);
    EXPECT_LT(b.trace[k].residual, 1e-9);
  }
  std::sort(degrees.begin(), degrees.end());
  EXPECT_EQ(degrees, (std::vector<std::size_t>{1, 2}));
  // The line's point satisfies x - 2 y = 300.
  const std::vector<std::int64_t>& line =
      b.components[degrees[0] == b.components[0].size() ? 0 : 1];
  ASSERT_EQ(line.size(), 1u);
  const Complex* x = b.monodromy.points.col(line[0]);
  EXPECT_LT(std::abs(x[0] - 2.0 * x[1] - 300.0), 1e-8);
}

// Proper subsets of a component fail the trace test, whatever the units; unions of complete
// components pass.
TEST(TraceTestTest, ProperSubsetsFailAndCompleteUnionsPass) {
  const ParametricSystem family = ParseParametricText(kCircleAndLine, "circle and line");
  const std::vector<Complex> base{Complex(150.0, 40.0)};
  const ColMajorMatrix<Complex> all = RootsAt(family, base);
  ASSERT_EQ(all.cols(), 3);
  TraceOptions options;
  options.seed = 9;
  const TracePencil pencil =
      TrackTracePencil(family, base, std::vector<Complex>{Complex(-30.0, 70.0)}, all, options);
  std::int64_t onLine = -1;
  for (std::int64_t c = 0; c < 3; ++c)
    if (std::abs(all(0, c) - 2.0 * all(1, c) - 300.0) < 1e-6) onLine = c;
  ASSERT_GE(onLine, 0);
  std::vector<std::int64_t> circle;
  for (std::int64_t c = 0; c < 3; ++c)
    if (c != onLine) circle.push_back(c);
  const std::vector<std::int64_t> line{onLine};
  EXPECT_TRUE(TraceTest(pencil, line).passed);
  EXPECT_TRUE(TraceTest(pencil, circle).passed);
  EXPECT_TRUE(TraceTest(pencil, std::vector<std::int64_t>{0, 1, 2}).passed);
  for (const std::int64_t c : circle) {
    const TraceTestResult half = TraceTest(pencil, std::vector<std::int64_t>{c});
    EXPECT_FALSE(half.passed);
    EXPECT_GT(half.residual, 1e3 * half.threshold);
    EXPECT_FALSE(TraceTest(pencil, std::vector<std::int64_t>{c, onLine}).passed);
  }

  const ParametricSystem cubic = ParseParametricText(kTwistedCubic, "cubic");
  const std::vector<Complex> at{Complex(0.3, -0.7)};
  const ColMajorMatrix<Complex> three = RootsAt(cubic, at);
  const TracePencil cubicPencil =
      TrackTracePencil(cubic, at, {{Complex(0.5, -0.5)}}, three, options);
  EXPECT_TRUE(TraceTest(cubicPencil, std::vector<std::int64_t>{0, 1, 2}).passed);
  EXPECT_FALSE(TraceTest(cubicPencil, std::vector<std::int64_t>{0, 2}).passed);
  EXPECT_FALSE(TraceTest(cubicPencil, std::vector<std::int64_t>{1}).passed);
}

TEST(MonodromyTest, SymmetriesFillOrbitsAndRefuseFalseOnes) {
  // x^2 + y^2 = a, x y = b: (x, y) -> (y, x) and (x, y) -> (-x, -y) act on the 4 roots.
  const ParametricSystem family =
      ParseParametricText("variables x, y;\nparameters a, b;\nx^2 + y^2 - a;\nx*y - b;\n", "f");
  const std::vector<Complex> base{Complex(0.5, 0.2), Complex(-0.3, 0.6)};
  const ColMajorMatrix<Complex> all = RootsAt(family, base);
  ASSERT_EQ(all.cols(), 4);
  MonodromyOptions options;
  options.seed = 4;
  options.symmetries = {{{1, 0}, {1.0, 1.0}}, {{0, 1}, {-1.0, -1.0}}};
  const MonodromyResult found = RunMonodromy(family, base, Columns(all, {2}), options);
  EXPECT_EQ(found.points.cols(), 4);
  EXPECT_EQ(found.symmetryImagesRefused, 0);
  // Orbit points are not carried along edges: only the given point's paths were tracked until
  // the loops found nothing new (every root is in its orbit).
  options.symmetries = {{{0, 1}, {Complex(0.0, 1.0), 1.0}}};  // (ix, y): not a symmetry
  const MonodromyResult refused = RunMonodromy(family, base, Columns(all, {2}), options);
  EXPECT_EQ(refused.points.cols(), 4);
  EXPECT_GT(refused.symmetryImagesRefused, 0);
}

TEST(MonodromyTest, RefusesPointsThatAreNoRootsAndMisfitArrays) {
  const ParametricSystem family = ParseParametricText(kTwistedCubic, "cubic");
  const std::vector<Complex> base{Complex(0.3, -0.7)};
  ColMajorMatrix<Complex> all = RootsAt(family, base);
  ColMajorMatrix<Complex> withJunk(3, 2);
  std::copy_n(all.col(0), 3, withJunk.col(0));
  withJunk(0, 1) = 5.0;  // no root
  MonodromyOptions options;
  options.seed = 1;
  options.maxLoops = 4;
  const MonodromyResult found = RunMonodromy(family, base, withJunk, options);
  EXPECT_EQ(found.refused, (std::vector<std::int64_t>{1}));
  ColMajorMatrix<Complex> junkOnly(3, 1, Complex(5.0, 0.0));
  EXPECT_THROW(RunMonodromy(family, base, junkOnly, options), Error);
  EXPECT_THROW(RunMonodromy(family, {}, all, options), Error);
  options.symmetries = {{{0, 0, 1}, {1.0, 1.0, 1.0}}};
  EXPECT_THROW(RunMonodromy(family, base, all, options), Error);
}

}  // namespace
}  // namespace zormix

namespace zormix {
namespace {

// A pencil of two points whose defects cancel, with the rounding bounds as given.
TracePencil TwoPoints(double error) {
  TracePencil pencil;
  pencil.times = {0.0, 1.0, -1.0};
  pencil.values.Assign(2, 3);
  // v(t) = 1 + t + t^2 and 2 - t - t^2: each defect v(-1) - v(0) + (v(1) - v(0)) = +-2.
  pencil.values(0, 0) = 1.0;
  pencil.values(0, 1) = 3.0;
  pencil.values(0, 2) = 1.0;
  pencil.values(1, 0) = 2.0;
  pencil.values(1, 1) = 0.0;
  pencil.values(1, 2) = 2.0;
  pencil.size = {3.0, 2.0};
  pencil.error = {error, error};
  pencil.tracked = {1, 1};
  return pencil;
}

TEST(TraceTestTest, DefectsAddUpAndTheThresholdFollowsTheRoundingUpToItsCeiling) {
  const TracePencil pencil = TwoPoints(1e-15);
  const TraceTestResult one = TraceTest(pencil, std::vector<std::int64_t>{0});
  EXPECT_FALSE(one.passed);
  EXPECT_DOUBLE_EQ(one.residual, 2.0 / 3.0);
  const TraceTestResult both = TraceTest(pencil, std::vector<std::int64_t>{0, 1});
  EXPECT_TRUE(both.passed);
  EXPECT_EQ(both.residual, 0.0);
  EXPECT_GT(both.threshold, 0.0);
  // Points too ill-conditioned to decide: a threshold above the ceiling never passes.
  EXPECT_FALSE(TraceTest(TwoPoints(1e-3), std::vector<std::int64_t>{0, 1}).passed);
  // A point not followed to the end: no verdict.
  TracePencil lost = pencil;
  lost.tracked[1] = 0;
  const TraceTestResult untracked = TraceTest(lost, std::vector<std::int64_t>{0, 1});
  EXPECT_FALSE(untracked.passed);
  EXPECT_TRUE(std::isinf(untracked.residual));
  EXPECT_FALSE(TraceTest(pencil, std::vector<std::int64_t>{}).passed);
}

TEST(MonodromyTest, AnIncompleteWitnessSetIsCompletedAndABreakupTellsWhichPointsAreNew) {
  const ParametricSystem family = ParseParametricText(kCircleAndLine, "circle and line");
  const std::vector<Complex> base{Complex(150.0, 40.0)};
  const ColMajorMatrix<Complex> all = RootsAt(family, base);
  std::int64_t onLine = -1;
  for (std::int64_t c = 0; c < 3; ++c)
    if (std::abs(all(0, c) - 2.0 * all(1, c) - 300.0) < 1e-6) onLine = c;
  ASSERT_GE(onLine, 0);
  const std::int64_t circle = onLine == 0 ? 1 : 0;
  // The line's point, a circle point given twice, and a point that is no root.
  ColMajorMatrix<Complex> given(2, 4);
  std::copy_n(all.col(onLine), 2, given.col(0));
  std::copy_n(all.col(circle), 2, given.col(1));
  std::copy_n(all.col(circle), 2, given.col(2));
  given(0, 3) = 1.0;
  MonodromyOptions options;
  options.seed = 6;
  const WitnessBreakup b = BreakWitnessSet(family, base, given, {{Complex(-30.0, 70.0)}}, options);
  EXPECT_EQ(b.monodromy.refused, (std::vector<std::int64_t>{2, 3}));
  ASSERT_EQ(b.monodromy.points.cols(), 3);  // the two kept, then the other circle point
  EXPECT_TRUE(b.allPassed);
  ASSERT_EQ(b.components.size(), 2u);
  std::vector<std::vector<std::int64_t>> components = b.components;
  std::sort(components.begin(), components.end(),
            [](const auto& u, const auto& v) { return u.size() < v.size(); });
  EXPECT_EQ(components[0], (std::vector<std::int64_t>{0}));
  EXPECT_EQ(components[1], (std::vector<std::int64_t>{1, 2}));
  EXPECT_EQ(b.pencil.values.rows(), 3);
}

TEST(MonodromyTest, StableLoopsStopARunAndAStopRequestEndsIt) {
  const ParametricSystem family = ParseParametricText(kTwistedCubic, "cubic");
  const std::vector<Complex> base{Complex(0.3, -0.7)};
  const ColMajorMatrix<Complex> all = RootsAt(family, base);
  MonodromyOptions options;
  options.seed = 8;
  options.stableLoops = 4;
  const MonodromyResult stable = RunMonodromy(family, base, all, options);
  EXPECT_EQ(stable.stop, MonodromyStop::kStable);
  EXPECT_EQ(stable.points.cols(), 3);
  EXPECT_LE(stable.loops, 4 + 3 + 3);
  options.maxLoops = 4;
  options.stableLoops = 100;
  EXPECT_EQ(RunMonodromy(family, base, all, options).stop, MonodromyStop::kLoopLimit);
  options.interrupted = [] { return true; };
  try {
    RunMonodromy(family, base, all, options);
    FAIL() << "not interrupted";
  } catch (const Error& e) {
    EXPECT_EQ(e.code(), ErrorCode::kInterrupted);
  }
}

}  // namespace
}  // namespace zormix
