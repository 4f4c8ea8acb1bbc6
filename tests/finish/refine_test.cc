#include "finish/refine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "base/condition_estimate.h"
#include "support/systems.h"

namespace zormix {
namespace {

using testing::BuildSystem;
using testing::Equation;

struct Refined {
  bool accepted;
  std::vector<Complex> x, F;
  ColMajorMatrix<Complex> J;
};

Refined Refine(const PolySystem& s, std::vector<Complex> x) {
  const SystemView view{s.n, s.termCount, &s.exponents, s.coefficients};
  const std::vector<std::int32_t> maxDegree = MaxDegrees(s.exponents);
  Refined r;
  EvaluateSystem(view, maxDegree, x.data(), r.J, r.F);
  r.accepted = RefineRoot(view, maxDegree, r.J, r.F, x);
  r.x = x;
  return r;
}

// x - a = 0, y - b = 0: Newton lands on (a, b) in one step, so the drift is |x0 - (a, b)|.
PolySystem Linear(double a, double b) {
  return BuildSystem({{{{1, 0}, 1.0}, {{0, 0}, -a}}, {{{0, 1}, 1.0}, {{0, 0}, -b}}});
}

// x y = 0, x y = 0 at (a, 1e-17) on the line y = 0: the Jacobian [y x; y x] is singular, and
// Newton's step runs along its null direction to (0, 1e-17), a drift of |a| > 0.5. The end point
// itself solves the system to rounding against the first-order size of x y, so it is kept as it
// is; a point as far from both lines is refused.
TEST(RefineRootTest, EndPointKeptWhenNewtonRunsAwayOnASingularJacobian) {
  const PolySystem lines = BuildSystem({{{{1, 1}, 1.0}}, {{{1, 1}, 1.0}}});
  const Complex a(0.274569, -0.455038), y(6.6e-18, -5.2e-17);
  const Refined kept = Refine(lines, {a, y});
  ASSERT_TRUE(kept.accepted);
  EXPECT_EQ(kept.x[0], a);
  EXPECT_EQ(kept.x[1], y);
  EXPECT_FALSE(Refine(lines, {a, Complex(3e-5, 0.0)}).accepted);
}

// x^2 + c: from a real start the iterates stay real, where |F| >= c never reaches 0.
PolySystem SquarePlus(double c) { return BuildSystem({{{{2}, 1.0}, {{0}, c}}}); }

TEST(RefineRootTest, RootThatNoStepImprovesIsKeptBitForBit) {
  const double root = std::sqrt(2.0);  // x^2 - 2 = 4.4e-16 here; the Newton step does not halve it
  const Refined r = Refine(BuildSystem({{{{2}, 1.0}, {{0}, -2.0}}}), {root});
  ASSERT_TRUE(r.accepted);
  EXPECT_EQ(r.x[0], Complex(root));
}

TEST(RefineRootTest, AcceptedPointComesWithItsOwnValuesAndJacobian) {
  const PolySystem s = testing::CircleAndLine();
  const Refined r = Refine(s, {Complex(0.70, 0.01), 0.72});
  ASSERT_TRUE(r.accepted);
  EXPECT_NEAR(std::abs(r.x[0] - 1 / std::sqrt(2.0)), 0.0, 1e-15);
  EXPECT_NEAR(std::abs(r.x[1] - 1 / std::sqrt(2.0)), 0.0, 1e-15);
  ColMajorMatrix<Complex> J;
  std::vector<Complex> F;
  const SystemView view{s.n, s.termCount, &s.exponents, s.coefficients};
  EvaluateSystem(view, MaxDegrees(s.exponents), r.x.data(), J, F);
  EXPECT_EQ(F, r.F);
  EXPECT_EQ(J, r.J);
}

TEST(RefineRootTest, DriftLimitIsHalfUpToModulusFiveThenThreeTenths) {
  struct Case {
    double start, root;
    bool accepted;
  } cases[] = {{4, 4.4, true},   {4, 4.6, false},   {5, 5.6, false},
               {10, 12.9, true}, {10, 13.1, false}, {-10, -7.1, true}};
  for (const Case& c : cases) {
    EXPECT_EQ(Refine(Linear(c.root, 0.0), {c.start, 0.0}).accepted, c.accepted)
        << c.start << " -> " << c.root;
  }
}

TEST(RefineRootTest, ResidualMustReachLimitAtBestPointOrOneStepBeyond) {
  // 1e-3 stalls at 5e-4: both residuals above 1e-4.
  EXPECT_FALSE(Refine(SquarePlus(5e-4), {0.0224}).accepted);
  // r0 = 1.48e-4 and the (not halving) next step 0.95e-4: accepted, point unchanged.
  const double start = 0.8 * std::sqrt(0.9e-4);
  const Refined r = Refine(SquarePlus(0.9e-4), {start});
  ASSERT_TRUE(r.accepted);
  EXPECT_EQ(r.x[0], Complex(start));
}

// x^2 - 2e16 at its root sqrt(2) 1e8: the rounding of x^2 alone leaves a residual near 1, far above
// the absolute limit, yet the point is a root of coefficients within a few roundoffs of these.
TEST(RefineRootTest, LargeRootIsJudgedByItsBackwardError) {
  const double root = std::sqrt(2.0) * 1e8;
  const Refined r = Refine(SquarePlus(-2e16), {root});
  EXPECT_GT(std::abs(r.F[0]), 1e-4);
  ASSERT_TRUE(r.accepted);
  EXPECT_NEAR(r.x[0].real(), root, 1e-15 * root);
}

TEST(RefineRootTest, NonFinitePointsAreNeverAccepted) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_FALSE(Refine(Linear(1, 1), {Complex(nan, 0), 1.0}).accepted);
  EXPECT_FALSE(Refine(Linear(1, 1), {Complex(1, inf), 1.0}).accepted);
  EXPECT_FALSE(Refine(Linear(nan, 1), {1.0, 1.0}).accepted);
  // x^400 + x^399 + 1 at 0: J = 0, the step overflows and the next residual is inf - inf = NaN.
  // Residual 1 at the start must not pass just because NaN compares false.
  EXPECT_FALSE(Refine(BuildSystem({{{{400}, 1.0}, {{399}, 1.0}, {{0}, 1.0}}}), {0.0}).accepted);
}

// ---- Condition estimate ----

SingularValueEstimate Estimate(ColMajorMatrix<Complex> J) {
  RuntimeUniform runtime(11);
  return EstimateCondition(J, 1e-5, runtime);
}

ColMajorMatrix<Complex> Diagonal(const std::vector<Complex>& d) {
  ColMajorMatrix<Complex> J(static_cast<int>(d.size()), static_cast<int>(d.size()));
  for (std::size_t k = 0; k < d.size(); ++k) J(k, k) = d[k];
  return J;
}

TEST(EstimateConditionTest, IdentityZeroDiagonalAndScalar) {
  ColMajorMatrix<Complex> identity = Diagonal({1.0, 1.0, 1.0});
  RuntimeUniform runtime(3);
  SingularValueEstimate s = EstimateCondition(identity, 1e-5, runtime);
  EXPECT_NEAR(s.sigmaMax, 1.0, 1e-12);
  EXPECT_NEAR(s.sigmaMin, 1.0, 1e-12);
  EXPECT_EQ(identity, Diagonal({-1.0, -1.0, 1.0}));  // R of the identity

  EXPECT_LT(Estimate(ColMajorMatrix<Complex>(3, 3)).sigmaMax, 1e-8);

  s = Estimate(Diagonal({1.0, 1e-3}));
  EXPECT_NEAR(s.sigmaMax, 1.0, 1e-6);
  EXPECT_NEAR(s.sigmaMin / 1e-3, 1.0, 1e-4);

  s = Estimate(Diagonal({Complex(3, 4)}));
  EXPECT_NEAR(s.sigmaMax, 5.0, 1e-12);
  EXPECT_NEAR(s.sigmaMin, 5.0, 1e-12);
}

// J = U diag(2, 0.5) V^H with complex unitary U, V: the estimates must see through the phases,
// which a missing conjugate in the reflections or in R^H would not.
TEST(EstimateConditionTest, RecoversSingularValuesOfComplexMatrix) {
  const double c = std::cos(0.7), s = std::sin(0.7);
  const Complex p(0.6, 0.8), q(0.0, 1.0);
  ColMajorMatrix<Complex> U(2, 2), V(2, 2), J(2, 2);
  U(0, 0) = c;
  U(0, 1) = -s * p;
  U(1, 0) = s;
  U(1, 1) = c * p;
  V(0, 0) = c * q;
  V(0, 1) = s;
  V(1, 0) = -s * q;
  V(1, 1) = c;
  const double sigma[] = {2.0, 0.5};
  for (int i = 0; i < 2; ++i)
    for (int j = 0; j < 2; ++j)
      for (int k = 0; k < 2; ++k) J(i, j) += U(i, k) * sigma[k] * std::conj(V(j, k));
  const SingularValueEstimate e = Estimate(J);
  EXPECT_NEAR(e.sigmaMax, 2.0, 1e-6);
  EXPECT_NEAR(e.sigmaMin, 0.5, 1e-5);
}

// Q is unitary, so R^H R = J^H J; R has exact zeros below the diagonal.
TEST(HouseholderQRComplexTest, PreservesGramMatrix) {
  const int n = 4;
  ColMajorMatrix<Complex> J(n, n);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) J(i, j) = Complex(std::sin(3.0 * i + j), std::cos(i - 2.0 * j));
  ColMajorMatrix<Complex> R = J;
  HouseholderQRComplex(n, R.data());
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < n; ++j) {
      if (i > j) {
        EXPECT_EQ(R(i, j), Complex(0.0));
      }
      Complex fromJ, fromR;
      for (int k = 0; k < n; ++k) {
        fromJ += std::conj(J(k, i)) * J(k, j);
        fromR += std::conj(R(k, i)) * R(k, j);
      }
      EXPECT_LT(std::abs(fromJ - fromR), 1e-12) << i << "," << j;
    }
  }
}

}  // namespace
}  // namespace zormix
