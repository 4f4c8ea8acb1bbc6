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
