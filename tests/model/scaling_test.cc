#include "model/scaling.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "model/normal_form.h"
#include "support/systems.h"

namespace zormix {
namespace {

using testing::BuildSystem;

TEST(ScalingTest, UnitModuliNeedNoScaling) {
  NormalForm s{testing::CircleAndLine()};
  const std::vector<Complex> before = s.scaled.coefficients;
  ASSERT_TRUE(ComputeScaling(s));
  for (double v : s.scaleExponents) EXPECT_NEAR(v, 0.0, 1e-14);
  for (std::size_t p = 0; p < before.size(); ++p)
    EXPECT_NEAR(std::abs(s.scaled.coefficients[p] - before[p]), 0.0, 1e-14);
}

// 1000 x - 1: rows (1, 1 | -ln 1000), (0, 1 | 0), (1, 0 | -ln 1000) give s = (-ln 1000, 0).
TEST(ScalingTest, ThousandXMinusOneBecomesYMinusOne) {
  NormalForm s{BuildSystem({{{{1}, 1000.0}, {{0}, -1.0}}})};
  ASSERT_TRUE(ComputeScaling(s));
  EXPECT_NEAR(s.scaleExponents[0], -std::log(1000.0), 1e-12);
  EXPECT_NEAR(s.scaleExponents[1], 0.0, 1e-12);
  EXPECT_NEAR(std::abs(s.scaled.coefficients[0] - Complex(1.0)), 0.0, 1e-12);
  EXPECT_NEAR(std::abs(s.scaled.coefficients[1] - Complex(-1.0)), 0.0, 1e-12);
}

// The fit balances moduli: with 1e6 x^2 + 1e-4 i y - 3 and 2 x - 5e3 y the largest |ln|c|| drops
// from ln 1e6 = 13.8 to well below it.
TEST(ScalingTest, ScaledModuliAreBalanced) {
  NormalForm s{BuildSystem(
      {{{{2, 0}, 1e6}, {{0, 1}, {0.0, 1e-4}}, {{0, 0}, -3.0}}, {{{1, 0}, 2.0}, {{0, 1}, -5e3}}})};
  ASSERT_TRUE(ComputeScaling(s));
  double worst = 0.0;
  for (const Complex& c : s.scaled.coefficients)
    worst = std::max(worst, std::abs(std::log(std::abs(c))));
  EXPECT_LT(worst, 9.0);
  // The scaling is exactly x = e^{s_0} y_0 etc.: check one coefficient by hand.
  const double expected = 1e6 * std::exp(s.scaleExponents[2] + 2 * s.scaleExponents[0]);
  EXPECT_NEAR(s.scaled.coefficients[0].real() / expected, 1.0, 1e-12);
}

TEST(ScalingTest, ZeroCoefficientLeavesTheFitInsteadOfPoisoningIt) {
  NormalForm s{BuildSystem(
      {{{{1, 0}, 1000.0}, {{0, 1}, 0.0}, {{0, 0}, -1.0}}, {{{0, 1}, 10.0}, {{0, 0}, -1.0}}})};
  ASSERT_TRUE(ComputeScaling(s));
  for (double v : s.scaleExponents) EXPECT_TRUE(std::isfinite(v));
  for (const Complex& c : s.scaled.coefficients)
    EXPECT_TRUE(std::isfinite(c.real()) && std::isfinite(c.imag()));
  EXPECT_EQ(s.scaled.coefficients[1], Complex(0.0));
  EXPECT_NEAR(s.scaleExponents[0], -std::log(1000.0), 1e-12);
  EXPECT_NEAR(s.scaleExponents[1], -std::log(10.0), 1e-12);

  // So many zeros that fewer rows than unknowns remain: no scaling at all.
  NormalForm t{BuildSystem({{{{1, 0}, 0.0}, {{0, 0}, 2.0}}, {{{0, 1}, 0.0}, {{0, 0}, 3.0}}})};
  EXPECT_FALSE(ComputeScaling(t));
  EXPECT_EQ(t.scaleExponents, std::vector<double>(4, 0.0));
  EXPECT_EQ(t.scaled.coefficients, (std::vector<Complex>{0.0, 2.0, 0.0, 3.0}));
}

// y occurs in no term: its column of the fit is zero, the problem singular, nothing is scaled.
TEST(ScalingTest, SingularFitScalesNothing) {
  NormalForm s{BuildSystem({{{{1, 0}, 1000.0}, {{0, 0}, -1.0}}, {{{2, 0}, 7.0}, {{0, 0}, 5.0}}})};
  EXPECT_FALSE(ComputeScaling(s));
  EXPECT_EQ(s.scaleExponents, std::vector<double>(4, 0.0));
  EXPECT_EQ(s.scaled.coefficients, (std::vector<Complex>{1000.0, -1.0, 7.0, 5.0}));
}

TEST(ScalingTest, LeastSquaresMatchesTheNormalEquations) {
  // Fit of a line through (0, 1), (1, 3), (2, 4): a + b t, solution a = 7/6, b = 3/2.
  ColMajorMatrix<double> A(3, 2);
  for (int t = 0; t < 3; ++t) {
    A(t, 0) = 1.0;
    A(t, 1) = t;
  }
  std::vector<double> b = {1.0, 3.0, 4.0};
  ASSERT_TRUE(SolveLeastSquares(A, b));
  EXPECT_NEAR(b[0], 7.0 / 6.0, 1e-14);
  EXPECT_NEAR(b[1], 1.5, 1e-14);
  // A negative first entry with a negligible tail keeps its sign (no reflection): still solved.
  ColMajorMatrix<double> D(2, 2);
  D(0, 0) = -2.0;
  D(1, 1) = 4.0;
  std::vector<double> c = {1.0, 2.0};
  ASSERT_TRUE(SolveLeastSquares(D, c));
  EXPECT_DOUBLE_EQ(c[0], -0.5);
  EXPECT_DOUBLE_EQ(c[1], 0.5);
}

TEST(ScalingTest, HouseholderMapsOntoANonnegativeMultipleOfE1) {
  for (const std::vector<double>& x :
       {std::vector<double>{3.0, 4.0, 0.0}, std::vector<double>{-3.0, 0.0, 4.0},
        std::vector<double>{1e-3, 2.0, -2.0}}) {
    std::vector<double> v;
    double beta = 0.0;
    double alpha = 0.0;
    HouseholderVector(x.data(), 3, v, beta, alpha);
    EXPECT_DOUBLE_EQ(v[0], 1.0);
    double dot = 0.0;
    for (int i = 0; i < 3; ++i) dot += v[i] * x[i];
    for (int i = 0; i < 3; ++i) {
      const double reflected = x[i] - beta * dot * v[i];
      EXPECT_NEAR(reflected, i == 0 ? alpha : 0.0, 1e-12);
    }
    EXPECT_GT(alpha, 0.0);
  }
}

}  // namespace
}  // namespace zormix
