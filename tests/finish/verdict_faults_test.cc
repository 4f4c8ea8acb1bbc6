// Verdicts at the edges of the classification's rules, on end points placed where double
// precision leaves them: regular roots of large but resolvable condition, points next to a
// solution set, Newton's method in double-double on ill-conditioned one-variable roots, and sets
// in many variables.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "finish/classify.h"
#include "finish/dd_newton.h"
#include "finish/local_dimension.h"
#include "model/normal_form.h"
#include "support/end_points.h"
#include "support/systems.h"

namespace zormix {
namespace {

using testing::BuildSystem;
using testing::Equation;

using testing::EndPointsAsResult;

Classification Classify(const PolySystem& s, const std::vector<std::vector<Complex>>& points) {
  return ClassifyRoots(BringToNormalForm(s), EndPointsAsResult(s.n, points));
}

// x^2 + y - 2 = 0, x^2 + (1 + e) y - (2 + e) = 0 (e a power of two, every coefficient exact):
// the roots (+-1, 1) lie 2 apart, yet the rows of the Jacobian are parallel up to e, so kappa_s
// grows like 1/e (1.6e9 at e = 2^-28, 6.4e9 at e = 2^-30). Newton's method still converges
// quadratically there (the nonlinear term x^2 has no component along the near-null direction).
PolySystem NearlyDependent(double e) {
  return BuildSystem({{{{2, 0}, 1.0}, {{0, 1}, 1.0}, {{0, 0}, -2.0}},
                      {{{2, 0}, 1.0}, {{0, 1}, 1.0 + e}, {{0, 0}, -(2.0 + e)}}});
}

// Both roots, each 1e-7 off as double precision leaves a root of condition 1e9 (kappa_s u), are
// regular: condition numbers far above 1e6, but below what double precision resolves (1e12), and
// Newton converges quadratically from them.
TEST(VerdictEdges, RegularRootsOfConditionUpToTenBillionAreRegular) {
  for (const int k : {22, 28, 30}) {
    SCOPED_TRACE(k);
    const Classification c = Classify(NearlyDependent(std::ldexp(1.0, -k)),
                                      {{1.0 + 1e-7, 1.0 - 1e-7}, {-1.0 - 1e-7, 1.0 + 1e-7}});
    EXPECT_EQ(c.counts.regular, 2);
    EXPECT_EQ(c.counts.singularEndPoints + c.counts.positiveDimensional, 0);
    EXPECT_GT(c.scaledConditionNumbers[0], k == 22 ? 1e7 : 1e9);
  }
}

// x (x + y - 1) = 0, y (x + y - 1) = 0: end points 1e-6..1e-8 off the line x + y = 1, where
// Newton's method converges onto the line (quadratically from some of them, along the ray through
// the origin) and kappa_s is 1e7..1e8. They lie on a set of dimension 1, none is a root.
TEST(VerdictEdges, EndPointsJustOffALineAreOnIt) {
  const PolySystem s = BuildSystem({{{{2, 0}, 1.0}, {{1, 1}, 1.0}, {{1, 0}, -1.0}},
                                    {{{1, 1}, 1.0}, {{0, 2}, 1.0}, {{0, 1}, -1.0}}});
  const Complex a(0.3, 0.1);
  const Classification c = Classify(s, {{a + 1e-7, 1.0 - a},
                                        {a + 1e-8, 1.0 - a},
                                        {Complex(2.0, 1e-6), -1.0},
                                        {Complex(2.0, 0.0), Complex(-1.0, 3e-8)}});
  for (std::size_t k = 0; k < c.status.size(); ++k) {
    SCOPED_TRACE(k);
    EXPECT_EQ(c.status[k], RootStatus::kPositiveDimensional);
    EXPECT_EQ(c.localDimension[k], 1);
  }
  EXPECT_EQ(c.counts.positiveDimensional, 4);
}

// The same line, 3e-6 off it: kappa_s is 4.8e5, below the cut above which the local dimension is
// tested, and Newton's method converges quadratically onto the line; but the Jacobian at its limit
// is singular, so the point is no regular root (the system's only isolated root is the origin).
// 1e-14 off, Newton's first step is already at its floor, and from a start moved off the point it
// lands on another point of the line.
TEST(VerdictEdges, EndPointThreeMillionthsOffALineIsNoRegularRoot) {
  const PolySystem s = BuildSystem({{{{2, 0}, 1.0}, {{1, 1}, 1.0}, {{1, 0}, -1.0}},
                                    {{{1, 1}, 1.0}, {{0, 2}, 1.0}, {{0, 1}, -1.0}}});
  const Complex a(0.3, 0.1);
  const Classification c = Classify(s, {{a + 3e-6, 1.0 - a}, {a + 1e-14, 1.0 - a}});
  for (std::size_t k = 0; k < c.status.size(); ++k) {
    SCOPED_TRACE(k);
    EXPECT_NE(c.status[k], RootStatus::kRegular);
    EXPECT_EQ(c.localDimension[k], 1);
  }
}

// The roots (+-1, 1) of the nearly dependent system at e = 2^-22 (kappa_s 2.5e7), with end
// points 1e-12 off: closer than the floor of the long-double test (10 u kappa_s = 1.4e-11), so its
// first step already lies below the floor, which shows no convergence above kappa_s 1e6, and
// Krawczyk's test fails at this condition. Newton's method watched from a start moved 100 floors
// off comes back quadratically: both are regular, as from 1e-7 off (above).
TEST(VerdictEdges, EndPointsCloserThanTheLongDoubleFloorAreRegular) {
  const Classification c = Classify(NearlyDependent(std::ldexp(1.0, -22)),
                                    {{1.0 + 1e-12, 1.0 - 1e-12}, {-1.0 - 1e-12, 1.0 + 1e-12}});
  EXPECT_EQ(c.counts.regular, 2);
}

// (x - 1)^2 in one unknown, where kappa_s is always 1: one end point 1 + 7 2^-52 (its partner
// lost), or both end points 1e-10 off as the end game extrapolates them (winding number 2). At
// such points x^2 - 2x + 1 evaluates to exactly 0 in long double (x^2 loses its last term, of
// relative size below 5e-20), so Newton's method "converges" at the first step, which with
// kappa_s = 1 counts; the pair's values stay 2e-10 apart, beyond the 1e-10 at which candidates
// of condition 1 coincide. The Taylor coefficients there show two roots in a small disk: one
// singular root, no regular one.
TEST(VerdictEdges, EndPointsAtADoubleRootInOneUnknownAreNoRegularRoots) {
  const PolySystem s = BuildSystem({{{{2}, 1.0}, {{1}, -2.0}, {{0}, 1.0}}});
  EXPECT_EQ(Classify(s, {{1.0 + 7.0 * std::ldexp(1.0, -52)}}).status[0], RootStatus::kSingular);
  SolveResult pair = EndPointsAsResult(
      1, {{1.0 + 1e-10 * std::polar(1.0, 0.3)}, {1.0 - 1e-10 * std::polar(1.0, 0.3)}});
  for (PathRecord& record : pair.records) record.windingNumber = 2;
  const Classification c = ClassifyRoots(BringToNormalForm(s), pair);
  EXPECT_EQ(c.counts.regular, 0);
  EXPECT_EQ(c.counts.singular, 1);
  EXPECT_EQ(c.pointRule[0], PointRule::kMultipleRootInOneUnknown);
}

// (x - 1)^3 in one unknown, as a solve leaves it (seed 1): three end points 5.8e-6 from the root
// (u^(1/3)), winding number 1 each: the residual there is rounding, the Newton step noise (3e-11),
// kappa_s is 1 in one unknown, and the least distance of an unextrapolated singular point, 1e-6,
// suits double roots only. The disks in which the Taylor coefficients show three roots group them:
// one root of multiplicity 3.
TEST(VerdictEdges, TripleRootInOneUnknownIsOneRoot) {
  const PolySystem s = BuildSystem({{{{3}, 1.0}, {{2}, -3.0}, {{1}, 3.0}, {{0}, -1.0}}});
  const Classification c = Classify(s, {{Complex(0.9999971139957544, -4.998629045693731e-06)},
                                        {Complex(1.0000013288081437, 0.0)},
                                        {Complex(0.9999971139957544, 4.998629045693731e-06)}});
  EXPECT_EQ(c.counts.singular, 1);
  EXPECT_EQ(c.multiplicity[0], 3);
}

// Sparse polynomials of high degree, whose Taylor coefficients are summed term by term:
// (x^20 - 1)^2 = x^40 - 2 x^20 + 1 with each double root's two end points 1e-10 off it (winding
// number 2) gives 20 roots of multiplicity 2, at the 20th roots of unity; x^40 - 1 at its roots
// gives 40 regular roots.
TEST(VerdictEdges, MultipleRootsOfASparsePolynomialOfHighDegree) {
  const double pi = std::acos(-1.0);
  const PolySystem doubled = BuildSystem({{{{40}, 1.0}, {{20}, -2.0}, {{0}, 1.0}}});
  std::vector<std::vector<Complex>> points;
  for (int k = 0; k < 20; ++k) {
    const Complex root = std::polar(1.0, 2.0 * pi * k / 20.0);
    points.push_back({root * (1.0 + 1e-10 * std::polar(1.0, 0.3 + k))});
    points.push_back({root * (1.0 - 1e-10 * std::polar(1.0, 0.3 + k))});
  }
  SolveResult pairs = EndPointsAsResult(1, points);
  for (PathRecord& record : pairs.records) record.windingNumber = 2;
  const Classification c = ClassifyRoots(BringToNormalForm(doubled), pairs);
  EXPECT_EQ(c.counts.regular, 0);
  EXPECT_EQ(c.counts.singular, 20);
  for (std::int64_t r = 0; r < 40; ++r) EXPECT_EQ(c.multiplicity[r], 2);
  const PolySystem simple = BuildSystem({{{{40}, 1.0}, {{0}, -1.0}}});
  std::vector<std::vector<Complex>> roots;
  for (int k = 0; k < 40; ++k) roots.push_back({std::polar(1.0, 2.0 * pi * k / 40.0)});
  EXPECT_EQ(Classify(simple, roots).counts.regular, 40);
}

// Wilkinson's polynomial (x - 1)(x - 2)...(x - d), expanded: the exact integer coefficients (below
// 1e25 for d <= 24), each rounded to double once, as reading them as text does.
Equation Wilkinson(int d) {
  std::vector<__int128> coefficients{1};
  for (int r = 1; r <= d; ++r) {
    std::vector<__int128> next(coefficients.size() + 1, 0);
    for (std::size_t k = 0; k < coefficients.size(); ++k) {
      next[k + 1] += coefficients[k];
      next[k] -= r * coefficients[k];
    }
    coefficients = next;
  }
  Equation wilkinson;
  for (std::size_t k = 0; k < coefficients.size(); ++k)
    testing::AddTerm(wilkinson, {static_cast<std::int32_t>(k)},
                     static_cast<double>(coefficients[k]));
  return wilkinson;
}

// Wilkinson's polynomial (x - 1)(x - 2)...(x - 20), expanded: its roots have conditions up to
// 5e13 against the coefficients, so double precision leaves them up to 1e-3 relative off.
// Newton's method in double-double converges quadratically to each from either side, although
// the condition at the root may be a few percent above that at the start (root 18 from above:
// 6.03e12 at the start, 6.37e12 at the root): all 20 are regular.
TEST(VerdictEdges, WilkinsonRootsLeftOffByDoublePrecisionAreRegular) {
  const PolySystem s = BuildSystem({Wilkinson(20)});
  for (const double side : {-1e-3, 1e-3}) {
    SCOPED_TRACE(side);
    std::vector<std::vector<Complex>> points;
    for (int r = 1; r <= 20; ++r) points.push_back({r * (1.0 + side)});
    const Classification c = Classify(s, points);
    EXPECT_EQ(c.counts.regular, 20);
  }
}

// The same roots 13 and 16 left off the real axis too: their accurate values from double-double
// are real, and the count of real regular roots (the summary's) says so, as their flags do.
TEST(VerdictEdges, RootsMadeRealByTheirAccurateValuesCountReal) {
  const PolySystem s = BuildSystem({Wilkinson(20)});
  SolveResult r = EndPointsAsResult(1, {{Complex(13.013, 0.004)}, {Complex(15.985, -0.003)}});
  Classification c = ClassifyRoots(BringToNormalForm(s), r);
  ASSERT_EQ(c.counts.regular, 2);
  ASSERT_EQ(c.accurateValues.size(), 2u);
  EXPECT_EQ(c.counts.realRegular, 2);
  TakeClassification(std::move(c), r);
  EXPECT_EQ(r.isReal, (std::vector<std::uint8_t>{1, 1}));
  EXPECT_EQ(r.classes.realRegular, 2);
}

// Wilkinson's polynomial of degree 24 with its coefficients rounded to double: its roots from 12
// up are complex pairs (13.31 +- 0.23i ... 21.66 +- 0.25i) of conditions near 1e16, and double
// tracking leaves its paths 0.2 to 0.6 off them, where Newton's steps in double-double first
// shrink slowly. Each such point is its own regular root, neither one wide "multiple root" holding
// all 24 (the disk whose lower Taylor coefficients are rounding noise) nor singular.
TEST(VerdictEdges, IllConditionedRootsLeftFarOffAreRegular) {
  const Equation wilkinson = Wilkinson(24);
  // End points of double tracking (seed 1), and the roots they belong to.
  const std::vector<std::pair<Complex, Complex>> ends{
      {{7.453212411456943, -0.1368689651552446}, {8.000995529, 0.0}},
      {{12.443780132539944, 0.27919865060735766}, {12.029550962, 0.0}},
      {{15.107502179362237, 1.153412312862016}, {15.313080471, 0.970744065}},
      {{17.447289901204066, -1.5697026737514368}, {17.509410432, -1.181363393}},
      {{21.78855850223404, 0.6728180748590162}, {21.655314879, 0.248729025}}};
  std::vector<std::vector<Complex>> points;
  for (const auto& end : ends) points.push_back({end.first});
  const Classification c = Classify(BuildSystem({wilkinson}), points);
  EXPECT_EQ(c.counts.regular, 5);
  ASSERT_EQ(c.accurateValues.size(), ends.size());
  for (const auto& [k, value] : c.accurateValues) {
    EXPECT_EQ(c.multiplicity[k], 1);
    EXPECT_LT(std::abs(value[0] - ends[k].second), 1e-8) << k;
  }
  // Both points of a conjugate pair draw Newton's method to 12.03: the second goes on, with that
  // root deflated, to one of its own, 13.31 + 0.23i.
  const Classification pair = Classify(
      BuildSystem({wilkinson}),
      {{{12.443780132539944, 0.27919865060735766}}, {{12.443780132539944, -0.27919865060735766}}});
  EXPECT_EQ(pair.counts.regular, 2);
  ASSERT_EQ(pair.accurateValues.size(), 2u);
  EXPECT_LT(std::abs(pair.accurateValues[0].second[0] - 12.029550962), 1e-8);
  EXPECT_LT(std::abs(pair.accurateValues[1].second[0] - Complex(13.313220565, 0.233917803)), 1e-8);
}

// x_1 = x_2 = ... = x_n (n - 1 linear equations) and (x_1 - 1)(x_1 - x_2) = 0: a line in C^n,
// whose tangent the random slices of the local dimension test meet at small angles when n is
// large (a slice at distance eps cuts the line about eps sqrt(n) away).
TEST(LocalDimensionEdges, LineInManyVariablesHasDimensionOne) {
  for (int n = 4; n <= 16; n += 4) {
    SCOPED_TRACE(n);
    std::vector<Equation> equations;
    for (int i = 0; i + 1 < n; ++i)
      equations.push_back({{testing::Unit(n, i), 1.0}, {testing::Unit(n, i + 1), -1.0}});
    std::vector<std::int32_t> x1x2(n, 0);
    x1x2[0] = x1x2[1] = 1;
    equations.push_back({{testing::Unit(n, 0, 2), 1.0},
                         {testing::Unit(n, 0), -1.0},
                         {x1x2, -1.0},
                         {testing::Unit(n, 1), 1.0}});
    const std::vector<Complex> x(n, Complex(0.7, -0.4));
    EXPECT_EQ(LocalDimension(BringToNormalForm(BuildSystem(equations)), x.data()), 1);
  }
}

}  // namespace
}  // namespace zormix
