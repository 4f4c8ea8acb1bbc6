// The verdicts on constructed end points, whatever the end game: regular by convergence, groups
// of a multiple root, positive-dimensional sets, the units of the equations, and the accounting.
#include "finish/classify.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <numbers>
#include <vector>

#include "finish/certify.h"
#include "finish/local_dimension.h"
#include "finish/verdict_warnings.h"
#include "model/normal_form.h"
#include "support/systems.h"

namespace zormix {
namespace {

using testing::Equation;

// (v - a)^m in variable `var` of n, every term multiplied by `scale`.
Equation PowerOfLinear(int n, int var, double a, int m, double scale = 1.0) {
  Equation eq;
  double binomial = 1.0;
  for (int k = 0; k <= m; ++k) {
    std::vector<std::int32_t> e(n, 0);
    e[var] = k;
    testing::AddTerm(eq, e, scale * binomial * std::pow(-a, m - k));
    binomial = binomial * (m - k) / (k + 1);
  }
  return eq;
}

// The end points as columns of a result with `lost` paths without end points.
SolveResult EndPoints(int n, const std::vector<std::vector<Complex>>& points,
                      std::vector<PathRecord> lost = {}) {
  SolveResult r;
  r.n = n;
  r.roots.Assign(n, static_cast<std::int64_t>(points.size()));
  for (std::size_t k = 0; k < points.size(); ++k) {
    std::copy(points[k].begin(), points[k].end(), r.roots.col(static_cast<std::int64_t>(k)));
    bool real = true;
    for (const Complex& v : points[k]) real = real && v.imag() == 0.0;
    r.isReal.push_back(real ? 1 : 0);
    r.records.push_back(PathRecord{});
  }
  r.rootCount = static_cast<std::int64_t>(points.size());
  r.lostPaths = std::move(lost);
  r.pathCount = r.rootCount + static_cast<std::int64_t>(r.lostPaths.size());
  return r;
}

Classification Classify(const PolySystem& system, const SolveResult& r) {
  return ClassifyRoots(BringToNormalForm(system), r);
}

void ExpectAccounted(const Classification& c, const SolveResult& r) {
  const RootClassCounts& k = c.counts;
  EXPECT_EQ(k.regular + k.singularEndPoints + k.positiveDimensional + k.atInfinity + k.failed,
            r.pathCount);
}

Complex Unit(int k, int m) { return std::polar(1.0, 2.0 * std::numbers::pi * k / m); }

// (x-1)^3; y-2 as plain tracking leaves it: three end points 1e-5 around the triple point.
TEST(Verdicts, TripleRootIsOneSingularRootOfMultiplicityThree) {
  const PolySystem s =
      testing::BuildSystem({PowerOfLinear(2, 0, 1.0, 3), PowerOfLinear(2, 1, 2.0, 1)});
  std::vector<std::vector<Complex>> points;
  for (int k = 0; k < 3; ++k) points.push_back({1.0 + 1e-5 * Unit(k, 3), 2.0});
  const SolveResult r = EndPoints(2, points);
  const Classification c = Classify(s, r);
  ExpectAccounted(c, r);
  EXPECT_EQ(c.counts.singular, 1);
  EXPECT_EQ(c.counts.singularEndPoints, 3);
  EXPECT_EQ(c.counts.regular, 0);
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(c.multiplicity[k], 3);
    EXPECT_EQ(c.groupLeader[k], 0);
    EXPECT_EQ(c.status[k], RootStatus::kSingular);
    EXPECT_EQ(c.localDimension[k], 0);
  }
}

// (x-1)^5; (y-2)^3: fifteen end points, x up to 1e-3 and y up to 1e-5 from the root as plain
// tracking in double leaves them (eps^(1/m)), or 1e-10 from it with the end game's winding numbers.
TEST(Verdicts, RootOfMultiplicityFifteenIsOneRoot) {
  const PolySystem s =
      testing::BuildSystem({PowerOfLinear(2, 0, 1.0, 5), PowerOfLinear(2, 1, 2.0, 3)});
  for (const double spread : {1e-3, 1e-10}) {
    SCOPED_TRACE(spread);
    std::vector<std::vector<Complex>> points;
    for (int a = 0; a < 5; ++a)
      for (int b = 0; b < 3; ++b)
        points.push_back({1.0 + spread * Unit(a, 5), 2.0 + 1e-2 * spread * Unit(b, 3)});
    SolveResult r = EndPoints(2, points);
    if (spread < 1e-6) {
      for (PathRecord& p : r.records) p.windingNumber = 5;
    }
    const Classification c = Classify(s, r);
    ExpectAccounted(c, r);
    EXPECT_EQ(c.counts.singular, 1);
    EXPECT_EQ(c.counts.singularEndPoints, 15);
    EXPECT_EQ(c.multiplicity[14], 15);
  }
}

// One end point 4e-9 from the double root of (x-1)^2; y-2: Newton converges to it, but linearly,
// halving each step, so it is no regular root, and no set. With its partner it is a singular
// root of multiplicity 2; alone (its partner lost, winding number unknown) it is no root of
// multiplicity 1 either: a failed path.
TEST(Verdicts, LoneEndPointAtADoubleRootIsSingular) {
  const PolySystem s =
      testing::BuildSystem({PowerOfLinear(2, 0, 1.0, 2), PowerOfLinear(2, 1, 2.0, 1)});
  for (const double distance : {4e-9, 1e-6}) {
    SCOPED_TRACE(distance);
    const Classification alone = Classify(s, EndPoints(2, {{1.0 + distance, 2.0}}));
    EXPECT_EQ(alone.status[0], RootStatus::kSingular);
    EXPECT_EQ(alone.pointRule[0], PointRule::kNoRegularEvidence);
    EXPECT_EQ(alone.rootRule[0], RootRule::kLoneWithoutCycle);
    EXPECT_EQ(alone.counts.singular, 0);
    EXPECT_EQ(alone.counts.failed, 1);
    const Classification pair =
        Classify(s, EndPoints(2, {{1.0 + distance, 2.0}, {1.0 - distance, 2.0}}));
    EXPECT_EQ(pair.counts.singular, 1);
    EXPECT_EQ(pair.counts.singularEndPoints, 2);
    EXPECT_EQ(pair.rootRule[1], RootRule::kDualSpace);  // its dual space confirms 2
  }
}

// The same point ended by tracking as an ordinary end point (winding number 1): no root of
// multiplicity 1 exists, so its verdict is unknown. It is a failed path, moved out of the roots,
// and the regular root (-3, 2) of (x-1)^2 (x+3) beside it becomes the first root.
TEST(Verdicts, LoneEndPointOfWindingNumberOneIsFailedNotSingular) {
  Equation cubic;  // (x-1)^2 (x+3) = x^3 + x^2 - 5x + 3
  for (const auto& [power, coefficient] : {std::pair{3, 1.0}, {2, 1.0}, {1, -5.0}, {0, 3.0}})
    testing::AddTerm(cubic, {power, 0}, coefficient);
  const PolySystem s = testing::BuildSystem({cubic, PowerOfLinear(2, 1, 2.0, 1)});
  SolveResult r = EndPoints(2, {{1.0 + 1e-6, 2.0}, {-3.0, 2.0}}, {PathRecord{7, 1}});
  for (PathRecord& record : r.records) record.windingNumber = 1;
  r.records[0].cell = 3;
  r.lostPaths[0].status = PathStatus::kDiverged;
  r.counts.byStatus[static_cast<int>(PathStatus::kReached)] = 2;
  Classification c = Classify(s, r);
  ExpectAccounted(c, r);
  EXPECT_EQ(c.counts.failed, 1);
  EXPECT_EQ(c.counts.singular, 0);
  EXPECT_EQ(c.counts.regular, 1);

  TakeClassification(std::move(c), r);
  EXPECT_EQ(r.rootCount, 1);
  ASSERT_EQ(r.roots.cols(), 1);
  EXPECT_EQ(r.roots(0, 0), Complex(-3.0));
  EXPECT_EQ(r.groupLeader, std::vector<std::int64_t>{0});
  EXPECT_EQ(r.rootStatus, std::vector<RootStatus>{RootStatus::kRegular});
  ASSERT_EQ(r.lostPaths.size(), 2u);
  EXPECT_EQ(r.lostPaths[0].cell, 3);  // in serial order, before cell 7
  EXPECT_EQ(r.lostPaths[0].status, PathStatus::kRefusedAtTarget);
  EXPECT_EQ(r.counts.of(PathStatus::kRefusedAtTarget), 1);
  EXPECT_EQ(r.counts.of(PathStatus::kReached), 1);
}

// (x-1)^2 (x-1-h)^2; y-2 with h = 2^-20 (1e-6, every coefficient exact): two double roots, end
// points 1e-11 from them as the end game extrapolates them (winding number 2). Their distance is
// far above what such points carry, far below what plain tracking leaves: two roots of
// multiplicity 2, not one of multiplicity 4.
TEST(Verdicts, ExtrapolatedEndPointsOfCloseDoubleRootsStayApart) {
  const double h = 0x1p-20;
  const PolySystem s = testing::BuildSystem({{{{4, 0}, 1.0},
                                              {{3, 0}, -4.0 - 2.0 * h},
                                              {{2, 0}, 6.0 + 6.0 * h + h * h},
                                              {{1, 0}, -4.0 - 6.0 * h - 2.0 * h * h},
                                              {{0, 0}, (1.0 + h) * (1.0 + h)}},
                                             PowerOfLinear(2, 1, 2.0, 1)});
  SolveResult r = EndPoints(2, {{1.0 + 1e-11, 2.0},
                                {1.0 - 1e-11, 2.0},
                                {1.0 + h + Complex(0.0, 1e-11), 2.0},
                                {1.0 + h - Complex(0.0, 1e-11), 2.0}});
  for (PathRecord& p : r.records) p.windingNumber = 2;
  const Classification c = Classify(s, r);
  ExpectAccounted(c, r);
  EXPECT_EQ(c.counts.singular, 2);
  EXPECT_EQ(c.multiplicity[0], 2);
  EXPECT_EQ(c.groupLeader[1], 0);
  EXPECT_EQ(c.groupLeader[3], 2);
  EXPECT_TRUE(c.warnings.empty());
}

// (x-1)^2 (x-1.05)^2; y-2: two double roots 5% apart, end points 1e-3 from them as plain tracking
// leaves them (eps^(1/2) and a margin): two roots of multiplicity 2, not one.
TEST(Verdicts, NearbySingularRootsStayApart) {
  Equation x1 = PowerOfLinear(2, 0, 1.0, 2), x2 = PowerOfLinear(2, 0, 1.05, 2), product;
  for (const auto& a : x1)
    for (const auto& b : x2)
      testing::AddTerm(product, {a.exponents[0] + b.exponents[0], 0},
                       a.coefficient * b.coefficient);
  const PolySystem s = testing::BuildSystem({product, PowerOfLinear(2, 1, 2.0, 1)});
  const SolveResult r =
      EndPoints(2, {{1.0 + 1e-3, 2.0}, {1.0 - 1e-3, 2.0}, {1.05 + 1e-3, 2.0}, {1.05 - 1e-3, 2.0}});
  const Classification c = Classify(s, r);
  EXPECT_EQ(c.counts.singular, 2);
  EXPECT_EQ(c.multiplicity[0], 2);
  EXPECT_EQ(c.groupLeader[3], 2);
}

// (x-1)(x-1-d); y-2 with d = 1e-7: scaled condition numbers near 2e7, far above the old cut 1e6
// (closer roots are moved by more than their distance's share by the rounding of 1 + d itself);
// Newton converges quadratically at each root, so they are two regular roots. The same with every
// equation multiplied by 10^k, k = -300..300 and by (a subnormal scale would round d away: see the
// circle below): no verdict may change.
TEST(Verdicts, IllConditionedRegularRootsStayRegularInAnyUnits) {
  std::vector<double> scales;
  for (int k = -300; k <= 300; k += 6) scales.push_back(std::pow(10.0, k));
  {
    const double d = 1e-7;
    for (const double scale : scales) {
      SCOPED_TRACE(::testing::Message() << "d " << d << " scale " << scale);
      const PolySystem s = testing::BuildSystem(
          {{{{2, 0}, scale}, {{1, 0}, -(2.0 + d) * scale}, {{0, 0}, (1.0 + d) * scale}},
           PowerOfLinear(2, 1, 2.0, 1, scale)});
      // As tracking leaves them: 1e-9 from the roots, a hundredth of their distance.
      const SolveResult r = EndPoints(2, {{1.0 + 1e-9, 2.0}, {1.0 + d - 1e-9, 2.0}});
      const Classification c = Classify(s, r);
      ASSERT_EQ(c.counts.regular, 2);
      ASSERT_EQ(c.counts.realRegular, 2);
      ASSERT_GT(c.scaledConditionNumbers[0], 1e7);
    }
  }
}

// (x-1)(x-1-h); y-2 with h = 2^-24 (6e-8): every coefficient exact, scaled condition numbers near
// 7e7, where the double interval test gives up; Newton in long double still converges
// quadratically at each root, and their values, accurate to kappa eps, stay apart.
TEST(Verdicts, RootsTooCloseForTheIntervalTestAreRegularByConvergence) {
  const double h = 0x1p-24;
  for (const double scale : {1.0, 0x1p-1000, 0x1p+1000}) {
    SCOPED_TRACE(scale);
    const PolySystem s = testing::BuildSystem(
        {{{{2, 0}, scale}, {{1, 0}, -(2.0 + h) * scale}, {{0, 0}, (1.0 + h) * scale}},
         PowerOfLinear(2, 1, 2.0, 1, scale)});
    const SolveResult r = EndPoints(2, {{1.0 + 3e-10, 2.0}, {1.0 + h - 3e-10, 2.0}});
    const Classification c = Classify(s, r);
    EXPECT_EQ(c.counts.regular, 2);
    EXPECT_GT(c.scaledConditionNumbers[1], 3e7);
  }
}

// Two paths at one regular root of the circle and the line (a path jumped): Krawczyk's box proves
// that root simple, so it is one regular root, kept by one path; the other path's own root is
// unknown, a failed path with its own status. A double root stays singular (its box fails).
TEST(Verdicts, TwoPathsAtOneProvenSimpleRootAreARegularRootAndAJumpedPath) {
  const double h = std::sqrt(0.5);
  for (const double scale : {1.0, 0x1p-600, 0x1p+600}) {
    SCOPED_TRACE(scale);
    const PolySystem s = testing::BuildSystem(
        {{{{2, 0}, scale}, {{0, 2}, scale}, {{0, 0}, -scale}}, {{{1, 0}, 1.0}, {{0, 1}, -1.0}}});
    SolveResult r = EndPoints(2, {{h, h}, {-h, -h}, {h * (1 + 1e-13), h}});
    Classification c = Classify(s, r);
    ExpectAccounted(c, r);
    EXPECT_EQ(c.counts.regular, 2);
    EXPECT_EQ(c.counts.singular, 0);
    EXPECT_EQ(c.counts.failed, 1);
    ASSERT_EQ(c.dropped.size(), 1u);
    EXPECT_EQ(c.dropped[0].column, 2);
    EXPECT_EQ(c.dropped[0].status, PathStatus::kSharedSimpleRoot);
    TakeClassification(std::move(c), r);
    EXPECT_EQ(r.rootCount, 2);
    ASSERT_EQ(r.lostPaths.size(), 1u);
    EXPECT_EQ(r.lostPaths[0].status, PathStatus::kSharedSimpleRoot);
    EXPECT_EQ(r.counts.byStatus[static_cast<int>(PathStatus::kSharedSimpleRoot)], 1);
    EXPECT_EQ(r.groupLeader, (std::vector<std::int64_t>{0, 1}));
  }
  // x^2 = 0, y^2 + x - 1 = 0: two end points at the double root (0, 1) are its two paths.
  const PolySystem d =
      testing::BuildSystem({{{{2, 0}, 1.0}}, {{{0, 2}, 1.0}, {{1, 0}, 1.0}, {{0, 0}, -1.0}}});
  const SolveResult r = EndPoints(2, {{1e-9, 1.0}, {-1e-9, 1.0}});
  const Classification c = Classify(d, r);
  EXPECT_EQ(c.counts.failed, 0);
  EXPECT_EQ(c.counts.singular, 1);
  EXPECT_EQ(c.multiplicity[1], 2);
}

// The circle and the line with every coefficient the smallest subnormal (or 1e-310): the two
// roots are regular, as with coefficients 1.
TEST(Verdicts, SubnormalCoefficientsChangeNoVerdict) {
  const double h = std::sqrt(0.5);
  for (const double scale : {4.9e-324, 1e-310, 1.0}) {
    SCOPED_TRACE(scale);
    const PolySystem s = testing::BuildSystem({{{{2, 0}, scale}, {{0, 2}, scale}, {{0, 0}, -scale}},
                                               {{{1, 0}, scale}, {{0, 1}, -scale}}});
    const SolveResult r = EndPoints(2, {{h, h}, {-h, -h}});
    const Classification c = Classify(s, r);
    EXPECT_EQ(c.counts.regular, 2);
    EXPECT_LT(c.scaledConditionNumbers[0], 10.0);
  }
}

// x (x + y - 1) = 0, y (x + y - 1) = 0: the line x + y = 1 and the regular root at the origin.
// End points on the line lie on a set of dimension 1, wherever on it; the origin stays regular.
TEST(Verdicts, EndPointsOnALineAreOnAOneDimensionalSet) {
  const PolySystem s = testing::BuildSystem({{{{2, 0}, 1.0}, {{1, 1}, 1.0}, {{1, 0}, -1.0}},
                                             {{{1, 1}, 1.0}, {{0, 2}, 1.0}, {{0, 1}, -1.0}}});
  const Complex a(0.3, 0.1), b(-4.0, 2.5);
  const SolveResult r = EndPoints(2, {{a, 1.0 - a}, {0.0, 0.0}, {b, 1.0 - b + 1e-11}},
                                  {PathRecord{0, 4, 0, 0, PathStatus::kDiverged},
                                   PathRecord{0, 5, 0, 0, PathStatus::kStepUnderflow}});
  const Classification c = Classify(s, r);
  ExpectAccounted(c, r);
  EXPECT_EQ(c.status[0], RootStatus::kPositiveDimensional);
  EXPECT_EQ(c.pointRule[0], PointRule::kOnSetBySlices);
  EXPECT_EQ(c.rootRule[0], RootRule::kOnASet);
  EXPECT_EQ(c.rootRule[1], RootRule::kAloneAtItsRoot);
  EXPECT_EQ(c.status[2], RootStatus::kPositiveDimensional);
  EXPECT_EQ(c.localDimension[0], 1);
  EXPECT_EQ(c.localDimension[2], 1);
  EXPECT_EQ(c.multiplicity[2], 1);
  EXPECT_EQ(c.status[1], RootStatus::kRegular);
  EXPECT_EQ(c.counts.positiveDimensional, 2);
  EXPECT_EQ(c.counts.regular, 1);
  EXPECT_EQ(c.counts.atInfinity, 1);
  EXPECT_EQ(c.counts.failed, 1);
}

// Isolated singular roots, however high their multiplicity, are no sets: (x-1)^2; y-2 at its
// root, (x-1)^5; (y-2)^3 and x^2; y^2 at theirs. A plane in three variables, x z = y z = z^2 = 0
// (z = 0 with an embedded point), has dimension 2.
TEST(LocalDimensionTest, TellsIsolatedSingularRootsFromSets) {
  const std::vector<Complex> root{1.0, 2.0}, origin{0.0, 0.0};
  EXPECT_EQ(LocalDimension(BringToNormalForm(testing::BuildSystem(
                               {PowerOfLinear(2, 0, 1.0, 2), PowerOfLinear(2, 1, 2.0, 1)})),
                           root.data()),
            0);
  EXPECT_EQ(LocalDimension(BringToNormalForm(testing::BuildSystem(
                               {PowerOfLinear(2, 0, 1.0, 5), PowerOfLinear(2, 1, 2.0, 3)})),
                           root.data()),
            0);
  EXPECT_EQ(
      LocalDimension(BringToNormalForm(testing::BuildSystem({{{{2, 0}, 1.0}}, {{{0, 2}, 1.0}}})),
                     origin.data()),
      0);
  // (x - 1)^8: the slices' residuals, (3e-2)^8, are below a solution's; one unknown has no set.
  const std::vector<Complex> one{1.0};
  EXPECT_EQ(LocalDimension(BringToNormalForm(testing::BuildSystem({PowerOfLinear(1, 0, 1.0, 8)})),
                           one.data()),
            0);
  const PolySystem plane =
      testing::BuildSystem({{{{1, 0, 1}, 1.0}}, {{{0, 1, 1}, 1.0}}, {{{0, 0, 2}, 1.0}}});
  const std::vector<Complex> onPlane{Complex(0.5, 0.2), -1.5, 1e-13};
  EXPECT_EQ(LocalDimension(BringToNormalForm(plane), onPlane.data()), 2);
}

int DimensionAt(const PolySystem& s, const std::vector<Complex>& x) {
  return LocalDimension(BringToNormalForm(s), x.data());
}

// g l_i = 0, i = 1..3, with g = x^2 + y^2 + z^2 - 1 and l = (x - 2, y + 3, z - 5): the sphere,
// where the Jacobian l grad(g)^T has corank 2. Its second derivative along the sphere,
// 2 |v|^2 l, is nonzero but lies in the Jacobian's range (only the part across the range rules
// a set out): dimension 2, at a real and at a non-real point of the sphere.
TEST(LocalDimensionTest, CurvedSurfaceWhoseSecondDerivativeLiesInTheRangeHasDimensionTwo) {
  const std::vector<std::array<std::int32_t, 3>> linear{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  const std::array<double, 3> offsets{-2.0, 3.0, -5.0};
  std::vector<Equation> equations;
  for (int i = 0; i < 3; ++i) {
    Equation eq;
    for (int k = 0; k < 3; ++k) {
      std::vector<std::int32_t> square(3, 0);
      square[k] = 2;
      std::vector<std::int32_t> cube = square;
      cube[i] += 1;
      testing::AddTerm(eq, cube, 1.0);
      testing::AddTerm(eq, square, offsets[i]);
    }
    testing::AddTerm(eq, {linear[i].begin(), linear[i].end()}, -1.0);
    testing::AddTerm(eq, {0, 0, 0}, -offsets[i]);
    equations.push_back(eq);
  }
  const PolySystem sphere = testing::BuildSystem(equations);
  EXPECT_EQ(DimensionAt(sphere, {0.36, 0.48, 0.8}), 2);
  const Complex z(0.0, std::sqrt(0.19));
  EXPECT_EQ(DimensionAt(sphere, {1.2, Complex(0.0, 0.5), z}), 2);
}

// Griewank-Osborne: 29/16 x^3 - 2 x y = 0, y - x^2 = 0, the origin of multiplicity 3 at which
// Newton's method diverges from every nearby point: isolated, at the origin and near it.
TEST(LocalDimensionTest, GriewankOsborneRootIsIsolated) {
  const PolySystem s = testing::BuildSystem(
      {{{{3, 0}, 29.0 / 16.0}, {{1, 1}, -2.0}}, {{{0, 1}, 1.0}, {{2, 0}, -1.0}}});
  EXPECT_EQ(DimensionAt(s, {0.0, 0.0}), 0);
  EXPECT_EQ(DimensionAt(s, {Complex(2e-6, 1e-6), Complex(3e-12, 4e-12)}), 0);
}

// cyclic-n: the sums of the n cyclic products of k consecutive variables, k = 1..n-1, and
// x_0 ... x_{n-1} = 1.
PolySystem Cyclic(int n) {
  std::vector<Equation> equations;
  for (int k = 1; k <= n; ++k) {
    Equation eq;
    for (int i = 0; i < (k < n ? n : 1); ++i) {
      std::vector<std::int32_t> e(n, 0);
      for (int j = 0; j < k; ++j) e[(i + j) % n] = 1;
      testing::AddTerm(eq, e, 1.0);
    }
    if (k == n) testing::AddTerm(eq, std::vector<std::int32_t>(n, 0), -1.0);
    equations.push_back(eq);
  }
  return testing::BuildSystem(equations);
}

// Paths reach the curves of cyclic-8 (degree 144) in pairs, at points where two branches cross
// and the Jacobian has corank 2: the point (-a, b, a, a, -a, -a, -b, a) and a non-real one, as the
// end game leaves them. Each lies on a set of dimension 1, although moves along its null vectors
// land back at it; at the last one Gauss-Newton settles between the branches on the first
// slice drawn, not on a later one.
TEST(LocalDimensionTest, CyclicEightEndPointsWhereBranchesCrossAreOnCurves) {
  const PolySystem cyclic8 = Cyclic(8);
  const double a = 1.5537739740300116, b = 0.26658546821887186;
  EXPECT_EQ(DimensionAt(cyclic8, {-a, b, a, a, -a, -a, -b, a}), 1);
  const Complex p(-1.1621966417487737, -1.8057908946543548),
      q(0.25201692062432013, -0.3915773322812629);
  EXPECT_EQ(DimensionAt(cyclic8,
                        {p, q, -std::conj(p), -std::conj(q), -q, -p, std::conj(q), std::conj(p)}),
            1);
  EXPECT_EQ(DimensionAt(cyclic8, {{-1.1621966417487697, -1.8057908946543602},
                                  {-1.1621966417487706, 1.8057908946543617},
                                  {0.25201692062432185, 0.3915773322812611},
                                  {1.1621966417487672, 1.8057908946543637},
                                  {-0.25201692062432124, 0.39157733228126085},
                                  {-0.2520169206243221, -0.39157733228126207},
                                  {1.162196641748774, -1.8057908946543637},
                                  {0.25201692062432046, -0.391577332281261}}),
            1);
}

// Sets of multiplicity 2, whose Jacobian has a null direction across the set as well as along
// it (Gauss-Newton converges linearly onto them): the double line x^2 = x^2 (y - 3) = 0 and the
// double parabola x^2 = y - z^2 = x^2 z = 0 have dimension 1, not their corank 2 (points 1e-11
// from them, where x counts as zero against the other coordinates). Two lines crossing,
// x y = x y = 0: dimension 1 on a line and where two lines cross.
TEST(LocalDimensionTest, SetsOfMultiplicityTwoAndCrossingLinesHaveDimensionOne) {
  const PolySystem doubleLine =
      testing::BuildSystem({{{{2, 0}, 1.0}}, {{{2, 1}, 1.0}, {{2, 0}, -3.0}}});
  EXPECT_EQ(DimensionAt(doubleLine, {1e-11, Complex(0.7, 0.2)}), 1);
  const Complex z(0.6, -0.3);
  const PolySystem doubleParabola = testing::BuildSystem(
      {{{{2, 0, 0}, 1.0}}, {{{0, 1, 0}, 1.0}, {{0, 0, 2}, -1.0}}, {{{2, 0, 1}, 1.0}}});
  EXPECT_EQ(DimensionAt(doubleParabola, {Complex(0.0, 1e-11), z * z, z}), 1);
  const PolySystem lines = testing::BuildSystem({{{{1, 1}, 1.0}}, {{{1, 1}, 1.0}}});
  EXPECT_EQ(DimensionAt(lines, {Complex(0.27, -0.46), 1e-17}), 1);
  // (x - 1)(y - 1) twice: at the crossing (1, 1) the moves land on both lines, two directions,
  // but each landing is a point of one line.
  const Equation crossing{{{1, 1}, 1.0}, {{1, 0}, -1.0}, {{0, 1}, -1.0}, {{0, 0}, 1.0}};
  const PolySystem crossingLines = testing::BuildSystem({crossing, crossing});
  EXPECT_EQ(DimensionAt(crossingLines, {1.0 + 1e-13, 1.0}), 1);
  // A triple line, x^3 = x^3 (y - 3) = 0: Gauss-Newton converges onto it at rate 2/3.
  const PolySystem tripleLine =
      testing::BuildSystem({{{{3, 0}, 1.0}}, {{{3, 1}, 1.0}, {{3, 0}, -3.0}}});
  EXPECT_EQ(DimensionAt(tripleLine, {1e-11, Complex(0.7, 0.2)}), 1);
}

// x (y - 1) = 0, x (x - 2)^2 (x - 3) = 0: the line x = 0, a double root (2, 1) and a regular root
// (3, 1), with end points as the end game leaves them. Every equation multiplied by 10^k,
// k = -300..300 in steps of 37, or by a subnormal power of two (exact on these integer
// coefficients), one equation at a time and both: no count and no verdict changes.
TEST(Verdicts, UnitsOfTheEquationsChangeNoVerdict) {
  const auto system = [](double first, double second) {
    return testing::BuildSystem({{{{1, 1}, first}, {{1, 0}, -first}},
                                 {{{4, 0}, second},
                                  {{3, 0}, -7.0 * second},
                                  {{2, 0}, 16.0 * second},
                                  {{1, 0}, -12.0 * second}}});
  };
  SolveResult r = EndPoints(2, {{3.0, 1.0},
                                {2.0 + 1e-10, 1.0},
                                {Complex(0.0, 1e-13), Complex(0.3, 0.1)},
                                {2.0 - 1e-10, 1.0 + 1e-12},
                                {1e-12, Complex(-2.5, 1.0)}});
  // Paths on a set may come in pairs too: no cycle is asked of them.
  for (const int k : {1, 2, 3, 4}) r.records[k].windingNumber = 2;
  const std::vector<RootStatus> expected{RootStatus::kRegular, RootStatus::kSingular,
                                         RootStatus::kPositiveDimensional, RootStatus::kSingular,
                                         RootStatus::kPositiveDimensional};
  std::vector<double> scales{0x1p-1060, 0x1p-1070};
  for (int k = -300; k <= 300; k += 37) scales.push_back(std::pow(10.0, k));
  for (const double scale : scales) {
    for (const auto& [first, second] :
         {std::pair{scale, 1.0}, std::pair{1.0, scale}, std::pair{scale, scale}}) {
      SCOPED_TRACE(::testing::Message() << first << " " << second);
      const Classification c = Classify(system(first, second), r);
      ASSERT_EQ(c.status, expected);
      ExpectAccounted(c, r);
      EXPECT_EQ(c.counts.regular, 1);
      EXPECT_EQ(c.counts.singular, 1);
      EXPECT_EQ(c.counts.singularEndPoints, 2);
      EXPECT_EQ(c.counts.positiveDimensional, 2);
      EXPECT_EQ(c.multiplicity[3], 2);
      EXPECT_EQ(c.localDimension[4], 1);
      EXPECT_TRUE(c.warnings.empty());
    }
  }
  // Examined on threads: the same verdicts.
  const Classification threaded = ClassifyRoots(BringToNormalForm(system(1.0, 1.0)), r, 3);
  EXPECT_EQ(threaded.status, expected);
  EXPECT_EQ(threaded.groupLeader, (std::vector<std::int64_t>{0, 1, 2, 1, 4}));
}

// (x^2 + x - 2)^3; y - 2: two triple points (1, 2) and (-2, 2), end points 1e-10 from them with
// winding number 3: two roots of multiplicity 3 and no doubt. A path of one of them with winding
// number 1 (its cycle broken) or a lone end point with winding number 2 is warned of.
TEST(Verdicts, WindingNumbersThatDoNotFormCyclesAreWarnedOf) {
  Equation cube;
  const double cubed[] = {-8.0, 12.0, 6.0, -11.0, -3.0, 3.0, 1.0};  // (x^2 + x - 2)^3
  for (int k = 0; k <= 6; ++k) testing::AddTerm(cube, {k, 0}, cubed[k]);
  const PolySystem s = testing::BuildSystem({cube, PowerOfLinear(2, 1, 2.0, 1)});
  std::vector<std::vector<Complex>> points;
  for (int k = 0; k < 3; ++k) points.push_back({1.0 + 1e-10 * Unit(k, 3), 2.0});
  for (int k = 0; k < 3; ++k) points.push_back({-2.0 + 1e-10 * Unit(k, 3), 2.0});
  SolveResult r = EndPoints(2, points);
  for (PathRecord& p : r.records) p.windingNumber = 3;
  Classification c = Classify(s, r);
  EXPECT_EQ(c.counts.singular, 2);
  EXPECT_EQ(c.multiplicity[5], 3);
  EXPECT_EQ(c.groupLeader[5], 3);
  EXPECT_TRUE(c.warnings.empty());
  r.records[4].windingNumber = 1;
  r.records[4].status = PathStatus::kRescued;  // re-tracked without the end game: unknown
  EXPECT_TRUE(Classify(s, r).warnings.empty());
  // A broken cycle at a root whose dual space has dimension 3: the multiplicity is the
  // algebra's, and nothing is left to doubt.
  r.records[4].status = PathStatus::kReached;
  c = Classify(s, r);
  EXPECT_TRUE(c.warnings.empty());
  EXPECT_EQ(c.multiplicity[4], 3);
  EXPECT_EQ(c.rootRule[4], RootRule::kDualSpace);
  // Without that confirmation the windings are warned of.
  std::vector<PathRecord> records = r.records;
  const std::vector<std::string> warnings = InconsistentGroupWarnings(
      {0, 0, 0, 3, 3, 3}, std::vector<RootStatus>(6, RootStatus::kSingular), records);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0],
            "1 root was reached by paths whose winding numbers do not form whole cycles (root 4: "
            "3, 1, 3): their multiplicities may be wrong");
  EXPECT_TRUE(
      WindingNumbersFormCycles({15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15}));
  EXPECT_TRUE(WindingNumbersFormCycles({1, 2, 2, 0}));
  EXPECT_TRUE(WindingNumbersFormCycles({1, 1}));
  EXPECT_FALSE(WindingNumbersFormCycles({2}));
  EXPECT_FALSE(WindingNumbersFormCycles({5, 5, 5, 5, 5, 5}));
}

