#include "finish/dd_newton.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "support/systems.h"

namespace zormix {
namespace {

using testing::BuildSystem;

DoubleDoubleNewton Newton(const PolySystem& s, const std::vector<Complex>& x) {
  const SystemView view{s.n, s.termCount, &s.exponents, s.coefficients};
  const std::vector<std::int32_t> maxDegree = MaxDegrees(s.exponents);
  return NewtonInDoubleDouble(view, maxDegree, x.data());
}

// x^2 + y - 2 = 0, x^2 + (1 + e) y - (2 + e) = 0 with e = 2^-46 (exact): roots (+-1, 1), where
// the Jacobian [[2x, 1], [2x, 1 + e]] has determinant 2 x e, so a condition number near 1e14.
PolySystem NearlyDependent() {
  const double e = std::ldexp(1.0, -46);
  return BuildSystem({{{{2, 0}, 1.0}, {{0, 1}, 1.0}, {{0, 0}, -2.0}},
                      {{{2, 0}, 1.0}, {{0, 1}, 1.0 + e}, {{0, 0}, -(2.0 + e)}}});
}

TEST(DoubleDoubleNewton, ConvergesQuadraticallyAtARootOfConditionNearOneInTenTrillion) {
  const PolySystem s = NearlyDependent();
  // A start off by 1e-3: double's rounding alone leaves such errors at this root.
  const DoubleDoubleNewton r = Newton(s, {Complex(-1.001, 0.0005), Complex(0.999, 0.0)});
  ASSERT_TRUE(r.quadratic);
  EXPECT_GT(r.rootCondition, 1e13);
  EXPECT_LT(r.rootCondition, 1e16);
  EXPECT_LT(std::abs(r.root[0] - Complex(-1.0, 0.0)), 1e-15);
  EXPECT_LT(std::abs(r.root[1] - Complex(1.0, 0.0)), 1e-15);
  // The normal form's entry point (on the unscaled coefficients) reaches the same root.
  const NormalForm form = BringToNormalForm(s);
  const std::vector<Complex> start{Complex(-1.001, 0.0005), Complex(0.999, 0.0)};
  std::vector<Complex> value;
  ASSERT_TRUE(ConvergesInDoubleDouble(form, start.data(), &value));
  EXPECT_LT(std::abs(value[0] - Complex(-1.0, 0.0)), 1e-15);
}

TEST(DoubleDoubleNewton, SingularRootsAndSolutionSetsAreNotRegular) {
  // (x - 1)^2 = 0, y - 2 = 0: Newton halves the error each step.
  const PolySystem doubleRoot = BuildSystem(
      {{{{2, 0}, 1.0}, {{1, 0}, -2.0}, {{0, 0}, 1.0}}, {{{0, 1}, 1.0}, {{0, 0}, -2.0}}});
  EXPECT_FALSE(Newton(doubleRoot, {Complex(1.001, 0.0), Complex(2.0, 0.0)}).quadratic);
  // x (y - 1) = 0, x (y - 3) = 0: the line x = 0. Newton lands on it in one step, where the
  // Jacobian is singular.
  const PolySystem line =
      BuildSystem({{{{1, 1}, 1.0}, {{1, 0}, -1.0}}, {{{1, 1}, 1.0}, {{1, 0}, -3.0}}});
  EXPECT_FALSE(Newton(line, {Complex(1e-6, 0.0), Complex(0.5, 0.25)}).quadratic);
}

}  // namespace
}  // namespace zormix

namespace zormix {
namespace {

// (x - 1)(x - 2)...(x - 15), expanded: every coefficient an integer below 2^53, so at x = 7
// double-double evaluates it exactly to 0 and a start there takes a first step of 0, which shows
// nothing; moved off, Newton's method comes back quadratically: the root is regular.
TEST(DoubleDoubleNewton, AStartExactlyOnAnIllConditionedRootIsRegular) {
  std::vector<double> coefficients{1.0};
  for (int r = 1; r <= 15; ++r) {
    std::vector<double> next(coefficients.size() + 1, 0.0);
    for (std::size_t k = 0; k < coefficients.size(); ++k) {
      next[k + 1] += coefficients[k];
      next[k] -= r * coefficients[k];
    }
    coefficients = next;
  }
  testing::Equation wilkinson;
  for (std::size_t k = 0; k < coefficients.size(); ++k)
    testing::AddTerm(wilkinson, {static_cast<std::int32_t>(k)}, coefficients[k]);
  const PolySystem s = BuildSystem({wilkinson});
  for (const double root : {7.0, 11.0}) {
    const DoubleDoubleNewton r = Newton(s, {Complex(root, 0.0)});
    EXPECT_GT(r.startCondition, 1e6) << root;
    ASSERT_TRUE(r.quadratic) << root;
    EXPECT_EQ(r.root[0], Complex(root, 0.0));
  }
  // (x - 7)^2 (x + 1) = x^3 - 13 x^2 + 35 x + 49 at 7 + 2^-40: Newton's steps halve, exact start
  // or not.
  const PolySystem doubleRoot = BuildSystem({{{{3}, 1.0}, {{2}, -13.0}, {{1}, 35.0}, {{0}, 49.0}}});
  EXPECT_FALSE(Newton(doubleRoot, {Complex(7.0 + std::ldexp(1.0, -40), 0.0)}).quadratic);
}

}  // namespace
}  // namespace zormix
