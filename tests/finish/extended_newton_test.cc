#include "finish/extended_newton.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "model/normal_form.h"
#include "support/systems.h"

namespace zormix {
namespace {

using testing::BuildSystem;

// Root (1, 2, 3), where the Jacobian [[h, 1, 0], [0, h, 1], [1, 0, h]] (h = 1/2) makes the
// elimination swap rows in two columns in turn, with a multiplier of h carried across the second
// swap: h (x1 - 1) + (x2 - 2) + (x3 - 3)^2, h (x2 - 2) + (x3 - 3) + (x1 - 1)^2,
// (x1 - 1) + h (x3 - 3) + (x2 - 2)^2.
PolySystem PivotingSystem() {
  return BuildSystem({{{{1, 0, 0}, 0.5}, {{0, 1, 0}, 1.0}, {{0, 0, 2}, 1.0}, {{0, 0, 1}, -6.0},
                       {{0, 0, 0}, 6.5}},
                      {{{0, 1, 0}, 0.5}, {{0, 0, 1}, 1.0}, {{2, 0, 0}, 1.0}, {{1, 0, 0}, -2.0},
                       {{0, 0, 0}, -3.0}},
                      {{{1, 0, 0}, 1.0}, {{0, 0, 1}, 0.5}, {{0, 2, 0}, 1.0}, {{0, 1, 0}, -4.0},
                       {{0, 0, 0}, 1.5}}});
}

// Well conditioned (the steps after the first keep the first Jacobian) and not (Newton's method
// throughout): both come back to the root quadratically through the pivoted elimination.
TEST(ExtendedNewton, ConvergesThroughRowSwapsWithAndWithoutTheChord) {
  const NormalForm form = BringToNormalForm(PivotingSystem());
  const std::vector<Complex> start{Complex(1.0 + 3e-9, -2e-9), Complex(2.0 - 1e-9, 4e-9),
                                   Complex(3.0 + 2e-9, 1e-9)};
  for (const double kappa : {1e2, 1e9}) {
    std::vector<Complex> value;
    ASSERT_TRUE(ConvergesQuadratically(form, start.data(), kappa, kappa, &value)) << kappa;
    EXPECT_LT(std::abs(value[0] - 1.0), 1e-15) << kappa;
    EXPECT_LT(std::abs(value[1] - 2.0), 1e-15) << kappa;
    EXPECT_LT(std::abs(value[2] - 3.0), 1e-15) << kappa;
  }
}

// (x - 1)^2 = 0, y - 2 = 0: each step halves the error, whichever Jacobian it uses.
TEST(ExtendedNewton, ADoubleRootIsNotQuadratic) {
  const NormalForm form = BringToNormalForm(BuildSystem(
      {{{{2, 0}, 1.0}, {{1, 0}, -2.0}, {{0, 0}, 1.0}}, {{{0, 1}, 1.0}, {{0, 0}, -2.0}}}));
  const std::vector<Complex> start{Complex(1.0 + 1e-6, 0.0), Complex(2.0, 0.0)};
  for (const double kappa : {1e2, 1e9})
    EXPECT_FALSE(ConvergesQuadratically(form, start.data(), kappa, kappa)) << kappa;
}

}  // namespace
}  // namespace zormix