// No path on the polyhedral route (x y = 0, x y = 0 has mixed volume 0): a warning says that
// this is no proof that no root exists. The total-degree route needs none.
TEST(Verdicts, NoPolyhedralPathIsWarnedOf) {
  const PolySystem lines = testing::BuildSystem({{{{1, 1}, 1.0}}, {{{1, 1}, 1.0}}});
  SolveResult r = EndPoints(2, {});
  ASSERT_EQ(Classify(lines, r).warnings.size(), 1u);
  EXPECT_NE(Classify(lines, r).warnings[0].find("the mixed volume is 0"), std::string::npos);
  r.route = Route::kTotalDegree;
  EXPECT_TRUE(Classify(lines, r).warnings.empty());
}

TEST(Verdicts, SummaryLineCountsEveryPathOnce) {
  Summary s;
  s.paths = 2560;
  s.seed = 1;
  s.regular = 1152;
  s.realRegular = 64;
  s.singular = 608;
  s.singularEndPoints = 896;
  s.atInfinity = 512;
  EXPECT_EQ(s.accounted(), 2560);
  EXPECT_EQ(
      s.BriefReport(),
      "1152 regular roots (64 real) \u00b7 608 singular roots from 896 paths \u00b7 512 paths "
      "to infinity \u00b7 0 failed \u00b7 2560 paths \u00b7 seed 1");
  s.singularEndPoints = 0;
  s.singular = 0;
  s.positiveDimensional = 1;
  s.failed = 1;
  EXPECT_EQ(s.BriefReport(),
            "1152 regular roots (64 real) \u00b7 1 path on positive-dimensional sets \u00b7 512 "
            "paths to infinity \u00b7 1 failed \u00b7 2560 paths \u00b7 seed 1");
}

// Every count comes from the verdicts of the paths: the status of each root (a singular root
// once per group), the real flag of the regular ones, the status of each path without an end
// point. The classification's own tally is not read: here it says otherwise.
TEST(Verdicts, SummarizeDerivesEveryCountFromThePathVerdicts) {
  SolveResult r;
  r.n = 1;
  r.pathCount = 9;
  r.roots.Assign(1, 6);
  r.rootStatus = {RootStatus::kRegular,  RootStatus::kRegular,  RootStatus::kSingular,
                  RootStatus::kSingular, RootStatus::kSingular, RootStatus::kPositiveDimensional};
  r.groupLeader = {0, 1, 2, 2, 4, 5};
  r.isReal = {1, 0, 1, 1, 1, 1};
  r.records.resize(6);
  r.records[1].status = PathStatus::kRescued;
  r.lostPaths.resize(3);
  r.lostPaths[0].status = PathStatus::kDiverged;
  r.lostPaths[1].status = PathStatus::kStepUnderflow;
  r.lostPaths[2].status = PathStatus::kRefusedAtTarget;
  r.classes.regular = 100;
  r.classes.failed = 100;
  const Summary s = Summarize(r);
  EXPECT_EQ(s.regular, 2);
  EXPECT_EQ(s.realRegular, 1);
  EXPECT_EQ(s.singular, 2);
  EXPECT_EQ(s.singularEndPoints, 3);
  EXPECT_EQ(s.positiveDimensional, 1);
  EXPECT_EQ(s.atInfinity, 1);
  EXPECT_EQ(s.failed, 2);
  EXPECT_EQ(s.rescued, 1);
  EXPECT_EQ(s.accounted(), r.pathCount);
  // A real root is a regular root at a real point; the real singular point is no real root.
  EXPECT_TRUE(RootAt(r, 0).real);
  EXPECT_FALSE(RootAt(r, 2).real);
  EXPECT_TRUE(RootAt(r, 2).realPoint);
}

// An end point of cyclic-8 1e-9 off its curve through (1, 1, i, i, -1, -1, -i, -i)
// as tracking left it (seed 3): kappa_s 9e9, and Newton's method in long double converges
// quadratically from it, but no interval proof holds there. It lies on a curve, no regular root.
TEST(Verdicts, EndPointNextToACurveIsNoRegularRoot) {
  const SolveResult r = EndPoints(8, {{{1.0000000036906513, 1.4473623218294181e-09},
                                       {0.9999999963093487, -1.4473622109498697e-09},
                                       {1.5368500820599236e-08, 1.000000004664527},
                                       {-1.5368500813246378e-08, 0.9999999953354729},
                                       {-0.9999999963612453, 3.6342057321813135e-09},
                                       {-1.0000000036387549, -3.63420569588214e-09},
                                       {1.3181657290283887e-08, -0.9999999953873695},
                                       {-1.3181657391314906e-08, -1.0000000046126303}}});
  const Classification c = Classify(Cyclic(8), r);
  EXPECT_GT(c.scaledConditionNumbers[0], 1e9);
  EXPECT_EQ(c.status[0], RootStatus::kPositiveDimensional);
  EXPECT_EQ(c.localDimension[0], 1);
}

// i1 (x_i = a_i + b_i times a product of three others, ten unknowns): real roots with coordinates
// from 4e-11 to 4e11 (and 1e-5 to 3e7), known to full relative accuracy and of condition 50 when
// each coordinate is its own unit (50-digit Newton converges quadratically from them), are regular
// roots with interval proofs, not singular points whose small coordinates are rounding noise around
// zero. The same point with x7 rounded to zero, where the system is not solved, stays undecided.
TEST(Verdicts, RegularRootWithCoordinatesFrom1eMinus11To1e11) {
  // x_i - a_i - b_i x_p x_q x_r with the factors (p, q, r), 1-based.
  const double a[] = {0.25428722, 0.37842197, 0.27162577, 0.19807914, 0.44166728,
                      0.14654113, 0.42937161, 0.07056438, 0.34504906, 0.42651102};
  const double b[] = {0.18324757, 0.16275449, 0.16955071, 0.15585316, 0.19950920,
                      0.18922793, 0.21180484, 0.17081208, 0.19612740, 0.21466544};
  const int factors[10][3] = {{4, 3, 9},  {1, 10, 6}, {1, 2, 10}, {7, 1, 6},  {7, 6, 3},
                              {8, 5, 10}, {2, 5, 8},  {1, 7, 6},  {10, 6, 8}, {4, 8, 1}};
  std::vector<Equation> eqs(10);
  for (int i = 0; i < 10; ++i) {
    std::vector<std::int32_t> own(10, 0), product(10, 0);
    own[i] = 1;
    for (int f : factors[i]) product[f - 1] = 1;
    testing::AddTerm(eqs[i], own, 1.0);
    testing::AddTerm(eqs[i], std::vector<std::int32_t>(10, 0), -a[i]);
    testing::AddTerm(eqs[i], product, -b[i]);
  }
  const PolySystem s = testing::BuildSystem(eqs);
  const std::vector<Complex> root = {
      -56737.116996285521,     230230.51443909876,  376092305750.62433,      0.1980791920647045,
      -0.00012478106281913913, 0.14682406357559172, -4.0101746936558346e-11, 0.070564437061919517,
      -4.1562119025375067e-6,  -169.81055751195656};
  // Another root, coordinates from 1e-5 to 3e7.
  const std::vector<Complex> root2 = {
      252287.46067346828,  -2049.0366738141824, 29865917.814618834,     0.13359770037398295,
      -9.3298553047856257, 0.14647733669120501, -1.1195745367446202e-5, -0.00010604351861452866,
      0.34505009806294218, -0.3407460671415492};
  std::vector<Complex> zeroed = root;
  zeroed[6] = 0.0;
  const SolveResult r = EndPoints(10, {root, root2, zeroed});
  const Classification c = Classify(s, r);
  EXPECT_EQ(c.status[0], RootStatus::kRegular);
  EXPECT_LT(c.scaledConditionNumbers[0], 1e3);
  EXPECT_EQ(c.status[1], RootStatus::kRegular);
  EXPECT_LT(c.scaledConditionNumbers[1], 1e3);
  EXPECT_NE(c.status[2], RootStatus::kRegular);
  // Krawczyk's test proves both in boxes of the same relative size in every coordinate.
  const NormalForm normal = BringToNormalForm(s);
  EXPECT_TRUE(CertifyPoint(normal, root.data(), true).certified);
  EXPECT_TRUE(CertifyPoint(normal, root2.data(), false).certified);
}

}  // namespace
}  // namespace zormix

namespace zormix {
namespace {

// Cyclic sums: equation k is the sum over i of the products of factors[k] consecutive entries
// of `cycle` from entry i on, an entry being a variable's index or -1 for the constant 1.
PolySystem CyclicSums(int n, const std::vector<int>& cycle, const std::vector<int>& factors) {
  std::vector<Equation> equations;
  const std::size_t length = cycle.size();
  for (const int k : factors) {
    Equation eq;
    for (std::size_t i = 0; i < length; ++i) {
      std::vector<std::int32_t> e(n, 0);
      for (int j = 0; j < k; ++j)
        if (const int v = cycle[(i + j) % length]; v >= 0) ++e[v];
      testing::AddTerm(eq, e, 1.0);
    }
    equations.push_back(std::move(eq));
  }
  return testing::BuildSystem(equations);
}

// The cyclic sums of 1, 2, 3 and 7 factors over a, b, c, d, c, b, a, 1 (four equations of the
// reduced cyclic-8 system on its mirror-symmetric points): the line a = c = 0, 2 b + d + 1 = 0
// lies in a coordinate subspace, and (0, 0, -1/2, 0) is an isolated root of multiplicity 4 in
// another. Paths approach both with coordinates ~ d^p, 0 < p < 1.
PolySystem MirroredCyclicSums() { return CyclicSums(4, {0, 1, 2, 3, 2, 1, 0, -1}, {1, 2, 3, 7}); }

PathRecord Approached() { return PathRecord{0, 1, 0, 0, PathStatus::kEndGame, 0}; }

// A path's last point 4e-3 off the line in a and c (not a solution: F is 1e-3 there): handed
// over by the end game it lies on the line, placed on it (a = c = 0). Reached by plain tracking,
// it is no root to working accuracy either, so it is on the line too; a root accurate to
// rounding as close to the line's plane would not be moved onto it.
TEST(SubspaceSets, ApproachedEndPointIsPlacedOnTheLineItApproaches) {
  const PolySystem s = MirroredCyclicSums();
  const Complex b(-0.3, 0.2);
  SolveResult r =
      EndPoints(4, {{Complex(4e-3, 1e-3), b + 1e-3, Complex(-3e-3, 2e-3), -1.0 - 2.0 * b}});
  r.records[0] = Approached();
  const Classification c = Classify(s, r);
  ASSERT_EQ(c.status[0], RootStatus::kPositiveDimensional);
  EXPECT_EQ(c.pointRule[0], PointRule::kOnSetInSubspace);
  EXPECT_EQ(c.localDimension[0], 1);
  ASSERT_EQ(c.accurateValues.size(), 1u);
  const std::vector<Complex>& p = c.accurateValues[0].second;
  EXPECT_LT(std::abs(p[0]) + std::abs(p[2]), 1e-12);
  EXPECT_LT(std::abs(2.0 * p[1] + p[3] + 1.0), 1e-12);
  EXPECT_LT(std::abs(p[1] - b), 1e-2);
  r.records[0] = PathRecord{};
  EXPECT_EQ(Classify(s, r).pointRule[0], PointRule::kOnSetAhead);
}

// Three paths reach (0, 0, -1/2, 0) by the end game's loops (winding number 4); the fourth was
// handed over 1e-2 off (a solve's end point). Its subspace's root is its value: one root of
// multiplicity 4, on no set.
TEST(SubspaceSets, ApproachedEndPointJoinsTheIsolatedRootInItsSubspace) {
  const PolySystem s = MirroredCyclicSums();
  SolveResult r = EndPoints(4, {{Complex(4.05e-14, -3.66e-14), Complex(9.13e-14, -8.25e-14),
                                 Complex(-0.5, 1.05e-13), Complex(-2.98e-14, 2.75e-14)},
                                {Complex(3.93e-14, 1.05e-15), Complex(8.85e-14, 2.30e-15),
                                 Complex(-0.5, -3.05e-15), Complex(-2.91e-14, -5.82e-16)},
                                {Complex(7.79e-16, -7.90e-16), Complex(1.65e-15, -1.82e-15),
                                 Complex(-0.5, 2.36e-15), Complex(-3.95e-16, 5.17e-16)},
                                {Complex(-2.959e-3, 1.812e-3), Complex(-5.896e-3, 3.58e-3),
                                 Complex(-0.4911, -5.458e-3), Complex(-6.534e-5, 1.32e-4)}});
  for (int k = 0; k < 3; ++k) r.records[k].windingNumber = 4;
  r.records[3] = Approached();
  const Classification c = Classify(s, r);
  ExpectAccounted(c, r);
  EXPECT_EQ(c.counts.singular, 1);
  EXPECT_EQ(c.counts.singularEndPoints, 4);
  EXPECT_EQ(c.counts.positiveDimensional, 0);
  EXPECT_EQ(c.multiplicity[3], 4);
  EXPECT_TRUE(c.warnings.empty());
}

// The reduced cyclic-7 system at (0, 0, -1, 0, 0, 0), where sets in coordinate subspaces cross:
// an end point there whose vanishing coordinates hide the sets (kappa_s 45 in its own units,
// Newton converging) is no regular root once another end point there shows a set.
TEST(SubspaceSets, EndPointAtAnEndPointOnASetIsOnIt) {
  const PolySystem s = CyclicSums(6, {0, 1, 2, 3, 4, 5, -1}, {1, 2, 3, 4, 5, 6});
  const std::vector<Complex> hiding{Complex(4.252902952679546e-17, -7.297317074562136e-17),
                                    Complex(1.4500459106207953e-16, -1.6112197599913206e-17),
                                    Complex(-1.0, 2.088300674968667e-16),
                                    Complex(-9.666423789076171e-17, -5.660076462431163e-17),
                                    Complex(-5.984795991995967e-17, -6.340414304841702e-17),
                                    Complex(5.811323644522304e-18, 2.6020852139652105e-19)};
  const std::vector<Complex> showing{Complex(-1.7642504577855394e-17, 1.5997530182403373e-17),
                                     0.0,
                                     Complex(-1.0, -1.5948868212067595e-17),
                                     Complex(4.294664638976018e-17, -1.6159429856951635e-17),
                                     0.0,
                                     Complex(4.40619762898109e-17, -1.5959455978986624e-17)};
  EXPECT_EQ(Classify(s, EndPoints(6, {hiding})).status[0], RootStatus::kRegular);
  // Alone, with noise that leaves the set's coordinate free, such a point shows the set itself.
  std::vector<Complex> alone(6, Complex(1e-16, -0.7e-16));
  alone[0] = Complex(3e-16, 2e-16);
  alone[2] = -1.0;
  const Classification single = Classify(s, EndPoints(6, {alone}));
  EXPECT_EQ(single.status[0], RootStatus::kPositiveDimensional);
  EXPECT_EQ(single.localDimension[0], 1);
  const Classification c = Classify(s, EndPoints(6, {hiding, showing}));
  EXPECT_EQ(c.status[1], RootStatus::kPositiveDimensional);
  EXPECT_EQ(c.status[0], RootStatus::kPositiveDimensional);
  EXPECT_EQ(c.pointRule[0], PointRule::kAtAPointOnASet);
  EXPECT_EQ(c.localDimension[0], c.localDimension[1]);
  EXPECT_EQ(c.counts.regular, 0);
}

// The reduced cyclic-8 system: the cyclic sums of 1..7 factors over y1, ..., y7, 1. It has no
// isolated singular root; its sets cross at points such as (0, 0, 0, 0, -1, 0, 0).
PolySystem ReducedCyclicEight() {
  return CyclicSums(7, {0, 1, 2, 3, 4, 5, 6, -1}, {1, 2, 3, 4, 5, 6, 7});
}

// A Cauchy end game's point (winding number 6) 1e-10 from the crossing at (0, 0, 0, 0, -1, 0, 0),
// where the slices at the point itself miss the sets: within the end game's accuracy it is the
// crossing, on a set.
TEST(SubspaceSets, ExtrapolatedEndPointNextToCrossingSetsIsOnThem) {
  const PolySystem s = ReducedCyclicEight();
  SolveResult r = EndPoints(7, {{Complex(1.1753858663780298e-11, 8.361048560797475e-11),
                                 Complex(-8.08041606313452e-11, -9.18363947063734e-11),
                                 Complex(5.7295014081528765e-11, -7.538600402829809e-11),
                                 Complex(1.1754138297590367e-11, 8.361105191387482e-11),
                                 Complex(-0.9999999999999982, 1.6378720131403594e-15),
                                 Complex(-4.808075234249051e-16, -6.71482545492689e-16),
                                 Complex(-2.0117371310468535e-16, -1.0517664574919798e-16)}});
  r.records[0].windingNumber = 6;
  const Classification c = Classify(s, r);
  EXPECT_EQ(c.status[0], RootStatus::kPositiveDimensional);
  EXPECT_GE(c.localDimension[0], 1);
  EXPECT_EQ(c.counts.singular, 0);
}

// A path accepted at the target with residual 1e-6 (seed 2 of the reduced cyclic-8 system): y5,
// y6, y7 near 5e-4 on their way to 0, 7e-4 from the set in y2 = y5 = y6 = y7 = 0. It ends on that
// set.
TEST(SubspaceSets, UnconvergedEndPointApproachingASetIsOnIt) {
  const PolySystem s = ReducedCyclicEight();
  SolveResult r = EndPoints(7, {{Complex(-2.023053342405456, -2.7985657902346057),
                                 Complex(-3.25930260698826e-14, 6.387935914413427e-14),
                                 Complex(0.8608065672872494, -0.5600132581885018),
                                 Complex(0.1632064562471955, 3.359479598736098),
                                 Complex(-0.00039320171232724567, -0.0004964311320744421),
                                 Complex(-0.00017330525047457964, 9.267784824407416e-05),
                                 Complex(-0.0003931741661547331, -0.0004967970292242731)}});
  r.records[0].windingNumber = 1;
  const Classification c = Classify(s, r);
  EXPECT_EQ(c.status[0], RootStatus::kPositiveDimensional);
  EXPECT_GE(c.localDimension[0], 1);
  EXPECT_EQ(c.counts.singular, 0);
}

}  // namespace
}  // namespace zormix
